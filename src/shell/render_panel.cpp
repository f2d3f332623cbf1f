#include "shell/render_panel.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

#include "dialogs/tool_window.h"
#include "services/command_guard.h"
#include "services/services.h"
#include "shell/health_bar.h"
#include "shell/render_jobs.h"

namespace {
constexpr int kPreviewWidth = 240, kPreviewHeight = 160;

QString StateText(const TRenderJobStatus& job) {
  switch (job.state) {
    case TRenderJobState::Waiting: return QStringLiteral("waiting");
    case TRenderJobState::Writing: return QStringLiteral("writing");
    case TRenderJobState::Running: break;
  }
  return QStringLiteral("%1 %").arg(static_cast<int>(job.Fraction() * 100));
}
}  // namespace

TRenderPanel::TRenderPanel(TServices& services, TRenderJobs& jobs, QWidget* parent)
    : QDockWidget(QStringLiteral("Render to File"), parent), services_(services), jobs_(jobs) {
  setObjectName(QStringLiteral("RenderPanel"));
  auto* body = new QWidget;
  auto* grid = new QGridLayout(body);
  JobList = new QListWidget;
  JobList->setMaximumHeight(kPreviewHeight);
  ProgressBar = new QProgressBar;
  ProgressBar->setRange(0, 1000);
  ProgressBar->setFormat(QStringLiteral("%p %"));
  ElapsedLabel = new QLabel;
  LeftLabel = new QLabel;
  RateLabel = new QLabel;
  PreviewLabel = new QLabel;
  PreviewLabel->setFixedSize(kPreviewWidth, kPreviewHeight);
  PreviewLabel->setAlignment(Qt::AlignCenter);
  PreviewLabel->setStyleSheet(QStringLiteral("background: black"));
  CancelButton = new QPushButton(QStringLiteral("&Cancel Render..."));
  DoneLabel = new QLabel;
  grid->addWidget(PreviewLabel, 0, 0, 5, 1);
  grid->addWidget(ProgressBar, 0, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Elapsed:")), 1, 1);
  grid->addWidget(ElapsedLabel, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Time left:")), 2, 1);
  grid->addWidget(LeftLabel, 2, 2);
  grid->addWidget(new QLabel(QStringLiteral("Speed:")), 3, 1);
  grid->addWidget(RateLabel, 3, 2);
  grid->addWidget(CancelButton, 4, 1, Qt::AlignLeft);
  grid->addWidget(DoneLabel, 4, 2);
  grid->addWidget(JobList, 0, 3, 5, 1);
  grid->setColumnStretch(3, 1);
  setWidget(body);

  connect(&jobs_, &TRenderJobs::JobsChanged, this, &TRenderPanel::Refresh);
  connect(&jobs_, &TRenderJobs::PreviewReady, this, &TRenderPanel::ShowPreview);
  connect(&jobs_, &TRenderJobs::JobEnded, this, &TRenderPanel::Ended);
  connect(CancelButton, &QPushButton::clicked, this, Guarded(services_, this, [this] { CancelClick(); }));
  NameObjects({{JobList, "JobList"}, {ProgressBar, "ProgressBar"}, {ElapsedLabel, "ElapsedLabel"},
               {LeftLabel, "LeftLabel"}, {RateLabel, "RateLabel"}, {PreviewLabel, "PreviewLabel"},
               {CancelButton, "CancelButton"}, {DoneLabel, "DoneLabel"}});
  Refresh();
}

void TRenderPanel::Refresh() {
  const std::vector<TRenderJobStatus> jobs = jobs_.Jobs();
  const int selected = JobList->currentRow();
  JobList->clear();
  for (const TRenderJobStatus& job : jobs)
    JobList->addItem(QStringLiteral("%1 \u2014 %2").arg(QFileInfo(job.picturePath).fileName(), StateText(job)));
  if (selected >= 0 && selected < JobList->count()) JobList->setCurrentRow(selected);
  CancelButton->setEnabled(!jobs.empty());
  if (jobs.empty() || jobs.front().state == TRenderJobState::Waiting) {
    ProgressBar->setValue(0);
    for (QLabel* label : {ElapsedLabel, LeftLabel, RateLabel}) label->clear();
    return;
  }
  const TRenderJobStatus& running = jobs.front();
  if (!isVisible()) show();
  ProgressBar->setValue(static_cast<int>(running.Fraction() * 1000));
  ElapsedLabel->setText(FormatElapsed(running.progress.seconds));
  const std::optional<double> left = running.SecondsLeft();
  LeftLabel->setText(running.state == TRenderJobState::Writing ? QStringLiteral("writing the file")
                     : left                                    ? FormatElapsed(*left)
                                                               : QStringLiteral("\u2026"));
  RateLabel->setText(FormatCount(running.progress.StepsPerSecond(), QLocale().decimalPoint()) +
                     QStringLiteral(" steps/s"));
  if (running.id != previewId_) {
    PreviewLabel->clear();
    previewId_ = running.id;
  }
}

void TRenderPanel::ShowPreview(int id, const QImage& picture) {
  previewId_ = id;
  PreviewLabel->setPixmap(
      QPixmap::fromImage(picture.scaled(PreviewLabel->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TRenderPanel::CancelClick() {
  const std::vector<TRenderJobStatus> jobs = jobs_.Jobs();
  if (jobs.empty()) return;
  const int row = JobList->currentRow();
  const TRenderJobStatus job = jobs[row >= 0 && row < static_cast<int>(jobs.size()) ? row : 0];
  if (job.state == TRenderJobState::Waiting) {
    jobs_.Cancel(job.id, false);
    return;
  }
  if (job.state == TRenderJobState::Writing) return;  // nearly done: cancelling now would lose a whole render
  const int answer = services_.AskChoice(
      this, QStringLiteral("Cancel Render"),
      QStringLiteral("Stop rendering %1 (%2 % done)?\n\nThe picture drawn so far can be written to the file.")
          .arg(QFileInfo(job.picturePath).fileName())
          .arg(static_cast<int>(job.Fraction() * 100)),
      {QStringLiteral("Write What Is Done"), QStringLiteral("Discard"), QStringLiteral("Keep Rendering")});
  if (answer == static_cast<int>(TCancelAnswer::WriteWhatIsDone)) jobs_.Cancel(job.id, true);
  if (answer == static_cast<int>(TCancelAnswer::Discard)) jobs_.Cancel(job.id, false);
}

void TRenderPanel::Ended(int id, const QString& path, bool written, const QString& error) {
  if (id == previewId_) PreviewLabel->clear();
  if (!error.isEmpty())
    services_.ShowError(this, QStringLiteral("Render to File could not write %1:\n%2").arg(path, error));
  const QString name = QFileInfo(path).fileName();
  DoneLabel->setText(written ? QStringLiteral("Wrote %1").arg(name)
                     : error.isEmpty() ? QStringLiteral("Discarded %1").arg(name)
                                       : QStringLiteral("Failed: %1").arg(name));
  Refresh();
}
