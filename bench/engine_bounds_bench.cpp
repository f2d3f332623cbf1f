// What bounds the engine's run loop: each operation that dominates an engine_bench case, measured alone, and the
// minimal loop the IFS0101 + None case is compared with. Not the engine: reference figures to read beside
// bench/engine_bench (items_per_second is operations, or steps of the minimal loop, per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/engine_math.h"
#include "engine/engine_random.h"
#include "engine/engine_state.h"
#include "engine/families.h"
#include "engine/fractal_params.h"
#include "engine/round.h"

namespace {

constexpr int kArguments = 4096;  // a power of two

// Arguments spread like those of the formulas: uniform in [-spread, spread), never zero.
std::vector<double> Arguments(double spread, std::uint64_t seed) {
  TEngineRandom random;
  random.Seed(seed);
  std::vector<double> values(kArguments);
  for (double& value : values) value = (random.Next() - 0.5) * 2 * spread + 1e-3;
  return values;
}

// Independent calls, as the formulas make them (the sines of one step do not wait for each other).
template <typename Op>
void Throughput(benchmark::State& state, double spread, Op op) {
  const std::vector<double> args = Arguments(spread, 1);
  const std::vector<double> more = Arguments(spread, 2);
  std::size_t i = 0;
  double sink = 0;
  for (auto _ : state) {
    sink += op(args[i], more[i]);
    i = (i + 1) & (kArguments - 1);
  }
  benchmark::DoNotOptimize(sink);
  state.SetItemsProcessed(state.iterations());
}

// sin and cos as the formulas call them: an Ext argument, the library's double function (Latoocarfian arguments
// reach a few dozen radians).
void BM_Bound_EngineSin(benchmark::State& state) {
  Throughput(state, 60, [](double a, double) { return EngineSin(static_cast<Ext>(a)); });
}
BENCHMARK(BM_Bound_EngineSin);

void BM_Bound_EngineCos(benchmark::State& state) {
  Throughput(state, 60, [](double a, double) { return EngineCos(static_cast<Ext>(a)); });
}
BENCHMARK(BM_Bound_EngineCos);

// One sine waiting for the one before, as in an orbit whose next point needs this step's sines (Latoocarfian):
// the latency, not the throughput, bounds such an orbit.
void BM_Bound_EngineSinLatency(benchmark::State& state) {
  double x = 0.3;
  for (auto _ : state) x = EngineSin(static_cast<Ext>(x) * 40 + 1.5);
  benchmark::DoNotOptimize(x);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Bound_EngineSinLatency);

// Horseshoe and Polar: arctan of a quotient.
void BM_Bound_Atan(benchmark::State& state) {
  Throughput(state, 3, [](double a, double b) { return std::atan(a / b); });
}
BENCHMARK(BM_Bound_Atan);

// Spherical, Horseshoe, Polar: a division in Ext, rounded to double.
void BM_Bound_X87Divide(benchmark::State& state) {
  Throughput(state, 3, [](double a, double b) { return static_cast<double>(static_cast<Ext>(a) / b); });
}
BENCHMARK(BM_Bound_X87Divide);

// The pixel mapping: a division in double per coordinate.
void BM_Bound_DoubleDivide(benchmark::State& state) {
  Throughput(state, 3, [](double a, double b) { return a / b; });
}
BENCHMARK(BM_Bound_DoubleDivide);

// One look at the x87 and SSE fault flags, as the run loop used to make after every step.
void BM_Bound_FaultFlagCheck(benchmark::State& state) {
  int flags = 0;
  for (auto _ : state) {
    flags |= RaisedFaultFlags();
    benchmark::DoNotOptimize(flags);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Bound_FaultFlagCheck);

// The loop-carried chain of a formula alone: the formula stage of one family, then None (0 + x), step after step,
// without the map draw, the plotting or the run loop. The steps of an orbit cannot overlap, so this is the fastest
// any loop can step that orbit.
template <typename Formula>
void Chain(benchmark::State& state, TFractalParams& v, Formula formula) {
  TEngineState s;
  s.v = &v;
  s.fx = s.fy = 0.0001;
  for (auto _ : state) {
    formula(s);
    s.fx = 0.0 + s.x;
    s.fy = 0.0 + s.y;
    s.x = s.fx;
    s.y = s.fy;
  }
  benchmark::DoNotOptimize(s.x + s.y);
  state.SetItemsProcessed(state.iterations());
}

void BM_Bound_Ifs0101Chain(benchmark::State& state) {
  TFractalParams v;
  const double a[6] = {0.5, 0.01, 0.02, 0.5, 0.25, 0.5};
  for (int k = 0; k < 6; ++k) v.af[1 + k] = a[k];
  Chain(state, v, [&](TEngineState& s) { families::Ifs0101(s, v.af.data()); });
}
BENCHMARK(BM_Bound_Ifs0101Chain);

void BM_Bound_Martin01Chain(benchmark::State& state) {
  TFractalParams v;
  v.mira01 = v.mira0101 = true;
  v.af[2] = 0.3;
  v.af[4] = 0.7;
  Chain(state, v, [&](TEngineState& s) { families::Mira(s, v); });
}
BENCHMARK(BM_Bound_Martin01Chain);

void BM_Bound_GumowskiMira07Chain(benchmark::State& state) {
  TFractalParams v;
  v.mira01 = v.mira0107 = true;
  v.af[1] = 0.008;
  v.af[2] = -0.7;
  v.iterations = 20000;  // past the start rule
  Chain(state, v, [&](TEngineState& s) { families::Mira(s, v); });
}
BENCHMARK(BM_Bound_GumowskiMira07Chain);

void BM_Bound_Latoocarfian01Chain(benchmark::State& state) {
  TFractalParams v;
  const double a[4] = {-0.966918, 2.879879, 0.765145, 0.744728};
  for (int k = 0; k < 4; ++k) v.af[1 + k] = a[k];
  Chain(state, v, [&](TEngineState& s) { families::Latoocarfian01(s, v.af.data()); });
}
BENCHMARK(BM_Bound_Latoocarfian01Chain);

// Three saturating count updates at a random cell of an N x N grid (the argument), as a point's hits make them: at
// 1024 x 768 the three lists (12 MB) leave the caches.
void BM_Bound_RandomCellUpdate(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  std::vector<std::int32_t> red(n * n), green(n * n), blue(n * n);
  std::vector<std::uint8_t> mark(n * n);
  TEngineRandom random;
  random.Seed(3);
  for (auto _ : state) {
    const std::int64_t cell = static_cast<std::int64_t>(random.Next() * static_cast<double>(n * n));
    red[cell] = static_cast<std::int32_t>(std::min<std::int64_t>(red[cell] + 40, INT32_MAX));
    green[cell] = static_cast<std::int32_t>(std::min<std::int64_t>(green[cell] + 20, INT32_MAX));
    blue[cell] = static_cast<std::int32_t>(std::min<std::int64_t>(blue[cell] + 20, INT32_MAX));
    mark[cell] = 1;
  }
  benchmark::DoNotOptimize(red.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Bound_RandomCellUpdate)->Arg(400)->Arg(1024);

// REFERENCE, not the engine: the minimal loop of IFS0101 + None at 400 x 300 under the engine's constraints -- the
// random pick of the coefficient group, the map in Ext, the pixel by division and Round, the four hits as three
// saturating count updates and a touched-cell mark, no painting -- with the fault flags read once per 256 steps
// (argument 256) or after every step (argument 1).
void BM_Reference_MinimalLoop(benchmark::State& state) {
  const int flagEvery = static_cast<int>(state.range(0));
  constexpr int kWidth = 400, kHeight = 300, kN = 400;
  std::vector<std::int32_t> red(kN * kN), green(kN * kN), blue(kN * kN);
  std::vector<std::uint8_t> mark(kN * kN);
  double af[61] = {};
  const double maps[3][6] = {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0.25, 0.5}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 6; ++k) af[offsets[m] + 1 + k] = maps[m][k];
  const double xMin = -0.1, yMin = -0.1, xSpan = 1.2, ySpan = 1.2;
  const std::int64_t weight = 20;
  TEngineRandom random;
  random.Seed(20240601);
  double fx = 0.0001, fy = 0.0001;
  int flags = 0, sinceCheck = 0;
  for (auto _ : state) {
    const std::int32_t r = Round(random.Next() * 2 * 20);
    const int group = (r >= 19) + (r >= 39);
    const double* a = af + offsets[group];
    const Ext ex = fx, ey = fy;
    const double x = 0.0 + static_cast<double>(a[1] * ex + a[2] * ey + a[5]);
    const double y = 0.0 + static_cast<double>(a[3] * ex + a[4] * ey + a[6]);
    fx = x;
    fy = y;
    const std::int32_t ix = Round(x > xMin ? (x - xMin) / xSpan * kWidth : kWidth);
    const std::int32_t iy = Round(y > yMin ? (y - yMin) / ySpan * kHeight : kHeight);
    if (++sinceCheck == flagEvery) {
      sinceCheck = 0;
      flags |= RaisedFaultFlags();
    }
    if (static_cast<std::uint32_t>(ix) >= kWidth || static_cast<std::uint32_t>(iy) >= kHeight) continue;
    const std::int64_t cell = static_cast<std::int64_t>(ix) * kN + iy;
    red[cell] = static_cast<std::int32_t>(std::min<std::int64_t>(red[cell] + 2 * weight + (group == 1) * weight, INT32_MAX));
    green[cell] = static_cast<std::int32_t>(std::min<std::int64_t>(green[cell] + weight + (group == 2) * weight, INT32_MAX));
    blue[cell] = static_cast<std::int32_t>(std::min<std::int64_t>(blue[cell] + (group == 0) * weight, INT32_MAX));
    mark[cell] = static_cast<std::uint8_t>(group + 1);
  }
  benchmark::DoNotOptimize(flags);
  benchmark::DoNotOptimize(red.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Reference_MinimalLoop)->Arg(256)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
