// Storing colours into 1-, 4- and 8-bit images: the nearest palette entry, or error diffusion with a limited
// error so that flat areas of a small palette do not crawl with noise.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "image/pixel_graphic.h"

// Index of the entry of palette[0..count-1] nearest to color; ties go to the lower index, 0 for an empty palette.
// With rgbWeighting the channels count as the eye weighs them (green most, blue least).
int NearestColorIndex(const TColor* palette, int count, TColor color, bool rgbWeighting);

// The error limit that suits a palette kind when the limit is chosen automatically.
int AutoDitherErrorLimit(TPaletteIdent ident);

// Limited error for every error e in -255..255, stored at e + 255.
using TErrorLimitTable = std::array<int, 511>;
TErrorLimitTable BuildErrorLimitTable(int limit, bool soft);

// Reduces the colours of one copy into a paletted destination. Columns first..last of the destination take part;
// the caller walks each row in the direction it announces with StartRow.
class TColorReducer {
 public:
  TColorReducer(const TPixelGraphic& dest, int firstColumn, int lastColumn);

  // Begins a new destination row: the error rows move on by one.
  void StartRow(bool leftToRight);
  // The palette index to store for a colour at column x; with dithering, spreads the error it leaves.
  int Reduce(int x, TColor color);

  bool Dithering() const { return dither_; }
  bool GrayImage() const { return gray_; }

 private:
  int Nearest(TColor color);
  int Search(TColor color);
  static int WholeError(int sixteenths);
  int Limited(int sixteenths) const;

  std::vector<TColor> palette_;
  // Per cell of 8 x 8 x 8 colour levels, the entries that can be nearest to some colour of the cell; filled on
  // first use. cellStart_ is -1 for a cell not yet looked at.
  std::vector<std::int32_t> cellStart_;
  std::vector<std::uint16_t> cellCount_;
  std::vector<std::uint16_t> candidates_;
  bool rgbWeighting_;
  bool dither_;
  bool gray_;
  bool grayWeighting_;
  int first_;
  int step_ = 1;
  TErrorLimitTable limit_{};
  std::array<int, 256> grayIndex_{};
  std::vector<int> current_;  // 3 sixteenths per column, one spare column on each side
  std::vector<int> next_;

  static constexpr int kCacheSize = 4096;
  std::vector<std::uint32_t> cacheKey_;  // colour + 1; 0 marks an empty slot
  std::vector<std::uint16_t> cacheIndex_;
};
