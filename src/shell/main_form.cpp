#include "shell/main_form.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "dialogs/about_box.h"
#include "dialogs/coefficients_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "shell/animation_panel.h"
#include "shell/explore_window.h"
#include "windows/childwin.h"
#include "services/command_guard.h"
#include "services/mode_word.h"

namespace {
constexpr int kTimer1IntervalMs = 100;
// Large enough to show the first 400 x 300 picture whole inside its window.
constexpr int kInitialWidth = 620;
constexpr int kInitialHeight = 540;
const QString kNewCaptionPrefix = QStringLiteral("Ovel IFS: ");

QAction* MakeAction(QObject* owner, const QString& caption, const QString& hint = {}) {
  auto* action = new QAction(caption, owner);
  if (!hint.isEmpty()) action->setStatusTip(hint);
  return action;
}
}  // namespace

TMainForm::TMainForm(TServices& services, QWidget* parent) : QMainWindow(parent), services_(services) {
  setWindowTitle(QStringLiteral("Ovel"));
  resize(kInitialWidth, kInitialHeight);

  MdiArea = new QMdiArea(this);
  QLinearGradient gradient(0, 0, 0, 1);
  gradient.setCoordinateMode(QGradient::StretchToDeviceMode);
  gradient.setColorAt(0, Qt::black);
  gradient.setColorAt(1, QColor(128, 0, 0));
  MdiArea->setBackground(QBrush(gradient));
  setCentralWidget(MdiArea);

  AboutBox = new TAboutBox(this);
  // The Options dialog's conversion errors are the program's boxes, like every other.
  Form2 = new TForm2(this, [this](const QString& text) { services_.ShowError(Form2, text); });
  Form4 = new TForm4(this);
  XYSize = new TXYSize(this);
  CForm = new TCForm(this);
  statusBar();  // the status tips of menus and buttons show there

  CreateActions();
  CreateMenus();
  CreateEditMenu();
  CreateToolBar();
  connect(MdiArea, &QMdiArea::subWindowActivated, this,
          Guarded(services_, this, [this] { SubWindowActivated(MdiArea->currentSubWindow()); }));

  // FormCreate: the first window opens from the frame timer, which finds "NEW".
  modeWord_.Set(kModeNew);
  Timer1 = new QTimer(this);
  Timer1->setInterval(kTimer1IntervalMs);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, Guarded(services_, this, [this] { Timer1Timer(); }));
  Timer1->start();

  ConnectDialogs();
  NameShortcutsInToolTips();
  CreateRecentMenu();
  LoadSettings();
  SetEngineHost(this);
  NameControls();
  UpdateMenuItems();
}

TMainForm::~TMainForm() {
  if (GetEngineHost() == this) SetEngineHost(nullptr);
  // The windows go while the frame is still whole: QObject would delete them only after this destructor, when
  // the activation signals they cause would call into a frame that is no longer a TMainForm.
  disconnect(MdiArea, nullptr, this, nullptr);
  delete MdiArea;
  MdiArea = nullptr;
}

