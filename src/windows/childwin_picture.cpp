// TMDIChild: picture size, the fit of the window around its picture, and selection and zoom.
#include <QLabel>
#include <QMdiArea>
#include <QScreen>
#include <QTimer>

#include "document/selection_region.h"
#include "document/view_coords.h"
#include "image/pixel_graphic.h"
#include "windows/childwin.h"
#include "windows/window_text.h"

namespace {
const QString kNothingSelected = QStringLiteral("there is nothing selected");
const QString kEmptyRegion =
    QStringLiteral("The marked region has no size, so there is nothing to zoom into. Mark a larger region first.");

bool OnlyLeftButton(TShiftState shift) { return shift == TShiftState(ssLeft); }
}  // namespace

// --- Picture size ----------------------------------------------------------------------------------------------

void TMDIChild::Resolution(int width, int height) {
  if (const auto problem = CheckImageSize(width, height)) {
    services_.ShowInformation(this, QString::fromStdString(*problem));
    return;
  }
  // The picture and the lists are made before anything changes: a size too large for memory fails here and
  // leaves all as it was.
  const TParamSnapshot before = doc_.Snapshot();
  std::unique_ptr<TPixelGraphic> replaced = doc_.Resize(width, height);
  RecordStep(before, QStringLiteral("Size"));
  setWindowTitle(TitleText);
  ShowNewPicture(std::move(replaced));
  UpdateGrafX();
}

// The picture and the lists of the record's image size, both made before either is shown.
void TMDIChild::CreateTList() { ShowNewPicture(doc_.Resize(v.imageWidth, v.imageHeight)); }

QSize TMDIChild::ClientSize() const {
  const QMargins border = contentsMargins();
  return size().shrunkBy(border);
}

QSize TMDIChild::FrameClientSize() const {
  if (frameClientSize_) return frameClientSize_();
  if (parentWidget()) return parentWidget()->size();
  return screen() ? screen()->size() : QSize(TPGImage::kNoLimit, TPGImage::kNoLimit);
}

void TMDIChild::PGImage1NewAutoSize(int pgImageWidth, int pgImageHeight) {
  if (isMinimized() || isMaximized()) return;
  const QSize client = FitClientSize(pgImageWidth, pgImageHeight, FrameClientSize());
  const QSize outer = client.grownBy(contentsMargins());
  // The frame's measure counts its toolbar and status bar, which the area the window lives in does not have:
  // a large picture would push the window's close box and scroll bars out of reach.
  const QWidget* area = parentWidget();
  if (area == nullptr || !area->isVisible()) {
    resize(outer);
    return;
  }
  // Only a new size moves the window: one the user has moved aside stays there while its picture repaints.
  const QRect placed = KeepInside(QRect(pos(), outer), area->size());
  if (placed.size() != size()) setGeometry(placed);
}

// --- Selection and zoom ----------------------------------------------------------------------------------------

void TMDIChild::PGImage1PicBoxOnMouseDown(Qt::MouseButton, TShiftState shift, int x, int y) {
  DownX = x;
  DownY = y;
  LastShift = shift;
  // The view has already handled this press, so a mode set here takes effect from the next press on.
  if (OnlyLeftButton(shift))
    PGImage1->SetActionMode(RectangleMode ? TActionMode::amMoveResizeCreateSelection : TActionMode::amNone);
}

void TMDIChild::PGImage1PicBoxOnMouseMove(TShiftState shift, int x, int y) {
  const QPoint p = PGImage1->PicBoxToImage(QPoint(x, y));
  LastShift = shift;
  if (v.imageWidth == 0) return;
  const TWorldPoint world = WorldPointAt(v, p.x(), p.y());
  PixelStepX = world.stepX;
  PixelStepY = world.stepY;
  CursorX = world.x;
  CursorY = world.y;
  const QString point = UserDecimalPoint();
  StatusPanels[0]->setText(FormatReadout("cx=", CursorX, point));
  StatusPanels[1]->setText(FormatReadout("cy=", CursorY, point));
  StatusPanels[2]->setText(FormatReadout("M=", v.zoom, point));
}

void TMDIChild::PGImage1PicBoxOnMouseUp(Qt::MouseButton, TShiftState, int, int) {
  // The release itself is not looked at: LastShift is the state of the last press or move.
  if (!OnlyLeftButton(LastShift)) return;
  if (!PGImage1->Selection() && RectangleMode) return;
  const TPixelRect dragged{PGImage1->SelectionLeft(), PGImage1->SelectionTop(), PGImage1->SelectionWidth(),
                           PGImage1->SelectionHeight()};
  // Click mode marks a half-size region around the press without showing a rectangle. The press was in
  // picture-box pixels, which are image pixels unless the picture is shown fitted to the window.
  const QPoint down = PGImage1->PicBoxToImage(QPoint(static_cast<int>(DownX), static_cast<int>(DownY)));
  const TPixelRect fitted =
      MarkedRectangle(dragged, RectangleMode, down.x(), down.y(), v.imageWidth, v.imageHeight);
  PGImage1->SetSelectionRect(QRect(fitted.left, fitted.top, fitted.width, fitted.height));
  const TPixelRect shown{PGImage1->SelectionLeft(), PGImage1->SelectionTop(), PGImage1->SelectionWidth(),
                         PGImage1->SelectionHeight()};
  MarkRegion(v, shown);
}

void TMDIChild::PGImage1PicBoxOnDblClick() {
  Zoom1Click();
  PGImage1->SetSelection(false);
  PGImage1->SetActionMode(TActionMode::amNone);
}

void TMDIChild::Zoom1Click() {
  if (v.imageWidth == 0) return;
  if (!PGImage1->Selection() && RectangleMode) {
    services_.ShowInformation(this, kNothingSelected);
    return;
  }
  if (RegionIsEmpty(v)) {
    services_.ShowInformation(this, kEmptyRegion);
    return;
  }
  Timer2->stop();
  RecordChange(QStringLiteral("Zoom In"), [this] { ZoomToRegion(v); });
  PGImage1->SetSelection(false);
  PGImage1->SetActionMode(TActionMode::amNone);

  // The marked part of the picture, enlarged, stands in for the new picture until the pass replaces it.
  std::unique_ptr<TPixelGraphic> source = doc_.NewPicture();
  if (source && PGImage1->SelectionWidth() > 0 && PGImage1->SelectionHeight() > 0) {
    doc_.Picture()->StretchCopy(0, 0, v.imageWidth, v.imageHeight, PGImage1->SelectionLeft(),
                                PGImage1->SelectionTop(), PGImage1->SelectionWidth(), PGImage1->SelectionHeight(),
                                *source);
  }
  ShowNewPicture(std::move(source));
  UpdateGrafX();
}

void TMDIChild::RectangleMode1Click() {
  RectangleMode = !RectangleMode;
  UpdateMenuItems();
}

void TMDIChild::ClearRectangle2Click() { PGImage1->SetSelection(false); }
