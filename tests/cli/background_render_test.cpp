// Background renders (the desktop program's Render to File) against the renderer: the same parameter file, size,
// supersampling, steps, seed and orbits give the same file, also while another background render runs on another
// thread; a cancelled render keeps what it drew; what cannot be done is refused before anything is allocated.
#include "document/background_render.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "cli/render.h"
#include "cli_test_support.h"
#include "document/fractal_document.h"
#include "engine/render_context.h"
#include "files/file_format_writer.h"
#include "files/hit_count_file.h"
#include "files/image_export.h"
#include "image/pixel_graphic.h"

using namespace cli_test;

namespace {

const std::string kGalleryFile = std::string(OVEL_SOURCE_DIR) + "/docs/gallery/ifs-crystal.ifs";

// The parameter set as a window holds it after loading the file.
TFractalParams LoadedParams(const std::string& path) {
  TFractalDocument document(400, 300);
  document.Load(path, '.', [](const std::string&) {});
  document.SetMaps(kDefaultRenderMaps);
  return document.Record();
}

TBackgroundRenderSpec Spec(int supersample, double radius) {
  TBackgroundRenderSpec spec;
  spec.params = LoadedParams(kGalleryFile);
  spec.width = 160;
  spec.height = 120;
  spec.supersample = supersample;
  spec.filterRadius = radius;
  spec.steps = 150000;
  spec.orbits = 8;
  spec.threads = 2;
  spec.seed = 11;
  return spec;
}

TRenderOptions RendererOptions(const TBackgroundRenderSpec& spec, const std::string& out) {
  TRenderOptions o;
  o.paramsPath = kGalleryFile;
  o.outputPath = out;
  o.width = spec.width;
  o.height = spec.height;
  o.supersample = spec.supersample;
  o.filterRadius = spec.filterRadius;
  o.steps = spec.steps;
  o.seed = spec.seed;
  o.orbits = spec.orbits;
  o.threads = 1;
  return o;
}

void SavePicture(TBackgroundRender& render, const std::string& path) {
  const TWarningBox ok = [](const std::string&, const std::string&, TWarningButtons) { return true; };
  SavePixelGraphicToFile(*render.Document().Picture(), path, TFileOptions{}, ok);
}

}  // namespace

TEST(BackgroundRender, TwoAtOnceOnWorkersWriteWhatTheRendererWritesAlone) {
  TempFolder folder;
  TBackgroundRender plain(Spec(1, 0));
  TBackgroundRender fine(Spec(3, 1));
  const std::atomic<bool> cancel{false};
  std::thread a([&] { plain.Run(cancel); });
  std::thread b([&] { fine.Run(cancel); });
  a.join();
  b.join();
  EXPECT_FALSE(plain.Cancelled());
  EXPECT_EQ(plain.StepsDone(), plain.Spec().steps);
  SavePicture(plain, folder / "plain.png");
  SavePicture(fine, folder / "fine.png");
  SaveHitCountDocument(folder / "fine.ovc", fine.Counts());

  RenderParameterSet(RendererOptions(plain.Spec(), folder / "cli-plain.png"));
  TRenderOptions fineOptions = RendererOptions(fine.Spec(), folder / "cli-fine.png");
  fineOptions.saveCountsPath = folder / "cli-fine.ovc";
  RenderParameterSet(fineOptions);
  EXPECT_EQ(ReadBytes(folder / "plain.png"), ReadBytes(folder / "cli-plain.png"));
  EXPECT_EQ(ReadBytes(folder / "fine.png"), ReadBytes(folder / "cli-fine.png"));
  EXPECT_NE(ReadBytes(folder / "fine.png"), ReadBytes(folder / "plain.png"));
  EXPECT_EQ(ReadBytes(folder / "fine.ovc"), ReadBytes(folder / "cli-fine.ovc"));
}

