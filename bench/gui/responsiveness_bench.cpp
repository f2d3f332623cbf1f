// How fast the engine draws inside the frame (pumping the event loop, progress repaints every 500 ms) compared
// with the same preset, view and size run headless at the same orbits K and threads T: the single orbit (the
// option "Use all processor cores" off) and K = 8 on every core (on). It prints both figures and how often the
// frame's event loop ran while drawing; speed is judged by reading them, not asserted, since timings depend on the
// machine.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "dialogs/options_dialog.h"
#include "engine/formula.h"
#include "engine/orbits.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "windows/child_probe.h"
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
  double longestWaitMs = 0;  // the longest a 1 ms timer of the frame's event loop waited between two firings
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

// The same record as the window drew, with a picture and lists of its own and a host that only counts, on K orbits
// and T threads (K = 1: RunFractal).
TRate Headless(const TFractalParams& drawn, TPassShape shape) {
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
  if (shape.orbits > 1)
    RunFractalOrbits(&v, shape.orbits, shape.threads);
  else
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
  // Stands for a user's input: how long it can wait for the event loop while the engine draws.
  QTimer probe;
  probe.setInterval(1);
  QElapsedTimer sinceProbe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    gui.longestWaitMs = std::max(gui.longestWaitMs, sinceProbe.nsecsElapsed() / 1e6);
    sinceProbe.start();
  });
  When([w] { return Drawing(*w) && GetEngineCounters().mainSteps >= kWarmUpSteps; },
       [&] {
         start = GetEngineCounters();
         clock.start();
         sinceProbe.start();
         probe.start();
         const int ticksAtStart = TMDIChildProbe::Record(*w).ticks;
         When([&] { return clock.elapsed() >= kMeasureMs; },
              [&, ticksAtStart] {
                const TEngineCounters end = GetEngineCounters();
                const double seconds = clock.nsecsElapsed() / 1e9;
                gui.stepsPerSecond = (end.mainSteps - start.mainSteps) / seconds;
                gui.pumpsPerSecond = (end.pumps - start.pumps) / seconds;
                gui.progressTicks = TMDIChildProbe::Record(*w).ticks - ticksAtStart;
                probe.stop();
                Control<QAction>(frame, "AbortButton")->trigger();
              },
              [w] { w->Abort(); }, 2 * kMeasureMs + 10000);
       },
       [w] { w->Abort(); });
  ClearEngineCounters();
  SeedEngineRandom(kSeed);
  Control<QAction>(frame, "ApplyButton")->trigger();  // draws until the measurement stops it
  ReseedEngineRandomFromClock();
  return gui;
}

// "Use all processor cores" through the Options dialog.
void SetUseAllCores(TMainForm& frame, bool on) {
  TestServices().modalRunner = [on](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    if (Control<QCheckBox>(form, "UseAllCoresCB")->isChecked() != on) Control<QCheckBox>(form, "UseAllCoresCB")->click();
    Control<QPushButton>(form, "OKButton")->click();
    return dialog.result();
  };
  Control<QAction>(frame, "JPGFileOptions1")->trigger();
  TestServices().modalRunner = {};
}

void Measure(TMainForm& frame, TMDIChild* w, bool useAllCores) {
  SetUseAllCores(frame, useAllCores);
  ASSERT_EQ(frame.DrawingOptions().useAllCores, useAllCores);
  const TPassShape shape = PassShapeOf(frame.DrawingOptions(), std::thread::hardware_concurrency());
  // Alternating rounds, best of each: other work on the machine only ever slows a round down.
  TRate gui, headless;
  double fewestPumps = 0;
  for (int round = 0; round < kRounds; ++round) {
    const TRate g = InFrame(frame, w);
    ASSERT_EQ(w->PassDepth(), 0);
    const TRate h = Headless(TMDIChildProbe::Record(*w), shape);
    std::printf("[ responsiveness ] K=%d T=%d round %d: in the frame %.0f steps/s (%.0f pumps/s, longest wait of an"
                " event %.1f ms, %d progress ticks in %.1f s), headless %.0f steps/s\n",
                shape.orbits, shape.threads, round + 1, g.stepsPerSecond, g.pumpsPerSecond, g.longestWaitMs,
                g.progressTicks, kMeasureMs / 1000.0, h.stepsPerSecond);
    EXPECT_GT(g.progressTicks, 0);  // the progress display ran while the engine drew
    if (g.stepsPerSecond > gui.stepsPerSecond) gui = g;
    if (h.stepsPerSecond > headless.stepsPerSecond) headless = h;
    if (round == 0 || g.pumpsPerSecond < fewestPumps) fewestPumps = g.pumpsPerSecond;
  }
  const double share = headless.stepsPerSecond > 0 ? 100.0 * gui.stepsPerSecond / headless.stepsPerSecond : 0;
  std::printf("[ responsiveness ] IFS0101 %dx%d, K=%d T=%d, best of %d: in the frame %.0f steps/s, headless %.0f"
              " steps/s: %.1f %% of headless; the frame's event loop ran at least %.0f times a second\n",
              TMDIChildProbe::Record(*w).imageWidth, TMDIChildProbe::Record(*w).imageHeight, shape.orbits, shape.threads, kRounds, gui.stepsPerSecond,
              headless.stepsPerSecond, share, fewestPumps);
  const std::string suffix = "_k" + std::to_string(shape.orbits) + "_t" + std::to_string(shape.threads);
  ::testing::Test::RecordProperty("gui_steps_per_second" + suffix, static_cast<int>(gui.stepsPerSecond));
  ::testing::Test::RecordProperty("headless_steps_per_second" + suffix, static_cast<int>(headless.stepsPerSecond));
  ::testing::Test::RecordProperty("gui_pumps_per_second" + suffix, static_cast<int>(fewestPumps));
  EXPECT_GT(gui.stepsPerSecond, 0);
  EXPECT_GT(headless.stepsPerSecond, 0);
}

TEST(Responsiveness, EngineInsideTheFrameIsMeasuredAgainstHeadless) {
  RecordedMessages().clear();
  TMainForm frame(TestServices());
  frame.show();
  ASSERT_TRUE(WaitUntil([&] { return frame.Children().size() == 1 && FirstShowDone(*frame.Children()[0]); }));
  TMDIChild* w = frame.Children()[0];
  SetSierpinski(TMDIChildProbe::Record(*w));
  TMDIChildProbe::Record(*w).xCenter = 0.5;
  TMDIChildProbe::Record(*w).yCenter = 0.5;
  TMDIChildProbe::Record(*w).zoom = 2.0 / 0.6;

  Measure(frame, w, false);  // one orbit on the GUI thread
  Measure(frame, w, true);   // eight orbits on every core
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

}  // namespace
