// Tones: how hit counts become levels. Besides the defined colouring (linear counts, or their square root with the
// sqrt filter), "Log density" takes each cell's levels from the logarithm of its density: its counts relative to
// the mean count of the picture's cells. Because the density is normalised by the total hits, a render that runs
// twice as long keeps its brightness and only gains detail, where linear counts burn out to white.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/colouring.h"
#include "engine/fractal_params.h"

inline constexpr double kDefaultToneBrightness = 1.0;
inline constexpr double kDefaultToneGamma = 2.2;
inline constexpr double kMinToneBrightness = 0.01, kMaxToneBrightness = 100;
inline constexpr double kMinToneGamma = 0.1, kMaxToneGamma = 10;
// A cell this many times denser than the mean reaches full level at brightness 1 and colour factor 1.
inline constexpr double kLogDensityReference = 1000;
// The same for the gradient colouring's density of points. Lower than the defined colouring's: its colours come
// from the gradient, not from the counts, so a dense cell cannot burn out to white, and the sparse outskirts of an
// attractor, which are most of its lit pixels, stay visible (on the gallery's sets at 10 M steps, 360 x 270, the
// mean value of lit pixels is then 0.37 to 0.58 with the default gradient).
inline constexpr double kGradientDensityReference = 4.5;

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

// The gradient colouring: a cell's colour is the gradient's at the mean colour coordinate of the points that landed
// in it, its brightness that of the log-density tone from its number of points; the vibrancy decides how much of
// the gamma acts on each channel's own value (0: colours wash out towards white where the density is high) rather
// than on the density alone (1: each cell keeps the gradient's saturation).
inline constexpr double kMinVibrancy = 0, kMaxVibrancy = 1;
bool VibrancyIsValid(double vibrancy);
bool ColourPositionIsValid(double position);
// The record's position of map group k, or its default when the record's is not a number from 0 to 1.
double ColourPositionOrDefault(const TFractalParams& v, int k);
// The record colours by gradient and has colour cells of its grid's size.
bool PaintsByGradient(const TFractalParams& v);

// What the gradient colouring needs to paint; made once per painting of the whole picture.
struct TGradientTone {
  double densityScale = 0;  // cells / total points
  double levelScale = 0;    // brightness / log(1 + reference)
  double vibrancy = 1;
  bool invert = false;
  std::vector<std::array<double, 3>> colours;  // kColourLevels entries: the gradient through the record's view
  static constexpr int kGammaSteps = 4096;
  double gammaTable[kGammaSteps + 1] = {};  // level 0..1 to level^(1 / gamma)
};
TGradientTone GradientToneOf(const TFractalParams& v, std::uint64_t totalPoints, std::int64_t cells);
// A cell with `hits` points whose colour levels add up to `sum`; black without points.
TColor GradientCellColor(const TGradientTone& tone, std::uint32_t hits, std::uint64_t sum);
// Paints every cell of the picture from the record's colour cells. Does nothing unless PaintsByGradient.
void PaintGradientColours(const TFractalParams& v);

// The picture a run leaves, painted again from its counts with the record's present colour settings and tone.
void RepaintPicture(const TFractalParams& v);
