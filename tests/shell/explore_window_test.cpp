// The Explore window and Frame Set through the real frame: the grid fills from the search's threads while the
// event loop runs, a thumbnail opens in a window that draws what a headless render of its parameter file draws,
// "More like this" puts the set in the middle of its variants, closing the window ends the search, and Frame Set
// is one undo step.
#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include "cli/render.h"
#include "explore/screen.h"
#include "files/file_options.h"
#include "files/image_export.h"
#include "image/pixel_graphic.h"
#include "shell/explore_window.h"
#include "shell_test_support.h"

namespace {

constexpr std::uint64_t kSeed = 4242;
constexpr std::int64_t kBudget = 120000;
// The search draws thousands of candidates; a sanitizer build takes many times as long as a release one.
constexpr int kSearchWaitMs = 180000;

std::string ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

class Explore : public FrameTest {
 protected:
  void TearDown() override {
    TestServices().ClearAnswers();
    SetEngineStepBudget(kNoStepBudget);
    ReseedEngineRandomFromClock();
    FrameTest::TearDown();
  }

  static void SeedAndBound() {
    ResetEngineState();
    SeedEngineRandom(kSeed);
    SetEngineStepBudget(kBudget);
  }

  static QListWidget* Grid(const TExploreWindow& explore) { return Control<QListWidget>(explore, "Grid"); }

  QListWidgetItem* ItemAt(const TExploreWindow& explore, int position) {
    QListWidget* grid = Grid(explore);
    for (int i = 0; i < grid->count(); ++i)
      if (grid->item(i)->data(Qt::UserRole).toInt() == position) return grid->item(i);
    return nullptr;
  }

  QTemporaryDir folder;
};

TEST_F(Explore, TheGridFillsAndADoubleClickedThumbnailDrawsWhatItsParameterFileDrawsHeadless) {
  TMDIChild* first = FirstWindow();
  ASSERT_NE(first, nullptr);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);

  Control<QAction>(*frame, "Explore1")->trigger();
  TExploreWindow* explore = frame->ExploreWindow();
  ASSERT_NE(explore, nullptr);
  EXPECT_TRUE(explore->Searching());
  const int page = kExploreDefaultColumns * kExploreDefaultRows;
  ASSERT_TRUE(WaitUntil([&] { return explore->FilledCount() == page && !explore->Searching(); }, kSearchWaitMs))
      << explore->FilledCount() << " of " << page;
  // The frame's timers went on firing while the workers searched.
  EXPECT_GT(ticks, 0);
  ticker.stop();
  const TExploreCandidate* candidate = explore->CandidateAt(0);
  ASSERT_NE(candidate, nullptr);
  const QString tip = ItemAt(*explore, 0)->toolTip();
  EXPECT_TRUE(tip.startsWith(QString::fromStdString(FamilyCaption(candidate->params)))) << tip.toStdString();
  EXPECT_TRUE(tip.contains(QStringLiteral("Lyapunov exponent %1").arg(candidate->figures.lyapunov, 0, 'f', 3)));
  EXPECT_TRUE(tip.contains(QStringLiteral("Correlation dimension")));

  // Its parameter file, from the thumbnail's context menu.
  const QString ifs = folder.filePath(QStringLiteral("found.ifs"));
  TestServices().saveDialog = [&](QWidget*, const TFileDialogRequest& request) {
    EXPECT_EQ(request.filter, QString::fromLatin1(kParamFileOpenFilter));
    return TFileDialogResult{true, ifs, 0};
  };
  Grid(*explore)->setCurrentItem(ItemAt(*explore, 0));
  Control<QAction>(*explore, "SaveParameterFile1")->trigger();
  ASSERT_TRUE(QFileInfo::exists(ifs));

  SeedAndBound();
  const int windows = static_cast<int>(frame->Children().size());
  QListWidget* grid = Grid(*explore);
  grid->doItemsLayout();
  const QRect cell = grid->visualItemRect(ItemAt(*explore, 0));
  ASSERT_FALSE(cell.isEmpty());
  // A double click is a press and release, then a second press that arrives as the double click.
  QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(static_cast<int>(frame->Children().size()), windows + 1);
  TMDIChild* w = frame->Children().back();
  ASSERT_TRUE(WaitUntil([w] { return FirstShowDone(*w) && w->Params().iterations > 0; }));
  // Exactly the set with its framing, as one step of the new window.
  EXPECT_EQ(w->Params().af, candidate->params.af);
  EXPECT_EQ(w->Params().xCenter, candidate->params.xCenter);
  EXPECT_EQ(w->Params().zoom, candidate->params.zoom);
  EXPECT_EQ(w->UndoStack()->count(), 1);
  const QString windowPicture = folder.filePath(QStringLiteral("window.ppm"));
  SavePixelGraphicToFile(*const_cast<TPixelGraphic*>(w->Params().image), windowPicture.toStdString(),
                         TFileOptions{}, [](const std::string&, const std::string&, TWarningButtons) { return true; });

