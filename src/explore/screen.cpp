#include "explore/screen.h"

#include <algorithm>
#include <cmath>

#include "document/view_coords.h"
#include "engine/engine_random.h"
#include "engine/formula.h"
#include "engine/orbit_trace.h"
#include "explore/explore_family.h"
#include "image/pixel_graphic.h"

namespace {

constexpr int kDimensionPairs = 40000;
// Pairs closer in the orbit than this are left out: successive points of a smooth orbit lie close for no reason
// of the set's shape.
constexpr std::size_t kMinPairGap = 20;
// Fewer pairs within the small radius than this give no dimension worth the name.
constexpr int kMinClosePairs = 8;
constexpr std::uint64_t kPairSeed = 0x5EEDC0DEull;

double Quantile(std::vector<double>& values, double q) {
  const std::size_t k = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
  return values[k];
}

}  // namespace

const char* ScreenVerdictName(TScreenVerdict verdict) {
  switch (verdict) {
    case TScreenVerdict::Accepted: return "accepted";
    case TScreenVerdict::Fault: return "fault";
    case TScreenVerdict::Escaped: return "escaped";
    case TScreenVerdict::LowLyapunov: return "low Lyapunov exponent";
    case TScreenVerdict::Collapsed: return "collapsed";
    case TScreenVerdict::LowDimension: return "low dimension";
    case TScreenVerdict::HighDimension: return "high dimension";
    case TScreenVerdict::NearlyBlack: return "nearly black";
    case TScreenVerdict::NearlyFull: return "nearly full";
    case TScreenVerdict::Line: return "a line";
    case TScreenVerdict::Point: return "a point";
    case TScreenVerdict::Cancelled: return "cancelled";
  }
  return "?";
}

TExtent RobustExtent(const std::vector<double>& x, const std::vector<double>& y, std::size_t from,
                     double outerFraction) {
  TExtent extent;
  if (from >= x.size()) return extent;
  std::vector<double> xs(x.begin() + static_cast<std::ptrdiff_t>(from), x.end());
  std::vector<double> ys(y.begin() + static_cast<std::ptrdiff_t>(from), y.end());
  extent.xMin = Quantile(xs, outerFraction);
  extent.xMax = Quantile(xs, 1 - outerFraction);
  extent.yMin = Quantile(ys, outerFraction);
  extent.yMax = Quantile(ys, 1 - outerFraction);
  return extent;
}

double CorrelationDimension(const std::vector<double>& x, const std::vector<double>& y, std::size_t from,
                            const TExtent& extent) {
  const double w = extent.xMax - extent.xMin, h = extent.yMax - extent.yMin;
  const double diagonal = std::sqrt(w * w + h * h);
  if (!(diagonal > 0) || !std::isfinite(diagonal) || x.size() < from + 2 * kMinPairGap) return 0;
  const double r = diagonal / 10, r2 = r * r, small2 = r2 / 100;
  const std::size_t n = x.size() - from;
  TEngineRandom random;
  random.Seed(kPairSeed);
  int near = 0, close = 0;
  for (int k = 0; k < kDimensionPairs; ++k) {
    const std::size_t i = from + static_cast<std::size_t>(random.Next() * static_cast<double>(n));
    const std::size_t j = from + static_cast<std::size_t>(random.Next() * static_cast<double>(n));
    if ((i > j ? i - j : j - i) < kMinPairGap) continue;
    const double dx = x[i] - x[j], dy = y[i] - y[j];
    const double d2 = dx * dx + dy * dy;
    if (d2 < r2) {
      ++near;
      if (d2 < small2) ++close;
    }
  }
  if (near == 0) return 0;
  // Too few close pairs to count: the ratio with the fewest countable is what the sample can vouch for.
  return std::max(0.0, std::log10(static_cast<double>(near) / std::max(close, kMinClosePairs)));
}

