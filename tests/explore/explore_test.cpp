#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "document/first_show.h"
#include "document/presets.h"
#include "engine/orbit_trace.h"
#include "engine/render_context.h"
#include "explore/explore_search.h"
#include "image/pixel_graphic.h"

namespace {

TFractalParams Blank() {
  TFractalParams v{};
  SetUpFirstShow(v, 160, 120);
  v.randomize = false;
  return v;
}

// The same affine map in all three coefficient groups, so that the choice of maps does not matter.
TFractalParams AffineEverywhere(const double (&a)[6]) {
  TFractalParams v = Blank();
  v.ifs0101 = true;
  DeriveFamilySwitches(v);
  for (int group : {0, 19, 39})
    for (int k = 0; k < 6; ++k) v.af[group + 1 + k] = a[k];
  return v;
}

// A chaotic Martin set (G-Mira / Martin 03) found by a search with seed 1.
TFractalParams ChaoticMartin() {
  TFractalParams v = Blank();
  v.mira0103 = true;
  DeriveFamilySwitches(v);
  v.af[1] = 0.67552702234902018;
  v.af[2] = 0.50533242037291193;
  v.af[3] = -0.91087791489265091;
  return v;
}

// Sierpinski's triangle: three halvings towards the corners, one per map group, drawn with three maps.
TFractalParams Sierpinski() {
  TFractalParams v = Blank();
  v.ifs0101 = true;
  v.maps = 3;
  DeriveFamilySwitches(v);
  const double offsets[3][2] = {{0, 0}, {0.5, 0}, {0.25, 0.5}};
  const int groups[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m) {
    double* a = v.af.data() + groups[m];
    a[1] = 0.5, a[2] = 0, a[3] = 0, a[4] = 0.5, a[5] = offsets[m][0], a[6] = offsets[m][1];
  }
  v.logDensity = true;
  return v;
}

TEST(Screen, JudgesAFixedPointACycleAChaoticMartinAndAnIfsSet) {
  const TScreenThresholds thresholds;
  // Latoocarfian with zero coefficients sends every point to the origin: no separation, no chaos.
  TFractalParams fixed = Blank();
  fixed.latoocarfian01 = true;
  EXPECT_EQ(ScreenOrbit(fixed, 1, thresholds).verdict, TScreenVerdict::LowLyapunov);
  // A halving map has its fixed point at the origin: the points collapse.
  EXPECT_EQ(ScreenOrbit(AffineEverywhere({0.5, 0, 0, 0.5, 0, 0}), 1, thresholds).verdict, TScreenVerdict::Collapsed);
  // A quarter turn about (0.5, 0.5): four points for ever, which have extent but no dimension.
  const TScreenFigures cycle = ScreenOrbit(AffineEverywhere({0, -1, 1, 0, 1, 0}), 1, thresholds);
  EXPECT_EQ(cycle.verdict, TScreenVerdict::LowDimension);
  EXPECT_GT(cycle.extent.xMax - cycle.extent.xMin, 0.5);
  EXPECT_LT(cycle.dimension, 0.1);
  // An expanding map escapes.
  EXPECT_EQ(ScreenOrbit(AffineEverywhere({1.5, 0, 0, 1.5, 0.3, 0.3}), 1, thresholds).verdict, TScreenVerdict::Escaped);

  const TScreenFigures martin = ScreenOrbit(ChaoticMartin(), 7, thresholds);
  EXPECT_EQ(martin.verdict, TScreenVerdict::Accepted);
  EXPECT_GT(martin.lyapunov, 0.05);
  EXPECT_GT(martin.dimension, 1.2);
  EXPECT_LT(martin.dimension, 1.8);

  // The triangle's dimension is log 3 / log 2 = 1.585, within the sample's error.
  const TScreenFigures triangle = ScreenOrbit(Sierpinski(), 3, thresholds);
  EXPECT_EQ(triangle.verdict, TScreenVerdict::Accepted);
  EXPECT_NEAR(triangle.dimension, 1.585, 0.15);
  // Its extent is the unit triangle's, less the corners' sparse tips that the outer quarter percent leaves out.
  EXPECT_NEAR(triangle.extent.xMin, 0, 0.04);
  EXPECT_NEAR(triangle.extent.xMax, 1, 0.04);
  EXPECT_NEAR(triangle.extent.yMax, 1, 0.04);
  // The same set with the attractors' threshold: a set of contractions has a negative exponent.
  TScreenThresholds strict = thresholds;
  strict.minMapSystemLyapunov = strict.minAttractorLyapunov;
  EXPECT_LT(triangle.lyapunov, 0);
  EXPECT_EQ(ScreenOrbit(Sierpinski(), 3, strict).verdict, TScreenVerdict::LowLyapunov);
}

TEST(Screen, TheTraceIsWhatAOneOrbitRenderPlots) {
  // A thumbnail drawn with a budget of the trace's steps and a view around the first point hits exactly there.
  const TFractalParams martin = ChaoticMartin();
  const TOrbitTrace trace = TraceOrbit(martin, 11, 3);
  ASSERT_EQ(trace.x.size(), 3u);
  TFractalParams v = martin;
  const double x = trace.x[2], y = trace.y[2];
  TExtent around{x - 1e-3, x + 1e-3, y - 1e-3, y + 1e-3};
  ASSERT_TRUE(FrameView(v, around, 0));
  TRenderContext context;
  bool restarted = false, cancelled = false;
  v.logDensity = false;
  const auto picture = RenderThumbnail(v, 11, 3, context, nullptr, restarted, cancelled);
  EXPECT_FALSE(restarted);
  EXPECT_FALSE(cancelled);
  int lit = 0, litX = -1, litY = -1;
  for (int py = 0; py < picture->Height(); ++py)
    for (int px = 0; px < picture->Width(); ++px)
      if (picture->GetColor(px, py) != 0) ++lit, litX = px, litY = py;
  EXPECT_EQ(lit, 1);
  EXPECT_NEAR(litX, 80, 1);
  EXPECT_NEAR(litY, 60, 1);
}

TEST(Framing, FitsTheExtentWithItsMarginAndKeepsTheAspect) {
  TFractalParams v = Blank();
  const TExtent wide{-3, 5, 1, 2};  // 8 x 1: the width decides
  ASSERT_TRUE(FrameView(v, wide, 0.1));
  EXPECT_DOUBLE_EQ(v.xCenter, 1);
  EXPECT_DOUBLE_EQ(v.yCenter, 1.5);
  EXPECT_NEAR(v.plotXMax - v.plotXMin, 8 * 1.2, 1e-9);
  EXPECT_NEAR((v.plotXMax - v.plotXMin) / (v.plotYMax - v.plotYMin), 160.0 / 120.0, 1e-12);
  const TExtent tall{0, 1, -10, 10};  // the height decides
  ASSERT_TRUE(FrameView(v, tall, 0.05));
  EXPECT_NEAR(v.plotYMax - v.plotYMin, 20 * 1.1, 1e-9);
  EXPECT_GT(v.plotXMax - v.plotXMin, 1);
  const TFractalParams before = v;
  EXPECT_FALSE(FrameView(v, TExtent{2, 2, 0, 1}, 0.05));
  EXPECT_EQ(v, before);
}

TEST(Thumbnail, RejectsNearlyBlackNearlyFullALineAndAPoint) {
  const TScreenThresholds thresholds;
  TPixelGraphic picture;
  picture.SetSize(160, 120, TColorRes::Bits24);
  const auto fill = [&](auto lit) {
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) picture.SetPixel(x, y, lit(x, y) ? 0xC0C0C0u : 0x080808u);
  };
  fill([](int, int) { return false; });
  EXPECT_EQ(ThumbnailVerdict(picture, thresholds), TScreenVerdict::NearlyBlack);
  fill([](int x, int y) { return x < 2 && y < 2; });
  EXPECT_EQ(ThumbnailVerdict(picture, thresholds), TScreenVerdict::Point);
  fill([](int x, int y) { return (x + y) % 20 != 0; });
  EXPECT_EQ(ThumbnailVerdict(picture, thresholds), TScreenVerdict::NearlyFull);
  fill([](int x, int y) { return std::abs(3 * x - 4 * y) < 3; });  // the diagonal
  EXPECT_EQ(ThumbnailVerdict(picture, thresholds), TScreenVerdict::Line);
  fill([](int x, int y) { return (x - 80) * (x - 80) + (y - 60) * (y - 60) < 40 * 40; });
  EXPECT_EQ(ThumbnailVerdict(picture, thresholds), TScreenVerdict::Accepted);
  fill([](int x, int y) { return (x - 80) * (x - 80) + (y - 60) * (y - 60) < 5 * 5; });
  EXPECT_EQ(ThumbnailVerdict(picture, thresholds), TScreenVerdict::NearlyBlack);
}

