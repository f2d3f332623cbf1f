// The run loop: hits and cells, restarts, abort, nesting, the step budget, pumping and floating-point faults.
#include "engine/formula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "engine/colouring.h"
#include "engine_fixture.h"

namespace {

using RunFractalTest = EngineTest;

// ---- Hits and cells ---------------------------------------------------------------------------------------------

TEST_F(RunFractalTest, APointGetsRedGreenRedAndABlueHitAtOffsetZero) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  RunSteps(f, 1);  // one main step and one Lyapunov step: two points on the same pixel
  const std::size_t cell = f.Cell(10, 20);
  EXPECT_EQ(f.red[cell], 4);
  EXPECT_EQ(f.green[cell], 2);
  EXPECT_EQ(f.blue[cell], 2);
  EXPECT_EQ(f.NonZeroCells(), 1);
  EXPECT_EQ(f.image.GetPixel(10, 20), HitColor(f.v, 4, 2, 2, THitChannel::Blue));
  EXPECT_EQ(f.v.iterations, 1);
  EXPECT_EQ(f.v.plotX, 10.2);
  EXPECT_EQ(f.v.plotY, 20.4);
}

TEST_F(RunFractalTest, TheFourthHitFollowsTheMapOffset) {
  struct Case {
    int j;
    std::int32_t red, green, blue;
  };
  for (const Case c : {Case{19, 6, 2, 0}, Case{39, 4, 4, 0}}) {
    SCOPED_TRACE(c.j);
    ResetEngineState();
    EngineState().j = c.j;  // maps = 0 keeps the offset
    TTestFractal f(400, 300);
    f.SetConstantMap(10.2, 20.4, c.j);
    RunSteps(f, 1);
    const std::size_t cell = f.Cell(10, 20);
    EXPECT_EQ(f.red[cell], c.red);
    EXPECT_EQ(f.green[cell], c.green);
    EXPECT_EQ(f.blue[cell], c.blue);
  }
}

TEST_F(RunFractalTest, PointsOnTheLowerOrLeftEdgeOrRoundingToTheFarEdgeAreNotPlotted) {
  const double dropped[][2] = {{0, 10}, {10, 0}, {-3, 10}, {399.5, 10}, {399.7, 10}, {10, 299.5}};
  for (const auto& p : dropped) {
    SCOPED_TRACE(testing::Message() << p[0] << ", " << p[1]);
    TTestFractal f(400, 300);
    f.SetConstantMap(p[0], p[1]);
    RunSteps(f, 1);
    EXPECT_EQ(f.NonZeroCells(), 0);
    EXPECT_EQ(f.v.plotX, p[0]);
  }
  TTestFractal f(400, 300);
  f.v.intensity = 64;  // bright enough for four hits to show
  f.SetConstantMap(398.5, 0.3);  // ties to even: column 398; row 0 takes the points nearest plotYMin
  RunSteps(f, 1);
  EXPECT_NE(f.red[f.Cell(398, 0)], 0);
  EXPECT_NE(f.image.GetPixel(398, 0), 0u);
}

TEST_F(RunFractalTest, NeighbouringColumnsOfASquarePictureKeepSeparateCells) {
  // Indexed by (width - 1) * ix + iy, pixel (5, 399) and pixel (6, 0) would share one cell.
  TTestFractal f(400, 400);
  f.SetConstantMap(5.2, 399.2);
  host.onPump = [&] { f.SetConstantMap(6.2, 0.2); };
  RunSteps(f, 2 * kPassesPerPumpCheck);
  const std::int32_t perPixel = kPassesPerPumpCheck * 2 * 2;  // passes x points per pass x red hits per point
  EXPECT_EQ(f.red[f.Cell(5, 399)], perPixel);
  EXPECT_EQ(f.red[f.Cell(6, 0)], perPixel);
  EXPECT_EQ(f.red[5 * 400 + 399], perPixel);
  EXPECT_EQ(f.NonZeroCells(), 2);
  EXPECT_EQ(f.image.GetPixel(6, 0), HitColor(f.v, perPixel, perPixel / 2, perPixel / 2, THitChannel::Blue));
}

