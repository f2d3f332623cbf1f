#include "files/gradient_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <istream>
#include <sstream>
#include <vector>

#include "files/param_file.h"

namespace {

// No line of either format needs more; a longer one is damage, not a colour.
constexpr std::size_t kMaxLineLength = 1024;

[[noreturn]] void Fail(int line, const std::string& why) {
  throw EGradientFile("line " + std::to_string(line) + ": " + why);
}

bool NextLine(std::istream& in, std::string& line, int& number) {
  if (!std::getline(in, line)) return false;
  ++number;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kMaxLineLength) Fail(number, "the line is too long");
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (in >> field) fields.push_back(field);
  return fields;
}

bool Blank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

bool ParseByte(const std::string& text, std::uint8_t& value) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < 0 || number > 255) return false;
  value = static_cast<std::uint8_t>(number);
  return true;
}

bool ParseReal(const std::string& text, double& value) { return ParseGeneralNumber(text, '.', value); }

// ---- GIMP gradients -----------------------------------------------------------------------------------------------

enum class TBlend { Linear = 0, Curved = 1, Sine = 2, SphereIncreasing = 3, SphereDecreasing = 4, Step = 5 };
enum class TColourModel { Rgb = 0, HsvCounterClockwise = 1, HsvClockwise = 2 };

struct TSegment {
  double left = 0, middle = 0, right = 0;
  std::array<double, 3> leftColour{}, rightColour{};
  TBlend blend = TBlend::Linear;
  TColourModel model = TColourModel::Rgb;
};

constexpr double kEpsilon = 1e-10;

// The blend factor at `pos` within a segment, after the format's own definitions of its blend functions.
double BlendFactor(const TSegment& s, double pos) {
  const double length = s.right - s.left;
  double middle = 0.5;
  if (length < kEpsilon) {
    pos = 0.5;
  } else {
    middle = (s.middle - s.left) / length;
    pos = (pos - s.left) / length;
  }
  const auto linear = [&] {
    if (pos <= middle) return middle < kEpsilon ? 0.0 : 0.5 * pos / middle;
    const double rest = 1 - middle;
    return rest < kEpsilon ? 1.0 : 0.5 + 0.5 * (pos - middle) / rest;
  };
  switch (s.blend) {
    case TBlend::Linear:
      return linear();
    case TBlend::Curved:
      return middle < kEpsilon ? 1.0 : std::pow(pos, std::log(0.5) / std::log(middle));
    case TBlend::Sine:
      return (std::sin(-M_PI / 2 + M_PI * linear()) + 1) / 2;
    case TBlend::SphereIncreasing: {
      const double f = linear() - 1;
      return std::sqrt(std::max(0.0, 1 - f * f));
    }
    case TBlend::SphereDecreasing: {
      const double f = linear();
      return 1 - std::sqrt(std::max(0.0, 1 - f * f));
    }
    case TBlend::Step:
      return pos >= middle ? 1.0 : 0.0;
  }
  return linear();
}

std::array<double, 3> ToHsv(const std::array<double, 3>& c) {
  const double high = std::max({c[0], c[1], c[2]}), low = std::min({c[0], c[1], c[2]});
  const double delta = high - low;
  double hue = 0;
  if (delta > 0) {
    if (high == c[0])
      hue = std::fmod((c[1] - c[2]) / delta + 6, 6);
    else if (high == c[1])
      hue = (c[2] - c[0]) / delta + 2;
    else
      hue = (c[0] - c[1]) / delta + 4;
  }
  return {hue / 6, high > 0 ? delta / high : 0, high};
}

std::array<double, 3> FromHsv(const std::array<double, 3>& hsv) {
  const double h = (hsv[0] - std::floor(hsv[0])) * 6, s = hsv[1], v = hsv[2];
  const int sector = std::min(static_cast<int>(h), 5);
  const double f = h - sector, p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (sector) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
  }
}

