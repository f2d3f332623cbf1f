#include "image/stretch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/pixel_graphic.h"

namespace {

constexpr TColor kMarker = RGBColor(1, 2, 3);

TColor GrayOf(int level) { return RGBColor(level, level, level); }

// One row of grey levels as a 24-bit image.
void FillRow(TPixelGraphic& g, int y, const std::vector<int>& levels) {
  for (int x = 0; x < static_cast<int>(levels.size()); ++x) g.SetPixel(x, y, GrayOf(levels[x]));
}

std::vector<int> RedRow(const TPixelGraphic& g, int y) {
  std::vector<int> out;
  for (int x = 0; x < g.Width(); ++x) out.push_back(RedOf(g.GetPixel(x, y)));
  return out;
}

// An asymmetric 6 x 5 "F": red on blue, so that mirrored axes or swapped channels show.
void MakeF(TPixelGraphic& g) {
  static const char* rows[] = {"#####.", "#.....", "####..", "#.....", "#....."};
  g.SetSize(6, 5, TColorRes::Bits24);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) g.SetPixel(x, y, rows[y][x] == '#' ? RGBColor(255, 0, 0) : RGBColor(0, 0, 255));
}

std::vector<std::int64_t> W(std::initializer_list<std::int64_t> w) { return w; }

}  // namespace

TEST(StretchSpan, FastMappingPicksOneSourcePixel) {
  const TStretchSpan s = MapStretchOffset(1, 3, 2, 0, 3, TStretchMode::smFast);
  EXPECT_TRUE(s.valid);
  EXPECT_EQ(s.first, 1);
  EXPECT_EQ(s.count, 1);
  EXPECT_EQ(s.divisor, 1);
  EXPECT_EQ(MapStretchOffset(3, 2, 4, 5, 10, TStretchMode::smFast).first, 6);
  // Equal extents map one to one in every mode.
  EXPECT_EQ(MapStretchOffset(2, 4, 4, 1, 10, TStretchMode::smPrecise).first, 3);
  EXPECT_EQ(MapStretchOffset(2, 4, 4, 1, 10, TStretchMode::smPrecise).divisor, 1);
}

TEST(StretchSpan, InterpolatesBetweenNeighboursWhenPreciseEnlarges) {
  // Two source pixels onto four: centres at 0.25, 0.75, 1.25, 1.75 source pixels.
  const TStretchSpan d0 = MapStretchOffset(0, 2, 4, 0, 2, TStretchMode::smPrecise);
  EXPECT_EQ(d0.first, 0);
  EXPECT_EQ(d0.weights, W({8}));
  EXPECT_EQ(d0.divisor, 8);
  const TStretchSpan d1 = MapStretchOffset(1, 2, 4, 0, 2, TStretchMode::smPrecise);
  EXPECT_EQ(d1.first, 0);
  EXPECT_EQ(d1.weights, W({6, 2}));
  const TStretchSpan d2 = MapStretchOffset(2, 2, 4, 0, 2, TStretchMode::smPrecise);
  EXPECT_EQ(d2.first, 0);
  EXPECT_EQ(d2.weights, W({2, 6}));
  // The right neighbour of the last pixel lies outside: both clamp onto the edge pixel, which stays valid.
  const TStretchSpan d3 = MapStretchOffset(3, 2, 4, 0, 2, TStretchMode::smPrecise);
  EXPECT_TRUE(d3.valid);
  EXPECT_EQ(d3.first, 1);
  EXPECT_EQ(d3.weights, W({8}));
}

TEST(StretchSpan, InterpolatingSpanIsInvalidWhenBothNeighboursLieOutside) {
  EXPECT_FALSE(MapStretchOffset(0, 2, 4, -1, 2, TStretchMode::smPrecise).valid);
  EXPECT_FALSE(MapStretchOffset(3, 2, 4, 5, 6, TStretchMode::smPrecise).valid);
  // Reducing never clamps: a neighbour outside spoils the pixel.
  EXPECT_FALSE(MapStretchOffset(1, 4, 2, 0, 3, TStretchMode::smMedium).valid);
}

TEST(StretchSpan, MediumReductionInterpolatesPairs) {
  const TStretchSpan d1 = MapStretchOffset(1, 4, 2, 0, 4, TStretchMode::smMedium);
  EXPECT_TRUE(d1.valid);
  EXPECT_EQ(d1.first, 2);
  EXPECT_EQ(d1.weights, W({2, 2}));
  EXPECT_EQ(d1.divisor, 4);
  // A centre that falls on a source pixel's centre takes that pixel alone.
  const TStretchSpan exact = MapStretchOffset(0, 3, 1, 0, 3, TStretchMode::smMedium);
  EXPECT_EQ(exact.first, 1);
  EXPECT_EQ(exact.weights, W({2}));
}

