// Zooming the view by a factor about a point of the picture: the mouse wheel and "Zoom Out".
#pragma once

#include "engine/fractal_params.h"

// Wheel zoom: one notch of the wheel magnifies (or, backwards, reduces) by this factor.
inline constexpr double kWheelZoomFactor = 1.25;
// "Zoom Out": the view shows twice the extent about the same centre.
inline constexpr double kZoomOutFactor = 0.5;
// Beyond these magnifications a pixel's world size nears the resolution of a double (or the view leaves any
// attractor far behind); a zoom that would cross them is refused.
inline constexpr double kMinZoom = 1e-6;
inline constexpr double kMaxZoom = 1e12;

// Multiplies zoom by factor so that the world point at image pixel (px, py), by the edges the next engine run
// would use, stays at that pixel. The marked region is left alone. Returns false and changes nothing when the
// factor is not a positive finite number, the picture has no size, or the new zoom would leave
// kMinZoom..kMaxZoom.
bool ZoomAbout(TFractalParams& v, double px, double py, double factor);

// The zoom factor of a turn of the wheel given in eighths of a degree (120 per notch; fine-grained wheels send
// less): kWheelZoomFactor per notch, forwards magnifies.
double WheelZoomFactor(int angleDelta);
