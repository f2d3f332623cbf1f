#include "files/param_file.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <type_traits>

#include <locale.h>

#include "engine/tone.h"
#include "files/gradient_file.h"
#include "files/safe_file.h"

namespace {

constexpr int kFirstValueLine = 2;
constexpr int kFirstFlagLine = 13;
constexpr int kFirstCoefficientLine = 51;
constexpr int kSignificantDigits = 15;

// The flags of lines 13 to 50. Line 29 stores `bent` a second time: old files carry it there, so the layout keeps it.
constexpr std::array<bool TFractalParams::*, 38> kFlagLines = {
    &TFractalParams::latoocarfian01, &TFractalParams::latoocarfian02, &TFractalParams::mira01,
    &TFractalParams::ifs01,          &TFractalParams::ifs02,          &TFractalParams::cif01,
    &TFractalParams::cif02,          &TFractalParams::none,           &TFractalParams::linear,
    &TFractalParams::sinusoidal,     &TFractalParams::spherical,      &TFractalParams::swirl,
    &TFractalParams::horseshoe,      &TFractalParams::polar,          &TFractalParams::bent,
    &TFractalParams::sqrtFilter,     &TFractalParams::bent,           &TFractalParams::mira0101,
    &TFractalParams::mira0102,       &TFractalParams::mira0103,       &TFractalParams::mira0104,
    &TFractalParams::mira0105,       &TFractalParams::mira0106,       &TFractalParams::mira0107,
    &TFractalParams::mira0108,       &TFractalParams::mira0109,       &TFractalParams::mira0110,
    &TFractalParams::mira0111,       &TFractalParams::mira0112,       &TFractalParams::mira0113,
    &TFractalParams::ifs0101,        &TFractalParams::ifs0102,        &TFractalParams::ifs0103,
    &TFractalParams::ifs0104,        &TFractalParams::ifs0105,        &TFractalParams::ifs0106,
    &TFractalParams::ifs0107,        &TFractalParams::ifs0108};

// Lines 2 to 12. Green comes before blue here, unlike the record.
constexpr std::array<double TFractalParams::*, 11> kNumberLines = {
    &TFractalParams::zoom,      &TFractalParams::xCenter,   &TFractalParams::xMax,
    &TFractalParams::yCenter,   &TFractalParams::yMax,      &TFractalParams::red,
    &TFractalParams::green,     &TFractalParams::blue,      &TFractalParams::intensity,
    &TFractalParams::probability, &TFractalParams::randomizer};

// A missing value on these lines re-arms reading for the next line: intensity, probability, randomizer and every
// coefficient. The view, the colours and the flags do not, so a file that ends early skips the flags entirely.
bool RearmsReading(int line) { return (line >= 10 && line <= 12) || line >= kFirstCoefficientLine; }

template <class V>
struct TLineField {
  using Double = std::conditional_t<std::is_const_v<V>, const double, double>;
  using Bool = std::conditional_t<std::is_const_v<V>, const bool, bool>;
  Double* number = nullptr;
  Bool* flag = nullptr;
};

template <class V>
TLineField<V> FieldOfLine(V& v, int line) {
  TLineField<V> field;
  if (line < kFirstFlagLine) {
    field.number = &(v.*kNumberLines[line - kFirstValueLine]);
  } else if (line < kFirstCoefficientLine) {
    field.flag = &(v.*kFlagLines[line - kFirstFlagLine]);
  } else {
    const int k = (line - kFirstCoefficientLine) / 2 + 1;
    field.number = (line - kFirstCoefficientLine) % 2 == 0 ? &v.af[k] : &v.af2[k];
  }
  return field;
}

// Reads lines ended by CR LF, LF or CR alone, as the files of every platform we meet come.
// At the end of the input it gives empty lines, like a text file read past its end.
class TLineReader {
 public:
  explicit TLineReader(std::istream& in) : in_(in) {}

  // Keeps at most kParamMaxLineLength characters; overlong tells whether more were dropped.
  void Next(std::string& line, bool& overlong) {
    line.clear();
    overlong = false;
    auto* buffer = in_.rdbuf();
    if (buffer == nullptr || atEnd_) return;
    for (;;) {
      int c;
      try {
        c = buffer->sbumpc();
      } catch (...) {
        failed_ = true;
        atEnd_ = true;
        return;
      }
      if (c == std::char_traits<char>::eof()) {
        atEnd_ = true;
        return;
      }
      if (c == '\n') return;
      if (c == '\r') {
        try {
          if (buffer->sgetc() == '\n') buffer->sbumpc();
        } catch (...) {
          failed_ = true;
          atEnd_ = true;
        }
        return;
      }
      if (line.size() < kParamMaxLineLength) {
        line.push_back(static_cast<char>(c));
      } else {
        overlong = true;
      }
    }
  }

