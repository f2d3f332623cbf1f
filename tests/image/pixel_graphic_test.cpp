#include "image/pixel_graphic.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

template <typename E, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "<no exception>";
}

std::vector<std::uint8_t> Bytes(const std::uint8_t* p, std::size_t n) { return std::vector<std::uint8_t>(p, p + n); }

std::vector<std::uint8_t> Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

std::vector<std::uint8_t> DibHeader(int w, int h, int bits, std::uint32_t imageSize, std::uint32_t colors) {
  std::vector<std::uint8_t> out;
  Append(out, Le32(40));
  Append(out, Le32(w));
  Append(out, Le32(h));
  Append(out, {1, 0, static_cast<std::uint8_t>(bits), 0});
  Append(out, Le32(0));
  Append(out, Le32(imageSize));
  Append(out, Le32(0));
  Append(out, Le32(0));
  Append(out, Le32(colors));
  Append(out, Le32(0));
  return out;
}

}  // namespace

TEST(PixelGraphic, StartsAsAnEmptyTrueColorImageWithTheDocumentedSettings) {
  TPixelGraphic g;
  EXPECT_TRUE(g.Empty());
  EXPECT_EQ(g.Width(), 0);
  EXPECT_EQ(g.Height(), 0);
  EXPECT_EQ(g.ColorRes(), TColorRes::Bits24);
  EXPECT_EQ(g.BytesPerLine(), 0);
  EXPECT_EQ(g.ImageSize(), 0);
  EXPECT_EQ(g.Bits(), nullptr);
  EXPECT_EQ(g.PaletteIdent(), TPaletteIdent::pTrueColor);
  EXPECT_EQ(g.PaletteLength(), 0);
  EXPECT_EQ(g.BackGroundColor(), 0u);
  EXPECT_FALSE(g.RaiseXYIndexOutOfRange);
  EXPECT_TRUE(g.Dither);
  EXPECT_EQ(g.DitherErrorLimit, 32);
  EXPECT_TRUE(g.DitherErrorLimitAuto);
  EXPECT_TRUE(g.DitherErrorLimitSoft);
  EXPECT_TRUE(g.RGBWeighting);
  EXPECT_FALSE(g.ReduceOnLoad);
  EXPECT_EQ(g.StretchMode, TStretchMode::smPrecise);
  EXPECT_EQ(g.ReadWarningAction, TPGWarningAction::pgwaOKCancelBox);
  EXPECT_EQ(g.SaveColorResWarningAction, TPGWarningAction::pgwaOKCancelBox);
  EXPECT_EQ(g.ChangeLockCount(), 0);
}

TEST(PixelGraphic, TakesTheDefaultGammaOfItsConstructionTime) {
  const long double before = TPixelGraphic::DefaultGamma();
  EXPECT_EQ(before, 1.8L);
  TPixelGraphic old;
  TPixelGraphic::SetDefaultGamma(2.2L);
  TPixelGraphic fresh;
  TPixelGraphic::SetDefaultGamma(before);
  EXPECT_EQ(old.Gamma, 1.8L);
  EXPECT_EQ(fresh.Gamma, 2.2L);
}

TEST(PixelGraphic, PadsEveryRowToFourBytesInEachColorResolution) {
  struct Case {
    int w;
    TColorRes res;
    int bytesPerLine;
  };
  const Case cases[] = {{3, TColorRes::Bits24, 12}, {3, TColorRes::Bits1, 4},  {3, TColorRes::Bits4, 4},
                        {3, TColorRes::Bits8, 4},   {1, TColorRes::Bits24, 4}, {4, TColorRes::Bits24, 12},
                        {32, TColorRes::Bits1, 4},  {33, TColorRes::Bits1, 8}, {8, TColorRes::Bits4, 4},
                        {9, TColorRes::Bits4, 8},   {5, TColorRes::Bits8, 8},  {400, TColorRes::Bits24, 1200}};
  for (const Case& c : cases) {
    TPixelGraphic g;
    g.SetSize(c.w, 2, c.res);
    EXPECT_EQ(g.BytesPerLine(), c.bytesPerLine) << c.w << " px at " << g.BitsPerPixel() << " bits";
    EXPECT_EQ(g.ImageSize(), 2 * c.bytesPerLine);
  }
}

