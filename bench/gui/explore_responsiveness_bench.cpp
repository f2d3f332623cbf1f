// The frame's event loop while the Explore grid fills: a 1 ms timer stands for the user's input, and the longest
// wait between two of its runs is what a user would feel. Measured for a random page of each of the two families
// the targets name and for a "More like this" page, with the windows idle and with a window drawing beside the
// search (its pass pumps the event loop). It prints the figures; the target (no wait longer than 50 ms) is judged by
// reading them, since timings depend on the machine.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "shell/explore_window.h"
#include "shell/main_form.h"
#include "shell_test_support.h"

namespace {

constexpr int kFillTimeoutMs = 60000;
constexpr double kLongWaitMs = 50;

struct TFillFigures {
  double fillMs = 0, longestWaitMs = 0;
  int longWaits = 0, probes = 0;
};

// Runs `start` and pumps until the grid of `explore` is full and its search has ended, measuring the event loop.
// From inside a window's pass the pumping is the pass's own; the wait only looks at the clock.
TFillFigures MeasureFill(TExploreWindow& explore, const std::function<void()>& start, int wanted) {
  TFillFigures figures;
  QElapsedTimer clock, sinceProbe;
  QTimer probe;
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    ++figures.probes;
    const double waited = sinceProbe.nsecsElapsed() / 1e6;
    figures.longestWaitMs = std::max(figures.longestWaitMs, waited);
    if (waited > kLongWaitMs) ++figures.longWaits;
    sinceProbe.start();
  });
  clock.start();
  sinceProbe.start();
  probe.start();
  start();
  const bool full = WaitUntil([&] { return explore.FilledCount() >= wanted && !explore.Searching(); }, kFillTimeoutMs);
  figures.fillMs = clock.nsecsElapsed() / 1e6;
  probe.stop();
  EXPECT_TRUE(full) << explore.FilledCount() << " of " << wanted;
  return figures;
}

void Print(const char* what, const TFillFigures& f) {
  std::printf("[ explore ] %-46s filled in %6.0f ms; 1 ms timer ran %5d times, longest wait %5.1f ms, %d waits"
              " over %.0f ms\n",
              what, f.fillMs, f.probes, f.longestWaitMs, f.longWaits, kLongWaitMs);
}

class ExploreResponsiveness : public FrameTest {
 protected:
  TExploreWindow* OpenExplore() {
    frame->Explore1Click();
    TExploreWindow* explore = frame->ExploreWindow();
    EXPECT_NE(explore, nullptr);
    if (explore == nullptr) return nullptr;
    explore->Stop();
    return explore;
  }

  // The three pages measured, one after the other: a random G-Mira / Martin page, a random IFS-01 page, and the 3 x 3
  // page around the first set found.
  void MeasurePages(TExploreWindow& explore, const char* where) {
    const int page = kExploreDefaultColumns * kExploreDefaultRows;
    const struct {
      const char* caption;
      const char* family;
    } families[] = {{"G-Mira / Martin (any)", "mira"}, {"IFS-01 (any)", "ifs"}};
    QComboBox* familyBox = Control<QComboBox>(explore, "FamilyBox");
    for (const auto& family : families) {
      const int index = familyBox->findData(QString::fromLatin1(family.family));
      ASSERT_GE(index, 0) << family.family;
      const TFillFigures f = MeasureFill(explore, [&] {
        // Choosing a family starts a search of it; choosing the one shown does not, so search again.
        if (familyBox->currentIndex() == index) explore.Search();
        else familyBox->setCurrentIndex(index);
      }, page);
      const std::string what = std::string(where) + ", " + family.caption;
      Print(what.c_str(), f);
    }
    const TExploreCandidate* first = explore.CandidateAt(0);
    ASSERT_NE(first, nullptr);
    const TFractalParams set = first->params;
    const TFillFigures f = MeasureFill(explore, [&] { explore.MoreLikeThis(set); },
                                       kMutationGridSide * kMutationGridSide);
    const std::string what = std::string(where) + ", More like this";
    Print(what.c_str(), f);
  }
};

TEST_F(ExploreResponsiveness, TheEventLoopWhileTheGridFillsIsMeasured) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TExploreWindow* explore = OpenExplore();
  ASSERT_NE(explore, nullptr);
  MeasurePages(*explore, "windows idle");

  // A window draws beside the search: the pages are measured from inside its pass.
  bool measured = false;
  When([w] { return Drawing(*w, 1, 20000); },
       [&] {
         MeasurePages(*explore, "a window drawing");
         measured = true;
         w->Abort();
       },
       [w] { w->Abort(); });
  w->Menus().ifsItems[0]->trigger();
  EXPECT_TRUE(measured);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

}  // namespace
