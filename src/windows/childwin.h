// TMDIChild: one fractal window inside the frame. It holds one parameter record `v`, the picture the engine
// draws into (shown and owned by PGImage1), the three hit lists, a status bar with the world coordinates under
// the mouse, its own menus (merged into the frame's menu bar while it is active) and the picture's popup menu.
//
// A render pass (UpdateGrafX) runs the engine inside this call; the engine pumps the event loop, so every
// command of this window, of other windows and of the frame can arrive while a pass runs, including a command
// that starts another pass nested inside this one. Stop ends all nested passes at once: they share the engine.
//
// Closing the window stops its pass and minimises it; windows live until the program ends.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QMdiSubWindow>
#include <QString>

#include "document/fractal_document.h"
#include "document/hit_counts.h"
#include "engine/fractal_params.h"
#include "files/file_options.h"
#include "view/pg_image.h"
#include "windows/child_menus.h"
#include "services/drawing_options.h"
#include "services/mode_word.h"
#include "services/services.h"
#include "windows/image_size.h"
#include "services/save_memory.h"
#include "windows/tool_dialogs.h"

class QLabel;
class QStatusBar;
class QTimer;
class QUndoStack;
class TExitRequest;
class TForm2;

class TMDIChild : public QMdiSubWindow {
  Q_OBJECT

 public:
  // services: the boxes, file dialogs and modal runs of the program, given by the frame; they outlive the window.
  explicit TMDIChild(TServices& services, QWidget* parent = nullptr);
  ~TMDIChild() override;

  // The fractal as it stands: parameters, view window, counters and the handles of picture and hit lists. Only
  // the window, its dialogs and the engine (through the pass) change it; the frame asks the window to act.
  const TFractalParams& Params() const { return doc_.Record(); }
  bool IsFirstShowPending() const { return FirstShowPending; }

  // The window's controls, to look at and to drive with simulated input; only the window places and wires them.
  TPGImage* PictureView() const { return PGImage1; }
  QStatusBar* StatusBar() const { return StatusBar1; }
  QLabel* StatusPanel(int index) const { return StatusPanels[index]; }  // 0 "cx=", 1 "cy=", 2 "M="
  bool ProgressTimerActive() const;
  const TChildMenus& Menus() const { return *menus_; }

  // How many passes of this window are running, nested in one another (0 when idle).
  int PassDepth() const { return passDepth_; }
  // The window's own title: while a pass runs the caption shows progress figures instead.
  QString TitleOfSet() const { return passDepth_ > 0 ? TitleText : windowTitle(); }
  // The render's figures as of the last repaint of a pass (HealthChanged tells when they change).
  const TRenderHealth& Health() const { return doc_.Health(); }

  // The frame's client area, which bounds the window when it fits itself around its picture. Without it the
  // size of the area holding the window is used.
  void SetFrameClientSize(std::function<QSize()> source) { frameClientSize_ = std::move(source); }

  // --- Lifecycle ---------------------------------------------------------------------------------------------
  void Timer1Timer();
  void FormPaint();  // the first-show setup; does nothing after the first time

  // --- Render pass -------------------------------------------------------------------------------------------
  void UpdateGrafX();
  void TypeFractal();
  void Timer2Timer();
  void Abort();
  // A new pass over the whole picture: with newCoefficients the engine first draws random coefficients, without
  // it the record's own are drawn (Apply, a loaded file).
  void Redraw(bool newCoefficients);
  // Rand: the next pass draws random coefficients, whichever command starts it. An undo step, whose undo
  // brings back the coefficients drawn before (child_undo.cpp).
  void AskForNewCoefficients();

  // --- View coordinates --------------------------------------------------------------------------------------
  void ResetCoordinates();
  void AdjustCoords();

  // --- Picture size ------------------------------------------------------------------------------------------
  // Applies a size of 1..8192 in each direction; anything else is refused with a message and changes nothing.
  void Resolution(int width, int height);
  void CreateTList();
  void PGImage1NewAutoSize(int pgImageWidth, int pgImageHeight);
  // The client area: everything inside the window's border and title bar.
  QSize ClientSize() const;

  // --- Presets -----------------------------------------------------------------------------------------------
  void MiraClick(int variant);  // "01.)" .. "09.)"; 07 also asks for random coefficients
  void Mira0113Click();         // toggles latoocarfian01
  void IFSClick(int variant);   // IFS0101 .. IFS0108
  void MapsClick(int maps);     // "1X", "2X", "3X"
  void UpdateMenuItems();

