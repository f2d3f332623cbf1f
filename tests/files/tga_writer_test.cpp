#include "files/tga_writer.h"

#include <gtest/gtest.h>

#include "writer_test_support.h"

using namespace writer_test;

TEST(TGAWriter, Writes3By2TrueColourBottomRowFirstWithoutPadding) {
  TPixelGraphic image;
  image.SetSize(3, 2, TColorRes::Bits24);
  image.SetPixel(0, 0, RGBColor(1, 2, 3));   // top row
  image.SetPixel(0, 1, RGBColor(10, 20, 30));  // bottom row
  image.SetPixel(2, 1, RGBColor(40, 50, 60));
  const std::string file = WriteToString(TTGAFileFormatWriter(), image);
  const std::vector<std::uint8_t> expected = {
      0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0,  // header
      30, 20, 10, 0, 0, 0, 60, 50, 40,                         // bottom row, blue-green-red
      3, 2, 1, 0, 0, 0, 0, 0, 0};                              // top row
  EXPECT_EQ(Bytes(file), expected);
}

TEST(TGAWriter, WritesColourMappedPicturesWithTheirPalette) {
  TPixelGraphic image;
  image.SetSize(2, 1, TColorRes::Bits8);
  image.SetPaletteLength(3);
  image.SetPaletteEntry(2, RGBColor(7, 8, 9));
  image.SetPixel(1, 0, 2);
  const std::string file = WriteToString(TTGAFileFormatWriter(), image);
  const std::vector<std::uint8_t> expected = {
      0, 1, 1, 0, 0, 3, 0, 24, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0,  // header: colour map of 3 entries of 24 bits
      0, 0, 0, 0, 0, 0, 9, 8, 7,                               // colour map, blue-green-red
      0, 2};
  EXPECT_EQ(Bytes(file), expected);
}

TEST(TGAWriter, WritesTheFPictureSoThatTheFirstStoredRowIsItsFoot) {
  auto image = MakeF();
  const std::string file = WriteToString(TTGAFileFormatWriter(), *image);
  ASSERT_EQ(file.size(), 18u + 6u * 5u * 3u);
  for (int stored = 0; stored < 5; ++stored) {
    const int y = 4 - stored;
    for (int x = 0; x < 6; ++x) {
      const std::size_t at = 18 + 18 * stored + 3 * x;
      EXPECT_EQ(static_cast<std::uint8_t>(file[at + 2]), IsF(x, y) ? 255 : 0) << x << "," << y;
      EXPECT_EQ(static_cast<std::uint8_t>(file[at]), IsF(x, y) ? 0 : 255) << x << "," << y;
    }
  }
}

TEST(TGAWriter, RefusesPicturesBeyondTheSixteenBitSizeFieldsBeforeWritingAnything) {
  for (const auto& [width, height] : {std::pair{65536, 1}, std::pair{1, 65536}}) {
    TPixelGraphic image;
    image.SetSize(width, height, TColorRes::Bits24);
    std::ostringstream out;
    try {
      TTGAFileFormatWriter().Write(out, image, TWriteContext{});
      ADD_FAILURE() << "no error for " << width << " x " << height;
    } catch (const EPGTGAFileFormatWriter& e) {
      EXPECT_EQ(std::string(e.what()), "TGA: The picture is " + std::to_string(width) + " x " +
                                           std::to_string(height) +
                                           " pixels; Targa files hold at most 65535 x 65535 pixels");
    }
    EXPECT_TRUE(out.str().empty());
  }
  TPixelGraphic widest;
  widest.SetSize(65535, 1, TColorRes::Bits24);
  EXPECT_EQ(WriteToString(TTGAFileFormatWriter(), widest).size(), 18u + 3u * 65535u);
}

TEST(TGAWriter, RefusesOneAndFourBitPicturesWhoseRowsAreShorterThanTheirWidth) {
  TPixelGraphic image;
  image.SetSize(16, 2, TColorRes::Bits1);
  image.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  std::ostringstream out;
  try {
    TTGAFileFormatWriter().Write(out, image, TWriteContext{});
    FAIL() << "no error";
  } catch (const EPGTGAFileFormatWriter& e) {
    EXPECT_STREQ(e.what(), "TGA: Invalid color resolution");
  }
}
