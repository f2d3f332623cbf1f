#include "windows/image_size.h"

#include <algorithm>

std::optional<QString> CheckImageSize(int width, int height) {
  auto inRange = [](int side) { return side >= kMinImageSide && side <= kMaxImageSide; };
  if (inRange(width) && inRange(height)) return std::nullopt;
  return QStringLiteral("The picture size %1 by %2 cannot be used: width and height must each be from %3 to %4 "
                        "pixels. The picture was left as it was.")
      .arg(width)
      .arg(height)
      .arg(kMinImageSide)
      .arg(kMaxImageSide);
}

THitLists CreateTList(int width, int height) {
  const std::size_t n = static_cast<std::size_t>(std::max(width, height));
  THitLists lists;
  // All three are built before any is handed over, so a failed allocation leaves the old lists in place.
  lists.red = std::make_unique<THitList>(n * n, 0);
  lists.green = std::make_unique<THitList>(n * n, 0);
  lists.blue = std::make_unique<THitList>(n * n, 0);
  return lists;
}

QSize FitClientSize(int pgWidth, int pgHeight, QSize frameClient) {
  const int w = pgWidth < frameClient.width() ? pgWidth + 20 : frameClient.width() - 50;
  const int h = pgHeight < frameClient.height() ? pgHeight + 40 : frameClient.height() - 70;
  return {w, h};
}