TExploreOptions SmallSearch(int threads) {
  TExploreOptions options;
  options.family = {TFamilyGroup::Any, 0};
  options.width = 64;
  options.height = 48;
  options.thumbnailSteps = 20000;
  options.seed = 42;
  options.threads = threads;
  return options;
}

struct TFound {
  std::uint64_t index;
  TFractalParams params;
  std::vector<std::uint8_t> pixels;
};

std::vector<TFound> Search(const TExploreOptions& options, int wanted, std::uint64_t first = 0) {
  std::vector<TFound> found;
  TExploreSearch search(options);
  search.Run(
      wanted,
      [&](const TExploreCandidate& c) {
        const TPixelGraphic& p = *c.thumbnail;
        std::vector<std::uint8_t> pixels(p.Bits(), p.Bits() + p.ImageSize());
        found.push_back({c.index, c.params, std::move(pixels)});
      },
      first);
  return found;
}

TEST(ExploreSearch, TheSeedFixesTheAcceptedListOnOneThreadAndOnTwo) {
  const std::vector<TFound> one = Search(SmallSearch(1), 5);
  const std::vector<TFound> two = Search(SmallSearch(2), 5);
  ASSERT_EQ(one.size(), 5u);
  ASSERT_EQ(two.size(), 5u);
  for (std::size_t k = 0; k < one.size(); ++k) {
    EXPECT_EQ(one[k].index, two[k].index) << k;
    EXPECT_TRUE(one[k].params == two[k].params) << k;
    EXPECT_EQ(one[k].pixels, two[k].pixels) << k;
    if (k > 0) {
      EXPECT_LT(one[k - 1].index, one[k].index);
    }
  }
  // Another seed, other sets; a page from a later index goes on where the first ended.
  TExploreOptions other = SmallSearch(2);
  other.seed = 43;
  EXPECT_FALSE(Search(other, 1)[0].params == one[0].params);
  const std::vector<TFound> page = Search(SmallSearch(2), 2, one[2].index);
  EXPECT_EQ(page[0].index, one[2].index);
  EXPECT_EQ(page[1].index, one[3].index);
}

