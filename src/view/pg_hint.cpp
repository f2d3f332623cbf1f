// The view's hint: a few words over the picture area for a window that has nothing to show yet. It is painted on
// the screen only, after the picture, so the pixel image (and any file saved from it) never holds it.
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "view/pg_image.h"

namespace {
constexpr int kHintMargin = 12;   // between the panel and the edge of the picture area
constexpr int kHintPadding = 10;  // between the panel's edge and its text
}  // namespace

void TPGImage::SetHintText(const QString& text) {
  if (text == hint_) return;
  hint_ = text;
  picBox_->update();
}

void TPGImage::PaintHint(QPainter& painter) {
  if (hint_.isEmpty()) return;
  const QRect area = picBox_->rect().adjusted(kHintMargin, kHintMargin, -kHintMargin, -kHintMargin);
  if (area.width() <= 2 * kHintPadding || area.height() <= 2 * kHintPadding) return;
  painter.save();
  QFont font = picBox_->font();
  font.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 1.1 : font.pointSizeF());
  painter.setFont(font);
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  const QRect textSpace = area.adjusted(kHintPadding, kHintPadding, -kHintPadding, -kHintPadding);
  QRect text = painter.fontMetrics().boundingRect(textSpace, flags, hint_);
  text = text.intersected(textSpace);
  const QRect panel = text.adjusted(-kHintPadding, -kHintPadding, kHintPadding, kHintPadding);
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPainterPath rounded;
  rounded.addRoundedRect(QRectF(panel), 6, 6);
  painter.fillPath(rounded, QColor(0, 0, 0, 170));
  painter.setPen(QColor(128, 0, 0));
  painter.drawPath(rounded);
  painter.setPen(QColor(235, 235, 235));
  painter.drawText(textSpace, flags, hint_);
  painter.restore();
}
