// TMainForm: the multi-document frame. It holds the fractal windows in a QMdiArea, owns the menu bar, the
// toolbar and the frame timer, and routes every command to the active fractal window. The active window's own
// menus are merged into the menu bar between File and Window.
//
// It is also the engine's host: the engine hands control back through ProcessMessages, which pumps the Qt event
// loop, so that menus, timers and mouse work while a picture is drawn.
//
// The tool dialogs reach the windows through the operations at the end (ParametersUpdate, AbortClick, TP01);
// the Parameters and Coefficients dialogs add UpdateColors and UpdateCoefficiants when they are wired in.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QStringList>

#include "engine/formula.h"
#include "files/file_options.h"
#include "shell/recent_files.h"
#include "services/drawing_options.h"
#include "services/exit_request.h"
#include "services/mode_word.h"
#include "services/save_memory.h"
#include "services/services.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;
class TMDIChild;
class TAboutBox;
class TForm2;
class TForm4;
class TXYSize;
class TCForm;
class THealthBar;
class TExploreWindow;
class TRenderJobs;
class TRenderPanel;
class TAnimationPanel;

class TMainForm : public QMainWindow, public EngineHost {
  Q_OBJECT

 public:
  // services: the program's boxes, file dialogs, modal runs and settings, for the frame and every window it
  // makes; they outlive the frame.
  explicit TMainForm(TServices& services, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The window commands go to; nullptr only before the first window has opened.
  TMDIChild* ActiveChild() const;
  // The image file options: one set for the program's run, edited by "Options" and used by every Save As.
  const TFileOptions& ImageFileOptions() const { return fileOptions_; }
  // How every window draws (parallel orbits or one), edited by "Options" too; a pass takes it when it starts.
  const TDrawingOptions& DrawingOptions() const { return drawingOptions_; }
  // Every fractal window in creation order.
  QList<TMDIChild*> Children() const;
  TMDIChild* OpenFractalWindow(const QString& caption);
  // The window whose menus are in the menu bar now.
  TMDIChild* MergedChild() const { return mergedChild_; }
  // Whether the user has asked to leave: the frame has closed, and no pass starts in its windows any more.
  bool ExitRequested() const { return exitRequest_.Requested(); }
  // "NEW", "Ovel IFS " or the parameter file loaded last in one of this frame's windows: what Rand does next.
  const QString& ModeWord() const { return modeWord_.Word(); }

  // Commands.
  void FileNewItemClick();
  void FileCloseItemClick();
  void FileExitItemClick();
  void WindowCascadeItemClick();
  void WindowTileItemClick();
  void WindowArrangeItemClick();
  void WindowMinimizeItemClick();
  void ResetClick();
  void AbortButtonClick();
  void ApplyButtonClick();
  void DrawBtnClick();
  void Timer1Timer();
  // Enables the items that need a window: the one place for that, run on every change of the active window.
  void UpdateMenuItems();
  // Rebuilds the list of windows at the end of the Window menu.
  void UpdateWindowMenu();
  // File commands (main_form_files.cpp).
  void FileSaveAsItemClick();           // the active window's Save As
  void LoadFromParameterFile1Click();   // a parameter file into the active window, then drawn
  void JPGFileOptions1Click();          // the image file "Options", with or without a window
  void SaveParametersAs1Click();        // only the active window's parameter file
  // Hit-count documents (main_form_counts.cpp).
  void SaveHitCounts1Click();           // the active window's render as a hit-count document
  void ContinueButtonClick();           // the active window goes on drawing its stopped or loaded render
  // Explore commands (main_form_explore.cpp).
  void Explore1Click();
  void MoreLikeThis1Click();
  // Fits the active window's view to its set, as one undo step, and draws.
  void FrameSet1Click();
  // The Explore window, made the first time; nullptr until then.
  TExploreWindow* ExploreWindow() const { return exploreWindow_; }
  // The Animation panel (main_form_animation.cpp), docked at the right, hidden until Animation is chosen.
  TAnimationPanel* AnimationPanel() const { return animationPanel_; }
  void Animation1Click();
  // Render to File (main_form_render.cpp): the active window's parameter set into a file, in the background.
  void RenderToFile1Click();
  // Edit commands (main_form_edit.cpp).
  void EditUndoItemClick();
  void EditRedoItemClick();
  // Parameter files to open at start (the command line), each in a window of its own: the first in the window
  // the frame opens anyway, the others in new ones.
  void OpenAtStart(const QStringList& paths);
  // Opens each parameter file in a new window and draws it.
  void OpenInNewWindows(const QStringList& paths);

  // Remembered settings, recent files and the render readout (main_form_settings.cpp).
  const TRecentFiles& RecentFiles() const { return recentFiles_; }
  const TSaveMemory& SaveMemory() const { return saveMemory_; }
  // Opens a recent file in a new window; one that is gone is named in a message and leaves the list.
  void OpenRecentFile(const QString& path);
  void ClearRecentList1Click();
  // Writes what the frame remembers: its geometry and state, the tool dialogs' places, the options, the folders
  // and file type, the recent files. Runs when the frame closes; the options, folders and list also when they
  // change.
  void SaveSettings();

  // Operations offered to the dialogs; each forwards to the active window.
  void AbortClick();
  void TP01(int width, int height);
  // Tool dialogs (main_form_dialogs.cpp).
  void UpdateColors();         // the Parameters dialog has been quiet for a moment
  void UpdateCoefficiants();   // the Coefficients dialog has been quiet for a moment
  void ParamsClick();          // "Params": show or hide the Parameters dialog
  void CButtonClick();         // "Const": show or hide the Coefficients dialog
  void HelpAboutItemClick();   // the About box, modally

  // EngineHost.
  void ProcessMessages() override;
  void ParametersUpdate() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // Parameter files dropped on the frame open in new windows.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Tests set up a state through this that no command reaches on its own; nothing else does.
  friend struct TMainFormProbe;
  // The controls carry their names as object names, which is how tests find them (NameControls).
  QMdiArea* MdiArea;

  // The dialogs exist once for the whole run, created hidden with the frame in this order.
  TAboutBox* AboutBox;
  TForm2* Form2;   // the image file "Options"
  TForm4* Form4;   // "Parameters"
  TXYSize* XYSize; // "Size"
  TCForm* CForm;   // "Coefficients"

  QTimer* Timer1;  // 100 ms, once: the first window at start, and Rand

  QMenu* File1;
  QAction* FileNewItem;
  QAction* FileOpenItem;
  QAction* FileCloseItem;
  QAction* FileSaveAsItem;
  QAction* LoadFromParameterFile1;
  QAction* JPGFileOptions1;
  QAction* SaveParametersAs1;
  QAction* SaveHitCounts1;    // "Save Hit Counts..."
  QAction* ContinueButton;    // "Continue" (Shift+F5)
  QAction* RenderToFile1;     // "Render to File..." (Ctrl+Shift+R)
  TRenderJobs* RenderJobs;    // the renders to file, run in the background one after the other
  TRenderPanel* RenderPanel;  // their progress, docked at the bottom
  QAction* FileExitItem;
  QAction* Explore1;        // "Explore...", Ctrl+E: the Explore window
  QAction* MoreLikeThis1;   // "More Like This", Ctrl+Shift+E: variants of the active window's set
  QAction* FrameSet1;       // "Frame Set", Ctrl+Shift+F, in each window's View menu
  QMenu* Edit1;
  QAction* EditUndoItem;  // "&Undo", Ctrl+Z: the active window's last step
  QAction* EditRedoItem;  // "&Redo", Ctrl+Shift+Z
  QMenu* Window1;
  QAction* WindowCascadeItem;
  QAction* WindowTileItem;
  QAction* WindowArrangeItem;
  QAction* WindowMinimizeItem;
  QAction* Animation1;        // "Animation..." (Ctrl+Shift+A): shows the Animation panel
  QMenu* Help1;
  QAction* HelpAboutItem;
  QMenu* OpenRecent1;         // "Open Recent": the last parameter files, then "Clear List"
  QAction* ClearRecentList1;
  THealthBar* HealthBar;      // the active window's render figures, at the right of the status bar

  QToolBar* ToolBar;
  QAction* CoolSpeedButton3;  // "Reset"
  QAction* AbortButton;       // "Stop"
  QAction* CoolSpeedButton5;  // "Params"
  QAction* ApplyButton;       // "Apply"
  QAction* CoolSpeedButton1;  // "Rand"
  QAction* CButton;           // "Const"

  TServices& services_;
  void NameControls();
  void ConnectFileCommands();
  void CreateHitCountActions();
  void CreateRenderToFile();
  // Leaving while renders to file run asks first; true when the frame may close (the renders are then discarded).
  bool MayCloseWhileRendering();
  void CreateAnimationPanel();
  // The same for an animation's render; the frames finished are kept.
  bool MayCloseWhileAnimating();
  void CreateEditMenu();
  void UpdateEditMenu();
  void WatchUndoStack(TMDIChild* child);
  void CreateActions();
  void CreateExploreActions();
  TExploreWindow* ShowExploreWindow();
  void CreateMenus();
  void CreateToolBar();
  void NameShortcutsInToolTips();
  void SubWindowActivated(QMdiSubWindow* window);
  void MergeChildMenus(TMDIChild* child);
  void ConnectDialogs();
  void GiveDialogsTo(TMDIChild* child);
  void DialogsFollow(TMDIChild* previous, TMDIChild* child);
  QSize FrameClientSize() const;
  void CreateRecentMenu();
  void RebuildRecentMenu();
  void RememberParameterFile(const QString& path);
  void LoadSettings();
  void SaveFileSettings();
  void WatchWindow(TMDIChild* child);
  void ShowHealthOf(TMDIChild* child);

  TFileOptions fileOptions_;
  TDrawingOptions drawingOptions_;
  TExitRequest exitRequest_;
  TModeWord modeWord_;
  TRecentFiles recentFiles_;
  TSaveMemory saveMemory_;
  QStringList filesToOpen_;  // each goes to the next window that opens
  TMDIChild* mergedChild_ = nullptr;
  TExploreWindow* exploreWindow_ = nullptr;
  TAnimationPanel* animationPanel_ = nullptr;
  TMDIChild* lastActive_ = nullptr;
  QAction* windowListSeparator_ = nullptr;
  QList<QAction*> windowListActions_;
};
