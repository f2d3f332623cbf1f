#include "files/tiff_writer.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include "writer_test_support.h"

using namespace writer_test;

namespace {

constexpr std::uint16_t TagStripOffsets = 273;

// A directory entry read back from our bytes.
struct TEntryRead {
  std::uint32_t tag, type, count, value;
};

std::vector<TEntryRead> ReadDirectory(const std::string& file, bool bigEndian) {
  const auto u16 = [&](std::size_t at) { return bigEndian ? BE16(file, at) : LE16(file, at); };
  const auto u32 = [&](std::size_t at) { return bigEndian ? BE32(file, at) : LE32(file, at); };
  const std::uint32_t at = u32(4);
  std::vector<TEntryRead> entries;
  for (std::uint32_t i = 0; i < u16(at); ++i) {
    const std::size_t e = at + 2 + 12 * i;
    const std::uint32_t type = u16(e + 2);
    const std::uint32_t count = u32(e + 4);
    entries.push_back({u16(e), type, count, type == 3 && count == 1 ? u16(e + 8) : u32(e + 8)});
  }
  return entries;
}

TEntryRead Entry(const std::vector<TEntryRead>& entries, std::uint32_t tag) {
  for (const auto& e : entries) {
    if (e.tag == tag) return e;
  }
  ADD_FAILURE() << "no tag " << tag;
  return {};
}

// Decodes a TIFF file with libtiff into 24-bit colours (or grey/index values for one-sample images).
struct TDecoded {
  std::uint32_t width = 0, height = 0;
  std::uint16_t samples = 0, bits = 0, photometric = 0, compression = 0;
  std::vector<std::vector<std::uint8_t>> rows;  // raw scanlines
};

TDecoded Decode(const std::string& path) {
  TIFFSetWarningHandler(nullptr);
  TDecoded d;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) {
    ADD_FAILURE() << "libtiff cannot open " << path;
    return d;
  }
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d.height);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &d.samples);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &d.bits);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &d.photometric);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &d.compression);
  std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
  for (std::uint32_t y = 0; y < d.height; ++y) {
    if (TIFFReadScanline(tif, line.data(), y, 0) < 0) {
      ADD_FAILURE() << "libtiff cannot read row " << y;
      break;
    }
    d.rows.push_back(line);
  }
  TIFFClose(tif);
  return d;
}

std::string SaveTiff(TTempFolder& folder, TPixelGraphic& image, const TFileOptions& options, const char* name) {
  const std::string path = folder.File(name);
  std::ofstream(path, std::ios::binary) << WriteToString(TTIFFileFormatWriter(), image, options);
  return path;
}

}  // namespace

TEST(TIFFWriter, Lays640By480TrueColourOutAtTheKnownOffsets) {
  TPixelGraphic image;
  image.SetSize(640, 480, TColorRes::Bits24);
  const std::string file = WriteToString(TTIFFileFormatWriter(), image);
  EXPECT_EQ(file.substr(0, 4), std::string("II*\0", 4));
  EXPECT_EQ(LE32(file, 4), 8u);
  EXPECT_EQ(LE16(file, 8), 13u);
  EXPECT_EQ(LE32(file, 166), 0u);  // no next directory
  EXPECT_EQ(LE16(file, 170), 8u);
  EXPECT_EQ(LE16(file, 172), 8u);
  EXPECT_EQ(LE16(file, 174), 8u);
  EXPECT_EQ(LE32(file, 176), 300u);
  EXPECT_EQ(LE32(file, 180), 1u);
  EXPECT_EQ(LE32(file, 184), 300u);
  EXPECT_EQ(LE32(file, 188), 1u);

  const auto entries = ReadDirectory(file, false);
  std::vector<std::uint32_t> tags;
  for (const auto& e : entries) tags.push_back(e.tag);
  EXPECT_EQ(tags, (std::vector<std::uint32_t>{254, 256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 296}));
  EXPECT_EQ(Entry(entries, 256).value, 640u);
  EXPECT_EQ(Entry(entries, 257).value, 480u);
  EXPECT_EQ(Entry(entries, 258).count, 3u);
  EXPECT_EQ(Entry(entries, 258).value, 170u);
  EXPECT_EQ(Entry(entries, 259).value, 1u);
  EXPECT_EQ(Entry(entries, 262).value, 2u);
  EXPECT_EQ(Entry(entries, 277).value, 3u);
  EXPECT_EQ(Entry(entries, 278).value, 17u);
  EXPECT_EQ(Entry(entries, 282).value, 176u);
  EXPECT_EQ(Entry(entries, 283).value, 184u);
  EXPECT_EQ(Entry(entries, 296).value, 2u);
  EXPECT_EQ(Entry(entries, TagStripOffsets).count, 29u);
  EXPECT_EQ(Entry(entries, TagStripOffsets).value, 192u);
  EXPECT_EQ(Entry(entries, 279).count, 29u);
  EXPECT_EQ(Entry(entries, 279).value, 308u);

  for (std::uint32_t s = 0; s < 29; ++s) {
    EXPECT_EQ(LE32(file, 192 + 4 * s), 424u + 32640u * s) << s;
    EXPECT_EQ(LE32(file, 308 + 4 * s), s < 28 ? 32640u : 7680u) << s;
  }
  EXPECT_EQ(file.size(), 424u + 28u * 32640u + 7680u);
}

