#include "cli/render_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <tuple>

#include "engine/gradient.h"
#include "engine/supersample.h"
#include "engine/tone.h"
#include "explore/explore_family.h"
#include "explore/explore_search.h"
#include "files/param_file.h"

namespace {

// Whole numbers only: no sign unless allowed, no blanks, no trailing text.
template <class T>
std::optional<T> ParseWhole(const std::string& text) {
  if (text.empty() || text[0] == '+' || text[0] == ' ') return std::nullopt;
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

[[noreturn]] void Refuse(const std::string& option, const std::string& value, const std::string& expected) {
  throw ERenderUsage("invalid value '" + value + "' for " + option + ": expected " + expected);
}

std::int64_t WholeInRange(const std::string& option, const std::string& value, std::int64_t low, std::int64_t high,
                          const std::string& expected) {
  const auto number = ParseWhole<std::int64_t>(value);
  if (!number || *number < low || *number > high) Refuse(option, value, expected);
  return *number;
}

double PositiveNumber(const std::string& option, const std::string& value, double high) {
  double number = 0;
  if (!ParseGeneralNumber(value, '.', number) || !(number > 0) || number > high) {
    Refuse(option, value, "a number greater than 0");
  }
  return number;
}

double NumberInRange(const std::string& option, const std::string& value, double low, double high) {
  double number = 0;
  if (!ParseGeneralNumber(value, '.', number) || !(number >= low && number <= high)) {
    Refuse(option, value, "a number from " + FormatGeneralNumber(low, '.') + " to " + FormatGeneralNumber(high, '.'));
  }
  return number;
}

// The colour sliders reach 0 to 2; a file may hold more, and so may the command line, within reason.
double ColourFactor(const std::string& option, const std::string& value) {
  return NumberInRange(option, value, 0, 100);
}

template <class T>
T Choice(const std::string& option, const std::string& value, const std::map<std::string, T>& choices) {
  const auto found = choices.find(value);
  if (found != choices.end()) return found->second;
  std::string names;
  for (const auto& [name, unused] : choices) names += (names.empty() ? "" : "|") + name;
  Refuse(option, value, names);
}

std::array<double, kColourPositions> ColourPositions(const std::string& value) {
  std::array<double, kColourPositions> positions{};
  const std::string expected = "three numbers from 0 to 1 separated by commas (P1,P2,P3)";
  std::size_t from = 0;
  for (int k = 0; k < kColourPositions; ++k) {
    const std::size_t comma = k + 1 < kColourPositions ? value.find(',', from) : value.size();
    if (comma == std::string::npos) Refuse("--colour-positions", value, expected);
    double p = 0;
    if (!ParseGeneralNumber(value.substr(from, comma - from), '.', p) || !ColourPositionIsValid(p))
      Refuse("--colour-positions", value, expected);
    positions[static_cast<std::size_t>(k)] = p;
    from = comma + 1;
  }
  return positions;
}

std::string GradientName(const std::string& value) {
  if (FindBuiltInGradient(value) != nullptr) return value;
  const auto dot = value.rfind('.');
  std::string extension = dot == std::string::npos ? "" : value.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension != "map" && extension != "ggr")
    Refuse("--gradient", value, "a built-in gradient (see --help) or a .map or .ggr file");
  return value;
}

std::pair<int, int> Size(const std::string& value) {
  const auto x = value.find_first_of("xX");
  const std::string expected = "WxH with W and H from 1 to " + std::to_string(kMaxRenderSide);
  if (x == std::string::npos) Refuse("--size", value, expected);
  const auto width = ParseWhole<int>(value.substr(0, x));
  const auto height = ParseWhole<int>(value.substr(x + 1));
  if (!width || !height || *width < 1 || *height < 1 || *width > kMaxRenderSide || *height > kMaxRenderSide) {
    Refuse("--size", value, expected);
  }
  return {*width, *height};
}

void TiffResolution(const std::string& value, TFileOptions& options) {
  const auto comma = value.find(',');
  const std::string expected = "X,Y with whole numbers from 1 to 2147483647";
  if (comma == std::string::npos) Refuse("--tiff-res", value, expected);
  const auto x = ParseWhole<std::int32_t>(value.substr(0, comma));
  const auto y = ParseWhole<std::int32_t>(value.substr(comma + 1));
  if (!x || !y || *x < 1 || *y < 1) Refuse("--tiff-res", value, expected);
  options.TIFFResXNum = *x;
  options.TIFFResXDen = 1;
  options.TIFFResYNum = *y;
  options.TIFFResYDen = 1;
}

using TSwitch = std::function<void(TRenderOptions&)>;
using TValued = std::function<void(TRenderOptions&, const std::string&)>;

const std::map<std::string, TSwitch>& Switches() {
  static const std::map<std::string, TSwitch> switches = {
      {"--white", [](TRenderOptions& o) { o.white = true; }},
      {"--random", [](TRenderOptions& o) { o.random = true; }},
      {"--write-params", [](TRenderOptions& o) { o.writeParams = true; }},
      {"--quiet", [](TRenderOptions& o) { o.quiet = true; }},
      {"--help", [](TRenderOptions& o) { o.help = true; }},
      {"-h", [](TRenderOptions& o) { o.help = true; }},
      {"--version", [](TRenderOptions& o) { o.version = true; }},
      {"--progressive", [](TRenderOptions& o) { o.fileOptions.JPEGProgressive = true; }},
      {"--pnm-binary", [](TRenderOptions& o) { o.fileOptions.PXMWriteBinary = true; }},
      {"--tiff-cmyk", [](TRenderOptions& o) { o.fileOptions.TIFFWriteCMYK = true; }},
      {"--tiff-white-is-zero", [](TRenderOptions& o) { o.fileOptions.TIFFWhiteIsZero = true; }},
      {"--no-gamma", [](TRenderOptions& o) { o.fileOptions.WriteGamma = false; }},
      {"--merge", [](TRenderOptions& o) { o.merge = true; }},
      {"--gradient-reverse", [](TRenderOptions& o) { o.gradientReversed = true; }},
      {"--keep-view", [](TRenderOptions& o) { o.keepView = true; }},
  };
  return switches;
}

const std::map<std::string, TValued>& ValuedOptions() {
  static const std::map<std::string, TValued> options = {
      {"-o", [](TRenderOptions& o, const std::string& v) { o.outputPath = v; }},
      {"--output", [](TRenderOptions& o, const std::string& v) { o.outputPath = v; }},
      {"--size",
       [](TRenderOptions& o, const std::string& v) { std::tie(o.width, o.height) = Size(v); }},
      {"--steps",
       [](TRenderOptions& o, const std::string& v) {
         o.steps = WholeInRange("--steps", v, 1, std::numeric_limits<std::int64_t>::max(),
                                "a whole number of at least 1");
       }},
      // A bound far beyond any useful run keeps the deadline arithmetic of the clock in range.
      {"--seconds",
       [](TRenderOptions& o, const std::string& v) { o.seconds = PositiveNumber("--seconds", v, 1e9); }},
      {"--seed",
       [](TRenderOptions& o, const std::string& v) {
         const auto seed = ParseWhole<std::uint64_t>(v);
         if (!seed) Refuse("--seed", v, "a whole number from 0 to 18446744073709551615");
         o.seed = *seed;
       }},
      {"--maps",
       [](TRenderOptions& o, const std::string& v) {
         o.maps = static_cast<int>(WholeInRange("--maps", v, 0, 3, "0, 1, 2 or 3"));
       }},
      {"--orbits",
       [](TRenderOptions& o, const std::string& v) {
         o.orbits = static_cast<int>(WholeInRange("--orbits", v, 1, kMaxRenderOrbits,
                                                  "a whole number from 1 to " + std::to_string(kMaxRenderOrbits)));
       }},
      {"--threads",
       [](TRenderOptions& o, const std::string& v) {
         o.threads = static_cast<int>(WholeInRange("--threads", v, 1, kMaxRenderOrbits,
                                                   "a whole number from 1 to " + std::to_string(kMaxRenderOrbits)));
       }},
      {"--jpeg-quality",
       [](TRenderOptions& o, const std::string& v) {
         o.fileOptions.JPEGQuality =
             static_cast<std::uint8_t>(WholeInRange("--jpeg-quality", v, 0, 100, "a whole number from 0 to 100"));
       }},
      {"--jpeg-dct",
       [](TRenderOptions& o, const std::string& v) {
         o.fileOptions.JPEGWriteDCTMethod = Choice<TJPEGDCTMethod>(
             "--jpeg-dct", v,
             {{"int", TJPEGDCTMethod::IntPrecise}, {"fast", TJPEGDCTMethod::IntFast},
              {"float", TJPEGDCTMethod::FloatingPoint}});
       }},
      {"--tiff-compression",
       [](TRenderOptions& o, const std::string& v) {
         o.fileOptions.TIFFCompression = Choice<std::int32_t>(
             "--tiff-compression", v, {{"none", TIFFCompressionNone}, {"packbits", TIFFCompressionPackBits}});
       }},
      {"--tiff-byte-order",
       [](TRenderOptions& o, const std::string& v) {
         o.fileOptions.TIFFByteOrderM = Choice<bool>("--tiff-byte-order", v, {{"I", false}, {"M", true}});
       }},
      {"--tiff-res-unit",
       [](TRenderOptions& o, const std::string& v) {
         o.fileOptions.TIFFResUnit = Choice<TTIFFResUnit>(
             "--tiff-res-unit", v,
             {{"none", TTIFFResUnit::None}, {"inch", TTIFFResUnit::Inch}, {"cm", TTIFFResUnit::Centimeter}});
       }},
      {"--tiff-res", [](TRenderOptions& o, const std::string& v) { TiffResolution(v, o.fileOptions); }},
      {"--gamma",
       [](TRenderOptions& o, const std::string& v) {
         double gamma = 0;
         if (!ParseGeneralNumber(v, '.', gamma) || !ScreenGammaIsValid(gamma)) Refuse("--gamma", v, "a number from 0.001 to 1000");
         o.fileOptions.ScreenGamma = gamma;
       }},
      {"--animate", [](TRenderOptions& o, const std::string& v) { o.animatePath = v; }},
      {"--frames",
       [](TRenderOptions& o, const std::string& v) {
         const auto dash = v.find('-');
         const std::string expected = "A-B or A, whole numbers from 0 with A <= B";
         const auto a = ParseWhole<int>(v.substr(0, dash));
         const auto b = dash == std::string::npos ? a : ParseWhole<int>(v.substr(dash + 1));
         if (!a || !b || *a < 0 || *b < *a) Refuse("--frames", v, expected);
         o.frames = std::pair(*a, *b);
       }},
      {"--explore",
       [](TRenderOptions& o, const std::string& v) {
         o.explore = static_cast<int>(WholeInRange("--explore", v, 1, kMaxExploreCount,
                                                   "a whole number from 1 to " + std::to_string(kMaxExploreCount)));
       }},
      {"--family",
       [](TRenderOptions& o, const std::string& v) {
         if (!ParseExploreFamily(v)) Refuse("--family", v, ExploreFamilyNames());
         o.family = v;
       }},
      {"--variations",
       [](TRenderOptions& o, const std::string& v) {
         if (!ParseVariations(v))
           Refuse("--variations", v, "a comma-separated list of none, linear, sinusoidal, spherical, swirl, "
                                     "horseshoe, polar, bent");
         o.variations = v;
       }},
      {"--mutate", [](TRenderOptions& o, const std::string& v) { o.mutatePath = v; }},
      {"--distance",
       [](TRenderOptions& o, const std::string& v) { o.distance = NumberInRange("--distance", v, 0, 10); }},
      {"--save-counts", [](TRenderOptions& o, const std::string& v) { o.saveCountsPath = v; }},
      {"--retone", [](TRenderOptions& o, const std::string& v) { o.retonePath = v; }},
      {"--resume", [](TRenderOptions& o, const std::string& v) { o.resumePath = v; }},
      {"--red", [](TRenderOptions& o, const std::string& v) { o.red = ColourFactor("--red", v); }},
      {"--green", [](TRenderOptions& o, const std::string& v) { o.green = ColourFactor("--green", v); }},
      {"--blue", [](TRenderOptions& o, const std::string& v) { o.blue = ColourFactor("--blue", v); }},
      {"--intensity",
       [](TRenderOptions& o, const std::string& v) { o.intensity = PositiveNumber("--intensity", v, 1e6); }},
      {"--tone",
       [](TRenderOptions& o, const std::string& v) {
         o.tone = Choice<TRenderTone>("--tone", v,
                                      {{"linear", TRenderTone::Linear}, {"sqrt", TRenderTone::Sqrt}, {"log", TRenderTone::Log}});
       }},
      {"--brightness",
       [](TRenderOptions& o, const std::string& v) {
         o.brightness = NumberInRange("--brightness", v, kMinToneBrightness, kMaxToneBrightness);
       }},
      {"--colouring",
       [](TRenderOptions& o, const std::string& v) {
         o.colouring = Choice<TColouring>("--colouring", v,
                                          {{"defined", TColouring::Defined}, {"gradient", TColouring::Gradient}});
       }},
      {"--gradient", [](TRenderOptions& o, const std::string& v) { o.gradient = GradientName(v); }},
      {"--gradient-offset",
       [](TRenderOptions& o, const std::string& v) { o.gradientOffset = NumberInRange("--gradient-offset", v, -1e6, 1e6); }},
      {"--gradient-scale",
       [](TRenderOptions& o, const std::string& v) {
         o.gradientScale = NumberInRange("--gradient-scale", v, kMinGradientScale, kMaxGradientScale);
       }},
      {"--vibrancy",
       [](TRenderOptions& o, const std::string& v) { o.vibrancy = NumberInRange("--vibrancy", v, kMinVibrancy, kMaxVibrancy); }},
      {"--colour-positions", [](TRenderOptions& o, const std::string& v) { o.colourPositions = ColourPositions(v); }},
      {"--tone-gamma",
       [](TRenderOptions& o, const std::string& v) {
         o.toneGamma = NumberInRange("--tone-gamma", v, kMinToneGamma, kMaxToneGamma);
       }},
      {"--supersample",
       [](TRenderOptions& o, const std::string& v) {
         o.supersample = static_cast<int>(WholeInRange("--supersample", v, 1, kMaxSupersample,
                                                       "a whole number from 1 to " + std::to_string(kMaxSupersample)));
       }},
      {"--filter-radius",
       [](TRenderOptions& o, const std::string& v) {
         o.filterRadius = NumberInRange("--filter-radius", v, 0, kMaxFilterRadius);
       }},
      {"--quality",
       [](TRenderOptions& o, const std::string& v) { o.quality = PositiveNumber("--quality", v, 1e9); }},
  };
  return options;
}

}  // namespace

