#include "image/color_reduction.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/pixel_graphic.h"

namespace {

TColor GrayOf(int level) { return RGBColor(level, level, level); }

int Limit(const TErrorLimitTable& t, int e) { return t[e + 255]; }

using Rows = std::vector<std::vector<int>>;

Rows Indices(const TPixelGraphic& g) {
  Rows out(g.Height());
  for (int y = 0; y < g.Height(); ++y)
    for (int x = 0; x < g.Width(); ++x) out[y].push_back(static_cast<int>(g.GetPixel(x, y)));
  return out;
}

// Same-size copy of a 24-bit picture into a paletted image of the given kind.
Rows Reduce(const std::vector<std::vector<TColor>>& picture, TColorRes res, TPaletteIdent kind, bool dither = true) {
  TPixelGraphic src;
  const int h = static_cast<int>(picture.size());
  const int w = static_cast<int>(picture[0].size());
  src.SetSize(w, h, TColorRes::Bits24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) src.SetPixel(x, y, picture[y][x]);
  TPixelGraphic dst;
  dst.SetSize(w, h, res);
  dst.SetPaletteIdent(kind);
  dst.Dither = dither;
  dst.StretchFrom(src);
  return Indices(dst);
}

}  // namespace

TEST(ErrorLimit, SoftCurveJoinsTheStraightAndFlatParts) {
  const TErrorLimitTable t = BuildErrorLimitTable(32, true);
  EXPECT_EQ(Limit(t, 0), 0);
  EXPECT_EQ(Limit(t, 15), 15);
  EXPECT_EQ(Limit(t, 16), 16);
  EXPECT_EQ(Limit(t, 30), 23);
  EXPECT_EQ(Limit(t, 48), 32);
  EXPECT_EQ(Limit(t, 49), 32);
  EXPECT_EQ(Limit(t, 255), 32);
  EXPECT_EQ(Limit(t, -30), -23);
  EXPECT_EQ(Limit(t, -255), -32);
}

TEST(ErrorLimit, HardLimitCutsAtTheLimit) {
  const TErrorLimitTable t = BuildErrorLimitTable(32, false);
  EXPECT_EQ(Limit(t, 31), 31);
  EXPECT_EQ(Limit(t, 32), 32);
  EXPECT_EQ(Limit(t, 100), 32);
  EXPECT_EQ(Limit(t, -100), -32);
}

TEST(ErrorLimit, LimitOf255MeansNoLimitExceptTheSoftKnee) {
  const TErrorLimitTable hard = BuildErrorLimitTable(255, false);
  EXPECT_EQ(Limit(hard, 200), 200);
  EXPECT_EQ(Limit(hard, -255), -255);
  const TErrorLimitTable soft = BuildErrorLimitTable(255, true);
  EXPECT_EQ(Limit(soft, 126), 126);
  EXPECT_EQ(Limit(soft, 200), 163);
  EXPECT_EQ(Limit(soft, 255), 255);
}

TEST(ErrorLimit, SmallLimitsDiffuseAlmostNothing) {
  const TErrorLimitTable zero = BuildErrorLimitTable(0, true);
  for (int e = -255; e <= 255; ++e) ASSERT_EQ(Limit(zero, e), 0);
  const TErrorLimitTable two = BuildErrorLimitTable(2, true);
  EXPECT_EQ(Limit(two, 1), 0);
  EXPECT_EQ(Limit(two, 2), 1);
  EXPECT_EQ(Limit(two, 3), 1);
  EXPECT_EQ(Limit(two, 4), 2);
  EXPECT_EQ(Limit(two, -200), -2);
}

TEST(ErrorLimit, AutomaticLimitFollowsThePaletteKind) {
  using P = TPaletteIdent;
  EXPECT_EQ(AutoDitherErrorLimit(P::pBlackWhite), 255);
  EXPECT_EQ(AutoDitherErrorLimit(P::pSysGray4), 128);
  EXPECT_EQ(AutoDitherErrorLimit(P::pSys16), 128);
  EXPECT_EQ(AutoDitherErrorLimit(P::pGray4), 128);
  EXPECT_EQ(AutoDitherErrorLimit(P::pGray236), 3);
  EXPECT_EQ(AutoDitherErrorLimit(P::pGray256), 2);
  EXPECT_EQ(AutoDitherErrorLimit(P::pSpecial125), 104);
  EXPECT_EQ(AutoDitherErrorLimit(P::pSpecial252), 104);
  EXPECT_EQ(AutoDitherErrorLimit(P::pSpecial216), 86);
  EXPECT_EQ(AutoDitherErrorLimit(P::pOptimized252Sys16), 0);
  EXPECT_EQ(AutoDitherErrorLimit(P::pSource), 0);
  EXPECT_EQ(AutoDitherErrorLimit(P::pGray16), 32);
  EXPECT_EQ(AutoDitherErrorLimit(P::pUnknown), 32);
}

