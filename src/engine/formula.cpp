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

constexpr std::int64_t kLyapunovSteps = 10000;
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
};

// One run's view of the engine. It works on a private copy of the process-wide state (so the compiler can keep the
// orbit in registers) and hands it back before every call into the host and when it ends, however it ends.
class TRunner {
 public:
  TRunner() : s_(g_state) {}
  ~TRunner() {
    if (!inHost_) g_state = s_;
  }
  TRunner(const TRunner&) = delete;
  TRunner& operator=(const TRunner&) = delete;

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
      Pass();
      // A random restart clears the whole picture, which on a large one costs more than a pump: look at the clock
      // after it too, or a run that keeps restarting would leave the host without control for seconds.
      if (++passes == kPassesPerPumpCheck || s_.restarts != restarts) {
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
    if (s_.v->iterations < kLyapunovSteps) LyapunovStep();
  }

  void MainStep() {
    SelectMap();
    FormulaStep();
    ++s_.v->iterations;
    ++s_.mainSteps;
    if (s_.stepBudget > 0) --s_.stepBudget;
  }

  // With one map 7.5 % of the steps still use the second coefficient group: the rounding of t decides, not m.
  void SelectMap() {
    const std::int32_t m = s_.v->maps;
    std::int32_t r = s_.j;
    if (m >= 1 && m <= 3) r = Round(s_.random.Next() * m * 20);
    s_.j = 19 * (r >= 19) + 20 * (r >= 39);
  }

  void FormulaStep() {
    const TFractalParams& v = *s_.v;
    const double* a = v.af.data() + s_.j;
    const double* b = v.af2.data() + s_.j;
    if (v.latoocarfian01) families::Latoocarfian01(s_, a);
    if (v.latoocarfian02) families::Latoocarfian02(s_, a, b);
    if (v.mira01) families::Mira(s_, v);
    if (v.ifs01) families::Ifs01(s_, v, a);
    if (v.ifs02) families::Ifs02(s_, b);
    if (v.cif01) families::Cif01(s_, a, v.af.data());
    if (v.cif02) families::Cif02(s_, b);
    if (t_.noneOnly) {
      // The usual case spelt out: fx := 0 + x (which also turns -0 into +0).
      s_.fx = 0.0 + s_.x;
      s_.fy = 0.0 + s_.y;
    } else {
      families::Variations(s_, v);
    }
    s_.x = s_.fx;
    s_.y = s_.fy;
    Plot();
  }

  // The four hits of a point (red, green, red, then one chosen by the map offset) all land in the same cell and
  // raise its counts at once. Painting waits: nothing can look at the picture between two calls into the host, so a
  // touched cell only notes the channel of its last hit and is painted from its final counts before the next host
  // call (or when the run ends) -- the same colour the last hit would have painted, for a fraction of the work.
  void Plot() {
    const double x = s_.x, y = s_.y;
    // A point on or beyond the left or lower edge is pushed out of range rather than mapped.
    const double px = x > t_.plotXMin ? (x - t_.plotXMin) / t_.xSpan * t_.plotWidth : t_.plotWidth;
    const double py = y > t_.plotYMin ? (y - t_.plotYMin) / t_.ySpan * t_.plotHeight : t_.plotHeight;
    const std::int32_t ix = Round(px), iy = Round(py);
    double checkX = x, checkY = y;
    ComputedBeforeFlagCheck(checkX);
    ComputedBeforeFlagCheck(checkY);
    CheckFaults(checkX, checkY);
    s_.v->plotX = x;
    s_.v->plotY = y;
    if (static_cast<std::uint32_t>(ix) >= t_.columns || static_cast<std::uint32_t>(iy) >= t_.rows) return;
    const int fourth = kFourthHit[(s_.j >= 19) + (s_.j >= 39)];
    const std::int64_t cell = static_cast<std::int64_t>(ix) * t_.gridSize + iy;
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

  // Iterates a neighbour of the orbit and measures how fast the two separate.
  void LyapunovStep() {
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
    if (v.iterations > 100 && !(v.lyapunov >= -100 && v.lyapunov <= 100)) {
      RandomRestart();
      return;
    }
    if (std::fabs(s_.fx) * std::fabs(s_.fy) > kEscapeProduct) RandomRestart();
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
    s_.random.Randomize();
    TFractalParams& v = *s_.v;
    v.lyapunov = 0.0;
    v.ticks = 0;
    const Ext spread = v.randomizer;
    for (int k = 1; k <= kCoefficientCount; ++k) {
      v.af[k] = static_cast<double>((static_cast<Ext>(s_.random.Next()) - 0.5) * spread);
      v.af2[k] = static_cast<double>((static_cast<Ext>(s_.random.Next()) - 0.5) * spread);
    }
    v.randomize = false;
    CallHost(&EngineHost::ParametersUpdate);
  }

  // Starts the orbit over on a black picture with empty counts.
  void Reset() {
    TFractalParams& v = *s_.v;
    v.ticks = 0;
    v.iterations = 0;
    s_.x = kStartValue;
    s_.y = kStartValue;
    s_.z = kStartValue;
    s_.fx = s_.x;
    s_.fy = s_.y;
    // What was waiting to be painted goes with the picture.
    for (std::size_t i = 0; i < pendingCount_; ++i) lastHit_[static_cast<std::size_t>(pending_[i])] = 0;
    pendingCount_ = 0;
    RefreshTarget();
    s_.gridSize = static_cast<std::int32_t>(t_.gridSize);
    const std::int64_t n = t_.gridSize;
    if (n == 0) return;
    for (std::int32_t* counts : t_.counts) std::fill_n(counts, n * n, 0);
    if (t_.lead != nullptr) std::fill_n(t_.lead, n * n, 0);
    ClearPicture(*t_.image, n);
  }

  // Black for the cells (ix, iy) < N that lie inside the picture; the rest of an N x N grid is off the picture.
  static void ClearPicture(TPixelGraphic& image, std::int64_t n) {
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
    // Nothing is pending here (painting precedes every host call, a reset drops it), so the marks may be made anew.
    if (static_cast<std::int64_t>(lastHit_.size()) != n * n) lastHit_.assign(static_cast<std::size_t>(n * n), 0);
    if (pending_.empty()) pending_.resize(kPendingCapacity);
    t_ = t;
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

  TEngineState s_;
  TPlotTarget t_;
  bool inHost_ = false;
  std::vector<std::uint8_t> lastHit_;   // per cell: 0 = painted, else 1 + channel of its last hit
  std::vector<std::int64_t> pending_;   // cells with unpainted hits
  std::size_t pendingCount_ = 0;
};

}  // namespace

void SetEngineHost(EngineHost* host) { g_host = host; }
EngineHost* GetEngineHost() { return g_host; }

void RunFractal(TFractalParams* v) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  TRunner runner;
  // A log-density picture depends on the total of all hits, so it is painted whole when the run ends, however it
  // ends; what the run painted cell by cell on the way is replaced.
  try {
    runner.Run(v);
  } catch (...) {
    if (v->logDensity) PaintLogDensity(*v);
    throw;
  }
  if (v->logDensity) PaintLogDensity(*v);
}

void ContinueFractal(TFractalParams* v) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  TRunner runner;
  try {
    runner.Continue(v);
  } catch (...) {
    if (v->logDensity) PaintLogDensity(*v);
    throw;
  }
  if (v->logDensity) PaintLogDensity(*v);
}

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
