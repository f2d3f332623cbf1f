#include "engine/formula.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

#include "engine/colouring.h"
#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/families.h"
#include "engine/orbit_runner.h"
#include "engine/round.h"
#include "engine/tone.h"
#include "image/pixel_graphic.h"

namespace {

TEngineState InitialState() {
  TEngineState s;
  s.random = InitialEngineRandom();
  s.stepBudget = kNoStepBudget;
  return s;
}

TEngineState g_state = InitialState();
EngineHost* g_host = nullptr;
std::chrono::microseconds g_pumpInterval = kDefaultPumpInterval;

constexpr double kEscapeProduct = 10000;
constexpr double kStartValue = 0.0001;
constexpr const char* kNoRecord = "RunFractal needs a parameter record";
constexpr const char* kNoPicture = "The fractal has no picture to draw into";
constexpr const char* kListsTooSmall = "The hit-count lists are smaller than the picture's grid of cells";

// The fourth hit of a point goes to blue, red or green by map offset 0, 19 or 39.
constexpr int kFourthHit[3] = {2, 0, 1};

std::int64_t GridSizeOf(const TFractalParams& v) {
  return std::max<std::int64_t>(0, std::max(v.imageWidth, v.imageHeight));
}

std::int32_t Saturated(std::int64_t count) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// The formula stage as the run loop picks it when the record changes: the usual IFS0101 + None spelt out, or the
// general chain of switches.
enum class EStepKind { General, Ifs0101None };

// What a hit needs from the record. Taken again after every call into the host, the only place where the record
// can change during a run, so a change made by a handler takes effect at the next hit.
struct TPlotTarget {
  double plotXMin = 0, plotYMin = 0;
  double xSpan = 0, ySpan = 0;  // plotXMax - plotXMin, plotYMax - plotYMin
  double plotWidth = 0, plotHeight = 0;
  std::uint32_t columns = 0, rows = 0;  // hits with ix < columns and iy < rows are counted
  std::int64_t gridSize = 0;
  std::int32_t* counts[3] = {nullptr, nullptr, nullptr};
  std::uint8_t* lead = nullptr;  // the record's lead list, when it has one of the grid's size
  TPixelGraphic* image = nullptr;
  std::int32_t weight = 0;
  TColourInputs colour;
  bool noneOnly = false;  // the variation stage is the identity
  EStepKind kind = EStepKind::General;
  // What the four hits of a point add to the red, green and blue counts, by map group (offset 0, 19, 39).
  std::int64_t added[3][3] = {};
};

// One run's view of the engine. It works on a private copy of an orbit's state -- the process-wide one unless told
// otherwise -- (so the compiler can keep the orbit in registers) and hands it back before every call into the host
// and when it ends, however it ends. With kLogHits (an orbit of a parallel run) a hit is noted in a log instead of
// being counted, and the runner never calls the host: the run that owns the orbits merges the logs.
template <bool kLogHits>
class TRunnerT {
 public:
  TRunnerT() : TRunnerT(g_state) {}
  explicit TRunnerT(TEngineState& home) : home_(home), s_(home) {}
  ~TRunnerT() {
    if (!inHost_) home_ = s_;
  }
  TRunnerT(const TRunnerT&) = delete;
  TRunnerT& operator=(const TRunnerT&) = delete;

  void Run(TFractalParams* v) {
    s_.v = v;
    ClearFaultFlags();
    if (v->randomize) MakeRandomCoefficients();
    Reset();
    Loop();
  }

  // Goes on from the state a run (or a restored document) left: no new coefficients, no reset of the orbit, the
  // counts or the picture.
  void Continue(TFractalParams* v) {
    s_.v = v;
    ClearFaultFlags();
    RefreshTarget();
    s_.gridSize = static_cast<std::int32_t>(t_.gridSize);
    Loop();
  }

  void SingleFormulaStep() {
    if (s_.v == nullptr) throw std::invalid_argument(kNoRecord);
    ClearFaultFlags();
    RefreshTarget();
    FormulaStep();
    PaintPending();
  }

