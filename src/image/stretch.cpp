#include "image/stretch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "image/color_reduction.h"

TStretchSpan MapStretchOffset(std::int64_t d, std::int64_t s, std::int64_t dExtent, std::int64_t o,
                              std::int64_t sourceSize, TStretchMode mode) {
  TStretchSpan span;
  const std::int64_t D = dExtent;
  const std::int64_t S = s;
  if (S <= 0 || D <= 0) return span;
  auto inside = [sourceSize](std::int64_t p) { return p >= 0 && p < sourceSize; };
  const bool enlarge = S < D;

  if (mode == TStretchMode::smFast || S == D) {
    const std::int64_t p = S == D ? o + d : o + (S * d) / D;
    span.valid = inside(p);
    span.first = p;
    span.count = 1;
    span.divisor = 1;
    span.weights = {1};
    return span;
  }

  const bool interpolate = (mode == TStretchMode::smPrecise) == enlarge;
  if (interpolate) {
    // Positions in units of 1/(2D) source pixels: ctr is the centre of the destination pixel, and the source
    // pixel k has its centre at D (2k + 1).
    const std::int64_t twoD = 2 * D;
    const std::int64_t ctr = S * (2 * d + 1);
    std::int64_t s0 = o + (ctr - D) / twoD;
    std::int64_t s1 = o + (ctr + D) / twoD;
    bool in0 = inside(s0), in1 = inside(s1);
    if (enlarge && in0 != in1) {
      // An enlarged edge repeats its outermost pixel instead of losing a half-pixel border.
      s0 = std::clamp<std::int64_t>(s0, 0, sourceSize - 1);
      s1 = std::clamp<std::int64_t>(s1, 0, sourceSize - 1);
      in0 = in1 = true;
    }
    if (!in0 || !in1) return span;
    span.valid = true;
    span.first = s0;
    span.divisor = twoD;
    if (ctr == D * (2 * (s0 - o) + 1) || s0 == s1) {
      span.count = 1;
      span.weights = {twoD};
    } else {
      span.count = 2;
      span.weights = {twoD - (ctr - D * (2 * (s0 - o) + 1)), twoD - (D * (2 * (s1 - o) + 1) - ctr)};
    }
    return span;
  }

  // Area mapping: the destination pixel covers [S d / D, S (d + 1) / D) of the source.
  const std::int64_t a = S * d;
  const std::int64_t b = S * (d + 1);
  const std::int64_t s0 = o + a / D;
  std::int64_t s1 = o + b / D;
  if (b % D == 0) --s1;
  if (!inside(s0) || !inside(s1)) return span;
  span.valid = true;
  span.first = s0;
  span.divisor = S;
  if (s0 == s1) {
    span.count = 1;
    span.weights = {S};
    return span;
  }
  span.count = static_cast<int>(s1 - s0 + 1);
  span.weights.assign(static_cast<std::size_t>(span.count), D);
  span.weights.front() = D * (s0 - o + 1) - a;
  span.weights.back() = b - D * (s1 - o);
  return span;
}

namespace {

// Reads source rows as colours. Palette indices beyond the palette read as black rather than aborting a copy.
class TSourceRows {
 public:
  explicit TSourceRows(const TPixelGraphic& source) : source_(source) {
    if (source.ColorRes() == TColorRes::Bits24) return;
    const bool trueColor = source.PaletteIdent() == TPaletteIdent::pTrueColor;
    for (int i = 0; i < 256; ++i) {
      if (trueColor) {
        colors_[i] = static_cast<TColor>(i);
      } else if (i < source.PaletteLength()) {
        colors_[i] = source.GetPaletteEntry(i);
      }
    }
  }

  // Colours of columns first .. first + count - 1 of row y, all inside the image.
  void Read(int y, int first, int count, TColor* out) const {
    const std::uint8_t* row = source_.ScanLine(y);
    switch (source_.ColorRes()) {
      case TColorRes::Bits24:
        for (int i = 0; i < count; ++i) {
          const std::uint8_t* p = row + static_cast<std::int64_t>(first + i) * 3;
          out[i] = RGBColor(p[2], p[1], p[0]);
        }
        break;
      case TColorRes::Bits8:
        for (int i = 0; i < count; ++i) out[i] = colors_[row[first + i]];
        break;
      case TColorRes::Bits4:
        for (int i = 0; i < count; ++i) {
          const int x = first + i;
          out[i] = colors_[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)];
        }
        break;
      case TColorRes::Bits1:
        for (int i = 0; i < count; ++i) {
          const int x = first + i;
          out[i] = colors_[(row[x >> 3] >> (7 - (x & 7))) & 1];
        }
        break;
    }
  }

