#include "engine/orbits.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cfenv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/huge_pages.h"
#include "engine/round.h"
#include "engine/run_loop.h"
#include "image/pixel_graphic.h"

namespace {

// A full round makes at least this many main steps in all, and each orbit at least kMinOrbitRoundSteps: a few
// milliseconds of work, long against handing a job to the workers, short against the pump interval.
constexpr std::int64_t kRoundStepsTotal = 262144;
constexpr std::int64_t kMinOrbitRoundSteps = 4096;
// Cells are shared out among the merging threads in blocks of this many.
constexpr int kCellBlockShift = 10;
// A grid of the context's gathered size lies far outside the cache: its hits are dealt by region, runs of this many
// cells whose counts, marks and lead bytes fit in the cache together, and each region is merged and painted before
// the next, so that a round costs memory traffic per touched region instead of per hit.
constexpr int kRegionShift = 15;
// Less merging or painting than this is done on the calling thread alone: waking the workers would cost more (a run
// that keeps restarting makes one short round after another).
constexpr std::size_t kMinSharedWork = 16384;
// Once this many cells wait to be painted after a merge, they are painted, as RunFractal paints when its list fills.
constexpr std::size_t kPendingCapacity = std::size_t{1} << 16;
// By region, painting waits longer: a cell painted once for many rounds of hits is what makes large grids fast.
constexpr std::size_t kRegionPendingCapacity = std::size_t{1} << 21;
// A round's positions, the Lyapunov points of orbit 0 included, lie below 2^kRoundPositionBits (a full round has at
// most kMaxOrbits * kMinOrbitRoundSteps = 2^20, orbit 0 alone logs at most two points a step), and a mark holds the
// serials of kSerialRounds rounds: 30 bits.
constexpr int kRoundPositionBits = 21;
constexpr std::int64_t kMaxRoundPositions = std::int64_t{1} << kRoundPositionBits;
constexpr int kSerialRounds = (1 << (30 - kRoundPositionBits)) - 1;
static_assert(2 * kMaxOrbits * kMinOrbitRoundSteps <= kMaxRoundPositions && kRoundStepsTotal <= kMaxRoundPositions / 2);
// Hits ahead whose cells a merge asks the memory for.
constexpr std::size_t kPrefetchDistance = 16;
// A log entry holds a cell below 2^30.
constexpr std::int64_t kMaxLoggedCells = std::int64_t{1} << 30;

// A dealt hit is (position << 32) | log entry, positions below 2^kRoundPositionBits; with the gradient colouring the
// point's colour level rides in the bits above them.
constexpr int kLevelShift = 32 + kRoundPositionBits;
constexpr std::uint64_t kPositionMask = (std::uint64_t{1} << kRoundPositionBits) - 1;
static_assert(kColourLevels <= (1 << (64 - kLevelShift)));

constexpr const char* kGridTooLarge = "The picture is too large to be drawn by parallel orbits";
constexpr const char* kOrbitsDoNotFit = "The orbits to continue do not make one parallel run";

// Whether the orbits can trace different points: only through the random map choice, so only when there is one
// and something selected reads it.
bool MapChoiceMatters(const TFractalParams& v) {
  if (v.maps < 1 || v.maps > 3) return false;
  return v.latoocarfian01 || v.latoocarfian02 || v.ifs01 || v.ifs02 || v.cif01 || v.cif02 || v.sinusoidal;
}

// The calling thread and threads - 1 workers run one job at a time, each with its own index; Run returns when all
// are done. The workers take the calling thread's floating-point environment (precision and rounding of the
// extended arithmetic), so that an orbit computes alike on every thread.
//
// A round hands out a job every millisecond or so, and waking a sleeping thread can take a good part of that: a
// thread waiting for the next job, or for the others to finish one, first watches for it for a while (kSpinTime,
// a tenth of a millisecond; not when there are more threads than cores), and only then sleeps.
class TWorkerTeam {
 public:
  using TJob = std::function<void(int thread)>;

