#include "engine/run_loop.h"

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "engine/engine_math.h"
#include "engine/round.h"

namespace {

constexpr double kStartValue = 0.0001;
constexpr const char* kNoPicture = "The fractal has no picture to draw into";
constexpr const char* kListsTooSmall = "The hit-count lists are smaller than the picture's grid of cells";

}  // namespace

TRenderTarget RenderTargetOf(const TFractalParams& v) {
  const std::int64_t n = GridSizeOf(v);
  const std::int64_t cells = GridCellsOf(v);
  TRenderTarget t;
  t.gridRows = v.countsOnly ? std::max(v.imageHeight, 0) : n;
  t.cells = cells;
  if (cells > 0) {
    if (v.image == nullptr && !v.countsOnly) throw std::invalid_argument(kNoPicture);
    THitList* lists[3] = {v.redList, v.greenList, v.blueList};
    for (int c = 0; c < 3; ++c) {
      if (lists[c] == nullptr || static_cast<std::int64_t>(lists[c]->size()) < cells)
        throw std::invalid_argument(kListsTooSmall);
      t.counts[c] = lists[c]->data();
    }
    if (v.leadList != nullptr && static_cast<std::int64_t>(v.leadList->size()) >= cells) t.lead = v.leadList->data();
  }
  t.plotXMin = v.plotXMin;
  t.plotYMin = v.plotYMin;
  t.xSpan = v.plotXMax - v.plotXMin;
  t.ySpan = v.plotYMax - v.plotYMin;
  t.plotWidth = v.plotWidth;
  t.plotHeight = v.plotHeight;
  // Cells beyond the grid would lie outside the lists, whatever plotWidth says.
  const std::int64_t gridColumns = v.countsOnly ? std::max(v.imageWidth, 0) : n;
  t.columns = static_cast<std::uint32_t>(std::clamp<std::int64_t>(v.plotWidth, 0, gridColumns));
  t.rows = static_cast<std::uint32_t>(std::clamp<std::int64_t>(v.plotHeight, 0, t.gridRows));
  t.image = v.countsOnly ? nullptr : v.image;
  t.weight = Round(1.0 * v.intensity);
  t.colour = ColourInputsOf(v);
  for (int fourth = 0; fourth < 3; ++fourth) {
    std::int64_t* added = t.added[fourth];
    added[0] = 2 * static_cast<std::int64_t>(t.weight);
    added[1] = t.weight;
    added[2] = 0;
    added[fourth] += t.weight;
  }
  if (v.colouring == TColouring::Gradient && cells > 0 && v.colourCells != nullptr &&
      static_cast<std::int64_t>(v.colourCells->sums.size()) >= cells &&
      static_cast<std::int64_t>(v.colourCells->hits.size()) >= cells) {
    t.gradient = true;
    t.colourSums = v.colourCells->sums.data();
    t.colourHits = v.colourCells->hits.data();
    for (int k = 0; k < 3; ++k) t.colourPositions[k] = ColourPositionOrDefault(v, k);
  }
  t.noneOnly = v.none && !(v.linear || v.sinusoidal || v.spherical || v.swirl || v.horseshoe || v.polar || v.bent);
  const bool ifs0101Only = v.ifs01 && v.ifs0101 && !(v.ifs0102 || v.ifs0103 || v.ifs0104 || v.ifs0105 ||
                                                     v.ifs0106 || v.ifs0107 || v.ifs0108);
  const bool otherFamily = v.latoocarfian01 || v.latoocarfian02 || v.mira01 || v.ifs02 || v.cif01 || v.cif02;
  t.kind = ifs0101Only && !otherFamily && t.noneOnly ? EStepKind::Ifs0101None : EStepKind::General;
  return t;
}

void DrawRandomCoefficients(TEngineState& s) {
  s.random.Randomize();
  TFractalParams& v = *s.v;
  v.lyapunov = 0.0;
  v.ticks = 0;
  const Ext spread = v.randomizer;
  for (int k = 1; k <= kCoefficientCount; ++k) {
    v.af[k] = static_cast<double>((static_cast<Ext>(s.random.Next()) - 0.5) * spread);
    v.af2[k] = static_cast<double>((static_cast<Ext>(s.random.Next()) - 0.5) * spread);
  }
  v.randomize = false;
}