TEST(NearestColor, PrefersTheLowerIndexOnTiesAndWeighsChannelsWhenAsked) {
  const std::vector<TColor> pal = {RGBColor(60, 0, 0), RGBColor(0, 0, 70), RGBColor(60, 0, 0)};
  EXPECT_EQ(NearestColorIndex(pal.data(), 3, RGBColor(0, 0, 0), false), 0);
  // Blue counts least to the eye: the darker blue is closer to black.
  EXPECT_EQ(NearestColorIndex(pal.data(), 3, RGBColor(0, 0, 0), true), 1);
  EXPECT_EQ(NearestColorIndex(pal.data(), 3, RGBColor(60, 0, 0), true), 0);
  EXPECT_EQ(NearestColorIndex(pal.data(), 0, RGBColor(60, 0, 0), true), 0);
}

TEST(ColorReduction, WithoutDitherStoresTheNearestEntry) {
  const Rows r = Reduce({{RGBColor(250, 10, 10), RGBColor(100, 100, 100), RGBColor(0, 0, 140)}}, TColorRes::Bits4,
                        TPaletteIdent::pSys16, false);
  EXPECT_EQ(r, (Rows{{9, 8, 4}}));
}

TEST(ColorReduction, ColorsOfThePaletteComeThroughExactly) {
  const auto sys16 = TPixelGraphic::FixedPalette(TPaletteIdent::pSys16);
  std::vector<std::vector<TColor>> picture(2);
  for (int i = 0; i < 16; ++i) picture[i / 8].push_back(sys16[i]);
  const Rows r = Reduce(picture, TColorRes::Bits4, TPaletteIdent::pSys16);
  EXPECT_EQ(r, (Rows{{0, 1, 2, 3, 4, 5, 6, 7}, {8, 9, 10, 11, 12, 13, 14, 15}}));
}

TEST(ColorReduction, GrayPaletteTakesTheWeightedLuminance) {
  // Pure blue is dark to the eye: (342 * 255) / 1000 / 3 = 29.
  EXPECT_EQ(Reduce({{RGBColor(0, 0, 255)}}, TColorRes::Bits8, TPaletteIdent::pGray256), (Rows{{29}}));
  TPixelGraphic src;
  src.SetSize(1, 1, TColorRes::Bits24);
  src.SetPixel(0, 0, RGBColor(0, 0, 255));
  TPixelGraphic dst;
  dst.SetSize(1, 1, TColorRes::Bits8);
  dst.SetPaletteIdent(TPaletteIdent::pGray256);
  dst.GrayWeighting = false;
  dst.StretchFrom(src);
  EXPECT_EQ(dst.GetPixel(0, 0), 85u);
}

TEST(ColorReduction, SmoothGrayRampSurvivesTheGray256Limit) {
  std::vector<std::vector<TColor>> picture(2);
  for (int x = 0; x < 256; ++x) {
    picture[0].push_back(GrayOf(x));
    picture[1].push_back(GrayOf(255 - x));
  }
  const Rows r = Reduce(picture, TColorRes::Bits8, TPaletteIdent::pGray256);
  for (int x = 0; x < 256; ++x) {
    ASSERT_EQ(r[0][x], x);
    ASSERT_EQ(r[1][x], 255 - x);
  }
}

// The expected indices below come from a separate step-by-step working of the diffusion rules
// (7 ahead, 3 below behind, 5 below, 1 below ahead, in sixteenths; serpentine rows).
TEST(ColorReduction, DiffusesAGrayRampIntoBlackAndWhite) {
  std::vector<std::vector<TColor>> picture(3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) picture[y].push_back(GrayOf(std::min(255, x * 50 + y * 20)));
  EXPECT_EQ(Reduce(picture, TColorRes::Bits1, TPaletteIdent::pBlackWhite),
            (Rows{{0, 0, 0, 1, 1}, {0, 0, 1, 0, 1}, {0, 1, 0, 1, 1}}));
}

TEST(ColorReduction, MidGrayBecomesACheckerboard) {
  const std::vector<std::vector<TColor>> picture(2, std::vector<TColor>(4, GrayOf(128)));
  EXPECT_EQ(Reduce(picture, TColorRes::Bits1, TPaletteIdent::pBlackWhite), (Rows{{1, 0, 1, 0}, {0, 1, 0, 1}}));
}

TEST(ColorReduction, WalksOddRowsRightToLeft) {
  // Walking the second row left to right would put the lighter pixel at column 2 instead of column 1.
  const std::vector<std::vector<TColor>> picture(2, std::vector<TColor>(4, GrayOf(100)));
  EXPECT_EQ(Reduce(picture, TColorRes::Bits4, TPaletteIdent::pGray4), (Rows{{1, 1, 1, 1}, {1, 2, 1, 1}}));
}

