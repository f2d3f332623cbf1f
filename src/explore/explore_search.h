// The search: candidates drawn at random (or as variants of a set), screened, framed and drawn as thumbnails by
// worker threads, one render context each, and handed to the caller in the order of their index. Candidate i is
// fixed by the seed and i, so the accepted list does not depend on the number of threads or on timing.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "engine/fractal_params.h"
#include "explore/explore_family.h"
#include "explore/screen.h"

class TPixelGraphic;
class TRenderContext;

inline constexpr int kDefaultThumbnailWidth = 160;
inline constexpr int kDefaultThumbnailHeight = 120;
inline constexpr std::int64_t kDefaultThumbnailSteps = 150000;
inline constexpr std::int64_t kDefaultMaxCandidates = 200000;
inline constexpr double kDefaultMutationDistance = 0.1;

struct TExploreOptions {
  TExploreFamily family;
  TVariationChoice variations;
  int width = kDefaultThumbnailWidth, height = kDefaultThumbnailHeight;
  std::int64_t thumbnailSteps = kDefaultThumbnailSteps;
  std::uint64_t seed = 1;
  TScreenThresholds thresholds;
  int threads = 0;  // 0: one per core
  // A search gives up after this many candidates without enough accepted ones.
  std::int64_t maxCandidates = kDefaultMaxCandidates;
  // "More like this": candidates are variants of `base` at relative `distance`, its colours, variations and tone
  // kept; with keepView its view too (no framing, only the screen), else each is framed anew.
  std::optional<TFractalParams> base;
  double distance = kDefaultMutationDistance;
  bool keepView = false;
};

struct TExploreCandidate {
  std::uint64_t index = 0;
  TFractalParams params{};  // framed, at the thumbnail's size; no picture or lists
  std::uint64_t renderSeed = 0;
  TScreenFigures figures;
  std::shared_ptr<TPixelGraphic> thumbnail;  // only when accepted
};

inline constexpr int kScreenVerdictCount = static_cast<int>(TScreenVerdict::Cancelled) + 1;

struct TExploreStats {
  std::int64_t tried = 0;     // candidates judged
  std::int64_t accepted = 0;  // handed to the caller
  std::array<std::int64_t, kScreenVerdictCount> verdicts{};
  std::uint64_t nextIndex = 0;  // where a following page starts
  bool cancelled = false;
  bool exhausted = false;  // maxCandidates reached
};

// What a worker does for candidate `index`, on its own context. A cancel flag that turns true ends the thumbnail's
// render at the engine's next pump and gives the verdict Cancelled.
TExploreCandidate EvaluateCandidate(const TExploreOptions& options, std::uint64_t index, TRenderContext& context,
                                    const std::atomic<bool>* cancel = nullptr);

// The thumbnail of a framed record, drawn as `ovel-ifs-render FILE.ifs --orbits 1 --seed SEED --steps STEPS` at the
// record's size draws it. `restarted` says whether the engine made a random restart (new coefficients) on the way.
std::unique_ptr<TPixelGraphic> RenderThumbnail(const TFractalParams& params, std::uint64_t seed, std::int64_t steps,
                                               TRenderContext& context, const std::atomic<bool>* cancel,
                                               bool& restarted, bool& cancelled);

class TExploreSearch {
 public:
  using TAccepted = std::function<void(const TExploreCandidate&)>;
  using TProgress = std::function<void(const TExploreStats&)>;

  explicit TExploreSearch(TExploreOptions options);
  TExploreSearch(const TExploreSearch&) = delete;
  TExploreSearch& operator=(const TExploreSearch&) = delete;

  // Judges candidates from index `first` on until `wanted` are accepted, Cancel is called or maxCandidates are
  // spent, and calls `accepted` with each on the calling thread, in index order, as soon as every candidate before
  // it is judged; `progress` after every judged candidate. A cancelled search still hands over, in index order, the
  // accepted candidates it has (not necessarily the first ones). Blocks until the workers have ended.
  TExploreStats Run(int wanted, const TAccepted& accepted, std::uint64_t first = 0, const TProgress& progress = {});

  // From any thread, at any moment: the workers stop at the engine's next pump, Run returns soon after.
  void Cancel() { cancel_.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }
  const TExploreOptions& Options() const { return options_; }

 private:
  TExploreOptions options_;
  std::atomic<bool> cancel_{false};
};

// The threads a search runs on: options.threads, or one per core.
int ExploreThreads(const TExploreOptions& options);
