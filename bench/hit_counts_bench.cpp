// Hit-count documents of a 1024 x 768 render: saving (compress, checksum, fsync, rename), loading (read, check,
// decompress) and merging sixteen of them from disk. The counts come from a real render of five million steps, so
// the compression sees what users' documents hold. Prints the document's size once.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/formula.h"
#include "files/hit_count_file.h"
#include "image/pixel_graphic.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

const THitCountDocument& RenderedDocument() {
  static const THitCountDocument doc = [] {
    TFractalParams v;
    TPixelGraphic image;
    image.SetSize(kWidth, kHeight, TColorRes::Bits24);
    const std::size_t n = kWidth;
    THitList red(n * n), green(n * n), blue(n * n);
    TLeadList lead(n * n);
    v.imageWidth = v.plotWidth = kWidth;
    v.imageHeight = v.plotHeight = kHeight;
    v.plotXMin = v.plotYMin = -0.1;
    v.plotXMax = v.plotYMax = 1.1;
    v.image = &image;
    v.redList = &red;
    v.greenList = &green;
    v.blueList = &blue;
    v.leadList = &lead;
    v.red = v.green = v.blue = 1;
    v.intensity = 20;
    v.maps = 3;
    v.ifs01 = v.ifs0101 = v.none = true;
    const double maps[3][6] = {{0.5, 0.1, 0, 0.5, 0, 0}, {0.5, 0, 0.1, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0.25, 0.5}};
    const int offsets[3] = {0, 19, 39};
    for (int m = 0; m < 3; ++m)
      for (int k = 0; k < 6; ++k) v.af[offsets[m] + 1 + k] = maps[m][k];
    ResetEngineState();
    SeedEngineRandom(1);
    SetEngineStepBudget(5'000'000);
    RunFractal(&v);
    SetEngineStepBudget(kNoStepBudget);

    THitCountDocument d;
    d.parameters = std::string(170 * 12, '1');
    d.width = kWidth;
    d.height = kHeight;
    d.mainSteps = 5'000'000;
    d.orbits.resize(8);
    for (int c = 0; c < 3; ++c) d.counts[c].reserve(d.CellCount());
    for (std::size_t ix = 0; ix < kWidth; ++ix)
      for (std::size_t iy = 0; iy < kHeight; ++iy) {
        d.counts[0].push_back(red[ix * n + iy]);
        d.counts[1].push_back(green[ix * n + iy]);
        d.counts[2].push_back(blue[ix * n + iy]);
        d.lead.push_back(lead[ix * n + iy]);
      }
    return d;
  }();
  return doc;
}

std::string Scratch(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("ovel-bench-" + name)).string();
}

void BM_SaveDocument1024x768(benchmark::State& state) {
  const THitCountDocument& doc = RenderedDocument();
  const std::string path = Scratch("save.ovc");
  for (auto _ : state) SaveHitCountDocument(path, doc);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::remove(path.c_str());
}
BENCHMARK(BM_SaveDocument1024x768)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadDocument1024x768(benchmark::State& state) {
  const std::string path = Scratch("load.ovc");
  SaveHitCountDocument(path, RenderedDocument());
  for (auto _ : state) benchmark::DoNotOptimize(LoadHitCountDocument(path));
  std::remove(path.c_str());
}
BENCHMARK(BM_LoadDocument1024x768)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loading all sixteen and adding them, as ovel-ifs-render --merge does before it writes.
void BM_MergeSixteenDocuments1024x768(benchmark::State& state) {
  std::vector<std::string> paths;
  for (int k = 0; k < 16; ++k) {
    paths.push_back(Scratch("merge-" + std::to_string(k) + ".ovc"));
    SaveHitCountDocument(paths.back(), RenderedDocument());
  }
  for (auto _ : state) {
    std::vector<THitCountDocument> docs;
    for (const std::string& path : paths) docs.push_back(LoadHitCountDocument(path));
    benchmark::DoNotOptimize(MergeHitCountDocuments(docs));
  }
  for (const std::string& path : paths) std::remove(path.c_str());
}
BENCHMARK(BM_MergeSixteenDocuments1024x768)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
