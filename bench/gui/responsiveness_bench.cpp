// How fast the engine draws inside the frame (pumping the event loop, progress repaints every 500 ms) compared
// with the same preset, view and size run headless. It prints both figures; speed is judged by reading them,
// not asserted, since timings depend on the machine.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>

#include "engine/formula.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "windows/window_test_support.h"

namespace {

constexpr std::int64_t kWarmUpSteps = 10000;  // the Lyapunov steps of a run's start cost extra
constexpr qint64 kMeasureMs = 1500;
constexpr int kRounds = 3;
constexpr std::uint64_t kSeed = 20240601;

// The Sierpinski triangle of the engine benchmark.
void SetSierpinski(TFractalParams& v) {
  v.ifs0101 = true;
  const double maps[3][6] = {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0.25, 0.5}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 6; ++k) v.af[offsets[m] + 1 + k] = maps[m][k];
}

struct TRate {
  double stepsPerSecond = 0;
  double pumpsPerSecond = 0;
  int progressTicks = 0;
};

// Measures from the end of the warm-up for kMeasureMs, then sets abort.
class TMeasuringHost : public EngineHost {
 public:
  explicit TMeasuringHost(TFractalParams& v) : v_(v) {}
  void ProcessMessages() override {
    const TEngineCounters c = GetEngineCounters();
    if (!started_) {
      if (c.mainSteps < kWarmUpSteps) return;
      started_ = true;
      start_ = c;
      clock_.start();
      return;
    }
    if (clock_.elapsed() < kMeasureMs) return;
    const double seconds = clock_.nsecsElapsed() / 1e9;
    rate.stepsPerSecond = (c.mainSteps - start_.mainSteps) / seconds;
    rate.pumpsPerSecond = (c.pumps - start_.pumps) / seconds;
    v_.abort = true;
  }
  void ParametersUpdate() override {}
  TRate rate;

 private:
  TFractalParams& v_;
  bool started_ = false;
  TEngineCounters start_;
  QElapsedTimer clock_;
};

// The same record as the window drew, with a picture and lists of its own and a host that only counts.
TRate Headless(const TFractalParams& drawn) {
  TFractalParams v = drawn;
  TPixelGraphic image;
  image.SetSize(v.imageWidth, v.imageHeight, TColorRes::Bits24);
  const std::size_t n = static_cast<std::size_t>(std::max(v.imageWidth, v.imageHeight));
  THitList red(n * n, 0), green(n * n, 0), blue(n * n, 0);
  v.image = &image;
  v.redList = &red;
  v.greenList = &green;
  v.blueList = &blue;
  v.randomize = false;
  v.abort = false;
  TMeasuringHost host(v);
  EngineHost* previous = GetEngineHost();
  SetEngineHost(&host);
  SeedEngineRandom(kSeed);
  ClearEngineCounters();
  RunFractal(&v);
  SetEngineHost(previous);
  ReseedEngineRandomFromClock();
  return host.rate;
}

// One measurement of the window drawing through the frame, from the end of the warm-up for kMeasureMs.
TRate InFrame(TMainForm& frame, TMDIChild* w) {
  TRate gui;
  TEngineCounters start;
  QElapsedTimer clock;
  When([w] { return Drawing(*w) && GetEngineCounters().mainSteps >= kWarmUpSteps; },
       [&] {
         start = GetEngineCounters();
         clock.start();
         const int ticksAtStart = w->v.ticks;
         When([&] { return clock.elapsed() >= kMeasureMs; },
              [&, ticksAtStart] {
                const TEngineCounters end = GetEngineCounters();
                const double seconds = clock.nsecsElapsed() / 1e9;
                gui.stepsPerSecond = (end.mainSteps - start.mainSteps) / seconds;
                gui.pumpsPerSecond = (end.pumps - start.pumps) / seconds;
                gui.progressTicks = w->v.ticks - ticksAtStart;
                frame.AbortButton->trigger();
              },
              [w] { w->Abort(); }, 2 * kMeasureMs + 10000);
       },
       [w] { w->Abort(); });
  ClearEngineCounters();
  SeedEngineRandom(kSeed);
  frame.ApplyButton->trigger();  // draws until the measurement stops it
  ReseedEngineRandomFromClock();
  return gui;
}

TEST(Responsiveness, EngineInsideTheFrameIsMeasuredAgainstHeadless) {
  RecordedMessages().clear();
  TMainForm frame;
  frame.show();
  ASSERT_TRUE(WaitUntil([&] { return frame.Children().size() == 1 && FirstShowDone(*frame.Children()[0]); }));
  TMDIChild* w = frame.Children()[0];
  SetSierpinski(w->v);
  w->v.xCenter = 0.5;
  w->v.yCenter = 0.5;
  w->v.zoom = 2.0 / 0.6;

  // Alternating rounds, best of each: other work on the machine only ever slows a round down.
  TRate gui, headless;
  for (int round = 0; round < kRounds; ++round) {
    const TRate g = InFrame(frame, w);
    ASSERT_EQ(w->PassDepth(), 0);
    const TRate h = Headless(w->v);
    std::printf("[ responsiveness ] round %d: in the frame %.0f steps/s (%.0f pumps/s, %d progress ticks in %.1f s),"
                " headless %.0f steps/s\n",
                round + 1, g.stepsPerSecond, g.pumpsPerSecond, g.progressTicks, kMeasureMs / 1000.0,
                h.stepsPerSecond);
    EXPECT_GT(g.progressTicks, 0);  // the progress display ran while the engine drew
    if (g.stepsPerSecond > gui.stepsPerSecond) gui = g;
    if (h.stepsPerSecond > headless.stepsPerSecond) headless = h;
  }
  const double share = headless.stepsPerSecond > 0 ? 100.0 * gui.stepsPerSecond / headless.stepsPerSecond : 0;
  std::printf("[ responsiveness ] IFS0101 %dx%d, best of %d: in the frame %.0f steps/s, headless %.0f steps/s:"
              " %.1f %% of headless\n",
              w->v.imageWidth, w->v.imageHeight, kRounds, gui.stepsPerSecond, headless.stepsPerSecond, share);
  ::testing::Test::RecordProperty("gui_steps_per_second", static_cast<int>(gui.stepsPerSecond));
  ::testing::Test::RecordProperty("headless_steps_per_second", static_cast<int>(headless.stepsPerSecond));
  EXPECT_GT(gui.stepsPerSecond, 0);
  EXPECT_GT(headless.stepsPerSecond, 0);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

}  // namespace
