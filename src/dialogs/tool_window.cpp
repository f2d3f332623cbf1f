#include "dialogs/tool_window.h"

#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>

void MakeStayOnTopToolWindow(QWidget* w) {
  w->setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                    Qt::WindowCloseButtonHint);
}

namespace {
const char* const kPlaced = "ovelToolWindowPlaced";
}  // namespace

void PlaceToolWindowAt(QWidget* w, const QPoint& position) {
  w->setProperty(kPlaced, true);
  w->move(position);
}

bool ToolWindowPlaced(const QWidget* w) { return w->property(kPlaced).toBool(); }

void PlaceToolWindowOnce(QWidget* w, int below, const QWidget* beside) {
  if (w->property(kPlaced).toBool()) return;
  w->setProperty(kPlaced, true);
  QWidget* owner = w->parentWidget() ? w->parentWidget()->window() : nullptr;
  if (!owner) return;
  const QRect frame = owner->frameGeometry();
  // Before its first show a window has no frame yet: leave room for a caption bar and borders.
  const QSize size = w->frameGeometry().size() + QSize(8, 32);
  const QRect screen = owner->screen() ? owner->screen()->availableGeometry() : frame;
  constexpr int kGap = 4;
  int x = frame.right() + 1 + kGap;
  int y = frame.top() + below;
  if (x + size.width() > screen.right() + 1) {
    x = frame.right() + 1 - size.width() - 8;
    if (beside && beside->isVisible()) {
      // A window inside the frame is not a top-level one: its rectangle on the screen, title bar included. The
      // dialogs then start at its top, clear of the frame's menu bar.
      const QRect area(beside->mapToGlobal(QPoint(0, 0)), beside->size());
      if (area.right() + 1 + kGap + size.width() <= screen.right() + 1) {
        x = area.right() + 1 + kGap;
        y = area.top() + below;
      }
    }
  }
  x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
  y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
  w->move(x, y);
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

void NameObjects(std::initializer_list<std::pair<QObject*, const char*>> objects) {
  for (const auto& [object, name] : objects) object->setObjectName(QLatin1String(name));
}