TEST_F(RunFractalTest, APortraitPictureIndexesCellsByItsHeight) {
  TTestFractal f(300, 400);
  f.v.intensity = 64;
  f.SetConstantMap(5.2, 350.1);
  RunSteps(f, 1);
  EXPECT_EQ(f.red.size(), 400u * 400u);
  EXPECT_EQ(f.red[5 * 400 + 350], 4 * 64);
  EXPECT_EQ(f.NonZeroCells(), 1);
  EXPECT_NE(f.image.GetPixel(5, 350), 0u);
}

TEST_F(RunFractalTest, HitCountsSaturateInsteadOfWrapping) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  f.v.intensity = 1e300;  // a hit weight beyond Int32: Round saturates it
  RunSteps(f, 3);
  const std::size_t cell = f.Cell(10, 20);
  EXPECT_EQ(f.red[cell], std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(f.green[cell], std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(f.blue[cell], std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(f.image.GetPixel(10, 20), RGBColor(255, 255, 255));
}

TEST_F(RunFractalTest, ANonSquarePictureIsResetThroughTheWholeGrid) {
  TTestFractal f(120, 90);
  f.image.SetPixel(119, 89, RGBColor(1, 2, 3));
  f.image.SetPixel(0, 0, RGBColor(1, 2, 3));
  std::fill(f.blue.begin(), f.blue.end(), 9);
  f.v.abort = true;
  RunFractal(&f.v);
  EXPECT_EQ(f.image.GetPixel(119, 89), 0u);
  EXPECT_EQ(f.image.GetPixel(0, 0), 0u);
  EXPECT_EQ(f.NonZeroCells(), 0);
}

TEST_F(RunFractalTest, ListsSmallerThanTheGridAreRefusedBeforeAnythingIsWritten) {
  TTestFractal f(400, 300);
  f.green.assign(400 * 300, 7);
  f.v.abort = true;
  EXPECT_THROW(RunFractal(&f.v), std::invalid_argument);
  EXPECT_EQ(f.green[0], 7);
  EXPECT_THROW(RunFractal(nullptr), std::invalid_argument);
}

// ---- Map selection ----------------------------------------------------------------------------------------------

TEST_F(RunFractalTest, OneMapStillUsesTheSecondGroupInAboutOneStepInThirteen) {
  SeedEngineRandom(11);
  TTestFractal f(400, 300);
  f.v.maps = 1;
  f.SetConstantMap(10.2, 20.4, 0);
  f.SetConstantMap(10.2, 20.4, 19);
  RunSteps(f, 40000);
  // Every point gives one green hit, and a blue one only at offset 0.
  const std::size_t cell = f.Cell(10, 20);
  const double second = 1.0 - static_cast<double>(f.blue[cell]) / f.green[cell];
  EXPECT_NEAR(second, 0.075, 0.006);
}

TEST_F(RunFractalTest, ThreeMapsSpreadTheStepsOverAllThreeGroups) {
  SeedEngineRandom(12);
  TTestFractal f(400, 300);
  f.v.maps = 3;
  for (int j : {0, 19, 39}) f.SetConstantMap(10.2, 20.4, j);
  RunSteps(f, 40000);
  // Per point: red 2 (+1 at offset 19), green 1 (+1 at offset 39), blue 1 at offset 0 only.
  const std::size_t cell = f.Cell(10, 20);
  const double points = (f.red[cell] + f.green[cell] + f.blue[cell]) / 4.0;
  EXPECT_NEAR(f.blue[cell] / points, 0.3083, 0.01);
  EXPECT_NEAR((f.red[cell] - 2 * points) / points, 0.3333, 0.01);
  EXPECT_NEAR((f.green[cell] - points) / points, 0.3583, 0.01);
}

// ---- Restarts ---------------------------------------------------------------------------------------------------

TEST_F(RunFractalTest, AnOrbitEscapingDuringTheLyapunovStepsRestartsInTheSamePass) {
  TTestFractal f(400, 300);
  f.SetConstantMap(200, 200);  // |x| * |y| = 40000
  f.v.randomizer = 0;          // the new coefficients are all zero: the orbit then stays at the origin
  f.v.lyapunov = 3;
  RunSteps(f, 1);
  EXPECT_EQ(GetEngineCounters().restarts, 1);
  EXPECT_EQ(host.updates, 1);
  EXPECT_EQ(f.v.iterations, 0);
  EXPECT_EQ(f.v.lyapunov, 0.0);
  EXPECT_EQ(f.v.af[6], 0.0);
}

TEST_F(RunFractalTest, AnEscapeAfterTheLyapunovStepsRestartsAtTheNextPass) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  f.v.randomizer = 0;
  host.onPump = [&] {
    if (f.v.iterations >= 10000 && f.v.af[5] == 10.2) f.SetConstantMap(200, 200);
  };
  RunSteps(f, 10500);
  EXPECT_EQ(GetEngineCounters().restarts, 1);
  EXPECT_EQ(GetEngineCounters().mainSteps, 10500);
  // The restart cleared the picture; the zero map then only plots the excluded origin.
  EXPECT_EQ(f.NonZeroCells(), 0);
  EXPECT_LT(f.v.iterations, 500);
}

TEST_F(RunFractalTest, AWildLyapunovEstimateRestartsAfter100Steps) {
  // A contraction by 2^-110 per step: the estimate is about -110 bits per iteration from the start.
  auto run = [&](std::int64_t steps) {
    ResetEngineState();
    TTestFractal f(400, 300);
    f.SetConstantMap(0, 0);
    f.v.af[1] = f.v.af[4] = std::ldexp(1.0, -110);
    f.v.randomizer = 0;
    RunSteps(f, steps);
    return f.v.lyapunov;
  };
  const double estimate = run(100);
  EXPECT_LT(estimate, -100);
  EXPECT_EQ(GetEngineCounters().restarts, 0);
  run(101);
  EXPECT_EQ(GetEngineCounters().restarts, 1);
}

// ---- Abort, budget and pumping ----------------------------------------------------------------------------------

TEST_F(RunFractalTest, AbortSetByAHandlerEndsTheRunBeforeTheNextStep) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  std::int64_t atAbort = -1;
  host.onPump = [&] {
    atAbort = f.v.iterations;
    f.v.abort = true;
  };
  f.v.abort = false;
  RunFractal(&f.v);
  EXPECT_EQ(host.pumps, 1);
  EXPECT_EQ(atAbort, kPassesPerPumpCheck);
  EXPECT_EQ(f.v.iterations, atAbort);
}