TEST(PixelGraphic, ReportsBitsAndPaletteColorsOfEachResolution) {
  TPixelGraphic g;
  const std::pair<TColorRes, int> table[] = {
      {TColorRes::Bits1, 1}, {TColorRes::Bits4, 4}, {TColorRes::Bits8, 8}, {TColorRes::Bits24, 24}};
  for (auto [res, bits] : table) {
    g.SetSize(2, 2, res);
    EXPECT_EQ(g.BitsPerPixel(), bits);
    EXPECT_EQ(BitsPerPixelOf(res), bits);
    EXPECT_EQ(ColorResOfBitCount(bits), res);
    EXPECT_EQ(g.PaletteColorCount(), bits == 24 ? 0 : 1 << bits);
  }
}

TEST(PixelGraphic, RejectsBitCountsThatNoResolutionHas) {
  for (int bits : {0, 2, 16, 32, -1}) {
    EXPECT_EQ(MessageOf<EPGInvalidBitCountNum>([&] { ColorResOfBitCount(bits); }), "Invalid value for BitCountNum");
  }
}

TEST(PixelGraphic, ZeroSizeLeavesTheImageWithoutPixelMemory) {
  TPixelGraphic g;
  g.SetSize(4, 4, TColorRes::Bits24);
  g.SetSize(0, 0, TColorRes::Bits24);
  EXPECT_TRUE(g.Empty());
  EXPECT_EQ(g.Bits(), nullptr);
  EXPECT_EQ(g.ScanLine(0), nullptr);

  g.SetSize(5, 0, TColorRes::Bits8);
  EXPECT_TRUE(g.Empty());
  EXPECT_EQ(g.Width(), 5);
  EXPECT_EQ(g.BytesPerLine(), 8);
  g.SetPixel(0, 0, 1);  // must not touch memory that is not there
  EXPECT_EQ(g.GetPixel(0, 0), 0u);
}

TEST(PixelGraphic, NegativeSizesRaiseWidthFirstAndLeaveTheImageAlone) {
  TPixelGraphic g;
  g.SetSize(2, 3, TColorRes::Bits24);
  g.SetPixel(1, 2, kRed);
  EXPECT_EQ(MessageOf<EPGInvalidSize>([&] { g.SetSize(-1, 5, TColorRes::Bits24); }), "Negative width");
  EXPECT_EQ(MessageOf<EPGInvalidSize>([&] { g.SetSize(5, -1, TColorRes::Bits24); }), "Negative height");
  EXPECT_EQ(MessageOf<EPGInvalidSize>([&] { g.SetSize(-1, -1, TColorRes::Bits24); }), "Negative width");
  EXPECT_EQ(MessageOf<EPGInvalidSize>([&] { g.SetHeight(-7); }), "Negative height");
  EXPECT_EQ(g.Width(), 2);
  EXPECT_EQ(g.Height(), 3);
  EXPECT_EQ(g.GetPixel(1, 2), kRed);
}

TEST(PixelGraphic, RefusesPixelMemoryBeyondTwoGigabytesWithoutAllocatingIt) {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits24);
  g.SetPixel(0, 0, kBlue);
  EXPECT_EQ(MessageOf<EPixelGraphic>([&] { g.SetSize(100000, 100000, TColorRes::Bits24); }),
            "Image too large: 100000 x 100000 pixels need more than 2 GB");
  // The row length alone overflows 32 bits even with no rows at all.
  EXPECT_EQ(MessageOf<EPixelGraphic>([&] { g.SetSize(INT_MAX, 0, TColorRes::Bits24); }),
            "Image too large: 2147483647 x 0 pixels need more than 2 GB");
  EXPECT_THROW(g.SetSize(INT_MAX, INT_MAX, TColorRes::Bits1), EPixelGraphic);
  EXPECT_EQ(g.Width(), 2);
  EXPECT_EQ(g.BytesPerLine(), 8);
  EXPECT_EQ(g.GetPixel(0, 0), kBlue);
}

#if defined(__SANITIZE_ADDRESS__)
#define OVEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OVEL_ADDRESS_SANITIZER 1
#endif
#endif

