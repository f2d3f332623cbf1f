// Parallel orbits: one orbit is RunFractal's run, the thread count never shows in the result, the step budget is
// split exactly, and what an escape, a fault or a restart does in an orbit other than the first.
#include "engine/orbits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "golden_hash.h"

namespace {

using OrbitsTest = EngineTest;

// Everything a run leaves behind that a caller can see.
struct TOutcome {
  std::vector<std::uint8_t> pixels;
  THitList red, green, blue;
  TCoefficients af{}, af2{};
  std::int64_t iterations = 0;
  double lyapunov = 0;
  double x = 0, y = 0;
  std::int32_t j = 0;
  std::int64_t mainSteps = 0, restarts = 0;
  std::string fault;
  std::uint64_t pictureHash = 0, countsHash = 0;  // of pixels and counts above, as the golden renders hash them

  // Doubles by their bits: a fault leaves NaNs behind.
  bool operator==(const TOutcome& o) const {
    return pixels == o.pixels && red == o.red && green == o.green && blue == o.blue && Same(af, o.af) &&
           Same(af2, o.af2) && iterations == o.iterations && Same(lyapunov, o.lyapunov) && Same(x, o.x) &&
           Same(y, o.y) && j == o.j && mainSteps == o.mainSteps && restarts == o.restarts && fault == o.fault;
  }
  template <class T>
  static bool Same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
  }
};

std::ostream& operator<<(std::ostream& out, const TOutcome& o) {
  return out << o.mainSteps << " steps, " << o.restarts << " restarts, orbit 0 at " << o.iterations
             << " iterations, fault '" << o.fault << "'";
}

struct TCase {
  const char* name;
  void (*setup)(TFractalParams&);
  std::uint64_t seed;
  double scale;
};

// Rand's coefficients from a seed over a 64 x 48 picture, as the golden renders make them; the wild case restarts
// again and again, the saturated one takes every count to its limit within a few hits.
const TCase kCases[] = {
    {"Ifs0101None", [](TFractalParams& v) { v.ifs01 = v.ifs0101 = true; v.none = true; v.maps = 3; }, 1, 2},
    {"Ifs0104Swirl", [](TFractalParams& v) { v.ifs01 = v.ifs0104 = true; v.none = v.swirl = true; v.maps = 1; }, 1, 2},
    {"Cif01LinearHorseshoe",
     [](TFractalParams& v) { v.cif01 = true; v.none = v.linear = v.horseshoe = true; v.probability = 0.5; }, 2, 2},
    {"Latoocarfian01And02",
     [](TFractalParams& v) { v.latoocarfian01 = v.latoocarfian02 = true; v.none = true; v.intensity = 64; }, 1, 2},
    {"Mira0101", [](TFractalParams& v) { v.mira01 = v.mira0101 = true; v.none = true; }, 1, 5},
    {"WildIfs0104", [](TFractalParams& v) { v.ifs01 = v.ifs0104 = true; v.none = true; v.randomizer = 50; }, 3, 2},
    {"Saturated", [](TFractalParams& v) { v.ifs01 = v.ifs0101 = true; v.none = true; v.intensity = 1e9; }, 1, 2},
};

TOutcome Render(const TCase& c, std::int64_t steps, const std::function<void(TFractalParams*)>& run) {
  ResetEngineState();
  SeedEngineRandom(c.seed);
  TTestFractal f(64, 48);
  f.v.plotXMin = -c.scale;
  f.v.plotXMax = c.scale;
  f.v.plotYMin = -0.75 * c.scale;
  f.v.plotYMax = 0.75 * c.scale;
  f.v.ifs01 = f.v.ifs0101 = f.v.none = false;
  f.v.red = 0.7, f.v.green = 0.8, f.v.blue = 0.9;
  f.v.intensity = 20;
  f.v.probability = 0.1;
  f.v.maps = 2;
  f.v.randomize = true;
  f.v.randomizer = 2;
  c.setup(f.v);
  SetEngineStepBudget(steps);
  f.v.abort = false;
  TOutcome o;
  try {
    run(&f.v);
  } catch (const EFloatingPointFault& fault) {
    o.fault = fault.what();
  }
  o.pixels = f.Pixels();
  o.pictureHash = PictureHash(f.image);
  o.countsHash = CountsHash(f);
  o.red = f.red;
  o.green = f.green;
  o.blue = f.blue;
  o.af = f.v.af;
  o.af2 = f.v.af2;
  o.iterations = f.v.iterations;
  o.lyapunov = f.v.lyapunov;
  o.x = EngineState().x;
  o.y = EngineState().y;
  o.j = EngineState().j;
  o.mainSteps = GetEngineCounters().mainSteps;
  o.restarts = GetEngineCounters().restarts;
  return o;
}