TEST_F(RunFractalTest, ARunWithAbortAlreadySetDrawsCoefficientsAndResetsWithoutAStep) {
  TTestFractal f(400, 300);
  f.image.SetPixel(3, 4, RGBColor(9, 9, 9));
  f.red[f.Cell(3, 4)] = 5;
  f.v.iterations = 77;
  f.v.randomize = true;
  f.v.randomizer = 2;
  f.v.abort = true;
  RunFractal(&f.v);
  EXPECT_FALSE(f.v.randomize);
  EXPECT_EQ(host.updates, 1);
  EXPECT_NE(f.v.af[1], 0.0);
  EXPECT_NE(f.v.af2[60], 0.0);
  EXPECT_EQ(f.v.iterations, 0);
  EXPECT_EQ(f.image.GetPixel(3, 4), 0u);
  EXPECT_EQ(f.NonZeroCells(), 0);
  EXPECT_EQ(GetEngineCounters().mainSteps, 0);
  EXPECT_EQ(GetEngineCounters().restarts, 0);
}

TEST_F(RunFractalTest, RandomCoefficientsSpreadAsTheRandomizerSays) {
  TTestFractal f(400, 300);
  f.v.randomize = true;
  f.v.randomizer = 0.4;
  f.v.abort = true;
  RunFractal(&f.v);
  for (int k = 1; k <= kCoefficientCount; ++k) {
    EXPECT_LT(std::fabs(f.v.af[k]), 0.2);
    EXPECT_LT(std::fabs(f.v.af2[k]), 0.2);
  }
  EXPECT_NE(f.v.af[1], f.v.af2[1]);
}

