// The colour of a pixel from its three hit counts: sqrt filter, colour factors, the blend towards the channel that
// was hit, the intensity gain, clamping and the "White" inversion.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/engine_math.h"
#include "engine/fractal_params.h"
#include "engine/round.h"
#include "image/pixel_graphic.h"

enum class THitChannel : std::uint8_t { Red = 0, Green = 1, Blue = 2 };

// The record's colour inputs, taken once per batch of steps rather than per hit.
struct TColourInputs {
  double factor[3] = {0, 0, 0};  // red, green, blue
  double intensity = 0;
  bool sqrtFilter = false;
  bool invert = false;
};

inline TColourInputs ColourInputsOf(const TFractalParams& v) {
  TColourInputs c;
  c.factor[0] = v.red;
  c.factor[1] = v.green;
  c.factor[2] = v.blue;
  c.intensity = v.intensity;
  c.sqrtFilter = v.sqrtFilter;
  c.invert = v.invert;
  return c;
}

// The colour value (red + 256 green + 65536 blue) of a cell with these counts, `leading` being the channel of the
// hit just added. Written without a branch on the channel: the map selection makes it random from point to point.
inline TColor HitColor(const TColourInputs& c, const std::int32_t count[3], THitChannel leading) {
  // The leading channel ends up weighted by its factor three times, the other two twice.
  const int lead = static_cast<int>(leading);
  double scaled[3];
  for (int k = 0; k < 3; ++k) {
    // 3 * count in 64 bits: in 32 bits it wraps for counts beyond 715 million.
    const double level = c.sqrtFilter ? std::sqrt(static_cast<double>(3 * static_cast<std::int64_t>(count[k]))) * 6
                                      : static_cast<double>(count[k]);
    scaled[k] = Round(level * c.factor[k]);
  }
  const double leadValue = c.factor[lead] * scaled[lead];
  double blended[3];
  for (int k = 0; k < 3; ++k) blended[k] = (scaled[k] + leadValue) * 0.5;
  blended[lead] = leadValue;
  int out[3];
  for (int k = 0; k < 3; ++k) {
    // The gain constant is 1/150 in extended precision, applied and stored before the intensity.
    double a = static_cast<double>(static_cast<Ext>(blended[k]) * (static_cast<Ext>(1) / 150));
    a = a * c.intensity;
    int byte = Round(a * c.factor[k]);
    byte = byte > 255 ? 255 : byte;
    byte = byte < 0 ? 0 : byte;
    out[k] = c.invert ? 255 - byte : byte;
  }
  return static_cast<TColor>(out[0]) + 256u * static_cast<TColor>(out[1]) + 65536u * static_cast<TColor>(out[2]);
}

inline TColor HitColor(const TFractalParams& v, std::int32_t redCount, std::int32_t greenCount,
                       std::int32_t blueCount, THitChannel leading) {
  const std::int32_t count[3] = {redCount, greenCount, blueCount};
  return HitColor(ColourInputsOf(v), count, leading);
}