  bool Failed() const { return failed_; }

 private:
  std::istream& in_;
  bool atEnd_ = false;
  bool failed_ = false;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A locale separator other than point or comma is honoured too, unless it could be part of a number itself.
bool IsPlainSeparator(char c) {
  return std::ispunct(static_cast<unsigned char>(c)) != 0 && c != '+' && c != '-';
}

locale_t ClassicLocale() {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return classic;
}

}  // namespace

std::string FormatGeneralNumber(double value, char decimalSeparator, TNumberDigits precision) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // Rounding to 15 digits first decides the form: 999999999999999.9 becomes 1E15, not a 16-digit integer. The
  // exact form takes the shortest digits that read back as the same double (up to 17).
  char buffer[64];
  const auto converted =
      precision == TNumberDigits::Exact
          ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific)
          : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kSignificantDigits - 1);
  const std::string scientific(buffer, converted.ptr);
  const bool negative = scientific[0] == '-';
  const std::size_t mantissaStart = negative ? 1 : 0;
  const std::size_t ePos = scientific.find('e');
  std::string digits;
  for (std::size_t i = mantissaStart; i < ePos; ++i) {
    if (IsDigit(scientific[i])) digits.push_back(scientific[i]);
  }
  const int exponent = std::atoi(scientific.c_str() + ePos + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = negative ? "-" : "";
  if (exponent >= -4 && exponent < kSignificantDigits) {
    if (exponent >= 0) {
      const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= integerDigits) {
        text += digits + std::string(integerDigits - digits.size(), '0');
      } else {
        text += digits.substr(0, integerDigits) + decimalSeparator + digits.substr(integerDigits);
      }
    } else {
      text += std::string("0") + decimalSeparator + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
  } else {
    text += digits[0];
    if (digits.size() > 1) text += decimalSeparator + digits.substr(1);
    text += 'E';
    if (exponent < 0) text += '-';
    text += std::to_string(exponent < 0 ? -exponent : exponent);
  }
  return text;
}