TRenderOptions ParseRenderArguments(const std::vector<std::string>& args) {
  TRenderOptions options;
  std::vector<std::string> positional;
  bool stepsGiven = false;
  bool outputGiven = false;
  bool sizeGiven = false;
  bool optionsEnded = false;
  std::vector<std::string> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const auto equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (const auto found = Switches().find(name); found != Switches().end()) {
      if (value) throw ERenderUsage("option " + name + " takes no value");
      found->second(options);
      given.push_back(name);
      continue;
    }
    const auto found = ValuedOptions().find(name);
    if (found == ValuedOptions().end()) throw ERenderUsage("unknown option '" + arg + "'");
    if (!value) {
      if (i + 1 >= args.size()) throw ERenderUsage("option " + name + " needs a value");
      value = args[++i];
    }
    found->second(options, *value);
    given.push_back(name);
    if (name == "--steps") stepsGiven = true;
    if (name == "-o" || name == "--output") outputGiven = true;
    if (name == "--size") sizeGiven = true;
  }
  if (options.merge) {
    if (positional.empty()) throw ERenderUsage("--merge needs the hit-count documents to add");
    if (options.retonePath || options.resumePath)
      throw ERenderUsage(std::string("--merge and ") + (options.retonePath ? "--retone" : "--resume") +
                         " cannot be used together");
    options.mergePaths = positional;
  } else if ((options.retonePath || options.resumePath) && !positional.empty()) {
    throw ERenderUsage(std::string(options.retonePath ? "--retone paints" : "--resume continues") +
                       " a document; a parameter file cannot be given too: '" + positional[0] + "'");
  } else if (options.retonePath && options.resumePath) {
    throw ERenderUsage("--retone and --resume cannot be used together");
  } else if (positional.size() > 1) {
    throw ERenderUsage("more than one parameter file: '" + positional[1] + "'");
  } else if (!positional.empty()) {
    options.paramsPath = positional[0];
  }
  if (options.resumePath && (options.colouring || options.colourPositions))
    throw ERenderUsage(std::string(options.colouring ? "--colouring" : "--colour-positions") +
                       " decides what a render counts and cannot change when it is resumed");
  if (stepsGiven && options.seconds) throw ERenderUsage("--steps and --seconds cannot be used together");
  if (options.quality && (stepsGiven || options.seconds))
    throw ERenderUsage(std::string("--quality and ") + (stepsGiven ? "--steps" : "--seconds") +
                       " cannot be used together");
  if (options.quality) {
    const double steps = std::round(*options.quality * options.width * options.height);
    options.steps = static_cast<std::int64_t>(std::clamp(steps, 1.0, 9e18));
  }
  options.stepsGiven = stepsGiven;
  options.seedGiven = std::find(given.begin(), given.end(), "--seed") != given.end();
  if (options.frames && !options.animatePath) throw ERenderUsage("--frames needs --animate FILE.ovanim");
  if (options.animatePath) {
    // The animation file says how every frame is drawn, so that frames drawn by separate runs belong together.
    const std::vector<std::string> allowed = {"--animate", "--frames", "-o", "--output", "--seed", "--threads",
                                              "--quiet", "--jpeg-quality", "--jpeg-dct", "--progressive",
                                              "--pnm-binary", "--tiff-compression", "--tiff-cmyk",
                                              "--tiff-byte-order", "--tiff-white-is-zero", "--tiff-res-unit",
                                              "--tiff-res", "--no-gamma", "--gamma", "--help", "-h", "--version"};
    for (const std::string& name : given)
      if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
        throw ERenderUsage("--animate takes the frames' size, steps, colours and switches from the animation file: " +
                           name + " does not apply");
    if (!positional.empty() || options.merge)
      throw ERenderUsage("--animate reads its parameter files from the animation file: '" +
                         (positional.empty() ? std::string("--merge") : positional[0]) + "'");
    if (!outputGiven) throw ERenderUsage("--animate needs the frames' file names or a video: -o DIR/frame-%04d.png");
  }
  if (options.mutatePath && !options.explore) options.explore = kDefaultMutateCount;
  if (options.explore) {
    if (options.merge || options.retonePath || options.resumePath || options.paramsPath)
      throw ERenderUsage("--explore and --mutate write a folder of their own: no parameter file, --merge, --retone or "
                         "--resume");
    if (options.seconds || options.quality)
      throw ERenderUsage("--explore draws each thumbnail for --steps, not --seconds or --quality");
    if (options.Supersampled()) throw ERenderUsage("--explore draws plain thumbnails: no --supersample or --filter-radius");
    if (!outputGiven) throw ERenderUsage("--explore needs the folder to write into: -o DIR");
    if (options.width > kMaxExploreSide || options.height > kMaxExploreSide)
      throw ERenderUsage("--explore draws thumbnails of at most " + std::to_string(kMaxExploreSide) + " pixels a side");
    if (!sizeGiven) {
      options.width = kDefaultThumbnailWidth;
      options.height = kDefaultThumbnailHeight;
    }
    if (!stepsGiven) options.steps = kDefaultThumbnailSteps;
  }
  if (options.outputPath.empty()) throw ERenderUsage("the output file name is empty");
  return options;
}

