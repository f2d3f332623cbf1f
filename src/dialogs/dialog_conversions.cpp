#include "dialogs/dialog_conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "files/param_file.h"

namespace {

std::string WithSeparator(std::string text, char decimalSeparator) {
  std::replace(text.begin(), text.end(), '.', decimalSeparator);
  return text;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

int SliderPosition(double value, long double inverse, int max) {
  // Clamping before the conversion to int keeps huge file values (1E300) from overflowing it.
  const long double product = static_cast<long double>(value) * inverse;
  if (std::isnan(product) || product <= 0.0L) return 0;
  if (product >= static_cast<long double>(max)) return max;
  // Not Round: that takes a double, and the product must be rounded from its extended value (17.4999... would
  // become 17.5 and then 18 through a double). Default rounding mode: halves to even, as Round does.
  return static_cast<int>(std::nearbyint(product));
}

double SliderValue(int position, long double factor) {
  return static_cast<double>(static_cast<long double>(position) * factor);
}

TParameterControls ParameterControlsFromRecord(const TFractalParams& v) {
  TParameterControls c;
  c.red = SliderPosition(v.red, kColorInverse, kColorBarMax);
  c.green = SliderPosition(v.green, kColorInverse, kColorBarMax);
  c.blue = SliderPosition(v.blue, kColorInverse, kColorBarMax);
  c.intensity = SliderPosition(v.intensity, 1.0L, kIntensityMax);
  c.probability = SliderPosition(v.probability, kProbabilityInverse, kProbabilityMax);
  c.randomizer = SliderPosition(v.randomizer, kRandomizerInverse, kRandomizerMax);
  c.toneBrightness = std::max(kToneBrightnessMin, SliderPosition(v.toneBrightness, kToneInverse, kToneBrightnessMax));
  c.toneGamma = std::max(kToneGammaMin, SliderPosition(v.toneGamma, kToneInverse, kToneGammaMax));
  c.sqrtFilter = v.sqrtFilter;
  c.invert = v.invert;
  c.logDensity = v.logDensity;
  c.mira01 = v.mira01;
  c.latoocarfian01 = v.latoocarfian01;
  c.latoocarfian02 = v.latoocarfian02;
  c.ifs01 = v.ifs01;
  c.ifs02 = v.ifs02;
  c.cif01 = v.cif01;
  c.cif02 = v.cif02;
  c.none = v.none;
  c.linear = v.linear;
  c.sinusoidal = v.sinusoidal;
  c.spherical = v.spherical;
  c.swirl = v.swirl;
  c.horseshoe = v.horseshoe;
  c.polar = v.polar;
  c.bent = v.bent;
  return c;
}

void ApplyParameterControls(const TParameterControls& c, TFractalParams& v) {
  v.red = SliderValue(c.red, kColorFactor);
  v.green = SliderValue(c.green, kColorFactor);
  v.blue = SliderValue(c.blue, kColorFactor);
  v.latoocarfian01 = c.latoocarfian01;
  v.latoocarfian02 = c.latoocarfian02;
  v.mira01 = c.mira01;
  v.ifs01 = c.ifs01;
  v.ifs02 = c.ifs02;
  v.cif01 = c.cif01;
  v.cif02 = c.cif02;
  v.intensity = c.intensity;
  v.probability = SliderValue(c.probability, kProbabilityFactor);
  v.randomizer = SliderValue(c.randomizer, kRandomizerFactor);
  v.sqrtFilter = c.sqrtFilter;
  v.invert = c.invert;
  v.logDensity = c.logDensity;
  v.toneBrightness = SliderValue(c.toneBrightness, kToneFactor);
  v.toneGamma = SliderValue(c.toneGamma, kToneFactor);
  v.none = c.none;
  v.linear = c.linear;
  v.sinusoidal = c.sinusoidal;
  v.spherical = c.spherical;
  v.swirl = c.swirl;
  v.horseshoe = c.horseshoe;
  v.polar = c.polar;
  v.bent = c.bent;
}

TParameterLabels ParameterLabelsFromRecord(const TFractalParams& v, char decimalSeparator) {
  return {FormatFixed2(v.red, decimalSeparator),       FormatFixed2(v.green, decimalSeparator),
          FormatFixed2(v.blue, decimalSeparator),      FormatFixed2(v.intensity, decimalSeparator),
          FormatFixed2(v.probability, decimalSeparator), FormatFixed2(v.randomizer, decimalSeparator),
          FormatFixed2(v.toneBrightness, decimalSeparator), FormatFixed2(v.toneGamma, decimalSeparator)};
}

std::string FormatFixed(double value, int decimals, char decimalSeparator) {
  // snprintf, not a stream: the C locale of the process may have been changed by the toolkit.
  const int needed = std::snprintf(nullptr, 0, "%.*f", decimals, value);
  std::string text(static_cast<std::size_t>(needed), '\0');
  std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, value);
  // The toolkit sets LC_NUMERIC from the environment, so snprintf itself may already have used a comma.
  std::replace(text.begin(), text.end(), ',', '.');
  return WithSeparator(std::move(text), decimalSeparator);
}

std::string FormatFixed2(double value, char decimalSeparator) { return FormatFixed(value, 2, decimalSeparator); }

std::optional<double> ParseReal(const std::string& text, char decimalSeparator) {
  // Dialogs read numbers exactly as parameter files do.
  double value = 0;
  if (!ParseGeneralNumber(text, decimalSeparator, value)) return std::nullopt;
  return value;
}

std::optional<long long> ParseInteger(const std::string& text) {
  std::string s = Trimmed(text);
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  if (s.empty() || s[0] == '+') return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc{} || end != s.data() + s.size()) return std::nullopt;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return value;
}

long long StrToInt(const std::string& text) {
  if (const auto value = ParseInteger(text)) return *value;
  throw EConvertError("'" + text + "' is not a valid integer value");
}

double StrToFloat(const std::string& text, char decimalSeparator) {
  if (const auto value = ParseReal(text, decimalSeparator)) return *value;
  throw EConvertError("'" + text + "' is not a valid floating point value");
}
