// An orbit's points without a picture: what searches need to judge a coefficient set before drawing it (its
// extent, its correlation dimension, whether it escapes, the Lyapunov estimate).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/fractal_params.h"

enum class TTraceEnd {
  Steps,    // every step asked for was made
  Restart,  // the orbit escaped, or its Lyapunov estimate went wild: a run would make new random coefficients here
};

struct TOrbitTrace {
  std::vector<double> x, y;  // the point each main step plotted, in order
  double lyapunov = 0;       // the estimate as the last Lyapunov step left it (bits per iteration)
  TTraceEnd end = TTraceEnd::Steps;
};

// The first `steps` main steps of orbit 0 of a run of v on a new render context seeded with `seed`: the same start
// point, map choices, Lyapunov steps and restart tests, step by step, so that a one-orbit render of v with that seed
// and a budget of at least `steps` plots exactly these points first. Stops where that run would make its first
// random restart. v is not changed (the trace works on a copy); it needs no picture or hit lists. Raises
// EFloatingPointFault when a step faults.
TOrbitTrace TraceOrbit(const TFractalParams& v, std::uint64_t seed, std::int64_t steps);