std::array<double, 3> SegmentColour(const TSegment& s, double pos) {
  const double f = BlendFactor(s, pos);
  if (s.model == TColourModel::Rgb) {
    std::array<double, 3> c{};
    for (int k = 0; k < 3; ++k) c[k] = s.leftColour[k] + (s.rightColour[k] - s.leftColour[k]) * f;
    return c;
  }
  const std::array<double, 3> a = ToHsv(s.leftColour), b = ToHsv(s.rightColour);
  // Counter-clockwise: hue increases from left to right (wrapping past 1), clockwise: it decreases.
  double hueDelta = b[0] - a[0];
  if (s.model == TColourModel::HsvCounterClockwise && hueDelta < 0) hueDelta += 1;
  if (s.model == TColourModel::HsvClockwise && hueDelta > 0) hueDelta -= 1;
  return FromHsv({a[0] + hueDelta * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f});
}

TSegment ParseSegment(const std::string& line, int number) {
  // left middle right, the left colour's r g b a, the right colour's r g b a, blend, colouring [two end flags]
  const std::vector<std::string> fields = Fields(line);
  if (fields.size() != 13 && fields.size() != 15)
    Fail(number, "a segment has 13 or 15 numbers (left, middle, right, two RGBA colours, blend, colouring), not " +
                     std::to_string(fields.size()));
  double values[15] = {};
  for (std::size_t k = 0; k < fields.size(); ++k)
    if (!ParseReal(fields[k], values[k])) Fail(number, "'" + fields[k] + "' is not a number");
  TSegment s;
  s.left = values[0];
  s.middle = values[1];
  s.right = values[2];
  if (!(s.left >= 0 && s.left <= s.middle && s.middle <= s.right && s.right <= 1))
    Fail(number, "the segment's left, middle and right positions must rise within 0 to 1");
  for (int k = 3; k <= 10; ++k)
    if (!(values[k] >= 0 && values[k] <= 1)) Fail(number, "a colour value lies outside 0 to 1");
  for (int k = 0; k < 3; ++k) {
    s.leftColour[static_cast<std::size_t>(k)] = values[3 + k];
    s.rightColour[static_cast<std::size_t>(k)] = values[7 + k];
  }
  const double blend = values[11], model = values[12];
  if (blend != std::floor(blend) || blend < 0 || blend > 5) Fail(number, "the blend function must be 0 to 5");
  if (model != std::floor(model) || model < 0 || model > 2) Fail(number, "the colouring must be 0, 1 or 2");
  s.blend = static_cast<TBlend>(static_cast<int>(blend));
  s.model = static_cast<TColourModel>(static_cast<int>(model));
  return s;
}

std::uint8_t ToByte(double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value * 255), 0L, 255L)); }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

}  // namespace

TGradient ReadMapGradient(std::istream& in, const std::string& name) {
  TGradient g;
  g.name = name;
  std::string line;
  int number = 0;
  while (NextLine(in, line, number)) {
    if (Blank(line)) continue;
    const std::vector<std::string> fields = Fields(line);
    TGradientColour c;
    if (fields.size() < 3 || !ParseByte(fields[0], c.r) || !ParseByte(fields[1], c.g) || !ParseByte(fields[2], c.b))
      Fail(number, "expected three whole numbers from 0 to 255 (red green blue)");
    if (g.colours.size() == kMaxGradientColours)
      Fail(number, "a palette map has at most " + std::to_string(kMaxGradientColours) + " colours");
    g.colours.push_back(c);
  }
  if (in.bad()) throw EGradientFile("the file cannot be read");
  if (g.colours.size() < kMinGradientColours)
    throw EGradientFile("a palette map needs at least " + std::to_string(kMinGradientColours) + " colours, this one has " +
                        std::to_string(g.colours.size()));
  return g;
}

