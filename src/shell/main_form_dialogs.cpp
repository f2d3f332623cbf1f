// The frame's side of the tool dialogs: it connects their signals to the operations that reach the active
// window (UpdateColors, UpdateCoefficiants, TP01), toggles them from the toolbar, keeps them working for the
// active window, and shows the About box.
#include <QAction>
#include <QKeySequence>

#include "dialogs/about_box.h"
#include "dialogs/coefficients_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "shell/main_form.h"
#include "windows/childwin.h"
#include "services/command_guard.h"
#include "services/services.h"

void TMainForm::ConnectDialogs() {
  // The debounce timers fire from the event loop, also while a pass draws; the guard keeps an error in the
  // window from unwinding through the engine's pump.
  connect(Form4, &TForm4::colorsChanged, this, Guarded(services_, this, [this] { UpdateColors(); }));
  connect(CForm, &TCForm::coefficientsChanged, this, Guarded(services_, this, [this] { UpdateCoefficiants(); }));
  connect(XYSize, &TXYSize::applySize, this,
          Guarded(services_, this, [this] { TP01(XYSize->ImageWidth(), XYSize->ImageHeight()); }));

  CoolSpeedButton5->setShortcut(QKeySequence(Qt::Key_F2));
  connect(CoolSpeedButton5, &QAction::triggered, this, Guarded(services_, this, [this] { ParamsClick(); }));
  CButton->setShortcut(QKeySequence(Qt::Key_F3));
  connect(CButton, &QAction::triggered, this, Guarded(services_, this, [this] { CButtonClick(); }));

  connect(HelpAboutItem, &QAction::triggered, this, Guarded(services_, this, [this] { HelpAboutItemClick(); }));
}

void TMainForm::GiveDialogsTo(TMDIChild* child) {
  TToolDialogs dialogs;
  dialogs.params = Form4;
  dialogs.coefficients = CForm;
  dialogs.size = XYSize;
  dialogs.serves = [this](const TMDIChild* window) { return window == ActiveChild(); };
  child->SetToolDialogs(std::move(dialogs));
}

void TMainForm::DialogsFollow(TMDIChild* previous, TMDIChild* child) {
  // Edits made for the previous window go into it, then the dialogs show the window they now work for.
  // Otherwise the next debounce would copy the previous window's values into this one. A window before its
  // first show fills them itself.
  if (previous) previous->TakePendingDialogEdits();
  if (!child->IsFirstShowPending()) child->Parameters1Update();
}

void TMainForm::UpdateColors() {
  if (TMDIChild* child = ActiveChild()) child->ApplyParameters();
}

void TMainForm::UpdateCoefficiants() {
  if (TMDIChild* child = ActiveChild()) child->UpdateCoefficiants();
}

void TMainForm::ParamsClick() {
  if (TMDIChild* child = ActiveChild()) child->Parameters1Click();
}

void TMainForm::CButtonClick() {
  if (TMDIChild* child = ActiveChild()) child->ConstantsDialog1Click();
}

void TMainForm::HelpAboutItemClick() { services_.RunModalDialog(*AboutBox); }
