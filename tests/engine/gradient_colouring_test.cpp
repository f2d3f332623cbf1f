// The gradient colouring: the colour coordinate's rule on a set whose points can be worked out by hand, the same
// colour cells whatever the thread count, a continued run that ends exactly as one long run, and the tone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <cstring>
#include <vector>

#include "engine/orbits.h"
#include "engine/tone.h"
#include "engine_fixture.h"

namespace {

using GradientColouringTest = EngineTest;

// A fractal with colour cells, coloured by gradient.
struct TGradientFractal : TTestFractal {
  TColourCells cells;
  TGradientFractal(int width, int height) : TTestFractal(width, height) {
    cells.sums.assign(red.size(), 0);
    cells.hits.assign(red.size(), 0);
    v.colourCells = &cells;
    v.colouring = TColouring::Gradient;
  }
};

// Two maps of the diagonal, x -> x / 2 and x -> x / 2 + 1 / 2 (y alike), the second in the third group too. After
// maps m1 .. mk the point is x = sum of m_i / 2^(k - i + 1) plus what is left of the start point, and a colour
// coordinate that starts at 0 with positions 0 and 1 follows the same sum: c = x, up to the start point's
// 0.0001 / 2^k. With the positions swapped, c = 1 - x.
void SetHalvingMaps(TGradientFractal& f, bool swapped) {
  f.v.plotXMin = f.v.plotYMin = 0;
  f.v.plotXMax = f.v.plotYMax = 1;
  f.v.maps = 2;
  for (const int j : {0, 19, 39}) {
    const double shift = j == 0 ? 0 : 0.5;
    const double map[6] = {0.5, 0, 0, 0.5, shift, shift};
    for (int k = 0; k < 6; ++k) f.v.af[j + 1 + k] = map[k];
  }
  f.v.colourPositions = swapped ? std::array<double, 3>{1, 0, 0} : std::array<double, 3>{0, 1, 1};
}

// Each lit cell's mean colour coordinate against its column's x (cell ix holds x within half a column of ix / W).
void ExpectColourFollowsX(const TGradientFractal& f, bool swapped) {
  const int n = f.GridSize();
  int lit = 0;
  for (int ix = 0; ix < f.v.imageWidth; ++ix)
    for (int iy = 0; iy < f.v.imageHeight; ++iy) {
      const std::size_t cell = f.Cell(ix, iy);
      // The start point's cell also holds the first steps, where the coordinate still remembers where it began.
      if (f.cells.hits[cell] == 0 || ix == 0) continue;
      EXPECT_EQ(ix, iy) << "the set lies on the diagonal";
      ++lit;
      const double mean = static_cast<double>(f.cells.sums[cell]) / f.cells.hits[cell] / kColourLevels;
      const double x = static_cast<double>(ix) / n;
      EXPECT_NEAR(swapped ? 1 - mean : mean, x, 0.5 / n + 1.0 / kColourLevels) << "cell " << ix << ", " << iy;
    }
  EXPECT_GT(lit, n / 2);
}

std::vector<std::uint64_t> Combined(const TColourCells& c) {
  std::vector<std::uint64_t> all(c.sums);
  all.insert(all.end(), c.hits.begin(), c.hits.end());
  return all;
}

}  // namespace

TEST_F(GradientColouringTest, TheColourCoordinateMovesHalfwayToThePositionOfEachMapApplied) {
  for (const bool swapped : {false, true}) {
    SCOPED_TRACE(swapped ? "positions 1, 0" : "positions 0, 1");
    TGradientFractal one(64, 64);
    SetHalvingMaps(one, swapped);
    SeedEngineRandom(5);
    RunSteps(one, 30000);
    ExpectColourFollowsX(one, swapped);
    // The parallel orbits carry the coordinate in their logs through the merge.
    TGradientFractal eight(64, 64);
    SetHalvingMaps(eight, swapped);
    ResetEngineState();
    SeedEngineRandom(5);
    SetEngineStepBudget(60000);
    RunFractalOrbits(&eight.v, 8, 2);
    ExpectColourFollowsX(eight, swapped);
  }
}

TEST_F(GradientColouringTest, TheDefinedColouringLeavesTheColourCellsAndCoordinateAlone) {
  TGradientFractal f(64, 64);
  SetHalvingMaps(f, false);
  f.v.colouring = TColouring::Defined;
  SeedEngineRandom(5);
  RunSteps(f, 30000);
  EXPECT_GT(f.NonZeroCells(), 32);
  EXPECT_EQ(Combined(f.cells), std::vector<std::uint64_t>(2 * f.red.size(), 0));
  EXPECT_EQ(EngineState().colour, 0);
}

namespace {

// Sierpinski's triangle in three maps, each group with its own position.
void SetTriangle(TGradientFractal& f) {
  f.v.plotXMin = f.v.plotYMin = -0.1;
  f.v.plotXMax = f.v.plotYMax = 1.1;
  f.v.maps = 3;
  const double maps[3][6] = {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0.25, 0.5}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 6; ++k) f.v.af[offsets[m] + 1 + k] = maps[m][k];
  f.v.colourPositions = {0.1, 0.9, 0.5};
}