TEST(TIFFWriter, WritesCMYKWithFourSamplesAndPureRedAsMagentaPlusYellow) {
  TPixelGraphic image;
  image.SetSize(640, 480, TColorRes::Bits24);
  image.SetPixel(0, 0, Red);
  image.SetPixel(1, 0, RGBColor(100, 150, 200));
  TFileOptions options;
  options.TIFFWriteCMYK = true;
  const std::string file = WriteToString(TTIFFileFormatWriter(), image, options);
  const auto entries = ReadDirectory(file, false);
  EXPECT_EQ(Entry(entries, 258).count, 4u);
  EXPECT_EQ(Entry(entries, 262).value, 5u);
  EXPECT_EQ(Entry(entries, 277).value, 4u);
  EXPECT_EQ(Entry(entries, 278).value, 12u);
  EXPECT_EQ(Entry(entries, TagStripOffsets).count, 40u);
  const std::uint32_t bps = Entry(entries, 258).value;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(LE16(file, bps + 2 * i), 8u);

  TTempFolder folder;
  const TDecoded d = Decode(SaveTiff(folder, image, options, "cmyk.tif"));
  ASSERT_EQ(d.rows.size(), 480u);
  EXPECT_EQ(d.samples, 4);
  EXPECT_EQ(d.photometric, PHOTOMETRIC_SEPARATED);
  EXPECT_EQ(std::vector<std::uint8_t>(d.rows[0].begin(), d.rows[0].begin() + 8),
            (std::vector<std::uint8_t>{0, 255, 255, 0, 100, 50, 0, 55}));
  EXPECT_EQ(std::vector<std::uint8_t>(d.rows[479].begin(), d.rows[479].begin() + 4),
            (std::vector<std::uint8_t>{0, 0, 0, 255}));
}

TEST(TIFFWriter, WritesEveryNumberBigEndianWithByteOrderM) {
  TPixelGraphic image;
  image.SetSize(640, 480, TColorRes::Bits24);
  TFileOptions options;
  options.TIFFByteOrderM = true;
  const std::string file = WriteToString(TTIFFileFormatWriter(), image, options);
  EXPECT_EQ(file.substr(0, 8), std::string("MM\0*\0\0\0\x08", 8));
  EXPECT_EQ(BE16(file, 8), 13u);
  const auto entries = ReadDirectory(file, true);
  EXPECT_EQ(Entry(entries, 256).value, 640u);
  EXPECT_EQ(Entry(entries, 262).value, 2u);
  EXPECT_EQ(Entry(entries, 278).value, 17u);
  EXPECT_EQ(BE32(file, 176), 300u);
  EXPECT_EQ(BE32(file, 192), 424u);
  EXPECT_EQ(BE32(file, 308), 32640u);
}

TEST(TIFFWriter, DecodesToTheSamePixelsInBothByteOrdersAndCompressions) {
  auto image = MakePattern(300, 200);
  TTempFolder folder;
  for (const bool bigEndian : {false, true}) {
    for (const std::int32_t compression : {TIFFCompressionNone, TIFFCompressionPackBits}) {
      TFileOptions options;
      options.TIFFByteOrderM = bigEndian;
      options.TIFFCompression = compression;
      const TDecoded d = Decode(SaveTiff(folder, *image, options, "pattern.tif"));
      SCOPED_TRACE(std::string(bigEndian ? "MM " : "II ") + std::to_string(compression));
      EXPECT_EQ(d.compression, compression);
      ASSERT_EQ(d.width, 300u);
      ASSERT_EQ(d.rows.size(), 200u);
      int mismatches = 0;
      for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300; ++x) {
          const TColor c = image->GetPixel(x, y);
          const std::uint8_t* p = &d.rows[static_cast<std::size_t>(y)][3 * static_cast<std::size_t>(x)];
          if (p[0] != RedOf(c) || p[1] != GreenOf(c) || p[2] != BlueOf(c)) ++mismatches;
        }
      }
      EXPECT_EQ(mismatches, 0);
    }
  }
}

