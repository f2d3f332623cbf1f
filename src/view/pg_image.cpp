#include "view/pg_image.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "view/pg_draw.h"
#include "view/pg_fit.h"

namespace {

constexpr int kBorder = 2;           // a single-line sunken border, as the needed size counts it
constexpr int kTimerInterval = 50;   // ms, both the frame animation and the scrolling while dragging
constexpr int kDragScrollStep = 5;   // pixels per drag-timer tick
constexpr int kHandleSize = 5;
constexpr int kHandleFar = 8;        // handles lie 3 to 8 pixels outside the rectangle
constexpr int kHandleNear = 3;

// The lower bound wins when the bounds cross (a picture without pixels).
int Clamp(int value, int low, int high) {
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

int Mod8(int value) { return ((value % 8) + 8) % 8; }

bool MovesLeftEdge(TDragState s) {
  return s == TDragState::dsResizeTopLeft || s == TDragState::dsResizeLeft || s == TDragState::dsResizeBottomLeft;
}
bool MovesRightEdge(TDragState s) {
  return s == TDragState::dsResizeTopRight || s == TDragState::dsResizeRight || s == TDragState::dsResizeBottomRight;
}
bool MovesTopEdge(TDragState s) {
  return s == TDragState::dsResizeTopLeft || s == TDragState::dsResizeTop || s == TDragState::dsResizeTopRight;
}
bool MovesBottomEdge(TDragState s) {
  return s == TDragState::dsResizeBottomLeft || s == TDragState::dsResizeBottom ||
         s == TDragState::dsResizeBottomRight;
}
bool IsSelectionDrag(TDragState s) { return static_cast<int>(s) >= static_cast<int>(TDragState::dsMoveSelection); }

}  // namespace

TShiftState ShiftStateOf(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons, bool doubleClick) {
  TShiftState state;
  if (keys & Qt::ShiftModifier) state |= ssShift;
  if (keys & Qt::AltModifier) state |= ssAlt;
  if (keys & Qt::ControlModifier) state |= ssCtrl;
  if (buttons & Qt::LeftButton) state |= ssLeft;
  if (buttons & Qt::RightButton) state |= ssRight;
  if (buttons & Qt::MiddleButton) state |= ssMiddle;
  if (doubleClick) state |= ssDouble;
  return state;
}

// ----------------------------------------------------------------------------------------------------------------
// TPicBox

TPicBox::TPicBox(TPGImage* view, QWidget* parent) : QWidget(parent), view_(view) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPicBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  view_->PaintPicBox(painter, event->region());
}

void TPicBox::mousePressEvent(QMouseEvent* event) { view_->PicBoxPress(event); }
void TPicBox::mouseMoveEvent(QMouseEvent* event) { view_->PicBoxMove(event); }
void TPicBox::mouseReleaseEvent(QMouseEvent* event) { view_->PicBoxRelease(event); }
void TPicBox::mouseDoubleClickEvent(QMouseEvent* event) { view_->PicBoxDoubleClick(event); }
void TPicBox::contextMenuEvent(QContextMenuEvent* event) {
  if (view_->PopupMenu()) {
    view_->PopUp(event->globalPos());
    event->accept();
  } else {
    event->ignore();
  }
}

// ----------------------------------------------------------------------------------------------------------------
// TPGImage: construction and properties

TPGImage::TPGImage(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(kBorder);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  horizontalScrollBar()->setSingleStep(10);
  verticalScrollBar()->setSingleStep(10);
  picBox_ = new TPicBox(this, viewport());
  picBox_->setGeometry(0, 0, 0, 0);

  selectionTimer_ = new QTimer(this);
  selectionTimer_->setInterval(kTimerInterval);
  connect(selectionTimer_, &QTimer::timeout, this, &TPGImage::AdvancePhase);
  dragTimer_ = new QTimer(this);
  dragTimer_->setInterval(kTimerInterval);
  connect(dragTimer_, &QTimer::timeout, this, &TPGImage::DragTimerTick);
}

