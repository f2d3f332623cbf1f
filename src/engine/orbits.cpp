#include "engine/orbits.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/hit_merge.h"
#include "engine/run_loop.h"
#include "engine/worker_team.h"

namespace {

// A full round makes at least this many main steps in all, and each orbit at least kMinOrbitRoundSteps: a few
// milliseconds of work, long against handing a job to the workers, short against the pump interval.
constexpr std::int64_t kRoundStepsTotal = 262144;
constexpr std::int64_t kMinOrbitRoundSteps = 4096;
static_assert(2 * kMaxOrbits * kMinOrbitRoundSteps <= kMaxRoundPositions && kRoundStepsTotal <= kMaxRoundPositions / 2);
constexpr const char* kGridTooLarge = "The picture is too large to be drawn by parallel orbits";
constexpr const char* kOrbitsDoNotFit = "The orbits to continue do not make one parallel run";

// Whether the orbits can trace different points: only through the random map choice, so only when there is one
// and something selected reads it.
bool MapChoiceMatters(const TFractalParams& v) {
  if (v.maps < 1 || v.maps > 3) return false;
  return v.latoocarfian01 || v.latoocarfian02 || v.ifs01 || v.ifs02 || v.cif01 || v.cif02 || v.sinusoidal;
}

struct alignas(128) TOrbit : TRoundLog {
  TEngineState state;
  TFractalParams record;           // orbits k > 0: the run's record as of the round's start, with its own counters
  std::int64_t share = 0;  // main steps asked of it this round
  std::int64_t made = 0;   // main steps made this round
  TOrbitEnd end = TOrbitEnd::Steps;
  bool faulted = false;
  std::string fault;
};

// A full round of K orbits is a sequence of Q = K R positions, step i of orbit k at position i K + k: the steps
// taken one after the other, a step of every orbit in turn. Positions below p that belong to orbit k.
std::int64_t PositionsOf(std::int64_t p, int k, int orbits) {
  return p / orbits + (k < p % orbits ? 1 : 0);
}

// The orbits, made before the run loop that keeps a reference to orbit 0's state.
struct TOrbitsOf {
  explicit TOrbitsOf(int orbits) : orbits_(static_cast<std::size_t>(orbits)) {}
  std::vector<TOrbit> orbits_;  // never resized
};

class TOrbitsRun final : private TOrbitsOf, public TRunLoop {
 public:
  TOrbitsRun(TRenderContext& context, const TOrbitPlan& plan)
      : TOrbitsOf(plan.orbits),
        TRunLoop(context, orbits_[0].state),
        orbitCount_(plan.orbits),
        orbitSteps_(OrbitRoundSteps(plan.orbits)),
        roundTotal_(orbitSteps_ * plan.orbits),
        team_(plan.threads),
        merger_(team_) {
    for (const TOrbit& o : orbits_) logs_.push_back(&o);
  }

  void Run(TFractalParams* v) { Start(v); }

  // Goes on from the context's orbit 0 and the other orbits as a run left them, in the round where it stopped: no
  // new coefficients, no reset.
  void Continue(TFractalParams* v, const TOrbitsLeft& left) {
    Resume(v, [&] {
      for (int k = 1; k < orbitCount_; ++k) {
        const TOtherOrbit& other = left.others[static_cast<std::size_t>(k - 1)];
        TOrbit& o = Orbit(k);
        o.state = TEngineState{};
        static_cast<TOrbitState&>(o.state) = other.state;
        o.record = *v;
        o.record.iterations = other.iterations;
        o.state.v = &o.record;
      }
      // A round is unfinished only past orbit 0's first 10000 steps.
      if (left.roundDone < 0 || left.roundDone >= roundTotal_ ||
          (left.roundDone > 0 && v->iterations < kLyapunovSteps))
        throw std::invalid_argument(kOrbitsDoNotFit);
      roundDone_ = left.roundDone;
    });
  }

  // What a later Continue needs.
  TOrbitsLeft Left() {
    TOrbitsLeft left;
    for (int k = 1; k < orbitCount_; ++k) left.others.push_back({Orbit(k).state, Orbit(k).record.iterations});
    left.roundDone = roundDone_;
    const TFractalParams& v = *lead_.v;
    left.joined = orbitCount_ > 1 && v.iterations >= kLyapunovSteps && MapChoiceMatters(v);
    return left;
  }

 private:
  TOrbit& Orbit(int k) { return orbits_[static_cast<std::size_t>(k)]; }

  bool Advance() override {
    RunRound();
    return true;
  }

