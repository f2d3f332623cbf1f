// A render context: orbit 0's state (point, map offset, G-Mira state, random stream), the step budget, the counters,
// the host and the pumping cadence. Contexts on different threads run at once, each giving exactly the bytes it
// gives alone. Runs on one context nest: a run started from a host call takes over the context, and the outer run
// then finds the inner record's abort flag set and ends too, so one Stop ends every nested run. The windows share
// the default context on the GUI thread; formula.h and orbits.h offer its entries as free functions.
#pragma once

#include <chrono>
#include <cstdint>

#include "engine/engine_state.h"
#include "engine/fractal_params.h"

// How the engine talks to whoever runs it (the GUI frame, the headless renderer, tests).
struct EngineHost {
  virtual ~EngineHost() = default;
  // Handle pending events; may change the record, set abort, or start a nested run on the same context.
  virtual void ProcessMessages() = 0;
  // Random coefficients were made: refresh whatever shows them.
  virtual void ParametersUpdate() = 0;
};

constexpr std::int64_t kNoStepBudget = -1;

struct TEngineCounters {
  std::int64_t mainSteps = 0;  // main steps of all runs
  std::int64_t restarts = 0;   // random restarts: escape, wild Lyapunov estimate (not the randomize at a run's start)
  std::int64_t pumps = 0;      // calls of EngineHost::ProcessMessages
};

// The loop looks at the clock once every kPassesPerPumpCheck passes of one orbit (after every round of parallel
// orbits, or of one gathering orbit), and after every random restart (which clears the whole picture and so costs
// far more than a pump), and calls ProcessMessages when at least the pump interval has gone by since the last call:
// about 100 times a second by default. An interval of zero pumps at each of these points without reading the clock.
constexpr int kPassesPerPumpCheck = 256;
constexpr std::chrono::microseconds kDefaultPumpInterval{10000};
// A host pumped this seldom (a renderer's progress, a background render) sees the picture only once in several rounds
// of parallel orbits, which lets a large grid's hits wait to be merged together; one pumped more often (a window)
// sees every round.
constexpr std::chrono::microseconds kSeldomPumpInterval{50000};

// A grid of at least this many cells (a window's 1024 x 1024 lists: 12 MB of counts) lies far outside a core's own
// cache: its hits are gathered and applied region by region (orbits.h), RunFractal's too, whose one orbit then runs
// as a parallel run of one orbit on the calling thread, with the same result.
constexpr std::int64_t kDefaultGatheredGridCells = std::int64_t{1} << 20;

struct TOrbitsLeft;

class TRenderContext {
 public:
  TRenderContext();
  TRenderContext(const TRenderContext&) = delete;
  TRenderContext& operator=(const TRenderContext&) = delete;

  // RunFractal, ContinueFractal, RunFractalOrbits and ContinueFractalOrbits on this context.
  void Run(TFractalParams* v);
  void Continue(TFractalParams* v);
  void RunOrbits(TFractalParams* v, int orbits, int threads, TOrbitsLeft* left = nullptr);
  void ContinueOrbits(TFractalParams* v, TOrbitsLeft& left, int threads);

  // nullptr runs without one. Not owned.
  void SetHost(EngineHost* host) { host_ = host; }
  EngineHost* Host() const { return host_; }
  void SetPumpInterval(std::chrono::microseconds interval);
  std::chrono::microseconds PumpInterval() const { return pumpInterval_; }
  // Grids of at least `cells` cells gather their hits (at most 0 gathers all, the largest value none); whether they
  // do never shows in the result, only in the speed.
  void SetGatheredGridCells(std::int64_t cells) { gatheredGridCells_ = cells; }
  std::int64_t GatheredGridCells() const { return gatheredGridCells_; }
  // Whether a run on this record gathers its hits: a grid of at least GatheredGridCells() cells and no more than
  // a log entry can name.
  bool GathersHits(const TFractalParams& v) const;

  // One generator for the map choice and the random coefficients. Unseeded, every "make random coefficients"
  // reseeds it from the clock; after Seed the stream is fixed by the seed alone until ReseedFromClock.
  void Seed(std::uint64_t seed) { state_.random.Seed(seed); }
  void ReseedFromClock();
  bool Seeded() const { return state_.random.seeded; }
  double Random() { return state_.random.Next(); }

  // Allows that many further main steps, counted over all runs on this context from now on, random restarts
  // included. When it is used up, the run in progress sets its record's abort flag before its next pass and ends;
  // a run started with an exhausted budget resets the picture and returns without a step. kNoStepBudget lifts it.
  void SetStepBudget(std::int64_t mainSteps) { state_.stepBudget = mainSteps < 0 ? kNoStepBudget : mainSteps; }
  std::int64_t StepBudget() const { return state_.stepBudget; }
  TEngineCounters Counters() const { return {state_.mainSteps, state_.restarts, state_.pumps}; }
  void ClearCounters();
  // The record a run is working on (the innermost, when runs are nested), else the last run's; nullptr before the
  // first. Only a run on this record makes the counters move.
  const TFractalParams* Record() const { return state_.v; }

  // Orbit 0 as it stands; open to tests and tools (engine_state.h), and to hit-count documents, which keep it.
  TEngineState& State() { return state_; }
  const TEngineState& State() const { return state_; }
  // Back to the state of a new context: orbit, map offset 0, G-Mira state, counters, no budget, unseeded
  // generator. Must not be called while a run is in progress. The host, the pump interval and the gathered grid
  // size are kept.
  void ResetState();

 private:
  TEngineState state_;
  EngineHost* host_ = nullptr;
  std::chrono::microseconds pumpInterval_ = kDefaultPumpInterval;
  std::int64_t gatheredGridCells_ = kDefaultGatheredGridCells;
};

// The context the free entries of formula.h and orbits.h use: the desktop program's windows share it on the GUI
// thread. Any other thread makes contexts of its own.
TRenderContext& DefaultRenderContext();
