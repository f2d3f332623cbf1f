#include "view/pg_draw.h"

#include <QPainter>
#include <gtest/gtest.h>

#include "image/pixel_graphic.h"

namespace {

// An "F", 6 x 5, red on blue: a flipped or mirrored image or swapped channels all show.
constexpr const char* kF[5] = {"XXXXX.", "X.....", "XXXX..", "X.....", "X....."};
constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

void PaintF(TPixelGraphic& image) {
  image.SetSize(6, 5, TColorRes::Bits24);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) image.SetPixel(x, y, kF[y][x] == 'X' ? kRed : kBlue);
}

}  // namespace

TEST(PixelGraphicToQImage, KeepsTopRowOnTopAndRedAsRed) {
  TPixelGraphic image;
  PaintF(image);
  QImage shown;
  PixelGraphicToQImage(image, shown);
  ASSERT_EQ(shown.size(), QSize(6, 5));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(shown.pixel(x, y), kF[y][x] == 'X' ? qRgb(255, 0, 0) : qRgb(0, 0, 255)) << x << "," << y;
}

TEST(PixelGraphicToQImage, ReusesTheTargetOfTheSameSizeAndFollowsNewPixels) {
  TPixelGraphic image;
  PaintF(image);
  QImage shown;
  PixelGraphicToQImage(image, shown);
  const uchar* memory = shown.constBits();
  image.SetPixel(5, 4, RGBColor(1, 2, 3));
  PixelGraphicToQImage(image, shown);
  EXPECT_EQ(shown.constBits(), memory);
  EXPECT_EQ(shown.pixel(5, 4), qRgb(1, 2, 3));
}

TEST(PixelGraphicToQImage, GivesANullImageForAnEmptyPicture) {
  TPixelGraphic image;
  QImage shown(3, 3, QImage::Format_RGB32);
  PixelGraphicToQImage(image, shown);
  EXPECT_TRUE(shown.isNull());
}

TEST(PixelGraphicToQImage, ShowsPalettedPicturesThroughTheirPalette) {
  TPixelGraphic image;
  image.SetSize(3, 2, TColorRes::Bits8);
  image.SetPaletteLength(256);
  image.SetPaletteEntry(7, RGBColor(10, 20, 30));
  image.SetPixel(2, 0, 7);
  QImage shown;
  PixelGraphicToQImage(image, shown);
  ASSERT_EQ(shown.size(), QSize(3, 2));
  EXPECT_EQ(shown.pixel(2, 0), qRgb(10, 20, 30));
}

TEST(Draw, ScalesTheWholePictureIntoTheRectangle) {
  TPixelGraphic image;
  PaintF(image);
  QImage canvas(12, 10, QImage::Format_RGB32);
  canvas.fill(Qt::green);
  {
    QPainter painter(&canvas);
    Draw(image, painter, QRect(0, 0, 12, 10));
  }
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(canvas.pixel(x, y), kF[y / 2][x / 2] == 'X' ? qRgb(255, 0, 0) : qRgb(0, 0, 255)) << x << "," << y;
}

TEST(Draw, DrawsNothingForAnEmptyPicture) {
  TPixelGraphic image;
  QImage canvas(4, 4, QImage::Format_RGB32);
  canvas.fill(Qt::green);
  {
    QPainter painter(&canvas);
    Draw(image, painter, QRect(0, 0, 4, 4));
  }
  EXPECT_EQ(canvas.pixel(1, 1), QColor(Qt::green).rgb());
}
