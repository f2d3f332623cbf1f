// A render to a file in the background: a window's parameter set drawn at another size, supersampled and filtered,
// for a number of steps, on a render context of its own, on whatever thread runs it (the desktop program's workers),
// with progress, a preview now and then and cancelling at any moment. Nothing here touches the windows' engine state
// or Qt: the caller hands the results to its GUI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "document/fractal_document.h"
#include "document/supersampled.h"
#include "engine/fractal_params.h"
#include "engine/orbits.h"
#include "engine/render_context.h"
#include "files/hit_count_file.h"

struct TBackgroundRenderSpec {
  TFractalParams params;  // the parameter set as a window holds it; its handles, size and run state are not used
  int width = 1920, height = 1080;
  int supersample = 1;
  double filterRadius = 0;
  std::int64_t steps = 0;  // main steps in all
  int orbits = 8;
  int threads = 1;
  std::optional<std::uint64_t> seed;  // none: the clock seeds

  // Main steps for `quality` main steps per picture pixel.
  static std::int64_t StepsForQuality(int width, int height, double quality);
};

struct TBackgroundProgress {
  std::int64_t steps = 0, totalSteps = 0;
  double seconds = 0;  // since the render started
  double Fraction() const { return totalSteps > 0 ? static_cast<double>(steps) / totalSteps : 0; }
  double StepsPerSecond() const { return seconds > 0 ? steps / seconds : 0; }
  // Empty until enough is done to tell.
  std::optional<double> SecondsLeft() const;
};

class TBackgroundRender {
 public:
  // Checks the size, factor and radius and the memory the render needs against what is available, and raises
  // std::invalid_argument with the message when it cannot be done; allocates nothing yet.
  explicit TBackgroundRender(TBackgroundRenderSpec spec);
  TBackgroundRender(const TBackgroundRender&) = delete;
  TBackgroundRender& operator=(const TBackgroundRender&) = delete;
  ~TBackgroundRender();

  // What the render will need, in bytes.
  static std::uint64_t MemoryNeeded(const TBackgroundRenderSpec& spec);

  using TProgress = std::function<void(const TBackgroundProgress&)>;
  // A copy of the picture as it stands, painted from the counts so far.
  using TPreview = std::function<void(std::unique_ptr<TPixelGraphic>)>;

  // Draws on the calling thread until the steps are done or `cancel` is set (looked at a hundred times a second),
  // reporting progress about five times a second and, when asked, a preview every `previewSeconds`. Afterwards the
  // document holds the counts and the picture of what was drawn, cancelled or not. Raises EFloatingPointFault when
  // a step faults and std::bad_alloc when memory runs out.
  void Run(const std::atomic<bool>& cancel, const TProgress& progress = {}, const TPreview& preview = {},
           double previewSeconds = 3);

  bool Cancelled() const { return cancelled_; }
  std::int64_t StepsDone() const { return stepsDone_; }
  const TBackgroundRenderSpec& Spec() const { return spec_; }
  // After Run: the picture and its counts.
  const TFractalDocument& Document() const { return *document_; }
  TFractalDocument& Document() { return *document_; }
  // After Run: the render as a hit-count document (a supersampled one keeps its grid).
  THitCountDocument Counts() const;

 private:
  TBackgroundRenderSpec spec_;
  std::unique_ptr<TRenderContext> context_;
  TOrbitsLeft left_;
  std::unique_ptr<TFractalDocument> document_;
  std::unique_ptr<TSupersampledGrid> grid_;
  std::uint64_t seed_ = 0;
  std::int64_t stepsDone_ = 0;
  bool cancelled_ = false;
};