#ifndef OVEL_ADDRESS_SANITIZER
// Runs in a child process whose address space is capped at 1 GB and asks for 1.8 GB of pixels.
[[noreturn]] void ResizeBeyondTheAddressSpace() {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits24);
  g.SetPixel(1, 1, kRed);
  const rlimit limit{1L << 30, 1L << 30};
  setrlimit(RLIMIT_AS, &limit);
  try {
    g.SetSize(30000, 20000, TColorRes::Bits24);
  } catch (const EPixelGraphic& e) {
    const bool intact = g.Width() == 2 && g.GetPixel(1, 1) == kRed;
    std::fprintf(stderr, "%s%s", e.what(), intact ? " / intact" : " / damaged");
    std::exit(0);
  }
  std::exit(1);
}
#endif

TEST(PixelGraphic, ReportsRefusedPixelMemoryAndKeepsTheOldPicture) {
#ifdef OVEL_ADDRESS_SANITIZER
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ResizeBeyondTheAddressSpace(), ::testing::ExitedWithCode(0), "^CreateDIBSection failed / intact$");
#endif
}

TEST(PixelGraphic, StoresTwentyFourBitPixelsBlueGreenRedInBottomUpRows) {
  TPixelGraphic g;
  g.SetSize(3, 2, TColorRes::Bits24);
  const TColor v = 10 + 20 * 256 + 30 * 65536;
  g.SetPixel(0, 0, v);
  g.SetPixel(2, 1, RGBColor(1, 2, 3));
  // Row 0 is stored last.
  EXPECT_EQ(Bytes(g.Bits() + 12, 3), (std::vector<std::uint8_t>{30, 20, 10}));
  EXPECT_EQ(Bytes(g.Bits() + 6, 3), (std::vector<std::uint8_t>{3, 2, 1}));
  EXPECT_EQ(g.ScanLine(0), g.Bits() + 12);
  EXPECT_EQ(g.ScanLine(1), g.Bits());
  EXPECT_EQ(g.ScanLine(2), nullptr);
  EXPECT_EQ(g.ScanLine(-1), nullptr);
  EXPECT_EQ(g.GetPixel(0, 0), v);
  EXPECT_EQ(g.GetColor(2, 1), RGBColor(1, 2, 3));
  EXPECT_EQ(g.GetPixel(1, 0), 0u);
}

TEST(PixelGraphic, PacksOneBitPixelsMostSignificantBitFirst) {
  TPixelGraphic g;
  g.SetSize(10, 2, TColorRes::Bits1);
  g.SetPixel(0, 0, 1);
  g.SetPixel(9, 0, 1);
  g.SetPixel(3, 1, 1);
  const std::uint8_t* row0 = g.ScanLine(0);
  EXPECT_EQ(row0[0], 0x80);
  EXPECT_EQ(row0[1], 0x40);
  EXPECT_EQ(g.ScanLine(1)[0], 0x10);
  EXPECT_EQ(g.GetPixel(9, 0), 1u);
  EXPECT_EQ(g.GetPixel(8, 0), 0u);
  // Only the value 1 sets a bit; anything else clears it.
  g.SetPixel(0, 0, 3);
  g.SetPixel(1, 0, 0xFFFFFF);
  EXPECT_EQ(row0[0], 0x00);
}

TEST(PixelGraphic, PacksFourBitPixelsHighNibbleFirst) {
  TPixelGraphic g;
  g.SetSize(3, 1, TColorRes::Bits4);
  g.SetPixel(0, 0, 0x1A);  // stored modulo 16
  g.SetPixel(1, 0, 3);
  g.SetPixel(2, 0, 0xF);
  EXPECT_EQ(Bytes(g.Bits(), 2), (std::vector<std::uint8_t>{0xA3, 0xF0}));
  EXPECT_EQ(g.GetPixel(0, 0), 0xAu);
  EXPECT_EQ(g.GetPixel(1, 0), 3u);
  g.SetPixel(0, 0, 0);
  EXPECT_EQ(g.Bits()[0], 0x03);
}

TEST(PixelGraphic, StoresTheLowByteOfEightBitPixels) {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits8);
  g.SetPixel(1, 0, 0x1234);
  EXPECT_EQ(g.ScanLine(0)[1], 0x34);
  EXPECT_EQ(g.GetPixel(1, 0), 0x34u);
}

