#include "shell/animation_render.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <QFileInfo>
#include <QMetaObject>

#include "cli/animate_command.h"
#include "services/command_guard.h"

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

void MakeFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder))
    throw std::runtime_error("Cannot create the folder \"" + folder.string() + "\"" +
                             (error ? ": " + error.message() : std::string()));
}

QString Seconds(double seconds) { return QString::number(seconds, 'f', 1); }

}  // namespace

std::string TAnimationRenderRequest::FramePattern() const {
  if (!Video()) return output;
  return (std::filesystem::path(VideoFramesFolder(output)) / kVideoFramePattern).string();
}

int TAnimationRenderRequest::FramesOnDisk() const {
  const std::string pattern = FramePattern();
  const int count = animation.FrameCount();
  int found = 0;
  std::error_code ignored;
  for (int frame = 0; frame < count; ++frame)
    if (std::filesystem::exists(FrameFileName(pattern, frame), ignored)) ++found;
  return found;
}

std::optional<double> TAnimationRenderStatus::SecondsLeft() const {
  // The frames that were already there cost nothing: the speed is that of the frames drawn in this run.
  const double total = progress.frameCount - progress.framesSkipped;
  const double drawn = progress.fraction * progress.frameCount - progress.framesSkipped;
  if (total <= 0 || drawn <= 0 || seconds < 0.5 || drawn / total < 0.01) return std::nullopt;
  return seconds * (total - drawn) / drawn;
}

TAnimationRender::TAnimationRender(QObject* parent) : QObject(parent) {}

TAnimationRender::~TAnimationRender() { CancelAndWait(); }

void TAnimationRender::Start(TAnimationRenderRequest request) {
  if (busy_) throw std::runtime_error("An animation is already being rendered");
  CheckAnimation(request.animation);
  const std::string pattern = request.FramePattern();
  FrameFileName(pattern, 0);  // a pattern without its number is refused before any folder is made
  if (request.Video()) {
    // The encoder is looked for first: without it the frames would be drawn for nothing.
    CheckVideoEncoder(request.output);
    const std::filesystem::path videoFolder = std::filesystem::path(request.output).parent_path();
    std::error_code ignored;
    if (!videoFolder.empty() && !std::filesystem::is_directory(videoFolder, ignored))
      throw std::runtime_error("Cannot create file \"" + request.output + "\": the folder \"" +
                               videoFolder.string() + "\" does not exist");
  }
  MakeFolder(std::filesystem::path(pattern).parent_path());
  if (worker_.joinable()) worker_.join();
  request_ = std::move(request);
  status_ = {};
  status_.progress.frameCount = request_.animation.FrameCount();
  cancel_ = false;
  busy_ = true;
  worker_ = std::thread([this] { Work(); });
  emit ProgressChanged();
}

void TAnimationRender::Cancel() {
  if (busy_) cancel_ = true;
}

void TAnimationRender::CancelAndWait() {
  Cancel();
  if (worker_.joinable()) worker_.join();
}

void TAnimationRender::Work() {
  const TClock::time_point start = TClock::now();
  TFrameRun run;
  run.seed = request_.animation.seed;
  run.threads = request_.threads;
  run.pattern = request_.FramePattern();
  run.fileOptions = request_.fileOptions;
  run.progress = [this, start](const TFrameRunProgress& p) {
    TAnimationRenderStatus status;
    status.progress = p;
    status.seconds = SecondsSince(start);
    QMetaObject::invokeMethod(this, [this, status] { OnProgress(status); }, Qt::QueuedConnection);
  };
  TFrameRunResult result;
  QString error;
  try {
    result = RenderFrames(request_.animation, run, cancel_);
    if (!result.cancelled && request_.Video()) {
      TAnimationRenderStatus status;
      status.progress.frameCount = status.progress.framesDone = request_.animation.FrameCount();
      status.progress.fraction = 1;
      status.seconds = SecondsSince(start);
      status.encoding = true;
      QMetaObject::invokeMethod(this, [this, status] { OnProgress(status); }, Qt::QueuedConnection);
      EncodeVideo(run.pattern, 0, request_.animation.FrameCount() - 1, request_.animation.frameRate,
                  request_.output);
      std::error_code ignored;
      std::filesystem::remove_all(VideoFramesFolder(request_.output), ignored);
    }
  } catch (...) {
    error = ErrorText(std::current_exception());
  }
  result.seconds = SecondsSince(start);
  QMetaObject::invokeMethod(this, [this, result, error] { OnFinished(result, error); }, Qt::QueuedConnection);
}

void TAnimationRender::OnProgress(const TAnimationRenderStatus& status) {
  if (!busy_) return;
  status_ = status;
  emit ProgressChanged();
}

void TAnimationRender::OnFinished(const TFrameRunResult& result, const QString& error) {
  if (worker_.joinable()) worker_.join();
  busy_ = false;
  const QString output = QString::fromStdString(request_.output);
  const QString name = QFileInfo(output).fileName();
  const QString frames = QStringLiteral("%1 frames written, %2 already there").arg(result.written).arg(result.skipped);
  QString summary;
  if (!error.isEmpty())
    summary = QStringLiteral("Failed: %1 (%2)").arg(name, frames);
  else if (result.cancelled)
    summary = QStringLiteral("Cancelled: %1; the finished frames are kept in %2")
                  .arg(frames, QFileInfo(QString::fromStdString(request_.FramePattern())).absolutePath());
  else
    summary = QStringLiteral("Wrote %1 (%2) in %3 s").arg(name, frames, Seconds(result.seconds));
  emit ProgressChanged();
  emit Finished(result.cancelled, summary, error);
}