std::string RenderHelpTemplate();

std::string RenderUsageText() {
  return "Usage: ovel-ifs-render [PARAMS.ifs] [-o OUT] [--size WxH] [--steps N | --seconds S] [--seed N]\n"
         "                       [--maps 0..3] [--orbits K] [--threads T] [--white] [--random] [--write-params]\n"
         "                       [--quiet] [file options] [--save-counts FILE.ovc] [colour options]\n"
         "       ovel-ifs-render --resume FILE.ovc --steps N -o OUT [--threads T] [--save-counts FILE.ovc]\n"
         "       ovel-ifs-render --merge A.ovc B.ovc... -o OUT\n"
         "       ovel-ifs-render --retone FILE.ovc -o OUT [colour options]\n"
         "       ovel-ifs-render --explore N [--family F] [--seed S] [--size WxH] -o DIR\n"
         "       ovel-ifs-render --mutate FILE.ifs [--distance D] [--explore N] -o DIR\n"
         "       ovel-ifs-render --animate FILE.ovanim [--frames A-B] [--seed N] [--threads T] -o OUT\n"
         "Try 'ovel-ifs-render --help' for more information.\n";
}

namespace {

// The built-in gradient names, wrapped as the help's other text is.
std::string GradientNamesText() {
  const std::string indent(27, ' ');
  std::string text = indent + "Built-in gradients:";
  std::size_t lineLength = text.size();
  for (const TGradient& g : BuiltInGradients()) {
    if (lineLength + 1 + g.name.size() > 100) {
      text += "\n" + indent;
      lineLength = indent.size() - 1;
    }
    text += " " + g.name;
    lineLength += 1 + g.name.size();
  }
  return text + "\n";
}

}  // namespace

