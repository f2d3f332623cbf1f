// What the render readout costs: one count of the lit pixels per repaint of a pass (every 500 ms). A 1024 x 768
// picture, black, half lit and fully lit; items_per_second is pixels per second. Against the 500 ms between two
// samples, a count of a few hundred microseconds is a cost drawing cannot measure.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "document/render_health.h"
#include "image/pixel_graphic.h"

namespace {

void BM_CountLitPixels1024x768(benchmark::State& state) {
  TPixelGraphic picture;
  picture.SetSize(1024, 768, TColorRes::Bits24);
  const int everyNth = static_cast<int>(state.range(0));  // 0: black
  if (everyNth > 0)
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x)
        if ((x + y) % everyNth == 0) picture.SetPixel(x, y, 0x204080);
  std::int64_t lit = 0;
  for (auto _ : state) {
    lit = CountLitPixels(picture);
    benchmark::DoNotOptimize(lit);
  }
  state.counters["lit"] = static_cast<double>(lit);
  state.SetItemsProcessed(state.iterations() * picture.Width() * picture.Height());
}
BENCHMARK(BM_CountLitPixels1024x768)->Arg(0)->Arg(2)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