TEST(ExploreSearch, CancelEndsTheRunAndKeepsWhatWasFound) {
  TExploreOptions options = SmallSearch(2);
  options.thumbnailSteps = 2'000'000'000;  // a thumbnail never ends by itself
  TExploreSearch search(options);
  // Whenever the flag goes up, the thumbnails being drawn are cut short: the moment decides nothing below.
  std::thread cancel([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    search.Cancel();
  });
  int accepted = 0;
  const TExploreStats stats = search.Run(50, [&](const TExploreCandidate&) { ++accepted; });
  cancel.join();
  EXPECT_TRUE(stats.cancelled);
  EXPECT_EQ(accepted, 0);  // every thumbnail was cut short
  EXPECT_EQ(stats.accepted, 0);

  // A candidate that passes the screen, with the flag already up, ends at the render's first pump.
  TExploreOptions triangle = SmallSearch(1);
  triangle.base = Sierpinski();
  triangle.distance = 0;
  triangle.thumbnailSteps = 2'000'000'000;
  TRenderContext context;
  const std::atomic<bool> raised{true};
  EXPECT_EQ(EvaluateCandidate(triangle, 0, context, &raised).figures.verdict, TScreenVerdict::Cancelled);
  triangle.thumbnailSteps = 50000;
  const TExploreCandidate drawn = EvaluateCandidate(triangle, 0, context, nullptr);
  EXPECT_EQ(drawn.figures.verdict, TScreenVerdict::Accepted);
  ASSERT_TRUE(drawn.thumbnail);
}

