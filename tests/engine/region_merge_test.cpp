// Grids far outside the cache, whose hits are dealt, merged and painted by region: every count, lead byte, colour
// cell and pixel is the one RunFractal's hit-by-hit run leaves (RunFractal and ContinueFractal gathering, one
// parallel orbit), the thread count never shows (eight orbits), and a host looking at the picture between rounds
// sees every hit painted.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/orbits.h"
#include "engine/tone.h"
#include "engine_fixture.h"

namespace {

using RegionMergeTest = EngineTest;

// The first 10000 steps, two full rounds and part of a third, ending inside a batch of the single orbit's run.
constexpr std::int64_t kSteps = 10000 + 2 * 262144 + 70001;

// A window's 2048 x 2048 grid (4M cells, merged by region) or a counts-only grid of 2600 x 1700,
// with a lead list, and colour cells for the gradient colouring.
struct TLargeFractal : TTestFractal {
  TLeadList lead;
  TColourCells colourCells;

  TLargeFractal(int width, int height, bool countsOnly, bool gradient) : TTestFractal(countsOnly ? 1 : width,
                                                                                        countsOnly ? 1 : height) {
    if (countsOnly) {
      const std::size_t cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
      red.assign(cells, 0);
      green.assign(cells, 0);
      blue.assign(cells, 0);
      v.image = nullptr;
      v.countsOnly = true;
      v.imageWidth = v.plotWidth = width;
      v.imageHeight = v.plotHeight = height;
    }
    lead.assign(red.size(), 0);
    v.leadList = &lead;
    if (gradient) {
      colourCells.sums.assign(red.size(), 0);
      colourCells.hits.assign(red.size(), 0);
      v.colourCells = &colourCells;
      v.colouring = TColouring::Gradient;
    }
    // Three maps of a crystal spread over the whole grid: contractions by 0.4 to 0.58, so that a round's hits
    // touch thousands of cells of every region again and again.
    v.plotXMin = v.plotYMin = -0.2;
    v.plotXMax = v.plotYMax = 1.2;
    v.maps = 3;
    const double maps[3][6] = {
        {0.5, -0.3, 0.3, 0.5, 0, 0}, {0.5, 0.3, -0.3, 0.5, 0.5, 0.2}, {0.4, 0, 0, 0.4, 0.2, 0.6}};
    const int offsets[3] = {0, 19, 39};
    for (int m = 0; m < 3; ++m)
      for (int k = 0; k < 6; ++k) v.af[offsets[m] + 1 + k] = maps[m][k];
    v.red = 0.7, v.green = 0.8, v.blue = 0.9;
    v.intensity = 7;
  }
};

struct TLargeOutcome {
  std::vector<std::uint8_t> pixels;
  THitList red, green, blue;
  TLeadList lead;
  std::vector<std::uint64_t> colourSums;
  std::vector<std::uint32_t> colourHits;
  std::int64_t mainSteps = 0, litCells = 0;

