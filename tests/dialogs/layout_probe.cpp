#include "dialogs/layout_probe.h"

#include <algorithm>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace {

QRect InWindow(const QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }

// What a user can change or press; a spin box's own line edit counts as the spin box.
bool IsControl(const QWidget* w) {
  if (qobject_cast<const QLineEdit*>(w)) return !qobject_cast<const QAbstractSpinBox*>(w->parentWidget());
  return qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QAbstractButton*>(w);
}

QList<QWidget*> VisibleControls(const QWidget* window) {
  QList<QWidget*> controls;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->isVisible() && IsControl(w)) controls << w;
  }
  return controls;
}

}  // namespace

QLabel* CaptionOf(const QWidget* control) {
  for (QLabel* label : control->window()->findChildren<QLabel*>()) {
    if (label->buddy() == control && label->isVisible() && !label->text().trimmed().isEmpty()) return label;
  }
  return nullptr;
}

bool OnSameRow(const QWidget* a, const QWidget* b) {
  const QRect rb = InWindow(b);
  const int centre = InWindow(a).center().y();
  return centre >= rb.top() && centre <= rb.bottom();
}

bool Beside(const QWidget* label, const QWidget* control) {
  if (!OnSameRow(label, control) && !OnSameRow(control, label)) return false;
  const QRect l = InWindow(label), c = InWindow(control);
  const int from = std::min(l.right(), c.right()), to = std::max(l.left(), c.left());
  for (QWidget* other : VisibleControls(control->window())) {
    if (other == control || !OnSameRow(other, control)) continue;
    const QRect o = InWindow(other);
    if (o.left() >= from && o.right() <= to) return false;
  }
  return true;
}

bool Above(const QWidget* label, const QWidget* control) {
  const QRect l = InWindow(label), c = InWindow(control);
  if (l.center().x() < c.left() || l.center().x() > c.right() || l.bottom() > c.top()) return false;
  for (QWidget* other : VisibleControls(control->window())) {
    if (other == control) continue;
    const QRect o = InWindow(other);
    if (o.top() >= l.bottom() && o.bottom() <= c.top() && o.left() <= c.right() && o.right() >= c.left()) {
      return false;
    }
  }
  return true;
}

QWidget* ControlLeftOf(const QWidget* w) {
  const QRect r = InWindow(w);
  QWidget* nearest = nullptr;
  for (QWidget* other : VisibleControls(w->window())) {
    if (other == w || !OnSameRow(other, w) || InWindow(other).right() > r.left()) continue;
    if (!nearest || InWindow(other).right() > InWindow(nearest).right()) nearest = other;
  }
  return nearest;
}

QStringList UncaptionedControls(const QWidget& dialog) {
  QStringList missing;
  for (QWidget* control : VisibleControls(&dialog)) {
    if (qobject_cast<QAbstractButton*>(control)) continue;  // buttons and boxes carry their own text
    const QLabel* caption = CaptionOf(control);
    if (caption && (Beside(caption, control) || Above(caption, control))) continue;
    const QRect r = InWindow(control);
    missing << QStringLiteral("%1 %2 at (%3, %4)%5")
                   .arg(QString::fromLatin1(control->metaObject()->className()), control->objectName())
                   .arg(r.x())
                   .arg(r.y())
                   .arg(caption ? QStringLiteral(" captioned away from it by \"%1\"").arg(caption->text()) : QString());
  }
  return missing;
}

bool ShowsWhole(QLineEdit* edit, const QString& text) {
  const auto cursorX = [edit] { return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(); };
  edit->setText(text);
  // The line edit settles its scroll while it paints.
  edit->setCursorPosition(0);
  edit->grab();
  const int start = cursorX();
  edit->setCursorPosition(static_cast<int>(text.size()));
  edit->grab();
  const int end = cursorX();
  // A pixel of rounding between the layout of the line and the font's advance.
  return end - start >= edit->fontMetrics().horizontalAdvance(text) - 1;
}
