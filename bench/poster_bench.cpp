// Large renders. Main steps per second of the crystal IFS of the gallery's first picture at window size (400 x 300,
// an N x N grid), at 4096 x 4096 (a window's grid of that size) and in the counts-only grid of a 3x supersampled
// 1920 x 1080 poster (5760 x 3240 cells), with RunFractal's one orbit, one parallel orbit on one thread and eight
// orbits on two threads, on a render context of its own for a fixed number of steps (wall clock). And the
// finishing of such a poster: filtering the grid into 1920 x 1080, the tone, and PNG encoding into a discarding
// stream.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

#include "document/fractal_document.h"
#include "document/supersampled.h"
#include "engine/orbits.h"
#include "engine/render_context.h"
#include "engine/tone.h"
#include "files/png_writer.h"

namespace {

// The crystal: three maps of the gallery's ifs-crystal set.
void SetCrystal(TFractalParams& v) {
  v.ifs01 = v.ifs0101 = v.none = true;
  v.maps = 3;
  const double maps[3][6] = {{0.5, -0.3, 0.3, 0.5, 0, 0}, {0.5, 0.3, -0.3, 0.5, 0.5, 0.2}, {0.4, 0, 0, 0.4, 0.2, 0.6}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 6; ++k) v.af[offsets[m] + 1 + k] = maps[m][k];
  v.red = v.green = v.blue = 0.8;
  v.intensity = 10;
}

struct TPoster {
  TFractalDocument document;
  std::unique_ptr<TSupersampledGrid> grid;
  TPoster(int width, int height, int supersample) : document(width, height) {
    document.Resize(width, height);
    TFractalParams& v = document.Params();
    SetCrystal(v);
    v.plotXMin = -0.2;
    v.plotXMax = 1.2;
    v.plotYMin = -0.2;
    v.plotYMax = 1.2;
    v.plotWidth = width;
    v.plotHeight = height;
    if (supersample > 1) grid = std::make_unique<TSupersampledGrid>(v, supersample);
  }
  TFractalParams& Drawn() { if (grid) return grid->Record();
    return document.Params(); }
};

// Arguments: width, height, supersample, orbits, threads; orbits 0 is RunFractal, a window's one orbit.
void BM_LargeRender(benchmark::State& state) {
  constexpr std::int64_t kSteps = 20000000;
  TPoster poster(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  const int orbits = static_cast<int>(state.range(3)), threads = static_cast<int>(state.range(4));
  TRenderContext context;
  context.Seed(1);
  const auto render = [&] {
    context.SetStepBudget(kSteps);
    poster.Drawn().abort = false;
    if (orbits == 0)
      context.Run(&poster.Drawn());
    else
      context.RunOrbits(&poster.Drawn(), orbits, threads);
  };
  // The first render's restart-free first steps and page faults are not what is measured.
  render();
  for (auto _ : state) render();
  state.SetItemsProcessed(state.iterations() * kSteps);
}
BENCHMARK(BM_LargeRender)
    ->Args({400, 300, 1, 0, 1})
    ->Args({4096, 4096, 1, 0, 1})
    ->Args({400, 300, 1, 1, 1})
    ->Args({4096, 4096, 1, 1, 1})
    ->Args({1920, 1080, 3, 1, 1})
    ->Args({400, 300, 1, 8, 2})
    ->Args({4096, 4096, 1, 8, 2})
    ->Args({1920, 1080, 3, 8, 2})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A window's picture (1024 x 1024 or 4096 x 4096) drawn by RunFractal with a host at the default pump interval, as
// the frame draws it: how often the host is called, and the longest wait between two calls (what the user feels as
// lag). Arguments: the size; 1 draws hit by hit, as RunFractal draws grids it does not gather.
class TPumpClock : public EngineHost {
 public:
  void ProcessMessages() override {
    const auto now = std::chrono::steady_clock::now();
    if (pumps > 0) longest = std::max(longest, now - last);
    last = now;
    ++pumps;
  }
  void ParametersUpdate() override {}

  std::int64_t pumps = 0;
  std::chrono::steady_clock::duration longest{};
  std::chrono::steady_clock::time_point last;
};

void BM_LargeWindowPumps(benchmark::State& state) {
  constexpr std::int64_t kSteps = 20000000;
  const int size = static_cast<int>(state.range(0));
  TPoster poster(size, size, 1);
  TRenderContext context;
  context.Seed(1);
  if (state.range(1) != 0) context.SetGatheredGridCells(std::numeric_limits<std::int64_t>::max());
  TPumpClock host;
  context.SetHost(&host);
  double seconds = 0;
  for (auto _ : state) {
    context.SetStepBudget(kSteps);
    poster.Drawn().abort = false;
    host = TPumpClock{};
    const auto start = std::chrono::steady_clock::now();
    context.Run(&poster.Drawn());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  context.SetHost(nullptr);
  state.counters["pumps_per_second"] =
      static_cast<double>(host.pumps) * static_cast<double>(state.iterations()) / seconds;
  state.counters["longest_wait_ms"] = std::chrono::duration<double, std::milli>(host.longest).count();
  state.SetItemsProcessed(state.iterations() * kSteps);
}
BENCHMARK(BM_LargeWindowPumps)
    ->Args({1024, 0})
    ->Args({1024, 1})
    ->Args({4096, 0})
    ->Args({4096, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

class TDiscard : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_FinishSupersampledPoster(benchmark::State& state) {
  TPoster poster(1920, 1080, 3);
  TRenderContext context;
  context.Seed(1);
  context.SetStepBudget(20000000);
  context.RunOrbits(&poster.Drawn(), 8, 2);
  TFractalParams& v = poster.document.Params();
  v.logDensity = state.range(0) != 0;
  for (auto _ : state) {
    poster.grid->FilterInto(poster.document, 1.0);
    RepaintPicture(v);
    TDiscard discard;
    std::ostream out(&discard);
    const TPNGFileFormatWriter png;
    png.Write(out, *poster.document.Picture(), TWriteContext{TFileOptions{}, {}});
  }
}
BENCHMARK(BM_FinishSupersampledPoster)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