TPGImage::~TPGImage() {
  if (image_) image_->OnChange = nullptr;
}

void TPGImage::SetPixelGraphic(std::unique_ptr<TPixelGraphic> image) {
  TPixelGraphic* shown = image.get();
  ShowPixelGraphic(shown);
  owned_ = std::move(image);  // frees an image the view owned before
}

void TPGImage::ShowPixelGraphic(TPixelGraphic* image) {
  if (image_ && image_ != image) image_->OnChange = nullptr;
  image_ = image;
  if (owned_.get() != image) owned_.reset();
  if (image_) image_->OnChange = [this](TPixelGraphic&) { PictureChanged(); };
  displayStale_ = true;
  Layout();
  picBox_->update();
}

void TPGImage::PictureChanged() {
  displayStale_ = true;
  Layout();
  picBox_->update();
}

void TPGImage::SetActionMode(TActionMode mode) {
  // Handles appear or vanish with the mode, so the old and the new frame area both need painting.
  if (selection_) picBox_->update(FrameRegion());
  actionMode_ = mode;
  if (selection_) picBox_->update(FrameRegion());
  picBox_->update();
}

void TPGImage::SetCenter(bool center) {
  if (center_ == center) return;
  center_ = center;
  arrangedRange_ = QSize(-1, -1);
  ArrangePicBox();
}

void TPGImage::SetColor(const QColor& color) {
  color_ = color;
  viewport()->update();
}

void TPGImage::SetPicBoxColor(const QColor& color) {
  picBoxColor_ = color;
  picBox_->update();
}

void TPGImage::SetSelectionColor1(const QColor& color) {
  selectionColor1_ = color;
  if (selection_) picBox_->update(FrameRegion());
}

void TPGImage::SetSelectionColor2(const QColor& color) {
  selectionColor2_ = color;
  if (selection_) picBox_->update(FrameRegion());
}

void TPGImage::SetAutoSizeMinWidth(int value) {
  autoSizeMinWidth_ = value;
  if (autoSize_) Layout();
}
void TPGImage::SetAutoSizeMaxWidth(int value) {
  autoSizeMaxWidth_ = value;
  if (autoSize_) Layout();
}
void TPGImage::SetAutoSizeMinHeight(int value) {
  autoSizeMinHeight_ = value;
  if (autoSize_) Layout();
}
void TPGImage::SetAutoSizeMaxHeight(int value) {
  autoSizeMaxHeight_ = value;
  if (autoSize_) Layout();
}
void TPGImage::SetAutoSize(bool autoSize) {
  if (autoSize_ == autoSize) return;
  autoSize_ = autoSize;
  if (autoSize_) Layout();
}

// ----------------------------------------------------------------------------------------------------------------
// Layout

int TPGImage::HorizontalBarHeight() const { return horizontalScrollBar()->sizeHint().height(); }
int TPGImage::VerticalBarWidth() const { return verticalScrollBar()->sizeHint().width(); }

QSize TPGImage::NewAutoSize() const {
  const std::int64_t imageWidth = image_ ? image_->Width() : 0;
  const std::int64_t imageHeight = image_ ? image_->Height() : 0;
  std::int64_t w = imageWidth + 2 * kBorder;
  std::int64_t h = imageHeight + 2 * kBorder;
  bool horizontalCounted = false;
  bool verticalCounted = false;
  // Each scroll bar narrows the other axis, which may call for the other bar; two rounds settle it.
  for (int round = 0; round < 2; ++round) {
    if (autoSizeMaxWidth_ < w && !horizontalCounted) {
      h += HorizontalBarHeight();
      horizontalCounted = true;
    }
    if (autoSizeMaxHeight_ < h && !verticalCounted) {
      w += VerticalBarWidth();
      verticalCounted = true;
    }
  }
  if (w < autoSizeMinWidth_) w = autoSizeMinWidth_;
  if (w > autoSizeMaxWidth_) w = autoSizeMaxWidth_;
  if (h < autoSizeMinHeight_) h = autoSizeMinHeight_;
  if (h > autoSizeMaxHeight_) h = autoSizeMaxHeight_;
  return QSize(static_cast<int>(w), static_cast<int>(h));
}

