#include "engine/formula.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/families.h"
#include "engine/huge_pages.h"
#include "engine/orbit_trace.h"
#include "engine/orbits.h"
#include "engine/round.h"
#include "engine/run_loop.h"

namespace {

constexpr double kEscapeProduct = 10000;

// How one orbit steps: the main step, the formula step with its plot, the Lyapunov step, and batches of main steps
// checked for faults at once. Where a point's hits go is the sink's business (TSink: the derived class): the
// single orbit counts them, an orbit of a parallel run notes them in its log.
template <class TSink>
class TOrbitStepper {
 protected:
  TOrbitStepper(TEngineState& s, const TRenderTarget& t) : s_(s), t_(t) {}
  ~TOrbitStepper() = default;
  TOrbitStepper(const TOrbitStepper&) = delete;
  TOrbitStepper& operator=(const TOrbitStepper&) = delete;

  void MainStep() {
    SelectMap(s_);
    if (t_.gradient) MoveColour(s_, t_);
    FormulaStep();
    ++s_.v->iterations;
    ++s_.mainSteps;
    if (s_.stepBudget > 0) --s_.stepBudget;
  }

  void FormulaStep() {
    ApplyFormulas<EStepKind::General>(s_, *s_.v, t_.noneOnly);
    Plot();
  }

  // Iterates a neighbour of the orbit and measures how fast the two separate. True when the orbit must be restarted
  // with new coefficients.
  bool LyapunovStep() {
    using families::D;
    using families::E;
    TFractalParams& v = *s_.v;
    if (v.iterations <= 1) {
      s_.lsum = 0;
      s_.xe = D(E(s_.fx) + static_cast<Ext>(0.000001L));
      s_.ye = 0;
    }
    s_.xs = s_.fx;
    s_.ys = s_.fy;
    s_.fx = s_.xe;
    s_.fy = s_.ye;
    FormulaStep();
    const double dx = D(E(s_.x) - s_.xs), dy = D(E(s_.y) - s_.ys);
    if (dx == 0 && dy == 0) {
      v.lyapunov = 0.0;
    } else {
      // The neighbour is pulled back to the distance 1/sqrt(1e11) from the main point; x and y keep its image.
      const double d2 = D(E(dx) * dx + E(dy) * dy);
      const double df = D(E(1e11) * d2);
      const double rs = D(1 / E(std::sqrt(df)));
      double xe = D(E(s_.xs) + (E(s_.x) - s_.xs) * rs);
      double ye = D(E(s_.ys) + (E(s_.y) - s_.ys) * rs);
      double lsum = D(E(s_.lsum) + std::log(df));
      // 0.721348 = 1 / (2 ln 2): the estimate is in bits per iteration.
      double lyapunov = D(static_cast<Ext>(0.721348L) * lsum / v.iterations);
      ComputedBeforeFlagCheck(xe);
      ComputedBeforeFlagCheck(ye);
      ComputedBeforeFlagCheck(lsum);
      ComputedBeforeFlagCheck(lyapunov);
      // Before the restart tests below, which would clear the picture a fault must leave alone.
      CheckFaults(lyapunov, lsum);
      s_.xe = xe;
      s_.fx = s_.xs;
      s_.ye = ye;
      s_.fy = s_.ys;
      s_.lsum = lsum;
      v.lyapunov = lyapunov;
    }
    if (v.iterations > 100 && !(v.lyapunov >= -100 && v.lyapunov <= 100)) return true;
    return Escaped(s_.fx, s_.fy);
  }

  // In double, where |x| * |y| of two huge coordinates may overflow: it then still escapes, and the restart (or
  // the new start of the point) clears the flag.
  static bool Escaped(double x, double y) { return std::fabs(x) * std::fabs(y) > kEscapeProduct; }

