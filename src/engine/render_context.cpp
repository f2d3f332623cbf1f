#include "engine/render_context.h"

#include "engine/formula.h"
#include "engine/orbits.h"
#include "engine/run_loop.h"

namespace {

TEngineState InitialState() {
  TEngineState s;
  s.random = InitialEngineRandom();
  s.stepBudget = kNoStepBudget;
  return s;
}

}  // namespace

TRenderContext::TRenderContext() : state_(InitialState()) {}

void TRenderContext::SetPumpInterval(std::chrono::microseconds interval) {
  pumpInterval_ = interval.count() < 0 ? std::chrono::microseconds{0} : interval;
}

void TRenderContext::ReseedFromClock() {
  state_.random.seeded = false;
  state_.random.Randomize();
}

void TRenderContext::ClearCounters() {
  state_.mainSteps = 0;
  state_.restarts = 0;
  state_.pumps = 0;
}

void TRenderContext::ResetState() { state_ = InitialState(); }

TRenderContext& DefaultRenderContext() {
  static TRenderContext context;
  return context;
}

// ---- The default context's entries ------------------------------------------------------------------------------

void RunFractal(TFractalParams* v) { DefaultRenderContext().Run(v); }
void ContinueFractal(TFractalParams* v) { DefaultRenderContext().Continue(v); }
void RunFractalOrbits(TFractalParams* v, int orbits, int threads, TOrbitsLeft* left) {
  DefaultRenderContext().RunOrbits(v, orbits, threads, left);
}
void ContinueFractalOrbits(TFractalParams* v, TOrbitsLeft& left, int threads) {
  DefaultRenderContext().ContinueOrbits(v, left, threads);
}
void RunFormulaStep() { RunSingleFormulaStep(DefaultRenderContext()); }

void SetEngineHost(EngineHost* host) { DefaultRenderContext().SetHost(host); }
EngineHost* GetEngineHost() { return DefaultRenderContext().Host(); }
TEngineState& EngineState() { return DefaultRenderContext().State(); }
void SeedEngineRandom(std::uint64_t seed) { DefaultRenderContext().Seed(seed); }
void ReseedEngineRandomFromClock() { DefaultRenderContext().ReseedFromClock(); }
void SetEngineStepBudget(std::int64_t mainSteps) { DefaultRenderContext().SetStepBudget(mainSteps); }
TEngineCounters GetEngineCounters() { return DefaultRenderContext().Counters(); }
void ClearEngineCounters() { DefaultRenderContext().ClearCounters(); }
const TFractalParams* EngineRecord() { return DefaultRenderContext().Record(); }
void SetEnginePumpInterval(std::chrono::microseconds interval) { DefaultRenderContext().SetPumpInterval(interval); }
void ResetEngineState() { DefaultRenderContext().ResetState(); }
