#include "shell/render_jobs.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "files/hit_count_file.h"
#include "files/image_export.h"
#include "image/pixel_graphic.h"
#include "view/pg_draw.h"

namespace {
// A preview costs a filter pass over the whole grid and a copy of the picture: every few seconds is plenty.
constexpr double kPreviewSeconds = 3;
}  // namespace

struct TRenderJobs::TJob {
  TRenderRequest request;
  std::unique_ptr<TBackgroundRender> render;
  std::atomic<bool> cancel{false};
  std::atomic<bool> write{true};
  TRenderJobStatus status;  // the GUI thread's copy
};

double TRenderJobStatus::Fraction() const {
  if (seconds && *seconds > 0) return std::clamp(progress.seconds / *seconds, 0.0, 1.0);
  return std::clamp(progress.Fraction(), 0.0, 1.0);
}

std::optional<double> TRenderJobStatus::SecondsLeft() const {
  if (seconds) return std::max(0.0, *seconds - progress.seconds);
  return progress.SecondsLeft();
}

TRenderJobs::TRenderJobs(QObject* parent) : QObject(parent) {}

TRenderJobs::~TRenderJobs() { DiscardAllAndWait(); }

int TRenderJobs::Add(TRenderRequest request) {
  auto job = std::make_unique<TJob>();
  job->render = std::make_unique<TBackgroundRender>(request.spec);  // refuses here, before anything is queued
  job->status.id = nextId_++;
  job->status.picturePath = QString::fromStdString(request.picturePath);
  job->status.seconds = request.seconds;
  job->status.progress.totalSteps = request.spec.steps;
  job->request = std::move(request);
  const int id = job->status.id;
  waiting_.push_back(std::move(job));
  StartNext();
  emit JobsChanged();
  return id;
}

void TRenderJobs::Cancel(int id, bool writeWhatIsDone) {
  if (running_ && running_->status.id == id) {
    running_->write = writeWhatIsDone;
    running_->cancel = true;
    return;
  }
  const auto it = std::find_if(waiting_.begin(), waiting_.end(), [id](const auto& job) { return job->status.id == id; });
  if (it == waiting_.end()) return;
  const QString path = (*it)->status.picturePath;
  waiting_.erase(it);
  emit JobEnded(id, path, false, {});
  emit JobsChanged();
}

void TRenderJobs::DiscardAllAndWait() {
  waiting_.clear();
  if (running_) {
    running_->write = false;
    running_->cancel = true;
  }
  if (worker_.joinable()) worker_.join();
  running_.reset();
}

std::vector<TRenderJobStatus> TRenderJobs::Jobs() const {
  std::vector<TRenderJobStatus> jobs;
  if (running_) jobs.push_back(running_->status);
  for (const auto& job : waiting_) jobs.push_back(job->status);
  return jobs;
}

void TRenderJobs::StartNext() {
  if (running_ || waiting_.empty()) return;
  running_ = std::move(waiting_.front());
  waiting_.pop_front();
  running_->status.state = TRenderJobState::Running;
  TJob* job = running_.get();
  worker_ = std::thread([this, job] { Work(*job); });
}

void TRenderJobs::Work(TJob& job) {
  const int id = job.status.id;
  const std::optional<double> limit = job.request.seconds;
  const auto progress = [this, id, limit, &job](const TBackgroundProgress& p) {
    // A time-limited render ends by cancelling at its deadline; what it drew is its result.
    if (limit && p.seconds >= *limit) job.cancel = true;
    QMetaObject::invokeMethod(this, [this, id, p] { OnProgress(id, p, false); }, Qt::QueuedConnection);
  };
  const auto preview = [this, id](std::unique_ptr<TPixelGraphic> picture) {
    std::shared_ptr<TPixelGraphic> shared(std::move(picture));
    QMetaObject::invokeMethod(this, [this, id, shared] { OnPreview(id, shared); }, Qt::QueuedConnection);
  };
  bool written = false;
  QString error;
  try {
    job.render->Run(job.cancel, progress, preview, kPreviewSeconds);
    if (job.write) {
      TBackgroundProgress last{job.render->StepsDone(), job.request.spec.steps, 0};
      QMetaObject::invokeMethod(this, [this, id, last] { OnProgress(id, last, true); }, Qt::QueuedConnection);
      if (job.request.countsPath) SaveHitCountDocument(*job.request.countsPath, job.render->Counts());
      TPixelGraphic& picture = *job.render->Document().Picture();
      // Nobody can be asked from here; the format is the user's choice, as in the renderer.
      picture.SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
      const TWarningBox answerOK = [](const std::string&, const std::string&, TWarningButtons) { return true; };
      SavePixelGraphicToFile(picture, job.request.picturePath, job.request.fileOptions, answerOK);
      written = true;
    }
  } catch (const std::bad_alloc&) {
    error = QStringLiteral("Not enough memory for the render");
  } catch (const std::exception& e) {
    error = QString::fromStdString(e.what());
  } catch (...) {
    error = QStringLiteral("The render failed");
  }
  // The document (grid, picture) goes here, on the worker: freeing a poster's memory takes a moment too.
  job.render.reset();
  QMetaObject::invokeMethod(this, [this, id, written, error] { OnFinished(id, written, error); },
                            Qt::QueuedConnection);
}

void TRenderJobs::OnProgress(int id, const TBackgroundProgress& progress, bool writing) {
  if (!running_ || running_->status.id != id) return;
  TRenderJobStatus& status = running_->status;
  if (writing) {
    status.state = TRenderJobState::Writing;
    status.progress.steps = progress.steps;
  } else if (progress.seconds > 0) {
    status.progress = progress;  // the core's closing report has no time: keep the last one
  }
  emit JobsChanged();
}

void TRenderJobs::OnPreview(int id, const std::shared_ptr<TPixelGraphic>& picture) {
  if (!running_ || running_->status.id != id || running_->cancel || !picture) return;
  QImage image;
  PixelGraphicToQImage(*picture, image);
  if (!image.isNull()) emit PreviewReady(id, image);
}

void TRenderJobs::OnFinished(int id, bool written, const QString& error) {
  if (!running_ || running_->status.id != id) return;
  if (worker_.joinable()) worker_.join();
  const QString path = running_->status.picturePath;
  running_.reset();
  emit JobEnded(id, path, written, error);
  StartNext();
  emit JobsChanged();
}
