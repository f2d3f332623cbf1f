// The animation file: a header line, then one setting or keyframe per line (docs/animation.md).
#include <charconv>
#include <filesystem>
#include <fstream>
#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

#include "animation/animation.h"
#include "document/fractal_document.h"
#include "engine/supersample.h"
#include "files/param_file.h"
#include "files/safe_file.h"

namespace {

// No setting or keyframe line is anywhere near this long; a hostile file must not make the reader hold an
// unbounded line, nor an unbounded number of parameter sets.
constexpr std::size_t kMaxLineLength = 4096;
constexpr std::size_t kMaxKeyframes = 10000;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Reads one line ended by LF, CR LF or CR; false at the end of the input. A line beyond kMaxLineLength is cut
// there and flagged, the rest of it skipped.
bool ReadLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  int c = in.get();
  if (c == std::char_traits<char>::eof()) return false;
  for (; c != std::char_traits<char>::eof(); c = in.get()) {
    if (c == '\n') break;
    if (c == '\r') {
      if (in.peek() == '\n') in.get();
      break;
    }
    if (line.size() < kMaxLineLength)
      line.push_back(static_cast<char>(c));
    else
      tooLong = true;
  }
  return true;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

class TAnimationParser {
 public:
  explicit TAnimationParser(std::string path) : path_(std::move(path)) {}

  [[noreturn]] void Fail(const std::string& what) const {
    throw EAnimation(Quoted(path_) + " line " + std::to_string(line_) + ": " + what);
  }

  void Parse(std::istream& in, TAnimation& a) {
    std::string text;
    bool tooLong = false;
    bool headerSeen = false;
    while (ReadLine(in, text, tooLong)) {
      ++line_;
      if (tooLong) Fail("the line is longer than " + std::to_string(kMaxLineLength) + " characters");
      const std::string trimmed = Trim(text);
      if (!headerSeen) {
        if (trimmed != kAnimationHeader)
          Fail(std::string("not an animation file: the first line must be \"") + kAnimationHeader + "\"");
        headerSeen = true;
        continue;
      }
      if (trimmed.empty() || trimmed[0] == '#') continue;
      std::istringstream words(trimmed);
      std::string word;
      words >> word;
      if (word == "key") {
        ParseKey(words, a);
      } else {
        ParseSetting(word, words, a);
      }
    }
    if (!headerSeen) {
      line_ = 1;
      Fail("the file is empty");
    }
    if (a.keyframes.empty()) Fail("the animation has no keyframes (key TIME FILE.ifs)");
  }

  // The line of each keyframe, for the messages about its parameter file.
  const std::vector<int>& KeyLines() const { return keyLines_; }

 private:
  double Number(std::istringstream& words, const std::string& what) {
    std::string word;
    double value = 0;
    if (!(words >> word) || !ParseGeneralNumber(word, '.', value)) Fail(what + " needs a number");
    return value;
  }

