#include "cli/render.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "cli/animate_command.h"
#include "cli/explore_command.h"
#include "cli/hit_count_commands.h"
#include "document/fractal_document.h"
#include "document/hit_counts.h"
#include "engine/tone.h"
#include "document/presets.h"
#include "document/supersampled.h"
#include "engine/supersample.h"
#include "engine/formula.h"
#include "engine/orbits.h"
#include "engine/render_context.h"
#include "files/file_format_writer.h"
#include "files/image_export.h"
#include "files/param_file.h"
#include "files/save_as.h"
#include "files/writer_registry.h"
#include "image/pixel_graphic.h"
#include "ovel_version.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
// The renderer pumps only as often as it reports progress (TPumpIntervalScope): seldom enough to let rounds wait.
static_assert(kProgressInterval >= kSeldomPumpInterval);
constexpr int kProgressBarWidth = 40;
constexpr std::size_t kTimeLeftWidth = 18;

// Ends the run when its time is up and reports progress. The step budget is the engine's: it stops after
// exactly that many main steps whatever the cadence at which it calls here.
class TRenderHost : public EngineHost {
 public:
  TRenderHost(TFractalParams& v, const TRenderOptions& options, const TRenderReport& report, TClock::time_point start)
      : v_(v), options_(options), report_(report), start_(start) {
    if (options.seconds) {
      deadline_ = start + std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(*options.seconds));
    }
  }

  void ProcessMessages() override {
    const auto now = TClock::now();
    if (deadline_ && now >= *deadline_) v_.abort = true;
    if (RenderStopRequested()) v_.abort = true;
    if (report_.progress && now >= nextProgress_) {
      nextProgress_ = now + kProgressInterval;
      const double fraction =
          options_.seconds ? std::chrono::duration<double>(now - start_).count() / *options_.seconds
                           : static_cast<double>(GetEngineCounters().mainSteps) / static_cast<double>(options_.steps);
      report_.progress(std::clamp(fraction, 0.0, 1.0));
    }
  }

  void ParametersUpdate() override {}

 private:
  TFractalParams& v_;
  const TRenderOptions& options_;
  const TRenderReport& report_;
  TClock::time_point start_;
  std::optional<TClock::time_point> deadline_;
  TClock::time_point nextProgress_{};
};

// The engine keeps its host process-wide; put back whatever was there, also when the run raises.
class THostScope {
 public:
  explicit THostScope(EngineHost* host) : previous_(GetEngineHost()) { SetEngineHost(host); }
  ~THostScope() { SetEngineHost(previous_); }
  THostScope(const THostScope&) = delete;
  THostScope& operator=(const THostScope&) = delete;

 private:
  EngineHost* previous_;
};

// The renderer's host shows nothing between its progress reports: called that often, it lets a large grid's hits
// wait for several rounds and be counted region by region. Put back what the context had.
class TPumpIntervalScope {
 public:
  explicit TPumpIntervalScope(std::chrono::microseconds interval)
      : previous_(DefaultRenderContext().PumpInterval()) {
    DefaultRenderContext().SetPumpInterval(interval);
  }
  ~TPumpIntervalScope() { DefaultRenderContext().SetPumpInterval(previous_); }
  TPumpIntervalScope(const TPumpIntervalScope&) = delete;
  TPumpIntervalScope& operator=(const TPumpIntervalScope&) = delete;

 private:
  std::chrono::microseconds previous_;
};

// The budget counts over all runs from when it is set; lift it afterwards so that it binds this run only.
class TStepBudgetScope {
 public:
  explicit TStepBudgetScope(std::int64_t steps) {
    ClearEngineCounters();
    SetEngineStepBudget(steps);
  }
  ~TStepBudgetScope() { SetEngineStepBudget(kNoStepBudget); }
  TStepBudgetScope(const TStepBudgetScope&) = delete;
  TStepBudgetScope& operator=(const TStepBudgetScope&) = delete;
};

// --gamma reaches the picture through the default gamma of new images; a run must not change it for its caller.
class TDefaultGammaScope {
 public:
  explicit TDefaultGammaScope(const TFileOptions& options) : previous_(TPixelGraphic::DefaultGamma()) {
    ApplyScreenGamma(options);
  }
  ~TDefaultGammaScope() { TPixelGraphic::SetDefaultGamma(previous_); }
  TDefaultGammaScope(const TDefaultGammaScope&) = delete;
  TDefaultGammaScope& operator=(const TDefaultGammaScope&) = delete;