 private:
  const TPixelGraphic& source_;
  std::array<TColor, 256> colors_{};
};

// Stores finished colours into the destination: directly for 24 bits, through the reducer otherwise.
class TDestWriter {
 public:
  TDestWriter(TPixelGraphic& dest, int firstColumn, int lastColumn) : dest_(dest) {
    if (dest.ColorRes() != TColorRes::Bits24) reducer_.emplace(dest, firstColumn, lastColumn);
  }
  void StartRow(int y, bool leftToRight) {
    row_ = dest_.ScanLine(y);
    y_ = y;
    if (reducer_) reducer_->StartRow(leftToRight);
  }
  void Put(int x, TColor c) {
    if (!reducer_) {
      std::uint8_t* p = row_ + static_cast<std::int64_t>(x) * 3;
      p[0] = static_cast<std::uint8_t>(BlueOf(c));
      p[1] = static_cast<std::uint8_t>(GreenOf(c));
      p[2] = static_cast<std::uint8_t>(RedOf(c));
      return;
    }
    dest_.SetPixel(x, y_, static_cast<TColor>(reducer_->Reduce(x, c)));
  }

 private:
  TPixelGraphic& dest_;
  std::optional<TColorReducer> reducer_;
  std::uint8_t* row_ = nullptr;
  int y_ = 0;
};

// Fires the progress events around a walk over `rows` destination rows.
class TProgress {
 public:
  TProgress(TPixelGraphic& image, int rows) : image_(image), rows_(rows) {
    if (image_.OnProgressStart) image_.OnProgressStart(image_);
  }
  // Reports one more finished row; false when the handler asked to stop.
  bool RowDone() {
    ++done_;
    bool abort = false;
    if (image_.OnProgress) image_.OnProgress(image_, done_ - 1, rows_ - 1, abort);
    return !abort;
  }
  void Finish() {
    if (image_.OnProgressEnd) image_.OnProgressEnd(image_);
    image_.Changed();
  }

 private:
  TPixelGraphic& image_;
  int rows_;
  int done_ = 0;
};

// Serpentine order: even rows left to right, odd rows right to left, so that diffused errors do not all drift
// the same way.
bool LeftToRight(int y) { return (y & 1) == 0; }

void SameSizeCopy(TPixelGraphic& dest, int destLeft, int destTop, int w, int h, int srcLeft, int srcTop,
                  const TPixelGraphic& source) {
  if (w <= 0 || h <= 0) return;
  // Clip to the destination image and to the source image, both seen in destination coordinates.
  const std::int64_t shiftX = static_cast<std::int64_t>(srcLeft) - destLeft;
  const std::int64_t shiftY = static_cast<std::int64_t>(srcTop) - destTop;
  const std::int64_t x0 = std::max<std::int64_t>({destLeft, 0, -shiftX});
  const std::int64_t x1 = std::min<std::int64_t>(
      {static_cast<std::int64_t>(destLeft) + w - 1, dest.Width() - 1, source.Width() - 1 - shiftX});
  const std::int64_t y0 = std::max<std::int64_t>({destTop, 0, -shiftY});
  const std::int64_t y1 = std::min<std::int64_t>(
      {static_cast<std::int64_t>(destTop) + h - 1, dest.Height() - 1, source.Height() - 1 - shiftY});
  if (x0 > x1 || y0 > y1) return;
  const int first = static_cast<int>(x0), last = static_cast<int>(x1);
  const int count = last - first + 1;
  const bool bytes = dest.ColorRes() == TColorRes::Bits24 && source.ColorRes() == TColorRes::Bits24;

  TSourceRows reader(source);
  TDestWriter writer(dest, first, last);
  std::vector<TColor> colors(bytes ? 0 : count);
  TProgress progress(dest, static_cast<int>(y1 - y0 + 1));
  for (int y = static_cast<int>(y0); y <= y1; ++y) {
    const int sy = static_cast<int>(y + shiftY);
    const int sx = static_cast<int>(first + shiftX);
    if (bytes) {
      std::memmove(dest.ScanLine(y) + static_cast<std::int64_t>(first) * 3,
                   source.ScanLine(sy) + static_cast<std::int64_t>(sx) * 3, static_cast<std::size_t>(count) * 3);
    } else {
      reader.Read(sy, sx, count, colors.data());
      const bool ltr = LeftToRight(y);
      writer.StartRow(y, ltr);
      for (int i = 0; i < count; ++i) {
        const int k = ltr ? i : count - 1 - i;
        writer.Put(first + k, colors[k]);
      }
    }
    if (!progress.RowDone()) break;
  }
  progress.Finish();
}

}  // namespace