std::function<void(TFractalParams*)> Orbits(int orbits, int threads) {
  return [=](TFractalParams* v) { RunFractalOrbits(v, orbits, threads); };
}

// Over two round boundaries: the first 10000 steps, one full round and part of another.
constexpr std::int64_t kSteps = 300000;

TEST_F(OrbitsTest, OneOrbitIsRunFractalsRunToTheLastCountAndBit) {
  for (const TCase& c : kCases) {
    const TOutcome single = Render(c, kSteps, RunFractal);
    const TOutcome one = Render(c, kSteps, Orbits(1, 1));
    EXPECT_EQ(single, one) << c.name << ": " << single << " against " << one;
    EXPECT_EQ(one.mainSteps, kSteps) << c.name;
  }
  // The wild case must really restart, or the equality above says nothing about restarts.
  EXPECT_GT(Render(kCases[5], kSteps, RunFractal).restarts, 10);
}

TEST_F(OrbitsTest, OneOrbitFaultsWhereRunFractalFaultsAndKeepsTheSameCounts) {
  const TCase faulty = {"SphericalAtTheOrigin",
                        [](TFractalParams& v) {
                          // The first group draws towards (0.5, 0.5); the second, one step in 13, sends the point
                          // to the origin, where Spherical divides 0 by 0.
                          v.randomize = false;
                          v.ifs01 = v.ifs0101 = true;
                          v.af[1] = v.af[4] = 0.5;
                          v.af[5] = v.af[6] = 0.25;
                          v.none = v.spherical = true;
                          v.maps = 1;
                        },
                        1, 2};
  const TOutcome single = Render(faulty, kSteps, RunFractal);
  ASSERT_EQ(single.fault, kFaultInvalidOperation);
  ASSERT_GT(single.mainSteps, 1);
  EXPECT_EQ(single, Render(faulty, kSteps, Orbits(1, 1)));
}

TEST_F(OrbitsTest, TheThreadCountNeverChangesTheResult) {
  // The first 10000 steps, one full round of eight orbits and part of the next.
  const std::int64_t steps = 10000 + OrbitRoundSteps(8) * 8 + 50001;
  for (const TCase& c : kCases) {
    if (std::string(c.name) == "Mira0101") continue;  // one orbit: see below
    const TOutcome one = Render(c, steps, Orbits(8, 1));
    EXPECT_EQ(one.mainSteps, steps) << c.name;
    for (const int threads : {2, 8}) {
      const TOutcome many = Render(c, steps, Orbits(8, threads));
      EXPECT_EQ(one, many) << c.name << " on " << threads << " threads: " << one << " against " << many;
    }
  }
}

