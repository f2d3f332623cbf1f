#include "windows/view_coords.h"

#include <cmath>

namespace {
constexpr double kDefaultZoom = 0.23;
constexpr double kDefaultEdge = 2.0;
}  // namespace

void ResetCoordinates(TFractalParams& v) {
  v.zoom = kDefaultZoom;
  v.selZoom = kDefaultZoom;
  v.xMin = -kDefaultEdge;
  v.xMax = kDefaultEdge;
  v.yMin = -kDefaultEdge;
  v.yMax = kDefaultEdge;
  v.selXMin = -kDefaultEdge;
  v.selXMax = kDefaultEdge;
  v.selYMin = -kDefaultEdge;
  v.selYMax = kDefaultEdge;
  v.xCenter = (v.xMax - v.xMin) * 0.5 + v.xMin;
  v.yCenter = (v.yMax - v.yMin) * 0.5 + v.yMin;
}

void AdjustCoords(TFractalParams& v) {
  v.halfWidth = 2.0 / v.zoom;
  v.halfHeight = 2.0 / v.zoom;
  const double h = v.halfWidth;
  const double w = static_cast<double>(v.imageWidth);
  const double ht = static_cast<double>(v.imageHeight);
  v.aspectX = w / ht;
  v.aspectX = (1.0 - v.aspectX) * 0.5 + v.aspectX;
  v.aspectY = ht / w;
  v.aspectY = (1.0 - v.aspectY) * 0.5 + v.aspectY;
  v.xMax = v.xCenter + h * v.aspectX;
  v.xMin = v.xCenter - h * v.aspectX;
  v.yMax = v.yCenter + h * v.aspectY;
  v.yMin = v.yCenter - h * v.aspectY;
}

int RoundHalfEven(double value) {
  // nearbyint follows the current rounding mode, which nothing in the program changes from round-to-nearest-even.
  return static_cast<int>(std::nearbyint(value));
}