void TPixelGraphic::StretchCopy(int destLeft, int destTop, int destWidth, int destHeight, int srcLeft, int srcTop,
                                int srcWidth, int srcHeight, const TPixelGraphic& source) {
  if (&source == this) {
    // Reading and writing the same pixels would feed finished rows back into the copy.
    TPixelGraphic snapshot;
    snapshot.Assign(this);
    StretchCopy(destLeft, destTop, destWidth, destHeight, srcLeft, srcTop, srcWidth, srcHeight, snapshot);
    return;
  }
  if (Empty() || source.Empty()) return;
  if (srcWidth == destWidth && srcHeight == destHeight) {
    SameSizeCopy(*this, destLeft, destTop, destWidth, destHeight, srcLeft, srcTop, source);
    return;
  }
  if (destWidth <= 0 || destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return;

  const std::int64_t x0 = std::max(destLeft, 0);
  const std::int64_t x1 = std::min<std::int64_t>(static_cast<std::int64_t>(destLeft) + destWidth - 1, width_ - 1);
  const std::int64_t y0 = std::max(destTop, 0);
  const std::int64_t y1 = std::min<std::int64_t>(static_cast<std::int64_t>(destTop) + destHeight - 1, height_ - 1);
  if (x0 > x1 || y0 > y1) return;
  const int first = static_cast<int>(x0), last = static_cast<int>(x1);
  const int columns = last - first + 1;

  std::vector<TStretchSpan> colSpans(columns);
  std::int64_t minSx = source.Width(), maxSx = -1;
  for (int i = 0; i < columns; ++i) {
    colSpans[i] = MapStretchOffset(first + i - static_cast<std::int64_t>(destLeft), srcWidth, destWidth, srcLeft,
                                   source.Width(), StretchMode);
    if (colSpans[i].valid) {
      minSx = std::min(minSx, colSpans[i].first);
      maxSx = std::max(maxSx, colSpans[i].first + colSpans[i].count - 1);
    }
  }

  TSourceRows reader(source);
  TDestWriter writer(*this, first, last);
  std::vector<TColor> srcColors(maxSx >= minSx ? static_cast<std::size_t>(maxSx - minSx + 1) : 0);
  std::vector<std::int64_t> sums(static_cast<std::size_t>(columns) * 3);
  TProgress progress(*this, static_cast<int>(y1 - y0 + 1));
  for (int y = static_cast<int>(y0); y <= y1; ++y) {
    const TStretchSpan rowSpan =
        MapStretchOffset(y - static_cast<std::int64_t>(destTop), srcHeight, destHeight, srcTop, source.Height(),
                         StretchMode);
    if (rowSpan.valid && !srcColors.empty()) {
      std::fill(sums.begin(), sums.end(), 0);
      for (int k = 0; k < rowSpan.count; ++k) {
        reader.Read(static_cast<int>(rowSpan.first + k), static_cast<int>(minSx), static_cast<int>(srcColors.size()),
                    srcColors.data());
        const std::int64_t wy = rowSpan.weights[k];
        for (int i = 0; i < columns; ++i) {
          const TStretchSpan& cs = colSpans[i];
          if (!cs.valid) continue;
          std::int64_t r = 0, g = 0, b = 0;
          const TColor* c = srcColors.data() + (cs.first - minSx);
          for (int j = 0; j < cs.count; ++j) {
            const std::int64_t w = cs.weights[j];
            r += w * RedOf(c[j]);
            g += w * GreenOf(c[j]);
            b += w * BlueOf(c[j]);
          }
          // Each source row is divided down before it is weighted, so rows add up in whole levels.
          sums[i * 3 + 0] += r / cs.divisor * wy;
          sums[i * 3 + 1] += g / cs.divisor * wy;
          sums[i * 3 + 2] += b / cs.divisor * wy;
        }
      }
      const bool ltr = LeftToRight(y);
      writer.StartRow(y, ltr);
      for (int n = 0; n < columns; ++n) {
        const int i = ltr ? n : columns - 1 - n;
        if (!colSpans[i].valid) continue;
        writer.Put(first + i, RGBColor(static_cast<int>(sums[i * 3 + 0] / rowSpan.divisor),
                                       static_cast<int>(sums[i * 3 + 1] / rowSpan.divisor),
                                       static_cast<int>(sums[i * 3 + 2] / rowSpan.divisor)));
      }
    }
    if (!progress.RowDone()) break;
  }
  progress.Finish();
}

void TPixelGraphic::StretchFrom(const TPixelGraphic& source) {
  StretchCopy(0, 0, width_, height_, 0, 0, source.Width(), source.Height(), source);
}