struct TGradientOutcome {
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint64_t> cells;
  THitList red;
  double colour = 0;
  std::vector<double> otherColours;
  bool operator==(const TGradientOutcome&) const = default;
};

TGradientOutcome OutcomeOf(const TGradientFractal& f, const TOrbitsLeft& left) {
  TGradientOutcome o{f.Pixels(), Combined(f.cells), f.red, EngineState().colour, {}};
  for (const TOtherOrbit& other : left.others) o.otherColours.push_back(other.state.colour);
  return o;
}

}  // namespace

TEST_F(GradientColouringTest, TheThreadCountNeverChangesTheColourCells) {
  const std::int64_t steps = 10000 + 3 * OrbitRoundSteps(8) * 8 + 123;
  std::vector<TGradientOutcome> outcomes;
  for (const int threads : {1, 2, 3}) {
    TGradientFractal f(96, 96);
    SetTriangle(f);
    ResetEngineState();
    SeedEngineRandom(11);
    SetEngineStepBudget(steps);
    TOrbitsLeft left;
    RunFractalOrbits(&f.v, 8, threads, &left);
    outcomes.push_back(OutcomeOf(f, left));
  }
  EXPECT_TRUE(outcomes[0] == outcomes[1]);
  EXPECT_TRUE(outcomes[0] == outcomes[2]);
  EXPECT_GT(std::count_if(outcomes[0].cells.begin(), outcomes[0].cells.end(), [](std::uint64_t c) { return c != 0; }),
            1000);
}

TEST_F(GradientColouringTest, ARunContinuedEndsExactlyAsOneLongRun) {
  const std::int64_t round = OrbitRoundSteps(5) * 5;
  const std::int64_t total = 10000 + round + 777;
  const auto render = [&](std::int64_t cut, int threads) {
    TGradientFractal f(80, 80);
    SetTriangle(f);
    ResetEngineState();
    SeedEngineRandom(3);
    TOrbitsLeft left;
    SetEngineStepBudget(cut);
    RunFractalOrbits(&f.v, 5, 1, &left);
    if (cut < total) {
      SetEngineStepBudget(total - cut);
      f.v.abort = false;
      ContinueFractalOrbits(&f.v, left, threads);
    }
    return OutcomeOf(f, left);
  };
  const TGradientOutcome whole = render(total, 1);
  for (const std::int64_t cut : {std::int64_t{5000}, 10000 + round / 3 + 1, total - 1})
    EXPECT_TRUE(render(cut, 2) == whole) << "cut at " << cut;
}

TEST(GradientTone, VibrancyKeepsTheGradientsSaturationWhereTheDensityIsLow) {
  TFractalParams v;
  auto red = std::make_shared<TGradient>();
  red->name = "test";
  red->colours = {{200, 100, 0}, {200, 100, 0}};
  v.gradient = {red};
  v.toneGamma = 2;
  // One cell of many at the mean density.
  const auto colourAt = [&](double vibrancy) {
    v.vibrancy = vibrancy;
    const TGradientTone tone = GradientToneOf(v, 1000, 1000);
    return GradientCellColor(tone, 1, kColourLevels / 2);
  };
  const TColor vivid = colourAt(1), washed = colourAt(0);
  const auto channel = [](TColor c, int k) { return static_cast<int>((c >> (8 * k)) & 255); };
  // Vibrancy 1: the gradient's 2 : 1 : 0 proportions; vibrancy 0: gamma on each channel lifts green towards red.
  EXPECT_NEAR(channel(vivid, 1) * 2, channel(vivid, 0), 2);
  EXPECT_EQ(channel(vivid, 2), 0);
  EXPECT_GT(channel(washed, 1) * 2, channel(washed, 0) + 20);
  EXPECT_EQ(GradientCellColor(GradientToneOf(v, 1000, 1000), 0, 0), 0u) << "a cell without points is black";
}

TEST(GradientTone, AnOffsetRotatesAndReversingMirrorsTheGradient) {
  TGradient g;
  g.colours = {{0, 0, 0}, {255, 255, 255}};
  const auto grey = [&](TGradientView view, int level) {
    return SampleGradient(g, view, 4)[static_cast<std::size_t>(level)][0];
  };
  EXPECT_DOUBLE_EQ(grey({}, 0), 0.125);
  EXPECT_DOUBLE_EQ(grey({0.5, 1, false}, 0), 0.625);
  EXPECT_DOUBLE_EQ(grey({0.5, 1, false}, 3), 0.375) << "past the end it wraps round";
  EXPECT_DOUBLE_EQ(grey({0, 1, true}, 0), 0.875);
  EXPECT_DOUBLE_EQ(grey({0, 2, false}, 2), 0.25) << "scale 2 shows it twice";
  EXPECT_GE(BuiltInGradients().size(), 20u);
  for (const TGradient& b : BuiltInGradients()) EXPECT_EQ(FindBuiltInGradient(b.name), &b);
}