TEST(PixelGraphic, IgnoresWritesAndReadsBackgroundOutsideTheImage) {
  TPixelGraphic g;
  g.SetSize(4, 3, TColorRes::Bits24);
  g.SetBackGroundColor(kBlue);
  const std::vector<std::uint8_t> before = Bytes(g.Bits(), g.ImageSize());
  g.SetPixel(-1, 5, kRed);
  g.SetPixel(4, 0, kRed);
  g.SetPixel(0, 3, kRed);
  g.SetPixel(INT_MIN, INT_MAX, kRed);
  EXPECT_EQ(Bytes(g.Bits(), g.ImageSize()), before);
  EXPECT_EQ(g.GetPixel(-1, 0), kBlue);
  EXPECT_EQ(g.GetColor(0, 3), kBlue);
}

TEST(PixelGraphic, RaisesOnOutsideAccessWhenAskedTo) {
  TPixelGraphic g;
  g.SetSize(4, 3, TColorRes::Bits8);
  g.RaiseXYIndexOutOfRange = true;
  EXPECT_EQ(MessageOf<EPGXYIndexOutOfRange>([&] { g.SetPixel(4, 0, 1); }), "X, Y index out of range");
  EXPECT_EQ(MessageOf<EPGXYIndexOutOfRange>([&] { g.GetPixel(0, -1); }), "X, Y index out of range");
  EXPECT_NO_THROW(g.SetPixel(3, 2, 1));
}

TEST(PixelGraphic, ResizingToTheSameSizeClearsInsteadOfReallocating) {
  TPixelGraphic g;
  g.SetSize(3, 2, TColorRes::Bits24);
  g.SetBackGroundColor(RGBColor(7, 8, 9));
  g.SetPixel(1, 1, kRed);
  const std::uint8_t* bits = g.Bits();
  int changes = 0;
  g.OnChange = [&](TPixelGraphic&) { ++changes; };
  g.SetSize(3, 2, TColorRes::Bits24);
  EXPECT_EQ(g.Bits(), bits);
  EXPECT_EQ(changes, 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(g.GetPixel(x, y), RGBColor(7, 8, 9));
  // A real resize starts from black.
  g.SetSize(2, 2, TColorRes::Bits24);
  EXPECT_EQ(g.GetPixel(1, 1), 0u);
  EXPECT_EQ(changes, 2);
}

TEST(PixelGraphic, SettersOfOneDimensionKeepTheOthersAndSkipUnchangedValues) {
  TPixelGraphic g;
  g.SetSize(3, 2, TColorRes::Bits24);
  g.SetPixel(0, 0, kRed);
  int changes = 0;
  g.OnChange = [&](TPixelGraphic&) { ++changes; };
  g.SetWidth(3);
  g.SetHeight(2);
  g.SetColorRes(TColorRes::Bits24);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(g.GetPixel(0, 0), kRed);
  g.SetWidth(5);
  g.SetColorRes(TColorRes::Bits8);
  g.SetHeight(4);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(g.Width(), 5);
  EXPECT_EQ(g.Height(), 4);
  EXPECT_EQ(g.ColorRes(), TColorRes::Bits8);
}

TEST(PixelGraphic, ClearFillsEveryFormatWithTheBackground) {
  TPixelGraphic g;
  g.SetSize(3, 2, TColorRes::Bits24);
  g.SetBackGroundColor(RGBColor(1, 2, 3));
  g.Clear();
  EXPECT_EQ(Bytes(g.ScanLine(1), 12), (std::vector<std::uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1, 0, 0, 0}));

  g.SetSize(3, 2, TColorRes::Bits8);
  g.SetPaletteIdent(TPaletteIdent::pGray256);
  g.SetBackGroundColor(RGBColor(77, 77, 77));
  g.Clear();
  EXPECT_EQ(g.ScanLine(0)[2], 77);
  EXPECT_EQ(g.BackGroundColor(), RGBColor(77, 77, 77));

  g.SetSize(10, 2, TColorRes::Bits1);
  g.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  g.SetBackGroundColor(RGBColor(250, 250, 250));
  g.Clear();
  EXPECT_EQ(g.ScanLine(1)[0], 0xFF);
  EXPECT_EQ(g.ScanLine(1)[1] & 0xC0, 0xC0);

  g.SetSize(3, 1, TColorRes::Bits4);
  g.SetPaletteIdent(TPaletteIdent::pSys16);
  g.SetBackGroundColor(RGBColor(250, 0, 0));  // nearest: red, index 9
  g.Clear();
  EXPECT_EQ(Bytes(g.Bits(), 2), (std::vector<std::uint8_t>{0x99, 0x90}));
  EXPECT_EQ(g.BackGroundColor(), RGBColor(255, 0, 0));
}

