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

namespace colouring_detail {

// Gain, output factor, clamp and inversion of one channel. The gain constant is 1/150 in extended precision,
// applied and stored before the intensity.
inline TColor OutputByte(double blended, double factor, const TColourInputs& c) {
  double a = static_cast<double>(static_cast<Ext>(blended) * (static_cast<Ext>(1) / 150));
  a = a * c.intensity;
  int byte = Round(a * factor);
  byte = byte > 255 ? 255 : byte;
  byte = byte < 0 ? 0 : byte;
  return static_cast<TColor>(c.invert ? 255 - byte : byte);
}

// The level of a count, compressed by sqrt when filtering. 3 * count in 64 bits: in 32 bits it wraps for counts
// beyond 715 million.
inline double Level(std::int32_t count, bool sqrtFilter) {
  return sqrtFilter ? std::sqrt(static_cast<double>(3 * static_cast<std::int64_t>(count))) * 6
                    : static_cast<double>(count);
}

}  // namespace colouring_detail

// The colour value (red + 256 green + 65536 blue) of a cell with these counts, `leading` being the channel of the
// hit just added. The leading channel ends up weighted by its factor three times, the other two twice.
// Written without a branch on the channel: the map selection makes it random from point to point.
inline TColor HitColor(const TColourInputs& c, const std::int32_t count[3], THitChannel leading) {
  using colouring_detail::Level;
  using colouring_detail::OutputByte;
  const int lead = static_cast<int>(leading);
  double scaled[3];
  scaled[0] = Round(Level(count[0], c.sqrtFilter) * c.factor[0]);
  scaled[1] = Round(Level(count[1], c.sqrtFilter) * c.factor[1]);
  scaled[2] = Round(Level(count[2], c.sqrtFilter) * c.factor[2]);
  const double leadValue = c.factor[lead] * scaled[lead];
  double blended[3] = {(scaled[0] + leadValue) * 0.5, (scaled[1] + leadValue) * 0.5, (scaled[2] + leadValue) * 0.5};
  blended[lead] = leadValue;
  return OutputByte(blended[0], c.factor[0], c) + 256u * OutputByte(blended[1], c.factor[1], c) +
         65536u * OutputByte(blended[2], c.factor[2], c);
}

inline TColor HitColor(const TFractalParams& v, std::int32_t redCount, std::int32_t greenCount,
                       std::int32_t blueCount, THitChannel leading) {
  const std::int32_t count[3] = {redCount, greenCount, blueCount};
  return HitColor(ColourInputsOf(v), count, leading);
}
