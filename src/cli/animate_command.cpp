#include "cli/animate_command.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <filesystem>
#include <thread>

#include "animation/animation.h"
#include "cli/hit_count_commands.h"
#include "files/file_options.h"
#include "image/pixel_graphic.h"

namespace {

std::string Fixed(double value, int decimals) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  return std::string(buffer, end);
}

void MakeFolder(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  // Runs of other ranges may make the same folder at the same moment: what counts is that it is there.
  std::error_code error, ignored;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, ignored))
    throw ERenderFailed("Cannot create the folder \"" + folder.string() + "\"" +
                        (error ? ": " + error.message() : std::string()));
}

}  // namespace

std::string VideoFramesFolder(const std::string& videoPath) { return videoPath + ".frames"; }

TAnimateSummary AnimateToFiles(const TRenderOptions& options, const TRenderReport& report) {
  const TAnimation animation = ReadAnimation(*options.animatePath, report.warning);
  TAnimateSummary summary;
  summary.output = options.outputPath;
  summary.video = IsVideoPath(options.outputPath);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  summary.threads = options.threads.value_or(cores);

  TFrameRun run;
  run.first = options.frames ? options.frames->first : 0;
  run.last = options.frames ? options.frames->second : animation.FrameCount() - 1;
  run.seed = options.seedGiven ? *options.seed : animation.seed;
  run.threads = summary.threads;
  run.fileOptions = options.fileOptions;
  const std::string folder = summary.video ? VideoFramesFolder(options.outputPath) : std::string();
  run.pattern = summary.video ? (std::filesystem::path(folder) / kVideoFramePattern).string() : options.outputPath;
  FrameFileName(run.pattern, 0);  // a pattern without its number is refused before any folder is made
  if (summary.video) {
    // The encoder is looked for first: without it the frames would be drawn for nothing.
    const std::filesystem::path videoFolder = std::filesystem::path(options.outputPath).parent_path();
    std::error_code ignored;
    if (!videoFolder.empty() && !std::filesystem::is_directory(videoFolder, ignored))
      throw ERenderFailed("Cannot create file \"" + options.outputPath + "\": the folder \"" + videoFolder.string() +
                          "\" does not exist");
    CheckVideoEncoder(options.outputPath);
    MakeFolder(folder);
  } else {
    MakeFolder(std::filesystem::path(run.pattern).parent_path());
  }

  // --gamma reaches the frames through the default gamma of new pictures; put back the caller's afterwards. It is
  // set before the workers start and only read while they run.
  struct TGammaScope {
    long double previous = TPixelGraphic::DefaultGamma();
    ~TGammaScope() { TPixelGraphic::SetDefaultGamma(previous); }
  } gammaScope;
  ApplyScreenGamma(options.fileOptions);

  std::atomic<bool> cancel{false};
  run.progress = [&](const TFrameRunProgress& p) {
    if (RenderStopRequested()) cancel = true;
    if (report.progress) report.progress(p.fraction);
  };
  const TFrameRunResult result = RenderFrames(animation, run, cancel);
  summary.first = run.first;
  summary.last = run.last;
  summary.written = result.written;
  summary.skipped = result.skipped;
  summary.seconds = result.seconds;
  summary.interrupted = result.cancelled || RenderStopRequested();
  if (summary.interrupted || !summary.video) return summary;

  try {
    EncodeVideo(run.pattern, run.first, run.last, animation.frameRate, options.outputPath);
  } catch (const EAnimation&) {
    // Ctrl+C reaches ffmpeg too, which stops without a video; the frames stay for the next run.
    if (!RenderStopRequested()) throw;
    summary.interrupted = true;
    return summary;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return summary;
}

std::string FormatAnimateSummary(const TAnimateSummary& s) {
  const int count = s.last - s.first + 1;
  std::string text = s.interrupted ? "interrupted: " : "";
  text += "rendered frames " + std::to_string(s.first) + " to " + std::to_string(s.last) + " (" +
          std::to_string(s.written) + " written, " + std::to_string(s.skipped) + " already there";
  if (s.interrupted) text += ", " + std::to_string(count - s.written - s.skipped) + " left";
  text += ") in " + Fixed(s.seconds, 3) + " s on " + std::to_string(s.threads) +
          (s.threads == 1 ? " thread: " : " threads: ") + s.output;
  if (s.interrupted && s.video) text += "; run again to go on from the frames in " + VideoFramesFolder(s.output);
  return text;
}