  void RunRound() {
    TEngineState& lead = lead_;
    const TFractalParams& v = *lead.v;
    const bool lyapunovPhase = v.iterations < kLyapunovSteps;
    const int active = orbitCount_ > 1 && !lyapunovPhase && MapChoiceMatters(v) ? orbitCount_ : 1;
    const std::int64_t budget = lead.stepBudget;
    std::int64_t total = 0;
    if (active == 1) {
      // Orbit 0 alone ends its round with its Lyapunov phase, so that the others join right after it.
      total = lyapunovPhase ? std::clamp<std::int64_t>(kLyapunovSteps - v.iterations, 1, roundTotal_)
                            : AloneRoundSteps();
      roundDone_ = 0;
    } else {
      total = roundTotal_ - roundDone_;
    }
    if (budget > 0) total = std::min(total, budget);

    for (int k = 0; k < active; ++k) {
      TOrbit& o = Orbit(k);
      if (active == 1) {
        o.first = 0;
        o.share = total;
      } else {
        o.first = PositionsOf(roundDone_, k, active);
        o.share = PositionsOf(roundDone_ + total, k, active) - o.first;
      }
      // Room for two points a step: the leader's Lyapunov steps plot too.
      const std::size_t room = static_cast<std::size_t>(2 * o.share);
      if (o.log.size() < room) o.log.resize(room);
      if (target_.gradient && o.levels.size() < room) o.levels.resize(room);
      if (k > 0) {
        const std::int64_t iterations = o.record.iterations;
        o.record = v;
        o.record.iterations = iterations;
        o.record.abort = false;
      }
    }

    // The orbits count their steps in their own states; the budget is shared out above and settled below.
    const std::int64_t leadStepsBefore = lead.mainSteps;
    lead.stepBudget = kNoStepBudget;
    if (active == 1) {
      for (int t = 1; t < team_.Threads(); ++t) merger_.ClearDealt(t);
      if (!lyapunovPhase && context_.Host() != nullptr) TimeAloneRound();
      Step(0);
      merger_.Deal(0, 1, logs_);
      aloneMade_ = lyapunovPhase ? 0 : Orbit(0).made;
    } else {
      const int threads = team_.Threads();
      team_.Run([&](int t) {
        for (int k = t; k < active; k += threads) Step(k);
        merger_.Deal(t, active, logs_);
      });
    }

    // The round's first event in the order of positions -- a restart of orbit 0, or a fault -- ends it: what comes
    // after it was never made. Orbit 0 alone has no positions to compare; its log ends where it stopped.
    std::int64_t eventAt = std::numeric_limits<std::int64_t>::max();
    int eventOrbit = -1;
    for (int k = 0; k < active; ++k) {
      const TOrbit& o = Orbit(k);
      if (!o.faulted && o.end != TOrbitEnd::Restart) continue;
      const std::int64_t at = (o.first + o.made) * active + k;
      if (at < eventAt) {
        eventAt = at;
        eventOrbit = k;
      }
    }
    std::int64_t made = 0;
    for (int k = 0; k < active; ++k) {
      TOrbit& o = Orbit(k);
      const std::int64_t kept =
          active == 1 ? o.made : std::min(o.made, std::max<std::int64_t>(0, PositionsOf(eventAt, k, active) - o.first));
      // Steps after the event are undone: they count neither here nor in the orbit's own total, and their hits are
      // left out of the merge.
      o.state.mainSteps -= o.made - kept;
      made += kept;
    }
    lead.mainSteps = leadStepsBefore + made;
    lead.stepBudget = budget < 0 ? budget : budget - made;
    roundDone_ = active == 1 ? 0 : (roundDone_ + total) % roundTotal_;

    // Orbit 0 alone keeps its whole log.
    const std::int64_t mergeBelow = active == 1 ? std::numeric_limits<std::int64_t>::max() : eventAt;
    if (eventOrbit < 0) {
      merger_.Merge(mergeBelow);
      return;
    }
    const TOrbit& event = Orbit(eventOrbit);
    if (event.faulted) {
      merger_.Merge(mergeBelow);
      PaintAll();
      lead.v->abort = true;
      throw EFloatingPointFault(event.fault);
    }
    // A restart clears the picture; what came before it is shown to the host, which is told of the new coefficients.
    merger_.Merge(mergeBelow);
    RandomRestart();
  }

  // Orbit 0 alone makes rounds of any length with the same result. With a host, a round -- its steps, merge,
  // painting and the host call after it -- lasts about one pump interval, so that the host is called as often as by
  // a run that looks at the clock every few hundred steps.
  std::int64_t AloneRoundSteps() const { return context_.Host() == nullptr ? roundTotal_ : aloneRoundSteps_; }

  // At the start of a round of orbit 0 alone: the last one's length from start to start gives this one's.
  void TimeAloneRound() {
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t made = aloneMade_;
    const auto took = now - aloneStart_;
    aloneStart_ = now;
    const auto interval = std::chrono::duration_cast<std::chrono::nanoseconds>(context_.PumpInterval()).count();
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(took).count();
    if (made <= 0 || nanoseconds <= 0) return;
    // Never more than twice the last length: one quick round (a restart, a cached stretch) is no promise.
    const double fitting = static_cast<double>(made) * static_cast<double>(interval) / static_cast<double>(nanoseconds);
    aloneRoundSteps_ = std::clamp(static_cast<std::int64_t>(std::min(fitting, 2.0 * static_cast<double>(made))),
                                  kMinOrbitRoundSteps, roundTotal_);
  }

