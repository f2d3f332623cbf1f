// The frame's file commands: each goes to the active fractal window; the file options need none.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QKeySequence>

#include "dialogs/options_dialog.h"
#include "files/param_file.h"
#include "shell/main_form.h"
#include "windows/childwin.h"
#include "services/command_guard.h"
#include "services/services.h"

void TMainForm::ConnectFileCommands() {
  // Save As is the program's only save, so it takes the usual save key.
  FileSaveAsItem->setShortcut(QKeySequence::Save);
  connect(FileSaveAsItem, &QAction::triggered, this, Guarded(services_, this, [this] { FileSaveAsItemClick(); }));
  LoadFromParameterFile1->setShortcut(QKeySequence::Open);
  LoadFromParameterFile1->setStatusTip(QStringLiteral("Load a parameter set into the current window and draw it"));
  connect(LoadFromParameterFile1, &QAction::triggered, this,
          Guarded(services_, this, [this] { LoadFromParameterFile1Click(); }));
  SaveParametersAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  connect(SaveParametersAs1, &QAction::triggered, this, Guarded(services_, this, [this] { SaveParametersAs1Click(); }));
  setAcceptDrops(true);
  JPGFileOptions1->setStatusTip(QStringLiteral("Options of the image files and of drawing"));
  connect(JPGFileOptions1, &QAction::triggered, this, Guarded(services_, this, [this] { JPGFileOptions1Click(); }));
}

void TMainForm::FileSaveAsItemClick() {
  if (TMDIChild* child = ActiveChild()) child->SaveAs1Click();
}

void TMainForm::LoadFromParameterFile1Click() {
  TMDIChild* child = ActiveChild();
  if (child == nullptr) return;
  TFileDialogRequest request;
  request.caption = QStringLiteral("Load From Parameter File");
  request.filter = QString::fromLatin1(kParamFileOpenFilter) +
                   QStringLiteral("|Hit-count documents|*.ovc|Parameter files and hit-count documents|*.ifs;*.ovc");
  request.directory = saveMemory_.parameterFolder;
  const TFileDialogResult chosen = services_.RunOpenFileDialog(this, request);
  if (!chosen.accepted || chosen.fileName.isEmpty()) return;
  // A hit-count document brings its picture along: nothing is drawn, Continue goes on with it.
  if (TMDIChild::IsHitCountFile(chosen.fileName)) {
    child->LoadHitCounts(chosen.fileName);
    return;
  }
  // A file that cannot be opened raises here: nothing has changed and nothing is drawn.
  child->LoadFromParameterFile(chosen.fileName);
  // The loaded coefficients are drawn, not new random ones. While a pass runs this one replaces it.
  child->Redraw(/*newCoefficients=*/false);
}

void TMainForm::SaveParametersAs1Click() {
  if (TMDIChild* child = ActiveChild()) child->SaveParametersAs1Click();
}

void TMainForm::OpenAtStart(const QStringList& paths) { filesToOpen_ = paths; }

void TMainForm::OpenInNewWindows(const QStringList& paths) {
  for (const QString& path : paths) {
    filesToOpen_.append(path);
    FileNewItemClick();
  }
}

namespace {

// The local parameter files and hit-count documents among what is dragged.
QStringList ParameterFilesOf(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && (url.toLocalFile().endsWith(QStringLiteral(".ifs"), Qt::CaseInsensitive) ||
                              TMDIChild::IsHitCountFile(url.toLocalFile())))
      paths.append(url.toLocalFile());
  return paths;
}

}  // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!ParameterFilesOf(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QStringList paths = ParameterFilesOf(event->mimeData());
  if (paths.isEmpty()) return;
  event->acceptProposedAction();
  RunGuarded(services_, this, [this, paths] { OpenInNewWindows(paths); });
}

void TMainForm::JPGFileOptions1Click() {
  if (TMDIChild::Options1Click(services_, *Form2, fileOptions_, drawingOptions_)) SaveFileSettings();
}
