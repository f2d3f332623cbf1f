#include "windows/childwin.h"

#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include "document/first_show.h"
#include "document/presets.h"
#include "document/view_coords.h"
#include "engine/formula.h"
#include "engine/tone.h"
#include "image/pixel_graphic.h"
#include "services/command_guard.h"
#include "services/exit_request.h"
#include "services/mode_word.h"
#include "windows/window_text.h"

namespace {
constexpr int kFirstShowDelayMs = 100;
constexpr int kProgressIntervalMs = 500;
const QString kIndexCaption = QStringLiteral("Ovel-index.ifs");
const QString kStartHint = QStringLiteral(
    "Nothing to draw yet.\n\nPick a preset from the G-Mira / Martin or IFS-01 menu, or load a parameter file "
    "(File > Load From Parameter File).");
const QString kShortStartHint = QStringLiteral("Pick a preset or load a parameter file.");
const QColor kMaroon(128, 0, 0);
const QString kPresetStep = QStringLiteral("Preset");
constexpr int kPanelWidths[3] = {150, 150, 120};

// Steps 8 to 11 of a pass also run when the engine ends with an error, so the window is idle afterwards and
// shows the picture as far as it got.
class TPassEnd {
 public:
  explicit TPassEnd(std::function<void()> end) : end_(std::move(end)) {}
  ~TPassEnd() { end_(); }
  TPassEnd(const TPassEnd&) = delete;
  TPassEnd& operator=(const TPassEnd&) = delete;

 private:
  std::function<void()> end_;
};
}  // namespace

TMDIChild::TMDIChild(TServices& services, QWidget* parent)
    : QMdiSubWindow(parent), services_(services), menus_(std::make_unique<TChildMenus>(this)) {
  setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Ovel"));

  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  PGImage1 = new TPGImage(client);
  PGImage1->SetColor(kMaroon);
  PGImage1->SetPicBoxColor(kMaroon);
  PGImage1->SetCenter(true);
  PGImage1->SetPopupMenu(menus_->PopupMenu1);
  layout->addWidget(PGImage1, 1);

  StatusBar1 = new QStatusBar(client);
  StatusBar1->setSizeGripEnabled(false);
  QFont statusFont(QStringLiteral("Arial"));
  statusFont.setPixelSize(12);
  StatusBar1->setFont(statusFont);
  for (int i = 0; i < 3; ++i) {
    StatusPanels[i] = new QLabel(StatusBar1);
    // At least the panel widths; a readout in a wider font than planned grows its panel instead of being cut.
    StatusPanels[i]->setMinimumWidth(kPanelWidths[i]);
    StatusBar1->addWidget(StatusPanels[i]);
  }
  layout->addWidget(StatusBar1);
  setWidget(client);

  Timer1 = new QTimer(this);
  Timer1->setInterval(kFirstShowDelayMs);
  Timer1->setSingleShot(true);
  Timer2 = new QTimer(this);
  Timer2->setInterval(kProgressIntervalMs);
  connect(Timer1, &QTimer::timeout, this, Guarded(services_, this, [this] { Timer1Timer(); }));
  connect(Timer2, &QTimer::timeout, this, Guarded(services_, this, [this] { Timer2Timer(); }));

  connect(PGImage1, &TPGImage::PicBoxOnMouseDown, this,
          [this](Qt::MouseButton b, TShiftState s, int x, int y) {
            RunGuarded(services_, this, [&] { PGImage1PicBoxOnMouseDown(b, s, x, y); });
          });
  connect(PGImage1, &TPGImage::PicBoxOnMouseMove, this, [this](TShiftState s, int x, int y) {
    RunGuarded(services_, this, [&] { PGImage1PicBoxOnMouseMove(s, x, y); });
  });
  connect(PGImage1, &TPGImage::PicBoxOnMouseUp, this, [this](Qt::MouseButton b, TShiftState s, int x, int y) {
    RunGuarded(services_, this, [&] { PGImage1PicBoxOnMouseUp(b, s, x, y); });
  });
  connect(PGImage1, &TPGImage::PicBoxOnDblClick, this, Guarded(services_, this, [this] { PGImage1PicBoxOnDblClick(); }));
  connect(PGImage1, &TPGImage::OnNewAutoSize, this, [this](int w, int h) {
    RunGuarded(services_, this, [&] { PGImage1NewAutoSize(w, h); });
  });
  ConnectMenus();
  ConnectNavigation();

  // FormCreate.
  ApplyCreationDefaults(v);
  RectangleMode = true;
  FirstShowPending = true;
  Timer1->start();
}

bool TMDIChild::ProgressTimerActive() const { return Timer2->isActive(); }