  void Step(int k) {
    TOrbit& o = Orbit(k);
    o.logCount = 0;
    o.end = TOrbitEnd::Steps;
    o.faulted = false;
    const std::int64_t before = o.state.mainSteps;
    try {
      o.end = RunOrbitSteps(o.state, target_, o.share, k == 0, o.log.data(), o.levels.data(), o.logCount);
    } catch (const EFloatingPointFault& fault) {
      o.faulted = true;
      o.fault = fault.what();
    }
    o.made = o.state.mainSteps - before;
  }

  // The other orbits wait at the start point, each with a stream derived from orbit 0's (as the new coefficients
  // left it) and its index, until orbit 0 has made its first 10000 steps: their state then depends on nothing that
  // came before the reset.
  void ResetOtherOrbits() override {
    for (int k = 1; k < orbitCount_; ++k) {
      TOrbit& o = Orbit(k);
      const std::int64_t steps = o.state.mainSteps;
      o.state = TEngineState{};
      o.state.mainSteps = steps;
      o.state.random = lead_.random.Derived(static_cast<std::uint64_t>(k));
      o.record = *lead_.v;
      o.state.v = &o.record;
      StartOrbitOver(o.state);
    }
  }

  void Refresh() override {
    const TRenderTarget t = RenderTargetOf(*lead_.v);
    if (t.cells > kMaxLoggedCells) throw std::invalid_argument(kGridTooLarge);
    target_ = t;
    // A host looks at the picture at every pump, about once a round -- or, pumped seldom, once in several rounds.
    const bool hosted = context_.Host() != nullptr;
    merger_.Take(t, context_.GatheredGridCells(), hosted, !hosted || context_.PumpInterval() >= kSeldomPumpInterval);
  }

  void PaintAll() override { merger_.PaintAll(); }

  void DropPending() override {
    roundDone_ = 0;
    merger_.DropPending();
  }

  const int orbitCount_;
  const std::int64_t orbitSteps_;
  const std::int64_t roundTotal_;
  TWorkerTeam team_;
  THitMerger merger_;
  std::vector<const TRoundLog*> logs_;  // the orbits' logs
  std::int64_t roundDone_ = 0;  // positions of the full round in progress already made
  // With a host: the length of orbit 0's next round alone, and the start and steps of its last one (0: none).
  std::int64_t aloneRoundSteps_ = kMinOrbitRoundSteps;
  std::chrono::steady_clock::time_point aloneStart_;
  std::int64_t aloneMade_ = 0;
};

// Beyond what a window or the renderer makes; such a grid is drawn the way it always was.
bool GridTooLargeToLog(const TFractalParams& v) { return GridCellsOf(v) > kMaxLoggedCells; }

}  // namespace

bool TRenderContext::GathersHits(const TFractalParams& v) const {
  const std::int64_t cells = GridCellsOf(v);
  return cells >= gatheredGridCells_ && cells <= kMaxLoggedCells;
}

TOrbitPlan PlanOrbits(const TFractalParams& v, int orbits, int threads) {
  TOrbitPlan plan;
  plan.orbits = MapChoiceMatters(v) ? std::clamp(orbits, 1, kMaxOrbits) : 1;
  plan.threads = std::clamp(threads, 1, plan.orbits);
  return plan;
}

std::int64_t OrbitRoundSteps(int orbits) {
  const std::int64_t k = std::clamp(orbits, 1, kMaxOrbits);
  return std::max(kMinOrbitRoundSteps, (kRoundStepsTotal + k - 1) / k);
}

std::int64_t OrbitStepsOfRound(std::int64_t roundDone, int k, int orbits) {
  return PositionsOf(roundDone, k, std::max(orbits, 1));
}

void TRenderContext::RunOrbits(TFractalParams* v, int orbits, int threads, TOrbitsLeft* left) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  if (GridTooLargeToLog(*v)) {
    Run(v);
    if (left != nullptr) *left = TOrbitsLeft{};
    return;
  }
  TOrbitsRun run(*this, PlanOrbits(*v, orbits, threads));
  RunThenPaint(v, [&] { run.Run(v); });
  if (left != nullptr) *left = run.Left();
}

void TRenderContext::ContinueOrbits(TFractalParams* v, TOrbitsLeft& left, int threads) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  if (left.others.size() + 1 > static_cast<std::size_t>(kMaxOrbits)) throw std::invalid_argument(kOrbitsDoNotFit);
  const int orbits = static_cast<int>(left.others.size()) + 1;
  if (orbits == 1 || GridTooLargeToLog(*v)) {
    if (orbits > 1) throw std::invalid_argument(kGridTooLarge);
    if (left.roundDone != 0) throw std::invalid_argument(kOrbitsDoNotFit);
    if (!GathersHits(*v)) {
      Continue(v);
      return;
    }
  }
  TOrbitPlan plan;
  plan.orbits = orbits;
  plan.threads = std::clamp(threads, 1, orbits);
  TOrbitsRun run(*this, plan);
  RunThenPaint(v, [&] { run.Continue(v, left); });
  left = run.Left();
}