TEST(TIFFWriter, DecodesTheFPictureWithPackBitsTopRowFirst) {
  auto image = MakeF();
  TFileOptions options;
  options.TIFFCompression = TIFFCompressionPackBits;
  TTempFolder folder;
  const TDecoded d = Decode(SaveTiff(folder, *image, options, "f.tif"));
  ASSERT_EQ(d.rows.size(), 5u);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::uint8_t* p = &d.rows[static_cast<std::size_t>(y)][3 * static_cast<std::size_t>(x)];
      EXPECT_EQ(p[0], IsF(x, y) ? 255 : 0) << x << "," << y;
      EXPECT_EQ(p[2], IsF(x, y) ? 0 : 255) << x << "," << y;
    }
  }
}

TEST(TIFFWriter, PackBitsSplitsLongRunsAndKeepsPairsBetweenLiteralsLiteral) {
  const auto pack = [](std::vector<std::uint8_t> row) {
    std::vector<std::uint8_t> out;
    PackBitsRow(row.data(), row.size(), out);
    return out;
  };
  EXPECT_EQ(pack(std::vector<std::uint8_t>(300, 7)),
            (std::vector<std::uint8_t>{0x81, 7, 0x81, 7, static_cast<std::uint8_t>(-43), 7}));
  EXPECT_EQ(pack({1, 2, 2, 3}), (std::vector<std::uint8_t>{3, 1, 2, 2, 3}));
  // A run of 129 leaves one copy, sent as a repeat packet with header 0.
  EXPECT_EQ(pack(std::vector<std::uint8_t>(129, 5)), (std::vector<std::uint8_t>{0x81, 5, 0, 5}));
  // A pair between runs of three stays a repeat packet.
  EXPECT_EQ(pack({4, 4, 4, 6, 6, 9, 9, 9}), (std::vector<std::uint8_t>{0xFE, 4, 0xFF, 6, 0xFE, 9}));
  std::vector<std::uint8_t> literal(130);
  for (std::size_t i = 0; i < literal.size(); ++i) literal[i] = static_cast<std::uint8_t>(i);
  const auto packed = pack(literal);
  ASSERT_EQ(packed.size(), 132u);
  EXPECT_EQ(packed[0], 127);
  EXPECT_EQ(packed[129], 1);
  EXPECT_EQ(packed[130], 128);
  EXPECT_EQ(pack({9}), (std::vector<std::uint8_t>{0, 9}));
}

TEST(TIFFWriter, StoresASingleStripInTheDirectoryWithoutArrays) {
  auto image = MakeF();
  const std::string file = WriteToString(TTIFFileFormatWriter(), *image);
  const auto entries = ReadDirectory(file, false);
  // 8 + 2 + 13 x 12 + 4 = 170, then 6 bytes of bits per sample and 16 of resolutions: the strip at 192.
  EXPECT_EQ(Entry(entries, TagStripOffsets).count, 1u);
  EXPECT_EQ(Entry(entries, TagStripOffsets).value, 192u);
  EXPECT_EQ(Entry(entries, 279).value, 90u);
  EXPECT_EQ(Entry(entries, 278).value, 5u);
  EXPECT_EQ(file.size(), 192u + 90u);
}

TEST(TIFFWriter, WritesResolutionUnitOneWithoutAUnitAndStillBothResolutions) {
  auto image = MakeF();
  TFileOptions options;
  options.TIFFResUnit = TTIFFResUnit::None;
  options.TIFFResXNum = 72;
  options.TIFFResYNum = 144;
  options.TIFFResYDen = 2;
  const std::string file = WriteToString(TTIFFileFormatWriter(), *image, options);
  const auto entries = ReadDirectory(file, false);
  EXPECT_EQ(Entry(entries, 296).value, 1u);
  EXPECT_EQ(LE32(file, Entry(entries, 282).value), 72u);
  EXPECT_EQ(LE32(file, Entry(entries, 283).value), 144u);
  EXPECT_EQ(LE32(file, Entry(entries, 283).value + 4), 2u);
  options.TIFFResUnit = TTIFFResUnit::Centimeter;
  EXPECT_EQ(Entry(ReadDirectory(WriteToString(TTIFFileFormatWriter(), *image, options), false), 296).value, 3u);
}

