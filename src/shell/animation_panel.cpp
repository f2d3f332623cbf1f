#include "shell/animation_panel.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/supersample.h"
#include "services/command_guard.h"
#include "services/services.h"
#include "shell/animation_preview.h"
#include "shell/animation_render.h"
#include "shell/health_bar.h"
#include "shell/render_to_file_dialog.h"

namespace {
// A new keyframe comes this long after the last one; the user sets the times.
constexpr double kKeyframeGapSeconds = 2;

QString FormatSeconds(double seconds) { return QLocale().toString(seconds, 'g', 12); }

std::optional<double> ParseSeconds(const QString& text) {
  bool ok = false;
  double value = QLocale().toDouble(text.trimmed(), &ok);
  if (!ok) value = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

TAnimationPanel::TAnimationPanel(TServices& services, const TFileOptions& fileOptions, QWidget* parent)
    : QDockWidget(QStringLiteral("Animation"), parent),
      services_(services),
      fileOptions_(fileOptions),
      preview_(new TAnimationPreview(this)),
      render_(new TAnimationRender(this)) {
  setObjectName(QStringLiteral("AnimationPanel"));
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  CreateKeyframeControls(layout);
  CreateSettingsControls(layout);
  CreatePreviewAndRenderControls(layout);
  layout->addStretch(1);
  setWidget(body);

  connect(preview_, &TAnimationPreview::FrameShown, this, [this](const QImage& picture) {
    previewLabel_->setPixmap(QPixmap::fromImage(picture));
  });
  connect(preview_, &TAnimationPreview::FramesChanged, this, &TAnimationPanel::UpdateButtons);
  connect(preview_, &TAnimationPreview::Failed, this,
          [this](const QString& error) { services_.ShowError(this, QStringLiteral("The preview failed:\n") + error); });
  connect(render_, &TAnimationRender::ProgressChanged, this, &TAnimationPanel::ShowRenderProgress);
  connect(render_, &TAnimationRender::Finished, this, &TAnimationPanel::RenderFinished);
  ShowSettings(settings_);
  Changed();
  modified_ = false;
}

void TAnimationPanel::SetCanAdd(bool canAdd) {
  canAdd_ = canAdd;
  UpdateButtons();
}

TAnimation TAnimationPanel::Animation() const {
  TAnimation a = settings_;
  a.keyframes = keyframes_;
  // Parameter files do not store the map count: the animation file does, from the keyframes (which must agree).
  if (!a.keyframes.empty()) a.maps = a.keyframes.front().params.maps;
  a.frameRate = frameRateEdit_->value();
  a.width = widthEdit_->value();
  a.height = heightEdit_->value();
  a.quality = qualityEdit_->value();
  a.supersample = supersampleEdit_->value();
  a.interpolation = static_cast<TInterpolation>(interpolationCombo_->currentIndex());
  a.ease = easeCheck_->isChecked();
  return a;
}

void TAnimationPanel::ShowSettings(const TAnimation& a) {
  settings_ = a;
  settings_.keyframes.clear();
  const QSignalBlocker b1(frameRateEdit_), b2(widthEdit_), b3(heightEdit_), b4(qualityEdit_), b5(supersampleEdit_),
      b6(interpolationCombo_), b7(easeCheck_);
  frameRateEdit_->setValue(a.frameRate);
  widthEdit_->setValue(a.width);
  heightEdit_->setValue(a.height);
  qualityEdit_->setValue(a.steps > 0 ? static_cast<double>(a.steps) / (static_cast<double>(a.width) * a.height)
                                     : a.quality);
  supersampleEdit_->setValue(a.supersample);
  interpolationCombo_->setCurrentIndex(static_cast<int>(a.interpolation));
  easeCheck_->setChecked(a.ease);
}

void TAnimationPanel::AddActiveWindowClick() {
  if (!takeActiveSet) return;
  if (const std::optional<TKeyframeSource> source = takeActiveSet()) AddKeyframe(*source);
}

void TAnimationPanel::AddKeyframe(const TKeyframeSource& source) {
  TKeyframe key;
  key.time = keyframes_.empty() ? 0 : keyframes_.back().time + kKeyframeGapSeconds;
  key.params = source.params;
  std::vector<TKeyframe> keyframes = keyframes_;
  keyframes.push_back(key);
  try {
    CheckKeyframesMatch(keyframes);
  } catch (const EAnimation& e) {
    throw EAnimation("\"" + source.caption.toStdString() + "\" cannot follow the animation's keyframes: " + e.what());
  }
  keyframes_ = std::move(keyframes);
  captions_.append(source.caption);
  ShowKeyframes();
  table_->selectRow(static_cast<int>(keyframes_.size()) - 1);
  Changed();
}

void TAnimationPanel::RemoveClick() {
  const int row = table_->currentRow();
  if (row < 0 || row >= static_cast<int>(keyframes_.size())) return;
  keyframes_.erase(keyframes_.begin() + row);
  captions_.removeAt(row);
  ShowKeyframes();
  if (!keyframes_.empty()) table_->selectRow(std::min(row, static_cast<int>(keyframes_.size()) - 1));
  Changed();
}

void TAnimationPanel::MoveUpClick() {
  const int row = table_->currentRow();
  if (row > 0 && row < static_cast<int>(keyframes_.size())) SwapKeyframes(row, row - 1);
}

void TAnimationPanel::MoveDownClick() {
  const int row = table_->currentRow();
  if (row >= 0 && row + 1 < static_cast<int>(keyframes_.size())) SwapKeyframes(row, row + 1);
}

void TAnimationPanel::SwapKeyframes(int a, int b) {
  // The sets move; the times stay where they are, so the times still increase down the list.
  std::swap(keyframes_[a].params, keyframes_[b].params);
  std::swap(keyframes_[a].path, keyframes_[b].path);
  captions_.swapItemsAt(a, b);
  ShowKeyframes();
  table_->selectRow(b);
  Changed();
}

void TAnimationPanel::ShowKeyframes() {
  const QSignalBlocker quiet(table_);
  table_->setRowCount(static_cast<int>(keyframes_.size()));
  for (int row = 0; row < table_->rowCount(); ++row) {
    auto* set = new QTableWidgetItem(captions_[row]);
    set->setFlags(set->flags() & ~Qt::ItemIsEditable);
    set->setToolTip(QString::fromStdString(keyframes_[row].path));
    table_->setItem(row, kSetColumn, set);
    auto* time = new QTableWidgetItem(FormatSeconds(keyframes_[row].time));
    time->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    time->setToolTip(QStringLiteral("Seconds from the start; double-click to change"));
    table_->setItem(row, kTimeColumn, time);
  }
}

void TAnimationPanel::TimeEdited(int row, int column) {
  if (column != kTimeColumn || row < 0 || row >= static_cast<int>(keyframes_.size())) return;
  QTableWidgetItem* item = table_->item(row, column);
  const std::optional<double> time = ParseSeconds(item->text());
  const double before = row > 0 ? keyframes_[row - 1].time : -HUGE_VAL;
  const double after = row + 1 < static_cast<int>(keyframes_.size()) ? keyframes_[row + 1].time : HUGE_VAL;
  if (time && *time >= 0 && *time > before && *time < after) {
    keyframes_[row].time = *time;
    const QSignalBlocker quiet(table_);
    item->setText(FormatSeconds(*time));
    Changed();
    return;
  }
  {
    const QSignalBlocker quiet(table_);
    item->setText(FormatSeconds(keyframes_[row].time));
  }
  QString text = QStringLiteral("The time of keyframe %1 must be a number of seconds").arg(row + 1);
  if (row > 0) text += QStringLiteral(" after %1").arg(FormatSeconds(before));
  if (row > 0 && std::isfinite(after)) text += QStringLiteral(" and");
  if (std::isfinite(after)) text += QStringLiteral(" before %1").arg(FormatSeconds(after));
  if (row == 0 && !std::isfinite(after)) text += QStringLiteral(", 0 or more");
  // The box waits until the table has closed its editor.
  QTimer::singleShot(0, this, [this, text] { services_.ShowInformation(this, text + QStringLiteral(".")); });
}

void TAnimationPanel::Changed() {
  modified_ = true;
  preview_->Invalidate();
  previewLabel_->clear();
  const TAnimation a = Animation();
  if (keyframes_.empty()) {
    framesLabel_->setText(QStringLiteral("No keyframes yet: add the active window."));
  } else {
    framesLabel_->setText(QStringLiteral("%1 frames, %2 s")
                              .arg(a.FrameCount())
                              .arg(FormatSeconds(keyframes_.back().time - keyframes_.front().time)));
  }
  UpdateButtons();
}

void TAnimationPanel::UpdateButtons() {
  const int row = table_->currentRow();
  const int count = static_cast<int>(keyframes_.size());
  addButton_->setEnabled(canAdd_);
  removeButton_->setEnabled(row >= 0 && row < count);
  upButton_->setEnabled(row > 0 && row < count);
  downButton_->setEnabled(row >= 0 && row + 1 < count);
  saveButton_->setEnabled(count > 0);
  playButton_->setEnabled(count > 0);
  playButton_->setText(preview_->Playing() ? QStringLiteral("&Stop") : QStringLiteral("&Play"));
  renderButton_->setEnabled(count > 0 && !render_->Busy());
  cancelButton_->setEnabled(render_->Busy());
  if (!preview_->Valid())
    previewStatus_->clear();
  else if (preview_->Drawing())
    previewStatus_->setText(QStringLiteral("Drawing the preview: %1 of %2 frames")
                                .arg(preview_->FramesReady())
                                .arg(preview_->FramesPlanned()));
  else
    previewStatus_->setText(QStringLiteral("Preview: %1 frames").arg(preview_->FramesReady()));
}

void TAnimationPanel::PlayClick() {
  if (preview_->Playing()) {
    preview_->Stop();
  } else {
    if (!preview_->Valid()) preview_->Start(Animation());
    preview_->Play();
  }
  UpdateButtons();
}

void TAnimationPanel::ShowRenderProgress() {
  const TAnimationRenderStatus& status = render_->Status();
  const TFrameRunProgress& p = status.progress;
  renderProgress_->setValue(static_cast<int>(std::clamp(p.fraction, 0.0, 1.0) * 1000));
  if (render_->Busy()) {
    QString text = QStringLiteral("%1 / %2 frames, %3 %")
                       .arg(p.framesDone)
                       .arg(p.frameCount)
                       .arg(static_cast<int>(std::clamp(p.fraction, 0.0, 1.0) * 100));
    if (status.encoding)
      text += QStringLiteral(", encoding the video\u2026");
    else if (const std::optional<double> left = status.SecondsLeft())
      text += QStringLiteral(", %1 left").arg(FormatElapsed(*left));
    renderStatus_->setText(text);
  }
  UpdateButtons();
}

void TAnimationPanel::CancelRenderClick() { render_->Cancel(); }

void TAnimationPanel::RenderFinished(bool, const QString& summary, const QString& error) {
  renderStatus_->setText(summary);
  UpdateButtons();
  if (!error.isEmpty()) services_.ShowError(this, QStringLiteral("The animation could not be rendered:\n") + error);
}