  // Up to `limit` main steps past the Lyapunov steps (BatchSteps) with one look at the fault flags for all of them.
  // Returns the steps made; `clean` says whether they may be committed, else they are to be made again one by
  // one, which ends the run at the faulting step with its message, as if there had been no batch. A
  // flag raised before the batch would be taken for one of its own: then no batch is made, and such a step is left
  // to the one-by-one path, which deals with it as always.
  int MakeBatch(int limit, bool& clean) {
    clean = false;
    if (RaisedFaultFlags() != 0) [[unlikely]]
      return 0;
    // The gradient colouring has batches of its own, so that the defined colouring's stay as they were.
    int made = 0;
    if (t_.gradient)
      made = t_.kind == EStepKind::Ifs0101None ? BatchSteps<EStepKind::Ifs0101None, true>(limit)
                                               : BatchSteps<EStepKind::General, true>(limit);
    else
      made = t_.kind == EStepKind::Ifs0101None ? BatchSteps<EStepKind::Ifs0101None, false>(limit)
                                               : BatchSteps<EStepKind::General, false>(limit);
    if (made == 0) return 0;
    if (RaisedFaultFlags() != 0 || !batchFinite_) [[unlikely]] {
      ClearFaultFlags();
      return made;
    }
    clean = true;
    return made;
  }

  // Up to `limit` main steps as one batch. A clean batch's state becomes the state, with the counters of its
  // steps, and its points go to the sink (BatchHits); a batch whose flags are raised is made again step by step
  // with `redo`, up to the fault. Returns the steps made.
  template <class TRedo>
  int Batch(int limit, TRedo redo) {
    bool clean = false;
    const int made = MakeBatch(limit, clean);
    if (!clean) {
      for (int i = 0; i < made; ++i) redo();
      return made;
    }
    static_cast<TOrbitState&>(s_) = batchState_;
    TFractalParams& v = *s_.v;
    v.iterations += made;
    s_.mainSteps += made;
    if (s_.stepBudget > 0) s_.stepBudget -= made;
    v.plotX = s_.x;
    v.plotY = s_.y;
    Sink().BatchHits(made);
    return made;
  }

  TEngineState& s_;
  const TRenderTarget& t_;
  // A batch between its orbit and its hits: each step's cell (-1 off the picture) and map group (0, 1, 2).
  std::int64_t batchCells_[kPassesPerPumpCheck];
  std::uint8_t batchGroups_[kPassesPerPumpCheck];
  std::uint16_t batchLevels_[kPassesPerPumpCheck];  // with the gradient colouring: each step's colour level

 private:
  TSink& Sink() { return static_cast<TSink&>(*this); }

  // With one map 7.5 % of the steps still use the second coefficient group: the rounding of t decides, not m.
  static void SelectMap(TOrbitState& s, std::int32_t maps) {
    std::int32_t r = s.j;
    if (maps >= 1 && maps <= 3) r = Round(s.random.Next() * maps * 20);
    // Offset 0, 19 or 39 for group 0, 1 or 2, without a branch: the group is random from step to step, and a
    // branch on it would be mispredicted every other step.
    std::int32_t group = (r >= 19) + (r >= 39);
    __asm__("" : "+r"(group));
    s.j = 19 * group + (group >> 1);
  }
  static void SelectMap(TEngineState& s) { SelectMap(s, s.v->maps); }

  // The colour coordinate moves halfway towards the colour position of the map group just chosen.
  static void MoveColour(TOrbitState& s, const TRenderTarget& t) {
    s.colour = (s.colour + t.colourPositions[(s.j >= 19) + (s.j >= 39)]) * 0.5;
  }

  // The formula stage and the variations of a formula step: the new point in x, y (and fx, fy), not yet plotted.
  template <EStepKind K>
  static void ApplyFormulas(TOrbitState& s, const TFractalParams& v, bool noneOnly) {
    const double* a = v.af.data() + s.j;
    if constexpr (K == EStepKind::Ifs0101None) {
      families::Ifs0101(s, a);
    } else {
      const double* b = v.af2.data() + s.j;
      if (v.latoocarfian01) families::Latoocarfian01(s, a);
      if (v.latoocarfian02) families::Latoocarfian02(s, a, b);
      if (v.mira01) families::Mira(s, v);
      if (v.ifs01) families::Ifs01(s, v, a);
      if (v.ifs02) families::Ifs02(s, b);
      if (v.cif01) families::Cif01(s, a, v.af.data());
      if (v.cif02) families::Cif02(s, b);
    }
    if (K == EStepKind::Ifs0101None || noneOnly) {
      // The usual case spelt out: fx := 0 + x (which also turns -0 into +0).
      s.fx = 0.0 + s.x;
      s.fy = 0.0 + s.y;
    } else {
      families::Variations(s, v);
    }
    s.x = s.fx;
    s.y = s.fy;
  }

