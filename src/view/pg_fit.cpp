// TPGImage: fit to window, the scaled copy it paints from, and the wheel.
#include "view/pg_fit.h"

#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdint>

#include "view/pg_draw.h"
#include "view/pg_image.h"

QSize FittedPictureSize(QSize picture, QSize area) {
  if (picture.isEmpty() || area.isEmpty()) return picture;
  if (picture.width() <= area.width() && picture.height() <= area.height()) return picture;
  // The side that overflows more decides the scale; the other follows, rounded down so that it fits too.
  const std::int64_t w = picture.width();
  const std::int64_t h = picture.height();
  std::int64_t fittedW = area.width();
  std::int64_t fittedH = h * area.width() / w;
  if (fittedH > area.height()) {
    fittedH = area.height();
    fittedW = w * area.height() / h;
  }
  return QSize(static_cast<int>(std::max<std::int64_t>(fittedW, 1)),
               static_cast<int>(std::max<std::int64_t>(fittedH, 1)));
}

void TPGImage::SetFitToWindow(bool fit) {
  if (fitToWindow_ == fit) return;
  fitToWindow_ = fit;
  scaled_ = QImage();
  scaledStale_ = true;
  arrangedRange_ = QSize(-1, -1);
  ArrangePicBox();
}

bool TPGImage::PictureScaled() const {
  return image_ && (picBox_->width() != image_->Width() || picBox_->height() != image_->Height());
}

const QImage& TPGImage::ShownImage() {
  if (displayStale_) {
    PixelGraphicToQImage(*image_, display_);
    displayStale_ = false;
    scaledStale_ = true;
  }
  const QSize box = picBox_->size();
  if (box == display_.size() || box.isEmpty() || display_.isNull()) return display_;
  if (scaledStale_ || scaled_.size() != box) {
    // Smooth scaling averages neighbouring pixels, so thin bright orbits stay visible at a reduced size.
    scaled_ = display_.scaled(box, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaledStale_ = false;
  }
  return scaled_;
}

void TPicBox::wheelEvent(QWheelEvent* event) { view_->Wheel(event, event->position().toPoint()); }

void TPGImage::wheelEvent(QWheelEvent* event) {
  // Over the viewport around a small picture; the point goes to the nearest edge of the picture box.
  Wheel(event, picBox_->mapFrom(viewport(), event->position().toPoint()));
}

void TPGImage::Wheel(QWheelEvent* event, QPoint p) {
  const int delta = event->angleDelta().y();
  if (event->modifiers() != Qt::NoModifier || delta == 0 || !image_ || picBox_->width() <= 0 ||
      picBox_->height() <= 0) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  event->accept();
  p.setX(std::clamp(p.x(), 0, picBox_->width() - 1));
  p.setY(std::clamp(p.y(), 0, picBox_->height() - 1));
  emit PicBoxOnWheel(delta, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}