TScreenFigures ScreenOrbit(const TFractalParams& v, std::uint64_t renderSeed, const TScreenThresholds& thresholds) {
  TScreenFigures figures;
  TOrbitTrace trace;
  try {
    trace = TraceOrbit(v, renderSeed, thresholds.traceSteps);
  } catch (const EFloatingPointFault&) {
    figures.verdict = TScreenVerdict::Fault;
    return figures;
  }
  figures.lyapunov = trace.lyapunov;
  if (trace.end == TTraceEnd::Restart) {
    figures.verdict = TScreenVerdict::Escaped;
    return figures;
  }
  const double minLyapunov =
      IsMapSystem(v) ? thresholds.minMapSystemLyapunov : thresholds.minAttractorLyapunov;
  if (!(figures.lyapunov >= minLyapunov)) {
    figures.verdict = TScreenVerdict::LowLyapunov;
    return figures;
  }
  const std::size_t from = static_cast<std::size_t>(std::max<std::int64_t>(0, thresholds.transientSteps));
  figures.extent = RobustExtent(trace.x, trace.y, from, thresholds.outerFraction);
  const TExtent& e = figures.extent;
  const double scale = std::max({std::fabs(e.xMin), std::fabs(e.xMax), std::fabs(e.yMin), std::fabs(e.yMax), 1e-300});
  // Below a millionth of its distance from the origin a set is a point at any size a picture can show.
  const double tiny = scale * 1e-6;
  if (from >= trace.x.size() || !(e.xMax - e.xMin > tiny) || !(e.yMax - e.yMin > tiny)) {
    figures.verdict = TScreenVerdict::Collapsed;
    return figures;
  }
  figures.dimension = CorrelationDimension(trace.x, trace.y, from, e);
  if (!(figures.dimension >= thresholds.minDimension))
    figures.verdict = TScreenVerdict::LowDimension;
  else if (figures.dimension > thresholds.maxDimension)
    figures.verdict = TScreenVerdict::HighDimension;
  return figures;
}

bool FrameView(TFractalParams& v, const TExtent& extent, double margin) {
  const double w = (extent.xMax - extent.xMin) * (1 + 2 * margin);
  const double h = (extent.yMax - extent.yMin) * (1 + 2 * margin);
  if (!(w > 0) || !(h > 0) || v.imageWidth <= 0 || v.imageHeight <= 0) return false;
  // The half extents AdjustCoords makes of a zoom: (2 / zoom) times the aspect factor of each direction.
  const double width = v.imageWidth, height = v.imageHeight;
  const double aspectX = (1 + width / height) / 2, aspectY = (1 + height / width) / 2;
  const double zoom = std::min(4 * aspectX / w, 4 * aspectY / h);
  if (!std::isfinite(zoom) || !(zoom > 0)) return false;
  v.xCenter = (extent.xMin + extent.xMax) / 2;
  v.yCenter = (extent.yMin + extent.yMax) / 2;
  v.zoom = zoom;
  v.selZoom = zoom;
  AdjustCoordsForRun(v);
  return true;
}

TScreenVerdict ThumbnailVerdict(const TPixelGraphic& picture, const TScreenThresholds& thresholds) {
  const int width = picture.Width(), height = picture.Height();
  if (width <= 0 || height <= 0) return TScreenVerdict::NearlyBlack;
  std::int64_t lit = 0;
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const TColor c = picture.GetColor(x, y);
      const int level = std::max({static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                                  static_cast<int>((c >> 16) & 0xFF)});
      if (level < thresholds.litLevel) continue;
      ++lit;
      sx += x;
      sy += y;
      sxx += static_cast<double>(x) * x;
      syy += static_cast<double>(y) * y;
      sxy += static_cast<double>(x) * y;
    }
  }
  const double total = static_cast<double>(width) * height;
  if (lit < thresholds.minLitPixels) return lit == 0 ? TScreenVerdict::NearlyBlack : TScreenVerdict::Point;
  if (lit < thresholds.minLitFraction * total) return TScreenVerdict::NearlyBlack;
  if (lit > thresholds.maxLitFraction * total) return TScreenVerdict::NearlyFull;
  // The spreads along the principal axes of the lit pixels: a line has one of them near zero.
  const double n = static_cast<double>(lit);
  const double mx = sx / n, my = sy / n;
  const double cxx = sxx / n - mx * mx, cyy = syy / n - my * my, cxy = sxy / n - mx * my;
  const double mean = (cxx + cyy) / 2, spread = std::sqrt(std::max(0.0, (cxx - cyy) * (cxx - cyy) / 4 + cxy * cxy));
  const double major = mean + spread, minor = std::max(0.0, mean - spread);
  if (!(major > 0)) return TScreenVerdict::Point;
  if (std::sqrt(minor / major) < thresholds.minLineWidth) return TScreenVerdict::Line;
  return TScreenVerdict::Accepted;
}
