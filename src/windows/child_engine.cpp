// The engine call of a fractal window's pass, and what a pass leaves for Continue. Every pass of the window, new or
// continued, nested or not, reaches the engine through RunEngine.
#include "windows/childwin.h"

#include "engine/formula.h"
#include "engine/orbits.h"

int TMDIChild::PassOrbits() const { return 1; }

int TMDIChild::PassThreads() const { return 1; }

void TMDIChild::RunEngine(TEngineRun run) {
  // What this call continues from is taken now: a nested pass started from inside it may leave its own.
  TOrbitsLeft others;
  if (run == TEngineRun::Continue) {
    RestoreEngineOrbit(stopped_->first, v);
    others = std::move(stopped_->others);
  }
  stopped_.reset();
  const std::uint64_t serial = ++engineRuns_;
  if (run == TEngineRun::Continue) {
    if (others.others.empty())
      ContinueFractal(&v);
    else
      ContinueFractalOrbits(&v, others, PassThreads());
  } else if (PassOrbits() > 1) {
    RunFractalOrbits(&v, PassOrbits(), PassThreads(), &others);
  } else {
    RunFractal(&v);
  }
  // A nested pass that started after this one has already left what Continue needs: the engine's state is its own.
  if (serial != engineRuns_) return;
  stopped_ = TStoppedRender{EngineOrbit(v), std::move(others), RenderFingerprintOf(v)};
}