// Eight orbits' pictures and counts, pinned. The threads apply a round's hits in no set order; these say that the
// counts, their saturation and each cell's colour (which its last hit leads) come out as when the hits are applied
// one by one in the order of their positions.
TEST_F(OrbitsTest, EightOrbitsDrawThePinnedPictures) {
  const std::int64_t steps = 10000 + OrbitRoundSteps(8) * 8 + 50001;
  const struct {
    const char* name;
    std::uint64_t pictureHash, countsHash;
  } kPins[] = {
      {"Ifs0101None", 0xa88c20a3b46e6a07ull, 0xfdd3e6419ae0a95cull},
      {"Ifs0104Swirl", 0xd664501c55cbd16bull, 0xf8c8f5bccd2fc020ull},
      {"Cif01LinearHorseshoe", 0x01c80bc698aea0c2ull, 0x27f311aba00631acull},
      {"Latoocarfian01And02", 0xd9cb36cb32a4f6d2ull, 0xd42e452dd60db4d8ull},
      {"WildIfs0104", 0xf3fb6a6deb5af325ull, 0x68c00ea49d512325ull},
      {"Saturated", 0xbb6012287bd8ce1bull, 0x73bd1383baa8a619ull},
  };
  for (const auto& pin : kPins) {
    const TCase* c = std::find_if(std::begin(kCases), std::end(kCases),
                                  [&](const TCase& k) { return std::string(k.name) == pin.name; });
    ASSERT_NE(c, std::end(kCases)) << pin.name;
    const TOutcome o = Render(*c, steps, Orbits(8, 2));
    EXPECT_EQ(Hex(o.pictureHash), Hex(pin.pictureHash)) << pin.name;
    EXPECT_EQ(Hex(o.countsHash), Hex(pin.countsHash)) << pin.name;
  }
}

// The same over one round cut short by the budget: light enough for the ThreadSanitizer build, where it is the run
// that shares a round, its merge and its painting among threads.
TEST_F(OrbitsTest, AShortRoundSharedAmongThreadsGivesTheSameResult) {
  const std::int64_t steps = 10000 + 40000;
  for (const TCase& c : {kCases[0], kCases[1], kCases[6]}) {
    const TOutcome one = Render(c, steps, Orbits(8, 1));
    for (const int threads : {2, 8}) {
      EXPECT_EQ(one, Render(c, steps, Orbits(8, threads))) << c.name << " on " << threads << " threads";
    }
  }
}

TEST_F(OrbitsTest, MoreOrbitsDrawMoreOfTheAttractorThanOne) {
  const TCase& c = kCases[0];
  const TOutcome one = Render(c, 2 * kSteps, Orbits(1, 1));
  const TOutcome eight = Render(c, 2 * kSteps, Orbits(8, 2));
  EXPECT_EQ(one.af, eight.af) << "the same coefficient set";
  EXPECT_NE(one.red, eight.red);
  EXPECT_EQ(one.mainSteps, eight.mainSteps);
  EXPECT_LT(eight.iterations, one.iterations) << "orbit 0 made only its share";
}

// Orbit 0 makes the first 10000 steps alone; then each round of Q steps gives orbit k Q / K steps, plus one when
// k < Q % K.
TEST_F(OrbitsTest, TheStepBudgetIsSplitExactly) {
  const TCase& c = kCases[0];
  for (const int orbits : {2, 3, 8}) {
    const std::int64_t round = OrbitRoundSteps(orbits) * orbits;
    for (const std::int64_t steps : {std::int64_t{1}, std::int64_t{10000}, std::int64_t{10001},
                                     std::int64_t{10000 + 5 * orbits + 1}, 10000 + round + 2 * orbits - 1}) {
      const TOutcome o = Render(c, steps, Orbits(orbits, 2));
      EXPECT_EQ(o.mainSteps, steps) << orbits << " orbits, " << steps << " steps";
      ASSERT_EQ(o.restarts, 0);
      std::int64_t first = std::min<std::int64_t>(steps, 10000);
      for (std::int64_t left = steps - first; left > 0;) {
        const std::int64_t q = std::min(left, round);
        first += q / orbits + (q % orbits > 0 ? 1 : 0);
        left -= q;
      }
      EXPECT_EQ(o.iterations, first) << orbits << " orbits, " << steps << " steps";
    }
  }
  const TOutcome wild = Render(kCases[5], 2 * kSteps, Orbits(8, 2));
  EXPECT_EQ(wild.mainSteps, 2 * kSteps);
  EXPECT_GT(wild.restarts, 10);
}

