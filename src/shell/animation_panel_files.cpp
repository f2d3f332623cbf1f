// The Animation panel's files: Open and Save of the animation file, and where Render writes its frames or video.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include <QFileInfo>
#include <QDir>
#include <QLabel>

#include "services/services.h"
#include "shell/animation_panel.h"
#include "shell/animation_preview.h"
#include "shell/animation_render.h"

namespace {
const QString kAnimationFilter = QStringLiteral("Ovel IFS animation|*.ovanim|");
// The render's outputs, in the order of the save dialog's entries.
struct TRenderOutput {
  const char* label;
  const char* extension;
};
constexpr TRenderOutput kRenderOutputs[] = {
    {"PNG frames, numbered", "png"}, {"MP4 video (H.264)", "mp4"}, {"WebM video (VP9)", "webm"}};
const QString kFramePatternName = QStringLiteral("frame-%04d.png");

QString WithExtension(const QString& path, const QString& extension) {
  return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + extension : path;
}
}  // namespace

void TAnimationPanel::OpenClick() {
  if (modified_ && !keyframes_.empty() &&
      !services_.AskWarningBox(this, QStringLiteral("Open Animation"),
                               QStringLiteral("Replace the animation in the panel? Its changes since it was last "
                                              "saved are lost."),
                               /*okCancel=*/true))
    return;
  TFileDialogRequest ask;
  ask.caption = QStringLiteral("Open Animation");
  ask.directory = folder_;
  ask.filter = kAnimationFilter;
  const TFileDialogResult answer = services_.RunOpenFileDialog(this, ask);
  if (!answer.accepted || answer.fileName.isEmpty()) return;
  QStringList warnings;
  TAnimation animation = ReadAnimation(answer.fileName.toStdString(), [&warnings](const std::string& text) {
    warnings.append(QString::fromStdString(text));
  });
  folder_ = QFileInfo(answer.fileName).absolutePath();
  keyframes_ = std::move(animation.keyframes);
  captions_.clear();
  for (const TKeyframe& key : keyframes_) captions_.append(QFileInfo(QString::fromStdString(key.path)).fileName());
  ShowSettings(animation);
  ShowKeyframes();
  Changed();
  modified_ = false;
  if (!warnings.isEmpty()) services_.ShowInformation(this, warnings.join(QLatin1Char('\n')));
}

void TAnimationPanel::SaveClick() {
  TAnimation animation = Animation();
  CheckAnimation(animation);
  TFileDialogRequest ask;
  ask.caption = QStringLiteral("Save Animation");
  ask.directory = folder_;
  ask.fileName = QStringLiteral("animation.%1").arg(QLatin1String(kAnimationExtension));
  ask.filter = kAnimationFilter;
  const TFileDialogResult answer = services_.RunSaveFileDialog(this, ask);
  if (!answer.accepted || answer.fileName.isEmpty()) return;
  const QString path = WithExtension(answer.fileName, QLatin1String(kAnimationExtension));
  SaveAnimationWithKeyframes(path.toStdString(), animation);
  // The keyframes now name the parameter files written beside the animation file.
  for (std::size_t k = 0; k < keyframes_.size(); ++k) keyframes_[k].path = animation.keyframes[k].path;
  folder_ = QFileInfo(path).absolutePath();
  ShowKeyframes();
  modified_ = false;
  renderStatus_->setText(QStringLiteral("Saved %1").arg(QFileInfo(path).fileName()));
}

std::optional<std::string> TAnimationPanel::ChooseRenderOutput() {
  TFileDialogRequest ask;
  ask.caption = QStringLiteral("Render Animation");
  ask.directory = folder_;
  ask.fileName = kFramePatternName;
  for (const TRenderOutput& output : kRenderOutputs)
    ask.filter += QStringLiteral("%1|*.%2|").arg(QLatin1String(output.label), QLatin1String(output.extension));
  const TFileDialogResult answer = services_.RunSaveFileDialog(this, ask);
  if (!answer.accepted || answer.fileName.isEmpty()) return std::nullopt;
  const int entry = std::clamp(answer.filterIndex, 0, static_cast<int>(std::size(kRenderOutputs)) - 1);
  QString path = WithExtension(answer.fileName, QLatin1String(kRenderOutputs[entry].extension));
  // A picture's name without its frame number gets one before the extension: poster.png -> poster-%04d.png.
  if (!IsVideoPath(path.toStdString()) && !QFileInfo(path).fileName().contains(QLatin1Char('%'))) {
    const QFileInfo info(path);
    path = info.dir().filePath(info.completeBaseName() + QStringLiteral("-%04d.") + info.suffix());
  }
  return path.toStdString();
}

void TAnimationPanel::RenderClick() {
  if (render_->Busy()) return;
  TAnimationRenderRequest request;
  request.animation = Animation();
  CheckAnimation(request.animation);
  const std::optional<std::string> output = ChooseRenderOutput();
  if (!output) return;
  request.output = *output;
  // One core stays with the windows, which go on drawing beside the render.
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  request.threads = std::max(1, cores - 1);
  request.fileOptions = fileOptions_;
  folder_ = QFileInfo(QString::fromStdString(request.Video() ? request.output : request.FramePattern())).absolutePath();

  // Frames already there are taken as they are, which is right only if they are this animation's: ask.
  if (const int onDisk = request.FramesOnDisk(); onDisk > 0) {
    const QString where = QFileInfo(QString::fromStdString(request.FramePattern())).absolutePath();
    const int answer = services_.AskChoice(
        this, QStringLiteral("Render Animation"),
        QStringLiteral("%1 of the %2 frames are already in %3.\n\nGo on from them (they must be frames of this "
                       "animation), or draw every frame again?")
            .arg(onDisk)
            .arg(request.animation.FrameCount())
            .arg(where),
        {QStringLiteral("Go On From Them"), QStringLiteral("Draw All Again"), QStringLiteral("Cancel")});
    if (answer == 2) return;
    if (answer == 1) {
      std::error_code ignored;
      for (int frame = 0; frame < request.animation.FrameCount(); ++frame)
        std::filesystem::remove(FrameFileName(request.FramePattern(), frame), ignored);
    }
  }
  render_->Start(std::move(request));
  renderStatus_->setText(QStringLiteral("Rendering\u2026"));
  UpdateButtons();
}
