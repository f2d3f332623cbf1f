// What the single-orbit run (formula.cpp) and the parallel orbits (orbits.cpp) share inside the engine: the record
// taken and checked as a render target, the one hit accumulator and cell painter, and the one run loop with the
// step budget, pumping, host calls, random restarts and the final paint. Not for hosts: they use formula.h,
// orbits.h and render_context.h.
//
// Words: a step is one main step of one orbit (with its Lyapunov step while there is one); a pass is what the run
// loop does between two looks at abort (a step, or a random restart); a batch is a stretch of steps of one orbit
// made at once and checked for faults once; a round is a stretch of steps of K orbits whose hits are merged at once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/colouring.h"
#include "engine/engine_state.h"
#include "engine/fractal_params.h"
#include "engine/render_context.h"
#include "engine/tone.h"
#include "image/pixel_graphic.h"

// The Lyapunov steps follow the first this many main steps of an orbit after a restart.
inline constexpr std::int64_t kLyapunovSteps = 10000;
// The fourth hit of a point goes to blue, red or green by map group (offset 0, 19 or 39).
inline constexpr int kFourthHit[3] = {2, 0, 1};
inline constexpr const char* kNoRecord = "RunFractal needs a parameter record";

inline std::int64_t GridSizeOf(const TFractalParams& v) {
  return std::max<std::int64_t>(0, std::max(v.imageWidth, v.imageHeight));
}
// The cells of the record's lists: N x N, or width x height for a counts-only render.
inline std::int64_t GridCellsOf(const TFractalParams& v) {
  if (v.countsOnly) return std::int64_t{std::max(v.imageWidth, 0)} * std::max(v.imageHeight, 0);
  return GridSizeOf(v) * GridSizeOf(v);
}

inline std::int32_t Saturated(std::int64_t count) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// The formula stage as a batch runs it: the usual IFS0101 + None spelt out, or the general chain of switches.
enum class EStepKind { General, Ifs0101None };

// What a run needs from the record, checked once and taken again after every call into the host, the only place
// where the record can change during a run, so that a change made by a handler takes effect at the next hit.
struct TRenderTarget {
  // Where a point lands.
  double plotXMin = 0, plotYMin = 0;
  double xSpan = 0, ySpan = 0;  // plotXMax - plotXMin, plotYMax - plotYMin
  double plotWidth = 0, plotHeight = 0;
  std::uint32_t columns = 0, rows = 0;  // hits with ix < columns and iy < rows are counted
  std::int64_t gridRows = 0;            // cells per column of the lists: N, or the height of a counts-only render
  std::int64_t cells = 0;               // cells of the lists
  // What its hits count and how its cell is painted.
  std::int32_t* counts[3] = {nullptr, nullptr, nullptr};
  std::uint8_t* lead = nullptr;  // the record's lead list, when it has one of the grid's size
  TPixelGraphic* image = nullptr;  // none for a counts-only render
  std::int32_t weight = 0;
  TColourInputs colour;
  // What the four hits of a point (red, green, red, then the fourth) add to the red, green and blue counts, by the
  // channel of the fourth hit.
  std::int64_t added[3][3] = {};
  // The gradient colouring, when the record asks for it and has colour cells of the grid's size: each step moves
  // the orbit's colour coordinate halfway to its map group's position, and each point adds its colour level.
  bool gradient = false;
  double colourPositions[3] = {0, 0, 0};
  std::uint64_t* colourSums = nullptr;
  std::uint32_t* colourHits = nullptr;
  // How an orbit steps.
  bool noneOnly = false;  // the variation stage is the identity
  EStepKind kind = EStepKind::General;
};

// Raises std::invalid_argument when the record has no picture (but counts only) or lists too small for its grid.
TRenderTarget RenderTargetOf(const TFractalParams& v);

// The four hits of a point in `cell`, the fourth on channel `fourth`: each count saturates.
inline void AddHits(const TRenderTarget& t, std::int64_t cell, int fourth) {
  const std::int64_t* added = t.added[fourth];
  for (int c = 0; c < 3; ++c) t.counts[c][cell] = Saturated(t.counts[c][cell] + added[c]);
}

// The colour level (0 .. kColourLevels - 1) a point with colour coordinate c (0..1) adds to its cell.
inline std::uint32_t ColourLevelOf(double c) {
  const std::int32_t level = static_cast<std::int32_t>(c * kColourLevels);
  return static_cast<std::uint32_t>(std::clamp<std::int32_t>(level, 0, kColourLevels - 1));
}

// One point of the gradient colouring in `cell`. A cell whose point count is saturated keeps its sum too, so that
// its mean stays that of the points it counted.
inline void AddColour(const TRenderTarget& t, std::int64_t cell, std::uint32_t level) {
  const std::uint32_t hits = t.colourHits[cell];
  if (hits == std::numeric_limits<std::uint32_t>::max()) [[unlikely]]
    return;
  t.colourHits[cell] = hits + 1;
  t.colourSums[cell] += level;
}

