// An orbit's working variables. TOrbitState is the one type an orbit is kept in -- by a run, by the orbits a
// parallel run leaves for continuing, and by hit-count documents -- so that a new field travels with it everywhere.
// TEngineState is an orbit at work inside a render: the record it draws, the step budget and the pumps besides.
#pragma once

#include <cstdint>

#include "engine/engine_random.h"
#include "engine/fractal_params.h"

struct TOrbitState {
  double fx = 0, fy = 0;  // input of the formula stage; the variations accumulate into them
  double x = 0, y = 0;    // output of the formula stage; after a step, the point that was plotted
  double z = 0;           // third coordinate of IFS-02, CIF 01/02 and the Gumowski-Mira variants
  std::int32_t j = 0;     // map offset 0, 19 or 39; kept between runs
  double xe = 0, ye = 0;  // neighbour point of the Lyapunov estimate
  double xs = 0, ys = 0;  // main point saved while the neighbour is iterated
  double lsum = 0;        // sum of the logarithms of the separation growth
  double miraSign = 0, miraF = 0, miraB = 0;
  double colour = 0;      // the gradient colouring's colour coordinate, 0..1; it moves only while that colouring is on
  TEngineRandom random;                      // the map choice's stream (orbit 0: also the random coefficients')
  std::int64_t mainSteps = 0, restarts = 0;  // the orbit's own counters
};

struct TEngineState : TOrbitState {
  TFractalParams* v = nullptr;   // record of the run in progress; set on entry, never cleared
  std::int32_t gridSize = 0;     // N = max(imageWidth, imageHeight), set by every reset
  std::int64_t stepBudget = -1;  // kNoStepBudget
  std::int64_t pumps = 0;
};

// For tests and tools: the default render context's state (render_context.h), and one formula step on it, plot and
// fault check included, as a main step does it after choosing j (set EngineState().v and the point first).
TEngineState& EngineState();
void RunFormulaStep();