 private:
  long double previous_;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void LoadParams(const std::string& path, TFractalDocument& document, const TRenderReport& report) {
  // A read error is the run's error, reported once with the file's line below; the other messages are warnings.
  const auto warn = [&](const std::string& text) {
    if (text != kParamReadErrorMessage && report.warning) report.warning(text);
  };
  const TParamReadResult result = document.Load(path, '.', warn);
  if (result.readError) {
    throw ERenderFailed(std::string(kParamReadErrorMessage) + " " + Quoted(path) + " (line " +
                        std::to_string(result.errorLine) + ")");
  }
}

// Refuses an output that could not be saved before spending the render time on it.
void CheckOutput(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (FileFormatWriters().FindByExtension(extension) == nullptr) {
    throw EPGUnknownExtension(UnknownExtensionMessage(extension));
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
    throw ERenderFailed("Cannot create file " + Quoted(path) + ": the folder " + Quoted(folder.string()) +
                        " does not exist");
  }
}

void CheckCountsOutput(const std::string& path) {
  if (!IsHitCountPath(path))
    throw ERenderFailed("the hit-count document " + Quoted(path) + " must end in ." + kHitCountExtension);
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
    throw ERenderFailed("Cannot create file " + Quoted(path) + ": the folder " + Quoted(folder.string()) +
                        " does not exist");
  }
}

void CheckView(const TFractalParams& v) {
  const bool drawable = std::isfinite(v.plotXMin) && std::isfinite(v.plotXMax) && std::isfinite(v.plotYMin) &&
                        std::isfinite(v.plotYMax) && v.plotXMax > v.plotXMin && v.plotYMax > v.plotYMin;
  if (!drawable) {
    throw ERenderFailed("the view of the parameter set cannot be drawn: zoom " + FormatGeneralNumber(v.zoom, '.') +
                        ", centre " + FormatGeneralNumber(v.xCenter, '.') + ", " +
                        FormatGeneralNumber(v.yCenter, '.'));
  }
}

std::string Fixed(double value, int decimals) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  return std::string(buffer, end);
}

// "1:05:09 left", "4:07 left" or "9 s left"; empty while too little is done to tell.
std::string TimeLeft(double fraction, double elapsedSeconds) {
  if (fraction < 0.01 || fraction >= 1 || elapsedSeconds < 0.5) return {};
  const long left = std::lround(elapsedSeconds * (1 - fraction) / fraction);
  const auto two = [](long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  if (left < 60) return std::to_string(left) + " s left";
  if (left < 3600) return std::to_string(left / 60) + ":" + two(left % 60) + " left";
  return std::to_string(left / 3600) + ":" + two(left / 60 % 60) + ":" + two(left % 60) + " left";
}

std::string ProgressBar(double fraction, double elapsedSeconds) {
  const int filled = static_cast<int>(fraction * kProgressBarWidth);
  const int percent = static_cast<int>(fraction * 100);
  return "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(kProgressBarWidth - filled), '-') + "] " +
         (percent < 10 ? "  " : percent < 100 ? " " : "") + std::to_string(percent) + "%" +
         // Padded: a shorter estimate must cover the longer one before it.
         ("  " + TimeLeft(fraction, elapsedSeconds) + std::string(kTimeLeftWidth, ' ')).substr(0, kTimeLeftWidth);
}

}  // namespace

