#include "image/color_reduction.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

int NearestColorIndex(const TColor* palette, int count, TColor color, bool rgbWeighting) {
  const int wr = rgbWeighting ? 30 : 1;
  const int wg = rgbWeighting ? 59 : 1;
  const int wb = rgbWeighting ? 11 : 1;
  const int r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
  int best = 0;
  long long bestDistance = LLONG_MAX;
  for (int i = 0; i < count; ++i) {
    const int dr = RedOf(palette[i]) - r, dg = GreenOf(palette[i]) - g, db = BlueOf(palette[i]) - b;
    const long long d = static_cast<long long>(wr) * dr * dr + static_cast<long long>(wg) * dg * dg +
                        static_cast<long long>(wb) * db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

int AutoDitherErrorLimit(TPaletteIdent ident) {
  switch (ident) {
    case TPaletteIdent::pBlackWhite: return 255;
    case TPaletteIdent::pSysGray4:
    case TPaletteIdent::pSys16:
    case TPaletteIdent::pGray4: return 128;
    case TPaletteIdent::pGray236: return 3;
    case TPaletteIdent::pGray256: return 2;
    case TPaletteIdent::pSpecial125:
    case TPaletteIdent::pSpecial252: return 104;
    case TPaletteIdent::pSpecial216: return 86;
    case TPaletteIdent::pOptimized252Sys16:
    case TPaletteIdent::pSource: return 0;
    default: return 32;
  }
}

TErrorLimitTable BuildErrorLimitTable(int limit, bool soft) {
  TErrorLimitTable table{};
  for (int e = 0; e <= 255; ++e) {
    int m = (limit == 255 || e < limit) ? e : limit;
    // The soft knee joins the straight part at L/2 and the flat part at 3L/2 without a step.
    if (soft && e >= limit / 2 && e <= 3 * limit / 2 && e < 255) m = e / 2 + limit / 4;
    table[255 + e] = m;
    table[255 - e] = -m;
  }
  return table;
}

TColorReducer::TColorReducer(const TPixelGraphic& dest, int firstColumn, int lastColumn)
    : rgbWeighting_(dest.RGBWeighting),
      dither_(dest.Dither),
      grayWeighting_(dest.GrayWeighting),
      first_(firstColumn),
      cacheKey_(kCacheSize, 0),
      cacheIndex_(kCacheSize, 0) {
  // Only the entries that a pixel of this format can index take part.
  const int count = std::min(dest.PaletteLength(), dest.PaletteColorCount());
  for (int i = 0; i < count; ++i) palette_.push_back(dest.GetPaletteEntry(i));
  if (palette_.empty()) palette_.push_back(0);

  gray_ = std::all_of(palette_.begin(), palette_.end(),
                      [](TColor c) { return RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c); });
  const int limit = dest.DitherErrorLimitAuto ? AutoDitherErrorLimit(dest.PaletteIdent()) : dest.DitherErrorLimit;
  const bool soft = dest.DitherErrorLimitAuto ? true : dest.DitherErrorLimitSoft;
  limit_ = BuildErrorLimitTable(limit, soft);
  if (gray_) {
    for (int level = 0; level < 256; ++level) {
      grayIndex_[level] = NearestColorIndex(palette_.data(), static_cast<int>(palette_.size()),
                                            RGBColor(level, level, level), rgbWeighting_);
    }
  }
  cellStart_.assign(32 * 32 * 32, -1);
  cellCount_.assign(cellStart_.size(), 0);
  const int columns = std::max(0, lastColumn - firstColumn + 1);
  current_.assign(static_cast<std::size_t>(columns + 2) * 3, 0);
  next_.assign(current_.size(), 0);
}

void TColorReducer::StartRow(bool leftToRight) {
  step_ = leftToRight ? 1 : -1;
  current_.swap(next_);
  std::fill(next_.begin(), next_.end(), 0);
}

int TColorReducer::Nearest(TColor color) {
  const std::uint32_t slot = ((color * 2654435761u) >> 20) & (kCacheSize - 1);
  if (cacheKey_[slot] == color + 1) return cacheIndex_[slot];
  const int index = Search(color);
  cacheKey_[slot] = color + 1;
  cacheIndex_[slot] = static_cast<std::uint16_t>(index);
  return index;
}

// The same answer as NearestColorIndex, ties included: an entry whose nearest possible distance to the cell
// exceeds some entry's farthest distance can never win inside the cell, so only the others are compared.
int TColorReducer::Search(TColor color) {
  const long long w[3] = {rgbWeighting_ ? 30 : 1, rgbWeighting_ ? 59 : 1, rgbWeighting_ ? 11 : 1};
  const int c[3] = {RedOf(color), GreenOf(color), BlueOf(color)};
  const std::size_t cell = static_cast<std::size_t>(((c[0] >> 3) << 10) | ((c[1] >> 3) << 5) | (c[2] >> 3));
  if (cellStart_[cell] < 0) {
    const int n = static_cast<int>(palette_.size());
    std::vector<long long> nearDist(n);
    long long bound = LLONG_MAX;
    for (int i = 0; i < n; ++i) {
      const int e[3] = {RedOf(palette_[i]), GreenOf(palette_[i]), BlueOf(palette_[i])};
      long long nearD = 0, farD = 0;
      for (int k = 0; k < 3; ++k) {
        const int lo = c[k] & ~7, hi = lo + 7;
        const long long inside = e[k] < lo ? lo - e[k] : (e[k] > hi ? e[k] - hi : 0);
        const long long far = std::max(std::abs(e[k] - lo), std::abs(e[k] - hi));
        nearD += w[k] * inside * inside;
        farD += w[k] * far * far;
      }
      nearDist[i] = nearD;
      bound = std::min(bound, farD);
    }
    cellStart_[cell] = static_cast<std::int32_t>(candidates_.size());
    for (int i = 0; i < n; ++i) {
      if (nearDist[i] <= bound) candidates_.push_back(static_cast<std::uint16_t>(i));
    }
    cellCount_[cell] = static_cast<std::uint16_t>(candidates_.size() - cellStart_[cell]);
  }
  int best = 0;
  long long bestDistance = LLONG_MAX;
  const std::uint16_t* list = candidates_.data() + cellStart_[cell];
  for (int j = 0; j < cellCount_[cell]; ++j) {
    const TColor p = palette_[list[j]];
    const long long dr = RedOf(p) - c[0], dg = GreenOf(p) - c[1], db = BlueOf(p) - c[2];
    const long long d = w[0] * dr * dr + w[1] * dg * dg + w[2] * db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = list[j];
    }
  }
  return best;
}