TEST(TIFFWriter, WritesGreyWhiteIsZeroComplementedWithoutColourMap) {
  TPixelGraphic image;
  image.SetSize(3, 1, TColorRes::Bits8);
  image.SetPaletteIdent(TPaletteIdent::pGray256);
  image.SetPixel(0, 0, 0);
  image.SetPixel(1, 0, 100);
  image.SetPixel(2, 0, 255);
  TFileOptions options;
  options.TIFFWhiteIsZero = true;
  const std::string file = WriteToString(TTIFFileFormatWriter(), image, options);
  const auto entries = ReadDirectory(file, false);
  EXPECT_EQ(entries.size(), 13u);
  EXPECT_EQ(Entry(entries, 262).value, 0u);
  EXPECT_EQ(Entry(entries, 258).value, 8u);
  EXPECT_EQ(Bytes(file.substr(Entry(entries, TagStripOffsets).value, 3)),
            (std::vector<std::uint8_t>{255, 155, 0}));

  TTempFolder folder;
  const TDecoded d = Decode(SaveTiff(folder, image, TFileOptions{}, "gray.tif"));
  EXPECT_EQ(d.photometric, PHOTOMETRIC_MINISBLACK);
  ASSERT_EQ(d.rows.size(), 1u);
  EXPECT_EQ(std::vector<std::uint8_t>(d.rows[0].begin(), d.rows[0].begin() + 3),
            (std::vector<std::uint8_t>{0, 100, 255}));
}

TEST(TIFFWriter, WritesBlackAndWhiteRowsWithCleanUnusedBits) {
  TPixelGraphic image;
  image.SetSize(10, 2, TColorRes::Bits1);
  image.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  for (int x = 0; x < 10; x += 3) image.SetPixel(x, 1, 1);  // white at 0, 3, 6, 9 of the bottom row
  for (const bool whiteIsZero : {false, true}) {
    TFileOptions options;
    options.TIFFWhiteIsZero = whiteIsZero;
    const std::string file = WriteToString(TTIFFileFormatWriter(), image, options);
    const auto entries = ReadDirectory(file, false);
    EXPECT_EQ(Entry(entries, 262).value, whiteIsZero ? 0u : 1u);
    EXPECT_EQ(Entry(entries, 258).value, 1u);
    const std::string strip = file.substr(Entry(entries, TagStripOffsets).value);
    ASSERT_EQ(strip.size(), 4u);
    // 1001001001 -> 0x92 0x40; WhiteIsZero complements the pixels but leaves the unused bits 0.
    const std::vector<std::uint8_t> expected =
        whiteIsZero ? std::vector<std::uint8_t>{0xFF, 0xC0, 0x6D, 0x80} : std::vector<std::uint8_t>{0, 0, 0x92, 0x40};
    EXPECT_EQ(Bytes(strip), expected);
  }
}

TEST(TIFFWriter, WritesPaletteImagesWithAColourMapThatLibtiffReads) {
  TPixelGraphic image;
  image.SetSize(5, 3, TColorRes::Bits4);
  image.SetPaletteLength(3);
  image.SetPaletteEntry(1, RGBColor(255, 128, 1));
  image.SetPaletteEntry(2, RGBColor(0, 64, 255));
  image.SetPixel(0, 0, 1);
  image.SetPixel(4, 2, 2);
  const std::string file = WriteToString(TTIFFileFormatWriter(), image);
  const auto entries = ReadDirectory(file, false);
  ASSERT_EQ(entries.size(), 14u);
  EXPECT_EQ(Entry(entries, 320).count, 48u);
  EXPECT_EQ(Entry(entries, 262).value, 3u);

  TTempFolder folder;
  const std::string path = SaveTiff(folder, image, TFileOptions{}, "palette.tif");
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  ASSERT_EQ(TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue), 1);
  EXPECT_EQ(red[1], 255 * 256);
  EXPECT_EQ(green[1], 128 * 256);
  EXPECT_EQ(blue[2], 255 * 256);
  EXPECT_EQ(red[15], 0);
  std::uint32_t rgba[15];
  ASSERT_EQ(TIFFReadRGBAImageOriented(tif, 5, 3, rgba, ORIENTATION_TOPLEFT, 0), 1);
  TIFFClose(tif);
  EXPECT_EQ(TIFFGetR(rgba[0]), 255u);
  EXPECT_EQ(TIFFGetG(rgba[0]), 128u);
  EXPECT_EQ(TIFFGetB(rgba[14]), 255u);
  EXPECT_EQ(TIFFGetR(rgba[1]), 0u);
}