TEST(PixelGraphic, ClearOfAnEmptyImageDoesNothing) {
  TPixelGraphic g;
  int changes = 0;
  g.OnChange = [&](TPixelGraphic&) { ++changes; };
  g.Clear();
  EXPECT_EQ(changes, 0);
}

TEST(PixelGraphic, PaletteEntriesOfTrueColorAreTheIndicesThemselves) {
  TPixelGraphic g;
  EXPECT_EQ(g.GetPaletteEntry(12345), 12345u);
  EXPECT_EQ(MessageOf<EPGNoPalette>([&] { g.SetPaletteEntry(0, kRed); }), "No palette");
  g.SetPaletteIdent(TPaletteIdent::pNone);
  EXPECT_EQ(MessageOf<EPGNoPalette>([&] { g.SetPaletteEntry(0, kRed); }), "No palette");
  EXPECT_EQ(MessageOf<EPGInvalidPaletteIndex>([&] { g.GetPaletteEntry(0); }), "Invalid palette index");
}

TEST(PixelGraphic, PaletteLengthDecidesBetweenUnknownAndNone) {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits8);
  g.SetPaletteLength(3);
  EXPECT_EQ(g.PaletteIdent(), TPaletteIdent::pUnknown);
  EXPECT_EQ(g.GetPaletteEntry(2), 0u);
  g.SetPaletteEntry(2, kRed);
  EXPECT_EQ(g.GetPaletteEntry(2), kRed);
  EXPECT_EQ(MessageOf<EPGInvalidPaletteIndex>([&] { g.GetPaletteEntry(3); }), "Invalid palette index");
  EXPECT_EQ(MessageOf<EPGInvalidPaletteIndex>([&] { g.GetPaletteEntry(-1); }), "Invalid palette index");
  EXPECT_EQ(MessageOf<EPGInvalidPaletteIndex>([&] { g.SetPaletteEntry(3, kRed); }), "Invalid palette index");
  EXPECT_THROW(g.SetPaletteLength(-1), EPGInvalidPaletteIndex);
  EXPECT_THROW(g.SetPaletteLength(257), EPGInvalidPaletteIndex);
  g.SetPaletteLength(0);
  EXPECT_EQ(g.PaletteIdent(), TPaletteIdent::pNone);
}

TEST(PixelGraphic, FixedPalettesHaveTheirTableEntries) {
  using P = TPaletteIdent;
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pBlackWhite), (std::vector<TColor>{0, 0xFFFFFF}));
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pSysGray4),
            (std::vector<TColor>{0, RGBColor(128, 128, 128), RGBColor(192, 192, 192), 0xFFFFFF}));
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pGray4),
            (std::vector<TColor>{0, RGBColor(85, 85, 85), RGBColor(170, 170, 170), 0xFFFFFF}));
  const auto sys16 = TPixelGraphic::FixedPalette(P::pSys16);
  ASSERT_EQ(sys16.size(), 16u);
  EXPECT_EQ(sys16[1], RGBColor(128, 0, 0));    // maroon
  EXPECT_EQ(sys16[4], RGBColor(0, 0, 128));    // navy
  EXPECT_EQ(sys16[7], RGBColor(192, 192, 192));  // silver
  EXPECT_EQ(sys16[8], RGBColor(128, 128, 128));  // grey
  EXPECT_EQ(sys16[12], RGBColor(0, 0, 255));   // blue
  EXPECT_EQ(sys16[13], RGBColor(255, 0, 255));  // fuchsia
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pGray16)[3], RGBColor(51, 51, 51));
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pGray256)[200], RGBColor(200, 200, 200));
  const auto s125 = TPixelGraphic::FixedPalette(P::pSpecial125);
  ASSERT_EQ(s125.size(), 125u);
  EXPECT_EQ(s125[25 * 1 + 5 * 2 + 3], RGBColor(64, 128, 192));
  EXPECT_EQ(s125[124], RGBColor(255, 255, 255));
  const auto s216 = TPixelGraphic::FixedPalette(P::pSpecial216);
  ASSERT_EQ(s216.size(), 216u);
  EXPECT_EQ(s216[36 * 5 + 6 * 1 + 0], RGBColor(255, 51, 0));
  const auto g236 = TPixelGraphic::FixedPalette(P::pGray236);
  ASSERT_EQ(g236.size(), 236u);
  EXPECT_EQ(g236.front(), 0u);
  EXPECT_EQ(g236.back(), 0xFFFFFFu);
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pSpecial252).size(), 252u);
  EXPECT_EQ(TPixelGraphic::FixedPalette(P::pOptimized252Sys16).size(), 256u);
}