  TRenderOptions headless;
  headless.paramsPath = ifs.toStdString();
  headless.outputPath = folder.filePath(QStringLiteral("headless.ppm")).toStdString();
  headless.width = w->Params().imageWidth;
  headless.height = w->Params().imageHeight;
  headless.steps = kBudget;
  headless.seed = kSeed;
  headless.orbits = kParallelPassOrbits;
  headless.threads = 1;
  headless.quiet = true;
  RenderParameterSet(headless);
  const std::string drawn = ReadFile(windowPicture);
  EXPECT_GT(drawn.size(), 1000u);
  EXPECT_TRUE(drawn == ReadFile(QString::fromStdString(headless.outputPath)));
  EXPECT_TRUE(RecordedMessages().isEmpty());

  // More like this on that window: a 3 x 3 page, the set itself in the middle.
  SetEngineStepBudget(kNoStepBudget);
  const auto set = w->Params().af;
  Control<QAction>(*frame, "MoreLikeThis1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return explore->FilledCount() == 9 && !explore->Searching(); }, kSearchWaitMs))
      << explore->FilledCount();
  ASSERT_NE(explore->CandidateAt(4), nullptr);
  EXPECT_EQ(explore->CandidateAt(4)->params.af, set);
  for (int position : {0, 8}) {
    ASSERT_NE(explore->CandidateAt(position), nullptr);
    EXPECT_NE(explore->CandidateAt(position)->params.af, set);
  }
}

TEST_F(Explore, ClosingTheWindowEndsTheSearch) {
  ASSERT_NE(FirstWindow(), nullptr);
  Control<QAction>(*frame, "Explore1")->trigger();
  TExploreWindow* explore = frame->ExploreWindow();
  ASSERT_NE(explore, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return explore->FilledCount() >= 1; }, kSearchWaitMs));
  explore->close();
  EXPECT_FALSE(explore->Searching());
  const int found = explore->FilledCount();
  EXPECT_LT(found, kExploreDefaultColumns * kExploreDefaultRows);
  // Nothing of the cancelled search arrives later.
  WaitUntil([] { return false; }, 1000);
  EXPECT_EQ(explore->FilledCount(), found);
}

TEST_F(Explore, FrameSetIsOneUndoStepThatFitsTheViewToTheSet) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->Menus().View1->actions().contains(Control<QAction>(*frame, "FrameSet1")));
  SeedAndBound();
  w->Menus().miraItems[0]->trigger();
  ASSERT_EQ(w->PassDepth(), 0);
  const TFractalParams before = w->Params();
  TFractalParams expected = before;
  ASSERT_EQ(FrameSet(expected, 1, TScreenThresholds{}), TFrameOutcome::Framed);
  const int steps = w->UndoStack()->count();

  SeedAndBound();
  Control<QAction>(*frame, "FrameSet1")->trigger();
  EXPECT_EQ(w->UndoStack()->count(), steps + 1);
  EXPECT_EQ(w->UndoStack()->undoText(), QStringLiteral("Frame Set"));
  // The dialogs' refill rounds the coefficients a moment after a pass; the framing is of the set as it is now.
  expected = w->Params();
  ASSERT_EQ(FrameSet(expected, 1, TScreenThresholds{}), TFrameOutcome::Framed);
  EXPECT_NE(w->Params().zoom, before.zoom);
  EXPECT_EQ(w->Params().xCenter, expected.xCenter);
  EXPECT_EQ(w->Params().yCenter, expected.yCenter);
  EXPECT_EQ(w->Params().zoom, expected.zoom);
  EXPECT_GT(w->Params().iterations, 0);

  SeedAndBound();
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_EQ(w->Params().xCenter, before.xCenter);
  EXPECT_EQ(w->Params().zoom, before.zoom);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

}  // namespace
