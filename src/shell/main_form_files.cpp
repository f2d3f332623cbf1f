// The frame's file commands: each goes to the active fractal window; the file options need none.
#include <QAction>
#include <QKeySequence>

#include "dialogs/options_dialog.h"
#include "files/param_file.h"
#include "shell/main_form.h"
#include "windows/childwin.h"
#include "windows/command_guard.h"
#include "windows/file_dialogs.h"

void TMainForm::ConnectFileCommands() {
  // Save As is the program's only save, so it takes the usual save key.
  FileSaveAsItem->setShortcut(QKeySequence::Save);
  connect(FileSaveAsItem, &QAction::triggered, this, Guarded(this, [this] { FileSaveAsItemClick(); }));
  LoadFromParameterFile1->setShortcut(QKeySequence::Open);
  LoadFromParameterFile1->setStatusTip(QStringLiteral("Load a parameter set into the current window and draw it"));
  connect(LoadFromParameterFile1, &QAction::triggered, this,
          Guarded(this, [this] { LoadFromParameterFile1Click(); }));
  JPGFileOptions1->setStatusTip(QStringLiteral("Options of the image files"));
  connect(JPGFileOptions1, &QAction::triggered, this, Guarded(this, [this] { JPGFileOptions1Click(); }));
}

void TMainForm::FileSaveAsItemClick() {
  if (TMDIChild* child = ActiveChild()) child->SaveAs1Click();
}

void TMainForm::LoadFromParameterFile1Click() {
  TMDIChild* child = ActiveChild();
  if (child == nullptr) return;
  TFileDialogRequest request;
  request.caption = QStringLiteral("Load From Parameter File");
  request.filter = QString::fromLatin1(kParamFileOpenFilter);
  const TFileDialogResult chosen = RunOpenFileDialog(this, request);
  if (!chosen.accepted || chosen.fileName.isEmpty()) return;
  // A file that cannot be opened raises here: nothing has changed and nothing is drawn.
  child->LoadFromParameterFile(chosen.fileName);
  // The loaded coefficients are drawn, not new random ones. While a pass runs this one replaces it.
  child->Redraw(/*newCoefficients=*/false);
}

void TMainForm::JPGFileOptions1Click() { TMDIChild::Options1Click(*Form2, fileOptions_); }