TEST_F(OrbitsTest, MapsZeroOrAFormulaThatIgnoresTheMapChoiceRunsOneOrbit) {
  TFractalParams v;
  v.ifs01 = v.ifs0101 = true;
  v.maps = 2;
  EXPECT_EQ(PlanOrbits(v, 8, 4).orbits, 8);
  EXPECT_EQ(PlanOrbits(v, 8, 4).threads, 4);
  EXPECT_EQ(PlanOrbits(v, 3, 16).threads, 3) << "never more threads than orbits";
  EXPECT_EQ(PlanOrbits(v, 0, 0).orbits, 1);
  EXPECT_EQ(PlanOrbits(v, 100000, 1).orbits, kMaxOrbits);
  v.maps = 0;
  EXPECT_EQ(PlanOrbits(v, 8, 4).orbits, 1);
  EXPECT_EQ(PlanOrbits(v, 8, 4).threads, 1);
  TFractalParams mira;
  mira.mira01 = mira.mira0101 = true;
  mira.maps = 2;
  EXPECT_EQ(PlanOrbits(mira, 8, 4).orbits, 1) << "the map choice only colours its fourth hit";
  mira.sinusoidal = true;
  EXPECT_EQ(PlanOrbits(mira, 8, 4).orbits, 8);

  TCase oneGroup = kCases[0];
  oneGroup.setup = [](TFractalParams& v) { v.ifs01 = v.ifs0101 = true; v.none = true; v.maps = 0; };
  EXPECT_EQ(Render(oneGroup, kSteps, RunFractal), Render(oneGroup, kSteps, Orbits(8, 8)));
  EXPECT_EQ(Render(kCases[4], kSteps, RunFractal), Render(kCases[4], kSteps, Orbits(8, 8)));
}

// A fixture for the other orbits' fate: Sierpinski-free hand-made maps over a 1:1 view of (-4, 4).
class OtherOrbitsTest : public OrbitsTest {
 protected:
  OtherOrbitsTest() : f(80, 80) {
    f.v.plotXMin = f.v.plotYMin = -4;
    f.v.plotXMax = f.v.plotYMax = 4;
    f.v.maps = 2;
  }
  // The same map in all three groups: x' = a1 x + a2 y + a5, y' = a3 x + a4 y + a6.
  void SetMap(double a1, double a2, double a3, double a4, double a5, double a6) {
    for (const int j : {0, 19, 39}) {
      f.v.af[j + 1] = a1;
      f.v.af[j + 2] = a2;
      f.v.af[j + 3] = a3;
      f.v.af[j + 4] = a4;
      f.v.af[j + 5] = a5;
      f.v.af[j + 6] = a6;
    }
  }
  std::int64_t TotalCount() const {
    std::int64_t sum = 0;
    for (const THitList* list : {&f.red, &f.green, &f.blue}) sum = std::accumulate(list->begin(), list->end(), sum);
    return sum;
  }

  TTestFractal f;
};

// Orbit 0 sits on the fixed point (2, 1) when the others join; then x' = x, y' = x - y takes it nowhere, while
// a joining orbit's start point (0.0001, 0.0001) goes to y = 0, where Horseshoe divides by zero (with weight 0,
// so only the flag tells). Orbit 1 faults at its first step, position 1 of the round: only position 0, orbit 0's
// first step, is kept.
TEST_F(OtherOrbitsTest, AFaultInAnotherOrbitEndsTheRunWithWhatCameBeforeItsPosition) {
  for (const int threads : {1, 2, 4}) {
    ResetEngineState();
    SetMap(0.5, 0, 0, 0.5, 1, 0.5);
    f.v.none = f.v.horseshoe = true;
    f.v.probability = 0;
    std::int64_t countsAtSwitch = -1;
    host.onPump = [&] {
      if (countsAtSwitch >= 0 || f.v.iterations < 10000) return;
      EXPECT_EQ(EngineState().x, 2);
      EXPECT_EQ(EngineState().y, 1);
      countsAtSwitch = TotalCount();
      SetMap(1, 0, 1, -1, 0, 0);
    };
    SetEngineStepBudget(10000 + 1000);
    f.v.abort = false;
    try {
      RunFractalOrbits(&f.v, 4, threads);
      ADD_FAILURE() << "no fault";
    } catch (const EFloatingPointFault& fault) {
      EXPECT_STREQ(fault.what(), kFaultDivisionByZero);
    }
    EXPECT_TRUE(f.v.abort);
    EXPECT_EQ(GetEngineCounters().restarts, 0);
    // One point of orbit 0, four hits of weight 1 at (2, 1); its other 249 steps of the round and the other
    // orbits' come after the fault.
    EXPECT_EQ(TotalCount() - countsAtSwitch, 4) << threads << " threads";
    EXPECT_EQ(GetEngineCounters().mainSteps, 10000 + 1) << "the steps after the fault are undone";
    EXPECT_NE(f.image.GetPixel(60, 50), 0u) << "(2, 1) is painted";
  }
}