TMDIChild::~TMDIChild() {
  // The document stops a pass still holding its record's address as it goes (~TFractalDocument).
  // The view outlives this object's members: it must not keep the document's picture.
  PGImage1->ShowPixelGraphic(nullptr);
  // The stack goes with the window's children and empties itself on the way, which would tell the frame.
  undoStack_->blockSignals(true);
}

void TMDIChild::ConnectMenus() {
  const TChildMenus& m = *menus_;
  for (std::size_t i = 0; i < kMenuSizes.size(); ++i) {
    const TMenuSize size = kMenuSizes[i];
    connect(m.sizeItems[i], &QAction::triggered, this,
            Guarded(services_, this, [this, size] { SizeMenuClick(size.width, size.height); }));
  }
  // "Custom Size" and "Constants Dialog" work once the window has the dialogs (SetToolDialogs).
  m.CustomSize1->setEnabled(false);
  connect(m.CustomSize1, &QAction::triggered, this, Guarded(services_, this, [this] { CustomSize1Click(); }));
  for (int k = 1; k <= 9; ++k)
    connect(m.miraItems[k - 1], &QAction::triggered, this, Guarded(services_, this, [this, k] { MiraClick(k); }));
  connect(m.Mira0113, &QAction::triggered, this, Guarded(services_, this, [this] { Mira0113Click(); }));
  for (int k = 1; k <= kIfsVariantCount; ++k)
    connect(m.ifsItems[k - 1], &QAction::triggered, this, Guarded(services_, this, [this, k] { IFSClick(k); }));
  for (int n = 1; n <= 3; ++n)
    connect(m.mapsItems[n - 1], &QAction::triggered, this, Guarded(services_, this, [this, n] { MapsClick(n); }));
  m.ConstantsDialog1->setEnabled(false);
  connect(m.ConstantsDialog1, &QAction::triggered, this, Guarded(services_, this, [this] { ConstantsDialog1Click(); }));
  connect(m.Zoom1, &QAction::triggered, this, Guarded(services_, this, [this] { Zoom1Click(); }));
  connect(m.RectangleMode1, &QAction::triggered, this, Guarded(services_, this, [this] { RectangleMode1Click(); }));
  connect(m.ClearRectangle2, &QAction::triggered, this, Guarded(services_, this, [this] { ClearRectangle2Click(); }));
  connect(m.PopupMenu1, &QMenu::aboutToShow, this, Guarded(services_, this, [this] { UpdateMenuItems(); }));
}

// --- Lifecycle -------------------------------------------------------------------------------------------------

void TMDIChild::Timer1Timer() {
  Timer1->stop();
  FormPaint();
}

void TMDIChild::FormPaint() {
  if (!FirstShowPending) return;
  // Cleared first: the pass at the end runs the event loop, which must not start the setup a second time.
  FirstShowPending = false;

  const QSize screen = this->screen() ? this->screen()->size() : QSize(TPGImage::kNoLimit, TPGImage::kNoLimit);
  const QSize border = size() - ClientSize();
  PGImage1->SetAutoSizeMaxWidth(screen.width() - border.width());
  PGImage1->SetAutoSizeMaxHeight(screen.height() - border.height());
  PGImage1->SetActionMode(RectangleMode ? TActionMode::amMoveResizeCreateSelection : TActionMode::amNone);

  ApplyFirstShowDefaults(v, kFirstShowWidth, kFirstShowHeight);
  // The new-window branch is taken whatever the mode word says: a first show always needs its picture, and the
  // word may have moved on when two windows were opened within the first-show delay.
  modeWord_->Set(kModeWorking);
  setWindowTitle(kIndexCaption);
  TitleText = windowTitle();
  CreateTList();
  UpdateGrafX();
  if (!loadAfterFirstShow_.isEmpty()) LoadAfterFirstShow(std::exchange(loadAfterFirstShow_, QString()));
  if (showAfterFirstShow_) std::exchange(showAfterFirstShow_, {})();
}

void TMDIChild::closeEvent(QCloseEvent* event) {
  // FormClose: the pass stops; the window is minimised, never destroyed, so its picture and record stay.
  Abort();
  event->ignore();
  if (!isMinimized()) showMinimized();
}

void TMDIChild::ShowNewPicture(std::unique_ptr<TPixelGraphic> replaced) {
  PGImage1->ShowPixelGraphic(doc_.Picture());
  replaced.reset();
  if (doc_.Picture()) doc_.Picture()->Changed();
}

// --- Render pass -----------------------------------------------------------------------------------------------

void TMDIChild::UpdateGrafX() { RunPass(TEngineRun::Start); }

