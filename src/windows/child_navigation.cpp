// TMDIChild: the wheel, "Zoom Out" and "Fit to Window", and the undo stack they and every command record into.
#include <QAction>
#include <QTimer>
#include <QUndoStack>

#include "document/view_zoom.h"
#include "windows/childwin.h"
#include "services/command_guard.h"

namespace {

// The wheel sends one event per notch; a pass started for each would nest one pass in the next. The drawing
// starts once the wheel has rested this long.
constexpr int kWheelRestMs = 150;

// Enough for a long session; a step is two parameter sets of about a kilobyte each.
constexpr int kUndoLimit = 1000;

// Merge ids are unique among the window's steps: 1 and 2 are the dialogs' (child_undo.cpp).
enum : int { kWheelZoomMergeId = 3 };

const QString kWheelZoomStep = QStringLiteral("Wheel Zoom");
const QString kZoomOutStep = QStringLiteral("Zoom Out");

}  // namespace

void TMDIChild::ConnectNavigation() {
  undoStack_ = new QUndoStack(this);
  undoStack_->setUndoLimit(kUndoLimit);
  wheelRedraw_ = new QTimer(this);
  wheelRedraw_->setSingleShot(true);
  wheelRedraw_->setInterval(kWheelRestMs);
  connect(wheelRedraw_, &QTimer::timeout, this, Guarded(services_, this, [this] { UpdateGrafX(); }));

  connect(PGImage1, &TPGImage::PicBoxOnWheel, this, [this](int delta, TShiftState s, int x, int y) {
    RunGuarded(services_, this, [&] { PGImage1PicBoxOnWheel(delta, s, x, y); });
  });
  connect(menus_->ZoomOut1, &QAction::triggered, this, Guarded(services_, this, [this] { ZoomOut1Click(); }));
  connect(menus_->FitToWindow1, &QAction::toggled, this,
          [this](bool fit) { RunGuarded(services_, this, [&] { FitToWindow1Click(fit); }); });
}

void TMDIChild::PGImage1PicBoxOnWheel(int angleDelta, TShiftState shift, int x, int y) {
  if (FirstShowPending || v.imageWidth == 0 || v.imageHeight == 0) return;
  const QPoint pixel = PGImage1->PicBoxToImage(QPoint(x, y));
  const TParamSnapshot before = doc_.Snapshot();
  if (!ZoomAbout(v, pixel.x(), pixel.y(), WheelZoomFactor(angleDelta))) return;
  RecordStep(before, kWheelZoomStep, kWheelZoomMergeId);
  // The rectangle marked a region of the view that has just gone.
  PGImage1->SetSelection(false);
  // The point under the cursor is the same; the readout's "M=" is not.
  PGImage1PicBoxOnMouseMove(shift, x, y);
  wheelRedraw_->start();
}

void TMDIChild::ZoomOut1Click() {
  if (FirstShowPending || v.imageWidth == 0 || v.imageHeight == 0) return;
  const TParamSnapshot before = doc_.Snapshot();
  if (!ZoomAbout(v, v.imageWidth * 0.5, v.imageHeight * 0.5, kZoomOutFactor)) return;
  RecordStep(before, kZoomOutStep);
  PGImage1->SetSelection(false);
  UpdateGrafX();
}

void TMDIChild::FitToWindow1Click(bool fit) {
  PGImage1->SetFitToWindow(fit);
  if (menus_->FitToWindow1->isChecked() != fit) menus_->FitToWindow1->setChecked(fit);
}
