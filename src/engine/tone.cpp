#include "engine/tone.h"

#include <algorithm>
#include <cmath>

#include "engine/gradient.h"
#include "image/pixel_graphic.h"

bool ToneBrightnessIsValid(double brightness) {
  return brightness >= kMinToneBrightness && brightness <= kMaxToneBrightness;
}
bool ToneGammaIsValid(double gamma) { return gamma >= kMinToneGamma && gamma <= kMaxToneGamma; }

namespace {

// What both log-density tones take from the record and the totals: a brightness or gamma out of range (a hand-edited
// file) falls back to the default rather than darkening or blowing out the whole picture.
struct TToneBasis {
  double densityScale, brightness, gamma;
};

template <class TTotal>
TToneBasis ToneBasisOf(const TFractalParams& v, TTotal total, std::int64_t cells) {
  return {total > 0 ? static_cast<double>(cells) / static_cast<double>(total) : 0,
          ToneBrightnessIsValid(v.toneBrightness) ? v.toneBrightness : kDefaultToneBrightness,
          ToneGammaIsValid(v.toneGamma) ? v.toneGamma : kDefaultToneGamma};
}

}  // namespace

TLogDensityTone LogDensityToneOf(const TFractalParams& v, std::int64_t totalHits, std::int64_t cells) {
  TLogDensityTone t;
  const TToneBasis basis = ToneBasisOf(v, totalHits, cells);
  const double gamma = basis.gamma;
  t.densityScale = basis.densityScale;
  t.levelScale = basis.brightness / std::log1p(kLogDensityReference);
  // A colour factor that is no number would poison every level; it counts as 0 there, as a saturated colour would.
  t.factor[0] = std::isfinite(v.red) ? v.red : 0;
  t.factor[1] = std::isfinite(v.green) ? v.green : 0;
  t.factor[2] = std::isfinite(v.blue) ? v.blue : 0;
  t.invert = v.invert;
  for (int k = 0; k <= TLogDensityTone::kGammaSteps; ++k) {
    const double level = static_cast<double>(k) / TLogDensityTone::kGammaSteps;
    t.gammaTable[k] = static_cast<std::uint8_t>(std::clamp(Round(255 * std::pow(level, 1 / gamma)), 0, 255));
  }
  return t;
}

TColor LogDensityColor(const TLogDensityTone& tone, const std::int32_t count[3], std::uint8_t lead) {
  // The hue is the defined colouring's: each channel's count times its factor, blended towards the lead channel,
  // weighted by the factor once more. Only its proportions are kept; the brightness comes from the density.
  double hue[3];
  for (int k = 0; k < 3; ++k) hue[k] = std::max(count[k], 0) * tone.factor[k];
  if (lead >= 1 && lead <= 3) {
    const int l = lead - 1;
    const double leadValue = tone.factor[l] * hue[l];
    for (int k = 0; k < 3; ++k) hue[k] = k == l ? leadValue : (hue[k] + leadValue) * 0.5;
  }
  for (int k = 0; k < 3; ++k) hue[k] *= tone.factor[k];
  const double strongest = std::max({hue[0], hue[1], hue[2]});
  const std::int64_t total = std::int64_t{std::max(count[0], 0)} + std::max(count[1], 0) + std::max(count[2], 0);
  const double level = std::clamp(std::log1p(static_cast<double>(total) * tone.densityScale) * tone.levelScale, 0.0, 1.0);
  TColor colour = 0;
  for (int k = 0; k < 3; ++k) {
    const double share = strongest > 0 && std::isfinite(strongest) ? std::clamp(hue[k] / strongest, 0.0, 1.0) : 0.0;
    std::uint8_t byte = tone.gammaTable[Round(level * share * TLogDensityTone::kGammaSteps)];
    if (tone.invert) byte = static_cast<std::uint8_t>(255 - byte);
    colour |= static_cast<TColor>(byte) << (8 * k);
  }
  return colour;
}

