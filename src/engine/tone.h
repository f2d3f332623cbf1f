// Tones: how hit counts become levels. Besides the defined colouring (linear counts, or their square root with the
// sqrt filter), "Log density" takes each cell's levels from the logarithm of its density: its counts relative to
// the mean count of the picture's cells. Because the density is normalised by the total hits, a render that runs
// twice as long keeps its brightness and only gains detail, where linear counts burn out to white.
#pragma once

#include <cstdint>

#include "engine/colouring.h"
#include "engine/fractal_params.h"

inline constexpr double kDefaultToneBrightness = 1.0;
inline constexpr double kDefaultToneGamma = 2.2;
inline constexpr double kMinToneBrightness = 0.01, kMaxToneBrightness = 100;
inline constexpr double kMinToneGamma = 0.1, kMaxToneGamma = 10;
// A cell this many times denser than the mean reaches full level at brightness 1 and colour factor 1.
inline constexpr double kLogDensityReference = 1000;

bool ToneBrightnessIsValid(double brightness);
bool ToneGammaIsValid(double gamma);

// What the log-density colour of one cell needs; made once per painting of the whole picture.
struct TLogDensityTone {
  double densityScale = 0;  // cells / total hits: a count times this is the cell's density
  double levelScale = 0;    // brightness / log(1 + reference)
  double factor[3] = {0, 0, 0};
  bool invert = false;
  // Level 0..1 to byte, gamma applied: kGammaSteps + 1 entries.
  static constexpr int kGammaSteps = 4096;
  std::uint8_t gammaTable[kGammaSteps + 1] = {};
};

// totalHits is the sum of the non-negative counts of all three channels over the picture's cells, cells their number.
TLogDensityTone LogDensityToneOf(const TFractalParams& v, std::int64_t totalHits, std::int64_t cells);
// A cell's colour: its brightness from the log of its density (all three counts), its hue that of the defined
// colouring for its counts and lead channel (1 + red, green or blue; kNoLeadChannel blends nothing).
inline constexpr std::uint8_t kNoLeadChannel = 0;
TColor LogDensityColor(const TLogDensityTone& tone, const std::int32_t count[3], std::uint8_t lead);

// Paints every cell of the picture in log density from the record's hit lists and, when it has one, lead list (cells
// the picture does not cover are left alone). Does nothing without a picture or hit lists of the grid's size.
void PaintLogDensity(const TFractalParams& v);

// Paints every cell from the record's hit lists and lead list with the defined colouring, as the engine left it:
// a cell never hit is black, any other has the colour of its counts and lead channel. Does nothing without a
// picture or lists (the lead list included) of the grid's size.
void PaintHitColours(const TFractalParams& v);

// The picture a run leaves, painted again from its counts with the record's present colour settings and tone.
void RepaintPicture(const TFractalParams& v);