  explicit TWorkerTeam(int threads)
      : threads_(threads),
        // More threads than cores: a watching thread would only keep a working one from its core.
        spin_(static_cast<unsigned>(threads) <= std::thread::hardware_concurrency()) {
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
    job_ = &job;
    error_ = nullptr;
    running_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
    {
      // Under the lock, so that a worker about to sleep cannot miss it.
      const std::lock_guard<std::mutex> lock(mutex_);
      generation_.fetch_add(1, std::memory_order_release);
    }
    wake_.notify_all();
    std::exception_ptr own;
    try {
      job(0);
    } catch (...) {
      own = std::current_exception();
    }
    if (!SpinUntil([&] { return running_.load(std::memory_order_acquire) == 0; })) {
      std::unique_lock<std::mutex> lock(mutex_);
      done_.wait(lock, [&] { return running_.load(std::memory_order_acquire) == 0; });
    }
    job_ = nullptr;
    if (own) std::rethrow_exception(own);
    if (error_) std::rethrow_exception(error_);
  }

 private:
  static constexpr std::chrono::microseconds kSpinTime{100};

  template <class TReady>
  bool SpinUntil(TReady ready) const {
    if (!spin_) return ready();
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    for (;;) {
      for (int i = 0; i < 64; ++i) {
        if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
      }
      if (std::chrono::steady_clock::now() >= until) return ready();
    }
  }

  void Work(int thread) {
    std::fesetenv(&environment_);
    std::uint64_t seen = 0;
    for (;;) {
      const auto news = [&] {
        return stop_.load(std::memory_order_acquire) || generation_.load(std::memory_order_acquire) != seen;
      };
      if (!SpinUntil(news)) {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, news);
      }
      if (stop_.load(std::memory_order_acquire)) return;
      seen = generation_.load(std::memory_order_acquire);
      std::exception_ptr error;
      try {
        (*job_)(thread);
      } catch (...) {
        error = std::current_exception();
      }
      if (error) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!error_) error_ = error;
      }
      if (running_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        // The last one: the calling thread may be asleep. Notified under the lock, so that it cannot miss it.
        const std::lock_guard<std::mutex> lock(mutex_);
        done_.notify_one();
      }
    }
  }

  void Stop() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stop_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  const int threads_;
  const bool spin_;
  std::fenv_t environment_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;  // for sleeping and waking, and for error_
  std::condition_variable wake_, done_;
  std::atomic<std::uint64_t> generation_{0};  // one more for every job handed out
  std::atomic<int> running_{0};               // workers still at the job
  std::atomic<bool> stop_{false};
  const TJob* job_ = nullptr;  // written before generation_ moves on, read after
  std::exception_ptr error_;
};

// A vector whose bookkeeping has a cache line of its own: threads fill theirs side by side, and a line written by
// two of them would go back and forth between their cores at every hit.
template <class T>
struct alignas(128) TOwnLine {
  std::vector<T> items;
};

// A thread's hits of a round, (position << 32) | log entry, by bucket: bucket b's in [start[b], end[b]), the buckets
// of a part one after the other. A bucket is a part (a thread's share of the cells) or, on a large grid, a region,
// region b belonging to part b % threads. Each thread's bounds are its own: dealing moves an end at every hit.
struct alignas(128) TDealt {
  void Clear() {
    std::fill(start.begin(), start.end(), 0);
    std::fill(end.begin(), end.end(), 0);
  }
  std::size_t Size(std::size_t bucket) const { return end[bucket] - start[bucket]; }

  std::unique_ptr<std::uint64_t[]> hits;  // room for capacity hits, not initialised
  std::size_t capacity = 0;
  std::vector<std::size_t> start, end;  // per bucket, sized when the grid is taken
};

