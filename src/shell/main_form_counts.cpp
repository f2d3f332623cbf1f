// The frame's hit-count commands: Save Hit Counts in the File menu and Continue on the toolbar; both go to the
// active fractal window.
#include <QAction>
#include <QKeySequence>
#include <QStyle>

#include "shell/main_form.h"
#include "windows/childwin.h"
#include "services/command_guard.h"

void TMainForm::CreateHitCountActions() {
  SaveHitCounts1 = new QAction(QStringLiteral("Save &Hit Counts..."), this);
  SaveHitCounts1->setStatusTip(QStringLiteral("Save the current window's render, to continue, merge or repaint it later"));
  connect(SaveHitCounts1, &QAction::triggered, this, Guarded(services_, this, [this] { SaveHitCounts1Click(); }));

  ContinueButton = new QAction(QStringLiteral("Continue"), this);
  ContinueButton->setStatusTip(QStringLiteral("Go on drawing the stopped or loaded picture without clearing it"));
  ContinueButton->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
  ContinueButton->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
  connect(ContinueButton, &QAction::triggered, this, Guarded(services_, this, [this] { ContinueButtonClick(); }));
}

void TMainForm::SaveHitCounts1Click() {
  if (TMDIChild* child = ActiveChild()) child->SaveHitCounts1Click();
}

void TMainForm::ContinueButtonClick() {
  if (TMDIChild* child = ActiveChild()) child->Continue1Click();
}