void TPGImage::Layout() {
  const QSize needed = NewAutoSize();
  QPointer<TPGImage> alive(this);
  emit OnNewAutoSize(needed.width(), needed.height());
  if (!alive) return;
  if (autoSize_ && size() != needed) resize(needed);
  ArrangePicBox();
}

void TPGImage::ArrangePicBox() {
  if (arranging_) return;
  arranging_ = true;
  const QSize natural = image_ ? QSize(std::max(0, image_->Width()), std::max(0, image_->Height())) : QSize(0, 0);
  const QSize client = contentsRect().size();
  const QSize box = fitToWindow_ ? FittedPictureSize(natural, client) : natural;
  int availableWidth = client.width();
  int availableHeight = client.height();
  bool horizontalBar = false;
  bool verticalBar = false;
  for (int round = 0; round < 2; ++round) {
    if (box.width() > availableWidth && !horizontalBar) {
      availableHeight -= HorizontalBarHeight();
      horizontalBar = true;
    }
    if (box.height() > availableHeight && !verticalBar) {
      availableWidth -= VerticalBarWidth();
      verticalBar = true;
    }
  }
  QPoint offset(0, 0);
  if (center_) {
    if (box.width() < availableWidth) offset.setX((availableWidth - box.width()) / 2);
    if (box.height() < availableHeight) offset.setY((availableHeight - box.height()) / 2);
  }
  const QSize range(horizontalBar ? box.width() - std::max(availableWidth, 0) : 0,
                    verticalBar ? box.height() - std::max(availableHeight, 0) : 0);
  const QRect bounds(offset, box);
  if (bounds == arrangedBox_ && range == arrangedRange_) {
    // The user's scroll position survives the repaints of a growing picture.
    arranging_ = false;
    picBox_->update();
    return;
  }
  arrangedBox_ = bounds;
  arrangedRange_ = range;
  boxOffset_ = offset;

  setHorizontalScrollBarPolicy(horizontalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(verticalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  QScrollBar* hbar = horizontalScrollBar();
  QScrollBar* vbar = verticalScrollBar();
  hbar->setValue(0);
  vbar->setValue(0);
  hbar->setRange(0, range.width());
  vbar->setRange(0, range.height());
  hbar->setPageStep(std::max(availableWidth, 1));
  vbar->setPageStep(std::max(availableHeight, 1));
  picBox_->setGeometry(bounds);
  // A large picture opens at its centre.
  if (center_) {
    if (horizontalBar) hbar->setValue(range.width() / 2);
    if (verticalBar) vbar->setValue(range.height() / 2);
  }
  PlacePicBox();
  arranging_ = false;
  viewport()->update();
  picBox_->update();
}

void TPGImage::PlacePicBox() {
  picBox_->move(boxOffset_ - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
}

void TPGImage::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  ArrangePicBox();
}

void TPGImage::scrollContentsBy(int, int) { PlacePicBox(); }

bool TPGImage::ScrollBarsShown() const { return arrangedRange_.width() > 0 || arrangedRange_.height() > 0; }

// ----------------------------------------------------------------------------------------------------------------
// Painting

void TPGImage::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), color_);
}

void TPGImage::PaintPicBox(QPainter& painter, const QRegion& exposed) {
  const bool hasPicture = image_ && !image_->Empty() && image_->Width() > 0 && image_->Height() > 0;
  if (!hasPicture) {
    painter.fillRect(picBox_->rect(), picBoxColor_);
    painter.setPen(picBox_->palette().color(QPalette::Dark));
    painter.drawRect(picBox_->rect().adjusted(0, 0, -1, -1));
  } else {
    const QImage& shown = ShownImage();
    // The marching frame exposes a thin ring many times a second: blit only what was exposed.
    for (const QRect& r : exposed & shown.rect()) painter.drawImage(r.topLeft(), shown, r);
    // Between a new picture and its layout the box may briefly be larger than the picture.
    for (const QRect& r : exposed - QRegion(shown.rect())) painter.fillRect(r, picBoxColor_);
  }
  if (selection_) PaintSelectionFrame(painter);
  PaintHint(painter);
}

