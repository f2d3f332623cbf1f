#include "cli/hit_count_commands.h"

#include <algorithm>
#include <atomic>
#include <csignal>

#include "document/hit_counts.h"
#include "engine/tone.h"
#include "files/file_format_writer.h"
#include "files/gradient_file.h"
#include "files/image_export.h"

namespace {

// A signal handler may only touch lock-free atomics.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Paints the document's picture from its counts and saves it, as a render saves its picture.
void SavePicture(TFractalDocument& document, const TRenderOptions& options) {
  TPixelGraphic& image = *document.Picture();
  image.SaveColorResWarningAction = TPGWarningAction::pgwaIgnore;
  const TWarningBox answerOK = [](const std::string&, const std::string&, TWarningButtons) { return true; };
  SavePixelGraphicToFile(image, options.outputPath, options.fileOptions, answerOK);
}

// The document as a picture, with the command line's colouring; new pictures take the screen gamma of --gamma.
void Restore(TFractalDocument& document, const THitCountDocument& counts, const TRenderOptions& options) {
  const long double previousGamma = TPixelGraphic::DefaultGamma();
  ApplyScreenGamma(options.fileOptions);
  try {
    RestoreHitCounts(document, counts, options.filterRadius);
  } catch (...) {
    TPixelGraphic::SetDefaultGamma(previousGamma);
    throw;
  }
  TPixelGraphic::SetDefaultGamma(previousGamma);
  TDocumentRecord& v = document.Params();
  ApplyColourOptions(options, v);
  if (options.white) v.invert = true;
  if (v.colouring == TColouring::Gradient && !counts.HasColour())
    throw EHitCountFile("the document holds no colour coordinates to paint a gradient from: it was drawn with the "
                        "defined colouring (render it again with --colouring gradient)");
  RepaintPicture(v);
}

}  // namespace

void RequestRenderStop() { g_stopRequested.store(true, std::memory_order_relaxed); }
bool RenderStopRequested() { return g_stopRequested.load(std::memory_order_relaxed); }
void ClearRenderStopRequest() { g_stopRequested.store(false, std::memory_order_relaxed); }

void ApplyColourOptions(const TRenderOptions& options, TFractalParams& v) {
  if (options.red) v.red = *options.red;
  if (options.green) v.green = *options.green;
  if (options.blue) v.blue = *options.blue;
  if (options.intensity) v.intensity = *options.intensity;
  if (options.tone) {
    v.logDensity = *options.tone == TRenderTone::Log;
    if (!v.logDensity) v.sqrtFilter = *options.tone == TRenderTone::Sqrt;
  }
  if (options.brightness) v.toneBrightness = *options.brightness;
  if (options.toneGamma) v.toneGamma = *options.toneGamma;
  if (options.colouring) v.colouring = *options.colouring;
  if (options.colourPositions) v.colourPositions = *options.colourPositions;
  if (options.gradient) v.gradient = GradientFromNameOrFile(*options.gradient);
  if (options.gradientOffset) v.gradientView.offset = *options.gradientOffset;
  if (options.gradientScale) v.gradientView.scale = *options.gradientScale;
  if (options.gradientReversed) v.gradientView.reversed = true;
  if (options.vibrancy) v.vibrancy = *options.vibrancy;
}

bool IsHitCountPath(const std::string& path) {
  std::string extension = ExtensionOf(path);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == kHitCountExtension;
}

TRenderSummary MergeDocuments(const TRenderOptions& options) {
  const bool documentOut = IsHitCountPath(options.outputPath);
  std::vector<THitCountDocument> documents;
  documents.reserve(options.mergePaths.size());
  for (const std::string& path : options.mergePaths) documents.push_back(LoadHitCountDocument(path));
  const THitCountDocument sum = MergeHitCountDocuments(documents);
  documents.clear();

  TRenderSummary summary;
  summary.steps = static_cast<std::int64_t>(std::min<std::uint64_t>(sum.mainSteps, INT64_MAX));
  summary.documents = static_cast<int>(options.mergePaths.size());
  if (documentOut) {
    SaveHitCountDocument(options.outputPath, sum);
  } else {
    TFractalDocument document;
    Restore(document, sum, options);
    SavePicture(document, options);
  }
  if (options.saveCountsPath) SaveHitCountDocument(*options.saveCountsPath, sum);
  summary.picturePath = options.outputPath;
  return summary;
}

TRenderSummary RetoneDocument(const TRenderOptions& options) {
  const THitCountDocument counts = LoadHitCountDocument(*options.retonePath);
  TFractalDocument document;
  Restore(document, counts, options);
  SavePicture(document, options);
  TRenderSummary summary;
  summary.steps = static_cast<std::int64_t>(std::min<std::uint64_t>(counts.mainSteps, INT64_MAX));
  summary.documents = 1;
  summary.picturePath = options.outputPath;
  return summary;
}
