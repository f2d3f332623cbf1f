// The view's hint: a few words over the picture area for a window that has nothing to show yet. It is painted on
// the screen only, after the picture, so the pixel image (and any file saved from it) never holds it.
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include "view/pg_image.h"

namespace {
constexpr int kHintMargin = 12;   // between the panel and the edge of the picture area
constexpr int kHintPadding = 10;  // between the panel's edge and its text
}  // namespace

void TPGImage::SetHintText(const QString& text, const QString& shortText) {
  if (text == hint_ && shortText == shortHint_) return;
  hint_ = text;
  shortHint_ = shortText;
  picBox_->update();
}

void TPGImage::PaintHint(QPainter& painter) {
  if (hint_.isEmpty()) return;
  // A small picture gets narrower margins, the short text and a smaller font, as far as it needs them.
  const bool small = picBox_->width() < 240 || picBox_->height() < 160;
  const int margin = small ? kHintMargin / 3 : kHintMargin;
  const int padding = small ? kHintPadding / 2 : kHintPadding;
  const QRect area = picBox_->rect().adjusted(margin, margin, -margin, -margin);
  if (area.width() <= 2 * padding || area.height() <= 2 * padding) return;
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  const QRect textSpace = area.adjusted(padding, padding, -padding, -padding);
  const QStringList texts = shortHint_.isEmpty() ? QStringList{hint_} : QStringList{hint_, shortHint_};
  QFont font = picBox_->font();
  const qreal basePoints = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
  QString text = texts.back();
  QRect bounds;
  bool fits = false;
  for (const QString& candidate : texts) {
    for (const qreal scale : {1.1, 0.9, 0.8}) {
      font.setPointSizeF(basePoints * scale);
      bounds = QFontMetrics(font).boundingRect(textSpace, flags, candidate);
      if (textSpace.contains(bounds)) {
        text = candidate;
        fits = true;
        break;
      }
    }
    if (fits) break;
  }
  painter.save();
  painter.setFont(font);
  bounds = bounds.intersected(textSpace);
  const QRect panel = bounds.adjusted(-padding, -padding, padding, padding);
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPainterPath rounded;
  rounded.addRoundedRect(QRectF(panel), 6, 6);
  painter.fillPath(rounded, QColor(0, 0, 0, 170));
  painter.setPen(QColor(128, 0, 0));
  painter.drawPath(rounded);
  painter.setPen(QColor(235, 235, 235));
  painter.setClipRect(panel, Qt::IntersectClip);
  painter.drawText(textSpace, flags, text);
  painter.restore();
}