// x' = x / 2 with Spherical (weight 1) draws every point towards the circle of radius 2; orbit 0 is at (2, 2) when
// the others join. A joining orbit's start point (0.0001, 0.0001) is thrown out to (10000, 10000) and escapes, again
// and again. Only its own point starts over: no restart, no new coefficients, and only orbit 0's points are added to
// the picture (an orbit that kept its far point would come back into view).
TEST_F(OtherOrbitsTest, AnotherOrbitThatEscapesStartsItsOwnPointOverAndKeepsTheCoefficients) {
  SetMap(0.5, 0, 0, 0.5, 1, 1);
  f.v.none = true;
  f.v.probability = 1;
  std::int64_t countsAtSwitch = -1;
  host.onPump = [&] {
    if (f.v.iterations < 10000 || f.v.spherical) return;
    countsAtSwitch = TotalCount();
    SetMap(0.5, 0, 0, 0.5, 0, 0);
    f.v.spherical = true;
  };
  SetEngineStepBudget(10000 + 3 * OrbitRoundSteps(8) * 8);
  f.v.abort = false;
  RunFractalOrbits(&f.v, 8, 2);
  EXPECT_EQ(GetEngineCounters().restarts, 0);
  EXPECT_EQ(GetEngineCounters().mainSteps, 10000 + 3 * OrbitRoundSteps(8) * 8);
  EXPECT_EQ(f.v.af[1], 0.5);
  EXPECT_EQ(f.v.af[5], 0.0);
  EXPECT_EQ(f.v.iterations, 10000 + 3 * OrbitRoundSteps(8)) << "orbit 0 made its whole share";
  ASSERT_GE(countsAtSwitch, 0);
  EXPECT_EQ(TotalCount() - countsAtSwitch, 3 * OrbitRoundSteps(8) * 4) << "four hits of weight 1 per point of orbit 0";
  EXPECT_NE(f.red[f.Cell(54, 54)], 0) << "(sqrt 2, sqrt 2)";
}

// After the others have joined, every point is sent to (200, 200): orbit 0 escapes, its restart throws the round
// away and draws new coefficients (all 0 with randomizer 0), and orbit 0 starts over alone on a cleared picture.
TEST_F(OtherOrbitsTest, ARestartOfTheFirstOrbitClearsThePictureAndSendsTheOthersAway) {
  SetMap(0.5, 0, 0, 0.5, 1, 1);
  f.v.none = true;
  f.v.randomizer = 0;
  int updates = 0;
  host.onParametersUpdate = [&] { ++updates; };
  host.onPump = [&] {
    if (f.v.iterations > 10000 && f.v.af[5] == 1) SetMap(0, 0, 0, 0, 200, 200);
  };
  SetEngineStepBudget(10000 + 2 * OrbitRoundSteps(4) * 4 + 500);
  f.v.abort = false;
  RunFractalOrbits(&f.v, 4, 4);
  EXPECT_EQ(GetEngineCounters().restarts, 1);
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(f.v.af[5], 0.0) << "Rand's coefficients";
  EXPECT_TRUE(f.v.abort);
  EXPECT_EQ(GetEngineCounters().mainSteps, 10000 + 2 * OrbitRoundSteps(4) * 4 + 500);
  // Only the new coefficients' points: everything maps to (0, 0) (the Lyapunov neighbour too).
  EXPECT_EQ(TotalCount(), f.red[f.Cell(40, 40)] + f.green[f.Cell(40, 40)] + f.blue[f.Cell(40, 40)]);
  EXPECT_GT(TotalCount(), 0);
}

