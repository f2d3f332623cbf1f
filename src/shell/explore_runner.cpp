#include "shell/explore_runner.h"

#include <QMetaObject>

#include "engine/formula.h"
#include "engine/render_context.h"
#include "image/pixel_graphic.h"

namespace {

// The base set of "More like this" as a thumbnail: framed as a candidate is, drawn as one, with the figures of
// its screen whatever they say.
TExploreCandidate DrawBase(const TExploreOptions& options, const std::atomic<bool>& cancel) {
  TExploreCandidate base;
  base.params = *options.base;
  base.renderSeed = options.seed;
  TFractalParams& v = base.params;
  v.imageWidth = options.width;
  v.imageHeight = options.height;
  v.randomize = false;
  v.abort = false;
  base.figures = ScreenOrbit(v, base.renderSeed, options.thresholds);
  if (!options.keepView) FrameSet(v, base.renderSeed, options.thresholds);
  TRenderContext context;
  bool restarted = false, cancelled = false;
  try {
    base.thumbnail = RenderThumbnail(v, base.renderSeed, options.thumbnailSteps, context, &cancel, restarted,
                                     cancelled);
  } catch (const EFloatingPointFault&) {
    base.figures.verdict = TScreenVerdict::Fault;
  }
  v.iterations = 0;
  v.ticks = 0;
  v.plotX = v.plotY = 0;
  return base;
}

}  // namespace

TExploreRunner::TExploreRunner(QObject* parent) : QObject(parent) {}

TExploreRunner::~TExploreRunner() {
  if (search_) search_->Cancel();
  if (baseCancel_) baseCancel_->store(true);
  Join();
}

void TExploreRunner::Join() {
  if (thread_.joinable()) thread_.join();
}

void TExploreRunner::Cancel() {
  if (search_) search_->Cancel();
  if (baseCancel_) baseCancel_->store(true);
  // Whatever the old request still posts is dropped from here on.
  ++request_;
  running_ = false;
}

void TExploreRunner::Start(TExploreRequest request) {
  Cancel();
  Join();
  const std::uint64_t number = ++request_;
  running_ = true;
  search_ = std::make_unique<TExploreSearch>(request.options);
  progressPosted_ = false;
  TExploreSearch* search = search_.get();
  baseCancel_ = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, search, baseCancel = baseCancel_, number, request = std::move(request)] {
    std::exception_ptr failure;
    TExploreStats stats;
    try {
      if (request.drawBase && request.options.base) {
        const TExploreCandidate base = DrawBase(request.options, *baseCancel);
        QMetaObject::invokeMethod(this, [this, number, base] {
          Deliver(number, [&] { if (onBase) onBase(base); });
        }, Qt::QueuedConnection);
      }
      stats = search->Run(
          request.wanted,
          [&](const TExploreCandidate& candidate) {
            QMetaObject::invokeMethod(this, [this, number, candidate] {
              Deliver(number, [&] { if (onAccepted) onAccepted(candidate); });
            }, Qt::QueuedConnection);
          },
          request.first, [&](const TExploreStats& figures) { PostProgress(number, figures); });
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(this, [this, number, stats, failure] {
      Deliver(number, [&] {
        running_ = false;
        if (failure) {
          if (onFailed) onFailed(failure);
        } else if (onFinished) {
          onFinished(stats);
        }
      });
    }, Qt::QueuedConnection);
  });
}

void TExploreRunner::Deliver(std::uint64_t request, const std::function<void()>& deliver) {
  if (request != request_) return;
  deliver();
}

void TExploreRunner::PostProgress(std::uint64_t request, const TExploreStats& stats) {
  {
    const std::lock_guard<std::mutex> lock(progressMutex_);
    latestProgress_ = stats;
  }
  if (progressPosted_.exchange(true)) return;
  QMetaObject::invokeMethod(this, [this, request] {
    TExploreStats stats;
    {
      const std::lock_guard<std::mutex> lock(progressMutex_);
      stats = latestProgress_;
    }
    progressPosted_ = false;
    Deliver(request, [&] { if (onProgress) onProgress(stats); });
  }, Qt::QueuedConnection);
}