std::string RenderHelpText() {
  std::string help = RenderHelpTemplate();
  const std::string marker = "@GRADIENTS@";
  help.replace(help.find(marker), marker.size(), GradientNamesText());
  return help;
}

std::string RenderHelpTemplate() {
  return R"(Usage: ovel-ifs-render [PARAMS.ifs] [-o OUT] [--size WxH] [--steps N | --seconds S] [--seed N]
                       [--maps 0..3] [--orbits K] [--threads T] [--white] [--random] [--write-params]
                       [--quiet] [file options] [--save-counts FILE.ovc] [colour options]
                       [--supersample S] [--filter-radius R] [--quality Q]
       ovel-ifs-render --resume FILE.ovc --steps N -o OUT [--threads T] [--save-counts FILE.ovc]
       ovel-ifs-render --merge A.ovc B.ovc... -o OUT
       ovel-ifs-render --retone FILE.ovc -o OUT [colour options]
       ovel-ifs-render --explore N [--family F] [--seed S] [--size WxH] -o DIR
       ovel-ifs-render --mutate FILE.ifs [--distance D] [--explore N] -o DIR
       ovel-ifs-render --animate FILE.ovanim [--frames A-B] [--seed N] [--threads T] -o OUT

Renders a fractal parameter set (a .ifs file saved by Ovel IFS) into a picture, without a display.
Without PARAMS it renders a built-in example parameter set.

The parameter set starts as a new fractal window starts it (view centre 0,0 at zoom 0.23, colours
0.7/0.8/0.9, intensity 30, probability 0.1, randomizer 2, variation None, two maps); PARAMS is then
loaded over it and its coefficients are drawn as they are. The G-Mira / Martin and IFS-01 family
switches follow the variant switches, as in a render pass.

Options:
  PARAMS.ifs               parameter file to render (lines may end in CR LF, LF or CR; numbers may
                           use a point or a comma as decimal separator)
  -o, --output OUT         picture to write (default ovel-ifs.png). Its extension chooses the format,
                           without regard to case: bmp, dib, jpg, jpeg, jif, png, pbm, pgm, ppm, tga,
                           tif, tiff. PBM and PGM pictures are converted to black and white or to 256
                           shades of gray without asking.
  --size WxH               picture size in pixels, each from 1 to 16384 (default 400x300)
  --steps N                stop after exactly N main steps in all, random restarts included
                           (default 5000000)
  --seconds S              stop after S seconds instead (S may have decimals: 2.5)
  --quality Q              stop after Q main steps per picture pixel instead (Q may have decimals)
  --supersample S          land the hits in a grid S times finer on each side, 1 to 6 (default 1), and
                           filter each pixel from the cells under it: smooth curves, no speckle. The
                           brightness at a given --quality does not depend on S
  --filter-radius R        the filter: a Gaussian reaching R pixels, 0 to 8 (default 0: the plain
                           S x S cells of the pixel)
  --seed N                 seed the random generator with N (0 to 18446744073709551615): the same
                           inputs, seed and --orbits give a byte-identical picture, whatever --threads
                           says. Without it the clock seeds.
  --maps M                 number of maps, 1, 2 or 3 (default 2); each step picks one of the
                           coefficient groups af[1..], af[20..], af[40..] at random. 0 keeps the
                           first group for the whole run, with no random pick per step.
  --orbits K               draw with K orbits at once, 1 to 256 (default 8): each has its own point and
                           random map choices, all share the coefficients and the picture, and the
                           steps are shared out among them exactly. The first orbit makes the random
                           restarts; another orbit that escapes starts its own point over. With
                           --maps 0, or a G-Mira / Martin set without Sinusoidal, the orbits could not
                           differ and one orbit draws. --orbits 1 draws as the desktop program's
                           single orbit does.
  --threads T              run the orbits on T threads, 1 to 256 (default: the machine's cores), never
                           more than the orbits; the picture does not depend on it
  --white                  "White": inverted colours, a dark picture on white
  --random                 draw random coefficients before drawing (the Rand command); the view,
                           colours and switches of PARAMS are kept
  --write-params           also write the parameter set used, beside the picture: OUT with its
                           extension replaced by .ifs (numbers with a point as decimal separator)
  --quiet                  no progress bar and no summary line
  -h, --help               show this help and exit
  --version                show the program's version and exit

Hit-count documents (.ovc; the format is described in docs/hit-count-documents.md):
  --save-counts FILE.ovc   also write the render's hit-count document: parameter set, counts, each
                           cell's lead channel, steps, seed and orbit, so that it can be continued,
                           merged or painted again. An OUT ending in .ovc writes the document alone.
  --resume FILE.ovc        go on drawing a document for --steps N more steps (or --seconds S); a
                           render of N1 steps resumed for N2 is byte for byte one render of N1 + N2.
                           It goes on with the document's orbits (--orbits does not apply), on
                           --threads threads
  --merge A.ovc B.ovc...   add documents of the same parameter set, size, maps and White: counts add
                           (stopping at 2147483647), each cell takes the lead channel of the last
                           document that hit it. OUT ending in .ovc receives the sum, any other OUT
                           its picture. A merged document can be painted and merged, not resumed.
  --retone FILE.ovc        paint a document's picture without iterating, with its stored colouring
                           and the colour options given here

Explore (finding new sets among random candidates):
  --explore N              judge random candidates until N are accepted and write, into the folder
                           DIR given with -o (made if missing), explore-0001.ifs ... and their
                           thumbnails explore-0001.png ..., and contact-sheet.png, a grid of the
                           thumbnails captioned with file name, family, Lyapunov exponent (bits per
                           step) and correlation dimension. A candidate is accepted when its orbit
                           stays bounded, its Lyapunov exponent is positive (attractors), its
                           dimension is from 1.15 to 1.95, and its thumbnail, framed to the set, is neither
                           nearly black, nearly full, a line nor a point. --seed S (default 1) fixes
                           the candidates: the same seed gives the same files whatever --threads.
                           --size is the thumbnail size (default 160x120), --steps its steps (default
                           150000); each thumbnail is what `ovel-ifs-render FILE.ifs --orbits 1
                           --seed R --steps N --size WxH` draws, R being the seed in explore.txt.
                           Ctrl+C keeps what was found so far and writes the contact sheet of it.
  --family F               mira (any G-Mira / Martin preset, the default), mira01..mira09, ifs (any
                           IFS-01 preset), ifs01..ifs08, latoocarfian, cif (IFS0101 with CIF 01 or
                           02), any
  --variations LIST        the candidates' variations, e.g. none,sinusoidal (default none)
  --mutate FILE.ifs        candidates are variants of FILE.ifs instead (9 unless --explore N): each
                           coefficient moved by a relative distance, colours, variations and tone kept
  --distance D             how far --mutate moves each coefficient, relative to it, 0 to 10
                           (default 0.1)
  --keep-view              --mutate keeps FILE.ifs's view instead of framing each variant anew

Animation (keyframes and their times in a .ovanim file, described in docs/animation.md):
  --animate FILE.ovanim    render the frames of an animation: between keyframes the coefficients,
                           colours and tone move smoothly and the view zooms at constant speed. Size,
                           steps, supersampling and orbits are the file's. OUT holds %04d (or %d) for
                           the frame's number, from 0: -o frames/frame-%04d.png; an OUT ending in
                           .mp4, .webm or .gif is a video, encoded by ffmpeg from frames drawn into
                           the folder OUT.frames, which is removed once the video is made. Frames
                           whose files exist are skipped, so a run stopped by Ctrl+C goes on where it
                           stopped; frames are drawn side by side on --threads threads
  --frames A-B             only frames A to B (or --frames A: frame A alone). A frame depends only on
                           the animation, its number and --seed (default: the file's, else 1), so
                           ranges drawn by separate runs or machines add up to one run's frames

Colour options (over those of the parameter set or document):
  --red R, --green G, --blue B
                           colour factors, 0 to 100
  --intensity I            intensity, greater than 0
  --tone linear|sqrt|log   levels from the counts (the defined colouring), from their square roots
                           (the sqrt filter), or "Log density": from the logarithm of each cell's
                           density, normalised by the total hits, so a longer render keeps its
                           brightness and gains detail instead of burning out
  --brightness B           brightness of the log-density tone, 0.01 to 100 (default 1)
  --tone-gamma G           gamma of the log-density tone, 0.1 to 10 (default 2.2)
  --colouring defined|gradient
                           the defined colouring (the default: red, green and blue counts by map
                           group, with the colour factors) or the gradient colouring: each map group
                           has a colour position, every step moves the orbit's colour coordinate
                           halfway towards the position of the map it applied, and each pixel shows
                           the gradient at the mean coordinate of its points, as bright as the log
                           of its density (--brightness, --tone-gamma, --vibrancy)
  --gradient NAME|FILE     the gradient: a built-in name (below) or a Fractint-style .map (lines of
                           "r g b") or a GIMP .ggr file (default plasma)
  --gradient-offset X      rotate the gradient by X (a fraction of its length; it wraps around)
  --gradient-scale S       show the gradient S times over the colour coordinate, 0.01 to 100
                           (default 1)
  --gradient-reverse       read the gradient from its far end
  --vibrancy V             0 to 1 (default 1): how much of the tone's gamma acts on each pixel's
                           brightness alone, so colours keep their saturation, rather than on each
                           channel (which washes dense parts towards white)
  --colour-positions A,B,C colour positions of the three map groups, 0 to 1 each (default 0,1,0.5)
@GRADIENTS@
File options (the defaults are those of the program's Options dialog):
  --jpeg-quality Q         JPEG quality, 0 to 100 (default 80)
  --jpeg-dct int|fast|float
                           JPEG DCT method: integer precise, integer fast or floating point
                           (default float)
  --progressive            progressive JPEG
  --pnm-binary             binary PBM, PGM and PPM (default ASCII)
  --tiff-compression none|packbits
                           TIFF compression (default none)
  --tiff-cmyk              true-colour TIFF as CMYK (default RGB)
  --tiff-byte-order I|M    TIFF byte order: I little-endian (default), M big-endian
  --tiff-white-is-zero     grayscale TIFF as WhiteIsZero (default BlackIsZero)
  --tiff-res-unit none|inch|cm
                           TIFF resolution unit (default inch)
  --tiff-res X,Y           TIFF horizontal and vertical resolution, whole numbers (default 300,300)
  --no-gamma               do not store the gamma in PNG files
  --gamma G                screen gamma stored in PNG files, 0.001 to 1000 (default 1.8)

An option's value may also follow an equals sign (--size=640x480); "--" ends the options.

Output: the picture (and the parameter file) is written under a temporary name in its folder and
renamed into place when complete, so OUT is never left half-written and stays as it was on an error.
While rendering, a progress bar is shown on standard error when it is a terminal. At the end one line
goes to standard error, unless --quiet, for example:
  rendered 5000000 steps in 0.312 s: 16025641 steps/s, 0 restarts, 8 orbits on 2 threads
Messages about a parameter file that ends early appear on standard error as warnings.

Ctrl+C (SIGINT) or SIGTERM stops the render: the picture of the steps made so far is written (and the
document with --save-counts), a line on standard error says so, and the exit status is 130. A second
Ctrl+C ends the program at once; files already in place stay as they were.

Exit status:
  0  the picture was written
  1  an error: the parameter file cannot be opened or holds a value that is not a number, it selects
     nothing to draw, the engine stopped on a floating-point fault, or a file cannot be written;
     one line on standard error says which, and no picture is written
  2  bad arguments: the problem and a short usage on standard error
  130  stopped by Ctrl+C or SIGTERM; what was drawn was written
)";
}
