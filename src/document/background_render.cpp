#include "document/background_render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "document/hit_counts.h"
#include "engine/render_context.h"
#include "engine/supersample.h"
#include "engine/tone.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kMaxBackgroundSide = static_cast<int>(kHitCountMaxSide);
constexpr double kProgressSeconds = 0.2;
// The host shows nothing between its reports and answers a cancel within this: called that seldom, it lets a large
// grid's hits wait for several rounds and be counted region by region.
constexpr std::chrono::milliseconds kPumpInterval{100};
static_assert(kPumpInterval >= kSeldomPumpInterval);

double Since(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// The worker's view of the render: cancelling, progress and previews, between the engine's rounds.
class TBackgroundHost : public EngineHost {
 public:
  TBackgroundHost(TRenderContext& context, TFractalParams& drawn, const std::atomic<bool>& cancel,
                  std::int64_t total, const TBackgroundRender::TProgress& progress, std::function<void()> preview,
                  double previewSeconds)
      : context_(context), drawn_(drawn), cancel_(cancel), total_(total), progress_(progress),
        preview_(std::move(preview)), previewSeconds_(previewSeconds) {}

  void ProcessMessages() override {
    if (cancel_.load(std::memory_order_relaxed)) {
      cancelled = true;
      drawn_.abort = true;
      return;
    }
    const double now = Since(start_);
    if (progress_ && now >= nextProgress_) {
      nextProgress_ = now + kProgressSeconds;
      progress_({context_.Counters().mainSteps, total_, now});
    }
    if (preview_ && now >= nextPreview_) {
      nextPreview_ = now + previewSeconds_;
      preview_();
    }
  }
  void ParametersUpdate() override {}

  bool cancelled = false;

 private:
  TRenderContext& context_;
  TFractalParams& drawn_;
  const std::atomic<bool>& cancel_;
  const std::int64_t total_;
  const TBackgroundRender::TProgress& progress_;
  std::function<void()> preview_;
  const double previewSeconds_;
  const TClock::time_point start_ = TClock::now();
  double nextProgress_ = 0;
  double nextPreview_ = 0;
};

}  // namespace

std::int64_t TBackgroundRenderSpec::StepsForQuality(int width, int height, double quality) {
  return static_cast<std::int64_t>(std::clamp(std::round(quality * width * height), 1.0, 9e18));
}

std::optional<double> TBackgroundProgress::SecondsLeft() const {
  const double f = Fraction();
  if (f < 0.01 || seconds < 0.5) return std::nullopt;
  return seconds * (1 - f) / f;
}

std::uint64_t TBackgroundRender::MemoryNeeded(const TBackgroundRenderSpec& spec) {
  return SupersampledRenderBytes(spec.width, spec.height, spec.supersample, spec.orbits > 1);
}

TBackgroundRender::TBackgroundRender(TBackgroundRenderSpec spec) : spec_(std::move(spec)) {
  if (spec_.width < 1 || spec_.height < 1 || spec_.width > kMaxBackgroundSide || spec_.height > kMaxBackgroundSide)
    throw std::invalid_argument("The picture size must be 1 to " + std::to_string(kMaxBackgroundSide) +
                                " pixels on each side");
  if (const std::string problem = SupersampleProblem(spec_.supersample, spec_.filterRadius); !problem.empty())
    throw std::invalid_argument("Cannot render: " + problem);
  if (spec_.steps < 1) throw std::invalid_argument("Cannot render: no steps to make");
  if (const std::string refusal = MemoryRefusal(MemoryNeeded(spec_), AvailableMemoryBytes()); !refusal.empty())
    throw std::invalid_argument("Cannot render: " + refusal);
}

TBackgroundRender::~TBackgroundRender() = default;

void TBackgroundRender::Run(const std::atomic<bool>& cancel, const TProgress& progress, const TPreview& preview,
                            double previewSeconds) {
  document_ = std::make_unique<TFractalDocument>(spec_.width, spec_.height);
  document_->Resize(spec_.width, spec_.height);
  document_->RestoreSettings(spec_.params);
  TFractalParams& v = document_->Params();
  v.randomize = false;
  if (!document_->PrepareRun()) throw std::invalid_argument("The parameter set selects nothing to draw");
  const bool supersampled = spec_.supersample > 1 || spec_.filterRadius > 0;
  if (supersampled) grid_ = std::make_unique<TSupersampledGrid>(v, spec_.supersample);
  TFractalParams& drawn = grid_ ? grid_->Record() : v;

  context_ = std::make_unique<TRenderContext>();
  if (spec_.seed) {
    seed_ = *spec_.seed;
    context_->Seed(seed_);
  } else {
    context_->ReseedFromClock();
  }
  context_->SetStepBudget(spec_.steps);
  context_->SetPumpInterval(kPumpInterval);
  const auto makePreview = [&] {
    if (!preview) return;
    if (grid_) grid_->FinishInto(*document_, spec_.filterRadius);
    auto copy = std::make_unique<TPixelGraphic>();
    copy->Assign(document_->Picture());
    preview(std::move(copy));
  };
  TBackgroundHost host(*context_, drawn, cancel, spec_.steps, progress, makePreview, previewSeconds);
  context_->SetHost(&host);
  drawn.abort = false;
  try {
    context_->RunOrbits(&drawn, spec_.orbits, std::max(spec_.threads, 1), &left_);
  } catch (...) {
    context_->SetHost(nullptr);
    throw;
  }
  context_->SetHost(nullptr);
  cancelled_ = host.cancelled;
  stepsDone_ = context_->Counters().mainSteps;
  if (grid_) grid_->FinishInto(*document_, spec_.filterRadius);
  if (progress) progress({stepsDone_, spec_.steps, 0});
}

THitCountDocument TBackgroundRender::Counts() const {
  const TFractalParams& drawn = grid_ ? grid_->Record() : document_->Record();
  const std::uint64_t steps = static_cast<std::uint64_t>(stepsDone_);
  THitCountDocument counts = grid_ ? CaptureGridCounts(*document_, *grid_, steps, seed_)
                                   : CaptureHitCounts(*document_, steps, seed_, {});
  PutOrbits(counts, ContextOrbit(*context_, drawn), left_);
  return counts;
}
