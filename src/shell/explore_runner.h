// TExploreRunner: the core's search on a thread of its own, so that the GUI thread only receives what it finds.
// The search's workers judge and draw candidates; what they accept is posted to the GUI thread, where the
// runner's callbacks see it. A request that is replaced or cancelled is told apart by its number, and whatever
// it still posts afterwards is dropped. Destroying the runner cancels the search and waits for its threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <QObject>

#include "explore/explore_search.h"

struct TExploreRequest {
  TExploreOptions options;
  int wanted = 16;
  std::uint64_t first = 0;
  // "More like this": the base set (options.base) is framed and drawn first, at the thumbnail size, and handed
  // over through onBase.
  bool drawBase = false;
};

class TExploreRunner : public QObject {
  Q_OBJECT

 public:
  explicit TExploreRunner(QObject* parent = nullptr);
  ~TExploreRunner() override;

  // Called on the GUI thread, for the current request only.
  std::function<void(const TExploreCandidate&)> onBase;
  std::function<void(const TExploreCandidate&)> onAccepted;
  std::function<void(const TExploreStats&)> onProgress;
  std::function<void(const TExploreStats&)> onFinished;
  // The search failed; the text of its error.
  std::function<void(std::exception_ptr)> onFailed;

  // Starts a request; one still running is cancelled first and its threads are joined.
  void Start(TExploreRequest request);
  // Cancels the current request; its workers stop at the engine's next pump and nothing more of it arrives.
  void Cancel();
  bool Running() const { return running_; }
  std::uint64_t RequestNumber() const { return request_; }

 private:
  void Join();
  // Runs on the GUI thread; drops what belongs to an older request.
  void Deliver(std::uint64_t request, const std::function<void()>& deliver);
  // Posts the newest progress figures, at most one post waiting at a time.
  void PostProgress(std::uint64_t request, const TExploreStats& stats);

  std::uint64_t request_ = 0;  // GUI thread only
  bool running_ = false;
  std::unique_ptr<TExploreSearch> search_;
  std::shared_ptr<std::atomic<bool>> baseCancel_;  // ends the base's thumbnail render
  std::thread thread_;
  std::mutex progressMutex_;
  TExploreStats latestProgress_;
  std::atomic<bool> progressPosted_{false};
};
