// A window drawing beside a background render to file: how often the frame's event loop runs (the engine's pumps
// of the window's pass, and a 1 ms timer standing for the user's input), and both renders' speeds, first with the
// window drawing alone, then beside a 3840 x 2160 render supersampled twice. It prints the figures; the target (at
// least 50 event-loop runs a second) is judged by reading them, since timings depend on the machine.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <thread>

#include "engine/formula.h"
#include "shell/main_form.h"
#include "shell/render_jobs.h"
#include "shell_test_support.h"

namespace {

constexpr qint64 kMeasureMs = 3000;

struct TLoopRate {
  double pumpsPerSecond = 0, probesPerSecond = 0, longestWaitMs = 0, windowStepsPerSecond = 0,
         backgroundStepsPerSecond = 0;
};

// Measures while the window's pass, started by `draw`, draws; `during` runs first (from inside the pass).
TLoopRate Measure(TMainForm& frame, TMDIChild* w, QAction* draw, const std::function<void()>& during,
                  const std::function<bool()>& ready) {
  TLoopRate rate;
  TEngineCounters start;
  QElapsedTimer clock, sinceProbe;
  QTimer probe;
  probe.setInterval(1);
  int probes = 0;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    ++probes;
    rate.longestWaitMs = std::max(rate.longestWaitMs, sinceProbe.nsecsElapsed() / 1e6);
    sinceProbe.start();
  });
  When([w] { return Drawing(*w, 1, 20000); },
       [&] {
         during();
         When(ready, [&] {
         start = GetEngineCounters();
         clock.start();
         sinceProbe.start();
         probe.start();
         When([&] { return clock.elapsed() >= kMeasureMs; },
              [&] {
                const TEngineCounters end = GetEngineCounters();
                const double seconds = clock.nsecsElapsed() / 1e9;
                rate.pumpsPerSecond = (end.pumps - start.pumps) / seconds;
                rate.windowStepsPerSecond = (end.mainSteps - start.mainSteps) / seconds;
                rate.probesPerSecond = probes / seconds;
                const auto jobs = Control<TRenderJobs>(frame, "RenderJobs")->Jobs();
                if (!jobs.empty()) rate.backgroundStepsPerSecond = jobs.front().progress.StepsPerSecond();
                probe.stop();
                Control<TRenderJobs>(frame, "RenderJobs")->DiscardAllAndWait();
                w->Abort();
              },
              [w] { w->Abort(); }, kMeasureMs + 20000);
         }, [w] { w->Abort(); }, 60000);
       },
       [w] { w->Abort(); });
  draw->trigger();
  return rate;
}

TEST(RenderToFileResponsiveness, AWindowDrawingBesideABackgroundRenderIsMeasured) {
  RecordedMessages().clear();
  TMainForm frame(TestServices());
  frame.show();
  ASSERT_TRUE(WaitUntil([&] { return frame.Children().size() == 1 && FirstShowDone(*frame.Children()[0]); }));
  TMDIChild* w = frame.Children()[0];
  const auto print = [](const char* what, const TLoopRate& r) {
    std::printf("[ render to file ] %s: event loop %.0f pumps/s of the pass, 1 ms timer %.0f/s (longest wait"
                " %.1f ms), window %.0f steps/s, background %.0f steps/s\n",
                what, r.pumpsPerSecond, r.probesPerSecond, r.longestWaitMs, r.windowStepsPerSecond,
                r.backgroundStepsPerSecond);
  };
  const TLoopRate alone = Measure(frame, w, w->Menus().ifsItems[0], [] {}, [] { return true; });
  print("window alone", alone);
  // Apply draws the same coefficients again.
  const TLoopRate beside = Measure(frame, w, Control<QAction>(frame, "ApplyButton"), [&] {
    TRenderRequest request;
    request.spec.params = w->Params();
    request.spec.width = 3840;
    request.spec.height = 2160;
    request.spec.supersample = 2;
    request.spec.filterRadius = 1;
    request.spec.steps = 4'000'000'000;
    request.spec.orbits = 8;
    request.spec.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) - 1);
    request.spec.seed = 1;
    request.picturePath = "unwritten.png";
    Control<TRenderJobs>(frame, "RenderJobs")->Add(request);
  }, [&] {  // the grid is made and the background render draws
    const auto jobs = Control<TRenderJobs>(frame, "RenderJobs")->Jobs();
    return !jobs.empty() && jobs.front().progress.steps > 0;
  });
  print("beside a 3840x2160 S=2 render", beside);
  ::testing::Test::RecordProperty("pumps_per_second_beside_render", static_cast<int>(beside.pumpsPerSecond));
  EXPECT_GT(beside.backgroundStepsPerSecond, 0);  // the background render really ran while measured
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

}  // namespace