void TMainForm::CreateActions() {
  FileNewItem = MakeAction(this, QStringLiteral("&New"), QStringLiteral("Create a new file"));
  FileNewItem->setShortcut(QKeySequence::New);
  connect(FileNewItem, &QAction::triggered, this, Guarded(services_, this, [this] { FileNewItemClick(); }));

  // Open has never done anything; it is kept so the menu reads as users know it.
  FileOpenItem = MakeAction(this, QStringLiteral("&Open"), QStringLiteral("Open an existing file"));

  FileCloseItem = MakeAction(this, QStringLiteral("&Close"), QStringLiteral("Close current file"));
  connect(FileCloseItem, &QAction::triggered, this, Guarded(services_, this, [this] { FileCloseItemClick(); }));

  FileSaveAsItem = MakeAction(this, QStringLiteral("Save &As..."), QStringLiteral("Save current file as..."));
  LoadFromParameterFile1 = MakeAction(this, QStringLiteral("Load From Parameter File"));
  SaveParametersAs1 = MakeAction(this, QStringLiteral("Save &Parameters As..."),
                                 QStringLiteral("Save only the parameter file of the current window"));
  JPGFileOptions1 = MakeAction(this, QStringLiteral("JPG File Options"));
  ConnectFileCommands();
  CreateHitCountActions();
  CreateExploreActions();
  CreateRenderToFile();
  CreateAnimationPanel();

  FileExitItem = MakeAction(this, QStringLiteral("E&xit"), QStringLiteral("Exit the application"));
  FileExitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(FileExitItem, &QAction::triggered, this, Guarded(services_, this, [this] { FileExitItemClick(); }));

  WindowCascadeItem = MakeAction(this, QStringLiteral("&Cascade"), QStringLiteral("Arrange windows to overlap"));
  connect(WindowCascadeItem, &QAction::triggered, this, Guarded(services_, this, [this] { WindowCascadeItemClick(); }));
  WindowTileItem = MakeAction(this, QStringLiteral("&Tile"), QStringLiteral("Arrange windows without overlap"));
  connect(WindowTileItem, &QAction::triggered, this, Guarded(services_, this, [this] { WindowTileItemClick(); }));
  WindowArrangeItem = MakeAction(this, QStringLiteral("&Arrange Icons"),
                                 QStringLiteral("Arrange window icons at bottom of main window"));
  connect(WindowArrangeItem, &QAction::triggered, this, Guarded(services_, this, [this] { WindowArrangeItemClick(); }));
  WindowMinimizeItem = MakeAction(this, QStringLiteral("&Minimize All"), QStringLiteral("Minimize all windows"));
  connect(WindowMinimizeItem, &QAction::triggered, this, Guarded(services_, this, [this] { WindowMinimizeItemClick(); }));

  HelpAboutItem = MakeAction(this, QStringLiteral("&About"));

  QStyle* style = this->style();
  CoolSpeedButton3 = MakeAction(this, QStringLiteral("Reset"), QStringLiteral("Back to the default view and draw"));
  CoolSpeedButton3->setIcon(style->standardIcon(QStyle::SP_BrowserReload));
  connect(CoolSpeedButton3, &QAction::triggered, this, Guarded(services_, this, [this] { ResetClick(); }));

  AbortButton = MakeAction(this, QStringLiteral("Stop"), QStringLiteral("Stop drawing"));
  AbortButton->setIcon(style->standardIcon(QStyle::SP_BrowserStop));
  AbortButton->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_Period)});
  connect(AbortButton, &QAction::triggered, this, Guarded(services_, this, [this] { AbortButtonClick(); }));

  CoolSpeedButton5 = MakeAction(this, QStringLiteral("Params"), QStringLiteral("Show or hide the Parameters"));
  CoolSpeedButton5->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));

  ApplyButton = MakeAction(this, QStringLiteral("Apply"), QStringLiteral("Draw with the current coefficients"));
  ApplyButton->setIcon(style->standardIcon(QStyle::SP_MediaPlay));
  ApplyButton->setShortcut(QKeySequence(Qt::Key_F5));
  connect(ApplyButton, &QAction::triggered, this, Guarded(services_, this, [this] { ApplyButtonClick(); }));

  CoolSpeedButton1 = MakeAction(this, QStringLiteral("Rand"), QStringLiteral("Draw with new random coefficients"));
  CoolSpeedButton1->setIcon(style->standardIcon(QStyle::SP_BrowserReload));
  CoolSpeedButton1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  connect(CoolSpeedButton1, &QAction::triggered, this, Guarded(services_, this, [this] { DrawBtnClick(); }));

  CButton = MakeAction(this, QStringLiteral("Const"), QStringLiteral("Show or hide the Coefficients"));
  CButton->setIcon(style->standardIcon(QStyle::SP_FileDialogListView));
}

void TMainForm::CreateMenus() {
  File1 = menuBar()->addMenu(QStringLiteral("&File"));
  File1->menuAction()->setStatusTip(QStringLiteral("File related commands"));
  File1->addActions({FileNewItem, Explore1, MoreLikeThis1, FileOpenItem, FileCloseItem, FileSaveAsItem, SaveParametersAs1,
                     SaveHitCounts1, LoadFromParameterFile1, JPGFileOptions1, RenderToFile1});
  File1->addSeparator();
  File1->addAction(FileExitItem);

  Window1 = menuBar()->addMenu(QStringLiteral("&Window"));
  Window1->menuAction()->setStatusTip(QStringLiteral("Window related commands such as Tile and Cascade"));
  Window1->addAction(Animation1);
  Window1->addSeparator();
  Window1->addActions({WindowCascadeItem, WindowTileItem, WindowArrangeItem, WindowMinimizeItem});
  windowListSeparator_ = Window1->addSeparator();
  connect(Window1, &QMenu::aboutToShow, this, Guarded(services_, this, [this] { UpdateWindowMenu(); }));

  Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
  Help1->menuAction()->setStatusTip(QStringLiteral("Help topics"));
  Help1->addAction(HelpAboutItem);
}