void ApplyBuiltInExample(TFractalParams& v) {
  // A file stores every switch, so loading one turns off whatever it does not name.
  ClearVariantSwitches(v);
  v.latoocarfian01 = v.latoocarfian02 = v.mira01 = v.ifs01 = v.ifs02 = v.cif01 = v.cif02 = false;
  v.none = v.linear = v.sinusoidal = v.spherical = v.swirl = v.horseshoe = v.polar = v.bent = false;
  v.sqrtFilter = false;
  v.af.fill(0);
  v.af2.fill(0);

  // Heighway's dragon: two maps, z -> (1 + i) z / 2 and z -> 1 - (1 - i) z / 2, the second also in the third
  // coefficient group so that every map offset draws the same curve in its own colour.
  v.ifs0101 = true;
  v.none = true;
  const double first[6] = {0.5, -0.5, 0.5, 0.5, 0, 0};
  const double second[6] = {-0.5, -0.5, 0.5, -0.5, 1, 0};
  for (int k = 0; k < 6; ++k) {
    v.af[1 + k] = first[k];
    v.af[20 + k] = second[k];
    v.af[40 + k] = second[k];
  }
  // Framed for the default 400x300 picture; the edges are what that view gives, for the file's sake.
  v.zoom = 2.6;
  v.xCenter = 0.42;
  v.yCenter = 0.16;
  v.xMax = 1.32;
  v.yMax = 0.83;
  // Magenta where the first map lands, rose where the second does; intensity 10 keeps the texture of the
  // curve without burning the dense parts out at 5,000,000 steps.
  v.red = 0.9;
  v.green = 0.6;
  v.blue = 1.0;
  v.intensity = 10;
  v.probability = 0.1;
  v.randomizer = 2;
}

