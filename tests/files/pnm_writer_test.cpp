#include "files/pnm_writer.h"

#include <gtest/gtest.h>

#include "writer_test_support.h"

using namespace writer_test;

namespace {

TFileOptions Binary(bool binary) {
  TFileOptions options;
  options.PXMWriteBinary = binary;
  return options;
}

std::unique_ptr<TPixelGraphic> RedBlue() {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(2, 1, TColorRes::Bits24);
  image->SetPixel(0, 0, Red);
  image->SetPixel(1, 0, Blue);
  return image;
}

// 1-bit black-and-white picture; "#" is black (index 0), "." white (index 1).
std::unique_ptr<TPixelGraphic> BlackWhite(const std::vector<std::string>& rows) {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), TColorRes::Bits1);
  image->SetPaletteIdent(TPaletteIdent::pBlackWhite);
  for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
    for (int x = 0; x < static_cast<int>(rows[0].size()); ++x) image->SetPixel(x, y, rows[y][x] == '#' ? 0 : 1);
  }
  return image;
}

}  // namespace

TEST(PNMWriter, WritesPixmapsInAsciiAndBinary) {
  auto image = RedBlue();
  EXPECT_EQ(WriteToString(TPPMFileFormatWriter(), *image, Binary(false)), "P3\n2 1\n255\n255 0 0 0 0 255\n");
  EXPECT_EQ(WriteToString(TPPMFileFormatWriter(), *image, Binary(true)),
            std::string("P6\n2 1\n255\n\xFF\x00\x00\x00\x00\xFF", 17));
}

TEST(PNMWriter, WritesTheFPictureTopRowFirst) {
  auto image = MakeF();
  const std::string file = WriteToString(TPPMFileFormatWriter(), *image, Binary(true));
  ASSERT_EQ(file.size(), 11u + 6u * 5u * 3u);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::size_t at = 11 + 3 * (6 * y + x);
      EXPECT_EQ(static_cast<std::uint8_t>(file[at]), IsF(x, y) ? 255 : 0) << x << "," << y;
      EXPECT_EQ(static_cast<std::uint8_t>(file[at + 2]), IsF(x, y) ? 0 : 255) << x << "," << y;
    }
  }
}

TEST(PNMWriter, WritesBitmapsWithBlackAsOneAndNoMaximumLine) {
  auto image = BlackWhite({"#.#", ".##"});
  EXPECT_EQ(WriteToString(TPBMFileFormatWriter(), *image, Binary(false)), "P1\n3 2\n1 0 1\n0 1 1\n");
  // Binary rows are the complemented row bits: 101 -> 0b101xxxxx with the unused bits set.
  EXPECT_EQ(WriteToString(TPBMFileFormatWriter(), *image, Binary(true)), std::string("P4\n3 2\n\xBF\x7F", 9));
}

TEST(PNMWriter, PacksATenPixelBlackRowIntoTwoBytes) {
  auto image = BlackWhite({"##########"});
  const std::string file = WriteToString(TPBMFileFormatWriter(), *image, Binary(true));
  ASSERT_EQ(file.size(), 8u + 2u);
  EXPECT_EQ(static_cast<std::uint8_t>(file[8]), 0xFF);
  EXPECT_EQ(static_cast<std::uint8_t>(file[9]) & 0xC0, 0xC0);
}

TEST(PNMWriter, WritesGraymapsAsTheirGreyLevels) {
  TPixelGraphic image;
  image.SetSize(3, 1, TColorRes::Bits8);
  image.SetPaletteIdent(TPaletteIdent::pGray256);
  image.SetPixel(0, 0, 0);
  image.SetPixel(1, 0, 128);
  image.SetPixel(2, 0, 255);
  EXPECT_EQ(WriteToString(TPGMFileFormatWriter(), image, Binary(false)), "P2\n3 1\n255\n0 128 255\n");
  EXPECT_EQ(WriteToString(TPGMFileFormatWriter(), image, Binary(true)), std::string("P5\n3 1\n255\n\x00\x80\xFF", 14));
}

TEST(PNMWriter, WritesLongAsciiRowsAsOneLineAcrossTheOutputBuffer) {
  auto image = MakePattern(1024, 2);
  const std::string file = WriteToString(TPPMFileFormatWriter(), *image, Binary(false));
  std::istringstream in(file);
  std::string magic, size, max, row1, row2, rest;
  std::getline(in, magic);
  std::getline(in, size);
  std::getline(in, max);
  std::getline(in, row1);
  std::getline(in, row2);
  EXPECT_EQ(size, "1024 2");
  EXPECT_FALSE(std::getline(in, rest));
  std::istringstream values(row1);
  int count = 0;
  for (int v; values >> v;) {
    const TColor c = image->GetPixel(count / 3, 0);
    EXPECT_EQ(v, count % 3 == 0 ? RedOf(c) : count % 3 == 1 ? GreenOf(c) : BlueOf(c)) << count;
    ++count;
  }
  EXPECT_EQ(count, 3 * 1024);
}

TEST(PNMWriter, RefusesEmptyPicturesAndWrongColourResolutionsBeforeWritingAnything) {
  TPixelGraphic empty;
  std::ostringstream out;
  try {
    TPPMFileFormatWriter().Write(out, empty, TWriteContext{});
    FAIL() << "no error";
  } catch (const EPGPxMFileFormatWriter& e) {
    EXPECT_STREQ(e.what(), "PBM, PGM, PPM: Width = 0 or Height = 0");
  }
  auto trueColour = MakeF();
  const std::pair<const TFileFormatWriter*, const char*> cases[] = {
      {new TPBMFileFormatWriter, "PBM: Invalid color resolution"},
      {new TPGMFileFormatWriter, "PGM: Invalid color resolution"}};
  for (const auto& [writer, message] : cases) {
    std::unique_ptr<const TFileFormatWriter> owner(writer);
    try {
      writer->Write(out, *trueColour, TWriteContext{});
      ADD_FAILURE() << "no error for " << message;
    } catch (const EPGPxMFileFormatWriter& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
  auto gray = BlackWhite({"#"});
  EXPECT_THROW(TPPMFileFormatWriter().Write(out, *gray, TWriteContext{}), EPGPxMFileFormatWriter);
  EXPECT_TRUE(out.str().empty());
}

TEST(PNMWriter, ReportsProgressOncePerRowWithTheHeightAsMaximum) {
  auto image = MakeF();
  std::vector<std::string> events;
  image->OnProgressStart = [&](TPixelGraphic&) { events.push_back("start"); };
  image->OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
    events.push_back(std::to_string(step) + "/" + std::to_string(max));
    abort = true;  // writing goes on regardless
  };
  image->OnProgressEnd = [&](TPixelGraphic&) { events.push_back("end"); };
  const std::string file = WriteToString(TPPMFileFormatWriter(), *image, Binary(true));
  EXPECT_EQ(file.size(), 11u + 90u);
  EXPECT_EQ(events, (std::vector<std::string>{"start", "0/5", "1/5", "2/5", "3/5", "4/5", "end"}));
}
