#include "engine/orbits.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/colouring.h"
#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/orbit_runner.h"
#include "engine/round.h"
#include "engine/tone.h"
#include "image/pixel_graphic.h"

namespace {

// A full round makes at least this many main steps in all, and each orbit at least kMinOrbitRoundSteps: a few
// milliseconds of work, long against handing a job to the workers, short against the pump interval.
constexpr std::int64_t kRoundStepsTotal = 262144;
constexpr std::int64_t kMinOrbitRoundSteps = 4096;
// Cells are shared out among the merging threads in blocks of this many.
constexpr int kCellBlockShift = 10;
// Less merging or painting than this is done on the calling thread alone: waking the workers would cost more (a run
// that keeps restarting makes one short round after another).
constexpr std::size_t kMinSharedWork = 16384;
// A merge paints its cells once this many wait, as RunFractal does.
constexpr std::size_t kPendingCapacity = std::size_t{1} << 16;
// A log entry holds a cell below 2^30.
constexpr std::int64_t kMaxLoggedGridSize = 32767;
constexpr const char* kNoRecord = "RunFractal needs a parameter record";

constexpr const char* kGridTooLarge = "The picture is too large to be drawn by parallel orbits";

std::int64_t GridSizeOf(const TFractalParams& v) {
  return std::max<std::int64_t>(0, std::max(v.imageWidth, v.imageHeight));
}

// Whether the orbits can trace different points: only through the random map choice, so only when there is one
// and something selected reads it.
bool MapChoiceMatters(const TFractalParams& v) {
  if (v.maps < 1 || v.maps > 3) return false;
  return v.latoocarfian01 || v.latoocarfian02 || v.ifs01 || v.ifs02 || v.cif01 || v.cif02 || v.sinusoidal;
}

std::int32_t Saturated(std::int64_t count) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// The calling thread and threads - 1 workers run one job at a time, each with its own index; Run returns when all
// are done. The workers take the calling thread's floating-point environment (precision and rounding of the
// extended arithmetic), so that an orbit computes alike on every thread.
class TWorkerTeam {
 public:
  using TJob = std::function<void(int thread)>;

