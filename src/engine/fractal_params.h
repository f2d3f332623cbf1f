// TFractalParams: everything the engine reads while it draws one fractal window's picture.
// A plain record; the window owns it, the engine keeps its address while a run is in progress.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/gradient.h"

class TPixelGraphic;

// One hit count per pixel cell, N x N entries, N = max(imageWidth, imageHeight).
using THitList = std::vector<std::int32_t>;
// Per cell of the same grid: 0 for a cell not hit since the last reset, else 1 + the channel of its last hit
// (red 0, green 1, blue 2), which decides the cell's colour.
using TLeadList = std::vector<std::uint8_t>;

// The gradient colouring's per-cell record of the points that landed in a cell: how many (saturating at the 32-bit
// maximum, where the sum stops too) and the sum of their colour levels (kColourLevels steps of the colour
// coordinate). Integers, so that the order in which parallel orbits add them cannot change the sum.
struct TColourCells {
  std::vector<std::uint64_t> sums;
  std::vector<std::uint32_t> hits;
};
inline constexpr int kColourLevels = 2048;

// The defined colouring (the red, green and blue counts) or the gradient colouring (the colour coordinate).
enum class TColouring : std::uint8_t { Defined = 0, Gradient = 1 };
inline constexpr int kColourPositions = 3;  // one per map group (offsets 0, 19, 39)
inline constexpr std::array<double, kColourPositions> kDefaultColourPositions = {0.0, 1.0, 0.5};
inline constexpr double kDefaultVibrancy = 1.0;

// Coefficient arrays are indexed from 1 as in the formulas; slot 0 is unused.
constexpr int kCoefficientCount = 60;
using TCoefficients = std::array<double, kCoefficientCount + 1>;

struct TFractalParams {
  double plotX = 0, plotY = 0;
  double xMin = 0, xMax = 0, xCenter = 0;
  double yMin = 0, yMax = 0, yCenter = 0;
  double selXMin = 0, selXMax = 0, selXCenter = 0;
  double selYMin = 0, selYMax = 0, selYCenter = 0;
  double prevXCenter = 0, prevYCenter = 0;
  double selZoom = 0;
  double zoom = 0;
  double halfWidth = 0, halfHeight = 0;
  double aspectX = 0, aspectY = 0;
  double intensity = 0;
  double probability = 0;
  double randomizer = 0;
  double red = 0, blue = 0, green = 0;
  double plotXMin = 0, plotYMin = 0, plotXMax = 0, plotYMax = 0;
  std::int32_t imageWidth = 0, imageHeight = 0;
  std::int32_t maps = 0;
  std::int32_t ticks = 0;
  // 64-bit: a 32-bit counter would wrap after 2^31 steps, a couple of minutes of drawing.
  std::int64_t iterations = 0;
  std::int32_t plotWidth = 0, plotHeight = 0;
  double lyapunov = 0;

  // Family switches, in the engine's fixed order of application.
  bool latoocarfian01 = false, latoocarfian02 = false, mira01 = false, ifs01 = false, ifs02 = false,
       cif01 = false, cif02 = false;
  // Variations, in the order they are summed.
  bool none = false, linear = false, sinusoidal = false, spherical = false, swirl = false, horseshoe = false,
       polar = false, bent = false;
  bool invert = false;
  bool randomize = false;
  bool abort = false;
  bool sqrtFilter = false;
  // The log-density tone, in place of the linear or square-root levels; brightness and gamma apply to it only.
  bool logDensity = false;
  double toneBrightness = 1.0, toneGamma = 2.2;
  // The gradient colouring: each map group's colour position (0..1), towards which the orbit's colour coordinate
  // moves halfway at each step of that group; the gradient and how it is laid over the coordinate; the vibrancy
  // (0..1: how much of the tone's gamma acts on each channel's colour rather than on the density alone). It paints
  // by log density with toneBrightness and toneGamma.
  TColouring colouring = TColouring::Defined;
  std::array<double, kColourPositions> colourPositions = kDefaultColourPositions;
  TGradientRef gradient;
  TGradientView gradientView;
  double vibrancy = kDefaultVibrancy;

  // G-Mira / Martin variant switches 01..13 (the engine draws 01..11; 12 and 13 are stored only).
  bool mira0101 = false, mira0102 = false, mira0103 = false, mira0104 = false, mira0105 = false,
       mira0106 = false, mira0107 = false, mira0108 = false, mira0109 = false, mira0110 = false,
       mira0111 = false, mira0112 = false, mira0113 = false;
  // IFS-01 variant switches 1..8.
  bool ifs0101 = false, ifs0102 = false, ifs0103 = false, ifs0104 = false, ifs0105 = false, ifs0106 = false,
       ifs0107 = false, ifs0108 = false;

  TCoefficients af{};
  TCoefficients af2{};

  TPixelGraphic* image = nullptr;
  THitList* redList = nullptr;
  THitList* greenList = nullptr;
  THitList* blueList = nullptr;
  // Optional: kept up to date by the engine when present (hit-count documents and re-toning need it).
  TLeadList* leadList = nullptr;
  // Optional: the gradient colouring counts into it when present (and the lists are of the grid's size).
  TColourCells* colourCells = nullptr;
  // Large renders (posters, supersampled grids): the lists hold imageWidth x imageHeight cells, cell
  // ix * imageHeight + iy, instead of a window's N x N grid, and the engine paints no picture (image is not used):
  // the counts and lead channels are what the render makes, toned into a picture afterwards.
  bool countsOnly = false;

  // Field by field; undo steps compare parameter sets with it.
  bool operator==(const TFractalParams&) const = default;
};

constexpr int kMiraVariantCount = 13;
constexpr int kIfsVariantCount = 8;

// Variant switch k (1-based) of the G-Mira / Martin and IFS-01 families.
bool& MiraVariant(TFractalParams& v, int k);
bool MiraVariant(const TFractalParams& v, int k);
bool& IfsVariant(TFractalParams& v, int k);
bool IfsVariant(const TFractalParams& v, int k);