// A render stopped by its budget and continued is the render that never stopped, wherever the cut falls: in orbit 0's
// first steps, where the others join, inside a round, on a round's end, and across random restarts.
TEST_F(OrbitsTest, ARunContinuedEndsExactlyAsOneLongRun) {
  struct TRun {
    TTestFractal f{64, 48};
    TLeadList lead;
    TOrbitsLeft left;
    explicit TRun(const TCase& c) {
      ResetEngineState();
      SeedEngineRandom(c.seed);
      lead.assign(f.red.size(), 0);
      f.v.leadList = &lead;
      f.v.plotXMin = -c.scale;
      f.v.plotXMax = c.scale;
      f.v.plotYMin = -0.75 * c.scale;
      f.v.plotYMax = 0.75 * c.scale;
      f.v.ifs01 = f.v.ifs0101 = f.v.none = false;
      f.v.red = 0.7, f.v.green = 0.8, f.v.blue = 0.9;
      f.v.intensity = 20;
      f.v.probability = 0.1;
      f.v.maps = 2;
      f.v.randomize = true;
      f.v.randomizer = 2;
      c.setup(f.v);
    }
    void Steps(std::int64_t steps, bool first, int threads) {
      SetEngineStepBudget(steps);
      f.v.abort = false;
      if (first)
        RunFractalOrbits(&f.v, 5, threads, &left);
      else
        ContinueFractalOrbits(&f.v, left, threads);
    }
  };
  const auto same = [](const TRun& a, const TRun& b) {
    const auto& x = a.left.others;
    const auto& y = b.left.others;
    bool orbits = x.size() == y.size() && a.left.roundDone == b.left.roundDone && a.left.joined == b.left.joined;
    for (std::size_t k = 0; orbits && k < x.size(); ++k)
      orbits = x[k].iterations == y[k].iterations &&
               std::memcmp(x[k].state.random.s, y[k].state.random.s, sizeof x[k].state.random.s) == 0 &&
               x[k].state.x == y[k].state.x && x[k].state.mainSteps == y[k].state.mainSteps;
    return orbits && a.f.Pixels() == b.f.Pixels() && a.f.red == b.f.red && a.f.green == b.f.green &&
           a.f.blue == b.f.blue && a.lead == b.lead && a.f.v.iterations == b.f.v.iterations;
  };
  const std::int64_t round = OrbitRoundSteps(5) * 5;
  const std::int64_t total = 10000 + round + 777;
  for (const TCase& c : {kCases[0], kCases[5]}) {
    TRun whole(c);
    whole.Steps(total, true, 2);
    const TEngineState wholeState = EngineState();
    for (const std::int64_t cut : {std::int64_t{5000}, std::int64_t{10000}, 10000 + round / 3 + 1, 10000 + round,
                                   10000 + round + 4, total - 1}) {
      TRun split(c);
      split.Steps(cut, true, 1);
      split.Steps(total - cut, false, 3);
      EXPECT_TRUE(same(whole, split)) << c.name << " cut at " << cut;
      EXPECT_EQ(EngineState().x, wholeState.x) << c.name << " cut at " << cut;
      EXPECT_EQ(EngineState().mainSteps, total) << "the counter counts both runs' steps";
    }
  }
}