void TMDIChild::RunPass(TEngineRun run) {
  // Once the user has asked to leave no pass may start: the nested event loops must unwind.
  if (exitRequest_ && exitRequest_->Requested()) return;
  // Only an idle window's caption is its title; during a pass it shows progress figures.
  if (passDepth_ == 0) TitleText = windowTitle();
  // Edits still waiting in the dialogs belong to this pass, before the family switches are derived below.
  if (ServedByDialogs()) TakePendingDialogEdits();
  // This pass draws the view a turn of the wheel has made.
  wheelRedraw_->stop();

  // A continued pass draws on over the picture it goes on with.
  if (run == TEngineRun::Start) ShowNewPicture(doc_.NewPicture());
  UpdateMenuItems();

  ++passDepth_;
  TPassEnd end([this] {
    --passDepth_;
    v.abort = true;
    if (doc_.Picture()) doc_.Picture()->Changed();
    Timer2->stop();
    setWindowTitle(TitleText);
  });
  Timer2->start();
  v.ticks = 0;

  DeriveFamilySwitches(v);
  Parameters1Update();
  const bool drawing = SelectsAFamily(v);
  if (drawing)
    PGImage1->SetHintText({});
  else
    PGImage1->SetHintText(kStartHint, kShortStartHint);
  if (drawing) TypeFractal(run);
}

void TMDIChild::TypeFractal() { TypeFractal(TEngineRun::Start); }

void TMDIChild::TypeFractal(TEngineRun run) {
  AdjustCoordsForRun(v);
  PixelStepX = (v.plotXMax - v.plotXMin) / v.plotWidth;
  PixelStepY = (v.plotYMax - v.plotYMin) / v.plotHeight;
  Timer2->start();
  v.abort = false;
  doc_.StartHealth();
  emit HealthChanged();
  TPassEnd end([this] {
    if (doc_.Picture()) doc_.Picture()->Changed();
    Timer2->stop();
    doc_.StopHealth();
    emit HealthChanged();
  });
  RunEngine(run);
}

void TMDIChild::Timer2Timer() {
  // A log-density picture depends on the total of all hits: it is painted whole with each repaint.
  // So does one of the gradient colouring.
  if (v.logDensity || PaintsByGradient(v)) RepaintPicture(v);
  if (doc_.Picture()) doc_.Picture()->Changed();
  QCoreApplication::processEvents();
  // A pass that ended while the events above ran has put its title back; progress figures would stay forever.
  if (passDepth_ == 0 || v.abort) return;
  setWindowTitle(FormatProgressCaption(doc_.Progress(), UserDecimalPoint()));
  doc_.SampleHealth();
  emit HealthChanged();
  ++v.ticks;
  // The engine resumes at once: waiting here for one more event would stall it whenever the queue is empty.
  QCoreApplication::processEvents();
}

void TMDIChild::Abort() { v.abort = true; }

void TMDIChild::Redraw(bool newCoefficients) {
  if (newCoefficients) {
    AskForNewCoefficients();
  } else {
    v.randomize = false;
  }
  UpdateGrafX();
}

// --- View coordinates ------------------------------------------------------------------------------------------

void TMDIChild::ResetCoordinates() {
  RecordChange(QStringLiteral("Reset"), [this] { doc_.ResetView(); });
}
void TMDIChild::AdjustCoords() { ::AdjustCoords(v); }

// --- Presets ---------------------------------------------------------------------------------------------------

void TMDIChild::MiraClick(int variant) {
  RecordChange(kPresetStep, [&] { doc_.ToggleMiraVariant(variant); });
  UpdateGrafX();
}

void TMDIChild::Mira0113Click() {
  RecordChange(kPresetStep, [this] { doc_.ToggleLatoocarfian01(); });
  UpdateGrafX();
}

void TMDIChild::IFSClick(int variant) {
  RecordChange(kPresetStep, [&] { doc_.ToggleIfsVariant(variant); });
  UpdateGrafX();
}

void TMDIChild::MapsClick(int maps) {
  RecordChange(QStringLiteral("Coefficient Count"), [&] { doc_.SetMaps(maps); });
  UpdateGrafX();
}

void TMDIChild::UpdateMenuItems() {
  const TChildMenus& m = *menus_;
  m.RectangleMode1->setChecked(RectangleMode);
  for (int k = 1; k <= 9; ++k) m.miraItems[k - 1]->setChecked(MiraVariant(v, k));
  m.Mira0113->setChecked(v.latoocarfian01);
  for (int k = 1; k <= kIfsVariantCount; ++k) m.ifsItems[k - 1]->setChecked(IfsVariant(v, k));
  for (int n = 1; n <= 3; ++n) m.mapsItems[n - 1]->setChecked(v.maps == n);
}