TEST(PixelGraphic, RecognizesEveryFixedPaletteFromItsEntries) {
  using P = TPaletteIdent;
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits8);
  for (P kind : {P::pBlackWhite, P::pSysGray4, P::pSys16, P::pGray4, P::pGray16, P::pGray236, P::pGray256,
                 P::pSpecial125, P::pSpecial216, P::pSpecial252, P::pOptimized252Sys16}) {
    g.SetPaletteIdent(kind);
    EXPECT_EQ(g.RecognizePaletteIdent(), kind) << static_cast<int>(kind);
  }
  g.SetPaletteEntry(5, RGBColor(1, 2, 3));
  EXPECT_EQ(g.RecognizePaletteIdent(), P::pUnknown);
  g.SetPaletteLength(0);
  EXPECT_EQ(g.RecognizePaletteIdent(), P::pNone);
  g.SetColorRes(TColorRes::Bits24);
  EXPECT_EQ(g.RecognizePaletteIdent(), P::pTrueColor);
}

TEST(PixelGraphic, ResizeCutsThePaletteToWhatTheFormatCanIndex) {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits8);
  g.SetPaletteIdent(TPaletteIdent::pGray256);
  g.SetSize(2, 2, TColorRes::Bits4);
  EXPECT_EQ(g.PaletteLength(), 16);
  EXPECT_EQ(g.GetPaletteEntry(15), RGBColor(15, 15, 15));
  g.SetSize(2, 2, TColorRes::Bits24);
  EXPECT_EQ(g.PaletteLength(), 0);
  EXPECT_EQ(g.PaletteIdent(), TPaletteIdent::pTrueColor);
}

TEST(PixelGraphic, SavesItsBitmapAsHeaderPaletteAndRows) {
  TPixelGraphic g;
  g.SetSize(3, 2, TColorRes::Bits4);
  g.SetPaletteIdent(TPaletteIdent::pGray4);
  g.SetPixel(0, 0, 3);
  g.SetPixel(2, 1, 1);
  std::ostringstream out;
  g.SaveDIBToStream(out);

  std::vector<std::uint8_t> expected = DibHeader(3, 2, 4, 8, 4);
  Append(expected, {0, 0, 0, 0, 85, 85, 85, 0, 170, 170, 170, 0, 255, 255, 255, 0});
  Append(expected, {0x00, 0x10, 0, 0});  // row 1 first: bottom-up
  Append(expected, {0x30, 0x00, 0, 0});
  const std::string s = out.str();
  EXPECT_EQ(std::vector<std::uint8_t>(s.begin(), s.end()), expected);
}

TEST(PixelGraphic, SavesATrueColorBitmapWithoutPalette) {
  TPixelGraphic g;
  g.SetSize(1, 1, TColorRes::Bits24);
  g.SetPixel(0, 0, RGBColor(0x11, 0x22, 0x33));
  std::ostringstream out;
  g.SaveDIBToStream(out);
  std::vector<std::uint8_t> expected = DibHeader(1, 1, 24, 4, 0);
  Append(expected, {0x33, 0x22, 0x11, 0});
  const std::string s = out.str();
  EXPECT_EQ(std::vector<std::uint8_t>(s.begin(), s.end()), expected);
}

TEST(PixelGraphic, SavedPaletteNeverExceedsWhatThePixelsCanIndex) {
  TPixelGraphic g;
  g.SetSize(1, 1, TColorRes::Bits1);
  g.SetPaletteIdent(TPaletteIdent::pGray256);
  std::ostringstream out;
  g.SaveDIBToStream(out);
  EXPECT_EQ(out.str().size(), 40u + 2 * 4 + 4);
  EXPECT_EQ(static_cast<std::uint8_t>(out.str()[32]), 2);
}

