// File > Render to File: the active window's parameter set drawn in the background at another size into a file,
// while the windows go on drawing; the renders queue in TRenderJobs and show in the Render to File panel.
#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <thread>

#include "services/command_guard.h"
#include "services/drawing_options.h"
#include "shell/main_form.h"
#include "shell/render_jobs.h"
#include "shell/render_panel.h"
#include "shell/render_to_file_dialog.h"
#include "windows/childwin.h"

void TMainForm::CreateRenderToFile() {
  RenderToFile1 = new QAction(QStringLiteral("&Render to File..."), this);
  RenderToFile1->setStatusTip(
      QStringLiteral("Render the current window's fractal into a large picture file in the background"));
  RenderToFile1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
  connect(RenderToFile1, &QAction::triggered, this, Guarded(services_, this, [this] { RenderToFile1Click(); }));

  RenderJobs = new TRenderJobs(this);
  RenderPanel = new TRenderPanel(services_, *RenderJobs, this);
  addDockWidget(Qt::BottomDockWidgetArea, RenderPanel);
  RenderPanel->hide();
}

void TMainForm::RenderToFile1Click() {
  TMDIChild* child = ActiveChild();
  if (!child) return;
  child->TakePendingDialogEdits();
  // The window's own speed while it draws; otherwise a short render of its parameter set tells.
  const TRenderHealth& health = child->Health();
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int threads = std::clamp(cores - 1, 1, kParallelPassOrbits);
  const bool windowSpeed = health.running && health.stepsPerSecond > 0;
  const double speed =
      windowSpeed ? health.stepsPerSecond : MeasureStepsPerSecond(child->Params(), kParallelPassOrbits, threads);
  TRenderToFileDialog dialog(services_, child->Params(), speed,
                             windowSpeed ? QStringLiteral("the window's speed") : QStringLiteral("measured"),
                             fileOptions_, this);
  if (services_.RunModalDialog(dialog) != QDialog::Accepted) return;
  RenderJobs->Add(dialog.Request());
  RenderPanel->show();
}

bool TMainForm::MayCloseWhileRendering() {
  if (!MayCloseWhileAnimating()) return false;
  if (!RenderJobs->Busy()) return true;
  const std::vector<TRenderJobStatus> jobs = RenderJobs->Jobs();
  const TRenderJobStatus& first = jobs.front();
  const QString waiting =
      jobs.size() > 1 ? QStringLiteral(", %1 more waiting").arg(jobs.size() - 1) : QString();
  const QString text = QStringLiteral("A render to file is still running (%1, %2 %%3).\r\rExit and discard it?")
                           .arg(QFileInfo(first.picturePath).fileName())
                           .arg(static_cast<int>(first.Fraction() * 100))
                           .arg(waiting);
  if (!services_.AskWarningBox(this, QStringLiteral("Exit"), text, /*okCancel=*/true)) return false;
  RenderJobs->DiscardAllAndWait();
  return true;
}
