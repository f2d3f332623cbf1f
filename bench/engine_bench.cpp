// Main steps per second of the engine's real run loop (RunFractal with its default pumping cadence), measured after
// the first 10000 steps, when the Lyapunov steps have stopped. items_per_second is main steps per second;
// pumps_per_second is how often a host would get control; restarts counts random restarts during the timing.
// The single-orbit cases count per CPU second of the run's thread; the parallel-orbit cases (RunFractalOrbits, K
// orbits on T threads) per wall-clock second, with T from 1 to the machine's cores (at least 2, at most K), and
// report the process's CPU time beside it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "engine/formula.h"
#include "engine/orbits.h"
#include "engine/fractal_params.h"
#include "engine/render_context.h"
#include "engine/tone.h"
#include "image/pixel_graphic.h"

namespace {

constexpr std::int64_t kWarmUpSteps = 10000;

// A record with its picture and hit lists, set up as a window leaves it before a run.
struct TBenchFractal {
  TFractalParams v;
  TPixelGraphic image;
  THitList red, green, blue;
  TColourCells colourCells;

  TBenchFractal(int width, int height, double xMin, double xMax, double yMin, double yMax) {
    image.SetSize(width, height, TColorRes::Bits24);
    const std::size_t n = static_cast<std::size_t>(std::max(width, height));
    red.assign(n * n, 0);
    green.assign(n * n, 0);
    blue.assign(n * n, 0);
    v.imageWidth = v.plotWidth = width;
    v.imageHeight = v.plotHeight = height;
    v.plotXMin = xMin;
    v.plotXMax = xMax;
    v.plotYMin = yMin;
    v.plotYMax = yMax;
    v.image = &image;
    v.redList = &red;
    v.greenList = &green;
    v.blueList = &blue;
    v.red = v.green = v.blue = 1.0;
    v.intensity = 20;
    v.probability = 0.2;
    v.randomizer = 2;
    v.maps = 2;
    v.none = true;
  }
};

// Hands the benchmark's clock over to the engine: timing starts at the first pump after the warm-up steps and ends
// at the pump where the benchmark has seen enough.
class TBenchHost : public EngineHost {
 public:
  TBenchHost(benchmark::State& state, TFractalParams& v) : state_(state), v_(v) {}

  // The benchmark's iterations count pumps (in units of kPassesPerPumpCheck, so that repetitions agree); the
  // steps themselves are counted by the engine.
  void ProcessMessages() override {
    const TEngineCounters c = GetEngineCounters();
    if (!timing_) {
      if (c.mainSteps < kWarmUpSteps) return;
      timing_ = true;
      start_ = c;
    }
    last_ = c;
    if (!state_.KeepRunningBatch(kPassesPerPumpCheck)) v_.abort = true;
  }
  void ParametersUpdate() override {}

  void Report() {
    const TEngineCounters end = last_;
    state_.SetItemsProcessed(end.mainSteps - start_.mainSteps);
    state_.counters["pumps_per_second"] =
        benchmark::Counter(static_cast<double>(end.pumps - start_.pumps), benchmark::Counter::kIsRate);
    state_.counters["restarts"] = static_cast<double>(end.restarts - start_.restarts);
  }

 private:
  benchmark::State& state_;
  TFractalParams& v_;
  bool timing_ = false;
  TEngineCounters start_, last_;
};

void RunBench(benchmark::State& state, TBenchFractal& f,
              const std::function<void(TFractalParams*)>& run = RunFractal) {
  ResetEngineState();
  SeedEngineRandom(20240601);
  SetEnginePumpInterval(kDefaultPumpInterval);
  TBenchHost host(state, f.v);
  SetEngineHost(&host);
  f.v.abort = false;
  run(&f.v);
  SetEngineHost(nullptr);
  host.Report();
}

// Three maps of a Sierpinski triangle: with maps 2 the first two groups carry nearly all steps.
void SetSierpinski(TFractalParams& v) {
  v.ifs01 = v.ifs0101 = true;
  const double maps[3][6] = {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0.25, 0.5}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 6; ++k) v.af[offsets[m] + 1 + k] = maps[m][k];
}