  long long Whole(std::istringstream& words, const std::string& what, long long low, long long high) {
    std::string word;
    long long value = 0;
    const bool read = static_cast<bool>(words >> word);
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (!read || error != std::errc() || end != word.data() + word.size() || value < low || value > high)
      Fail(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
  }

  void NothingMore(std::istringstream& words, const std::string& setting) {
    std::string extra;
    if (words >> extra) Fail("unexpected " + Quoted(extra) + " after " + setting);
  }

  void ParseSetting(const std::string& word, std::istringstream& words, TAnimation& a) {
    if (!seen_.insert(word).second) Fail(word + " is given twice");
    if (word == "fps") {
      a.frameRate = Number(words, "fps");
      if (!(a.frameRate > 0 && a.frameRate <= 1000)) Fail("fps must be above 0 and at most 1000");
    } else if (word == "size") {
      a.width = static_cast<int>(Whole(words, "the width", 1, 16384));
      a.height = static_cast<int>(Whole(words, "the height", 1, 16384));
    } else if (word == "quality") {
      a.quality = Number(words, "quality");
      if (!(a.quality > 0)) Fail("quality must be above 0");
    } else if (word == "steps") {
      a.steps = Whole(words, "steps", 1, 1'000'000'000'000'000LL);
    } else if (word == "supersample") {
      a.supersample = static_cast<int>(Whole(words, "supersample", 1, kMaxSupersample));
    } else if (word == "filter-radius") {
      a.filterRadius = Number(words, "filter-radius");
      if (const std::string problem = SupersampleProblem(1, a.filterRadius); !problem.empty()) Fail(problem);
    } else if (word == "orbits") {
      a.orbits = static_cast<int>(Whole(words, "orbits", 1, 256));
    } else if (word == "maps") {
      a.maps = static_cast<int>(Whole(words, "maps", 0, 3));
    } else if (word == "seed") {
      std::string text;
      std::uint64_t seed = 0;
      words >> text;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
      if (text.empty() || error != std::errc() || end != text.data() + text.size())
        Fail("seed must be a whole number from 0 to 18446744073709551615");
      a.seed = seed;
    } else if (word == "interpolation") {
      std::string kind;
      words >> kind;
      if (kind == "smooth")
        a.interpolation = TInterpolation::Smooth;
      else if (kind == "linear")
        a.interpolation = TInterpolation::Linear;
      else
        Fail("interpolation must be smooth or linear");
    } else if (word == "ease") {
      std::string onOff;
      words >> onOff;
      if (onOff != "on" && onOff != "off") Fail("ease must be on or off");
      a.ease = onOff == "on";
    } else {
      Fail("unknown setting " + Quoted(word));
    }
    NothingMore(words, word);
    if (seen_.count("quality") && seen_.count("steps")) Fail("quality and steps cannot both be given");
  }

  void ParseKey(std::istringstream& words, TAnimation& a) {
    if (a.keyframes.size() >= kMaxKeyframes) Fail("more than " + std::to_string(kMaxKeyframes) + " keyframes");
    TKeyframe key;
    key.time = Number(words, "key (key TIME FILE.ifs)");
    std::string rest;
    std::getline(words, rest);
    key.path = Trim(rest);
    if (key.path.empty()) Fail("key needs a parameter file after its time (key TIME FILE.ifs)");
    if (!a.keyframes.empty() && !(key.time > a.keyframes.back().time))
      Fail("the key's time " + FormatGeneralNumber(key.time, '.') + " does not come after the one before (" +
           FormatGeneralNumber(a.keyframes.back().time, '.') + ")");
    a.keyframes.push_back(std::move(key));
    keyLines_.push_back(line_);
  }

  std::string path_;
  int line_ = 0;
  std::set<std::string> seen_;
  std::vector<int> keyLines_;
};

std::string ResolvedKeyPath(const std::string& animationPath, const std::string& keyPath) {
  const std::filesystem::path key(keyPath);
  if (key.is_absolute()) return keyPath;
  return (std::filesystem::path(animationPath).parent_path() / key).string();
}

void WriteAnimationText(std::ostream& out, const TAnimation& a) {
  const auto number = [](double value) { return FormatGeneralNumber(value, '.', TNumberDigits::Exact); };
  out << kAnimationHeader << "\n";
  out << "fps " << number(a.frameRate) << "\n";
  out << "size " << a.width << " " << a.height << "\n";
  if (a.steps > 0)
    out << "steps " << a.steps << "\n";
  else
    out << "quality " << number(a.quality) << "\n";
  out << "supersample " << a.supersample << "\n";
  out << "filter-radius " << number(a.filterRadius) << "\n";
  out << "orbits " << a.orbits << "\n";
  out << "maps " << a.maps << "\n";
  out << "seed " << a.seed << "\n";
  out << "interpolation " << (a.interpolation == TInterpolation::Smooth ? "smooth" : "linear") << "\n";
  out << "ease " << (a.ease ? "on" : "off") << "\n";
  for (const TKeyframe& key : a.keyframes) out << "key " << number(key.time) << " " << key.path << "\n";
}

void CheckKeyPaths(const TAnimation& a) {
  for (std::size_t k = 0; k < a.keyframes.size(); ++k) {
    const std::string& path = a.keyframes[k].path;
    if (path.empty()) throw EAnimation("keyframe " + std::to_string(k + 1) + " has no parameter file");
    if (path.find_first_of("\r\n") != std::string::npos || Trim(path) != path)
      throw EAnimation("the parameter file name of keyframe " + std::to_string(k + 1) +
                       " cannot be written on one line: " + Quoted(path));
  }
}

}  // namespace

TAnimation ReadAnimation(const std::string& path, const std::function<void(const std::string&)>& message) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw EAnimation("Cannot open file " + Quoted(path) + ": a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EAnimation("Cannot open file " + Quoted(path));
  TAnimation a;
  TAnimationParser parser(path);
  parser.Parse(in, a);
  for (std::size_t k = 0; k < a.keyframes.size(); ++k) {
    TKeyframe& key = a.keyframes[k];
    const std::string where = Quoted(path) + " line " + std::to_string(parser.KeyLines()[k]) + ": ";
    TFractalDocument document(a.width, a.height);
    const std::string file = ResolvedKeyPath(path, key.path);
    TParamReadResult result;
    try {
      result = document.Load(file, '.', [&](const std::string& text) {
        if (text != kParamReadErrorMessage && message) message(text);
      });
    } catch (const EParamFileOpen& e) {
      throw EAnimation(where + e.what());
    }
    if (result.readError)
      throw EAnimation(where + kParamReadErrorMessage + " " + Quoted(file) + " (line " +
                       std::to_string(result.errorLine) + ")");
    document.SetMaps(a.maps);
    key.params = document.Snapshot().values;  // without the document's handles, which die with it
  }
  CheckAnimation(a);
  return a;
}

void WriteAnimation(const std::string& path, const TAnimation& animation) {
  CheckKeyPaths(animation);
  WriteFileAtomically(path, [&](std::ostream& out) { WriteAnimationText(out, animation); });
}

void SaveAnimationWithKeyframes(const std::string& path, TAnimation& animation) {
  TAnimation saved = animation;
  const std::string stem = std::filesystem::path(path).stem().string();
  const std::size_t digits = std::max<std::size_t>(2, std::to_string(saved.keyframes.size()).size());
  std::vector<TGroupWrite> group;
  for (std::size_t k = 0; k < saved.keyframes.size(); ++k) {
    std::string number = std::to_string(k + 1);
    number.insert(0, digits - number.size(), '0');
    saved.keyframes[k].path = stem + "-key" + number + "." + kParamFileExtension;
    const std::string file = ResolvedKeyPath(path, saved.keyframes[k].path);
    const TFractalParams& params = saved.keyframes[k].params;
    group.push_back({file, [&params](const std::string& temporary) {
                       WriteFileAtomically(temporary, [&](std::ostream& out) {
                         WriteParameterFile(out, params, '.', TNumberDigits::Exact);
                       });
                     }});
  }
  CheckKeyPaths(saved);
  group.push_back({path, [&saved](const std::string& temporary) {
                     WriteFileAtomically(temporary, [&](std::ostream& out) { WriteAnimationText(out, saved); });
                   }});
  WriteFilesTogether(group);
  animation = std::move(saved);
}
