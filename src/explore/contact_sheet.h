// A contact sheet: thumbnails in a grid on a dark ground, each with a caption of two lines under it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "image/pixel_graphic.h"

struct TContactCell {
  const TPixelGraphic* thumbnail = nullptr;  // not owned; all of one size
  std::string title;                         // first caption line: the file name
  std::string figures;                       // second line: the family and the figures
};

inline constexpr int kContactPadding = 6;
inline constexpr TColor kContactGround = 0x202020;
inline constexpr TColor kContactInk = 0xD8D8D8;
inline constexpr TColor kContactDimInk = 0x909090;

// The sheet for the cells, `columns` to a row (at least 1). Empty cells list: a sheet of the padding alone.
std::unique_ptr<TPixelGraphic> MakeContactSheet(const std::vector<TContactCell>& cells, int columns);

// Columns of a sheet for n cells: near a square grid of the thumbnails, at most 6.
int ContactSheetColumns(int n);