TEST(StretchSpan, AreaMappingWeighsTheCoveredParts) {
  // Three source pixels onto two: each destination pixel covers one and a half.
  const TStretchSpan d0 = MapStretchOffset(0, 3, 2, 0, 3, TStretchMode::smPrecise);
  EXPECT_EQ(d0.first, 0);
  EXPECT_EQ(d0.weights, W({2, 1}));
  EXPECT_EQ(d0.divisor, 3);
  const TStretchSpan d1 = MapStretchOffset(1, 3, 2, 0, 3, TStretchMode::smPrecise);
  EXPECT_EQ(d1.first, 1);
  EXPECT_EQ(d1.weights, W({1, 2}));
  // Seven onto two: whole pixels in the middle weigh D.
  const TStretchSpan wide = MapStretchOffset(0, 7, 2, 0, 7, TStretchMode::smPrecise);
  EXPECT_EQ(wide.first, 0);
  EXPECT_EQ(wide.weights, W({2, 2, 2, 1}));
  // Medium enlargement uses the area mapping: each destination pixel lies within one or two source pixels.
  const TStretchSpan up = MapStretchOffset(1, 3, 4, 0, 3, TStretchMode::smMedium);
  EXPECT_EQ(up.first, 0);
  EXPECT_EQ(up.weights, W({1, 2}));
  EXPECT_EQ(up.divisor, 3);
  EXPECT_EQ(MapStretchOffset(2, 2, 4, 0, 2, TStretchMode::smMedium).weights, W({2}));
  EXPECT_FALSE(MapStretchOffset(0, 3, 2, -1, 3, TStretchMode::smPrecise).valid);
  EXPECT_FALSE(MapStretchOffset(1, 3, 2, 0, 2, TStretchMode::smPrecise).valid);
}

TEST(StretchCopy, SameSizeCopyMovesThePixelsUnchanged) {
  TPixelGraphic src;
  src.SetSize(100, 100, TColorRes::Bits24);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) src.SetPixel(x, y, RGBColor(x, y, x ^ y));
  TPixelGraphic dst;
  dst.SetSize(100, 100, TColorRes::Bits24);
  dst.StretchCopy(0, 0, 100, 100, 0, 0, 100, 100, src);
  for (int y = 0; y < src.Height(); ++y)
    ASSERT_EQ(std::vector<std::uint8_t>(dst.ScanLine(y), dst.ScanLine(y) + 300),
              std::vector<std::uint8_t>(src.ScanLine(y), src.ScanLine(y) + 300));
}

TEST(StretchCopy, SameSizeCopyClipsToBothImages) {
  TPixelGraphic src;
  MakeF(src);
  TPixelGraphic dst;
  dst.SetSize(4, 4, TColorRes::Bits24);
  dst.SetBackGroundColor(kMarker);
  dst.Clear();
  // Source rectangle starts one pixel left of the source image: destination column 0 has no source.
  dst.StretchCopy(0, 1, 6, 5, -1, 0, 6, 5, src);
  EXPECT_EQ(dst.GetPixel(0, 1), kMarker);
  EXPECT_EQ(dst.GetPixel(0, 0), kMarker);
  EXPECT_EQ(dst.GetPixel(1, 1), RGBColor(255, 0, 0));  // source (0, 0)
  EXPECT_EQ(dst.GetPixel(2, 2), RGBColor(0, 0, 255));  // source (1, 1)
  EXPECT_EQ(dst.GetPixel(3, 3), RGBColor(255, 0, 0));  // source (2, 2)
}

TEST(StretchCopy, CopyOntoItselfReadsTheOriginalPixels) {
  TPixelGraphic g;
  g.SetSize(1, 4, TColorRes::Bits24);
  for (int y = 0; y < 4; ++y) g.SetPixel(0, y, GrayOf(10 * (y + 1)));
  // Shifting down by one: rows already written must not be read again.
  g.StretchCopy(0, 1, 1, 3, 0, 0, 1, 3, g);
  std::vector<int> column;
  for (int y = 0; y < 4; ++y) column.push_back(RedOf(g.GetPixel(0, y)));
  EXPECT_EQ(column, (std::vector<int>{10, 10, 20, 30}));
}