TEST(ColorReduction, DiffusesEachChannelIntoSixteenColors) {
  const std::vector<std::vector<TColor>> picture = {
      {RGBColor(200, 30, 60), RGBColor(10, 220, 90), RGBColor(90, 90, 250), RGBColor(250, 250, 20)},
      {RGBColor(128, 64, 32), RGBColor(32, 64, 128), RGBColor(240, 240, 240), RGBColor(100, 0, 100)},
      {RGBColor(60, 60, 60), RGBColor(180, 20, 200), RGBColor(0, 140, 140), RGBColor(255, 128, 0)}};
  EXPECT_EQ(Reduce(picture, TColorRes::Bits4, TPaletteIdent::pSys16),
            (Rows{{9, 10, 8, 11}, {3, 12, 7, 5}, {4, 13, 6, 3}}));
}

TEST(ColorReduction, ReducerSpreadsTheErrorInTheAnnouncedDirection) {
  TPixelGraphic dst;
  dst.SetSize(3, 1, TColorRes::Bits1);
  dst.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  TColorReducer backwards(dst, 0, 2);
  backwards.StartRow(false);
  EXPECT_EQ(backwards.Reduce(2, GrayOf(128)), 1);  // error -127 goes left
  EXPECT_EQ(backwards.Reduce(1, GrayOf(128)), 0);
  TColorReducer forwards(dst, 0, 2);
  forwards.StartRow(true);
  EXPECT_EQ(forwards.Reduce(2, GrayOf(128)), 1);
  EXPECT_EQ(forwards.Reduce(1, GrayOf(128)), 1);  // nothing came from the right
  EXPECT_TRUE(forwards.GrayImage());
}

TEST(ColorReduction, ManualLimitAppliesWhenAutomaticIsOff) {
  TPixelGraphic dst;
  dst.SetSize(2, 1, TColorRes::Bits1);
  dst.SetPaletteIdent(TPaletteIdent::pBlackWhite);
  dst.DitherErrorLimitAuto = false;
  dst.DitherErrorLimit = 0;
  TColorReducer none(dst, 0, 1);
  none.StartRow(true);
  EXPECT_EQ(none.Reduce(0, GrayOf(128)), 1);
  EXPECT_EQ(none.Reduce(1, GrayOf(128)), 1);  // the error of -127 was limited to nothing
}

TEST(ColorReduction, OnlyEntriesThePixelsCanIndexTakePart) {
  // A 1-bit image given a 256-entry palette must still store 0 or 1.
  TPixelGraphic dst;
  dst.SetSize(1, 1, TColorRes::Bits1);
  dst.SetPaletteIdent(TPaletteIdent::pGray256);
  dst.Dither = false;
  TColorReducer r(dst, 0, 0);
  r.StartRow(true);
  EXPECT_EQ(r.Reduce(0, GrayOf(200)), 1);
}

TEST(ColorReduction, CellSearchFindsTheSameEntryAsTheFullSearch) {
  TPixelGraphic dst;
  dst.SetSize(1, 1, TColorRes::Bits8);
  dst.Dither = false;
  std::vector<TColor> odd;  // duplicates and near-duplicates test the tie rule
  for (int i = 0; i < 40; ++i) odd.push_back(RGBColor((i * 97) % 256, (i * 53) % 256, (i * 31) % 256));
  odd.push_back(odd[3]);
  odd.push_back(RGBColor(RedOf(odd[5]) ^ 1, GreenOf(odd[5]), BlueOf(odd[5])));
  for (bool weighting : {true, false}) {
    dst.RGBWeighting = weighting;
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<TColor> pal;
      if (kind == 0) {
        dst.SetPaletteIdent(TPaletteIdent::pSpecial216);
      } else if (kind == 1) {
        dst.SetPaletteIdent(TPaletteIdent::pSys16);
      } else {
        dst.SetPaletteLength(static_cast<int>(odd.size()));
        for (int i = 0; i < static_cast<int>(odd.size()); ++i) dst.SetPaletteEntry(i, odd[i]);
      }
      for (int i = 0; i < dst.PaletteLength(); ++i) pal.push_back(dst.GetPaletteEntry(i));
      TColorReducer reducer(dst, 0, 0);
      reducer.StartRow(true);
      for (int r = 0; r < 256; r += 11)
        for (int g = 0; g < 256; g += 11)
          for (int b = 0; b < 256; b += 11) {
            const TColor c = RGBColor(r, g, b);
            ASSERT_EQ(reducer.Reduce(0, c), NearestColorIndex(pal.data(), static_cast<int>(pal.size()), c, weighting))
                << r << "," << g << "," << b << " palette " << kind;
          }
    }
  }
}