void TMainForm::CreateToolBar() {
  ToolBar = new QToolBar(QStringLiteral("Tools"), this);
  ToolBar->setMovable(false);
  ToolBar->setOrientation(Qt::Vertical);
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  ToolBar->addActions(
      {CoolSpeedButton3, AbortButton, CoolSpeedButton5, ApplyButton, ContinueButton, CoolSpeedButton1, CButton});
  addToolBar(Qt::LeftToolBarArea, ToolBar);
}

void TMainForm::NameShortcutsInToolTips() {
  // A toolbar button's tip names its key ("Stop (Esc)"); the buttons show no menu where the key could be read.
  for (QAction* action : ToolBar->actions()) {
    if (action->shortcut().isEmpty()) continue;
    action->setToolTip(QStringLiteral("%1 (%2)").arg(action->text().remove(QLatin1Char('&')),
                                                      action->shortcut().toString(QKeySequence::NativeText)));
  }
}

// --- Windows ---------------------------------------------------------------------------------------------------

TMDIChild* TMainForm::ActiveChild() const {
  // currentSubWindow stays set while a tool dialog has the focus, unlike activeSubWindow.
  if (auto* current = qobject_cast<TMDIChild*>(MdiArea->currentSubWindow())) return current;
  return lastActive_;
}

QList<TMDIChild*> TMainForm::Children() const {
  QList<TMDIChild*> children;
  for (QMdiSubWindow* window : MdiArea->subWindowList(QMdiArea::CreationOrder))
    if (auto* child = qobject_cast<TMDIChild*>(window)) children.append(child);
  return children;
}

TMDIChild* TMainForm::OpenFractalWindow(const QString& caption) {
  auto* child = new TMDIChild(services_);
  child->SetFrameClientSize([this] { return FrameClientSize(); });
  child->SetFileOptions(&fileOptions_);
  child->SetDrawingOptions(&drawingOptions_);
  child->SetExitRequest(&exitRequest_);
  child->SetModeWord(&modeWord_);
  WatchWindow(child);
  if (!filesToOpen_.isEmpty()) child->LoadAfterFirstShow(filesToOpen_.takeFirst());
  GiveDialogsTo(child);
  WatchUndoStack(child);
  child->Menus().View1->insertAction(child->Menus().FitToWindow1, FrameSet1);
  MdiArea->addSubWindow(child);
  child->setWindowTitle(caption);
  child->show();
  MdiArea->setActiveSubWindow(child);
  lastActive_ = child;
  MergeChildMenus(child);
  UpdateMenuItems();
  return child;
}

QSize TMainForm::FrameClientSize() const {
  // The whole client area, toolbar and status bar included; only the menu bar is outside it.
  return QSize(width(), height() - menuBar()->height());
}

void TMainForm::SubWindowActivated(QMdiSubWindow* window) {
  // Nothing is active while a tool dialog has the focus; the last window's menus then stay where they are.
  if (auto* child = qobject_cast<TMDIChild*>(window)) {
    TMDIChild* previous = lastActive_;
    lastActive_ = child;
    MergeChildMenus(child);
    if (child != previous) DialogsFollow(previous, child);
    ShowHealthOf(child);
  }
  UpdateMenuItems();
}

void TMainForm::MergeChildMenus(TMDIChild* child) {
  if (child == mergedChild_) return;
  if (mergedChild_)
    for (QAction* action : mergedChild_->Menus().MenuBarActions()) menuBar()->removeAction(action);
  mergedChild_ = child;
  if (child)
    for (QAction* action : child->Menus().MenuBarActions()) menuBar()->insertAction(Window1->menuAction(), action);
}

// Every item of the frame that depends on the windows is enabled here and nowhere else; it runs whenever the
// active window changes and whenever a window opens.
void TMainForm::UpdateMenuItems() {
  const bool any = !Children().isEmpty();
  for (QAction* action : {FileCloseItem, FileSaveAsItem, SaveParametersAs1, SaveHitCounts1, ContinueButton, RenderToFile1,
                          LoadFromParameterFile1, MoreLikeThis1, FrameSet1, WindowCascadeItem, WindowTileItem,
                          WindowArrangeItem, WindowMinimizeItem})
    action->setEnabled(any);
  // The dialogs edit a window; without one there is nothing to show or apply.
  CoolSpeedButton5->setEnabled(any);
  CButton->setEnabled(any);
  XYSize->setEnabled(any);
  animationPanel_->SetCanAdd(any);
  UpdateEditMenu();
}

