#include "view/pg_draw.h"

#include <QPainter>
#include <cstdint>

#include "image/pixel_graphic.h"

void PixelGraphicToQImage(const TPixelGraphic& image, QImage& target) {
  const int width = image.Width();
  const int height = image.Height();
  if (width <= 0 || height <= 0 || image.Empty()) {
    target = QImage();
    return;
  }
  if (target.width() != width || target.height() != height || target.format() != QImage::Format_RGB32) {
    target = QImage(width, height, QImage::Format_RGB32);
  }
  if (image.ColorRes() == TColorRes::Bits24) {
    const std::uint8_t* bits = image.Bits();
    const int stride = image.BytesPerLine();
    for (int y = 0; y < height; ++y) {
      // The memory's first row is the picture's bottom row.
      const std::uint8_t* src = bits + static_cast<std::int64_t>(stride) * (height - 1 - y);
      auto* dst = reinterpret_cast<QRgb*>(target.scanLine(y));
      for (int x = 0; x < width; ++x, src += 3) {
        dst[x] = 0xFF000000u | (static_cast<QRgb>(src[2]) << 16) | (static_cast<QRgb>(src[1]) << 8) | src[0];
      }
    }
    return;
  }
  // Paletted pictures are only ever shown after a save-time conversion, so the plain per-pixel read is enough.
  for (int y = 0; y < height; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(target.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const TColor c = image.GetColor(x, y);
      dst[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
    }
  }
}

void Draw(const TPixelGraphic& image, QPainter& canvas, const QRect& rect) {
  if (image.Width() <= 0 || image.Height() <= 0 || image.Empty() || rect.isEmpty()) return;
  QImage picture;
  PixelGraphicToQImage(image, picture);
  canvas.drawImage(rect, picture);
}