int TColorReducer::WholeError(int sixteenths) {
  return sixteenths >= 0 ? (sixteenths + 8) / 16 : -((8 - sixteenths) / 16);
}

int TColorReducer::Limited(int sixteenths) const {
  return limit_[std::clamp(WholeError(sixteenths), -255, 255) + 255];
}

int TColorReducer::Reduce(int x, TColor color) {
  if (!dither_) return Nearest(color);
  const std::size_t col = static_cast<std::size_t>(x - first_ + 1);
  const std::size_t ahead = col + step_;
  const std::size_t behind = col - step_;

  if (gray_) {
    const int r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
    const int luminance = grayWeighting_ ? (897 * r + 1761 * g + 342 * b) / 1000 : r + g + b;
    const int target = std::clamp(luminance / 3 + Limited(current_[col * 3 + 1]), 0, 255);
    const int index = grayIndex_[target];
    const int error = target - GreenOf(palette_[index]);
    current_[ahead * 3 + 1] += 7 * error;
    next_[behind * 3 + 1] += 3 * error;
    next_[col * 3 + 1] += 5 * error;
    next_[ahead * 3 + 1] += error;
    return index;
  }

  int target[3] = {RedOf(color), GreenOf(color), BlueOf(color)};
  for (int c = 0; c < 3; ++c) target[c] = std::clamp(target[c] + Limited(current_[col * 3 + c]), 0, 255);
  const int index = Nearest(RGBColor(target[0], target[1], target[2]));
  const TColor entry = palette_[index];
  const int error[3] = {target[0] - RedOf(entry), target[1] - GreenOf(entry), target[2] - BlueOf(entry)};
  for (int c = 0; c < 3; ++c) {
    current_[ahead * 3 + c] += 7 * error[c];
    next_[behind * 3 + c] += 3 * error[c];
    next_[col * 3 + c] += 5 * error[c];
    next_[ahead * 3 + c] += error[c];
  }
  return index;
}
