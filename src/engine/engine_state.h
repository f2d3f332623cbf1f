// The engine's process-wide working variables, open to tests and tools that need to set up or inspect a single
// formula step. Hosts use formula.h only.
#pragma once

#include <cstdint>

#include "engine/engine_random.h"
#include "engine/fractal_params.h"

struct TEngineState {
  TFractalParams* v = nullptr;  // record of the run in progress; set on entry, never cleared
  double fx = 0, fy = 0;        // input of the formula stage; the variations accumulate into them
  double x = 0, y = 0;          // output of the formula stage; after a step, the point that was plotted
  double z = 0;                 // third coordinate of IFS-02, CIF 01/02 and the Gumowski-Mira variants
  std::int32_t j = 0;           // map offset 0, 19 or 39; kept between runs
  double xe = 0, ye = 0;        // neighbour point of the Lyapunov estimate
  double xs = 0, ys = 0;        // main point saved while the neighbour is iterated
  double lsum = 0;              // sum of the logarithms of the separation growth
  std::int32_t gridSize = 0;    // N = max(imageWidth, imageHeight), set by every reset
  double miraSign = 0, miraF = 0, miraB = 0;

  TEngineRandom random;
  std::int64_t stepBudget = -1;  // kNoStepBudget
  std::int64_t mainSteps = 0, restarts = 0, pumps = 0;
};

// The one state of the process. Between host calls a run works on a private copy and writes it back before every
// call into the host, so what a host sees and changes here is always current.
TEngineState& EngineState();

// One formula step on the current state, plot and fault check included, as a main step does it after choosing j.
// For tests: set EngineState().v and the point first. Raises what a run would raise.
void RunFormulaStep();
