// The command line of ovel-ifs-render: what a run is asked to do, parsed from the arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "document/first_show.h"
#include "engine/fractal_params.h"
#include "files/file_options.h"

inline constexpr char kRenderProgramName[] = "ovel-ifs-render";
inline constexpr char kDefaultRenderOutput[] = "ovel-ifs.png";
inline constexpr int kDefaultRenderWidth = kFirstShowWidth;
inline constexpr int kDefaultRenderHeight = kFirstShowHeight;
inline constexpr std::int64_t kDefaultRenderSteps = 5'000'000;
inline constexpr int kDefaultRenderMaps = 2;
inline constexpr int kDefaultRenderOrbits = 8;
// The most orbits and threads a run may ask for (the engine's kMaxOrbits).
inline constexpr int kMaxRenderOrbits = 256;
// The hit lists hold three counts for each cell of a max(W, H) square; beyond this they would not fit in memory.
// Larger than a window's kMaxImageSide on purpose: a batch render has no screen to fit and may take the memory.
inline constexpr int kMaxRenderSide = 16384;
// --explore draws at most this many candidates in one run; a thumbnail is at most this large on each side.
inline constexpr int kMaxExploreCount = 10000;
inline constexpr int kMaxExploreSide = 2048;
inline constexpr int kDefaultMutateCount = 9;

// Interrupted: SIGINT or SIGTERM stopped the run; what was drawn so far was written (128 + SIGINT, as shells do).
enum class TRenderExit : int { Ok = 0, Error = 1, Usage = 2, Interrupted = 130 };

// How counts become levels: the defined colouring (linear, or sqrt with the square-root filter) or log density.
enum class TRenderTone { Linear, Sqrt, Log };

// The arguments do not make a valid command; the message says which one and why.
class ERenderUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TRenderOptions {
  std::optional<std::string> paramsPath;  // none: the built-in example
  std::string outputPath = kDefaultRenderOutput;
  int width = kDefaultRenderWidth;
  int height = kDefaultRenderHeight;
  std::int64_t steps = kDefaultRenderSteps;  // used unless seconds is set
  std::optional<double> seconds;
  std::optional<std::uint64_t> seed;         // none: the clock seeds
  int maps = kDefaultRenderMaps;
  int orbits = kDefaultRenderOrbits;
  std::optional<int> threads;  // none: the machine's cores (never more than the orbits)
  bool white = false;
  bool random = false;
  bool writeParams = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
  TFileOptions fileOptions;  // starts with the library's defaults

  // Hit-count documents (.ovc).
  std::optional<std::string> saveCountsPath;  // --save-counts: write the render's document too
  std::optional<std::string> retonePath;      // --retone: paint a document's picture without iterating
  std::optional<std::string> resumePath;      // --resume: go on drawing a document for --steps more steps
  bool merge = false;                         // --merge: the positional arguments are documents to add
  std::vector<std::string> mergePaths;

  // Explore (--explore N, --mutate FILE.ifs): candidates found, screened and drawn as thumbnails into the folder
  // outputPath names.
  std::optional<int> explore;
  std::string family = "mira";
  std::optional<std::string> variations;  // --variations none,sinusoidal
  std::optional<std::string> mutatePath;
  double distance = 0.1;
  bool keepView = false;
  bool stepsGiven = false;

  // Animation (--animate FILE.ovanim): the frames, each written to outputPath with its %04d replaced by the
  // frame's number, or encoded into a video when outputPath ends in .mp4, .webm or .gif.
  std::optional<std::string> animatePath;
  std::optional<std::pair<int, int>> frames;  // --frames A-B, inclusive; none: every frame
  bool seedGiven = false;

  // Colouring, overriding what the parameter set (or the document) says.
  std::optional<double> red, green, blue, intensity;
  std::optional<TRenderTone> tone;
  std::optional<double> brightness, toneGamma;
  // The gradient colouring.
  std::optional<TColouring> colouring;
  std::optional<std::string> gradient;  // a built-in name or a .map / .ggr file
  std::optional<double> gradientOffset, gradientScale, vibrancy;
  bool gradientReversed = false;
  std::optional<std::array<double, kColourPositions>> colourPositions;

  // Supersampling: hits land in a grid supersample times finer on each side, filtered into the picture.
  int supersample = 1;
  double filterRadius = 0;            // picture pixels; 0: a plain box of supersample x supersample cells
  std::optional<double> quality;      // --quality: main steps per picture pixel, instead of --steps

  bool Supersampled() const { return supersample > 1 || filterRadius > 0; }
};

// Parses the arguments after the program name. Raises ERenderUsage for anything it cannot accept.
TRenderOptions ParseRenderArguments(const std::vector<std::string>& args);

// The short synopsis printed with a usage error.
std::string RenderUsageText();

// The full --help text.
std::string RenderHelpText();