TRenderSummary RenderParameterSet(const TRenderOptions& options, const TRenderReport& report,
                                  const TFileSystem& files) {
  // An output ending in .ovc is the render's hit-count document alone, without a picture.
  const bool countsOnly = IsHitCountPath(options.outputPath);
  const std::optional<std::string> countsPath = countsOnly ? std::optional(options.outputPath) : options.saveCountsPath;
  if (!countsOnly) CheckOutput(options.outputPath);
  if (countsPath) CheckCountsOutput(*countsPath);

  TFractalDocument document(options.width, options.height);
  TDocumentRecord& v = document.Params();
  std::optional<THitCountDocument> resumed;
  // A resumed render goes on with the orbits its document holds.
  TOrbitsLeft left;
  if (options.resumePath) {
    resumed = LoadHitCountDocument(*options.resumePath);
    try {
      left = OrbitsLeftOf(*resumed);
    } catch (const EHitCountFile& e) {
      throw ERenderFailed("cannot continue " + Quoted(*options.resumePath) + ": " + e.what());
    }
  } else {
    if (options.paramsPath) {
      LoadParams(*options.paramsPath, document, report);
    } else {
      ApplyBuiltInExample(v);
    }
    ApplyColourOptions(options, v);
    // Loading keeps the coefficients it read; --random is the Rand command.
    v.randomize = options.random;
    document.SetMaps(options.maps);
    v.invert = options.white;
    if (!document.PrepareRun()) {
      throw ERenderFailed(
          "the parameter set selects nothing to draw: no G-Mira / Martin or IFS-01 variant and not Latoocarfian 01");
    }
    CheckView(v);
  }

  // A supersampled document goes on supersampled as it was drawn; the filter radius is the command line's.
  const int supersample = resumed ? static_cast<int>(resumed->supersample) : options.supersample;
  const bool supersampled = resumed ? supersample > 1 : options.Supersampled();
  if (supersampled && v.colouring == TColouring::Gradient)
    throw ERenderFailed("the gradient colouring cannot be drawn supersampled: its colour cells are not filtered into "
                        "the picture (draw it without --supersample and --filter-radius)");
  if (supersampled) {
    const int w = resumed ? static_cast<int>(resumed->width) : options.width;
    const int h = resumed ? static_cast<int>(resumed->height) : options.height;
    const std::string refusal =
        MemoryRefusal(SupersampledRenderBytes(w, h, supersample, options.orbits > 1), AvailableMemoryBytes());
    if (!refusal.empty()) throw ERenderFailed(refusal);
  }

  // The picture is made only now: after the checks above, so that a bad parameter set is named as such whatever
  // the size, and inside the gamma scope, which new pictures take their gamma from.
  const TDefaultGammaScope gamma(options.fileOptions);
  const int width = resumed ? static_cast<int>(resumed->width) : options.width;
  const int height = resumed ? static_cast<int>(resumed->height) : options.height;
  try {
    if (resumed) {
      // The document's own parameter set, size and picture; colouring options apply as to any render.
      RestoreHitCounts(document, *resumed, options.filterRadius);
      ApplyColourOptions(options, v);
      if (options.white) v.invert = true;
      RepaintPicture(v);
    } else {
      document.Resize(width, height);
    }
  } catch (const std::bad_alloc&) {
    throw ERenderFailed("not enough memory for a " + std::to_string(width) + "x" + std::to_string(height) +
                        " picture");
  }
  TPixelGraphic& image = *document.Picture();

  // The orbit, the map offset and the G-Mira state survive between runs in the engine: start from the state of a
  // fresh program, so that a seed alone decides the picture and --maps 0 keeps the first group throughout. A
  // resumed render starts from the orbit its document holds instead.
  ResetEngineState();
  if (resumed) {
    RestoreEngineOrbit(resumed->orbits[0], v);
  } else if (options.seed) {
    SeedEngineRandom(*options.seed);
  } else {
    ReseedEngineRandomFromClock();
  }
  const TStepBudgetScope budget(options.seconds ? kNoStepBudget : options.steps);
  const TPumpIntervalScope pumps(std::chrono::duration_cast<std::chrono::microseconds>(kProgressInterval));

  TRenderSummary summary;
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  TOrbitPlan plan = PlanOrbits(v, options.orbits, options.threads.value_or(cores));
  if (resumed) {
    plan.orbits = static_cast<int>(resumed->orbits.size());
    plan.threads = std::clamp(options.threads.value_or(cores), 1, plan.orbits);
  }
  summary.orbits = plan.orbits;
  summary.threads = plan.threads;
  // A supersampled render draws its grid, then filters it into the picture's counts.
  std::unique_ptr<TSupersampledGrid> grid;
  if (supersampled) {
    try {
      grid = std::make_unique<TSupersampledGrid>(v, supersample);
    } catch (const std::bad_alloc&) {
      throw ERenderFailed("not enough memory for a " + std::to_string(width * supersample) + "x" +
                          std::to_string(height * supersample) + " grid");
    }
    if (resumed) grid->Restore(*resumed);
  }
  TFractalParams& drawn = grid ? grid->Record() : v;
  const auto start = TClock::now();
  TRenderHost host(drawn, options, report, start);
  {
    const THostScope scope(&host);
    drawn.abort = false;
    try {
      if (resumed)
        ContinueFractalOrbits(&drawn, left, plan.threads);
      else
        RunFractalOrbits(&drawn, plan.orbits, plan.threads, &left);
    } catch (const EFloatingPointFault& fault) {
      throw ERenderFailed(std::string(fault.what()) + " after " + std::to_string(GetEngineCounters().mainSteps) +
                          " steps; no picture written");
    } catch (const std::invalid_argument& wrong) {
      if (!resumed) throw;
      throw ERenderFailed("the hit-count document " + Quoted(*options.resumePath) + " cannot be continued: " +
                          wrong.what());
    }
  }
  if (grid) grid->FinishInto(document, options.filterRadius);
  summary.seconds = std::chrono::duration<double>(TClock::now() - start).count();
  summary.steps = GetEngineCounters().mainSteps;
  summary.restarts = GetEngineCounters().restarts;
  summary.interrupted = RenderStopRequested();
  summary.resumed = resumed.has_value();
  if (report.progress && !summary.interrupted) report.progress(1.0);
  if (countsPath) {
    // Written before the picture: a picture on disk always has its counts beside it when they were asked for.
    const std::uint64_t before = resumed ? resumed->mainSteps : 0;
    const std::uint64_t seed = resumed ? resumed->seed : options.seed.value_or(0);
    THitCountOrbit orbit = EngineOrbit(drawn);
    orbit.state.mainSteps = static_cast<std::int64_t>(before + static_cast<std::uint64_t>(summary.steps));
    orbit.state.restarts = (resumed ? resumed->orbits[0].state.restarts : 0) + summary.restarts;
    THitCountDocument counts = grid ? CaptureGridCounts(document, *grid, before + summary.steps, seed)
                                    : CaptureHitCounts(document, before + summary.steps, seed, {});
    PutOrbits(counts, orbit, left);
    SaveHitCountDocument(*countsPath, counts, files);
    if (!countsOnly) summary.countsPath = countsPath;
  }
  summary.picturePath = options.outputPath;
  if (countsOnly) return summary;

  // PBM and PGM need a conversion; a batch run has nobody to ask, and the user chose the format.
  image.SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
  const TWarningBox answerOK = [](const std::string&, const std::string&, TWarningButtons) { return true; };
  if (options.writeParams) {
    summary.paramsPath =
        SavePictureAndParameters(&image, options.outputPath, options.fileOptions, answerOK, v, '.', files);
  } else {
    SavePixelGraphicToFile(image, options.outputPath, options.fileOptions, answerOK, FileFormatWriters(), files);
  }
  summary.picturePath = options.outputPath;
  return summary;
}