void TPGImage::PaintSelectionFrame(QPainter& painter) {
  const QRect r = SelectionBoxRect();
  if (r.width() < 1 || r.height() < 1) return;
  // Diagonal stripes, four pixels of each colour; the phase shifts them by one pixel per tick so they march.
  const int pattern = Mod8(phase_ + r.left() + r.top());
  QImage stripes(8, 8, QImage::Format_RGB32);
  const QRgb c1 = selectionColor1_.rgb();
  const QRgb c2 = selectionColor2_.rgb();
  for (int j = 0; j < 8; ++j) {
    for (int k = 0; k < 8; ++k) stripes.setPixel(k, j, (j + k - pattern + 8) % 8 > 3 ? c2 : c1);
  }
  const QBrush brush(stripes);
  painter.setBrushOrigin(0, 0);
  auto outline = [&](const QRect& box) {
    painter.fillRect(QRect(box.left(), box.top(), box.width(), 1), brush);
    painter.fillRect(QRect(box.left(), box.bottom(), box.width(), 1), brush);
    painter.fillRect(QRect(box.left(), box.top(), 1, box.height()), brush);
    painter.fillRect(QRect(box.right(), box.top(), 1, box.height()), brush);
  };
  outline(r.adjusted(-1, -1, 1, 1));
  if (actionMode_ == TActionMode::amMoveResizeCreateSelection) {
    for (int handle = 0; handle < 8; ++handle) outline(HandleRect(handle));
  }
}

QRect TPGImage::SelectionBoxRect() const {
  const QPoint topLeft = ImageToPicBox(QPoint(selLeft_, selTop_));
  const QPoint bottomRight = ImageToPicBox(QPoint(selLeft_ + selWidth_, selTop_ + selHeight_));
  return QRect(topLeft.x(), topLeft.y(), bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y());
}

QRect TPGImage::HandleRect(int handle) const {
  const QRect r = SelectionBoxRect();
  const int left = r.x();
  const int top = r.y();
  const int right = r.x() + r.width();
  const int bottom = r.y() + r.height();
  const int xs[3] = {left - kHandleFar, (left + right) / 2 - kHandleSize / 2, right + kHandleNear};
  const int ys[3] = {top - kHandleFar, (top + bottom) / 2 - kHandleSize / 2, bottom + kHandleNear};
  // Top-left, top, top-right, left, right, bottom-left, bottom, bottom-right: the order a press tests them in.
  static constexpr int column[8] = {0, 1, 2, 0, 2, 0, 1, 2};
  static constexpr int row[8] = {0, 0, 0, 1, 1, 2, 2, 2};
  return QRect(xs[column[handle]], ys[row[handle]], kHandleSize, kHandleSize);
}

QRegion TPGImage::FrameRegion() const {
  const QRect r = SelectionBoxRect();
  const int grow = actionMode_ == TActionMode::amMoveResizeCreateSelection ? kHandleFar : 1;
  return QRegion(r.adjusted(-grow, -grow, grow, grow)) - QRegion(r);
}

// ----------------------------------------------------------------------------------------------------------------
// Selection

void TPGImage::SetSelection(bool selection) {
  if (selection_ == selection) return;
  selection_ = selection;
  if (selection_) {
    selectionTimer_->start();
  } else {
    selectionTimer_->stop();
  }
  picBox_->update(FrameRegion());
  emit OnSelectionChange();
}

void TPGImage::SetSelectionLeft(int value) { ChangeSelection(value, selTop_, selWidth_, selHeight_); }
void TPGImage::SetSelectionTop(int value) { ChangeSelection(selLeft_, value, selWidth_, selHeight_); }
void TPGImage::SetSelectionWidth(int value) { ChangeSelection(selLeft_, selTop_, value, selHeight_); }
void TPGImage::SetSelectionHeight(int value) { ChangeSelection(selLeft_, selTop_, selWidth_, value); }
void TPGImage::SetSelectionRect(const QRect& rect) {
  ChangeSelection(rect.x(), rect.y(), rect.width(), rect.height());
}

