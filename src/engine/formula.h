// The fractal engine's entries on the default render context (render_context.h), which the desktop program's windows
// share on the GUI thread: a run started from inside a host callback takes over the context and the record address
// `v`; when it ends, the interrupted outer loop finds the inner record's abort flag set and ends as well. One Stop
// ends all nested runs. Renders on other threads use a TRenderContext of their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>

#include "engine/fractal_params.h"
#include "engine/render_context.h"

// The host that RunFractal reports to; nullptr runs without one. Not owned.
void SetEngineHost(EngineHost* host);
EngineHost* GetEngineHost();

// Runs until v->abort is true (tested before each pass of the loop). Makes random coefficients first when
// v->randomize is set, then clears the picture and the counts. The picture is brought up to date before every call
// into the host and when the run ends, not hit by hit: nothing else can look at it in between. Raises EFloatingPointFault when a step faults and
// std::invalid_argument when the record has no picture or hit-count lists too small for its N x N grid.
void RunFractal(TFractalParams* v);

// Goes on drawing v from where the engine's state stands (the orbit, its random stream, the record's iterations and
// Lyapunov estimate), without new coefficients and without clearing the picture or the counts: a run stopped by
// its step budget and continued for N more steps ends exactly as one run of the two budgets together. The picture
// must already show the counts (see RepaintPicture in engine/tone.h). Raises what RunFractal raises.
void ContinueFractal(TFractalParams* v);

// A floating-point fault inside a step ends the run with this exception; picture and counts stay as they were, and
// the record's abort flag is set so that outer runs waiting on the same record end as well.
class EFloatingPointFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kFaultDivisionByZero = "Floating point division by zero";
inline constexpr const char* kFaultInvalidOperation = "Invalid floating point operation";
inline constexpr const char* kFaultOverflow = "Floating point overflow";

// Engine constants: these decimal values rounded to double, not full-precision pi.
constexpr double PI_ = 3.14159265359;
constexpr double TWOPI = 6.28318530718;
constexpr double HALFPI = 1.57079632679;

// ---- Random numbers -------------------------------------------------------------------------------------------
// One generator serves the map selection and the random coefficients.
//
// By default every "make random coefficients" reseeds it from the clock, so each Rand gives new coefficients.
// After SeedEngineRandom the stream is fixed by the seed alone: reseeding from the clock is suppressed until
// ReseedEngineRandomFromClock, so a seeded run (random restarts included) repeats exactly.
void SeedEngineRandom(std::uint64_t seed);
void ReseedEngineRandomFromClock();
bool EngineRandomIsSeeded();
// A uniform number in [0, 1) from the engine generator.
double EngineRandom();

// ---- Step budget and counters (render_context.h) ------------------------------------------------------------
// Allows that many further main steps, counted over all runs from now on, random restarts included. When the
// budget is used up, the run in progress sets its record's abort flag before its next pass and ends; a run started
// with an exhausted budget resets the picture and returns without a step. kNoStepBudget (the default) lifts it.
// Independent of the pumping cadence.
void SetEngineStepBudget(std::int64_t mainSteps);
// Main steps still allowed, or kNoStepBudget.
std::int64_t EngineStepBudget();

// Since program start or the last ClearEngineCounters.
TEngineCounters GetEngineCounters();
void ClearEngineCounters();
// The record the engine works on while a run is in progress (the innermost, when runs are nested), else the record
// of the last run; nullptr before the first. Only a run on this record makes the counters move.
const TFractalParams* EngineRecord();

// ---- Pumping cadence (render_context.h) ---------------------------------------------------------------------
void SetEnginePumpInterval(std::chrono::microseconds interval);
std::chrono::microseconds EnginePumpInterval();

// ---- Whole state ----------------------------------------------------------------------------------------------
// Back to the state at program start: orbit, map offset 0, G-Mira state, counters, no budget, unseeded generator.
// Must not be called while a run is in progress. The host and the pump interval are kept.
void ResetEngineState();

