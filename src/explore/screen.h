// The cheap screen a candidate passes before it is drawn, its framing, and the look at its thumbnail.
//
// The screen follows the classic test for random maps: the orbit stays bounded, its Lyapunov exponent (the
// engine's own estimate over its first steps) is positive -- chaos, not a fixed point or a cycle -- and the
// correlation dimension of a few thousand of its points is well above that of a curve. Sets of maps drawn at
// random (IFS-01, CIF) are contractions when they make a picture, so their exponent is negative: for them the
// exponent is not asked for by default and the dimension and the thumbnail decide.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/fractal_params.h"

class TPixelGraphic;

struct TScreenThresholds {
  // Bits per iteration. Attractors below it are fixed points, cycles or quasi-periodic loops.
  double minAttractorLyapunov = 0.005;
  double minMapSystemLyapunov = -std::numeric_limits<double>::infinity();
  // Correlation dimension: a point is 0, a curve 1.
  double minDimension = 1.15;
  // Above it the points fill their box like noise.
  double maxDimension = 1.95;
  // Steps the screen traces (the Lyapunov estimate takes the first 10000), of which the first are a transient.
  std::int64_t traceSteps = 14000;
  std::int64_t transientSteps = 2000;
  // The outer share of the traced points left out of the extent, on each side; the margin around the rest, as a
  // share of its size on each side.
  double outerFraction = 0.0025;
  double margin = 0.06;
  // Thumbnail: a pixel is lit when a channel reaches this level.
  int litLevel = 24;
  double minLitFraction = 0.01;  // below it: nearly black
  double maxLitFraction = 0.85;  // above it: nearly full
  int minLitPixels = 40;         // fewer: a point
  double minLineWidth = 0.04;    // the lit pixels' minor spread / major spread below it: a line
};

enum class TScreenVerdict {
  Accepted,
  Fault,         // a step raised a floating-point fault
  Escaped,       // the orbit left, or its Lyapunov estimate went wild: a run would restart
  LowLyapunov,   // not chaotic
  Collapsed,     // the points have no extent: a fixed point
  LowDimension,  // a curve or a few points
  HighDimension, // noise filling its box
  NearlyBlack,
  NearlyFull,
  Line,
  Point,
  Cancelled,
};
const char* ScreenVerdictName(TScreenVerdict verdict);

// Where the orbit's points lie, the outer fraction left out.
struct TExtent {
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

struct TScreenFigures {
  TScreenVerdict verdict = TScreenVerdict::Accepted;
  double lyapunov = 0;   // bits per iteration
  double dimension = 0;  // correlation dimension; 0 when the points have no extent
  TExtent extent;
};

// Traces v's orbit as a one-orbit run seeded with renderSeed draws it, and judges it. The figures are filled in
// as far as the screen got.
TScreenFigures ScreenOrbit(const TFractalParams& v, std::uint64_t renderSeed, const TScreenThresholds& thresholds);

// The extent of the points from `from` on, `outerFraction` of them left out at each end of each axis.
TExtent RobustExtent(const std::vector<double>& x, const std::vector<double>& y, std::size_t from,
                     double outerFraction);

// Correlation dimension by the two-radius count: among a fixed sample of pairs of the points from `from` on (far
// apart in the orbit, so that neighbours in time do not count), the share closer than r and the share closer than
// r / 10, r a tenth of the extent's diagonal; the dimension is the log10 of their ratio. 0 without extent or pairs.
double CorrelationDimension(const std::vector<double>& x, const std::vector<double>& y, std::size_t from,
                            const TExtent& extent);

// The view of v fitted to the extent: its centre, and the zoom at which the extent with its margin fills the
// picture in one direction and fits in the other (the picture's aspect kept). The edges follow as a run makes them.
// False, v unchanged, when the extent has no size or the zoom would not be finite.
bool FrameView(TFractalParams& v, const TExtent& extent, double margin);

// The look at a drawn thumbnail: Accepted, NearlyBlack, NearlyFull, Line or Point.
TScreenVerdict ThumbnailVerdict(const TPixelGraphic& picture, const TScreenThresholds& thresholds);