bool ParseGeneralNumber(const std::string& text, char decimalSeparator, double& value) {
  std::size_t i = 0;
  std::size_t end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;

  // Rebuilt in the C form so that the conversion depends neither on the process locale nor on the separator.
  std::string clean;
  if (i < end && (text[i] == '+' || text[i] == '-')) clean += text[i++];
  std::size_t mantissaDigits = 0;
  while (i < end && IsDigit(text[i])) {
    clean += text[i++];
    ++mantissaDigits;
  }
  if (i < end && text[i] == decimalSeparator) {
    clean += '.';
    ++i;
    while (i < end && IsDigit(text[i])) {
      clean += text[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < end && (text[i] == 'E' || text[i] == 'e')) {
    clean += 'e';
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-')) clean += text[i++];
    std::size_t exponentDigits = 0;
    while (i < end && IsDigit(text[i])) {
      clean += text[i++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return false;
  }
  if (i != end) return false;

  const locale_t classic = ClassicLocale();
  if (classic == static_cast<locale_t>(nullptr)) return false;
  char* stop = nullptr;
  const double converted = strtod_l(clean.c_str(), &stop, classic);
  if (stop != clean.c_str() + clean.size() || std::isinf(converted) || std::isnan(converted)) return false;
  value = converted;
  return true;
}

bool IsDotDecimal(char decimalSeparator) {
  return FormatGeneralNumber(2.0 / 3.0, decimalSeparator).find('.') != std::string::npos;
}

std::string ReplaceChar(const std::string& text, char from, char to) {
  std::string result = text;
  for (char& c : result) {
    if (c == from) c = to;
  }
  return result;
}

std::string MissingVariableMessage(const std::string& caption) {
  return "Missing variable in parameter file: " + caption + " using defaults";
}

void WriteParameterFile(std::ostream& out, const TFractalParams& v, char decimalSeparator, TNumberDigits digits) {
  out << kParamFileHeader << "\r\n";
  for (int line = kFirstValueLine; line <= kParamFileLineCount; ++line) {
    const auto field = FieldOfLine(v, line);
    if (field.flag != nullptr) {
      out << (*field.flag ? "1" : "0");
    } else {
      out << FormatGeneralNumber(*field.number, decimalSeparator, digits);
    }
    out << "\r\n";
  }
  // The tone lines follow only when the tone is not the defined colouring's, so that such files stay the
  // 170 lines every reader of that layout knows.
  if (ToneLinesNeeded(v) || GradientLinesNeeded(v)) {
    out << (v.logDensity ? "1" : "0") << "\r\n";
    out << FormatGeneralNumber(v.toneBrightness, decimalSeparator, digits) << "\r\n";
    out << FormatGeneralNumber(v.toneGamma, decimalSeparator, digits) << "\r\n";
  }
  if (GradientLinesNeeded(v)) {
    const TGradient& gradient = v.gradient.Get();
    std::string name = gradient.name.empty() ? std::string("gradient") : gradient.name;
    for (char& c : name)
      if (c == '\r' || c == '\n') c = ' ';
    out << (v.colouring == TColouring::Gradient ? "1" : "0") << "\r\n";
    out << name << "\r\n" << GradientColoursToHex(gradient) << "\r\n";
    out << FormatGeneralNumber(v.gradientView.offset, decimalSeparator, digits) << "\r\n";
    out << FormatGeneralNumber(v.gradientView.scale, decimalSeparator, digits) << "\r\n";
    out << (v.gradientView.reversed ? "1" : "0") << "\r\n";
    out << FormatGeneralNumber(v.vibrancy, decimalSeparator, digits) << "\r\n";
    for (const double position : v.colourPositions)
      out << FormatGeneralNumber(position, decimalSeparator, digits) << "\r\n";
  }
}

bool GradientLinesNeeded(const TFractalParams& v) {
  return v.colouring != TColouring::Defined || v.gradient.gradient != nullptr || v.gradientView != TGradientView{} ||
         v.vibrancy != kDefaultVibrancy || v.colourPositions != kDefaultColourPositions;
}

bool ToneLinesNeeded(const TFractalParams& v) {
  return v.logDensity || v.toneBrightness != kDefaultToneBrightness || v.toneGamma != kDefaultToneGamma;
}

std::string ParameterFilePathFor(const std::string& picturePath) {
  return ReplaceExtension(picturePath, kParamFileExtension);
}

std::string SaveParameterFile(const std::string& picturePath, const TFractalParams& v, char decimalSeparator,
                              const TFileSystem& files) {
  const std::string path = ParameterFilePathFor(picturePath);
  WriteFileAtomically(path, [&](std::ostream& out) { WriteParameterFile(out, v, decimalSeparator); }, files);
  return path;
}

namespace {

// The gradient lines after the tone lines, all or none: a file without them, or with one that does not read or lies
// outside its range, keeps the defined colouring and the default gradient.
void ReadGradientLines(TLineReader& lines, TFractalParams& v, char separator, char foreign, char decimalSeparator) {
  v.colouring = TColouring::Defined;
  v.colourPositions = kDefaultColourPositions;
  v.gradient = {};
  v.gradientView = {};
  v.vibrancy = kDefaultVibrancy;
  constexpr int kGradientLineCount = 10;
  std::string text[kGradientLineCount];
  bool overlong = false;
  for (int k = 0; k < kGradientLineCount; ++k) {
    lines.Next(text[k], overlong);
    if (lines.Failed() || overlong || text[k].empty()) return;
    // The name and the colours are no numbers.
    if (k == 1 || k == 2) continue;
    text[k] = ReplaceChar(text[k], foreign, separator);
    if (decimalSeparator != separator && IsPlainSeparator(decimalSeparator))
      text[k] = ReplaceChar(text[k], decimalSeparator, separator);
  }
  const auto flag = [](const std::string& line, bool& value) {
    value = line == "1";
    return line == "0" || line == "1";
  };
  bool gradientOn = false;
  TGradient gradient;
  gradient.name = text[1];
  TGradientView view;
  double vibrancy = 0;
  std::array<double, kColourPositions> positions{};
  if (!flag(text[0], gradientOn) || !GradientColoursFromHex(text[2], gradient) ||
      !ParseGeneralNumber(text[3], separator, view.offset) || !ParseGeneralNumber(text[4], separator, view.scale) ||
      !GradientScaleIsValid(view.scale) || !flag(text[5], view.reversed) ||
      !ParseGeneralNumber(text[6], separator, vibrancy) || !VibrancyIsValid(vibrancy))
    return;
  for (int k = 0; k < kColourPositions; ++k)
    if (!ParseGeneralNumber(text[7 + k], separator, positions[static_cast<std::size_t>(k)]) ||
        !ColourPositionIsValid(positions[static_cast<std::size_t>(k)]))
      return;
  const TGradient* builtIn = FindBuiltInGradient(gradient.name);
  v.gradient = builtIn != nullptr && *builtIn == gradient ? BuiltInGradientRef(gradient.name)
                                                          : TGradientRef{std::make_shared<const TGradient>(gradient)};
  if (builtIn != nullptr && builtIn->name == kDefaultGradientName && *builtIn == gradient) v.gradient = {};
  v.colouring = gradientOn ? TColouring::Gradient : TColouring::Defined;
  v.gradientView = view;
  v.vibrancy = vibrancy;
  v.colourPositions = positions;
}

}  // namespace

TParamReadResult ReadParameterFile(std::istream& in, TFractalParams& v, char decimalSeparator,
                                   const std::string& caption, const TParamMessage& message) {
  TParamReadResult result;
  const auto tell = [&](const std::string& text) {
    if (message) message(text);
  };
  const auto fail = [&](int fileLine) {
    tell(kParamReadErrorMessage);
    result.readError = true;
    result.errorLine = fileLine;
    return result;
  };

  // Both conventions read under either locale: the other convention's separator is turned into ours first.
  const bool dotDecimal = IsDotDecimal(decimalSeparator);
  const char separator = dotDecimal ? '.' : ',';
  const char foreign = dotDecimal ? ',' : '.';

  TLineReader lines(in);
  std::string paramLine;
  bool overlong = false;
  int fileLine = 1;
  lines.Next(paramLine, overlong);  // the header says nothing we rely on
  if (lines.Failed()) return fail(fileLine);

  bool paramReading = true;
  for (int line = kFirstValueLine; line <= kParamFileLineCount; ++line) {
    if (paramReading) {
      lines.Next(paramLine, overlong);
      ++fileLine;
      if (lines.Failed()) return fail(fileLine);
      if (paramLine.empty()) {
        tell(MissingVariableMessage(caption));
        ++result.missingCount;
        paramReading = false;
      }
      paramLine = ReplaceChar(paramLine, foreign, separator);
      if (decimalSeparator != separator && IsPlainSeparator(decimalSeparator)) {
        paramLine = ReplaceChar(paramLine, decimalSeparator, separator);
      }
    }
    const auto field = FieldOfLine(v, line);
    if (!paramReading) {
      if (RearmsReading(line)) paramReading = true;
      continue;
    }
    if (field.flag != nullptr) {
      *field.flag = !overlong && paramLine == "1";
      continue;
    }
    double value = 0;
    if (overlong || !ParseGeneralNumber(paramLine, separator, value)) return fail(fileLine);
    *field.number = value;
  }

  // Optional tone lines: a file without them (or with a damaged one) has the defined colouring.
  v.logDensity = false;
  v.toneBrightness = kDefaultToneBrightness;
  v.toneGamma = kDefaultToneGamma;
  v.colouring = TColouring::Defined;
  v.colourPositions = kDefaultColourPositions;
  v.gradient = {};
  v.gradientView = {};
  v.vibrancy = kDefaultVibrancy;
  if (!paramReading) return result;
  std::string toneLines[3];
  for (std::string& toneLine : toneLines) {
    lines.Next(toneLine, overlong);
    if (lines.Failed() || overlong || toneLine.empty()) return result;
    toneLine = ReplaceChar(toneLine, foreign, separator);
    if (decimalSeparator != separator && IsPlainSeparator(decimalSeparator))
      toneLine = ReplaceChar(toneLine, decimalSeparator, separator);
  }
  double brightness = 0, gamma = 0;
  if ((toneLines[0] != "0" && toneLines[0] != "1") || !ParseGeneralNumber(toneLines[1], separator, brightness) ||
      !ParseGeneralNumber(toneLines[2], separator, gamma) || !ToneBrightnessIsValid(brightness) ||
      !ToneGammaIsValid(gamma))
    return result;
  v.logDensity = toneLines[0] == "1";
  v.toneBrightness = brightness;
  v.toneGamma = gamma;
  ReadGradientLines(lines, v, separator, foreign, decimalSeparator);
  return result;
}

TParamReadResult LoadParameterFile(const std::string& path, TFractalParams& v, char decimalSeparator,
                                   const TParamMessage& message) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw EParamFileOpen("Cannot open file \"" + path + "\": " + std::strerror(EISDIR));
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw EParamFileOpen("Cannot open file \"" + path + "\": " + std::strerror(errno));
  }
  return ReadParameterFile(in, v, decimalSeparator, path, message);
}
