#include "document/view_coords.h"

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
  const double w = static_cast<double>(v.imageWidth);
  const double h = static_cast<double>(v.imageHeight);
  v.aspectX = w / h;
  v.aspectX = (1.0 - v.aspectX) * 0.5 + v.aspectX;
  v.aspectY = h / w;
  v.aspectY = (1.0 - v.aspectY) * 0.5 + v.aspectY;
  v.xMax = v.xCenter + v.halfWidth * v.aspectX;
  v.xMin = v.xCenter - v.halfWidth * v.aspectX;
  v.yMax = v.yCenter + v.halfHeight * v.aspectY;
  v.yMin = v.yCenter - v.halfHeight * v.aspectY;
}

TWorldPoint WorldPointAt(const TFractalParams& v, int px, int py) {
  TWorldPoint p;
  p.stepX = (v.plotXMax - v.plotXMin) / v.imageWidth;
  p.stepY = (v.plotYMax - v.plotYMin) / v.imageHeight;
  p.x = px * p.stepX + v.plotXMin;
  p.y = py * p.stepY + v.plotYMin;
  return p;
}

void AdjustCoordsForRun(TFractalParams& v) {
  AdjustCoords(v);
  v.plotXMin = v.xMin;
  v.plotYMin = v.yMin;
  v.plotXMax = v.xMax;
  v.plotYMax = v.yMax;
}