TEST_F(OrbitsTest, OrbitsThatCannotBeOneRunAreRefused) {
  TTestFractal f(64, 48);
  f.v.maps = 2;
  TOrbitsLeft left;
  SetEngineStepBudget(10000 + 22);
  f.v.abort = false;
  RunFractalOrbits(&f.v, 4, 2, &left);
  ASSERT_EQ(left.others.size(), 3u);
  EXPECT_EQ(left.roundDone, 22);
  EXPECT_TRUE(left.joined);
  EXPECT_EQ(OrbitStepsOfRound(left.roundDone, 1, 4), 6);
  EXPECT_EQ(OrbitStepsOfRound(left.roundDone, 2, 4), 5);
  for (const std::int64_t wrong : {std::int64_t{-1}, OrbitRoundSteps(4) * 4}) {
    TOrbitsLeft bad = left;
    bad.roundDone = wrong;
    SetEngineStepBudget(100);
    f.v.abort = false;
    EXPECT_THROW(ContinueFractalOrbits(&f.v, bad, 2), std::invalid_argument) << wrong;
  }
  TOrbitsLeft early = left;
  f.v.iterations = 9999;  // an unfinished round before orbit 0's first 10000 steps
  SetEngineStepBudget(100);
  f.v.abort = false;
  EXPECT_THROW(ContinueFractalOrbits(&f.v, early, 2), std::invalid_argument);
}

TEST_F(OrbitsTest, NestedRunsInsideAParallelRunEndItAndLeaveItsWorkersAlone) {
  for (const bool nestedParallel : {false, true}) {
    ResetEngineState();
    TTestFractal outer(64, 48), inner(64, 48);
    outer.SetConstantMap(10.2, 20.4);
    outer.v.maps = 2;
    inner.SetConstantMap(30.2, 40.4);
    inner.v.maps = 2;
    bool nested = false;
    int innerPumps = 0;
    host.onPump = [&] {
      if (!nested) {
        nested = true;
        inner.v.abort = false;
        if (nestedParallel) {
          RunFractalOrbits(&inner.v, 4, 2);
        } else {
          RunFractal(&inner.v);
        }
        return;
      }
      if (++innerPumps == 3) inner.v.abort = true;
    };
    outer.v.abort = false;
    RunFractalOrbits(&outer.v, 4, 2);
    EXPECT_FALSE(outer.v.abort) << "the outer run ended on the inner record's flag";
    EXPECT_TRUE(inner.v.abort);
    EXPECT_EQ(EngineState().v, &inner.v);
    EXPECT_NE(inner.red[inner.Cell(30, 40)], 0);
    EXPECT_EQ(outer.red[outer.Cell(30, 40)], 0);
    EXPECT_NE(outer.red[outer.Cell(10, 20)], 0);
  }
}

TEST_F(OrbitsTest, AParallelRunSharesTheBudgetWithANestedOne) {
  TTestFractal outer(64, 48), inner(64, 48);
  outer.SetConstantMap(10.2, 20.4);
  inner.SetConstantMap(30.2, 40.4);
  bool nested = false;
  host.onPump = [&] {
    if (nested) return;
    nested = true;
    inner.v.abort = false;
    RunFractalOrbits(&inner.v, 8, 2);
  };
  SetEngineStepBudget(50000);
  outer.v.abort = false;
  RunFractalOrbits(&outer.v, 8, 2);
  EXPECT_EQ(GetEngineCounters().mainSteps, 50000);
  EXPECT_TRUE(inner.v.abort);
}

TEST_F(OrbitsTest, TheHostIsCalledOnTheCallingThreadOnly) {
  TTestFractal f(64, 48);
  f.v.maps = 2;
  f.SetConstantMap(1.5, 2.5);
  const std::thread::id caller = std::this_thread::get_id();
  int elsewhere = 0;
  host.onPump = [&] { elsewhere += std::this_thread::get_id() != caller; };
  host.onParametersUpdate = host.onPump;
  f.v.randomize = true;
  f.v.randomizer = 0;
  SetEngineStepBudget(100000);
  f.v.abort = false;
  RunFractalOrbits(&f.v, 8, 4);
  EXPECT_GT(host.pumps, 1);
  EXPECT_EQ(host.updates, 1);
  EXPECT_EQ(elsewhere, 0);
}

TEST_F(OrbitsTest, BadRecordsAreRefusedAsByRunFractal) {
  EXPECT_THROW(RunFractalOrbits(nullptr, 8, 2), std::invalid_argument);
  TTestFractal f(64, 48);
  f.v.maps = 2;
  f.red.resize(10);
  f.v.abort = false;
  EXPECT_THROW(RunFractalOrbits(&f.v, 8, 2), std::invalid_argument);
}

}  // namespace