  // The pixel column (or row) of a coordinate. A point on or beyond the left (lower) edge is pushed out of range.
  static std::int32_t PixelOf(double u, double min, double span, double size) {
    return Round(u > min ? (u - min) / span * size : size);
  }

  // The point's cell, or -1 off the picture.
  static std::int64_t CellOf(const TRenderTarget& t, double x, double y) {
    const std::int32_t ix = PixelOf(x, t.plotXMin, t.xSpan, t.plotWidth);
    const std::int32_t iy = PixelOf(y, t.plotYMin, t.ySpan, t.plotHeight);
    const bool inside = static_cast<std::uint32_t>(ix) < t.columns && static_cast<std::uint32_t>(iy) < t.rows;
    return inside ? static_cast<std::int64_t>(ix) * t.gridRows + iy : -1;
  }

  // A point is checked before it touches the picture. Its four hits (red, green, red, then one chosen by the map
  // offset) all land in the same cell and go to the sink at once.
  void Plot() {
    const double x = s_.x, y = s_.y;
    const std::int64_t cell = CellOf(t_, x, y);
    double checkX = x, checkY = y;
    ComputedBeforeFlagCheck(checkX);
    ComputedBeforeFlagCheck(checkY);
    CheckFaults(checkX, checkY);
    s_.v->plotX = x;
    s_.v->plotY = y;
    if (cell < 0) {
      Sink().Miss();
      return;
    }
    Sink().Hit(cell, kFourthHit[(s_.j >= 19) + (s_.j >= 39)], ColourLevelOf(s_.colour));
  }

  // The orbit of a batch: leaves the state after it in batchState_, each step's cell and map group in batchCells_
  // and batchGroups_, and whether every point was finite in batchFinite_.
  // Not inlined: in a function of its own the orbit keeps its variables in registers.
  template <EStepKind K, bool Gradient>
  [[gnu::noinline]] int BatchSteps(int limit) {
    TOrbitState s = s_;
    const TFractalParams& v = *s_.v;
    // Copies the batch's stores cannot alias, so that they stay in registers.
    const TRenderTarget t = t_;
    const std::int32_t maps = v.maps;
    double nonFinite = 0;  // stays 0 while every point is finite
    int made = 0;
    for (; made < limit; ++made) {
      if (Escaped(s.x, s.y)) break;  // the step restarts: not made here
      SelectMap(s, maps);
      if constexpr (Gradient) MoveColour(s, t);
      ApplyFormulas<K>(s, v, t.noneOnly);
      const double x = s.x, y = s.y;
      nonFinite += (x - x) + (y - y);
      batchCells_[made] = CellOf(t, x, y);
      batchGroups_[made] = static_cast<std::uint8_t>((s.j >= 19) + (s.j >= 39));
      if constexpr (Gradient) batchLevels_[made] = static_cast<std::uint16_t>(ColourLevelOf(s.colour));
    }
    // Everything the batch computed is in memory before the flags are read.
    batchState_ = s;
    batchFinite_ = nonFinite == 0;
    __asm__ volatile("" ::: "memory");
    return made;
  }

  // A NaN or infinite point without a flag (a NaN coefficient, say) is a fault too, or it would spin silently
  // plotting nothing.
  void CheckFaults(double a, double b) {
    const int flags = RaisedFaultFlags();
    if (flags != 0 || !std::isfinite(a) || !std::isfinite(b)) [[unlikely]]
      Fault(flags, a, b);
  }

  [[noreturn]] [[gnu::cold]] [[gnu::noinline]] void Fault(int flags, double a, double b) {
    // A division by zero or an overflow usually turns into an invalid operation a little later: name the cause.
    const char* message = kFaultInvalidOperation;
    if (flags & FE_DIVBYZERO)
      message = kFaultDivisionByZero;
    else if (flags & FE_OVERFLOW)
      message = kFaultOverflow;
    else if (flags == 0 && !std::isnan(a) && !std::isnan(b))
      message = kFaultOverflow;
    Sink().BeforeFault();
    s_.v->abort = true;
    throw EFloatingPointFault(message);
  }