TEST_F(RunFractalTest, TheStepBudgetIsExactWithRestartsAndWhateverTheCadence) {
  TTestFractal f(400, 300);
  f.v.randomizer = 0;
  f.SetConstantMap(200, 200);
  host.onParametersUpdate = [&] { f.SetConstantMap(200, 200); };  // every step escapes again
  RunSteps(f, 1000);
  EXPECT_EQ(GetEngineCounters().mainSteps, 1000);
  EXPECT_EQ(GetEngineCounters().restarts, 1000);
  EXPECT_TRUE(f.v.abort);
  EXPECT_EQ(DefaultRenderContext().StepBudget(), 0);

  ClearEngineCounters();
  SetEnginePumpInterval(kDefaultPumpInterval);
  f.SetConstantMap(10.2, 20.4);
  RunSteps(f, 12345);
  EXPECT_EQ(GetEngineCounters().mainSteps, 12345);
  EXPECT_EQ(f.v.iterations, 12345);
}

TEST_F(RunFractalTest, ARunWithAnExhaustedBudgetMakesNoStep) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  RunSteps(f, 0);
  EXPECT_TRUE(f.v.abort);
  EXPECT_EQ(f.v.iterations, 0);
  EXPECT_EQ(f.NonZeroCells(), 0);
  SetEngineStepBudget(kNoStepBudget);
  EXPECT_EQ(DefaultRenderContext().StepBudget(), kNoStepBudget);
}

TEST_F(RunFractalTest, TheHostIsPumpedAtMostOnceEvery256Passes) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  RunSteps(f, 10 * kPassesPerPumpCheck + 100);
  EXPECT_EQ(host.pumps, 10);
  EXPECT_EQ(GetEngineCounters().pumps, 10);

  host.pumps = 0;
  SetEnginePumpInterval(std::chrono::seconds{3600});
  RunSteps(f, 10 * kPassesPerPumpCheck);
  EXPECT_EQ(host.pumps, 0);
}

// Past the Lyapunov steps the passes go in batches; the host must still get control after every 256 passes, and
// right after a random restart, whichever pass of a batch the orbit escapes in.
TEST_F(RunFractalTest, PastTheLyapunovStepsTheHostIsPumpedAsBeforeEvenWhenABatchEndsInAnEscape) {
  TTestFractal f(400, 300);
  f.SetConstantMap(1, 1);
  f.v.af[1] = f.v.af[4] = 0.5;  // a contraction towards (2, 2)
  f.v.randomizer = 0;           // after the restart every coefficient is 0: the orbit stays at the origin
  constexpr std::int64_t kSwitchAt = 40 * kPassesPerPumpCheck, kSteps = kSwitchAt + 2000;
  std::vector<std::int64_t> atPump;  // main steps made at each pump
  std::int64_t restartedAt = -1;
  host.onPump = [&] {
    const TEngineCounters c = GetEngineCounters();
    atPump.push_back(c.mainSteps);
    if (c.restarts == 1 && restartedAt < 0) restartedAt = c.mainSteps;
    if (f.v.iterations == kSwitchAt && c.restarts == 0) {  // growth by 1 % a step, until |x| * |y| > 10000
      f.SetConstantMap(0, 0);
      f.v.af[1] = f.v.af[4] = 1.01;
    }
  };
  RunSteps(f, kSteps);
  ASSERT_EQ(GetEngineCounters().restarts, 1);
  // The premise: the escape came in the middle of a batch.
  ASSERT_GT(restartedAt, kSwitchAt);
  ASSERT_GE(restartedAt % kPassesPerPumpCheck, 8);
  ASSERT_LE(restartedAt % kPassesPerPumpCheck, kPassesPerPumpCheck - 8);
  std::vector<std::int64_t> expected;
  for (std::int64_t steps = kPassesPerPumpCheck; steps < restartedAt; steps += kPassesPerPumpCheck)
    expected.push_back(steps);
  for (std::int64_t steps = restartedAt; steps <= kSteps; steps += kPassesPerPumpCheck) expected.push_back(steps);
  EXPECT_EQ(atPump, expected);
  EXPECT_EQ(GetEngineCounters().mainSteps, kSteps);
}