TGradient ReadGgrGradient(std::istream& in, const std::string& name) {
  std::string line;
  int number = 0;
  if (!NextLine(in, line, number) || line != "GIMP Gradient") Fail(1, "a GIMP gradient starts with \"GIMP Gradient\"");
  TGradient g;
  g.name = name;
  if (!NextLine(in, line, number)) Fail(number + 1, "the file ends before its segment count");
  if (line.rfind("Name:", 0) == 0) {
    std::string title = line.substr(5);
    title.erase(0, title.find_first_not_of(' '));
    if (!title.empty()) g.name = title;
    if (!NextLine(in, line, number)) Fail(number + 1, "the file ends before its segment count");
  }
  const std::vector<std::string> countFields = Fields(line);
  int count = 0;
  if (countFields.size() != 1 || std::from_chars(countFields[0].data(), countFields[0].data() + countFields[0].size(), count).ptr !=
                                     countFields[0].data() + countFields[0].size() ||
      count < 1 || count > 4096)
    Fail(number, "expected the number of segments, 1 to 4096");
  std::vector<TSegment> segments;
  for (int k = 0; k < count; ++k) {
    if (!NextLine(in, line, number))
      Fail(number + 1, "the file ends after " + std::to_string(k) + " of its " + std::to_string(count) + " segments");
    segments.push_back(ParseSegment(line, number));
    if (k > 0 && std::fabs(segments[k].left - segments[k - 1].right) > 1e-6)
      Fail(number, "the segment does not start where the one before it ends");
  }
  for (int i = 0; i < kGradientSamples; ++i) {
    const double u = static_cast<double>(i) / (kGradientSamples - 1);
    const TSegment* segment = &segments.back();
    for (const TSegment& s : segments)
      if (u <= s.right) {
        segment = &s;
        break;
      }
    const std::array<double, 3> c = SegmentColour(*segment, std::clamp(u, segment->left, segment->right));
    g.colours.push_back({ToByte(c[0]), ToByte(c[1]), ToByte(c[2])});
  }
  return g;
}

TGradient LoadGradientFile(const std::string& path) {
  const std::filesystem::path file(path);
  const std::string extension = Lower(file.extension().string());
  const std::string name = file.stem().string();
  const auto fail = [&](const std::string& why) -> EGradientFile {
    return EGradientFile("Cannot read gradient \"" + path + "\": " + why);
  };
  if (extension != ".map" && extension != ".ggr") throw fail("a gradient file ends in .map or .ggr");
  std::error_code ignored;
  if (std::filesystem::is_directory(file, ignored)) throw fail("it is a folder");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw fail("the file cannot be opened");
  try {
    return extension == ".map" ? ReadMapGradient(in, name) : ReadGgrGradient(in, name);
  } catch (const EGradientFile& e) {
    throw fail(e.what());
  }
}

TGradientRef GradientFromNameOrFile(const std::string& nameOrPath) {
  TGradientRef builtIn = BuiltInGradientRef(nameOrPath);
  if (builtIn.gradient != nullptr) return builtIn;
  const std::string extension = Lower(std::filesystem::path(nameOrPath).extension().string());
  if (extension != ".map" && extension != ".ggr")
    throw EGradientFile("\"" + nameOrPath + "\" is neither a built-in gradient nor a .map or .ggr file");
  return {std::make_shared<const TGradient>(LoadGradientFile(nameOrPath))};
}

std::string GradientColoursToHex(const TGradient& gradient) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const TGradientColour& c : gradient.colours)
    for (const std::uint8_t byte : {c.r, c.g, c.b}) {
      text += kDigits[byte >> 4];
      text += kDigits[byte & 15];
    }
  return text;
}

bool GradientColoursFromHex(const std::string& text, TGradient& gradient) {
  if (text.size() % 6 != 0 || text.size() / 6 < kMinGradientColours || text.size() / 6 > kMaxGradientColours)
    return false;
  const auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<TGradientColour> colours;
  for (std::size_t i = 0; i < text.size(); i += 6) {
    std::uint8_t bytes[3];
    for (int k = 0; k < 3; ++k) {
      const int high = digit(text[i + 2 * k]), low = digit(text[i + 2 * k + 1]);
      if (high < 0 || low < 0) return false;
      bytes[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    colours.push_back({bytes[0], bytes[1], bytes[2]});
  }
  gradient.colours = std::move(colours);
  return true;
}
