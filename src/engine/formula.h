// The fractal engine's entries on the default render context (render_context.h), which the desktop program's windows
// share on the GUI thread: a run started from inside a host callback takes over the context and the record address
// `v`; when it ends, the interrupted outer loop finds the inner record's abort flag set and ends as well. One Stop
// ends all nested runs. Renders on other threads use a TRenderContext of their own, whose members these mirror.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>

#include "engine/fractal_params.h"
#include "engine/render_context.h"

// Runs until v->abort is true (tested before each pass of the loop). Makes random coefficients first when
// v->randomize is set, then clears the picture and the counts. The picture is brought up to date before every call
// into the host and when the run ends, not hit by hit: nothing else can look at it in between. Raises
// EFloatingPointFault when a step faults and std::invalid_argument when the record has no picture or hit-count
// lists too small for its N x N grid.
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

// The default context's host, random stream, step budget, counters and pumping cadence (TRenderContext's SetHost,
// Host, Seed, ReseedFromClock, SetStepBudget, Counters, ClearCounters, Record, SetPumpInterval and ResetState;
// DefaultRenderContext() offers the rest). By default every "make random coefficients" reseeds the stream
// from the clock, so each Rand gives new coefficients; after SeedEngineRandom a run, restarts included, repeats.
void SetEngineHost(EngineHost* host);
EngineHost* GetEngineHost();
void SeedEngineRandom(std::uint64_t seed);
void ReseedEngineRandomFromClock();
void SetEngineStepBudget(std::int64_t mainSteps);
TEngineCounters GetEngineCounters();
void ClearEngineCounters();
const TFractalParams* EngineRecord();
void SetEnginePumpInterval(std::chrono::microseconds interval);
void ResetEngineState();
