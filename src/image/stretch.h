// Scaled copies between pixel images: how one destination coordinate maps to weighted source pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "image/pixel_graphic.h"

// The source pixels that make one destination coordinate along one axis: positions first .. first + count - 1
// with the weights in `weights`, their sum divided by `divisor`. An invalid span leaves its pixel unchanged.
struct TStretchSpan {
  bool valid = false;
  std::int64_t first = 0;
  int count = 0;
  std::int64_t divisor = 1;
  std::vector<std::int64_t> weights;
};

// Maps destination offset d (from the destination origin) of an axis with source extent s, destination extent
// dExtent and source origin o onto a source axis of `sourceSize` pixels.
TStretchSpan MapStretchOffset(std::int64_t d, std::int64_t s, std::int64_t dExtent, std::int64_t o,
                              std::int64_t sourceSize, TStretchMode mode);
