#include "document/selection_region.h"

#include <cmath>

#include "engine/round.h"

TPixelRect FitToAspect(const TPixelRect& marked, double cx, double cy, int imageWidth, int imageHeight) {
  const double s = (marked.width + marked.height) * 0.5;
  const double m = (imageWidth + imageHeight) * 0.5;
  TPixelRect fitted;
  // The order and the unrounded products are kept so that the edges round exactly like the sides.
  fitted.width = Round(imageWidth / m * s);
  fitted.left = Round(cx - imageWidth / m * s * 0.5);
  fitted.height = Round(imageHeight / m * s);
  fitted.top = Round(cy - imageHeight / m * s * 0.5);
  return fitted;
}

TPixelRect ClickRegionSize(int imageWidth, int imageHeight) {
  TPixelRect r;
  r.width = Round(imageWidth * 0.5);
  r.height = Round(imageHeight * 0.5);
  return r;
}

TPixelRect MarkedRectangle(const TPixelRect& dragged, bool rectangleMode, double downX, double downY,
                           int imageWidth, int imageHeight) {
  if (rectangleMode) {
    const double cx = dragged.width * 0.5 + dragged.left;
    const double cy = dragged.height * 0.5 + dragged.top;
    return FitToAspect(dragged, cx, cy, imageWidth, imageHeight);
  }
  return FitToAspect(ClickRegionSize(imageWidth, imageHeight), downX, downY, imageWidth, imageHeight);
}

void MarkRegion(TFractalParams& v, const TPixelRect& r) {
  const double dx = v.xMax - v.xMin;
  const double dy = v.yMax - v.yMin;
  v.selXMin = v.xMin + dx * r.left / v.imageWidth;
  v.selXMax = v.xMin + dx * (r.left + r.width) / v.imageWidth;
  v.selYMin = v.yMin + dy * r.top / v.imageHeight;
  v.selYMax = v.yMin + dy * (r.top + r.height) / v.imageHeight;
  v.prevXCenter = v.xCenter;
  v.prevYCenter = v.yCenter;
  v.selXCenter = (v.selXMax - v.selXMin) * 0.5 + v.selXMin;
  v.selYCenter = (v.selYMax - v.selYMin) * 0.5 + v.selYMin;
  const double d = (std::fabs(v.selXMax - v.selXMin) * 0.5 + std::fabs(v.selYMax - v.selYMin) * 0.5) * 0.5;
  v.selZoom = d;
  if (d != 0) v.selZoom = 1.0 / d * 2.0;
}

bool RegionIsEmpty(const TFractalParams& v) {
  // A region thin in one direction still has a mean side and zooms fine; only no extent at all cannot.
  return v.selZoom == 0 || !std::isfinite(v.selZoom);
}

void ZoomToRegion(TFractalParams& v) {
  v.xMin = v.selXMin;
  v.xMax = v.selXMax;
  v.yMin = v.selYMin;
  v.yMax = v.selYMax;
  v.xCenter = (v.xMax - v.xMin) * 0.5 + v.xMin;
  v.yCenter = (v.yMax - v.yMin) * 0.5 + v.yMin;
  v.zoom = v.selZoom;
}
