// Passes that draw with parallel orbits on worker threads, through the real frame: the "Use all processor cores"
// option decides between the eight orbits of a parallel pass and the engine's single orbit, exactly; and a parallel
// pass keeps every behaviour of a pass -- progress caption, Stop, a nested pass on a new picture, Exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "dialogs/options_dialog.h"
#include "engine/formula.h"
#include "engine/orbits.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"
#include "services/services.h"

namespace {

constexpr std::uint64_t kSeed = 777;
// Orbit 0 alone for its first 10000 steps, then two full rounds of eight orbits and part of a third.
const std::int64_t kBudget = 10000 + 2 * OrbitRoundSteps(kParallelPassOrbits) * kParallelPassOrbits + 5003;

using TBytes = std::vector<std::uint8_t>;

TBytes BytesOf(const TPixelGraphic& image) {
  return TBytes(image.Bits(), image.Bits() + image.ImageSize());
}

// The record as the window drew it, drawn again headless from the same seed and budget: with `orbits` orbits on
// one thread, or by RunFractal itself when orbits is 0.
TBytes Headless(TFractalParams v, bool randomize, int orbits) {
  TPixelGraphic image;
  image.SetSize(v.imageWidth, v.imageHeight, TColorRes::Bits24);
  const std::size_t n = static_cast<std::size_t>(std::max(v.imageWidth, v.imageHeight));
  THitList red(n * n, 0), green(n * n, 0), blue(n * n, 0);
  v.image = &image;
  v.redList = &red;
  v.greenList = &green;
  v.blueList = &blue;
  v.randomize = randomize;
  v.abort = false;
  EngineHost* host = GetEngineHost();
  SetEngineHost(nullptr);
  ResetEngineState();
  SeedEngineRandom(kSeed);
  SetEngineStepBudget(kBudget);
  if (orbits == 0)
    RunFractal(&v);
  else
    RunFractalOrbits(&v, orbits, 1);
  SetEngineStepBudget(kNoStepBudget);
  ReseedEngineRandomFromClock();
  SetEngineHost(host);
  return BytesOf(image);
}

class ParallelPass : public FrameTest {
 protected:
  void TearDown() override {
    TestServices().modalRunner = {};
    SetEngineStepBudget(kNoStepBudget);
    ReseedEngineRandomFromClock();
    FrameTest::TearDown();
  }

  // "Use all processor cores" set through the Options dialog, closed with OK.
  void SetUseAllCores(bool on) {
    TestServices().modalRunner = [on](QDialog& dialog) {
      auto& form = dynamic_cast<TForm2&>(dialog);
      if (Control<QCheckBox>(form, "UseAllCoresCB")->isChecked() != on)
        Control<QCheckBox>(form, "UseAllCoresCB")->click();
      Control<QPushButton>(form, "OKButton")->click();
      return dialog.result();
    };
    Control<QAction>(*frame, "JPGFileOptions1")->trigger();
    TestServices().modalRunner = {};
    ASSERT_EQ(frame->DrawingOptions().useAllCores, on);
  }

  // The engine as at program start, seeded, and a budget that ends the pass on its own.
  static void SeedAndBound() {
    ResetEngineState();
    SeedEngineRandom(kSeed);
    SetEngineStepBudget(kBudget);
  }
};

TEST_F(ParallelPass, WithTheOptionOnAPassDrawsEightOrbitsAndOffExactlyTheSingleOrbit) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(frame->DrawingOptions().useAllCores);  // on by default

  // IFS 01 from the menu, with the random coefficients the first pass draws.
  SeedAndBound();
  w->Menus().ifsItems[0]->trigger();
  ASSERT_EQ(w->PassDepth(), 0);
  ASSERT_NE(w->Params().image, nullptr);
  const TBytes parallel = BytesOf(*w->Params().image);
  EXPECT_EQ(parallel, Headless(w->Params(), true, kParallelPassOrbits));
  // Not what one orbit draws: the option really reached the engine.
  EXPECT_NE(parallel, Headless(w->Params(), true, 0));
  EXPECT_NE(parallel, TBytes(parallel.size(), 0));

