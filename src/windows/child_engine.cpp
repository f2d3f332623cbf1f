// The engine call of a fractal window's pass, and what a pass leaves for Continue. Every pass of the window, new or
// continued, nested or not, reaches the engine through RunEngine.
//
// A parallel pass steps its orbits on worker threads; the engine calls back into the window (the frame's
// ProcessMessages and ParametersUpdate) only on this, the GUI thread, between rounds while no worker runs. So
// everything a callback does -- repaint, progress caption, Stop, a nested pass, Exit -- sees the record, the
// picture and the hit lists at rest, exactly as with the single orbit.
#include "windows/childwin.h"

#include <thread>

#include "engine/formula.h"
#include "engine/orbits.h"

TPassShape TMDIChild::PassShape() const {
  return PassShapeOf(drawingOptions_ ? *drawingOptions_ : ownDrawingOptions_, std::thread::hardware_concurrency());
}

int TMDIChild::PassOrbits() const { return PassShape().orbits; }

int TMDIChild::PassThreads() const { return PassShape().threads; }

void TMDIChild::RunEngine(TEngineRun run) {
  // What this call continues from is taken now: a nested pass started from inside it may leave its own.
  TOrbitsLeft others;
  // Continuing puts a seeded stream into the engine; a window's new coefficients still come from the clock after.
  const bool seeded = DefaultRenderContext().Seeded();
  if (run == TEngineRun::Continue) {
    RestoreEngineOrbit(stopped_->first, v);
    others = std::move(stopped_->others);
  }
  stopped_.reset();
  struct TReseed {
    bool wanted;
    ~TReseed() {
      if (wanted) ReseedEngineRandomFromClock();
    }
  } reseed{run == TEngineRun::Continue && !seeded};
  const std::uint64_t serial = ++engineRuns_;
  // Taken once, before the engine starts: the options may change from inside this pass, for the passes after it.
  // A continued render keeps its own orbits; with the option off they step on this thread alone.
  const TPassShape shape = PassShape();
  if (run == TEngineRun::Continue) {
    if (others.others.empty())
      ContinueFractal(&v);
    else
      ContinueFractalOrbits(&v, others, shape.threads);
  } else if (shape.orbits > 1) {
    RunFractalOrbits(&v, shape.orbits, shape.threads, &others);
  } else {
    RunFractal(&v);
  }
  // A nested pass that started after this one has already left what Continue needs: the engine's state is its own.
  if (serial != engineRuns_) return;
  stopped_ = TStoppedRender{EngineOrbit(v), std::move(others), RenderFingerprintOf(v)};
}
