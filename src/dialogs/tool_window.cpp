#include "dialogs/tool_window.h"

#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QWidget>

void MakeStayOnTopToolWindow(QWidget* w) {
  w->setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                    Qt::WindowCloseButtonHint);
}

void PaintGradient(QWidget* w, const QColor& start) {
  QPainter painter(w);
  QLinearGradient gradient(0, 0, 0, w->height());
  gradient.setColorAt(0, start);
  gradient.setColorAt(1, start.darker(300));
  painter.fillRect(w->rect(), gradient);
}

char LocaleDecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  // A separator outside ASCII cannot be typed back through the char-based parsers; a point is the safe reading.
  if (point.size() == 1 && point[0].unicode() < 0x80) return static_cast<char>(point[0].unicode());
  return '.';
}