  // Up to `steps` main steps of one orbit of a parallel run, its hits noted in `log` (room for two per step). The
  // leader (orbit 0) makes the Lyapunov steps and stops where a run would make a random restart; another orbit that
  // escapes starts its own point over and goes on. A fault raises as in a run.
  TOrbitEnd OrbitSteps(std::int64_t steps, bool leader, std::uint32_t* log, std::size_t& logCount) {
    static_assert(kLogHits, "only an orbit of a parallel run logs its hits");
    log_ = log;
    logCount_ = 0;
    struct TCountOnExit {
      const std::size_t& from;
      std::size_t& to;
      ~TCountOnExit() { to = from; }
    } countOnExit{logCount_, logCount};
    ClearFaultFlags();
    RefreshTarget();
    for (std::int64_t made = 0; made < steps;) {
      if (std::fabs(s_.x) * std::fabs(s_.y) > kEscapeProduct) {
        if (leader) return TOrbitEnd::Restart;
        ClearFaultFlags();
        StartOrbitOver(s_);
        continue;
      }
      if (!leader || s_.v->iterations >= kLyapunovSteps) {
        const int done = LoggedBatch(static_cast<int>(std::min<std::int64_t>(steps - made, kPassesPerPumpCheck)));
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
  void Loop() {
    using Clock = std::chrono::steady_clock;
    const auto interval = g_pumpInterval;
    auto lastPump = Clock::now();
    int passes = 0;
    for (;;) {
      if (s_.v->abort) break;
      if (s_.stepBudget == 0) {
        s_.v->abort = true;
        break;
      }
      const std::int64_t restarts = s_.restarts;
      // Past the Lyapunov steps the passes up to the next look at the clock go as one batch (nothing but a host
      // call can change the record or set abort in between); a pass the batch does not make is made here.
      int done = s_.v->iterations >= kLyapunovSteps ? Batch(kPassesPerPumpCheck - passes) : 0;
      if (done == 0) {
        Pass();
        done = 1;
      }
      // A random restart clears the whole picture, which on a large one costs more than a pump: look at the clock
      // after it too, or a run that keeps restarting would leave the host without control for seconds.
      passes += done;
      if (passes == kPassesPerPumpCheck || s_.restarts != restarts) {
        passes = 0;
        if (interval.count() == 0 || Clock::now() - lastPump >= interval) {
          Pump();
          lastPump = Clock::now();
        }
      }
    }
    PaintPending();
  }

  void Pass() {
    // In double, where |x| * |y| of two huge coordinates may overflow: it then still escapes, and the restart
    // clears the flag.
    if (std::fabs(s_.x) * std::fabs(s_.y) > kEscapeProduct) {
      RandomRestart();
      return;
    }
    MainStep();
    if (s_.v->iterations < kLyapunovSteps && LyapunovStep()) RandomRestart();
  }

  // Up to `limit` passes past the Lyapunov steps, fewer when the step budget or an escaping point says so, with one
  // look at the fault flags for all of them. The orbit runs on a copy of the state and its cells are only noted;
  // when the flags are clean and every point was finite, the copy becomes the state and the cells get their hits,
  // exactly as pass by pass. Otherwise the batch is dropped unplotted and made again pass by pass, which ends the
  // run at the faulting step with its message, as if there had been no batch. Returns the passes made.
  int Batch(int limit) {
    if (s_.stepBudget > 0 && s_.stepBudget < limit) limit = static_cast<int>(s_.stepBudget);
    bool clean = false;
    const int made = OrbitBatch(limit, clean);
    if (!clean) {
      for (int i = 0; i < made; ++i) Pass();
      return made;
    }
    CommitBatch(made);
    if (s_.stepBudget > 0) s_.stepBudget -= made;
    PlotBatch(made);
    return made;
  }

  // Batch() for an orbit of a parallel run, which makes no Lyapunov step there and no restart: the batch's points
  // go to the log, and a batch whose flags are raised is made again main step by main step, up to the fault.
  int LoggedBatch(int limit) {
    bool clean = false;
    const int made = OrbitBatch(limit, clean);
    if (!clean) {
      for (int i = 0; i < made; ++i) MainStep();
      return made;
    }
    CommitBatch(made);
    for (int i = 0; i < made; ++i) {
      const std::int64_t cell = batchCells_[i];
      log_[logCount_++] = cell < 0 ? kNoHitLogged
                                   : static_cast<std::uint32_t>(cell) << 2 |
                                         static_cast<std::uint32_t>(kFourthHit[batchGroups_[i]]);
    }
    return made;
  }

  // The orbit of up to `limit` passes (BatchOrbit) with one look at the fault flags for all of them. Returns the
  // passes made; `clean` says whether they may be committed, else they are to be made again one by one. A flag
  // raised before the batch would be taken for one of its own: then no batch is made, and such a pass is left to
  // the one-by-one path, which deals with it as always.
  int OrbitBatch(int limit, bool& clean) {
    clean = false;
    if (RaisedFaultFlags() != 0) [[unlikely]]
      return 0;
    const int made = t_.kind == EStepKind::Ifs0101None ? BatchOrbit<EStepKind::Ifs0101None>(limit)
                                                       : BatchOrbit<EStepKind::General>(limit);
    if (made == 0) return 0;
    if (RaisedFaultFlags() != 0 || !batchFinite_) [[unlikely]] {
      ClearFaultFlags();
      return made;
    }
    clean = true;
    return made;
  }

  // A clean batch's state becomes the state, with the counters of its passes.
  void CommitBatch(int made) {
    s_ = batchState_;
    TFractalParams& v = *s_.v;
    v.iterations += made;
    s_.mainSteps += made;
    v.plotX = s_.x;
    v.plotY = s_.y;
  }

  // The orbit of a batch: leaves the state after it in batchState_, each pass's cell (or -1 off the picture) and map
  // group in batchCells_ and batchGroups_, and whether every point was finite in batchFinite_.
  // Not inlined: in a function of its own the orbit keeps its variables in registers.
  template <EStepKind K>
  [[gnu::noinline]] int BatchOrbit(int limit) {
    TEngineState s = s_;
    const TFractalParams& v = *s.v;
    const TPlotTarget t = t_;
    double nonFinite = 0;  // stays 0 while every point is finite
    int made = 0;
    for (; made < limit; ++made) {
      if (std::fabs(s.x) * std::fabs(s.y) > kEscapeProduct) break;  // the pass restarts: not made here
      SelectMap(s);
      Advance<K>(s, v, t.noneOnly);
      const double x = s.x, y = s.y;
      const std::int32_t ix = PixelOf(x, t.plotXMin, t.xSpan, t.plotWidth);
      const std::int32_t iy = PixelOf(y, t.plotYMin, t.ySpan, t.plotHeight);
      nonFinite += (x - x) + (y - y);
      const bool inside = static_cast<std::uint32_t>(ix) < t.columns && static_cast<std::uint32_t>(iy) < t.rows;
      batchCells_[made] = inside ? static_cast<std::int64_t>(ix) * t.gridSize + iy : -1;
      batchGroups_[made] = static_cast<std::uint8_t>((s.j >= 19) + (s.j >= 39));
    }
    // Everything the batch computed is in memory before the flags are read.
    batchState_ = s;
    batchFinite_ = nonFinite == 0;
    __asm__ volatile("" ::: "memory");
    return made;
  }

  // The hits of a batch's points, as Plot gives them.
  void PlotBatch(int made) {
    std::int64_t added[3][3];
    std::memcpy(added, t_.added, sizeof added);
    std::int32_t* const counts[3] = {t_.counts[0], t_.counts[1], t_.counts[2]};
    std::uint8_t* const lastHit = lastHit_.data();
    for (int i = 0; i < made; ++i) {
      const std::int64_t cell = batchCells_[i];
      if (cell < 0) continue;
      const int group = batchGroups_[i];
      for (int k = 0; k < 3; ++k) counts[k][cell] = Saturated(counts[k][cell] + added[group][k]);
      std::uint8_t& last = lastHit[cell];
      const bool painted = last == 0;
      last = static_cast<std::uint8_t>(kFourthHit[group] + 1);
      if (painted) {
        pending_[pendingCount_++] = cell;
        if (pendingCount_ == kPendingCapacity) PaintPending();
      }
    }
  }

  void MainStep() {
    SelectMap(s_);
    FormulaStep();
    ++s_.v->iterations;
    ++s_.mainSteps;
    if (s_.stepBudget > 0) --s_.stepBudget;
  }

  // With one map 7.5 % of the steps still use the second coefficient group: the rounding of t decides, not m.
  static void SelectMap(TEngineState& s) {
    const std::int32_t m = s.v->maps;
    std::int32_t r = s.j;
    if (m >= 1 && m <= 3) r = Round(s.random.Next() * m * 20);
    // Offset 0, 19 or 39 for group 0, 1 or 2, without a branch: the group is random from step to step, and a
    // branch on it would be mispredicted every other step.
    std::int32_t group = (r >= 19) + (r >= 39);
    __asm__("" : "+r"(group));
    s.j = 19 * group + (group >> 1);
  }

  void FormulaStep() {
    Advance<EStepKind::General>(s_, *s_.v, t_.noneOnly);
    Plot();
  }

  // The formula stage and the variations of a formula step: the new point in x, y (and fx, fy), not yet plotted.
  template <EStepKind K>
  static void Advance(TEngineState& s, const TFractalParams& v, bool noneOnly) {
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

  // The four hits of a point (red, green, red, then one chosen by the map offset) all land in the same cell and
  // raise its counts at once. Painting waits: nothing can look at the picture between two calls into the host, so a
  // touched cell only notes the channel of its last hit and is painted from its final counts before the next host
  // call (or when the run ends) -- the same colour the last hit would have painted, for a fraction of the work.
  void Plot() {
    const double x = s_.x, y = s_.y;
    const std::int32_t ix = PixelOf(x, t_.plotXMin, t_.xSpan, t_.plotWidth);
    const std::int32_t iy = PixelOf(y, t_.plotYMin, t_.ySpan, t_.plotHeight);
    double checkX = x, checkY = y;
    ComputedBeforeFlagCheck(checkX);
    ComputedBeforeFlagCheck(checkY);
    CheckFaults(checkX, checkY);
    s_.v->plotX = x;
    s_.v->plotY = y;
    if (static_cast<std::uint32_t>(ix) >= t_.columns || static_cast<std::uint32_t>(iy) >= t_.rows) {
      if constexpr (kLogHits) log_[logCount_++] = kNoHitLogged;
      return;
    }
    const int fourth = kFourthHit[(s_.j >= 19) + (s_.j >= 39)];
    const std::int64_t cell = static_cast<std::int64_t>(ix) * t_.gridSize + iy;
    if constexpr (kLogHits) {
      log_[logCount_++] = static_cast<std::uint32_t>(cell) << 2 | static_cast<std::uint32_t>(fourth);
      return;
    }
    std::int64_t sum[3] = {t_.counts[0][cell], t_.counts[1][cell], t_.counts[2][cell]};
    sum[0] += 2 * static_cast<std::int64_t>(t_.weight);
    sum[1] += t_.weight;
    sum[fourth] += t_.weight;
    for (int k = 0; k < 3; ++k) t_.counts[k][cell] = Saturated(sum[k]);
    // The channel is noted before the cell can be painted: a full list paints at once, this cell included, and a
    // cell painted without its channel would colour it from no channel at all.
    std::uint8_t& last = lastHit_[static_cast<std::size_t>(cell)];
    const bool painted = last == 0;
    last = static_cast<std::uint8_t>(fourth + 1);
    if (painted) {
      pending_[pendingCount_++] = cell;
      if (pendingCount_ == kPendingCapacity) PaintPending();
    }
  }

  // Paints the cells hit since the last painting. The colour arithmetic saturates (Round and the clamp to 0..255)
  // rather than ending the run: an absurd colour factor or intensity from a file gives a saturated picture, and the
  // flags it may raise are not the formula's.
  void PaintPending() {
    const std::int64_t n = t_.gridSize;
    for (std::size_t i = 0; i < pendingCount_; ++i) {
      const std::int64_t cell = pending_[i];
      std::uint8_t& last = lastHit_[static_cast<std::size_t>(cell)];
      const std::int32_t count[3] = {t_.counts[0][cell], t_.counts[1][cell], t_.counts[2][cell]};
      const TColor colour = HitColor(t_.colour, count, static_cast<THitChannel>(last - 1));
      if (t_.lead != nullptr) t_.lead[cell] = last;
      last = 0;
      t_.image->SetPixel(static_cast<int>(cell / n), static_cast<int>(cell % n), colour);
    }
    pendingCount_ = 0;
    ClearFaultFlags();
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
    return std::fabs(s_.fx) * std::fabs(s_.fy) > kEscapeProduct;
  }

  void RandomRestart() {
    // Every point and every Lyapunov estimate was checked already: a flag still raised can only come from the
    // escape test's product and is no fault.
    ClearFaultFlags();
    ++s_.restarts;
    MakeRandomCoefficients();
    Reset();
  }

  void MakeRandomCoefficients() {
    DrawRandomCoefficients(s_);
    CallHost(&EngineHost::ParametersUpdate);
  }

  // Starts the orbit over on a black picture with empty counts.
  void Reset() {
    StartOrbitOver(s_);
    // What was waiting to be painted goes with the picture.
    for (std::size_t i = 0; i < pendingCount_; ++i) lastHit_[static_cast<std::size_t>(pending_[i])] = 0;
    pendingCount_ = 0;
    RefreshTarget();
    s_.gridSize = static_cast<std::int32_t>(t_.gridSize);
    const std::int64_t n = t_.gridSize;
    if (n == 0) return;
    ClearRender(t_.counts, t_.lead, *t_.image, n);
  }

  void RefreshTarget() {
    const TFractalParams& v = *s_.v;
    const std::int64_t n = GridSizeOf(v);
    TPlotTarget t;
    t.gridSize = n;
    if (n > 0) {
      if (v.image == nullptr) throw std::invalid_argument(kNoPicture);
      THitList* lists[3] = {v.redList, v.greenList, v.blueList};
      for (int k = 0; k < 3; ++k) {
        if (lists[k] == nullptr || static_cast<std::int64_t>(lists[k]->size()) < n * n)
          throw std::invalid_argument(kListsTooSmall);
        t.counts[k] = lists[k]->data();
      }
      if (v.leadList != nullptr && static_cast<std::int64_t>(v.leadList->size()) >= n * n) t.lead = v.leadList->data();
    }
    t.plotXMin = v.plotXMin;
    t.plotYMin = v.plotYMin;
    t.xSpan = v.plotXMax - v.plotXMin;
    t.ySpan = v.plotYMax - v.plotYMin;
    t.plotWidth = v.plotWidth;
    t.plotHeight = v.plotHeight;
    // Cells beyond N would lie outside the lists, whatever plotWidth says.
    t.columns = static_cast<std::uint32_t>(std::clamp<std::int64_t>(v.plotWidth, 0, n));
    t.rows = static_cast<std::uint32_t>(std::clamp<std::int64_t>(v.plotHeight, 0, n));
    t.image = v.image;
    t.weight = Round(1.0 * v.intensity);
    t.colour = ColourInputsOf(v);
    t.noneOnly = v.none && !(v.linear || v.sinusoidal || v.spherical || v.swirl || v.horseshoe || v.polar || v.bent);
    const bool ifs0101Only = v.ifs01 && v.ifs0101 && !(v.ifs0102 || v.ifs0103 || v.ifs0104 || v.ifs0105 ||
                                                       v.ifs0106 || v.ifs0107 || v.ifs0108);
    const bool otherFamily = v.latoocarfian01 || v.latoocarfian02 || v.mira01 || v.ifs02 || v.cif01 || v.cif02;
    t.kind = ifs0101Only && !otherFamily && t.noneOnly ? EStepKind::Ifs0101None : EStepKind::General;
    for (int group = 0; group < 3; ++group) {
      // Red, green, red, then the fourth hit.
      std::int64_t* added = t.added[group];
      added[0] = 2 * static_cast<std::int64_t>(t.weight);
      added[1] = t.weight;
      added[2] = 0;
      added[kFourthHit[group]] += t.weight;
    }
    t_ = t;
    if constexpr (kLogHits) return;
    // Nothing is pending here (painting precedes every host call, a reset drops it), so the marks may be made anew.
    if (static_cast<std::int64_t>(lastHit_.size()) != n * n) lastHit_.assign(static_cast<std::size_t>(n * n), 0);
    if (pending_.empty()) pending_.resize(kPendingCapacity);
  }

  void Pump() {
    if (g_host == nullptr) return;
    ++s_.pumps;
    CallHost(&EngineHost::ProcessMessages);
    if (!s_.v->abort && s_.stepBudget != 0) RefreshTarget();
  }

  // The host may change anything, start a nested run (which leaves its own state here), or raise floating-point
  // flags of its own, which must not be blamed on the next step.
  void CallHost(void (EngineHost::*call)()) {
    EngineHost* host = g_host;
    if (host == nullptr) return;
    PaintPending();
    g_state = s_;
    inHost_ = true;
    (host->*call)();
    inHost_ = false;
    ClearFaultFlags();
    s_ = g_state;
  }

  // A point is checked before it touches the picture; a NaN or infinite point without a flag (a NaN coefficient,
  // say) is a fault too, or it would spin silently plotting nothing.
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
    PaintPending();
    s_.v->abort = true;
    throw EFloatingPointFault(message);
  }

  static constexpr std::size_t kPendingCapacity = std::size_t{1} << 16;

  TEngineState& home_;
  TEngineState s_;
  TPlotTarget t_;
  bool inHost_ = false;
  std::vector<std::uint8_t> lastHit_;   // per cell: 0 = painted, else 1 + channel of its last hit
  std::vector<std::int64_t> pending_;   // cells with unpainted hits
  std::size_t pendingCount_ = 0;
  // A batch of passes between its orbit and its hits.
  TEngineState batchState_;
  std::int64_t batchCells_[kPassesPerPumpCheck];
  std::uint8_t batchGroups_[kPassesPerPumpCheck];
  bool batchFinite_ = true;
  std::uint32_t* log_ = nullptr;  // kLogHits: (cell << 2) | channel of the fourth hit, in the order of the hits
  std::size_t logCount_ = 0;
};

using TRunner = TRunnerT<false>;

}  // namespace

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
}

void ClearRender(std::int32_t* const counts[3], std::uint8_t* lead, TPixelGraphic& image, std::int64_t n) {
  for (int k = 0; k < 3; ++k) std::fill_n(counts[k], n * n, 0);
  if (lead != nullptr) std::fill_n(lead, n * n, 0);
  ClearPicture(image, n);
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

void CheckRunRecord(const TFractalParams& v) {
  const std::int64_t n = GridSizeOf(v);
  if (n == 0) return;
  if (v.image == nullptr) throw std::invalid_argument(kNoPicture);
  for (const THitList* list : {v.redList, v.greenList, v.blueList}) {
    if (list == nullptr || static_cast<std::int64_t>(list->size()) < n * n) throw std::invalid_argument(kListsTooSmall);
  }
}

TOrbitEnd RunOrbitSteps(TEngineState& orbit, std::int64_t steps, bool leader, std::uint32_t* log,
                        std::size_t& logCount) {
  TRunnerT<true> runner(orbit);
  return runner.OrbitSteps(steps, leader, log, logCount);
}

void SetEngineHost(EngineHost* host) { g_host = host; }
EngineHost* GetEngineHost() { return g_host; }

namespace {

// A log-density picture depends on the total of all hits, so it is painted whole when a run ends, however it ends;
// what the run painted cell by cell on the way is replaced.
void RunThenPaint(TFractalParams* v, void (TRunner::*run)(TFractalParams*)) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  TRunner runner;
  try {
    (runner.*run)(v);
  } catch (...) {
    if (v->logDensity) PaintLogDensity(*v);
    throw;
  }
  if (v->logDensity) PaintLogDensity(*v);
}

}  // namespace

void RunFractal(TFractalParams* v) { RunThenPaint(v, &TRunner::Run); }

void ContinueFractal(TFractalParams* v) { RunThenPaint(v, &TRunner::Continue); }

TEngineState& EngineState() { return g_state; }

void RunFormulaStep() {
  TRunner runner;
  runner.SingleFormulaStep();
}

void SeedEngineRandom(std::uint64_t seed) { g_state.random.Seed(seed); }

void ReseedEngineRandomFromClock() {
  g_state.random.seeded = false;
  g_state.random.Randomize();
}

bool EngineRandomIsSeeded() { return g_state.random.seeded; }
double EngineRandom() { return g_state.random.Next(); }

void SetEngineStepBudget(std::int64_t mainSteps) { g_state.stepBudget = mainSteps < 0 ? kNoStepBudget : mainSteps; }
std::int64_t EngineStepBudget() { return g_state.stepBudget; }

TEngineCounters GetEngineCounters() {
  TEngineCounters c;
  c.mainSteps = g_state.mainSteps;
  c.restarts = g_state.restarts;
  c.pumps = g_state.pumps;
  return c;
}

const TFractalParams* EngineRecord() { return g_state.v; }

void ClearEngineCounters() {
  g_state.mainSteps = 0;
  g_state.restarts = 0;
  g_state.pumps = 0;
}

void SetEnginePumpInterval(std::chrono::microseconds interval) {
  g_pumpInterval = interval.count() < 0 ? std::chrono::microseconds{0} : interval;
}
std::chrono::microseconds EnginePumpInterval() { return g_pumpInterval; }

void ResetEngineState() { g_state = InitialState(); }