// Paints a cell from its counts, `channel` being that of its last hit, which the lead list keeps. The colour
// arithmetic saturates (Round and the clamp to 0..255) rather than ending the run: an absurd colour factor or
// intensity from a file gives a saturated picture, and the flags it may raise are not the formula's.
inline void PaintCell(const TRenderTarget& t, std::int64_t cell, int channel) {
  if (t.lead != nullptr) t.lead[cell] = static_cast<std::uint8_t>(channel + 1);
  if (t.image == nullptr) return;
  const std::int32_t count[3] = {t.counts[0][cell], t.counts[1][cell], t.counts[2][cell]};
  const TColor colour = HitColor(t.colour, count, static_cast<THitChannel>(channel));
  t.image->SetPixel(static_cast<int>(cell / t.gridRows), static_cast<int>(cell % t.gridRows), colour);
}

// "Make random coefficients" without the host's ParametersUpdate: draws af and af2 from orbit.random.
void DrawRandomCoefficients(TEngineState& orbit);
// The orbit starts over at the start point with its iterations and ticks at 0. Picture and counts are left alone.
void StartOrbitOver(TEngineState& orbit);
// Black for the cells (ix, iy) < n that lie inside the picture.
void ClearPicture(TPixelGraphic& image, std::int64_t n);

// The one run loop of a render, one orbit or many. A run works on its own copy of orbit 0 (Lead) and hands it back
// to its context before every host call and when it ends, unless it ends inside the host, where a nested run has
// left its own. What a run does between two looks at abort (Advance), how it paints what it has counted, and what
// it keeps besides orbit 0 are its own.
class TRunLoop {
 public:
  TRunLoop(const TRunLoop&) = delete;
  TRunLoop& operator=(const TRunLoop&) = delete;

 protected:
  TRunLoop(TRenderContext& context, TEngineState& lead) : context_(context), lead_(lead) {}
  ~TRunLoop() = default;

  // A new run: random coefficients when the record asks for them, a reset, then the loop.
  void Start(TFractalParams* v);
  // Goes on from the context's orbit and the record as they stand: no new coefficients and no reset. `resume`
  // restores what the run keeps besides orbit 0 before the loop starts.
  template <class TResume>
  void Resume(TFractalParams* v, TResume resume) {
    const THandBack handBack{*this};
    TakeOver(v);
    Refresh();
    lead_.gridSize = static_cast<std::int32_t>(target_.gridRows);
    resume();
    Loop();
  }

  // One or more passes; true when the loop is to look at the clock (and maybe pump) now.
  virtual bool Advance() = 0;
  // Paints every counted cell not yet painted, and clears stray floating-point flags.
  virtual void PaintAll() = 0;
  // Forgets what waits to be painted: the picture is about to be cleared.
  virtual void DropPending() = 0;
  // Takes the record again (target_) and what the run derives from it.
  virtual void Refresh() = 0;
  // The orbits besides orbit 0 start over after a reset.
  virtual void ResetOtherOrbits() {}

  void RandomRestart();
  void CallHost(void (EngineHost::*call)());

  // Hands orbit 0 back to the context when it goes, however the run ends.
  struct THandBack {
    TRunLoop& run;
    ~THandBack() {
      if (!run.inHost_) run.context_.State() = run.lead_;
    }
  };
  void TakeOver(TFractalParams* v);

  TRenderContext& context_;
  TEngineState& lead_;
  TRenderTarget target_;

 private:
  void Loop();
  void Pump();
  void MakeRandomCoefficients();
  void Reset();

  bool inHost_ = false;
};

// Runs `run` and, when the record paints by log density, which depends on the total of all hits, paints the whole
// picture once it has returned, however it ends: what the run painted cell by cell on the way is replaced.
// So does the gradient colouring, which paints by log density too.
template <class TRun>
void RunThenPaint(TFractalParams* v, TRun run) {
  try {
    run();
  } catch (...) {
    if (v->logDensity || PaintsByGradient(*v)) RepaintPicture(*v);
    throw;
  }
  if (v->logDensity || PaintsByGradient(*v)) RepaintPicture(*v);
}

// One formula step on the context's orbit 0 (formula.cpp).
void RunSingleFormulaStep(TRenderContext& context);

// Up to `steps` main steps of `orbit` (its record is orbit.v) onto `target`, each point noted in `log` as
// (cell << 2) | channel of its fourth hit, kNoHitLogged off the picture, room for two points per step; `logCount`
// says how many, also when a fault raises EFloatingPointFault. Never calls the host nor touches counts or picture.
// The leader makes the Lyapunov steps and stops where a run would restart with new coefficients; any other orbit
// that escapes starts its own point over and goes on.
enum class TOrbitEnd {
  Steps,    // all the steps asked for were made
  Restart,  // the leader stopped where a run makes a random restart (escape or wild Lyapunov estimate)
};
inline constexpr std::uint32_t kNoHitLogged = 0xFFFFFFFFu;
// With the gradient colouring, `levels` receives each logged point's colour level beside its log entry.
TOrbitEnd RunOrbitSteps(TEngineState& orbit, const TRenderTarget& target, std::int64_t steps, bool leader,
                        std::uint32_t* log, std::uint16_t* levels, std::size_t& logCount);