void TPGImage::ChangeSelection(int left, int top, int width, int height) {
  if (left == selLeft_ && top == selTop_ && width == selWidth_ && height == selHeight_) return;
  if (selection_) picBox_->update(FrameRegion());
  selLeft_ = left;
  selTop_ = top;
  selWidth_ = width;
  selHeight_ = height;
  if (selection_) picBox_->update(FrameRegion());
  emit OnSelectionChange();
}

void TPGImage::AdvancePhase() {
  phase_ = (phase_ + 1) % 8;
  picBox_->update(FrameRegion());
}

// ----------------------------------------------------------------------------------------------------------------
// Coordinates

QPoint TPGImage::PicBoxToImage(const QPoint& boxPoint) const {
  const std::int64_t boxWidth = picBox_->width();
  const std::int64_t boxHeight = picBox_->height();
  const std::int64_t imageWidth = image_ ? image_->Width() : 0;
  const std::int64_t imageHeight = image_ ? image_->Height() : 0;
  if (boxWidth <= 0 || boxHeight <= 0) return QPoint(0, 0);
  return QPoint(static_cast<int>(boxPoint.x() * imageWidth / boxWidth),
                static_cast<int>(boxPoint.y() * imageHeight / boxHeight));
}

QPoint TPGImage::ImageToPicBox(const QPoint& imagePoint) const {
  const std::int64_t boxWidth = picBox_->width();
  const std::int64_t boxHeight = picBox_->height();
  const std::int64_t imageWidth = image_ ? image_->Width() : 0;
  const std::int64_t imageHeight = image_ ? image_->Height() : 0;
  return QPoint(imageWidth > 0 ? static_cast<int>(imagePoint.x() * boxWidth / imageWidth) : 0,
                imageHeight > 0 ? static_cast<int>(imagePoint.y() * boxHeight / imageHeight) : 0);
}

// ----------------------------------------------------------------------------------------------------------------
// Mouse

void TPGImage::PicBoxPress(QMouseEvent* event) {
  FlushPendingPress();
  TPress press;
  press.valid = true;
  press.pos = event->position().toPoint();
  press.globalPos = event->globalPosition().toPoint();
  press.button = event->button();
  press.buttons = event->buttons();
  press.modifiers = event->modifiers();
  const QStyleHints* hints = QGuiApplication::styleHints();
  const quint64 time = event->timestamp();
  const int distance = hints->mouseDoubleClickDistance();
  const bool secondOfDouble = lastPress_.valid && press.button == lastPress_.button &&
                              time - lastPressTime_ < static_cast<quint64>(hints->mouseDoubleClickInterval()) &&
                              std::abs(press.globalPos.x() - lastPress_.globalPos.x()) <= distance &&
                              std::abs(press.globalPos.y() - lastPress_.globalPos.y()) <= distance;
  if (secondOfDouble) {
    pendingPress_ = press;
    lastPress_.valid = false;
    return;
  }
  lastPress_ = press;
  lastPressTime_ = time;
  HandlePress(press, false, true);
}

void TPGImage::FlushPendingPress() {
  if (!pendingPress_.valid) return;
  const TPress press = pendingPress_;
  pendingPress_.valid = false;
  HandlePress(press, false, true);
}

void TPGImage::PicBoxDoubleClick(QMouseEvent* event) {
  TPress press = pendingPress_;
  if (!press.valid) {
    press.valid = true;
    press.pos = event->position().toPoint();
    press.globalPos = event->globalPosition().toPoint();
    press.button = event->button();
    press.buttons = event->buttons();
    press.modifiers = event->modifiers();
  }
  pendingPress_.valid = false;
  lastPress_.valid = false;
  const int releasesBefore = releaseCount_;
  QPointer<TPGImage> alive(this);
  emit PicBoxOnDblClick();
  if (!alive) return;
  // A zoom runs a whole render pass inside the handler; when the button came up meanwhile, the press is over and
  // must not leave a drag behind that a plain hover would continue.
  HandlePress(press, true, releaseCount_ == releasesBefore);
}