  bool operator==(const TLargeOutcome& o) const {
    return pixels == o.pixels && red == o.red && green == o.green && blue == o.blue && lead == o.lead &&
           colourSums == o.colourSums && colourHits == o.colourHits && mainSteps == o.mainSteps;
  }
};

struct TLargeCase {
  const char* name;
  int width, height;
  bool countsOnly, gradient;
};

const TLargeCase kLargeCases[] = {
    {"WindowLinear", 2048, 2048, false, false},
    {"WindowGradient", 2048, 2048, false, true},
    {"CountsOnlyLinear", 2600, 1700, true, false},
    {"CountsOnlyGradient", 2600, 1700, true, true},
};

// Without a host nobody looks at the picture during the run: its painting waits for many rounds.
TLargeOutcome RenderLarge(const TLargeCase& c, const std::function<void(TFractalParams*)>& run, bool hosted = true) {
  ResetEngineState();
  SeedEngineRandom(7);
  TLargeFractal f(c.width, c.height, c.countsOnly, c.gradient);
  SetEngineStepBudget(kSteps);
  EngineHost* const host = GetEngineHost();
  if (!hosted) SetEngineHost(nullptr);
  run(&f.v);
  SetEngineHost(host);
  TLargeOutcome o;
  if (!c.countsOnly) o.pixels = f.Pixels();
  o.red = f.red;
  o.green = f.green;
  o.blue = f.blue;
  o.lead = f.lead;
  o.colourSums = f.colourCells.sums;
  o.colourHits = f.colourCells.hits;
  o.mainSteps = GetEngineCounters().mainSteps;
  o.litCells = f.NonZeroCells();
  return o;
}

std::function<void(TFractalParams*)> Orbits(int orbits, int threads) {
  return [=](TFractalParams* v) { RunFractalOrbits(v, orbits, threads); };
}

// RunFractal's hit-by-hit run: no grid gathers its hits while it is alive.
struct THitByHit {
  THitByHit() { DefaultRenderContext().SetGatheredGridCells(std::numeric_limits<std::int64_t>::max()); }
  ~THitByHit() { DefaultRenderContext().SetGatheredGridCells(kDefaultGatheredGridCells); }
};

// RunFractal stopped by the budget and continued by ContinueFractal, which gathers again.
void RunThenContinue(TFractalParams* v) {
  SetEngineStepBudget(kSteps - 123457);
  RunFractal(v);
  SetEngineStepBudget(123457);
  v->abort = false;
  ContinueFractal(v);
}

TEST_F(RegionMergeTest, OneOrbitByRegionIsRunFractalToTheLastCountLeadByteAndPixel) {
  for (const TLargeCase& c : kLargeCases) {
    TLargeOutcome direct;
    {
      const THitByHit hitByHit;
      direct = RenderLarge(c, RunFractal);
    }
    ASSERT_EQ(direct.mainSteps, kSteps) << c.name;
    // Enough cells lit that every region of the grid takes part.
    EXPECT_GT(direct.litCells, 200000) << c.name;
    EXPECT_TRUE(direct == RenderLarge(c, RunFractal)) << c.name << ": RunFractal gathering";
    EXPECT_TRUE(direct == RenderLarge(c, RunFractal, false)) << c.name << ": RunFractal gathering, no host";
    EXPECT_TRUE(direct == RenderLarge(c, RunThenContinue)) << c.name << ": continued";
    EXPECT_TRUE(direct == RenderLarge(c, Orbits(1, 1), false)) << c.name << ": one parallel orbit, no host";
  }
}

// Runs on one context nest alike whether they gather their hits or not: a run started from a host call takes over,
// its Stop ends the outer run with no step after it, and the outer picture is what its own steps drew.
TEST_F(RegionMergeTest, AGatheringRunNestsAsAHitByHitRunDoes) {
  struct TGatherAll {
    TGatherAll() { DefaultRenderContext().SetGatheredGridCells(0); }
    ~TGatherAll() { DefaultRenderContext().SetGatheredGridCells(kDefaultGatheredGridCells); }
  } gatherAll;
  TNestedRuns runs;
  RunNested(runs);
  const TTestFractal &outer = runs.outer, &inner = runs.inner;
  const std::int64_t outerAtNesting = runs.outerAtNesting;

  ASSERT_GT(outerAtNesting, 0);
  EXPECT_EQ(outer.v.iterations, outerAtNesting);  // no step after the inner run ended
  EXPECT_FALSE(outer.v.abort);                    // the outer loop ended on the inner record's flag
  EXPECT_TRUE(inner.v.abort);
  EXPECT_EQ(EngineState().v, &inner.v);
  EXPECT_EQ(GetEngineCounters().mainSteps, outer.v.iterations + inner.v.iterations);
  EXPECT_NE(inner.red[inner.Cell(30, 40)], 0);
  EXPECT_EQ(outer.red[outer.Cell(30, 40)], 0);

  const THitByHit hitByHit;
  ResetEngineState();
  TTestFractal alone(400, 300);
  alone.SetConstantMap(10.2, 20.4);
  SetEngineStepBudget(outerAtNesting);
  RunFractal(&alone.v);
  EXPECT_TRUE(outer.red == alone.red && outer.green == alone.green && outer.blue == alone.blue);
  EXPECT_TRUE(outer.Pixels() == alone.Pixels());
}

TEST_F(RegionMergeTest, EightOrbitsByRegionGiveTheSameResultOnOneAndTwoThreads) {
  for (const TLargeCase& c : kLargeCases) {
    const TLargeOutcome one = RenderLarge(c, Orbits(8, 1));
    ASSERT_EQ(one.mainSteps, kSteps) << c.name;
    EXPECT_TRUE(one == RenderLarge(c, Orbits(8, 2))) << c.name;
    EXPECT_TRUE(one == RenderLarge(c, Orbits(8, 2), false)) << c.name << ": no host";
  }
}

// Painting waits for many rounds on a large grid: a host must still find every hit painted, its cell's lead byte
// written, and nothing painted twice over with an older colour. What it sees is the picture the counts and lead
// bytes give, at every pump.
TEST_F(RegionMergeTest, AHostSeesEveryHitPaintedAtEveryPump) {
  // 0 threads: RunFractal's one orbit.
  for (const int threads : {0, 1, 2}) {
    ResetEngineState();
    SeedEngineRandom(7);
    TLargeFractal f(2048, 2048, false, false);
    int checked = 0;
    host.onPump = [&] {
      if (GetEngineCounters().mainSteps < 20000) return;
      std::int64_t unmarked = 0;
      for (std::size_t cell = 0; cell < f.lead.size(); ++cell)
        unmarked += (f.red[cell] | f.green[cell] | f.blue[cell]) != 0 && f.lead[cell] == 0;
      EXPECT_EQ(unmarked, 0) << "pump " << host.pumps << " on " << threads << " threads";
      const std::vector<std::uint8_t> seen = f.Pixels();
      PaintHitColours(f.v);
      EXPECT_TRUE(seen == f.Pixels()) << "pump " << host.pumps << " on " << threads << " threads";
      ++checked;
    };
    SetEngineStepBudget(kSteps);
    if (threads == 0)
      RunFractal(&f.v);
    else
      RunFractalOrbits(&f.v, 8, threads);
    EXPECT_GE(checked, 2) << threads << " threads";
    host.onPump = nullptr;
  }
}

// A host pumped seldom (a renderer's progress) lets the rounds' hits wait to be merged together; when it is called,
// every round made so far is counted and painted: the picture and counts are those of a run stopped
// there by the budget.
TEST_F(RegionMergeTest, AHostCalledEveryFewRoundsFindsEveryRoundMerged) {
  struct TSeen {
    std::int64_t steps;
    TLargeOutcome outcome;
  };
  const TLargeCase& c = kLargeCases[0];
  for (const int threads : {0, 2}) {
    const auto run = threads == 0 ? std::function<void(TFractalParams*)>(RunFractal) : Orbits(8, threads);
    std::vector<TSeen> seen;
    ResetEngineState();
    SeedEngineRandom(7);
    TLargeFractal f(c.width, c.height, c.countsOnly, c.gradient);
    host.onPump = [&] {
      const std::int64_t steps = GetEngineCounters().mainSteps;
      if (steps < 20000) return;
      TSeen now{steps, {}};
      now.outcome.pixels = f.Pixels();
      now.outcome.red = f.red;
      now.outcome.lead = f.lead;
      seen.push_back(std::move(now));
      if (seen.size() == 2) f.v.abort = true;
    };
    SetEnginePumpInterval(kSeldomPumpInterval);
    SetEngineStepBudget(64 * kSteps);
    run(&f.v);
    SetEnginePumpInterval(std::chrono::microseconds(0));
    host.onPump = nullptr;
    ASSERT_EQ(seen.size(), 2U) << threads << " threads";
    for (const TSeen& at : seen) {
      TLargeOutcome stopped;
      {
        ResetEngineState();
        SeedEngineRandom(7);
        TLargeFractal g(c.width, c.height, c.countsOnly, c.gradient);
        SetEngineStepBudget(at.steps);
        SetEngineHost(nullptr);
        run(&g.v);
        SetEngineHost(&host);
        stopped.pixels = g.Pixels();
        stopped.red = g.red;
        stopped.lead = g.lead;
      }
      EXPECT_TRUE(at.outcome.pixels == stopped.pixels && at.outcome.red == stopped.red &&
                  at.outcome.lead == stopped.lead)
          << "at step " << at.steps << " on " << threads << " threads";
    }
  }
}

}  // namespace