TEST_F(RunFractalTest, ARunThatKeepsRestartingStillPumpsAfterEachRestart) {
  TTestFractal f(400, 300);
  f.v.randomizer = 0;
  f.SetConstantMap(200, 200);
  host.onParametersUpdate = [&] { f.SetConstantMap(200, 200); };
  RunSteps(f, 10);
  EXPECT_EQ(GetEngineCounters().restarts, 10);
  EXPECT_EQ(host.pumps, 10);
}

// ---- Nesting ----------------------------------------------------------------------------------------------------

TEST_F(RunFractalTest, ANestedRunTakesOverTheEngineAndItsEndEndsTheOuterRun) {
  TNestedRuns runs;
  RunNested(runs);
  const TTestFractal &outer = runs.outer, &inner = runs.inner;
  const std::int64_t outerAtNesting = runs.outerAtNesting;

  EXPECT_EQ(outerAtNesting, kPassesPerPumpCheck);
  EXPECT_EQ(outer.v.iterations, outerAtNesting);  // no step after the inner run ended
  EXPECT_FALSE(outer.v.abort);                    // the outer loop ended on the inner record's flag
  EXPECT_TRUE(inner.v.abort);
  EXPECT_EQ(inner.v.iterations, 3 * kPassesPerPumpCheck);
  EXPECT_EQ(EngineState().v, &inner.v);
  EXPECT_NE(inner.red[inner.Cell(30, 40)], 0);
  EXPECT_EQ(outer.red[outer.Cell(30, 40)], 0);
  EXPECT_EQ(outer.red[outer.Cell(10, 20)], kPassesPerPumpCheck * 2 * 2);
}

TEST_F(RunFractalTest, ANestedRunSharesTheBudget) {
  TTestFractal outer(400, 300), inner(400, 300);
  outer.SetConstantMap(10.2, 20.4);
  inner.SetConstantMap(30.2, 40.4);
  bool nested = false;
  host.onPump = [&] {
    if (nested) return;
    nested = true;
    inner.v.abort = false;
    RunFractal(&inner.v);
  };
  RunSteps(outer, 1000);
  EXPECT_EQ(GetEngineCounters().mainSteps, 1000);
  EXPECT_EQ(outer.v.iterations + inner.v.iterations, 1000);
  EXPECT_TRUE(inner.v.abort);
}

// ---- Random numbers ---------------------------------------------------------------------------------------------

TEST_F(RunFractalTest, ASeededRunWithRandomRestartsRepeatsExactly) {
  auto render = [&](std::uint64_t seed) {
    ResetEngineState();
    SeedEngineRandom(seed);
    TTestFractal f(160, 120);
    f.v.plotXMin = -2, f.v.plotXMax = 2, f.v.plotYMin = -2, f.v.plotYMax = 2;
    f.v.maps = 2;
    f.v.randomize = true;
    f.v.randomizer = 3;
    RunSteps(f, 30000);
    EXPECT_GT(GetEngineCounters().restarts, 0);  // the reseeds of the restarts are part of what repeats
    return std::make_pair(f.v.af, f.Pixels());
  };
  const auto first = render(42);
  const auto second = render(42);
  const auto other = render(43);
  EXPECT_EQ(first.first, second.first);
  EXPECT_EQ(first.second, second.second);
  EXPECT_NE(first.first, other.first);
  EXPECT_TRUE(DefaultRenderContext().Seeded());
}

