// The search's targets: the first 16 accepted candidates of a family at 160x120 (each family in at most 2 s on
// two cores), the speed-up of two threads over one, and how many candidates are tried per accepted one.
//
//   cmake --build build --target explore_bench && build/bench/explore_bench
#include <benchmark/benchmark.h>

#include "explore/explore_search.h"

namespace {

constexpr int kAccepted = 16;

void FirstAccepted(benchmark::State& state, TFamilyGroup group) {
  TExploreOptions options;
  options.family = {group, 0};
  options.threads = static_cast<int>(state.range(0));
  options.seed = 1;
  TExploreStats stats;
  for (auto _ : state) {
    TExploreSearch search(options);
    stats = search.Run(kAccepted, {});
    benchmark::DoNotOptimize(stats.accepted);
  }
  state.counters["accepted"] = static_cast<double>(stats.accepted);
  state.counters["tried"] = static_cast<double>(stats.tried);
  state.counters["tried_per_accepted"] =
      stats.accepted > 0 ? static_cast<double>(stats.tried) / static_cast<double>(stats.accepted) : 0.0;
}

void BM_ExploreMira(benchmark::State& state) { FirstAccepted(state, TFamilyGroup::Mira); }
void BM_ExploreIfs(benchmark::State& state) { FirstAccepted(state, TFamilyGroup::Ifs); }
void BM_ExploreLatoocarfian(benchmark::State& state) { FirstAccepted(state, TFamilyGroup::Latoocarfian); }
void BM_ExploreCif(benchmark::State& state) { FirstAccepted(state, TFamilyGroup::Cif); }

BENCHMARK(BM_ExploreMira)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_ExploreIfs)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_ExploreLatoocarfian)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_ExploreCif)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