  TOrbitState batchState_;
  bool batchFinite_ = true;
};

// The single orbit: its hits are counted as they come. Painting waits: nothing can look at the picture between two
// calls into the host, so a touched cell only notes the channel of its last hit and is painted from its final
// counts before the next host call (or when the run ends) -- the same colour the last hit would have painted, for a
// fraction of the work.
class TSingleRun final : public TRunLoop, public TOrbitStepper<TSingleRun> {
 public:
  explicit TSingleRun(TRenderContext& context)
      : TRunLoop(context, state_), TOrbitStepper<TSingleRun>(state_, TRunLoop::target_) {}

  void Run(TFractalParams* v) { Start(v); }
  void Continue(TFractalParams* v) {
    Resume(v, [] {});
  }

  void SingleFormulaStep() {
    const THandBack handBack{*this};
    state_ = context_.State();
    if (state_.v == nullptr) throw std::invalid_argument(kNoRecord);
    ClearFaultFlags();
    Refresh();
    FormulaStep();
    PaintPending();
  }

 private:
  friend class TOrbitStepper<TSingleRun>;

  // Past the Lyapunov steps the passes up to the next look at the clock go as one batch (nothing but a host call
  // can change the record or set abort in between); a pass the batch does not make is made here. A random restart
  // clears the whole picture, which on a large one costs more than a pump: the clock is looked at after it too, or
  // a run that keeps restarting would leave the host without control for seconds.
  bool Advance() override {
    const std::int64_t restarts = state_.restarts;
    int done = state_.v->iterations >= kLyapunovSteps ? PassBatch(kPassesPerPumpCheck - passes_) : 0;
    if (done == 0) {
      Pass();
      done = 1;
    }
    passes_ += done;
    if (passes_ < kPassesPerPumpCheck && state_.restarts == restarts) return false;
    passes_ = 0;
    return true;
  }

  void Pass() {
    if (Escaped(state_.x, state_.y)) {
      RandomRestart();
      return;
    }
    MainStep();
    if (state_.v->iterations < kLyapunovSteps && LyapunovStep()) RandomRestart();
  }

  // Up to `limit` passes as one batch, fewer when the step budget or an escaping point says so. Returns the passes
  // made.
  int PassBatch(int limit) {
    if (state_.stepBudget > 0 && state_.stepBudget < limit) limit = static_cast<int>(state_.stepBudget);
    return Batch(limit, [this] { Pass(); });
  }

  void BatchHits(int made) {
    // A copy the marks' byte stores cannot alias.
    const TRenderTarget t = target_;
    if (t.gradient)
      for (int i = 0; i < made; ++i)
        if (batchCells_[i] >= 0) AddColour(t, batchCells_[i], batchLevels_[i]);
    if (t.image == nullptr) {
      // Counts only: nothing to paint, so a hit notes its channel in the lead list at once.
      for (int i = 0; i < made; ++i) {
        const std::int64_t cell = batchCells_[i];
        if (cell < 0) continue;
        const int fourth = kFourthHit[batchGroups_[i]];
        AddHits(t, cell, fourth);
        if (t.lead != nullptr) t.lead[cell] = static_cast<std::uint8_t>(fourth + 1);
      }
      return;
    }
    for (int i = 0; i < made; ++i) {
      const std::int64_t cell = batchCells_[i];
      if (cell >= 0) HitOn(t, cell, kFourthHit[batchGroups_[i]]);
    }
  }

  void Hit(std::int64_t cell, int fourth, std::uint32_t level) {
    if (target_.gradient) AddColour(target_, cell, level);
    if (target_.image == nullptr) {
      AddHits(target_, cell, fourth);
      if (target_.lead != nullptr) target_.lead[cell] = static_cast<std::uint8_t>(fourth + 1);
      return;
    }
    HitOn(target_, cell, fourth);
  }
  // The channel is noted before the cell can be painted: a full list paints at once, this cell included, and a
  // cell painted without its channel would colour it from no channel at all.
  void HitOn(const TRenderTarget& t, std::int64_t cell, int fourth) {
    AddHits(t, cell, fourth);
    std::uint8_t& last = lastHit_[static_cast<std::size_t>(cell)];
    const bool painted = last == 0;
    last = static_cast<std::uint8_t>(fourth + 1);
    if (painted) {
      pending_[pendingCount_++] = cell;
      if (pendingCount_ == kPendingCapacity) PaintPending();
    }
  }
  void Miss() {}
  void BeforeFault() { PaintPending(); }