void TPGImage::HandlePress(const TPress& press, bool doubleClick, bool startDrag) {
  cursorGlobal_ = press.globalPos;
  if (press.button == Qt::LeftButton && startDrag) StartDrag(press);
  emit PicBoxOnMouseDown(press.button, ShiftStateOf(press.modifiers, press.buttons, doubleClick), press.pos.x(),
                         press.pos.y());
}

void TPGImage::StartDrag(const TPress& press) {
  const QPoint p = press.pos;
  const QPoint pi = PicBoxToImage(p);
  const bool movesSelection = actionMode_ == TActionMode::amMoveResizeCreateSelection ||
                              actionMode_ == TActionMode::amMoveSelection ||
                              actionMode_ == TActionMode::amMoveSelectionMoveImage;
  const bool createsSelection = actionMode_ == TActionMode::amMoveResizeCreateSelection ||
                                actionMode_ == TActionMode::amCreateSelection;
  const bool pans = actionMode_ == TActionMode::amMoveImage || actionMode_ == TActionMode::amMoveSelectionMoveImage;
  TDragState state = TDragState::dsIdle;
  if (movesSelection && selection_ && SelectionBoxRect().contains(p)) {
    state = TDragState::dsMoveSelection;
    grabOffset_ = pi - QPoint(selLeft_, selTop_);
  } else if (pans && ScrollBarsShown()) {
    state = TDragState::dsPan;
    dragGlobal_ = press.globalPos;
    picBox_->setCursor(Qt::ClosedHandCursor);
  } else {
    if (actionMode_ == TActionMode::amMoveResizeCreateSelection && selection_) {
      for (int handle = 0; handle < 8; ++handle) {
        if (HandleRect(handle).contains(p)) {
          state = static_cast<TDragState>(static_cast<int>(TDragState::dsResizeTopLeft) + handle);
          break;
        }
      }
      if (state != TDragState::dsIdle) {
        grabOffset_ = QPoint(MovesLeftEdge(state) ? pi.x() - selLeft_ : pi.x() - selWidth_,
                             MovesTopEdge(state) ? pi.y() - selTop_ : pi.y() - selHeight_);
      }
    }
    if (state == TDragState::dsIdle && createsSelection) {
      state = TDragState::dsCreateSelection;
      anchor_ = pi;
      dragState_ = state;
      SetSelection(true);
      ChangeSelection(pi.x(), pi.y(), 1, 1);
    }
  }
  dragState_ = state;
  if (IsSelectionDrag(state)) dragTimer_->start();
}