TEST(ExploreSearch, VariantsMoveTheCoefficientsByTheDistanceAndKeepTheRest) {
  const TFractalParams base = ChaoticMartin();
  const TCandidateSeed same = MutateCandidate(base, 0, 5, 1);
  EXPECT_TRUE(same.params.af == base.af);
  const TCandidateSeed near = MutateCandidate(base, 0.05, 5, 1);
  EXPECT_FALSE(near.params.af == base.af);
  for (int k = 1; k <= kCoefficientCount; ++k)
    EXPECT_LE(std::fabs(near.params.af[k] - base.af[k]), 0.05 * std::fabs(base.af[k]) + 0.005 + 1e-15) << k;
  EXPECT_EQ(near.params.red, base.red);
  EXPECT_EQ(near.params.mira0103, true);
  EXPECT_EQ(near.params.xCenter, base.xCenter);
  EXPECT_FALSE(MutateCandidate(base, 0.05, 5, 2).params.af == near.params.af);

  // A search around the set keeps its view when asked to.
  TExploreOptions options = SmallSearch(1);
  options.base = base;
  options.base->zoom = 0.3;
  options.keepView = true;
  options.distance = 0.01;
  const std::vector<TFound> found = Search(options, 2);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].params.zoom, 0.3);
  EXPECT_TRUE(found[0].params.mira0103);
}

TEST(ExploreFamily, NamesParseBackAndCandidatesDrawTheirFamily) {
  for (const char* name : {"mira", "mira01", "mira09", "ifs", "ifs08", "latoocarfian", "cif", "any"}) {
    const auto family = ParseExploreFamily(name);
    ASSERT_TRUE(family) << name;
    EXPECT_EQ(ExploreFamilyName(*family), name);
  }
  for (const char* name : {"mira10", "ifs00", "ifs9", "Mira", ""}) EXPECT_FALSE(ParseExploreFamily(name)) << name;
  const TCandidateSeed martin = MakeCandidate({TFamilyGroup::Mira, 4}, {}, 160, 120, 9, 3);
  EXPECT_EQ(FamilyCaption(martin.params), "G-Mira / Martin 04");
  EXPECT_TRUE(SelectsAFamily(martin.params));
  const TCandidateSeed cif = MakeCandidate({TFamilyGroup::Cif, 0}, *ParseVariations("none,swirl"), 160, 120, 9, 3);
  EXPECT_TRUE(cif.params.ifs0101 && (cif.params.cif01 || cif.params.cif02));
  EXPECT_TRUE(cif.params.swirl && cif.params.none && !cif.params.linear);
  EXPECT_FALSE(ParseVariations("none,twirl"));
  const TCandidateSeed again = MakeCandidate({TFamilyGroup::Cif, 0}, {}, 160, 120, 9, 3);
  EXPECT_TRUE(again.params.af == cif.params.af);
  EXPECT_EQ(again.renderSeed, cif.renderSeed);
}

}  // namespace
