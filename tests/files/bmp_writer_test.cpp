#include "files/bmp_writer.h"

#include <gtest/gtest.h>

#include "writer_test_support.h"

using namespace writer_test;

TEST(BMPWriter, WritesTheFPictureWithHeaderPaddingAndBottomUpRows) {
  auto image = MakeF();
  const std::string file = WriteToString(TBMPFileFormatWriter(), *image);
  // 6 pixels x 3 bytes = 18, padded to 20; five rows.
  ASSERT_EQ(file.size(), 54u + 20u * 5u);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(LE32(file, 2), 154u);
  EXPECT_EQ(LE32(file, 6), 0u);
  EXPECT_EQ(LE32(file, 10), 54u);
  EXPECT_EQ(LE32(file, 14), 40u);
  EXPECT_EQ(LE32(file, 18), 6u);
  EXPECT_EQ(LE32(file, 22), 5u);
  EXPECT_EQ(LE16(file, 26), 1u);
  EXPECT_EQ(LE16(file, 28), 24u);
  EXPECT_EQ(LE32(file, 30), 0u);
  EXPECT_EQ(LE32(file, 34), 100u);
  EXPECT_EQ(LE32(file, 46), 0u);

  // The first stored row is the bottom row "R.....": blue, green, red per pixel, then 2 padding bytes.
  const std::vector<std::uint8_t> bottom = {0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 0, 0,
                                            255, 0, 0, 255, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(file.substr(54, 20)), bottom);
  // The last stored row is the top row "RRRR..".
  const std::vector<std::uint8_t> top = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255,
                                         255, 0, 0, 255, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(file.substr(54 + 4 * 20, 20)), top);
}

TEST(BMPWriter, Writes640By480TrueColourAsTheFullSizeWithoutPalette) {
  TPixelGraphic image;
  image.SetSize(640, 480, TColorRes::Bits24);
  const std::string file = WriteToString(TBMPFileFormatWriter(), image);
  EXPECT_EQ(file.size(), 921654u);
  EXPECT_EQ(LE32(file, 2), 921654u);
  EXPECT_EQ(LE32(file, 10), 54u);
}

TEST(BMPWriter, PlacesPixelsAfterAPaletteOf252Entries) {
  TPixelGraphic image;
  image.SetSize(3, 2, TColorRes::Bits8);
  image.SetPaletteLength(252);
  image.SetPaletteEntry(1, RGBColor(10, 20, 30));
  image.SetPixel(0, 1, 1);
  const std::string file = WriteToString(TBMPFileFormatWriter(), image);
  EXPECT_EQ(LE32(file, 10), 1062u);
  EXPECT_EQ(LE32(file, 46), 252u);
  EXPECT_EQ(LE16(file, 28), 8u);
  ASSERT_EQ(file.size(), 1062u + 4u * 2u);
  // Palette entry 1 as blue, green, red, 0; the bottom row starts with index 1.
  EXPECT_EQ(Bytes(file.substr(54 + 4, 4)), (std::vector<std::uint8_t>{30, 20, 10, 0}));
  EXPECT_EQ(static_cast<std::uint8_t>(file[1062]), 1);
}

TEST(BMPWriter, DIBWriterWritesTheSameBytesUnderItsOwnExtension) {
  auto image = MakeF();
  const TDIBFileFormatWriter dib;
  EXPECT_EQ(dib.Extension(), "dib");
  EXPECT_FALSE(dib.Listed());
  EXPECT_EQ(WriteToString(dib, *image), WriteToString(TBMPFileFormatWriter(), *image));
}