namespace {

// The part of the N x N grid the picture covers, when the record has a picture and lists to paint it from.
struct TPaintArea {
  std::int64_t n = 0;
  int columns = 0, rows = 0;
  const THitList* lists[3] = {nullptr, nullptr, nullptr};
};

bool PaintAreaOf(const TFractalParams& v, bool needLead, TPaintArea& a) {
  a.n = std::max<std::int64_t>(0, std::max(v.imageWidth, v.imageHeight));
  if (v.image == nullptr || v.image->Empty() || a.n == 0) return false;
  const THitList* lists[3] = {v.redList, v.greenList, v.blueList};
  for (int k = 0; k < 3; ++k) {
    if (lists[k] == nullptr || static_cast<std::int64_t>(lists[k]->size()) < a.n * a.n) return false;
    a.lists[k] = lists[k];
  }
  if (needLead && (v.leadList == nullptr || static_cast<std::int64_t>(v.leadList->size()) < a.n * a.n)) return false;
  a.columns = static_cast<int>(std::min<std::int64_t>(a.n, v.image->Width()));
  a.rows = static_cast<int>(std::min<std::int64_t>(a.n, v.image->Height()));
  return true;
}

}  // namespace

void PaintHitColours(const TFractalParams& v) {
  TPaintArea a;
  if (!PaintAreaOf(v, true, a)) return;
  const TColourInputs colour = ColourInputsOf(v);
  for (int ix = 0; ix < a.columns; ++ix)
    for (int iy = 0; iy < a.rows; ++iy) {
      const std::int64_t cell = ix * a.n + iy;
      const std::uint8_t lead = (*v.leadList)[cell];
      if (lead == 0 || lead > 3) {
        v.image->SetPixel(ix, iy, 0);
        continue;
      }
      const std::int32_t count[3] = {(*a.lists[0])[cell], (*a.lists[1])[cell], (*a.lists[2])[cell]};
      v.image->SetPixel(ix, iy, HitColor(colour, count, static_cast<THitChannel>(lead - 1)));
    }
}

void RepaintPicture(const TFractalParams& v) {
  if (PaintsByGradient(v))
    PaintGradientColours(v);
  else if (v.logDensity)
    PaintLogDensity(v);
  else
    PaintHitColours(v);
}

void PaintLogDensity(const TFractalParams& v) {
  TPaintArea a;
  if (!PaintAreaOf(v, false, a)) return;
  const std::int64_t n = a.n;
  const int columns = a.columns, rows = a.rows;
  const THitList* const* lists = a.lists;
  const TLeadList* lead =
      v.leadList != nullptr && static_cast<std::int64_t>(v.leadList->size()) >= n * n ? v.leadList : nullptr;
  std::int64_t total = 0;
  for (int ix = 0; ix < columns; ++ix)
    for (int iy = 0; iy < rows; ++iy) {
      const std::int64_t cell = ix * n + iy;
      for (int k = 0; k < 3; ++k) total += std::max((*lists[k])[cell], 0);
    }
  const TLogDensityTone tone = LogDensityToneOf(v, total, std::int64_t{columns} * rows);
  for (int ix = 0; ix < columns; ++ix)
    for (int iy = 0; iy < rows; ++iy) {
      const std::int64_t cell = ix * n + iy;
      const std::int32_t count[3] = {(*lists[0])[cell], (*lists[1])[cell], (*lists[2])[cell]};
      v.image->SetPixel(ix, iy, LogDensityColor(tone, count, lead != nullptr ? (*lead)[cell] : kNoLeadChannel));
    }
}

bool VibrancyIsValid(double vibrancy) { return vibrancy >= kMinVibrancy && vibrancy <= kMaxVibrancy; }
bool ColourPositionIsValid(double position) { return position >= 0 && position <= 1; }