  // Off: Apply draws the same coefficients again, now with the single orbit.
  SetUseAllCores(false);
  SeedAndBound();
  Control<QAction>(*frame, "ApplyButton")->trigger();
  ASSERT_EQ(w->PassDepth(), 0);
  const TBytes single = BytesOf(*w->Params().image);
  EXPECT_EQ(single, Headless(w->Params(), false, 0));
  EXPECT_NE(single, Headless(w->Params(), false, kParallelPassOrbits));

  // On again: the next pass is parallel again.
  SetUseAllCores(true);
  SeedAndBound();
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_EQ(BytesOf(*w->Params().image), Headless(w->Params(), false, kParallelPassOrbits));
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

// The progress caption comes every 500 ms while the workers draw, and one Stop ends the pass.
TEST_F(ParallelPass, ProgressShowsAndStopEndsTheParallelPass) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  const QString title = w->windowTitle();
  QString caption;
  bool stopped = false;
  QTimer::singleShot(0, [&] {
    When([w] { return Drawing(*w, 1, 50000) && w->Params().ticks >= 2; },
         [&] {
           caption = w->windowTitle();
           stopped = true;
           Control<QAction>(*frame, "AbortButton")->trigger();
         },
         StopAll());
  });
  w->Menus().ifsItems[1]->trigger();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_TRUE(w->Params().abort);
  EXPECT_EQ(caption.count(QStringLiteral("    ")), 4) << caption.toStdString();
  EXPECT_EQ(w->windowTitle(), title);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

// A size from the menu while eight orbits draw starts a nested pass on a new picture and new hit lists; the outer
// parallel run must let go of the old ones, and one Stop ends both.
TEST_F(ParallelPass, ASizeChangeWhileEightOrbitsDrawNestsAndOneStopEndsBoth) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  const TMenuSize size = kMenuSizes[1];
  int deepest = 0;
  bool stopped = false;
  QTimer::singleShot(0, [&] {
    When([w] { return Drawing(*w, 1, 30000); }, [&] { w->Menus().sizeItems[1]->trigger(); }, StopAll());
    When([w] { return Drawing(*w, 2, 30000); },
         [&] {
           deepest = w->PassDepth();
           stopped = true;
           Control<QAction>(*frame, "AbortButton")->trigger();
         },
         StopAll());
  });
  w->Menus().ifsItems[0]->trigger();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(deepest, 2);
  EXPECT_EQ(w->PassDepth(), 0);
  ASSERT_NE(w->Params().image, nullptr);
  EXPECT_EQ(w->Params().image->Width(), size.width);
  EXPECT_EQ(w->Params().image->Height(), size.height);

  // The window still draws afterwards, in parallel, on the new picture. The coefficients are whatever the stopped
  // passes left, so the pass may restart with new ones: the headless run starts from the same record.
  SeedAndBound();
  const TFractalParams before = w->Params();
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_EQ(BytesOf(*w->Params().image), Headless(before, false, kParallelPassOrbits));
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

// Exit while a parallel pass draws: the pass goes on until the exit has unwound it, then the program ends.
TEST_F(ParallelPass, ExitWhileEightOrbitsDrawEndsThePassAndTheProgram) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  bool exitIssued = false;
  QTimer::singleShot(0, [&] {
    When([w] { return Drawing(*w, 1, 30000); },
         [&] {
           exitIssued = true;
           Control<QAction>(*frame, "FileExitItem")->trigger();
         },
         StopAll());
    w->Menus().ifsItems[2]->trigger();
  });
  bool watchdogFired = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    watchdogFired = true;
    w->Abort();
    QCoreApplication::quit();
  });
  watchdog.start(30000);
  const int result = QApplication::exec();
  watchdog.stop();
  EXPECT_FALSE(watchdogFired);
  EXPECT_TRUE(exitIssued);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_TRUE(frame->ExitRequested());
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

}  // namespace
