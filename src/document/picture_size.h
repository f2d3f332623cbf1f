// Picture sizes of a fractal: the fixed menu sizes, the range a window accepts and the hit lists of a size.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "engine/fractal_params.h"

struct TMenuSize {
  const char* caption;
  int width;
  int height;
};

// The "XY Size" entries N120by90 .. N1024by768, in menu order.
inline constexpr std::array<TMenuSize, 7> kMenuSizes{{{"120 by 90", 120, 90},
                                                      {"160 by 120", 160, 120},
                                                      {"320 by 240", 320, 240},
                                                      {"400 by 300", 400, 300},
                                                      {"640 by 480", 640, 480},
                                                      {"800 by 600", 800, 600},
                                                      {"1024 by 768", 1024, 768}}};

inline constexpr int kMinImageSide = 1;
inline constexpr int kMaxImageSide = 8192;

// The message for a size outside kMinImageSide..kMaxImageSide, or nothing when the size is fine.
std::optional<std::string> CheckImageSize(int width, int height);

// The three N x N hit lists of a picture size, N = max(width, height), all zero.
struct THitLists {
  std::unique_ptr<THitList> red, green, blue;
  std::unique_ptr<TLeadList> lead;  // each cell's lead channel, which the engine keeps beside the counts
  // The gradient colouring's cells, made only for a record that colours by gradient (they take as much memory as
  // the counts): see EnsureColourCells.
  std::unique_ptr<TColourCells> colour;
};
// All four are built before any is returned, so a failed allocation (std::bad_alloc) leaves the caller's
// lists as they were.
THitLists CreateTList(int width, int height);

// Points the record's list handles at the lists.
void AttachHitLists(TFractalParams& v, const THitLists& lists);
// Makes the lists' colour cells, all zero, when the record colours by gradient and has none of the grid's size,
// and attaches them.
void EnsureColourCells(TFractalParams& v, THitLists& lists);