void BM_Ifs0101None(benchmark::State& state) {
  TBenchFractal f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), -0.1, 1.1, -0.1, 1.1);
  SetSierpinski(f.v);
  RunBench(state, f);
}
BENCHMARK(BM_Ifs0101None)->Args({400, 300})->Args({1024, 768})->Unit(benchmark::kNanosecond);

// The gradient colouring's cost per step: the same set with the colour coordinate moved and each point's colour
// level added to its cell, beside BM_Ifs0101None and BM_Ifs0101NoneOrbits.
void UseGradientColouring(TBenchFractal& f) {
  const std::size_t n = static_cast<std::size_t>(std::max(f.v.imageWidth, f.v.imageHeight));
  f.colourCells.sums.assign(n * n, 0);
  f.colourCells.hits.assign(n * n, 0);
  f.v.colourCells = &f.colourCells;
  f.v.colouring = TColouring::Gradient;
}

void BM_Ifs0101NoneGradient(benchmark::State& state) {
  TBenchFractal f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), -0.1, 1.1, -0.1, 1.1);
  SetSierpinski(f.v);
  UseGradientColouring(f);
  RunBench(state, f);
}
BENCHMARK(BM_Ifs0101NoneGradient)->Args({400, 300})->Args({1024, 768})->Unit(benchmark::kNanosecond);

// Arguments: orbits, threads.
void BM_Ifs0101NoneOrbits(benchmark::State& state) {
  TBenchFractal f(400, 300, -0.1, 1.1, -0.1, 1.1);
  SetSierpinski(f.v);
  const int orbits = static_cast<int>(state.range(0)), threads = static_cast<int>(state.range(1));
  RunBench(state, f, [&](TFractalParams* v) { RunFractalOrbits(v, orbits, threads); });
}

void OrbitScaling(benchmark::internal::Benchmark* b) {
  constexpr int kOrbits = 8;
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  const int most = std::min(kOrbits, std::max(2, cores));
  for (int threads = 1; threads <= most; ++threads) b->Args({kOrbits, threads});
}
// Arguments: orbits, threads.
void BM_Ifs0101NoneOrbitsGradient(benchmark::State& state) {
  TBenchFractal f(400, 300, -0.1, 1.1, -0.1, 1.1);
  SetSierpinski(f.v);
  UseGradientColouring(f);
  const int orbits = static_cast<int>(state.range(0)), threads = static_cast<int>(state.range(1));
  RunBench(state, f, [&](TFractalParams* v) { RunFractalOrbits(v, orbits, threads); });
}
BENCHMARK(BM_Ifs0101NoneOrbitsGradient)
    ->Apply([](benchmark::internal::Benchmark* b) { b->Args({8, 1}); })
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kNanosecond);

// Wall-clock rates; the CPU column is the whole process's, so items_per_second * Time / CPU is main steps per CPU
// second, the figure to compare with the single orbit's on a machine too busy for wall-clock scaling.
BENCHMARK(BM_Ifs0101NoneOrbits)
    ->Apply(OrbitScaling)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kNanosecond);

// Independent single-orbit renders, each on a render context of its own on a thread of its own (the first on the
// calling thread), as thumbnails or a background render beside a window run. Argument: renders at once. Wall-clock
// rate of all their main steps together; with two, about twice the rate of one on a machine with two idle cores.
void BM_IndependentRenders(benchmark::State& state) {
  constexpr std::int64_t kStepsEach = 4000000;
  const int renders = static_cast<int>(state.range(0));
  std::vector<std::unique_ptr<TBenchFractal>> fractals;
  std::vector<std::unique_ptr<TRenderContext>> contexts;
  for (int r = 0; r < renders; ++r) {
    fractals.push_back(std::make_unique<TBenchFractal>(400, 300, -0.1, 1.1, -0.1, 1.1));
    SetSierpinski(fractals.back()->v);
    contexts.push_back(std::make_unique<TRenderContext>());
    contexts.back()->Seed(20240601 + static_cast<std::uint64_t>(r));
  }
  const auto render = [&](int r) {
    contexts[static_cast<std::size_t>(r)]->SetStepBudget(kStepsEach);
    fractals[static_cast<std::size_t>(r)]->v.abort = false;
    contexts[static_cast<std::size_t>(r)]->Run(&fractals[static_cast<std::size_t>(r)]->v);
  };
  for (auto _ : state) {
    std::vector<std::thread> others;
    for (int r = 1; r < renders; ++r) others.emplace_back(render, r);
    render(0);
    for (std::thread& other : others) other.join();
  }
  state.SetItemsProcessed(state.iterations() * kStepsEach * renders);
}
BENCHMARK(BM_IndependentRenders)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Ifs0101SqrtFilter(benchmark::State& state) {
  TBenchFractal f(400, 300, -0.1, 1.1, -0.1, 1.1);
  SetSierpinski(f.v);
  f.v.sqrtFilter = true;
  RunBench(state, f);
}
BENCHMARK(BM_Ifs0101SqrtFilter)->Unit(benchmark::kNanosecond);