  void PaintPending() {
    for (std::size_t i = 0; i < pendingCount_; ++i) {
      const std::int64_t cell = pending_[i];
      std::uint8_t& last = lastHit_[static_cast<std::size_t>(cell)];
      PaintCell(target_, cell, last - 1);
      last = 0;
    }
    pendingCount_ = 0;
    ClearFaultFlags();
  }

  void PaintAll() override { PaintPending(); }

  void DropPending() override {
    for (std::size_t i = 0; i < pendingCount_; ++i) lastHit_[static_cast<std::size_t>(pending_[i])] = 0;
    pendingCount_ = 0;
  }

  void Refresh() override {
    target_ = RenderTargetOf(*state_.v);
    // Nothing is pending here (painting precedes every host call, a reset drops it), so the marks may be made anew.
    const std::int64_t cells = target_.cells;
    if (static_cast<std::int64_t>(lastHit_.size()) != cells) AssignZeroedList(lastHit_, static_cast<std::size_t>(cells));
    if (pending_.empty()) pending_.resize(kPendingCapacity);
  }

  static constexpr std::size_t kPendingCapacity = std::size_t{1} << 16;

  TEngineState state_;
  int passes_ = 0;                     // passes since the loop last looked at the clock
  std::vector<std::uint8_t> lastHit_;  // per cell: 0 = painted, else 1 + channel of its last hit
  std::vector<std::int64_t> pending_;  // cells with unpainted hits
  std::size_t pendingCount_ = 0;
};

// An orbit of a parallel run: its points go to its log, and it never calls the host; the run that owns the orbits
// merges the logs.
class TLoggedOrbit final : public TOrbitStepper<TLoggedOrbit> {
 public:
  TLoggedOrbit(TEngineState& orbit, const TRenderTarget& target) : TOrbitStepper<TLoggedOrbit>(orbit, target) {}

  TOrbitEnd Run(std::int64_t steps, bool leader, std::uint32_t* log, std::uint16_t* levels, std::size_t& logCount) {
    log_ = log;
    levels_ = t_.gradient ? levels : nullptr;
    logCount_ = 0;
    struct TCountOnExit {
      const std::size_t& from;
      std::size_t& to;
      ~TCountOnExit() { to = from; }
    } countOnExit{logCount_, logCount};
    ClearFaultFlags();
    for (std::int64_t made = 0; made < steps;) {
      if (Escaped(s_.x, s_.y)) {
        if (leader) return TOrbitEnd::Restart;
        ClearFaultFlags();
        StartOrbitOver(s_);
        continue;
      }
      if (!leader || s_.v->iterations >= kLyapunovSteps) {
        const int limit = static_cast<int>(std::min<std::int64_t>(steps - made, kPassesPerPumpCheck));
        const int done = Batch(limit, [this] { MainStep(); });
        if (done > 0) {
          made += done;
          continue;
        }
      }
      MainStep();
      ++made;
      if (leader && s_.v->iterations < kLyapunovSteps && LyapunovStep()) return TOrbitEnd::Restart;
    }
    return TOrbitEnd::Steps;
  }

 private:
  friend class TOrbitStepper<TLoggedOrbit>;

  void BatchHits(int made) {
    if (levels_ != nullptr)
      for (int i = 0; i < made; ++i) levels_[logCount_ + static_cast<std::size_t>(i)] = batchLevels_[i];
    for (int i = 0; i < made; ++i) {
      const std::int64_t cell = batchCells_[i];
      if (cell < 0)
        Miss();
      else
        Hit(cell, kFourthHit[batchGroups_[i]]);
    }
  }

