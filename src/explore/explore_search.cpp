#include "explore/explore_search.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "document/fractal_document.h"
#include "engine/render_context.h"
#include "image/pixel_graphic.h"

namespace {

// Ends a worker's render when the search is cancelled.
class TCancelHost final : public EngineHost {
 public:
  TCancelHost(const std::atomic<bool>* cancel, TFractalParams& v) : cancel_(cancel), v_(v) {}
  void ProcessMessages() override {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) v_.abort = true;
  }
  void ParametersUpdate() override {}

 private:
  const std::atomic<bool>* cancel_;
  TFractalParams& v_;
};

}  // namespace

int ExploreThreads(const TExploreOptions& options) {
  if (options.threads > 0) return options.threads;
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::unique_ptr<TPixelGraphic> RenderThumbnail(const TFractalParams& params, std::uint64_t seed, std::int64_t steps,
                                               TRenderContext& context, const std::atomic<bool>* cancel,
                                               bool& restarted, bool& cancelled) {
  TFractalDocument document(params.imageWidth, params.imageHeight);
  document.Resize(params.imageWidth, params.imageHeight);
  document.Restore(TakeParamSnapshot(params));
  TFractalParams& v = document.Params();
  v.randomize = false;
  document.PrepareRun();
  TCancelHost host(cancel, v);
  context.ResetState();
  context.SetHost(&host);
  context.Seed(seed);
  context.SetStepBudget(steps);
  v.abort = false;
  try {
    context.Run(&v);
  } catch (...) {
    context.SetHost(nullptr);
    throw;
  }
  context.SetHost(nullptr);
  restarted = context.Counters().restarts > 0;
  cancelled = context.Counters().mainSteps < steps;
  context.SetStepBudget(kNoStepBudget);
  return document.NewPicture();
}

TExploreCandidate EvaluateCandidate(const TExploreOptions& options, std::uint64_t index, TRenderContext& context,
                                    const std::atomic<bool>* cancel) {
  const TCandidateSeed seed =
      options.base ? MutateCandidate(*options.base, options.distance, options.seed, index)
                   : MakeCandidate(options.family, options.variations, options.width, options.height, options.seed,
                                   index);
  TExploreCandidate candidate;
  candidate.index = index;
  candidate.params = seed.params;
  candidate.renderSeed = seed.renderSeed;
  TFractalParams& v = candidate.params;
  if (options.base) {
    v.imageWidth = options.width;
    v.imageHeight = options.height;
  }
  candidate.figures = ScreenOrbit(v, seed.renderSeed, options.thresholds);
  if (candidate.figures.verdict != TScreenVerdict::Accepted) return candidate;
  if (!(options.base && options.keepView) && !FrameView(v, candidate.figures.extent, options.thresholds.margin)) {
    candidate.figures.verdict = TScreenVerdict::Collapsed;
    return candidate;
  }
  bool restarted = false, cancelled = false;
  std::shared_ptr<TPixelGraphic> thumbnail;
  try {
    thumbnail = RenderThumbnail(v, seed.renderSeed, options.thumbnailSteps, context, cancel, restarted, cancelled);
  } catch (const EFloatingPointFault&) {
    candidate.figures.verdict = TScreenVerdict::Fault;
    return candidate;
  }
  if (cancelled) {
    candidate.figures.verdict = TScreenVerdict::Cancelled;
  } else if (restarted) {
    candidate.figures.verdict = TScreenVerdict::Escaped;
  } else {
    candidate.figures.verdict = ThumbnailVerdict(*thumbnail, options.thresholds);
  }
  // What a run leaves in the record (its counters, the last point) is no part of the parameter set.
  v.iterations = 0;
  v.ticks = 0;
  v.plotX = v.plotY = 0;
  if (candidate.figures.verdict == TScreenVerdict::Accepted) candidate.thumbnail = std::move(thumbnail);
  return candidate;
}

TExploreSearch::TExploreSearch(TExploreOptions options) : options_(std::move(options)) {}

TExploreStats TExploreSearch::Run(int wanted, const TAccepted& accepted, std::uint64_t first,
                                  const TProgress& progress) {
  TExploreStats stats;
  stats.nextIndex = first;
  if (wanted <= 0) return stats;
  const std::uint64_t end = first + static_cast<std::uint64_t>(std::max<std::int64_t>(0, options_.maxCandidates));

  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::uint64_t, TExploreCandidate> judged;  // not yet handed over
  bool stop = false;
  int running = 0;
  std::atomic<std::uint64_t> nextToTake{first};
  std::exception_ptr failure;

  const auto work = [&] {
    TRenderContext context;
    for (;;) {
      {
        const std::lock_guard<std::mutex> lock(mutex);
        if (stop) break;
      }
      if (Cancelled()) break;
      const std::uint64_t index = nextToTake.fetch_add(1);
      if (index >= end) break;
      TExploreCandidate candidate;
      try {
        candidate = EvaluateCandidate(options_, index, context, &cancel_);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
        break;
      }
      const std::lock_guard<std::mutex> lock(mutex);
      judged.emplace(index, std::move(candidate));
      changed.notify_all();
    }
    const std::lock_guard<std::mutex> lock(mutex);
    --running;
    changed.notify_all();
  };

  const int threads = ExploreThreads(options_);
  std::vector<std::thread> workers;
  running = threads;
  for (int t = 0; t < threads; ++t) workers.emplace_back(work);

  // Hands over the judged candidates in index order, from the caller's thread, without holding the lock.
  std::uint64_t nextToHand = first;
  std::unique_lock<std::mutex> lock(mutex);
  while (stats.accepted < wanted) {
    changed.wait(lock, [&] { return judged.count(nextToHand) > 0 || running == 0 || Cancelled(); });
    if (judged.count(nextToHand) == 0) {
      if (running == 0 || Cancelled()) break;
      continue;
    }
    TExploreCandidate candidate = std::move(judged[nextToHand]);
    judged.erase(nextToHand);
    ++nextToHand;
    lock.unlock();
    if (candidate.figures.verdict != TScreenVerdict::Cancelled) {
      ++stats.tried;
      ++stats.verdicts[static_cast<int>(candidate.figures.verdict)];
    }
    try {
      if (candidate.figures.verdict == TScreenVerdict::Accepted) {
        ++stats.accepted;
        if (accepted) accepted(candidate);
      }
      stats.nextIndex = nextToHand;
      if (progress) progress(stats);
    } catch (...) {
      // The caller's failure (a file it could not write) ends the search; the workers are joined first.
      lock.lock();
      if (!failure) failure = std::current_exception();
      break;
    }
    lock.lock();
  }
  stop = true;
  lock.unlock();
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);

  // Cancelled: what the workers found beyond the first gap is kept too, in index order.
  stats.cancelled = Cancelled() && stats.accepted < wanted;
  if (stats.cancelled) {
    for (auto& [index, candidate] : judged) {
      if (candidate.figures.verdict == TScreenVerdict::Cancelled) continue;
      ++stats.tried;
      ++stats.verdicts[static_cast<int>(candidate.figures.verdict)];
      if (candidate.figures.verdict == TScreenVerdict::Accepted && stats.accepted < wanted) {
        ++stats.accepted;
        if (accepted) accepted(candidate);
      }
      stats.nextIndex = index + 1;
    }
  }
  stats.exhausted = !stats.cancelled && stats.accepted < wanted && nextToHand >= end;
  return stats;
}
