// What the frame remembers from run to run (frame_settings.h has the keys), File > Open Recent, and the render
// readout of the active window in the status bar.
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/tool_window.h"
#include "shell/frame_settings.h"
#include "shell/health_bar.h"
#include "shell/main_form.h"
#include "windows/childwin.h"
#include "services/command_guard.h"

namespace {

// A dialog's outer size before it was ever shown: what its layout asks for.
QSize OuterSizeOf(const QWidget* w) {
  const QSize size = w->isVisible() ? w->frameGeometry().size() : w->sizeHint();
  return size.isValid() ? size : QSize(200, 100);
}

void RestoreToolWindow(QWidget* dialog, const QSettings& s, const QString& key) {
  const std::optional<QPoint> position = ReadPoint(s, key);
  if (position && ReachableOnScreens(QRect(*position, OuterSizeOf(dialog)), AvailableScreenAreas()))
    PlaceToolWindowAt(dialog, *position);
}

}  // namespace

void TMainForm::CreateRecentMenu() {
  OpenRecent1 = new QMenu(QStringLiteral("Open &Recent"), this);
  OpenRecent1->menuAction()->setStatusTip(QStringLiteral("Open a parameter file used lately in a new window"));
  File1->insertMenu(JPGFileOptions1, OpenRecent1);
  ClearRecentList1 = new QAction(QStringLiteral("Clear List"), this);
  ClearRecentList1->setStatusTip(QStringLiteral("Forget the parameter files used lately"));
  connect(ClearRecentList1, &QAction::triggered, this, Guarded(services_, this, [this] { ClearRecentList1Click(); }));

  HealthBar = new THealthBar(this);
  statusBar()->addPermanentWidget(HealthBar);
  // A menu's or button's tip needs the whole bar to be read; the figures come back when it goes.
  connect(statusBar(), &QStatusBar::messageChanged, HealthBar,
          [this](const QString& message) { HealthBar->setVisible(message.isEmpty()); });
}

void TMainForm::RebuildRecentMenu() {
  for (QAction* action : OpenRecent1->actions())
    if (action != ClearRecentList1) delete action;
  OpenRecent1->clear();
  const QStringList& paths = recentFiles_.Paths();
  for (int i = 0; i < paths.size(); ++i) {
    const QString path = paths[i];
    QAction* action = OpenRecent1->addAction(TRecentFiles::MenuCaption(i, path));
    action->setStatusTip(path);
    action->setData(path);
    connect(action, &QAction::triggered, this, Guarded(services_, this, [this, path] { OpenRecentFile(path); }));
  }
  if (!paths.isEmpty()) OpenRecent1->addSeparator();
  OpenRecent1->addAction(ClearRecentList1);
  ClearRecentList1->setEnabled(!paths.isEmpty());
}

void TMainForm::OpenRecentFile(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    recentFiles_.Remove(path);
    RebuildRecentMenu();
    SaveFileSettings();
    services_.ShowInformation(this, QStringLiteral("The parameter file %1 cannot be found; it has been removed from the "
                                         "recent files.")
                              .arg(path));
    return;
  }
  OpenInNewWindows({path});
}

void TMainForm::ClearRecentList1Click() {
  recentFiles_.Clear();
  RebuildRecentMenu();
  SaveFileSettings();
}

void TMainForm::RememberParameterFile(const QString& path) {
  recentFiles_.Add(path);
  saveMemory_.parameterFolder = QFileInfo(path).absolutePath();
  RebuildRecentMenu();
  SaveFileSettings();
}

void TMainForm::WatchWindow(TMDIChild* child) {
  child->SetSaveMemory(&saveMemory_);
  connect(child, &TMDIChild::ParameterFileUsed, this,
          [this](const QString& path) { RunGuarded(services_, this, [&] { RememberParameterFile(path); }); });
  connect(child, &TMDIChild::HealthChanged, this, [this, child] {
    if (child == ActiveChild()) HealthBar->Show(child->Health());
  });
}

void TMainForm::ShowHealthOf(TMDIChild* child) {
  if (child)
    HealthBar->Show(child->Health());
  else
    HealthBar->ShowNothing();
}

void TMainForm::LoadSettings() {
  const std::unique_ptr<QSettings> s = services_.OpenSettings();
  // Each part on its own: a damaged value costs only itself.
  const QByteArray storedGeometry = s->value(settings_key::kFrameGeometry).toByteArray();
  if (!storedGeometry.isEmpty() && restoreGeometry(storedGeometry)) {
    // A frame left on a screen that is gone, or dragged almost off one, comes back where it can be reached.
    if (!ReachableOnScreens(frameGeometry(), AvailableScreenAreas()) &&
        !ReachableOnScreens(geometry(), AvailableScreenAreas())) {
      setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
      if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize fitted = size().boundedTo(area.size());
        setGeometry(QRect(area.center() - QPoint(fitted.width() / 2, fitted.height() / 2), fitted));
      }
    }
  }
  // The state names the frame's bars by their object names.
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  const QByteArray state = s->value(settings_key::kFrameState).toByteArray();
  if (!state.isEmpty()) restoreState(state);
  RestoreToolWindow(Form4, *s, settings_key::kParametersPos);
  RestoreToolWindow(CForm, *s, settings_key::kCoefficientsPos);

  fileOptions_ = ReadFileOptions(*s, fileOptions_);
  ApplyScreenGamma(fileOptions_);
  drawingOptions_ = ReadDrawingOptions(*s, drawingOptions_);
  saveMemory_ = ReadSaveMemory(*s);
  recentFiles_.SetPaths(ReadRecentFiles(*s));
  RebuildRecentMenu();
}

void TMainForm::SaveFileSettings() {
  const std::unique_ptr<QSettings> s = services_.OpenSettings();
  WriteFileOptions(*s, fileOptions_);
  WriteDrawingOptions(*s, drawingOptions_);
  WriteSaveMemory(*s, saveMemory_);
  WriteRecentFiles(*s, recentFiles_.Paths());
}

void TMainForm::SaveSettings() {
  SaveFileSettings();
  const std::unique_ptr<QSettings> s = services_.OpenSettings();
  s->setValue(settings_key::kFrameGeometry, saveGeometry());
  s->setValue(settings_key::kFrameState, saveState());
  if (ToolWindowPlaced(Form4)) s->setValue(settings_key::kParametersPos, Form4->pos());
  if (ToolWindowPlaced(CForm)) s->setValue(settings_key::kCoefficientsPos, CForm->pos());
}
