// Animations. A 120-frame 640 x 360 run at 2 M steps a frame, frames written as PNG files, on 1 and on 2 threads
// (frames side by side), wall clock and the process's CPU time: the speed-up of the second over the first is the
// figure. And the flicker of a morph between two close keyframes: the largest change of the mean brightness from a
// frame to the next, in percent of the first, over the 120 frames (counter max_step_pct), for two morphs.
//
//   cmake --build build --target animation_bench && build/bench/animation_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>

#include <unistd.h>

#include "animation/animation.h"
#include "document/fractal_document.h"
#include "image/pixel_graphic.h"

namespace {

constexpr int kFrames = 120;

// The README's morph (docs/animation), at the benchmark's size and steps, spread over 120 frames.
TAnimation Morph(std::size_t keyframes) {
  TAnimation a = ReadAnimation(std::string(OVEL_SOURCE_DIR) + "/docs/animation/morph.ovanim");
  a.keyframes.resize(keyframes);
  a.width = 640;
  a.height = 360;
  a.supersample = 1;
  a.steps = 2'000'000;
  a.frameRate = (kFrames - 1) / (a.keyframes.back().time - a.keyframes.front().time);
  return a;
}

double MeanBrightness(const TPixelGraphic& picture) {
  double sum = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.Width() * 3; ++x) sum += row[x];
  }
  return sum / (3.0 * picture.Width() * picture.Height());
}

void BM_AnimationRun(benchmark::State& state) {
  const TAnimation a = Morph(3);
  if (a.FrameCount() != kFrames) state.SkipWithError("not 120 frames");
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("ovel_animation_bench_" + std::to_string(getpid()));
  std::atomic<bool> cancel{false};
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    state.ResumeTiming();
    TFrameRun run;
    run.threads = static_cast<int>(state.range(0));
    run.pattern = (folder / "frame-%04d.png").string();
    const TFrameRunResult result = RenderFrames(a, run, cancel);
    if (result.written != kFrames) state.SkipWithError("frames missing");
  }
  std::filesystem::remove_all(folder);
  state.counters["frames_per_s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AnimationRun)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime()
    ->MeasureProcessCPUTime();

// Argument 0: the gallery's IFS crystal with its first coefficient moved by 0.01 over the 120 frames. 1: the first two
// keyframes of the README's G-Mira / Martin morph, whose first coefficient moves by 0.005: an area-keeping map, at
// some values of which an orbit can fall into a chain of islands and stay there, darkening the rest of the frame.
void BM_MorphBrightnessSteps(benchmark::State& state) {
  TAnimation a = Morph(2);
  if (state.range(0) == 0) {
    TFractalDocument document;
    document.Load(std::string(OVEL_SOURCE_DIR) + "/docs/gallery/ifs-crystal.ifs", '.', {});
    a.keyframes[0].params = document.Record();
    a.keyframes[1].params = document.Record();
    a.keyframes[1].params.af[1] += 0.01;
  }
  std::atomic<bool> cancel{false};
  double maxStep = 0, minMean = 1e9, maxMean = 0;
  int worst = 0;
  for (auto _ : state) {
    double previous = -1;
    for (int frame = 0; frame < a.FrameCount(); ++frame) {
      const double mean = MeanBrightness(*RenderFrame(a, frame, a.seed, 2, cancel));
      if (previous > 0 && std::abs(mean - previous) / previous * 100 > maxStep) {
        maxStep = std::abs(mean - previous) / previous * 100;
        worst = frame;
      }
      minMean = std::min(minMean, mean);
      maxMean = std::max(maxMean, mean);
      previous = mean;
    }
  }
  state.counters["max_step_pct"] = maxStep;
  state.counters["at_frame"] = worst;
  state.counters["mean_min"] = minMean;
  state.counters["mean_max"] = maxMean;
}
BENCHMARK(BM_MorphBrightnessSteps)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
