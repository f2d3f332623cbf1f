// The default render context's working state, open to tests and tools that set up or inspect a single formula
// step. Hosts use formula.h, orbits.h and render_context.h.
#pragma once

#include "engine/orbit_state.h"

// The default render context's state (render_context.h): the GUI thread's windows and the tests' single runs.
// Between host calls a run works on a private copy and writes it back before every call into the host, so what a
// host sees and changes here is always current.
TEngineState& EngineState();

// One formula step on the default context's state, plot and fault check included, as a main step does it after
// choosing j. For tests: set EngineState().v and the point first. Raises what a run would raise.
void RunFormulaStep();