TEST_F(RunFractalTest, ReseedingFromTheClockLeavesTheSeededStream) {
  SeedEngineRandom(5);
  const double seeded = DefaultRenderContext().Random();
  ReseedEngineRandomFromClock();
  EXPECT_FALSE(DefaultRenderContext().Seeded());
  const double a = DefaultRenderContext().Random();
  ReseedEngineRandomFromClock();
  const double b = DefaultRenderContext().Random();
  EXPECT_NE(a, b);
  EXPECT_NE(a, seeded);
  for (int i = 0; i < 1000; ++i) {
    const double r = DefaultRenderContext().Random();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

// ---- Floating-point faults --------------------------------------------------------------------------------------

// Draws for `atPump` pump intervals, then switches the record to `faulty` and expects the run to end with
// `message`, leaving picture and counts exactly as they were at the switch.
void ExpectFault(EngineTest& test, TScriptedHost& host, const std::function<void(TTestFractal&)>& faulty,
                 const std::string& message, int atPump = 1) {
  (void)test;
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  std::vector<std::uint8_t> pixels;
  THitList red, green, blue;
  host.pumps = 0;
  host.onPump = [&] {
    if (host.pumps != atPump) return;
    faulty(f);
    pixels = f.Pixels();
    red = f.red, green = f.green, blue = f.blue;
  };
  f.v.abort = false;
  try {
    RunFractal(&f.v);
    ADD_FAILURE() << "no fault";
  } catch (const EFloatingPointFault& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
  EXPECT_TRUE(f.v.abort);
  const std::int64_t steps = std::int64_t{atPump} * kPassesPerPumpCheck;
  EXPECT_EQ(f.v.iterations, steps);
  EXPECT_EQ(f.Pixels(), pixels);
  EXPECT_EQ(f.red, red);
  EXPECT_EQ(f.green, green);
  EXPECT_EQ(f.blue, blue);
  // Two red hits per formula step: the main steps, and the Lyapunov steps made while fewer than 10000 main steps were.
  EXPECT_EQ(f.red[f.Cell(10, 20)], 2 * steps + 2 * std::min<std::int64_t>(steps, 9999));
}

TEST_F(RunFractalTest, SphericalAtTheOriginIsAnInvalidOperation) {
  ExpectFault(*this, host, [](TTestFractal& f) {
    f.SetConstantMap(0, 0);
    f.v.none = false;
    f.v.spherical = true;
  }, kFaultInvalidOperation);
  EXPECT_EQ(std::string(kFaultInvalidOperation), "Invalid floating point operation");
}

TEST_F(RunFractalTest, PolarOnTheXAxisIsADivisionByZero) {
  ExpectFault(*this, host, [](TTestFractal& f) {
    f.SetConstantMap(1, 0);
    f.v.polar = true;
  }, kFaultDivisionByZero);
  EXPECT_EQ(std::string(kFaultDivisionByZero), "Floating point division by zero");
}

TEST_F(RunFractalTest, AnOverflowingPointIsAnOverflow) {
  ExpectFault(*this, host, [](TTestFractal& f) {
    f.SetConstantMap(1.7e308, 1.7e308);
    f.v.linear = true;
    f.v.probability = 1;
  }, kFaultOverflow);
  EXPECT_EQ(std::string(kFaultOverflow), "Floating point overflow");
}

TEST_F(RunFractalTest, ANaNCoefficientEndsTheRunInsteadOfSpinningSilently) {
  ExpectFault(*this, host, [](TTestFractal& f) {
    f.v.af[5] = std::numeric_limits<double>::quiet_NaN();
  }, kFaultInvalidOperation);
}

TEST_F(RunFractalTest, AViewOfZeroWidthIsADivisionByZero) {
  ExpectFault(*this, host, [](TTestFractal& f) { f.v.plotXMax = f.v.plotXMin; }, kFaultDivisionByZero);
}

// Past the Lyapunov steps the loop looks at the flags once per batch of passes; a fault must still end the run with
// its own message and nothing of the faulting step drawn. IFS0101 + None has a loop of its own, so each fault comes
// once with it and once through the general formula stage.
TEST_F(RunFractalTest, FaultsPastTheLyapunovStepsEndTheRunAsBefore) {
  constexpr int kAtPump = 40;  // 10240 main steps
  static_assert(kAtPump * kPassesPerPumpCheck > 10000);
  for (const bool general : {false, true}) {
    SCOPED_TRACE(general ? "general formula stage" : "IFS0101 + None");
    // Linear with probability 0 adds nothing to a finite point but takes the general path.
    auto maybeGeneral = [general](TTestFractal& f) {
      f.v.linear = general;
      f.v.probability = 0;
    };
    ExpectFault(*this, host, [&](TTestFractal& f) {
      maybeGeneral(f);
      f.v.af[5] = std::numeric_limits<double>::quiet_NaN();  // a NaN point without any flag
    }, kFaultInvalidOperation, kAtPump);
    ExpectFault(*this, host, [&](TTestFractal& f) {
      maybeGeneral(f);
      f.v.plotXMax = f.v.plotXMin;
    }, kFaultDivisionByZero, kAtPump);
  }
  ExpectFault(*this, host, [](TTestFractal& f) {
    f.SetConstantMap(1, 0);
    f.v.polar = true;
  }, kFaultDivisionByZero, kAtPump);
}

// Past the Lyapunov steps the orbit is switched to maps that grow by about a tenth a step until it overflows, in the
// middle of a batch: the run must end with the overflow and leave exactly what a run stopped by the step budget just
// before the faulting step leaves -- every earlier step of that batch drawn, random map choices and all.
TEST_F(RunFractalTest, AFaultInTheMiddleOfABatchLeavesExactlyTheStepsBeforeIt) {
  struct TResult {
    std::string message;
    std::int64_t iterations = 0, mainSteps = 0, restarts = 0;
    double plotX = 0, plotY = 0;
    std::vector<std::uint8_t> pixels;
    THitList red, green, blue;
  };
  constexpr std::int64_t kSwitchAt = 40 * kPassesPerPumpCheck;
  auto run = [&](bool general, std::int64_t budget) {
    ResetEngineState();
    SeedEngineRandom(7);
    TTestFractal f(400, 300);
    // x stays 0 (column 1) and the view of y reaches up to 1e308: every point lands in row 0, in its map's colour,
    // until the last few dozen before the overflow, which each light a row of their own.
    f.v.plotXMin = -1, f.v.plotXMax = 399;
    f.v.plotYMin = -1, f.v.plotYMax = 1e308;
    f.v.maps = 2;
    f.v.intensity = 100;  // a single point lights its pixel
    const int offsets[3] = {0, 19, 39};
    auto setMaps = [&](const double (&factor)[3], const double (&shift)[3]) {
      for (int m = 0; m < 3; ++m) {
        f.SetConstantMap(0, shift[m], offsets[m]);
        f.v.af[offsets[m] + 4] = factor[m];
      }
    };
    setMaps({0.5, 0.5, 0.5}, {0.1, 0.2, 0.3});
    host.onPump = [&] {
      if (f.v.iterations == kSwitchAt) setMaps({1.09, 1.1, 1.11}, {0, 0, 0});
    };
    f.v.linear = general;  // with probability 0: nothing added, but the general path
    f.v.probability = 0;
    TResult r;
    try {
      RunSteps(f, budget);
    } catch (const EFloatingPointFault& e) {
      r.message = e.what();
    }
    host.onPump = nullptr;
    r.iterations = f.v.iterations;
    r.mainSteps = GetEngineCounters().mainSteps;
    r.restarts = GetEngineCounters().restarts;
    r.plotX = f.v.plotX;
    r.plotY = f.v.plotY;
    r.pixels = f.Pixels();
    r.red = f.red, r.green = f.green, r.blue = f.blue;
    return r;
  };
  for (const bool general : {false, true}) {
    SCOPED_TRACE(general ? "general formula stage" : "IFS0101 + None");
    const TResult faulted = run(general, 100000);
    ASSERT_EQ(faulted.message, kFaultOverflow);
    ASSERT_EQ(faulted.restarts, 0);
    const std::int64_t before = faulted.iterations;  // main steps made before the faulting one
    EXPECT_EQ(faulted.mainSteps, before);
    // The premise: past the switch, well inside a batch of passes.
    ASSERT_GT(before, kSwitchAt);
    const std::int64_t intoBatch = before % kPassesPerPumpCheck;
    ASSERT_GE(intoBatch, 8);
    ASSERT_LE(intoBatch, kPassesPerPumpCheck - 8);

    const TResult stopped = run(general, before);
    EXPECT_EQ(stopped.message, "");
    EXPECT_EQ(stopped.iterations, before);
    EXPECT_EQ(faulted.plotX, stopped.plotX);
    EXPECT_EQ(faulted.plotY, stopped.plotY);
    EXPECT_TRUE(faulted.pixels == stopped.pixels);
    EXPECT_TRUE(faulted.red == stopped.red);
    EXPECT_TRUE(faulted.green == stopped.green);
    EXPECT_TRUE(faulted.blue == stopped.blue);
    // The steps of the faulting batch before the fault did draw: without them the picture is another.
    const TResult batchStart = run(general, before - intoBatch);
    EXPECT_FALSE(batchStart.pixels == stopped.pixels);
    EXPECT_FALSE(batchStart.red == stopped.red && batchStart.green == stopped.green && batchStart.blue == stopped.blue);
  }
}

TEST_F(RunFractalTest, FlagsRaisedByTheHostAreNotBlamedOnTheFormula) {
  TTestFractal f(400, 300);
  f.SetConstantMap(10.2, 20.4);
  volatile double zero = 0;
  volatile double sink = 0;
  host.onPump = [&] { sink = 1.0 / zero + std::sqrt(-1.0 - zero); };
  host.onParametersUpdate = host.onPump;
  f.v.randomize = true;
  f.v.randomizer = 0;
  EXPECT_NO_THROW(RunSteps(f, 5 * kPassesPerPumpCheck));
  EXPECT_EQ(host.pumps, 5);
  EXPECT_TRUE(std::isinf(sink) || std::isnan(sink));
}

TEST_F(RunFractalTest, AFaultInANestedRunEndsTheOuterRunQuietly) {
  TTestFractal outer(400, 300), inner(400, 300);
  outer.SetConstantMap(10.2, 20.4);
  inner.SetConstantMap(1, 0);
  inner.v.polar = true;
  std::string reported;
  host.onPump = [&] {
    if (!reported.empty()) return;
    try {  // the GUI's command guard
      inner.v.abort = false;
      RunFractal(&inner.v);
    } catch (const EFloatingPointFault& e) {
      reported = e.what();
    }
  };
  outer.v.abort = false;
  EXPECT_NO_THROW(RunFractal(&outer.v));
  EXPECT_EQ(reported, kFaultDivisionByZero);
  EXPECT_EQ(outer.v.iterations, kPassesPerPumpCheck);
}

}  // namespace

// Between two calls into the host the engine paints in batches: a batch is painted at once when its list of
// touched cells is full. An orbit over far more cells than one batch holds must still leave every cell painted
// from its final counts, the cell that filled the batch included.
TEST_F(RunFractalTest, AnOrbitOverMoreCellsThanOnePaintBatchLeavesEveryCellPaintedFromItsFinalCounts) {
  SetEnginePumpInterval(std::chrono::hours{1});  // no host call during the run: only full batches paint
  TTestFractal f(1024, 1024);
  f.v.plotXMax = f.v.plotYMax = 1;  // the unit square, well inside the escape bound
  f.v.maps = 3;
  // Three overlapping contractions by 0.6: their attractor covers an area of the picture, not a thin dust.
  const double shift[3][2] = {{0, 0}, {0.4, 0}, {0.2, 0.4}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m) {
    double* a = f.v.af.data() + offsets[m];
    a[1] = 0.6, a[2] = 0, a[3] = 0, a[4] = 0.6, a[5] = shift[m][0], a[6] = shift[m][1];
  }
  f.v.intensity = 20;  // mid-range colours, far from black and from saturation, so a stale colour shows
  RunSteps(f, 3'000'000);
  ASSERT_GT(f.NonZeroCells(), 4 * 65536);

  std::int64_t wrong = 0;
  for (int ix = 0; ix < 1024; ++ix) {
    for (int iy = 0; iy < 1024; ++iy) {
      const std::size_t cell = f.Cell(ix, iy);
      const TColor pixel = f.image.GetPixel(ix, iy);
      if ((f.red[cell] | f.green[cell] | f.blue[cell]) == 0) {
        wrong += pixel != 0;
        continue;
      }
      bool matches = false;
      for (THitChannel channel : {THitChannel::Red, THitChannel::Green, THitChannel::Blue})
        matches = matches || pixel == HitColor(f.v, f.red[cell], f.green[cell], f.blue[cell], channel);
      wrong += !matches;
    }
  }
  EXPECT_EQ(wrong, 0);
  std::int64_t coloured = 0;
  for (int ix = 0; ix < 1024; ++ix)
    for (int iy = 0; iy < 1024; ++iy) coloured += f.image.GetPixel(ix, iy) != 0;
  EXPECT_GT(coloured, 4 * 65536);  // the colours are not all black, or a stale one could not show
}