  explicit TWorkerTeam(int threads) : threads_(threads) {
    std::fegetenv(&environment_);
    workers_.reserve(static_cast<std::size_t>(threads - 1));
    try {
      for (int t = 1; t < threads; ++t) workers_.emplace_back([this, t] { Work(t); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~TWorkerTeam() { Stop(); }
  TWorkerTeam(const TWorkerTeam&) = delete;
  TWorkerTeam& operator=(const TWorkerTeam&) = delete;

  int Threads() const { return threads_; }

  void Run(const TJob& job) {
    if (workers_.empty()) {
      job(0);
      return;
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      job_ = &job;
      running_ = static_cast<int>(workers_.size());
      error_ = nullptr;
      ++generation_;
    }
    wake_.notify_all();
    std::exception_ptr own;
    try {
      job(0);
    } catch (...) {
      own = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return running_ == 0; });
    job_ = nullptr;
    if (own) std::rethrow_exception(own);
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void Work(int thread) {
    std::fesetenv(&environment_);
    std::uint64_t seen = 0;
    for (;;) {
      const TJob* job = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        job = job_;
      }
      std::exception_ptr error;
      try {
        (*job)(thread);
      } catch (...) {
        error = std::current_exception();
      }
      const std::lock_guard<std::mutex> lock(mutex_);
      if (error && !error_) error_ = error;
      if (--running_ == 0) done_.notify_one();
    }
  }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  const int threads_;
  std::fenv_t environment_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::uint64_t generation_ = 0;
  const TJob* job_ = nullptr;
  int running_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
};

struct TOrbit {
  TEngineState state;
  TFractalParams record;           // orbits k > 0: the run's record as of the round's start, with its own counters
  std::vector<std::uint32_t> log;  // this round's hits, (cell << 2) | channel of the fourth hit
  std::size_t logCount = 0;
  // With several merging threads: the log sorted by the part its cell belongs to, each part's hits in their order;
  // part p is sorted[partStart[p] .. partStart[p + 1]).
  std::vector<std::uint32_t> sorted;
  std::vector<std::size_t> partStart;
  std::int64_t share = 0;  // main steps asked of it this round
  std::int64_t made = 0;   // main steps made this round
  TOrbitEnd end = TOrbitEnd::Steps;
  bool faulted = false;
  std::string fault;
};

// What merging and painting need from the record; taken again after every call into the host, like the steps' own.
struct TMergeTarget {
  std::int64_t gridSize = 0;
  std::int32_t* counts[3] = {nullptr, nullptr, nullptr};
  std::uint8_t* lead = nullptr;  // the record's lead list, when it has one of the grid's size
  TPixelGraphic* image = nullptr;
  std::int32_t weight = 0;
  TColourInputs colour;
};

class TOrbitsRun {
 public:
  explicit TOrbitsRun(const TOrbitPlan& plan)
      : orbitCount_(plan.orbits),
        orbitSteps_(OrbitRoundSteps(plan.orbits)),
        roundTotal_(orbitSteps_ * plan.orbits),
        team_(plan.threads),
        orbits_(static_cast<std::size_t>(plan.orbits)),
        pending_(static_cast<std::size_t>(plan.threads)) {}
  TOrbitsRun(const TOrbitsRun&) = delete;
  TOrbitsRun& operator=(const TOrbitsRun&) = delete;

  void Run(TFractalParams* v) {
    TEngineState& global = EngineState();
    TEngineState& lead = Lead();
    lead = global;
    lead.v = v;
    // Like RunFractal: the engine state is handed back when the run ends, however it ends, unless it ends inside
    // the host, where a nested run has left its own.
    struct THandBack {
      TOrbitsRun& run;
      ~THandBack() {
        if (!run.inHost_) EngineState() = run.Lead();
      }
    } handBack{*this};
    for (int k = 1; k < orbitCount_; ++k) Orbit(k).state.random = lead.random.Derived(static_cast<std::uint64_t>(k));
    ClearFaultFlags();
    if (v->randomize) MakeRandomCoefficients();
    Reset();
    Loop();
  }

 private:
  TEngineState& Lead() { return orbits_[0].state; }
  TOrbit& Orbit(int k) { return orbits_[static_cast<std::size_t>(k)]; }

  void Loop() {
    using Clock = std::chrono::steady_clock;
    const auto interval = EnginePumpInterval();
    auto lastPump = Clock::now();
    for (;;) {
      TEngineState& lead = Lead();
      if (lead.v->abort) break;
      if (lead.stepBudget == 0) {
        lead.v->abort = true;
        break;
      }
      RunRound();
      if (interval.count() == 0 || Clock::now() - lastPump >= interval) {
        Pump();
        lastPump = Clock::now();
      }
    }
    PaintAll();
  }

  void RunRound() {
    TEngineState& lead = Lead();
    const TFractalParams& v = *lead.v;
    const bool lyapunovPhase = v.iterations < kLyapunovSteps;
    const int active = orbitCount_ > 1 && !lyapunovPhase && MapChoiceMatters(v) ? orbitCount_ : 1;
    std::int64_t total = roundTotal_;
    // Orbit 0 alone ends its round with its Lyapunov phase, so that the others join right after it.
    if (active == 1 && lyapunovPhase) total = std::clamp<std::int64_t>(kLyapunovSteps - v.iterations, 1, total);
    const std::int64_t budget = lead.stepBudget;
    if (budget > 0) total = std::min(total, budget);

    if (active > 1 && !joined_) Join();
    for (int k = 0; k < active; ++k) {
      TOrbit& o = Orbit(k);
      o.share = total / active + (k < total % active ? 1 : 0);
      // Room for two points a step: the leader's Lyapunov steps plot too.
      const std::size_t room = static_cast<std::size_t>(2 * o.share);
      if (o.log.size() < room) o.log.resize(room);
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
      Step(0);
    } else {
      std::atomic<int> next{0};
      team_.Run([&](int) {
        for (int k = next.fetch_add(1); k < active; k = next.fetch_add(1)) Step(k);
      });
    }
    std::int64_t made = lead.mainSteps - leadStepsBefore;
    for (int k = 1; k < active; ++k) made += Orbit(k).made;
    lead.mainSteps = leadStepsBefore + made;
    lead.stepBudget = budget < 0 ? budget : budget - made;

    const TOrbit& first = Orbit(0);
    if (!first.faulted && first.end == TOrbitEnd::Restart) {
      // The other orbits drew with the coefficients that are now thrown away.
      Merge(0);
      RandomRestart();
      return;
    }
    for (int k = 0; k < active; ++k) {
      if (!Orbit(k).faulted) continue;
      Merge(k);
      PaintAll();
      lead.v->abort = true;
      throw EFloatingPointFault(Orbit(k).fault);
    }
    Merge(active - 1);
  }

  // The other orbits start from the start point, with the record as it is now.
  void Join() {
    for (int k = 1; k < orbitCount_; ++k) {
      TOrbit& o = Orbit(k);
      const TEngineRandom random = o.state.random;
      o.state = TEngineState{};
      o.state.random = random;
      o.state.stepBudget = kNoStepBudget;
      o.record = *Lead().v;
      o.state.v = &o.record;
      StartOrbitOver(o.state);
    }
    joined_ = true;
  }

  void Step(int k) {
    TOrbit& o = Orbit(k);
    o.logCount = 0;
    o.end = TOrbitEnd::Steps;
    o.faulted = false;
    const std::int64_t before = o.state.mainSteps;
    try {
      o.end = RunOrbitSteps(o.state, o.share, k == 0, o.log.data(), o.logCount);
    } catch (const EFloatingPointFault& fault) {
      o.faulted = true;
      o.fault = fault.what();
    }
    o.made = o.state.mainSteps - before;
    SortByPart(o);
  }

  // Done by the thread that made the orbit, so that each merging thread later reads its own cells' hits only,
  // without a test per hit. A counting sort: stable, so every cell keeps the order of its hits.
  void SortByPart(TOrbit& o) const {
    const int parts = team_.Threads();
    if (parts == 1) return;
    if (o.sorted.size() < o.logCount) o.sorted.resize(o.log.size());
    o.partStart.assign(static_cast<std::size_t>(parts) + 1, 0);
    const std::uint8_t* partOf = partOfBlock_.data();
    std::size_t* start = o.partStart.data();
    for (std::size_t i = 0; i < o.logCount; ++i) ++start[partOf[o.log[i] >> (2 + kCellBlockShift)] + 1];
    for (int p = 0; p < parts; ++p) start[p + 1] += start[p];
    std::vector<std::size_t> next(start, start + parts);
    for (std::size_t i = 0; i < o.logCount; ++i) {
      const std::uint32_t entry = o.log[i];
      o.sorted[next[partOf[entry >> (2 + kCellBlockShift)]]++] = entry;
    }
  }

  // Applies the logs of orbits 0..last in this order, each cell's hits exactly as RunFractal counts them: the four
  // hits of a point raise the cell's counts at once, each count saturating, and the cell remembers the channel of
  // its last hit until it is painted.
  void Merge(int last) {
    if (target_.gridSize == 0) return;
    std::size_t work = 0;
    for (int k = 0; k <= last; ++k) work += Orbit(k).logCount;
    RunParts(work, [&](int part) {
      const bool sorted = team_.Threads() > 1;
      std::int32_t* const* counts = target_.counts;
      const std::int64_t w = target_.weight;
      std::vector<std::uint32_t>& pending = pending_[static_cast<std::size_t>(part)];
      for (int k = 0; k <= last; ++k) {
        const TOrbit& o = Orbit(k);
        const std::uint32_t* entries = sorted ? o.sorted.data() + o.partStart[static_cast<std::size_t>(part)]
                                              : o.log.data();
        const std::size_t count = sorted ? o.partStart[static_cast<std::size_t>(part) + 1] -
                                               o.partStart[static_cast<std::size_t>(part)]
                                         : o.logCount;
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint32_t entry = entries[i];
          const std::uint32_t cell = entry >> 2;
          const int fourth = static_cast<int>(entry & 3);
          std::int64_t sum[3] = {counts[0][cell], counts[1][cell], counts[2][cell]};
          sum[0] += 2 * w;
          sum[1] += w;
          sum[fourth] += w;
          for (int c = 0; c < 3; ++c) counts[c][cell] = Saturated(sum[c]);
          std::uint8_t& mark = lastHit_[cell];
          const bool painted = mark == 0;
          mark = static_cast<std::uint8_t>(fourth + 1);
          if (painted) {
            pending.push_back(cell);
            if (pending.size() == kPendingCapacity) PaintPart(part);
          }
        }
      }
    });
  }

  // Painting, like merging, is shared out by cells. Only pictures whose pixels are whole bytes can be painted by
  // several threads at once; the others are painted (and merged) part by part on the calling thread.
  void RunParts(std::size_t work, const TWorkerTeam::TJob& job) {
    if (parallelPaint_ && work >= kMinSharedWork) {
      team_.Run(job);
    } else {
      for (int part = 0; part < team_.Threads(); ++part) job(part);
    }
  }

  void PaintPart(int part) {
    std::vector<std::uint32_t>& pending = pending_[static_cast<std::size_t>(part)];
    const std::int64_t n = target_.gridSize;
    for (const std::uint32_t cell : pending) {
      std::uint8_t& mark = lastHit_[cell];
      const std::int32_t count[3] = {target_.counts[0][cell], target_.counts[1][cell], target_.counts[2][cell]};
      const TColor colour = HitColor(target_.colour, count, static_cast<THitChannel>(mark - 1));
      if (target_.lead != nullptr) target_.lead[cell] = mark;
      mark = 0;
      target_.image->SetPixel(static_cast<int>(cell / n), static_cast<int>(cell % n), colour);
    }
    pending.clear();
  }

  void PaintAll() {
    std::size_t work = 0;
    for (const auto& pending : pending_) work += pending.size();
    if (work > 0) RunParts(work, [&](int part) { PaintPart(part); });
    ClearFaultFlags();
  }

  void RandomRestart() {
    ClearFaultFlags();
    ++Lead().restarts;
    MakeRandomCoefficients();
    Reset();
  }

  void MakeRandomCoefficients() {
    DrawRandomCoefficients(Lead());
    CallHost(&EngineHost::ParametersUpdate);
  }

  // Orbit 0 starts over alone on a black picture with empty counts.
  void Reset() {
    TEngineState& lead = Lead();
    StartOrbitOver(lead);
    joined_ = false;
    for (auto& pending : pending_) {
      for (const std::uint32_t cell : pending) lastHit_[cell] = 0;
      pending.clear();
    }
    RefreshTarget();
    lead.gridSize = static_cast<std::int32_t>(target_.gridSize);
    const std::int64_t n = target_.gridSize;
    if (n == 0) return;
    for (std::int32_t* counts : target_.counts) std::fill_n(counts, n * n, 0);
    if (target_.lead != nullptr) std::fill_n(target_.lead, n * n, 0);
    ClearPicture(*target_.image, n);
  }

  void RefreshTarget() {
    const TFractalParams& v = *Lead().v;
    CheckRunRecord(v);
    TMergeTarget t;
    t.gridSize = GridSizeOf(v);
    if (t.gridSize > kMaxLoggedGridSize) throw std::invalid_argument(kGridTooLarge);
    if (t.gridSize > 0) {
      THitList* lists[3] = {v.redList, v.greenList, v.blueList};
      for (int c = 0; c < 3; ++c) t.counts[c] = lists[c]->data();
      if (v.leadList != nullptr && static_cast<std::int64_t>(v.leadList->size()) >= t.gridSize * t.gridSize)
        t.lead = v.leadList->data();
    }
    t.image = v.image;
    t.weight = Round(1.0 * v.intensity);
    t.colour = ColourInputsOf(v);
    target_ = t;
    // Nothing is pending here (painting precedes every host call, a reset drops it), so the marks may be made anew.
    const std::size_t cells = static_cast<std::size_t>(t.gridSize * t.gridSize);
    if (lastHit_.size() != cells) lastHit_.assign(cells, 0);
    // Blocks of cells dealt out to the parts in turn: an attractor's cells are spread over all of them.
    const std::size_t blocks = (cells >> kCellBlockShift) + 1;
    if (partOfBlock_.size() != blocks) {
      partOfBlock_.resize(blocks);
      for (std::size_t b = 0; b < blocks; ++b)
        partOfBlock_[b] = static_cast<std::uint8_t>(b % static_cast<std::size_t>(team_.Threads()));
    }
    parallelPaint_ = t.image != nullptr &&
                     (t.image->ColorRes() == TColorRes::Bits24 || t.image->ColorRes() == TColorRes::Bits8);
  }

  void Pump() {
    if (GetEngineHost() == nullptr) return;
    ++Lead().pumps;
    CallHost(&EngineHost::ProcessMessages);
    if (!Lead().v->abort && Lead().stepBudget != 0) RefreshTarget();
  }

  // The host may change anything, start a nested run (which leaves its own state in the engine), or raise
  // floating-point flags of its own. No worker runs meanwhile.
  void CallHost(void (EngineHost::*call)()) {
    EngineHost* host = GetEngineHost();
    if (host == nullptr) return;
    PaintAll();
    EngineState() = Lead();
    inHost_ = true;
    (host->*call)();
    inHost_ = false;
    ClearFaultFlags();
    Lead() = EngineState();
  }

  const int orbitCount_;
  const std::int64_t orbitSteps_;
  const std::int64_t roundTotal_;
  TWorkerTeam team_;
  std::vector<TOrbit> orbits_;
  TMergeTarget target_;
  std::vector<std::uint8_t> lastHit_;                // per cell: 0 = painted, else 1 + channel of its last hit
  std::vector<std::uint8_t> partOfBlock_;            // the merging thread of each block of cells
  std::vector<std::vector<std::uint32_t>> pending_;  // per part: cells with unpainted hits
  bool parallelPaint_ = false;
  bool joined_ = false;
  bool inHost_ = false;
};

}  // namespace

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

void RunFractalOrbits(TFractalParams* v, int orbits, int threads) {
  if (v == nullptr) throw std::invalid_argument(kNoRecord);
  // Beyond what a window or the renderer makes; such a grid is drawn the way it always was.
  if (GridSizeOf(*v) > kMaxLoggedGridSize) {
    RunFractal(v);
    return;
  }
  TOrbitsRun run(PlanOrbits(*v, orbits, threads));
  // As RunFractal: a log-density picture depends on the total of all hits and is painted whole when the run ends,
  // however it ends.
  try {
    run.Run(v);
  } catch (...) {
    if (v->logDensity) PaintLogDensity(*v);
    throw;
  }
  if (v->logDensity) PaintLogDensity(*v);
}