double ColourPositionOrDefault(const TFractalParams& v, int k) {
  const double p = v.colourPositions[static_cast<std::size_t>(k)];
  return ColourPositionIsValid(p) ? p : kDefaultColourPositions[static_cast<std::size_t>(k)];
}

bool PaintsByGradient(const TFractalParams& v) {
  if (v.colouring != TColouring::Gradient || v.colourCells == nullptr || v.countsOnly) return false;
  const std::int64_t n = std::max<std::int64_t>(0, std::max(v.imageWidth, v.imageHeight));
  return n > 0 && static_cast<std::int64_t>(v.colourCells->sums.size()) >= n * n &&
         static_cast<std::int64_t>(v.colourCells->hits.size()) >= n * n;
}

TGradientTone GradientToneOf(const TFractalParams& v, std::uint64_t totalPoints, std::int64_t cells) {
  TGradientTone t;
  const TToneBasis basis = ToneBasisOf(v, totalPoints, cells);
  const double gamma = basis.gamma;
  t.densityScale = basis.densityScale;
  t.levelScale = basis.brightness / std::log1p(kGradientDensityReference);
  t.vibrancy = VibrancyIsValid(v.vibrancy) ? v.vibrancy : kDefaultVibrancy;
  t.invert = v.invert;
  t.colours = SampleGradient(v.gradient.Get(), v.gradientView, kColourLevels);
  for (int k = 0; k <= TGradientTone::kGammaSteps; ++k)
    t.gammaTable[k] = std::pow(static_cast<double>(k) / TGradientTone::kGammaSteps, 1 / gamma);
  return t;
}

TColor GradientCellColor(const TGradientTone& tone, std::uint32_t hits, std::uint64_t sum) {
  if (hits == 0) return tone.invert ? 0xFFFFFFu : 0u;
  const std::uint64_t mean = std::min<std::uint64_t>((sum + hits / 2) / hits, kColourLevels - 1);
  const std::array<double, 3>& colour = tone.colours[static_cast<std::size_t>(mean)];
  const double level =
      std::clamp(std::log1p(static_cast<double>(hits) * tone.densityScale) * tone.levelScale, 0.0, 1.0);
  const auto gammaOf = [&](double x) { return tone.gammaTable[Round(x * TGradientTone::kGammaSteps)]; };
  const double lit = tone.vibrancy * gammaOf(level);
  TColor result = 0;
  for (int k = 0; k < 3; ++k) {
    const double c = colour[static_cast<std::size_t>(k)];
    const double value = lit * c + (1 - tone.vibrancy) * gammaOf(level * c);
    std::uint8_t byte = static_cast<std::uint8_t>(std::clamp(Round(value * 255), 0, 255));
    if (tone.invert) byte = static_cast<std::uint8_t>(255 - byte);
    result |= static_cast<TColor>(byte) << (8 * k);
  }
  return result;
}

void PaintGradientColours(const TFractalParams& v) {
  if (!PaintsByGradient(v) || v.image == nullptr || v.image->Empty()) return;
  const std::int64_t n = std::max(v.imageWidth, v.imageHeight);
  const int columns = static_cast<int>(std::min<std::int64_t>(n, v.image->Width()));
  const int rows = static_cast<int>(std::min<std::int64_t>(n, v.image->Height()));
  const std::uint64_t* sums = v.colourCells->sums.data();
  const std::uint32_t* hits = v.colourCells->hits.data();
  std::uint64_t total = 0;
  for (int ix = 0; ix < columns; ++ix)
    for (int iy = 0; iy < rows; ++iy) total += hits[ix * n + iy];
  const TGradientTone tone = GradientToneOf(v, total, std::int64_t{columns} * rows);
  for (int ix = 0; ix < columns; ++ix)
    for (int iy = 0; iy < rows; ++iy) {
      const std::int64_t cell = ix * n + iy;
      v.image->SetPixel(ix, iy, GradientCellColor(tone, hits[cell], sums[cell]));
    }
}
