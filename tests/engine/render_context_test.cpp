// Render contexts: renders on contexts of their own, run at once on two threads, each give exactly the bytes they
// give alone -- one orbit and eight, linear and log density -- and leave the default context alone.
#include "engine/render_context.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/formula.h"
#include "engine/orbits.h"
#include "engine_fixture.h"

namespace {

struct TRenderCase {
  const char* name;
  int orbits;  // 0: the single orbit (Run); else RunOrbits on two threads
  bool logDensity;
  std::uint64_t seed;
};

const TRenderCase kRenders[] = {
    {"SingleLinear", 0, false, 11},
    {"SingleLogDensity", 0, true, 12},
    {"EightOrbitsLinear", 8, false, 13},
    {"EightOrbitsLogDensity", 8, true, 14},
};

// Past the Lyapunov steps and over a round boundary of eight orbits, with a random restart or two on the way.
constexpr std::int64_t kSteps = 400000;

struct TRendered {
  std::vector<std::uint8_t> pixels;
  THitList red, green, blue;
  TCoefficients af{};
  std::int64_t iterations = 0, mainSteps = 0, restarts = 0;
  bool operator==(const TRendered&) const = default;
};

// Counts what a host sees of its context while the render runs.
class TCountingHost : public EngineHost {
 public:
  explicit TCountingHost(TRenderContext& context) : context_(context) {}
  void ProcessMessages() override {
    ++pumps;
    if (context_.Record() != expected) wrongRecord = true;
  }
  void ParametersUpdate() override {}
  const TFractalParams* expected = nullptr;
  int pumps = 0;
  bool wrongRecord = false;

 private:
  TRenderContext& context_;
};

TRendered Render(const TRenderCase& c) {
  TRenderContext context;
  TCountingHost host(context);
  context.SetHost(&host);
  context.SetPumpInterval(std::chrono::microseconds{0});
  context.Seed(c.seed);
  context.SetStepBudget(kSteps);
  TTestFractal f(96, 72);
  f.v.plotXMin = -2;
  f.v.plotXMax = 2;
  f.v.plotYMin = -1.5;
  f.v.plotYMax = 1.5;
  f.v.red = 0.7, f.v.green = 0.8, f.v.blue = 0.9;
  f.v.intensity = 20;
  f.v.maps = 3;
  f.v.randomize = true;
  f.v.randomizer = 2;
  f.v.logDensity = c.logDensity;
  host.expected = &f.v;
  if (c.orbits == 0)
    context.Run(&f.v);
  else
    context.RunOrbits(&f.v, c.orbits, 2);
  EXPECT_GT(host.pumps, 0) << c.name;
  EXPECT_FALSE(host.wrongRecord) << c.name << ": the host saw another render's record";
  const TEngineCounters counters = context.Counters();
  return {f.Pixels(), f.red, f.green, f.blue, f.v.af, f.v.iterations, counters.mainSteps, counters.restarts};
}

TEST(RenderContext, RendersAtOnceOnTwoThreadsGiveTheBytesEachGivesAlone) {
  std::vector<TRendered> alone;
  for (const TRenderCase& c : kRenders) {
    alone.push_back(Render(c));
    EXPECT_EQ(alone.back().mainSteps, kSteps) << c.name;
  }
  ResetEngineState();
  const TEngineState before = EngineState();
  const std::size_t n = std::size(kRenders);
  // Each render beside every other one, itself included.
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = a; b < n; ++b) {
      TRendered first, second;
      std::thread other([&] { second = Render(kRenders[b]); });
      first = Render(kRenders[a]);
      other.join();
      EXPECT_TRUE(first == alone[a]) << kRenders[a].name << " beside " << kRenders[b].name;
      EXPECT_TRUE(second == alone[b]) << kRenders[b].name << " beside " << kRenders[a].name;
    }
  EXPECT_EQ(EngineState().mainSteps, before.mainSteps) << "the default context did not move";
  EXPECT_EQ(EngineState().x, before.x);
}

}  // namespace