TEST(StretchCopy, InterpolationReachesBeyondTheSourceRectangleButNotTheImage) {
  TPixelGraphic g;
  g.SetSize(4, 1, TColorRes::Bits24);
  FillRow(g, 0, {10, 10, 20, 30});
  TPixelGraphic dst;
  dst.SetSize(4, 1, TColorRes::Bits24);
  dst.StretchCopy(0, 0, 4, 1, 0, 0, 2, 1, g);
  // The last pixel's right neighbour is column 2 of the image, outside the rectangle: 6/8 of 10 + 2/8 of 20.
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{10, 10, 10, 12}));
  dst.StretchCopy(0, 0, 4, 1, 2, 0, 2, 1, g);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{20, 22, 27, 30}));
}

TEST(StretchCopy, PreciseHalvingAveragesPairs) {
  TPixelGraphic src;
  src.SetSize(2, 1, TColorRes::Bits24);
  src.SetPixel(0, 0, RGBColor(10, 20, 30));
  src.SetPixel(1, 0, RGBColor(30, 60, 91));
  TPixelGraphic dst;
  dst.SetSize(1, 1, TColorRes::Bits24);
  dst.StretchFrom(src);
  EXPECT_EQ(dst.GetPixel(0, 0), RGBColor(20, 40, 60));  // 121 / 2 truncates
}

TEST(StretchCopy, EachModeScalesARowItsOwnWay) {
  TPixelGraphic src;
  src.SetSize(2, 1, TColorRes::Bits24);
  FillRow(src, 0, {0, 80});
  TPixelGraphic dst;
  dst.SetSize(4, 1, TColorRes::Bits24);
  dst.StretchFrom(src);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{0, 20, 60, 80}));
  dst.StretchMode = TStretchMode::smMedium;
  dst.StretchFrom(src);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{0, 0, 80, 80}));
  dst.StretchMode = TStretchMode::smFast;
  dst.StretchFrom(src);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{0, 0, 80, 80}));

  TPixelGraphic wide;
  wide.SetSize(4, 1, TColorRes::Bits24);
  FillRow(wide, 0, {0, 40, 100, 200});
  TPixelGraphic half;
  half.SetSize(2, 1, TColorRes::Bits24);
  half.StretchMode = TStretchMode::smFast;
  half.StretchFrom(wide);
  EXPECT_EQ(RedRow(half, 0), (std::vector<int>{0, 100}));
  half.StretchMode = TStretchMode::smMedium;
  half.StretchFrom(wide);
  EXPECT_EQ(RedRow(half, 0), (std::vector<int>{20, 150}));
}

TEST(StretchCopy, DividesEachSourceRowBeforeAddingRows) {
  TPixelGraphic src;
  src.SetSize(2, 2, TColorRes::Bits24);
  FillRow(src, 0, {1, 2});
  FillRow(src, 1, {2, 3});
  TPixelGraphic dst;
  dst.SetSize(1, 1, TColorRes::Bits24);
  dst.StretchFrom(src);
  // Rows give 3 / 2 = 1 and 5 / 2 = 2, then (1 + 2) / 2 = 1; the exact mean would be 2.
  EXPECT_EQ(dst.GetPixel(0, 0), GrayOf(1));
}