  void Hit(std::int64_t cell, int fourth) {
    log_[logCount_++] = static_cast<std::uint32_t>(cell) << 2 | static_cast<std::uint32_t>(fourth);
  }
  void Hit(std::int64_t cell, int fourth, std::uint32_t level) {
    if (levels_ != nullptr) levels_[logCount_] = static_cast<std::uint16_t>(level);
    Hit(cell, fourth);
  }
  void Miss() { log_[logCount_++] = kNoHitLogged; }
  void BeforeFault() {}

  std::uint32_t* log_ = nullptr;
  std::uint16_t* levels_ = nullptr;  // with the gradient colouring only
  std::size_t logCount_ = 0;
};

// An orbit traced without a picture: every point goes to the trace, none to a target. The target has no cells, so
// each point counts as off the picture; the neighbour points of the Lyapunov steps are not noted.
class TTracedOrbit final : public TOrbitStepper<TTracedOrbit> {
 public:
  TTracedOrbit(TEngineState& orbit, const TRenderTarget& target) : TOrbitStepper<TTracedOrbit>(orbit, target) {}

  void Run(std::int64_t steps, TOrbitTrace& trace) {
    trace_ = &trace;
    ClearFaultFlags();
    for (std::int64_t made = 0; made < steps; ++made) {
      if (Escaped(s_.x, s_.y)) {
        trace.end = TTraceEnd::Restart;
        break;
      }
      noting_ = true;
      MainStep();
      noting_ = false;
      if (s_.v->iterations < kLyapunovSteps && LyapunovStep()) {
        trace.end = TTraceEnd::Restart;
        break;
      }
    }
    trace.lyapunov = s_.v->lyapunov;
    ClearFaultFlags();
  }

 private:
  friend class TOrbitStepper<TTracedOrbit>;

  void Hit(std::int64_t, int, std::uint32_t) { Note(); }
  void Miss() { Note(); }
  void BeforeFault() {}
  void BatchHits(int) {}
  void Note() {
    if (!noting_) return;
    trace_->x.push_back(s_.x);
    trace_->y.push_back(s_.y);
  }

  TOrbitTrace* trace_ = nullptr;
  bool noting_ = false;
};

}  // namespace

void TRenderContext::Run(TFractalParams* v) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  if (GathersHits(*v)) {
    RunOrbits(v, 1, 1);
    return;
  }
  TSingleRun run(*this);
  RunThenPaint(v, [&] { run.Run(v); });
}

void TRenderContext::Continue(TFractalParams* v) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  if (GathersHits(*v)) {
    TOrbitsLeft alone;
    ContinueOrbits(v, alone, 1);
    return;
  }
  TSingleRun run(*this);
  RunThenPaint(v, [&] { run.Continue(v); });
}

void RunSingleFormulaStep(TRenderContext& context) {
  TSingleRun run(context);
  run.SingleFormulaStep();
}

TOrbitEnd RunOrbitSteps(TEngineState& orbit, const TRenderTarget& target, std::int64_t steps, bool leader,
                        std::uint32_t* log, std::uint16_t* levels, std::size_t& logCount) {
  TLoggedOrbit stepper(orbit, target);
  return stepper.Run(steps, leader, log, levels, logCount);
}

TOrbitTrace TraceOrbit(const TFractalParams& v, std::uint64_t seed, std::int64_t steps) {
  TFractalParams record = v;
  record.image = nullptr;
  record.redList = record.greenList = record.blueList = nullptr;
  record.leadList = nullptr;
  TEngineState orbit;
  orbit.random.Seed(seed);
  orbit.v = &record;
  StartOrbitOver(orbit);
  // No cells: every point lies off the picture, and the spans keep the pixel arithmetic finite.
  TRenderTarget target;
  target.plotXMin = target.plotYMin = -1;
  target.xSpan = target.ySpan = 2;
  target.plotWidth = target.plotHeight = 1;
  target.noneOnly = v.none && !v.linear && !v.sinusoidal && !v.spherical && !v.swirl && !v.horseshoe && !v.polar &&
                    !v.bent;
  TOrbitTrace trace;
  if (steps > 0) {
    trace.x.reserve(static_cast<std::size_t>(std::min<std::int64_t>(steps, std::int64_t{1} << 20)));
    trace.y.reserve(trace.x.capacity());
  }
  TTracedOrbit stepper(orbit, target);
  stepper.Run(steps, trace);
  return trace;
}