// A large picture's rounds wait to be merged together, region by region, under the background render's seldom
// host; the renderer, told to gather nothing, merges every round by part as it ends. The files are the same, and the
// renderer leaves the engine's pump interval as it found it.
TEST(BackgroundRender, ALargeRenderWhoseRoundsWaitWritesWhatARenderMergingEveryRoundWrites) {
  TempFolder folder;
  TBackgroundRenderSpec spec = Spec(1, 0);
  spec.width = spec.height = 1024;
  spec.steps = 6 * 262144 + 70001;
  TBackgroundRender render(spec);
  const std::atomic<bool> cancel{false};
  render.Run(cancel);
  SavePicture(render, folder / "waited.png");

  TRenderContext& engine = DefaultRenderContext();
  const auto interval = engine.PumpInterval();
  engine.SetGatheredGridCells(std::numeric_limits<std::int64_t>::max());
  RenderParameterSet(RendererOptions(spec, folder / "every-round.png"));
  engine.SetGatheredGridCells(kDefaultGatheredGridCells);
  EXPECT_EQ(engine.PumpInterval(), interval);
  // Compared whole: a difference would print a megabyte of PNG.
  EXPECT_TRUE(ReadBytes(folder / "waited.png") == ReadBytes(folder / "every-round.png"));
}

TEST(BackgroundRender, ACancelledRenderStopsSoonKeepsItsPictureAndShowedPreviews) {
  TBackgroundRenderSpec spec = Spec(2, 0.5);
  spec.steps = 4'000'000'000;
  TBackgroundRender render(spec);
  std::atomic<bool> cancel{false};
  int previews = 0;
  TBackgroundProgress last;
  std::thread worker([&] {
    render.Run(
        cancel,
        [&](const TBackgroundProgress& p) {
          last = p;
          if (p.steps > 300000) cancel = true;
        },
        [&](std::unique_ptr<TPixelGraphic> picture) {
          if (picture && picture->Width() == spec.width && picture->Height() == spec.height) ++previews;
        },
        0);
  });
  worker.join();
  EXPECT_TRUE(render.Cancelled());
  EXPECT_GT(render.StepsDone(), 300000);
  EXPECT_LT(render.StepsDone(), spec.steps);
  EXPECT_GE(previews, 1);
  EXPECT_EQ(last.steps, render.StepsDone());
  const TPixelGraphic& picture = *render.Document().Picture();
  ASSERT_EQ(picture.Width(), spec.width);
  bool lit = false;
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(picture.ImageSize()) && !lit; ++i) lit = picture.Bits()[i] != 0;
  EXPECT_TRUE(lit);
  EXPECT_EQ(render.Counts().mainSteps, static_cast<std::uint64_t>(render.StepsDone()));
}

TEST(BackgroundRender, RefusesWhatCannotBeDoneNamingWhy) {
  const auto refusal = [](TBackgroundRenderSpec spec) -> std::string {
    try {
      TBackgroundRender render(std::move(spec));
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
    return "(accepted)";
  };
  TBackgroundRenderSpec spec = Spec(1, 0);
  spec.width = 16385;
  EXPECT_EQ(refusal(spec), "The picture size must be 1 to 16384 pixels on each side");
  spec = Spec(7, 0);
  EXPECT_NE(refusal(spec).find("Cannot render: "), std::string::npos);
  spec = Spec(1, 0);
  spec.steps = 0;
  EXPECT_EQ(refusal(spec), "Cannot render: no steps to make");
  spec = Spec(6, 1);
  spec.width = spec.height = 16384;
  const std::string memory = refusal(spec);
  EXPECT_EQ(memory.rfind("Cannot render: the render needs ", 0), 0u) << memory;
  EXPECT_NE(memory.find(" MiB of memory, but only "), std::string::npos) << memory;
}

// The desktop program's options may change the screen gamma while a render makes its picture on a worker: the
// picture takes one of the gammas set, and the thread checker sees no race.
TEST(BackgroundRender, ThePictureOfAWorkerTakesAGammaSetWhileItRuns) {
  const long double previous = TPixelGraphic::DefaultGamma();
  TBackgroundRender render(Spec(2, 0));
  const std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    render.Run(cancel);
    done = true;
  });
  for (int k = 0; !done; ++k) TPixelGraphic::SetDefaultGamma(k % 2 == 0 ? 2.2L : 1.8L);
  worker.join();
  TPixelGraphic::SetDefaultGamma(previous);
  const long double gamma = render.Document().Picture()->Gamma;
  EXPECT_TRUE(gamma == 2.2L || gamma == 1.8L) << static_cast<double>(gamma);
}