std::string FormatRenderSummary(const TRenderSummary& summary) {
  if (summary.documents > 0 && !summary.resumed) {
    if (summary.documents > 1 || summary.picturePath.empty())
      return "merged " + std::to_string(summary.documents) + " documents: " + std::to_string(summary.steps) + " steps";
    return "painted " + summary.picturePath + " from a document of " + std::to_string(summary.steps) + " steps";
  }
  const double rate = summary.seconds > 0 ? static_cast<double>(summary.steps) / summary.seconds : 0.0;
  const auto counted = [](std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  return std::string(summary.interrupted ? "interrupted: " : "") + (summary.resumed ? "resumed: " : "") +
         "rendered " + std::to_string(summary.steps) + " steps in " + Fixed(summary.seconds, 3) +
         " s: " + Fixed(std::floor(rate), 0) + " steps/s, " + std::to_string(summary.restarts) + " restarts, " +
         counted(summary.orbits, "orbit", "orbits") + " on " + counted(summary.threads, "thread", "threads");
}

int RunRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool errIsTerminal, const TFileSystem& files) {
  const std::string prefix = std::string(kRenderProgramName) + ": ";
  TRenderOptions options;
  try {
    options = ParseRenderArguments(args);
  } catch (const ERenderUsage& usage) {
    err << prefix << usage.what() << "\n" << RenderUsageText();
    return static_cast<int>(TRenderExit::Usage);
  }
  if (options.help) {
    out << RenderHelpText();
    return static_cast<int>(TRenderExit::Ok);
  }
  if (options.version) {
    out << kRenderProgramName << " " << kOvelVersion << "\n" << kOvelVersionNotice;
    return static_cast<int>(TRenderExit::Ok);
  }

  bool barShown = false;
  const auto clearBar = [&] {
    if (!barShown) return;
    err << "\r" << std::string(kProgressBarWidth + 8 + kTimeLeftWidth, ' ') << "\r" << std::flush;
    barShown = false;
  };
  TRenderReport report;
  report.warning = [&](const std::string& text) {
    clearBar();
    err << prefix << "warning: " << text << "\n";
  };
  const auto barStart = TClock::now();
  if (errIsTerminal && !options.quiet) {
    report.progress = [&](double fraction) {
      err << ProgressBar(fraction, std::chrono::duration<double>(TClock::now() - barStart).count()) << std::flush;
      barShown = true;
    };
  }

  // A command's failure is the one line the user sees.
  const auto guarded = [&](const auto& command) {
    try {
      return command();
    } catch (const std::bad_alloc&) {
      clearBar();
      err << prefix << "error: not enough memory\n";
    } catch (const std::exception& error) {
      clearBar();
      err << prefix << "error: " << error.what() << "\n";
    }
    return static_cast<int>(TRenderExit::Error);
  };
  // A summary is said unless --quiet, and always for an interrupted run, whose files hold less than was asked for.
  const auto reported = [&](const std::string& summary, bool interrupted) {
    clearBar();
    if (interrupted || !options.quiet) err << summary << "\n";
    return static_cast<int>(interrupted ? TRenderExit::Interrupted : TRenderExit::Ok);
  };
  if (options.animatePath) {
    return guarded([&] {
      const TAnimateSummary summary = AnimateToFiles(options, report);
      return reported(FormatAnimateSummary(summary), summary.interrupted);
    });
  }
  if (options.explore) {
    return guarded([&] {
      const TExploreRunSummary summary = ExploreToFolder(options, report);
      return reported(FormatExploreSummary(summary), summary.interrupted);
    });
  }
  return guarded([&] {
    const TRenderSummary summary = options.merge        ? MergeDocuments(options)
                                   : options.retonePath ? RetoneDocument(options)
                                                        : RenderParameterSet(options, report, files);
    std::string said = FormatRenderSummary(summary);
    if (summary.interrupted)
      said += "; wrote " + summary.picturePath + (summary.countsPath ? " and " + *summary.countsPath : std::string());
    return reported(said, summary.interrupted);
  });
}
