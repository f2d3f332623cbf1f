// Supersampling: a render's hits land in a grid S times finer than the picture on each side, and each picture cell
// is filtered from the grid cells under and around its footprint before the tone, so thin curves come out smooth
// and single hits do not speckle. The filter works on the counts, so linear, square-root and log-density tones all
// apply to its result as to any render's counts.
#pragma once

#include <cstdint>
#include <string>

#include "engine/fractal_params.h"

inline constexpr int kMaxSupersample = 6;
inline constexpr double kMaxFilterRadius = 8;

// A supersampling factor 1..kMaxSupersample and a filter radius 0..kMaxFilterRadius in picture pixels; empty when
// both are valid, else the message.
std::string SupersampleProblem(int supersample, double filterRadius);

// A counts-only grid (see TFractalParams::countsOnly) as the filter reads it: columns x rows cells, cell
// ix * rows + iy, and its lead channels (null: none).
struct TSupersampledGridCells {
  const std::int32_t* counts[3] = {nullptr, nullptr, nullptr};
  const std::uint8_t* lead = nullptr;
  std::int64_t columns = 0, rows = 0;
};

// Fills the W x H cells ox * stride + oy of `counts` (and `lead`, when given) from a grid of (S W) x (S H) cells.
// Each grid cell's counts are shared out among the picture cells near it by a Gaussian of standard deviation
// radius / 2 picture pixels, cut off beyond the radius and scaled to add up to 1 over the picture cells it reaches
// (radius 0: all of it to the cell whose footprint it lies in, a plain S x S box), so the total of every channel
// stays as it was within rounding and the brightness at a given number of hits per picture pixel does not depend on
// S. A picture cell's lead channel is the one the grid cells under its footprint lead with most, each weighing
// by its hits. Counts saturate.
void FilterSupersampled(const TSupersampledGridCells& grid, int supersample, double radius, int width, int height,
                        std::int64_t stride, std::int32_t* const counts[3], std::uint8_t* lead);

// The bytes a supersampled render of a W x H picture needs for its grid (counts, lead channels and the engine's
// per-cell marks, which parallel orbits keep in four bytes; on a gathered grid, the hits waiting to be merged) and its
// picture (counts, lead channels and 24-bit pixels of the W x H document), before anything is allocated.
std::uint64_t SupersampledRenderBytes(int width, int height, int supersample, bool parallel);