TEST(TIFFWriter, PutsEveryLateValueIntoItsOwnEntryForABigEndianPaletteImageInSeveralStrips) {
  // 300 x 300 at 8 bits with a palette: 14 entries, 109 rows per strip, 3 strips.
  TPixelGraphic image;
  image.SetSize(300, 300, TColorRes::Bits8);
  image.SetPaletteLength(2);
  image.SetPaletteEntry(1, RGBColor(10, 20, 30));
  TFileOptions options;
  options.TIFFByteOrderM = true;
  options.TIFFResXNum = 72;
  const std::string file = WriteToString(TTIFFileFormatWriter(), image, options);
  const auto entries = ReadDirectory(file, true);
  ASSERT_EQ(entries.size(), 14u);
  EXPECT_EQ(BE32(file, 10 + 14 * 12), 0u);  // no next directory
  EXPECT_EQ(Entry(entries, 258).value, 8u);
  EXPECT_EQ(Entry(entries, 262).value, 3u);
  EXPECT_EQ(Entry(entries, 278).value, 109u);
  // Colour map at 182 (768 values), resolutions at 1718 and 1726, strip arrays at 1734 and 1746.
  EXPECT_EQ(Entry(entries, 320).count, 768u);
  EXPECT_EQ(Entry(entries, 320).value, 182u);
  EXPECT_EQ(BE16(file, 182 + 2 * 1), 10u * 256u);
  EXPECT_EQ(BE16(file, 182 + 2 * (256 + 1)), 20u * 256u);
  EXPECT_EQ(Entry(entries, 282).value, 1718u);
  EXPECT_EQ(BE32(file, 1718), 72u);
  EXPECT_EQ(Entry(entries, 283).value, 1726u);
  EXPECT_EQ(BE32(file, 1726), 300u);
  EXPECT_EQ(Entry(entries, TagStripOffsets).count, 3u);
  EXPECT_EQ(Entry(entries, TagStripOffsets).value, 1734u);
  EXPECT_EQ(Entry(entries, 279).value, 1746u);
  for (std::uint32_t s = 0; s < 3; ++s) {
    EXPECT_EQ(BE32(file, 1734 + 4 * s), 1758u + 32700u * s) << s;
    EXPECT_EQ(BE32(file, 1746 + 4 * s), s < 2 ? 32700u : 24600u) << s;
  }
  EXPECT_EQ(file.size(), 1758u + 2u * 32700u + 24600u);
}

TEST(TIFFWriter, RefusesUnknownCompressionAndEmptyPictures) {
  auto image = MakeF();
  TFileOptions options;
  options.TIFFCompression = 5;
  std::ostringstream out;
  try {
    TTIFFileFormatWriter().Write(out, *image, TWriteContext{options, {}});
    FAIL() << "no error";
  } catch (const EPGTIFFileFormatWriter& e) {
    EXPECT_STREQ(e.what(), "TIFF: Internal Error");
  }
  TPixelGraphic empty;
  try {
    TTIFFileFormatWriter().Write(out, empty, TWriteContext{});
    FAIL() << "no error";
  } catch (const EPGTIFFileFormatWriter& e) {
    EXPECT_STREQ(e.what(), "TIFF: Width = 0 or Height = 0");
  }
  EXPECT_TRUE(out.str().empty());
}

TEST(TIFFWriter, ReportsProgressWithTheLastRowAsMaximum) {
  auto image = MakeF();
  std::vector<int> maxima;
  int ends = 0;
  image->OnProgress = [&](TPixelGraphic&, int, int max, bool&) { maxima.push_back(max); };
  image->OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
  WriteToString(TTIFFileFormatWriter(), *image);
  EXPECT_EQ(maxima, std::vector<int>(5, 4));
  EXPECT_EQ(ends, 1);
}