TEST(StretchCopy, EnlargesTheAsymmetricFixtureWithoutMirroringOrSwappingChannels) {
  TPixelGraphic src;
  MakeF(src);
  TPixelGraphic dst;
  dst.SetSize(12, 10, TColorRes::Bits24);
  dst.StretchMode = TStretchMode::smFast;
  dst.StretchFrom(src);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) ASSERT_EQ(dst.GetPixel(x, y), src.GetPixel(x / 2, y / 2)) << x << "," << y;
  // Precise: the corner pixels of a doubled image are exactly the source corners.
  dst.StretchMode = TStretchMode::smPrecise;
  dst.StretchFrom(src);
  EXPECT_EQ(dst.GetPixel(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(dst.GetPixel(11, 0), RGBColor(0, 0, 255));
  EXPECT_EQ(dst.GetPixel(0, 9), RGBColor(255, 0, 0));
  // Column 9 takes three quarters of source column 4 (red) and one quarter of column 5 (blue).
  EXPECT_EQ(dst.GetPixel(9, 0), RGBColor(191, 0, 63));
}

TEST(StretchCopy, ClipsTheDestinationAndLeavesPixelsWithoutSourceAlone) {
  TPixelGraphic src;
  src.SetSize(4, 4, TColorRes::Bits24);
  for (int y = 0; y < 4; ++y) FillRow(src, y, {10, 20, 30, 40});
  TPixelGraphic dst;
  dst.SetSize(3, 3, TColorRes::Bits24);
  dst.SetBackGroundColor(kMarker);
  dst.Clear();
  // Destination rectangle hangs one pixel off the left; source starts one pixel outside on top.
  dst.StretchCopy(-1, 0, 4, 2, 0, -1, 4, 4, src);
  EXPECT_EQ(dst.GetPixel(0, 0), kMarker);  // source rows -1 and 0: invalid
  EXPECT_EQ(dst.GetPixel(0, 1), GrayOf(20));
  EXPECT_EQ(dst.GetPixel(2, 1), GrayOf(40));
  EXPECT_EQ(dst.GetPixel(0, 2), kMarker);  // below the destination rectangle
}

TEST(StretchCopy, DoesNothingWithAnEmptyImageOrRectangle) {
  TPixelGraphic src;
  TPixelGraphic dst;
  dst.SetSize(2, 2, TColorRes::Bits24);
  int events = 0;
  dst.OnChange = [&](TPixelGraphic&) { ++events; };
  dst.OnProgressStart = [&](TPixelGraphic&) { ++events; };
  dst.StretchFrom(src);
  src.SetSize(3, 3, TColorRes::Bits24);
  dst.StretchCopy(0, 0, 0, 2, 0, 0, 3, 3, src);
  dst.StretchCopy(0, 0, 2, 2, 0, 0, -3, 3, src);
  dst.StretchCopy(5, 5, 2, 2, 0, 0, 3, 3, src);
  EXPECT_EQ(events, 0);
}

TEST(StretchCopy, ReportsProgressPerRowAndStopsOnAbort) {
  TPixelGraphic src;
  src.SetSize(4, 4, TColorRes::Bits24);
  for (int y = 0; y < 4; ++y) FillRow(src, y, {200, 200, 200, 200});
  TPixelGraphic dst;
  dst.SetSize(2, 6, TColorRes::Bits24);
  std::string log;
  dst.OnProgressStart = [&](TPixelGraphic&) { log += "start "; };
  dst.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
    log += std::to_string(step) + "/" + std::to_string(max) + " ";
    abort = step == 1;
  };
  dst.OnProgressEnd = [&](TPixelGraphic&) { log += "end "; };
  dst.OnChange = [&](TPixelGraphic&) { log += "changed"; };
  // Rows -1 .. 4 of the rectangle are clipped to 0 .. 4: five rows.
  dst.StretchCopy(0, -1, 2, 6, 0, 0, 4, 4, src);
  EXPECT_EQ(log, "start 0/4 1/4 end changed");
  EXPECT_NE(dst.GetPixel(0, 1), 0u);
  EXPECT_EQ(dst.GetPixel(0, 2), 0u);  // after the abort
}

TEST(StretchCopy, SameSizeCopyReportsProgressToo) {
  TPixelGraphic src;
  MakeF(src);
  TPixelGraphic dst;
  dst.SetSize(6, 5, TColorRes::Bits8);
  dst.SetPaletteIdent(TPaletteIdent::pGray256);
  int rows = 0, ends = 0;
  dst.OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
    EXPECT_EQ(step, rows);
    EXPECT_EQ(max, 4);
    ++rows;
  };
  dst.OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
  dst.StretchFrom(src);
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(ends, 1);
}

TEST(StretchCopy, ScalesPalettedSourcesThroughTheirColors) {
  TPixelGraphic src;
  src.SetSize(2, 1, TColorRes::Bits4);
  src.SetPaletteIdent(TPaletteIdent::pSys16);
  src.SetPixel(0, 0, 9);   // red
  src.SetPixel(1, 0, 12);  // blue
  TPixelGraphic dst;
  dst.SetSize(1, 1, TColorRes::Bits24);
  dst.StretchFrom(src);
  EXPECT_EQ(dst.GetPixel(0, 0), RGBColor(127, 0, 127));
  // An index beyond a short palette reads as black instead of aborting the copy.
  TPixelGraphic shortPalette;
  shortPalette.SetSize(1, 1, TColorRes::Bits8);
  shortPalette.SetPaletteLength(2);
  shortPalette.SetPixel(0, 0, 200);
  dst.SetPixel(0, 0, kMarker);
  dst.StretchFrom(shortPalette);
  EXPECT_EQ(dst.GetPixel(0, 0), 0u);
}