void BM_Ifs0101AllVariations(benchmark::State& state) {
  TBenchFractal f(400, 300, -3, 3, -3, 3);
  SetSierpinski(f.v);
  // Horseshoe and Polar divide by y: keep every map off the line y = 0, which the Lyapunov neighbour starts on.
  f.v.af[6] = f.v.af[25] = 0.1;
  f.v.linear = f.v.sinusoidal = f.v.spherical = f.v.swirl = f.v.horseshoe = f.v.polar = f.v.bent = true;
  f.v.probability = 0.05;
  RunBench(state, f);
}
BENCHMARK(BM_Ifs0101AllVariations)->Unit(benchmark::kNanosecond);

void BM_Martin01None(benchmark::State& state) {
  TBenchFractal f(400, 300, -20, 20, -20, 20);
  f.v.mira01 = f.v.mira0101 = true;
  f.v.af[2] = 0.3;
  f.v.af[4] = 0.7;
  RunBench(state, f);
}
BENCHMARK(BM_Martin01None)->Unit(benchmark::kNanosecond);

void BM_GumowskiMira07(benchmark::State& state) {
  TBenchFractal f(400, 300, -20, 20, -20, 20);
  f.v.mira01 = f.v.mira0107 = true;
  f.v.af[1] = 0.008;
  f.v.af[2] = -0.7;
  RunBench(state, f);
}
BENCHMARK(BM_GumowskiMira07)->Unit(benchmark::kNanosecond);

void BM_Latoocarfian01(benchmark::State& state) {
  TBenchFractal f(400, 300, -3, 3, -3, 3);
  f.v.latoocarfian01 = true;
  const double coefficients[3][4] = {{-0.966918, 2.879879, 0.765145, 0.744728},
                                     {-1.1, 1.3, 0.9, 0.6},
                                     {0.8, -1.5, 1.2, 0.5}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 4; ++k) f.v.af[offsets[m] + 1 + k] = coefficients[m][k];
  RunBench(state, f);
}
BENCHMARK(BM_Latoocarfian01)->Unit(benchmark::kNanosecond);

}  // namespace

// Re-colouring a 1920 x 1080 picture of the gradient colouring from its colour cells, as a gradient change in a
// window or --retone does (without reading the document).
void BM_RepaintGradient1080p(benchmark::State& state) {
  TBenchFractal f(1920, 1080, -0.1, 1.1, -0.1, 1.1);
  UseGradientColouring(f);
  std::uint64_t mix = 88172645463325252ull;
  for (std::size_t cell = 0; cell < f.colourCells.hits.size(); ++cell) {
    mix ^= mix << 13, mix ^= mix >> 7, mix ^= mix << 17;
    const std::uint32_t hits = static_cast<std::uint32_t>(mix % 5 == 0 ? mix % 4000 : 0);
    f.colourCells.hits[cell] = hits;
    f.colourCells.sums[cell] = std::uint64_t{hits} * (mix >> 53);
  }
  for (auto _ : state) {
    f.v.gradientView.offset += 0.01;
    PaintGradientColours(f.v);
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_RepaintGradient1080p)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
