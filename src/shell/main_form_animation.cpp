// Window > Animation: the Animation panel, docked at the right; it takes the active window's set as a keyframe
// and renders its frames in the background beside the windows.
#include <QAction>
#include <QKeySequence>

#include "services/command_guard.h"
#include "shell/animation_panel.h"
#include "shell/animation_render.h"
#include "shell/main_form.h"
#include "windows/childwin.h"

void TMainForm::CreateAnimationPanel() {
  Animation1 = new QAction(QStringLiteral("&Animation..."), this);
  Animation1->setStatusTip(
      QStringLiteral("Keyframes from the windows' sets, a preview, and frames or a video rendered in the background"));
  Animation1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
  connect(Animation1, &QAction::triggered, this, Guarded(services_, this, [this] { Animation1Click(); }));
  addAction(Animation1);

  animationPanel_ = new TAnimationPanel(services_, fileOptions_, this);
  animationPanel_->takeActiveSet = [this]() -> std::optional<TKeyframeSource> {
    TMDIChild* child = ActiveChild();
    if (!child) return std::nullopt;
    child->TakePendingDialogEdits();
    return TKeyframeSource{child->TitleOfSet(), child->Params()};
  };
  addDockWidget(Qt::RightDockWidgetArea, animationPanel_);
  animationPanel_->hide();
}

void TMainForm::Animation1Click() {
  animationPanel_->show();
  animationPanel_->raise();
}

bool TMainForm::MayCloseWhileAnimating() {
  TAnimationRender& render = animationPanel_->Render();
  if (!render.Busy()) return true;
  const TFrameRunProgress& p = render.Status().progress;
  const QString text = QStringLiteral("An animation is still rendering (%1 of %2 frames, %3 %).\r\rExit and stop "
                                      "it? The frames finished are kept.")
                           .arg(p.framesDone)
                           .arg(p.frameCount)
                           .arg(static_cast<int>(p.fraction * 100));
  if (!services_.AskWarningBox(this, QStringLiteral("Exit"), text, /*okCancel=*/true)) return false;
  render.CancelAndWait();
  return true;
}