void TMainForm::UpdateWindowMenu() {
  for (QAction* action : windowListActions_) {
    Window1->removeAction(action);
    delete action;
  }
  windowListActions_.clear();
  const QList<TMDIChild*> children = Children();
  windowListSeparator_->setVisible(!children.isEmpty());
  TMDIChild* active = ActiveChild();
  for (int i = 0; i < children.size(); ++i) {
    TMDIChild* child = children[i];
    const QString prefix = i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1);
    QAction* action = Window1->addAction(prefix + child->windowTitle());
    action->setCheckable(true);
    action->setChecked(child == active);
    connect(action, &QAction::triggered, this, Guarded(services_, this, [this, child] {
              if (child->isMinimized()) child->showNormal();
              MdiArea->setActiveSubWindow(child);
            }));
    windowListActions_.append(action);
  }
}

// --- Commands --------------------------------------------------------------------------------------------------

void TMainForm::FileNewItemClick() {
  modeWord_.Set(kModeNew);
  OpenFractalWindow(kNewCaptionPrefix + QString::number(Children().size() + 1));
}

void TMainForm::FileCloseItemClick() {
  if (TMDIChild* child = ActiveChild()) child->close();
}

void TMainForm::FileExitItemClick() { close(); }

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!MayCloseWhileRendering()) {
    event->ignore();
    return;
  }
  // Every pass stops and none may start again, so the nested event loops of the passes unwind at once and the
  // application's own loop sees the quit; the frame is not destroyed before that has happened.
  RunGuarded(services_, this, [this] { SaveSettings(); });
  exitRequest_.Request();
  if (exploreWindow_) exploreWindow_->Stop();
  for (TMDIChild* child : Children()) child->Abort();
  Timer1->stop();
  event->accept();
  QCoreApplication::quit();
}

void TMainForm::WindowCascadeItemClick() { MdiArea->cascadeSubWindows(); }

void TMainForm::WindowTileItemClick() {
  // Horizontal tiling: the windows lie one above the other, each as wide as the area.
  QList<TMDIChild*> open;
  for (TMDIChild* child : Children())
    if (!child->isMinimized() && child->isVisible()) open.append(child);
  if (open.isEmpty()) return;
  const QSize area = MdiArea->viewport()->size();
  const int height = area.height() / static_cast<int>(open.size());
  for (int i = 0; i < open.size(); ++i) {
    if (open[i]->isMaximized()) open[i]->showNormal();
    open[i]->setGeometry(0, i * height, area.width(), height);
  }
}

void TMainForm::WindowArrangeItemClick() {
  // Minimised windows in rows along the bottom of the area, left to right.
  const QSize area = MdiArea->viewport()->size();
  int x = 0;
  int y = area.height();
  int rowHeight = 0;
  for (TMDIChild* child : Children()) {
    if (!child->isMinimized()) continue;
    const QSize size = child->size();
    if (x > 0 && x + size.width() > area.width()) {
      x = 0;
      y -= rowHeight;
      rowHeight = 0;
    }
    if (rowHeight == 0) rowHeight = size.height();
    child->move(x, y - rowHeight);
    x += size.width();
  }
}

void TMainForm::WindowMinimizeItemClick() {
  const QList<TMDIChild*> children = Children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->showMinimized();
}

void TMainForm::ResetClick() {
  if (TMDIChild* child = ActiveChild()) {
    child->ResetCoordinates();
    child->UpdateGrafX();
  }
}

void TMainForm::AbortButtonClick() { AbortClick(); }

void TMainForm::ApplyButtonClick() {
  if (TMDIChild* child = ActiveChild()) child->Redraw(/*newCoefficients=*/false);
}

void TMainForm::DrawBtnClick() {
  Timer1->start();
  if (TMDIChild* child = ActiveChild()) child->AskForNewCoefficients();
}

void TMainForm::Timer1Timer() {
  Timer1->stop();
  if (exitRequest_.Requested()) return;
  if (modeWord_.IsNew()) {
    FileNewItemClick();
    // Files given at start beyond the first get windows of their own.
    while (!filesToOpen_.isEmpty()) FileNewItemClick();
  } else if (TMDIChild* child = ActiveChild()) {
    child->Redraw(/*newCoefficients=*/true);
  }
}

// --- Operations for the dialogs and the engine ------------------------------------------------------------------

void TMainForm::AbortClick() {
  if (TMDIChild* child = ActiveChild()) child->Abort();
}

void TMainForm::TP01(int width, int height) {
  if (TMDIChild* child = ActiveChild()) child->Resolution(width, height);
}

void TMainForm::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TMainForm::ParametersUpdate() {
  // New random coefficients: the size has not changed, and the user may be typing one into the size dialog.
  if (TMDIChild* child = ActiveChild()) child->Parameters1Update(/*newCoefficients=*/true);
}
