#include "cli/explore_command.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include "cli/hit_count_commands.h"
#include "document/fractal_document.h"
#include "document/presets.h"
#include "explore/contact_sheet.h"
#include "files/image_export.h"
#include "files/param_file.h"
#include "files/safe_file.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr auto kStopPollInterval = std::chrono::milliseconds(20);

std::string Fixed(double value, int decimals) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  return std::string(buffer, end);
}

// The caption's second line: short enough for a 160-pixel cell.
std::string FiguresLine(const TExploreCandidate& candidate) {
  return "L " + Fixed(candidate.figures.lyapunov, 3) + "  D " + Fixed(candidate.figures.dimension, 2);
}

TFractalParams LoadBase(const TRenderOptions& options, const TRenderReport& report) {
  TFractalDocument document(options.width, options.height);
  const auto warn = [&](const std::string& text) {
    if (text != kParamReadErrorMessage && report.warning) report.warning(text);
  };
  const TParamReadResult result = document.Load(*options.mutatePath, '.', warn);
  if (result.readError) {
    throw ERenderFailed(std::string(kParamReadErrorMessage) + " \"" + *options.mutatePath + "\" (line " +
                        std::to_string(result.errorLine) + ")");
  }
  TFractalParams v = document.Snapshot().values;
  DeriveFamilySwitches(v);
  if (!SelectsAFamily(v)) {
    throw ERenderFailed(
        "the parameter set selects nothing to draw: no G-Mira / Martin or IFS-01 variant and not Latoocarfian 01");
  }
  v.maps = options.maps;
  return v;
}

// Polls for Ctrl+C, which only sets a flag, and passes it on to the search.
class TStopWatch {
 public:
  explicit TStopWatch(TExploreSearch& search)
      : thread_([this, &search] {
          while (!done_.load()) {
            if (RenderStopRequested()) search.Cancel();
            std::this_thread::sleep_for(kStopPollInterval);
          }
        }) {}
  ~TStopWatch() {
    done_.store(true);
    thread_.join();
  }
  TStopWatch(const TStopWatch&) = delete;
  TStopWatch& operator=(const TStopWatch&) = delete;

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

TExploreOptions ExploreOptionsOf(const TRenderOptions& options) {
  TExploreOptions explore;
  explore.family = *ParseExploreFamily(options.family);
  if (options.variations) explore.variations = *ParseVariations(*options.variations);
  explore.width = options.width;
  explore.height = options.height;
  explore.thumbnailSteps = options.steps;
  explore.seed = options.seed.value_or(1);
  if (options.threads) explore.threads = *options.threads;
  explore.distance = options.distance;
  explore.keepView = options.keepView;
  return explore;
}

std::string ExploreFileName(int k, const std::string& extension) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d", k);
  return kExploreFilePrefix + std::string(number) + "." + extension;
}

TExploreRunSummary ExploreToFolder(const TRenderOptions& options, const TRenderReport& report) {
  TExploreOptions explore = ExploreOptionsOf(options);
  if (options.mutatePath) explore.base = LoadBase(options, report);
  const std::filesystem::path folder(options.outputPath);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder)) {
    throw ERenderFailed("Cannot create the folder \"" + folder.string() + "\"" +
                        (error ? ": " + error.message() : std::string()));
  }

  TExploreSearch search(explore);
  TExploreRunSummary summary;
  summary.folder = folder.string();
  summary.threads = ExploreThreads(explore);
  const int wanted = *options.explore;
  // Thumbnails stay until the sheet is made: n pictures of the thumbnail's size.
  std::vector<TExploreCandidate> found;
  std::ostringstream listing;
  listing << "# file\tcandidate\tseed\tfamily\tlyapunov\tdimension\n";
  const TWarningBox answerOK = [](const std::string&, const std::string&, TWarningButtons) { return true; };
  const auto write = [&](const TExploreCandidate& candidate) {
    const int k = static_cast<int>(found.size()) + 1;
    const std::string ifs = (folder / ExploreFileName(k, kParamFileExtension)).string();
    WriteFileAtomically(ifs, [&](std::ostream& out) {
      WriteParameterFile(out, candidate.params, '.', TNumberDigits::Exact);
    });
    SavePixelGraphicToFile(*candidate.thumbnail, (folder / ExploreFileName(k, "png")).string(), options.fileOptions,
                           answerOK);
    listing << ExploreFileName(k, kParamFileExtension) << '\t' << candidate.index << '\t' << candidate.renderSeed
            << '\t' << FamilyCaption(candidate.params) << '\t' << Fixed(candidate.figures.lyapunov, 4) << '\t'
            << Fixed(candidate.figures.dimension, 3) << '\n';
    found.push_back(candidate);
    if (report.progress) report.progress(static_cast<double>(found.size()) / wanted);
  };

  const auto start = TClock::now();
  {
    const TStopWatch watch(search);
    summary.stats = search.Run(wanted, write);
  }
  summary.seconds = std::chrono::duration<double>(TClock::now() - start).count();
  summary.interrupted = summary.stats.cancelled;

  std::vector<TContactCell> cells;
  for (std::size_t k = 0; k < found.size(); ++k) {
    cells.push_back({found[k].thumbnail.get(), ExploreFileName(static_cast<int>(k) + 1, kParamFileExtension),
                     FiguresLine(found[k])});
  }
  const auto sheet = MakeContactSheet(cells, ContactSheetColumns(static_cast<int>(cells.size())));
  SavePixelGraphicToFile(*sheet, (folder / kContactSheetName).string(), options.fileOptions, answerOK);
  listing << "# each thumbnail: ovel-ifs-render FILE.ifs --orbits 1 --seed SEED --steps " << explore.thumbnailSteps
          << " --size " << explore.width << "x" << explore.height << " --maps " << options.maps << "\n";
  const std::string text = listing.str();
  WriteFileAtomically((folder / kExploreListingName).string(), [&](std::ostream& out) { out << text; });
  return summary;
}

std::string FormatExploreSummary(const TExploreRunSummary& summary) {
  const TExploreStats& stats = summary.stats;
  const double perAccepted = stats.accepted > 0 ? static_cast<double>(stats.tried) / stats.accepted : 0.0;
  return std::string(summary.interrupted ? "interrupted: " : "") + "found " + std::to_string(stats.accepted) +
         (stats.accepted == 1 ? " set" : " sets") + " among " + std::to_string(stats.tried) + " candidates (" +
         Fixed(perAccepted, 1) + " tried per accepted) in " + Fixed(summary.seconds, 3) + " s on " +
         std::to_string(summary.threads) + (summary.threads == 1 ? " thread" : " threads") + ": " +
         summary.folder + (stats.exhausted ? "; gave up after the most candidates a run may try" : "");
}
