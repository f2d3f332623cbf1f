// The arithmetic between a fractal window's record and the controls of the Parameters and Coefficients
// dialogs, and the number texts the dialogs show and read. No widgets here, so all of it can be checked
// without a window.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "engine/fractal_params.h"

// Slider ranges of the Parameters dialog; every slider starts at 0.
constexpr int kIntensityMax = 64;
constexpr int kColorBarMax = 25;
constexpr int kRandomizerMax = 50;
constexpr int kProbabilityMax = 50;

// The log-density tone's sliders: brightness 0.01 to 10 and gamma 0.1 to 10, in hundredths.
constexpr int kToneBrightnessMin = 1;
constexpr int kToneBrightnessMax = 1000;
constexpr int kToneGammaMin = 10;
constexpr int kToneGammaMax = 1000;
constexpr long double kToneFactor = 0.01L;
constexpr long double kToneInverse = 100.0L;

// Record value = slider position x factor. The factors are extended-precision constants because the
// products are formed in extended precision and only then stored as doubles; a double 0.04 would give
// other last bits.
constexpr long double kColorFactor = 0.04L;
constexpr long double kProbabilityFactor = 0.01L;
constexpr long double kRandomizerFactor = 0.2L;
// Slider position = record value x inverse, rounded. Inverse of kColorFactor etc.
constexpr long double kColorInverse = 25.0L;
constexpr long double kProbabilityInverse = 100.0L;
constexpr long double kRandomizerInverse = 5.0L;

// Everything the Parameters dialog holds: eight slider positions and eighteen boxes.
struct TParameterControls {
  int intensity = 0, red = 0, green = 0, blue = 0, randomizer = 0, probability = 0;
  int toneBrightness = kToneBrightnessMin, toneGamma = kToneGammaMin;
  bool sqrtFilter = false, invert = false, logDensity = false;
  bool mira01 = false, latoocarfian01 = false, latoocarfian02 = false, ifs01 = false, ifs02 = false,
       cif01 = false, cif02 = false;
  bool none = false, linear = false, sinusoidal = false, spherical = false, swirl = false, horseshoe = false,
       polar = false, bent = false;

  bool operator==(const TParameterControls&) const = default;
};

// value x inverse, formed in extended precision from the stored double, rounded half to even and
// clamped to 0..max. A value beyond the range lands on the range's end; NaN lands on 0.
int SliderPosition(double value, long double inverse, int max);

// position x factor in extended precision, stored as a double.
double SliderValue(int position, long double factor);

// Record -> controls, the control half of Parameters1Update.
TParameterControls ParameterControlsFromRecord(const TFractalParams& v);

// Controls -> record, ApplyParameters without the labels. Touches exactly the fields the dialog shows.
void ApplyParameterControls(const TParameterControls& c, TFractalParams& v);

// The six value labels of the Parameters dialog, each the record value in "%F" form.
struct TParameterLabels {
  std::string red, green, blue, intensity, probability, randomizer, toneBrightness, toneGamma;
};
TParameterLabels ParameterLabelsFromRecord(const TFractalParams& v, char decimalSeparator);

// "%F": fixed notation with two decimals and the given separator (0.7 -> "0.70", 30 -> "30.00").
std::string FormatFixed2(double value, char decimalSeparator);

// A coefficient as its spin edit shows it: fixed notation with nine decimals.
constexpr int kCoefficientDecimals = 9;
std::string FormatFixed(double value, int decimals, char decimalSeparator);

// A real number written with the given separator; surrounding blanks are allowed, nothing else is.
// Returns nothing for text that is not a number.
std::optional<double> ParseReal(const std::string& text, char decimalSeparator);

// A 32-bit decimal integer with optional sign; surrounding blanks allowed. Nothing when the text is not
// one or does not fit.
std::optional<long long> ParseInteger(const std::string& text);

// A dialog text that could not be converted; what() is the message the user sees.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ParseInteger / ParseReal that raise EConvertError with the user's message:
// "'abc' is not a valid integer value", "'abc' is not a valid floating point value".
long long StrToInt(const std::string& text);
double StrToFloat(const std::string& text, char decimalSeparator);