  // --- Dialog synchronisation (childwin_dialogs.cpp) -----------------------------------------------------------
  // The dialogs this window fills and reads; without them the operations below do nothing.
  void SetToolDialogs(TToolDialogs dialogs);
  // Record -> Parameters and Coefficients dialogs and the picture size -> size dialog. Edits still waiting
  // for their debounce are copied into the record first, so that a refill does not throw them away. With
  // newCoefficients (the engine has just drawn them) pending coefficient edits and the size dialog are left
  // alone. Skipped while the dialogs work for another window.
  void Parameters1Update(bool newCoefficients = false);
  // Copies the dialogs' edits that still wait for their debounce into this window's record.
  void TakePendingDialogEdits(bool coefficients = true);
  void ApplyParameters();     // Parameters dialog -> record
  void UpdateCoefficiants();  // Coefficients dialog -> af[1] .. af[18]
  void Parameters1Click();    // shows (after filling) or hides the Parameters dialog
  void ConstantsDialog1Click();
  void XYSize1Click();        // shows the size dialog with this window's size, or hides it
  void CustomSize1Click() { XYSize1Click(); }
  // An "XY Size" entry: the size goes into the size dialog's edits, then it is applied.
  void SizeMenuClick(int width, int height);

  // --- Selection and zoom ------------------------------------------------------------------------------------
  void PGImage1PicBoxOnMouseDown(Qt::MouseButton button, TShiftState shift, int x, int y);
  void PGImage1PicBoxOnMouseMove(TShiftState shift, int x, int y);
  void PGImage1PicBoxOnMouseUp(Qt::MouseButton button, TShiftState shift, int x, int y);
  void PGImage1PicBoxOnDblClick();
  void Zoom1Click();
  void RectangleMode1Click();
  void ClearRectangle2Click();

  // --- Undo (child_undo.cpp) ------------------------------------------------------------------------------------
  // One stack per window. Every command and dialog edit that changes the parameter set is a step; a step keeps
  // the set from before it and, once undone, the set it undid, picture size included. Undo and Redo first
  // take dialog edits still waiting for their debounce (they are the newest step), then restore and draw.
  QUndoStack* UndoStack() const { return undoStack_; }
  void Undo();
  void Redo();

  // --- Navigation (child_navigation.cpp) --------------------------------------------------------------------
  // The wheel zooms about the point under the cursor, which stays there; the drawing follows once the wheel
  // rests for a moment, and a quick run of notches is one undo step.
  void PGImage1PicBoxOnWheel(int angleDelta, TShiftState shift, int x, int y);
  void ZoomOut1Click();
  void FitToWindow1Click(bool fit);

  // --- Files (childwin_files.cpp) --------------------------------------------------------------------------------
  // Save As: the picture and, beside it, its parameter file; both stay as they were unless both were written.
  void SaveAs1Click();
  // Reads a parameter file into v; the caption and the mode word become path. A file that cannot be opened
  // raises and changes nothing. Drawing it is the caller's business.
  void LoadFromParameterFile(const QString& path);
  // Loads path and draws it as soon as the first show has set the window up (at once if it has): a file opened
  // from the command line or dropped on the frame gets a window of its own.
  void LoadAfterFirstShow(const QString& path);
  // Save Parameters As: only the parameter file, written whole or not at all.
  void SaveParametersAs1Click();

  // --- Changes computed outside the window (child_external.cpp) -----------------------------------------------
  // A new view of the set (Frame Set): `change` edits the record and returns false when it has nothing to change.
  // A change is one undo step named text and is drawn at once. Nothing happens before the first show.
  void ChangeView(const QString& text, const std::function<bool(TFractalParams&)>& change);
  // Shows a parameter set found elsewhere (the Explore window): its picture size and every parameter, as one undo
  // step named text, drawn at once; after the first show when that is still to come.
  void ShowParameterSet(const TFractalParams& settings, const QString& text);

  // --- Hit-count documents (child_counts.cpp) --------------------------------------------------------------------
  // Save Hit Counts: the render as a hit-count document, written whole or not at all. Saved while a pass draws,
  // it holds the counts so far but no orbits, so it can be painted and merged but not continued.
  void SaveHitCounts1Click();
  // Makes the window hold a hit-count document: its parameter set, size, counts and picture, and its orbits for
  // Continue. A pass still drawing is stopped first. A document that cannot be read raises and changes nothing.
  void LoadHitCounts(const QString& path);
  // Continue: goes on drawing the render the last pass (or a loaded document) left, without clearing it. Says why
  // when there is none or when what decides its hits (view, size, coefficients, families) has changed since.
  void Continue1Click();
  bool CanContinue() const;
  // Whether a path names a hit-count document rather than a parameter file.
  static bool IsHitCountFile(const QString& path);
  // The image file options and the drawing options through the "Options" dialog, both stored only on OK.
  // Independent of any window.
  static bool Options1Click(TServices& services, TForm2& dialog, TFileOptions& options, TDrawingOptions& drawing);
  // The image file options Save As uses: the frame's set, kept by the frame. Without one the window keeps
  // its own defaults.
  void SetFileOptions(const TFileOptions* options) { fileOptions_ = options; }
  // Whether new passes draw with parallel orbits: the frame's set, kept by the frame. Without one the window
  // keeps its own defaults.
  void SetDrawingOptions(const TDrawingOptions* options) { drawingOptions_ = options; }
  // Where Save As put its last picture, and of which type; where parameter files were last opened or saved. The
  // frame keeps one for all windows (and from run to run); without one the save dialogs start from the caption.
  void SetSaveMemory(TSaveMemory* memory) { saveMemory_ = memory; }
  // The frame's: once it is made, no pass starts here. Without one the window never refuses a pass for it.
  void SetExitRequest(const TExitRequest* request) { exitRequest_ = request; }
  // The frame's mode word, which the first show and a loaded file set. Without one (nullptr) the window keeps its
  // own.
  void SetModeWord(TModeWord* word) { modeWord_ = word ? word : &ownModeWord_; }