void StartOrbitOver(TEngineState& s) {
  TFractalParams& v = *s.v;
  v.ticks = 0;
  v.iterations = 0;
  s.x = kStartValue;
  s.y = kStartValue;
  s.z = kStartValue;
  s.fx = s.x;
  s.fy = s.y;
  // The colour coordinate is left as it is: each step halves what it remembers of where it started.
}

// Black for the cells (ix, iy) < N that lie inside the picture; the rest of an N x N grid is off the picture.
void ClearPicture(TPixelGraphic& image, std::int64_t n) {
  const int columns = static_cast<int>(std::min<std::int64_t>(n, image.Width()));
  const int rows = static_cast<int>(std::min<std::int64_t>(n, image.Height()));
  if (image.Empty() || columns <= 0 || rows <= 0) return;
  if (image.ColorRes() == TColorRes::Bits24) {
    for (int iy = 0; iy < rows; ++iy) std::memset(image.ScanLine(iy), 0, static_cast<std::size_t>(columns) * 3);
    return;
  }
  for (int ix = 0; ix < columns; ++ix)
    for (int iy = 0; iy < rows; ++iy) image.SetPixel(ix, iy, 0);
}

void TRunLoop::TakeOver(TFractalParams* v) {
  lead_ = context_.State();
  lead_.v = v;
  ClearFaultFlags();
}

void TRunLoop::Start(TFractalParams* v) {
  const THandBack handBack{*this};
  TakeOver(v);
  if (v->randomize) MakeRandomCoefficients();
  Reset();
  Loop();
}

void TRunLoop::Loop() {
  using Clock = std::chrono::steady_clock;
  const auto interval = context_.PumpInterval();
  auto lastPump = Clock::now();
  for (;;) {
    if (lead_.v->abort) break;
    if (lead_.stepBudget == 0) {
      lead_.v->abort = true;
      break;
    }
    if (Advance() && (interval.count() == 0 || Clock::now() - lastPump >= interval)) {
      Pump();
      lastPump = Clock::now();
    }
  }
  PaintAll();
}

void TRunLoop::Pump() {
  if (context_.Host() == nullptr) return;
  ++lead_.pumps;
  CallHost(&EngineHost::ProcessMessages);
  if (!lead_.v->abort && lead_.stepBudget != 0) Refresh();
}

// The host may change anything, start a nested run on this context (which leaves its own state there), or raise
// floating-point flags of its own, which must not be blamed on the next step. No worker runs meanwhile.
void TRunLoop::CallHost(void (EngineHost::*call)()) {
  EngineHost* host = context_.Host();
  if (host == nullptr) return;
  PaintAll();
  context_.State() = lead_;
  inHost_ = true;
  (host->*call)();
  inHost_ = false;
  ClearFaultFlags();
  lead_ = context_.State();
}

void TRunLoop::RandomRestart() {
  // Every point and every Lyapunov estimate was checked already: a flag still raised can only come from the
  // escape test's product and is no fault.
  ClearFaultFlags();
  ++lead_.restarts;
  MakeRandomCoefficients();
  Reset();
}

void TRunLoop::MakeRandomCoefficients() {
  DrawRandomCoefficients(lead_);
  CallHost(&EngineHost::ParametersUpdate);
}

// Orbit 0 starts over on a black picture with empty counts; what was waiting to be painted goes with the picture.
void TRunLoop::Reset() {
  StartOrbitOver(lead_);
  DropPending();
  Refresh();
  ResetOtherOrbits();
  lead_.gridSize = static_cast<std::int32_t>(target_.gridRows);
  const std::int64_t cells = target_.cells;
  if (cells == 0) return;
  for (int c = 0; c < 3; ++c) std::fill_n(target_.counts[c], cells, 0);
  if (target_.lead != nullptr) std::fill_n(target_.lead, cells, 0);
  if (target_.gradient) {
    std::fill_n(target_.colourSums, cells, 0);
    std::fill_n(target_.colourHits, cells, 0);
  }
  if (target_.image != nullptr) ClearPicture(*target_.image, target_.gridRows);
}