void TPGImage::PicBoxMove(QMouseEvent* event) {
  FlushPendingPress();
  const QPoint p = event->position().toPoint();
  if (dragState_ != TDragState::dsIdle) {
    cursorGlobal_ = event->globalPosition().toPoint();
    DragTo(p);
  }
  emit PicBoxOnMouseMove(ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TPGImage::DragTo(const QPoint& boxPoint) {
  const QPoint mi = PicBoxToImage(boxPoint);
  const int imageWidth = image_ ? image_->Width() : 0;
  const int imageHeight = image_ ? image_->Height() : 0;
  switch (dragState_) {
    case TDragState::dsIdle:
      return;
    case TDragState::dsPan: {
      const QPoint delta = dragGlobal_ - cursorGlobal_;
      horizontalScrollBar()->setValue(horizontalScrollBar()->value() + delta.x());
      verticalScrollBar()->setValue(verticalScrollBar()->value() + delta.y());
      dragGlobal_ = cursorGlobal_;
      return;
    }
    case TDragState::dsCreateSelection: {
      const int left = std::min(mi.x(), anchor_.x());
      const int top = std::min(mi.y(), anchor_.y());
      ChangeSelection(left, top, std::max(mi.x(), anchor_.x()) - left + 1, std::max(mi.y(), anchor_.y()) - top + 1);
      return;
    }
    case TDragState::dsMoveSelection: {
      // One column and one row of the rectangle always stay on the picture, so it can be grabbed again.
      const int left = Clamp(mi.x() - grabOffset_.x(), 1 - selWidth_, imageWidth - 1);
      const int top = Clamp(mi.y() - grabOffset_.y(), 1 - selHeight_, imageHeight - 1);
      ChangeSelection(left, top, selWidth_, selHeight_);
      return;
    }
    default:
      break;
  }
  int left = selLeft_, top = selTop_, width = selWidth_, height = selHeight_;
  // The opposite edge stays put and the rectangle never gets thinner than one pixel.
  if (MovesLeftEdge(dragState_)) {
    left = std::min(mi.x() - grabOffset_.x(), selLeft_ + selWidth_ - 1);
    width = selWidth_ + selLeft_ - left;
  } else if (MovesRightEdge(dragState_)) {
    width = std::max(mi.x() - grabOffset_.x(), 1);
  }
  if (MovesTopEdge(dragState_)) {
    top = std::min(mi.y() - grabOffset_.y(), selTop_ + selHeight_ - 1);
    height = selHeight_ + selTop_ - top;
  } else if (MovesBottomEdge(dragState_)) {
    height = std::max(mi.y() - grabOffset_.y(), 1);
  }
  ChangeSelection(left, top, width, height);
}

void TPGImage::DragTimerTick() {
  if (!IsSelectionDrag(dragState_)) {
    dragTimer_->stop();
    return;
  }
  const QPoint p = viewport()->mapFromGlobal(cursorGlobal_);
  const QSize client = viewport()->size();
  QScrollBar* hbar = horizontalScrollBar();
  QScrollBar* vbar = verticalScrollBar();
  const QPoint before(hbar->value(), vbar->value());
  if (p.x() < 0) hbar->setValue(hbar->value() - kDragScrollStep);
  else if (p.x() >= client.width()) hbar->setValue(hbar->value() + kDragScrollStep);
  if (p.y() < 0) vbar->setValue(vbar->value() - kDragScrollStep);
  else if (p.y() >= client.height()) vbar->setValue(vbar->value() + kDragScrollStep);
  // The picture moved under a resting cursor; the rectangle follows as if the cursor had moved.
  if (QPoint(hbar->value(), vbar->value()) != before) DragTo(picBox_->mapFromGlobal(cursorGlobal_));
}

void TPGImage::PicBoxRelease(QMouseEvent* event) {
  FlushPendingPress();
  ++releaseCount_;
  const QPoint p = event->position().toPoint();
  QPointer<TPGImage> alive(this);
  // The window's handler still sees the rectangle of the last move, before OnSelectionMade.
  emit PicBoxOnMouseUp(event->button(), ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
  if (!alive) return;
  EndDrag();
}

void TPGImage::EndDrag() {
  const TDragState ended = dragState_;
  dragState_ = TDragState::dsIdle;
  dragTimer_->stop();
  if (ended == TDragState::dsPan) picBox_->unsetCursor();
  if (IsSelectionDrag(ended)) {
    SetSelection(true);
    emit OnSelectionMade();
  }
}

bool TPGImage::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      ++releaseCount_;
      const QPoint p = mouse->position().toPoint();
      QPointer<TPGImage> alive(this);
      emit OnMouseUp(mouse->button(), ShiftStateOf(mouse->modifiers(), mouse->buttons()), p.x(), p.y());
      if (!alive) return true;
      // A release without a press on the picture only resets the idle state.
      dragState_ = TDragState::dsIdle;
      dragTimer_->stop();
      return true;
    }
    case QEvent::ContextMenu:
      if (popupMenu_) {
        PopUp(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
      }
      break;
    default:
      break;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void TPGImage::PopUp(const QPoint& globalPos) {
  if (popupMenu_) popupMenu_->popup(globalPos);
}
