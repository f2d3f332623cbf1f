#include "document/view_zoom.h"

#include <cmath>

#include "document/view_coords.h"

namespace {
constexpr double kDegreesPerNotch = 120.0;  // in eighths of a degree
}  // namespace

bool ZoomAbout(TFractalParams& v, double px, double py, double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return false;
  if (v.imageWidth <= 0 || v.imageHeight <= 0) return false;
  const double zoom = v.zoom * factor;
  if (!(zoom >= kMinZoom && zoom <= kMaxZoom)) return false;

  // The edges as the next run will compute them: a zoom that has not been drawn yet counts.
  TFractalParams edges = v;
  AdjustCoords(edges);
  const double pointX = edges.xMin + px / v.imageWidth * (edges.xMax - edges.xMin);
  const double pointY = edges.yMin + py / v.imageHeight * (edges.yMax - edges.yMin);
  // The extents shrink by the factor; the point keeps its place when its distance to the centre does too.
  v.xCenter = pointX + (v.xCenter - pointX) / factor;
  v.yCenter = pointY + (v.yCenter - pointY) / factor;
  v.zoom = zoom;
  return true;
}

double WheelZoomFactor(int angleDelta) { return std::pow(kWheelZoomFactor, angleDelta / kDegreesPerNotch); }