 signals:
  // A pass began, showed its progress or ended: Health() has new figures.
  void HealthChanged();
  // A parameter file was read into this window, or written from it (by Save As beside its picture, or alone).
  void ParameterFileUsed(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Tests look inside through this; nothing else does.
  friend struct TMDIChildProbe;
  friend class TParamsStep;

  // The fractal itself; the window is its view and its commands. v is the document's record, under the name
  // the handlers use.
  TServices& services_;
  TPGImage* PGImage1;
  QStatusBar* StatusBar1;
  QLabel* StatusPanels[3];  // "cx=", "cy=", "M="
  QTimer* Timer1;           // 100 ms, once: the first-show setup
  QTimer* Timer2;           // 500 ms while the engine runs: progress
  TFractalDocument doc_{TFractalDocument::TBlank{}};
  TDocumentRecord& v = doc_.Params();
  // Members outside v.
  double PixelStepX = 0, PixelStepY = 0;
  QString TitleText;
  bool RectangleMode = true;
  bool FirstShowPending = true;
  double DownX = 0, DownY = 0;
  TShiftState LastShift;
  double CursorX = 0, CursorY = 0;

  // A save dialog's request: starting in the folder and with the name the window's own title gives.
  // rememberedFolder is where to start when the caption names no folder.
  TFileDialogRequest SaveRequest(const QString& caption, const QString& filter, const QString& rememberedFolder) const;
  void ConnectMenus();
  // Shows the document's picture; `replaced`, the one shown until now, goes once the view has let go of it.
  void ShowNewPicture(std::unique_ptr<TPixelGraphic> replaced);
  QSize FrameClientSize() const;

  // Undo (child_undo.cpp). A change made by change() is a step named text, when it changed the parameter set.
  void RecordChange(const QString& text, const std::function<void()>& change);
  // A step from `before` to the set as it is now, unless they are the same. Steps of one mergeId (not -1) that
  // follow one another closely are one step.
  void RecordStep(const TParamSnapshot& before, const QString& text, int mergeId = -1);
  // A dialog edit: no step when the record now holds what the dialogs showed of `before` (their refill coming
  // back rounded to the controls' steps is no edit of the user's).
  void RecordDialogEdit(const TParamSnapshot& before, const TParamSnapshot& shown, const QString& text, int mergeId);
  // Puts a snapshot into the document and shows the picture a size change made; draws nothing.
  void RestoreSnapshot(const TParamSnapshot& snapshot);
  void ConnectNavigation();
  QUndoStack* undoStack_ = nullptr;
  QTimer* wheelRedraw_ = nullptr;  // the pass after a run of wheel notches

  std::unique_ptr<TChildMenus> menus_;
  int passDepth_ = 0;

  // The engine call of a pass (child_engine.cpp): a new render, or Continue from what the last one left.
  enum class TEngineRun { Start, Continue };
  void RunEngine(TEngineRun run);
  // UpdateGrafX and TypeFractal for either kind of pass.
  void RunPass(TEngineRun run);
  void TypeFractal(TEngineRun run);
  // Orbits and threads a new pass asks for, from the drawing options as they are now; one orbit is the engine's
  // own single orbit on the GUI thread.
  TPassShape PassShape() const;
  int PassOrbits() const;
  int PassThreads() const;
  // What the last pass left when it ended (orbit 0 as the engine held it, the other orbits of a parallel pass), so
  // that Continue goes on from there even after other windows drew, and what it must still match to go on.
  struct TStoppedRender {
    THitCountOrbit first;
    TOrbitsLeft others;
    TRenderFingerprint fingerprint;
  };
  std::optional<TStoppedRender> stopped_;
  std::uint64_t engineRuns_ = 0;  // engine calls started in this window, nested ones included
  bool ServedByDialogs() const;

  std::function<QSize()> frameClientSize_;
  const TFileOptions* fileOptions_ = nullptr;
  QString loadAfterFirstShow_;
  std::function<void()> showAfterFirstShow_;
  TFileOptions ownFileOptions_;
  const TDrawingOptions* drawingOptions_ = nullptr;
  TDrawingOptions ownDrawingOptions_;
  TSaveMemory* saveMemory_ = nullptr;
  const TExitRequest* exitRequest_ = nullptr;
  TModeWord ownModeWord_;
  TModeWord* modeWord_ = &ownModeWord_;
  TToolDialogs dialogs_;
};