TEST(PixelGraphic, AssignCopiesPixelsPaletteAndSettings) {
  TPixelGraphic src;
  src.SetSize(3, 2, TColorRes::Bits8);
  src.SetPaletteIdent(TPaletteIdent::pGray16);
  src.SetPixel(2, 1, 9);
  src.SetBackGroundColor(RGBColor(255, 255, 255));
  src.Dither = false;
  src.DitherErrorLimit = 7;
  src.StretchMode = TStretchMode::smFast;
  src.SaveColorResWarningAction = TPGWarningAction::pgwaRaise;
  src.Gamma = 2.5L;

  TPixelGraphic dst;
  dst.SetSize(3, 2, TColorRes::Bits8);  // same size: the pixels must still come over
  int changes = 0;
  dst.OnChange = [&](TPixelGraphic&) { ++changes; };
  dst.Assign(&src);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(dst.ColorRes(), TColorRes::Bits8);
  EXPECT_EQ(dst.GetPixel(2, 1), 9u);
  EXPECT_EQ(dst.GetColor(2, 1), RGBColor(153, 153, 153));
  EXPECT_EQ(dst.PaletteIdent(), TPaletteIdent::pGray16);
  EXPECT_EQ(dst.BackGroundColor(), RGBColor(255, 255, 255));
  EXPECT_FALSE(dst.Dither);
  EXPECT_EQ(dst.DitherErrorLimit, 7);
  EXPECT_EQ(dst.StretchMode, TStretchMode::smFast);
  EXPECT_EQ(dst.SaveColorResWarningAction, TPGWarningAction::pgwaRaise);
  EXPECT_EQ(dst.Gamma, 2.5L);
  EXPECT_NE(dst.Bits(), src.Bits());

  dst.Assign(nullptr);
  EXPECT_TRUE(dst.Empty());
  EXPECT_EQ(dst.ColorRes(), TColorRes::Bits24);
  EXPECT_EQ(dst.PaletteIdent(), TPaletteIdent::pTrueColor);
}

TEST(PixelGraphic, ChangeLockHoldsBackOnChangeUntilFullyReleased) {
  TPixelGraphic g;
  int changes = 0;
  g.OnChange = [&](TPixelGraphic& sender) {
    EXPECT_EQ(&sender, &g);
    ++changes;
  };
  g.LockChange();
  g.LockChange();
  g.Changed();
  g.SetSize(2, 2, TColorRes::Bits24);
  g.UnlockChange();
  g.Changed();
  EXPECT_EQ(changes, 0);
  g.UnlockChange();
  g.Changed();
  EXPECT_EQ(changes, 1);
  g.UnlockChange();  // an extra unlock must not make the count negative
  EXPECT_EQ(g.ChangeLockCount(), 0);
  g.LockChange();
  g.Changed();
  EXPECT_EQ(changes, 1);
}

TEST(PixelGraphic, PixelAccessFiresNoEvents) {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits24);
  int events = 0;
  g.OnChange = [&](TPixelGraphic&) { ++events; };
  g.OnProgressStart = [&](TPixelGraphic&) { ++events; };
  g.SetPixel(1, 1, kRed);
  g.GetPixel(1, 1);
  g.GetColor(1, 1);
  g.ScanLine(0);
  g.Bits();
  EXPECT_EQ(events, 0);
}

TEST(PixelGraphic, BackgroundOfAPalettedImageIsTheNearestEntry) {
  TPixelGraphic g;
  g.SetSize(2, 2, TColorRes::Bits4);
  g.SetPaletteIdent(TPaletteIdent::pGray16);
  g.SetBackGroundColor(RGBColor(60, 60, 60));  // between 51 and 68
  EXPECT_EQ(g.BackGroundColor(), RGBColor(68, 68, 68));
  EXPECT_EQ(g.GetPixel(-1, -1), 4u);  // reads outside return the stored index
  EXPECT_EQ(g.NearestPaletteIndex(RGBColor(255, 255, 255)), 15);
}

TEST(PixelGraphicMessage, ReplacesOnlyTheFirstOccurrenceOfEachArgument) {
  EXPECT_EQ(FormatPGMessage("%S1 failed", "CreateDIBSection"), "CreateDIBSection failed");
  EXPECT_EQ(FormatPGMessage("a %S2 b %S1 c %S3", "1", "2", "3"), "a 2 b 1 c 3");
  EXPECT_EQ(FormatPGMessage("%S1 %S1", "x"), "x %S1");
  EXPECT_EQ(FormatPGMessage("%S1 and %S2", "%S2", "y"), "%S2 and y");
  EXPECT_EQ(FormatPGMessage("no slots", "x"), "no slots");
}
