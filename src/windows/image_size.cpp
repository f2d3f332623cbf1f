#include "windows/image_size.h"

#include <algorithm>

QSize FitClientSize(int pgWidth, int pgHeight, QSize frameClient) {
  const int w = pgWidth < frameClient.width() ? pgWidth + 20 : frameClient.width() - 50;
  const int h = pgHeight < frameClient.height() ? pgHeight + 40 : frameClient.height() - 70;
  return {w, h};
}

QRect KeepInside(const QRect& window, QSize area) {
  if (area.isEmpty()) return window;
  const QSize size = window.size().boundedTo(area);
  const int x = std::clamp(window.x(), 0, area.width() - size.width());
  const int y = std::clamp(window.y(), 0, area.height() - size.height());
  return QRect(QPoint(x, y), size);
}