struct alignas(128) TOrbit {
  TEngineState state;
  TFractalParams record;           // orbits k > 0: the run's record as of the round's start, with its own counters
  std::vector<std::uint32_t> log;  // this round: per point, (cell << 2) | channel of its fourth hit, or kNoHitLogged
  std::vector<std::uint16_t> levels;  // with the gradient colouring: per point, its colour level
  std::size_t logCount = 0;
  std::int64_t first = 0;  // index of its first step this round within the round (see RoundShare)
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
        dealt_(static_cast<std::size_t>(plan.threads)),
        pending_(static_cast<std::size_t>(plan.threads)),
        touched_(static_cast<std::size_t>(plan.threads)),
        pendingCells_(static_cast<std::size_t>(plan.threads)) {
    for (auto& waiting : pendingCells_) waiting.items.assign(1, 0);
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
      for (int t = 1; t < team_.Threads(); ++t) dealt_[static_cast<std::size_t>(t)].Clear();
      const auto start = std::chrono::steady_clock::now();
      Step(0);
      Deal(0, 1);
      if (!lyapunovPhase) TimeAloneRound(Orbit(0).made, std::chrono::steady_clock::now() - start);
    } else {
      const int threads = team_.Threads();
      team_.Run([&](int t) {
        for (int k = t; k < active; k += threads) Step(k);
        Deal(t, active);
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
      Merge(mergeBelow);
      return;
    }
    const TOrbit& event = Orbit(eventOrbit);
    if (event.faulted) {
      Merge(mergeBelow);
      PaintAll();
      lead.v->abort = true;
      throw EFloatingPointFault(event.fault);
    }
    // A restart clears the picture; what came before it is shown to the host, which is told of the new coefficients.
    Merge(mergeBelow);
    RandomRestart();
  }

  // Orbit 0 alone makes rounds of any length with the same result. With a host, a round lasts about one pump
  // interval, so that the host is called as often as by a run that looks at the clock every few hundred steps.
  std::int64_t AloneRoundSteps() const { return context_.Host() == nullptr ? roundTotal_ : aloneRoundSteps_; }

  void TimeAloneRound(std::int64_t made, std::chrono::steady_clock::duration took) {
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

  // The hits of a round are applied as RunFractal counts them: the four hits of a point raise the cell's counts at
  // once, each count saturating, and the cell remembers the channel of its last hit until it is painted. Neither
  // depends on the order the hits are applied in, so the threads need not keep one: the hits of a round all add
  // the same weight, so the counts saturate alike in any order, and the last hit is the one with the highest
  // position (orbit 0 alone: the latest in its log), which each cell's mark keeps. A round stopped by the budget
  // and finished by a later run (Continue) thus merges as the round that never stopped.
  //
  // Each thread deals the hits of the orbits it ran out by the part of the picture their cell lies in (blocks of
  // cells dealt out to the parts in turn), right after their steps; then each thread takes one part and applies its
  // hits. No cell is touched by two threads. On a large grid the hits are dealt by region instead, the regions dealt
  // out to the parts in turn, and a part applies its hits region by region: a region's cells stay in the cache
  // while its hits are counted, and the channels of their last hits wait beside them for one painting of many rounds.
  //
  // The hits of the orbits thread t ran (orbit 0 alone: orbit 0's), each with its position -- step i of orbit k at
  // (first + i) K + k, orbit 0 alone at its place in its log -- sorted by part: counted first, then written in place.
  // With several threads the parts are read by other threads' cores: written past this core's cache, they are not
  // first fetched here only to be sent over there.
  void Deal(int t, int active) {
    if (target_.cells == 0) {
      dealt_[static_cast<std::size_t>(t)].Clear();
      return;
    }
    if (byRegion_) {
      DealBy(t, active, [](std::uint32_t entry) { return entry >> (2 + kRegionShift); });
      return;
    }
    const std::uint8_t* partOf = partOfBlock_.data();
    if (team_.Threads() == 1)
      DealBy(t, active, [](std::uint32_t) { return 0; });
    else
      DealBy(t, active, [partOf](std::uint32_t entry) { return partOf[entry >> (2 + kCellBlockShift)]; });
  }

  template <class TBucketOf>
  void DealBy(int t, int active, TBucketOf bucketOf) {
    TDealt& dealt = dealt_[static_cast<std::size_t>(t)];
    const int threads = team_.Threads();
    dealt.Clear();
    const int step = active == 1 ? 1 : threads;
    std::size_t* end = dealt.end.data();
    for (int k = t; k < active; k += step) {
      const TOrbit& o = Orbit(k);
      const std::uint32_t* log = o.log.data();
      for (std::size_t i = 0; i < o.logCount; ++i)
        if (log[i] != kNoHitLogged) ++end[bucketOf(log[i])];
    }
    std::size_t total = 0;
    for (int p = 0; p < threads; ++p)
      for (std::size_t b = static_cast<std::size_t>(p); b < buckets_; b += static_cast<std::size_t>(threads)) {
        dealt.start[b] = total;
        total += end[b];
        end[b] = dealt.start[b];
      }
    if (dealt.capacity < total) {
      dealt.hits.reset(new std::uint64_t[total]);
      dealt.capacity = total;
    }
    std::uint64_t* hits = dealt.hits.get();
    const std::uint64_t stride = active == 1 ? 1 : static_cast<std::uint64_t>(active);
    const bool gradient = target_.gradient;
    for (int k = t; k < active; k += step) {
      const TOrbit& o = Orbit(k);
      const std::uint32_t* log = o.log.data();
      const std::uint16_t* levels = o.levels.data();
      std::uint64_t position =
          active == 1 ? 0 : static_cast<std::uint64_t>(o.first) * stride + static_cast<std::uint64_t>(k);
      for (std::size_t i = 0; i < o.logCount; ++i, position += stride) {
        const std::uint32_t entry = log[i];
        if (entry == kNoHitLogged) continue;
        std::uint64_t hit = position << 32 | entry;
        if (gradient) hit |= std::uint64_t{levels[i]} << kLevelShift;
        std::uint64_t* at = hits + end[bucketOf(entry)]++;
#if defined(__SSE2__)
        if (threads > 1) {
          _mm_stream_si64(reinterpret_cast<long long*>(at), static_cast<long long>(hit));
          continue;
        }
#endif
        *at = hit;
      }
    }
#if defined(__SSE2__)
    // The streamed hits are in memory before the job's end hands them over.
    if (threads > 1) _mm_sfence();
#endif
  }

  // Applies the round's hits at positions below `below`.
  void Merge(std::int64_t below) {
    if (target_.cells == 0) return;
    const int threads = team_.Threads();
    std::size_t work = 0;
    for (const TDealt& dealt : dealt_)
      for (std::size_t b = 0; b < buckets_; ++b) work += dealt.Size(b);
    if (work == 0) return;
    // Marks hold the round's serial above every earlier round's; after kSerialRounds rounds they start again from
    // a painted picture, where no cell has a mark.
    if (serialRound_ == kSerialRounds) PaintAll();
    const std::uint64_t serialBase = static_cast<std::uint64_t>(serialRound_++) << kRoundPositionBits;
    const std::uint64_t limit = static_cast<std::uint64_t>(std::min<std::int64_t>(below, kMaxRoundPositions));
    const auto merge = [&](int part, auto gradient) {
      const TRenderTarget& target = target_;
      std::int32_t* const* counts = target.counts;
      std::uint32_t* const marks = MarksOf(part);
      const std::uint32_t markMask = markMask_;
      std::vector<std::uint32_t>& pending =
          (byRegion_ ? touched_ : pending_)[static_cast<std::size_t>(part)].items;
      for (std::size_t b = static_cast<std::size_t>(part); b < buckets_; b += static_cast<std::size_t>(threads)) {
        for (int t = 0; t < threads; ++t) {
          const TDealt& dealt = dealt_[static_cast<std::size_t>(t)];
          const std::uint64_t* entries = dealt.hits.get() + dealt.start[b];
          const std::size_t n = dealt.Size(b);
          for (std::size_t i = 0; i < n; ++i) {
            // The cells lie all over the lists: ask for a later hit's cell now, so that the memory works on several
            // at once while this one is counted.
            if (i + kPrefetchDistance < n) {
              const std::uint32_t ahead = static_cast<std::uint32_t>(entries[i + kPrefetchDistance]) >> 2;
              __builtin_prefetch(counts[0] + ahead, 1);
              __builtin_prefetch(counts[1] + ahead, 1);
              __builtin_prefetch(counts[2] + ahead, 1);
              __builtin_prefetch(marks + (ahead & markMask), 1);
            }
            std::uint64_t position = entries[i] >> 32;
            if constexpr (decltype(gradient)::value) position &= kPositionMask;
            if (position >= limit) [[unlikely]]
              continue;
            const std::uint32_t entry = static_cast<std::uint32_t>(entries[i]);
            const std::uint32_t cell = entry >> 2;
            const std::uint32_t fourth = entry & 3;
            AddHits(target, cell, static_cast<int>(fourth));
            if constexpr (decltype(gradient)::value)
              AddColour(target, cell, static_cast<std::uint32_t>(entries[i] >> kLevelShift));
            std::uint32_t& markOfCell = marks[cell & markMask];
            const std::uint32_t mark = markOfCell;
            const std::uint32_t hit = static_cast<std::uint32_t>((serialBase + position + 1) << 2) | fourth;
            if (mark == 0) pending.push_back(cell);
            markOfCell = std::max(mark, hit);
          }
        }
        if (byRegion_) FinishRegion(part);
      }
    };
    // The gradient colouring's merge is a loop of its own, so that the defined colouring's stays as it was.
    if (target_.gradient)
      RunParts(work, [&](int part) { merge(part, std::true_type{}); });
    else
      RunParts(work, [&](int part) { merge(part, std::false_type{}); });
    // Painted between merges, never inside one: a painted cell forgets its last hit.
    const std::size_t waiting = Waiting();
    if (waiting >= (byRegion_ ? kRegionPendingCapacity : kPendingCapacity)) PaintAll();
  }

  // Merging and painting are shared out by parts. Only pictures whose pixels are whole bytes can be painted by
  // several threads at once; the others are merged and painted part by part on the calling thread, as is little
  // work, where waking the workers would cost more.
  void RunParts(std::size_t work, const TWorkerTeam::TJob& job) {
    if (parallelPaint_ && work >= kMinSharedWork) {
      team_.Run(job);
    } else {
      for (int part = 0; part < team_.Threads(); ++part) job(part);
    }
  }

  // Part p's marks: all cells' marks, or (by region) those of the region it merges, at p << kRegionShift.
  std::uint32_t* MarksOf(int part) {
    return byRegion_ ? marks_.data() + (static_cast<std::size_t>(part) << kRegionShift) : marks_.data();
  }

  // The channels of the last hits of the region just merged go from its marks, which the next region needs, to the
  // cells' own channels, which wait there to be painted.
  void FinishRegion(int part) {
    std::vector<std::uint32_t>& touched = touched_[static_cast<std::size_t>(part)].items;
    std::vector<std::uint32_t>& pending = pending_[static_cast<std::size_t>(part)].items;
    std::uint32_t* const marks = MarksOf(part);
    if (target_.image == nullptr) {
      // Counts only: a cell's paint is its lead byte, as cheap to write now as its channel.
      for (const std::uint32_t cell : touched) {
        std::uint32_t& mark = marks[cell & markMask_];
        PaintCell(target_, cell, static_cast<int>(mark & 3));
        mark = 0;
      }
      touched.clear();
      return;
    }
    std::size_t fresh = 0;
    for (const std::uint32_t cell : touched) {
      std::uint32_t& mark = marks[cell & markMask_];
      std::uint8_t& channel = lastChannel_[cell];
      fresh += channel == 0;
      channel = static_cast<std::uint8_t>((mark & 3) + 1);
      mark = 0;
    }
    if (fresh > 0) {
      const std::uint32_t region = touched.front() >> kRegionShift;
      std::uint8_t& dirty = regionDirty_[region];
      if (dirty == 0) pending.push_back(region);
      dirty = 1;
      pendingCells_[static_cast<std::size_t>(part)].items.front() += fresh;
    }
    touched.clear();
  }

  // By region, part p's pending list holds its regions with cells waiting to be painted, and their cells are
  // painted in the order of the lists, found by a scan of the region's channels.
  template <class TCell>
  void ForPendingCells(int part, TCell cell) {
    std::vector<std::uint32_t>& regions = pending_[static_cast<std::size_t>(part)].items;
    const std::size_t cells = lastChannel_.size();
    for (const std::uint32_t region : regions) {
      const std::size_t first = static_cast<std::size_t>(region) << kRegionShift;
      const std::size_t end = std::min(cells, first + (std::size_t{1} << kRegionShift));
      std::uint8_t* channels = lastChannel_.data();
      std::size_t c = first;
      for (; c + 8 <= end; c += 8) {
        std::uint64_t word;
        std::memcpy(&word, channels + c, 8);
        if (word == 0) continue;
        for (std::size_t k = c; k < c + 8; ++k)
          if (channels[k] != 0) cell(k, channels[k]);
      }
      for (; c < end; ++c)
        if (channels[c] != 0) cell(c, channels[c]);
      regionDirty_[region] = 0;
    }
    regions.clear();
    pendingCells_[static_cast<std::size_t>(part)].items.front() = 0;
  }

  void PaintPart(int part) {
    std::vector<std::uint32_t>& pending = pending_[static_cast<std::size_t>(part)].items;
    if (byRegion_) {
      ForPendingCells(part, [&](std::size_t cell, std::uint8_t& channel) {
        PaintCell(target_, static_cast<std::int64_t>(cell), channel - 1);
        channel = 0;
      });
      return;
    }
    for (const std::uint32_t cell : pending) {
      std::uint32_t& mark = MarksOf(part)[cell & markMask_];
      PaintCell(target_, cell, static_cast<int>(mark & 3));
      mark = 0;
    }
    pending.clear();
  }

  // Cells waiting to be painted.
  std::size_t Waiting() const {
    std::size_t waiting = 0;
    for (std::size_t part = 0; part < pending_.size(); ++part)
      waiting += lastChannel_.empty() ? pending_[part].items.size() : pendingCells_[part].items.front();
    return waiting;
  }

  void PaintAll() override {
    const std::size_t work = Waiting();
    if (work > 0) RunParts(work, [&](int part) { PaintPart(part); });
    serialRound_ = 0;
    ClearFaultFlags();
  }

  void DropPending() override {
    roundDone_ = 0;
    for (int part = 0; part < team_.Threads(); ++part) {
      auto& pending = pending_[static_cast<std::size_t>(part)];
      if (byRegion_) {
        ForPendingCells(part, [](std::size_t, std::uint8_t& channel) { channel = 0; });
        continue;
      }
      for (const std::uint32_t cell : pending.items) MarksOf(part)[cell & markMask_] = 0;
      pending.items.clear();
    }
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
    // Nothing is pending here (painting precedes every host call, a reset drops it), so the marks may be made anew.
    const std::size_t cells = static_cast<std::size_t>(t.cells);
    byRegion_ = t.cells >= context_.GatheredGridCells();
    // By region, a cell is marked only while its region is merged: each part keeps the marks of one region.
    const std::size_t marks = byRegion_ ? static_cast<std::size_t>(team_.Threads()) << kRegionShift : cells;
    markMask_ = byRegion_ ? (std::uint32_t{1} << kRegionShift) - 1 : ~std::uint32_t{0};
    if (marks_.size() != marks) AssignZeroedList(marks_, marks);
    const std::size_t channels = byRegion_ && t.image != nullptr ? cells : 0;
    if (lastChannel_.size() != channels) AssignZeroedList(lastChannel_, channels);
    // Blocks of cells dealt out to the parts in turn: an attractor's cells are spread over all of them.
    const std::size_t blocks = (cells >> kCellBlockShift) + 1;
    if (partOfBlock_.size() != blocks) {
      partOfBlock_.resize(blocks);
      for (std::size_t b = 0; b < blocks; ++b)
        partOfBlock_[b] = static_cast<std::uint8_t>(b % static_cast<std::size_t>(team_.Threads()));
    }
    const std::size_t buckets =
        byRegion_ ? (cells >> kRegionShift) + 1 : static_cast<std::size_t>(team_.Threads());
    if (buckets_ != buckets) {
      buckets_ = buckets;
      for (TDealt& dealt : dealt_) {
        dealt.start.assign(buckets, 0);
        dealt.end.assign(buckets, 0);
      }
    }
    regionDirty_.assign(channels > 0 ? buckets : 0, 0);
    parallelPaint_ = t.image == nullptr || t.image->ColorRes() == TColorRes::Bits24 ||
                     t.image->ColorRes() == TColorRes::Bits8;
  }

  const int orbitCount_;
  const std::int64_t orbitSteps_;
  const std::int64_t roundTotal_;
  TWorkerTeam team_;
  std::int64_t roundDone_ = 0;  // positions of the full round in progress already made
  std::int64_t aloneRoundSteps_ = kMinOrbitRoundSteps;  // the length of orbit 0's next round alone, with a host
  // Per cell (by region: per cell of the region a part merges): 0 = painted, else its last hit since:
  // (serial << 2) | channel, the serial one more than the hit's position in its round plus serialRound_ full rounds.
  std::vector<std::uint32_t> marks_;
  std::uint32_t markMask_ = 0;  // a cell's mark is at its part's marks + (cell & markMask_)
  int serialRound_ = 0;                              // rounds merged since the picture was last painted whole
  std::vector<std::uint8_t> partOfBlock_;            // the merging thread of each block of cells
  std::vector<TDealt> dealt_;                     // per thread: the hits of its orbits
  std::vector<TOwnLine<std::uint32_t>> pending_;  // per part: cells with unpainted hits (by region: their regions)
  std::vector<TOwnLine<std::uint32_t>> touched_;  // by region, per part: cells marked in the region it merges
  // By region, with a picture: per cell, 0 = painted, else 1 + channel of its last hit; per region, whether its
  // part's pending list holds it; per part, how many cells wait to be painted.
  std::vector<std::uint8_t> lastChannel_;
  std::vector<std::uint8_t> regionDirty_;
  std::vector<TOwnLine<std::size_t>> pendingCells_;
  bool parallelPaint_ = false;
  bool byRegion_ = false;    // hits are dealt and merged by region
  std::size_t buckets_ = 0;  // parts, or regions
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
