#include "windows/image_size.h"

QSize FitClientSize(int pgWidth, int pgHeight, QSize frameClient) {
  const int w = pgWidth < frameClient.width() ? pgWidth + 20 : frameClient.width() - 50;
  const int h = pgHeight < frameClient.height() ? pgHeight + 40 : frameClient.height() - 70;
  return {w, h};
}
