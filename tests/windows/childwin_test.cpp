// The fractal window's lifecycle, render passes and preset menus, driven through its real menus.
#include "windows/childwin.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QRegularExpression>
#include <QTimer>

#include "image/pixel_graphic.h"
#include "window_test_support.h"
#include "windows/window_text.h"
#include "windows/child_probe.h"

namespace {

bool AllBlack(const TPixelGraphic& image) {
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      if (image.GetColor(x, y) != 0) return false;
  return true;
}

class ChildWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordedMessages().clear();
    area.resize(1000, 800);
    area.show();
  }

  TMDIChild* Open(const QString& caption = QStringLiteral("Ovel IFS: 1")) {
    auto* w = new TMDIChild(TestServices());
    area.addSubWindow(w);
    w->setWindowTitle(caption);
    w->show();
    EXPECT_TRUE(WaitUntil([w] { return FirstShowDone(*w); }));
    return w;
  }

  // What a timed-out condition does: stop everything so that the blocked trigger returns.
  std::function<void()> StopAll() {
    return [this] {
      for (QMdiSubWindow* s : area.subWindowList()) static_cast<TMDIChild*>(s)->Abort();
    };
  }

  QMdiArea area;
};

TEST_F(ChildWindow, FirstShowGivesABlackDefaultPictureAndTheIndexCaption) {
  auto* w = new TMDIChild(TestServices());
  area.addSubWindow(w);
  w->setWindowTitle(QStringLiteral("Ovel IFS: 1"));
  w->show();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel IFS: 1"));
  EXPECT_TRUE(w->IsFirstShowPending());
  EXPECT_TRUE(w->Params().randomize);
  EXPECT_FALSE(w->Params().abort);

  ASSERT_TRUE(WaitUntil([w] { return FirstShowDone(*w); }));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_EQ(TMDIChildProbe::TitleText(*w), QStringLiteral("Ovel-index.ifs"));
  EXPECT_EQ(TMDIChildProbe::ModeWord(*w), QStringLiteral("Ovel IFS "));
  ASSERT_NE(w->PictureView()->PixelGraphic(), nullptr);
  EXPECT_EQ(w->Params().image, w->PictureView()->PixelGraphic());
  EXPECT_EQ(w->Params().image->Width(), 400);
  EXPECT_EQ(w->Params().image->Height(), 300);
  EXPECT_TRUE(AllBlack(*w->Params().image));
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(w->StatusPanel(k)->text().isEmpty());
  EXPECT_EQ(w->StatusPanel(0)->width(), 150);
  EXPECT_EQ(w->StatusPanel(2)->width(), 120);
  // The first pass finds no family and leaves the window idle; randomize waits for the first real run.
  EXPECT_TRUE(w->Params().abort);
  EXPECT_TRUE(w->Params().randomize);
  EXPECT_FALSE(w->ProgressTimerActive());
  EXPECT_EQ(w->Params().imageWidth, 400);
  EXPECT_EQ(w->Params().plotHeight, 300);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_DOUBLE_EQ(w->Params().red, 0.7);
  EXPECT_DOUBLE_EQ(w->Params().intensity, 30.0);
  EXPECT_EQ(w->Params().maps, 2);
  EXPECT_TRUE(w->Params().none);
  ASSERT_NE(w->Params().redList, nullptr);
  EXPECT_EQ(w->Params().redList->size(), 160000u);
  EXPECT_EQ(w->PictureView()->ActionMode(), TActionMode::amMoveResizeCreateSelection);
  EXPECT_TRUE(w->Menus().mapsItems[1]->isChecked());
  EXPECT_TRUE(w->Menus().RectangleMode1->isChecked());
}

TEST_F(ChildWindow, ClosedBeforeItsFirstShowStillGetsItsSetupAndStaysMinimised) {
  auto* w = new TMDIChild(TestServices());
  area.addSubWindow(w);
  w->show();
  w->close();
  EXPECT_TRUE(w->isMinimized());
  ASSERT_TRUE(WaitUntil([w] { return FirstShowDone(*w); }));
  EXPECT_EQ(w->Params().image->Width(), 400);
  EXPECT_EQ(area.subWindowList().size(), 1);
}

TEST_F(ChildWindow, ClosingWhileDrawingStopsThePassAndKeepsThePicture) {
  TMDIChild* w = Open();
  When([w] { return Drawing(*w); }, [w] { w->close(); }, StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_TRUE(w->Params().abort);
  EXPECT_TRUE(w->isMinimized());
  EXPECT_TRUE(w->Params().mira0101);
  EXPECT_FALSE(AllBlack(*w->Params().image));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
}

TEST_F(ChildWindow, PresetEntryTogglesItsSwitchAndThePassDerivesTheFamily) {
  TMDIChild* w = Open();
  bool familyWhileDrawing = false, checkedWhileDrawing = false;
  When([w] { return Drawing(*w); },
       [&, w] {
         familyWhileDrawing = w->Params().mira01;
         checkedWhileDrawing = w->Menus().miraItems[0]->isChecked();
         w->Abort();
       },
       StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_TRUE(familyWhileDrawing);
  EXPECT_TRUE(checkedWhileDrawing);
  EXPECT_FALSE(w->Params().randomize);  // the engine drew its coefficients

  // The second choice switches it off: no family, no engine, a black picture.
  w->Menus().miraItems[0]->trigger();
  EXPECT_FALSE(w->Params().mira0101);
  EXPECT_FALSE(w->Params().mira01);
  EXPECT_FALSE(w->Menus().miraItems[0]->isChecked());
  EXPECT_TRUE(AllBlack(*w->Params().image));
  EXPECT_TRUE(w->Params().abort);
  EXPECT_EQ(w->PassDepth(), 0);
}

TEST_F(ChildWindow, PassRecomputesBothFamiliesFromThePresetSwitches) {
  TMDIChild* w = Open();
  // What the Parameters dialog may have set is overwritten by the switches.
  TMDIChildProbe::Record(*w).mira01 = true;
  TMDIChildProbe::Record(*w).ifs01 = true;
  w->UpdateGrafX();
  EXPECT_FALSE(w->Params().mira01);
  EXPECT_FALSE(w->Params().ifs01);

  TMDIChildProbe::Record(*w).ifs0105 = true;
  TMDIChildProbe::Record(*w).mira0112 = true;  // no menu entry, set only by parameter files, still a member of the family
  When([w] { return Drawing(*w); }, [w] { w->Abort(); }, StopAll());
  w->UpdateGrafX();
  EXPECT_TRUE(w->Params().ifs01);
  EXPECT_TRUE(w->Params().mira01);
  EXPECT_TRUE(w->Menus().ifsItems[4]->isChecked());
}

TEST_F(ChildWindow, LatoocarfianEntryTogglesTheFamilyNotVariantThirteen) {
  TMDIChild* w = Open();
  When([w] { return Drawing(*w); }, [w] { w->Abort(); }, StopAll());
  w->Menus().Mira0113->trigger();
  EXPECT_TRUE(w->Params().latoocarfian01);
  EXPECT_FALSE(w->Params().mira0113);
  EXPECT_TRUE(w->Menus().Mira0113->isChecked());
  w->Menus().Mira0113->trigger();
  EXPECT_FALSE(w->Params().latoocarfian01);
}

TEST_F(ChildWindow, GumowskiMiraSevenAsksForRandomCoefficientsEvenWhenSwitchedOff) {
  TMDIChild* w = Open();
  TMDIChildProbe::Record(*w).mira0107 = true;
  TMDIChildProbe::Record(*w).randomize = false;
  w->Menus().miraItems[6]->trigger();
  EXPECT_FALSE(w->Params().mira0107);
  EXPECT_TRUE(w->Params().randomize);
}

TEST_F(ChildWindow, MapsEntriesCheckTheirNumberAndAlwaysStartAPass) {
  TMDIChild* w = Open();
  TMDIChildProbe::Record(*w).maps = 1;
  w->Params().image->SetPixel(5, 5, RGBColor(255, 255, 255));
  w->Menus().mapsItems[0]->trigger();
  EXPECT_EQ(w->Params().maps, 1);
  EXPECT_TRUE(AllBlack(*w->Params().image));  // a fresh picture: the pass ran
  EXPECT_TRUE(w->Menus().mapsItems[0]->isChecked());
  EXPECT_FALSE(w->Menus().mapsItems[1]->isChecked());
  w->Menus().mapsItems[2]->trigger();
  EXPECT_EQ(w->Params().maps, 3);
  TMDIChildProbe::Record(*w).maps = 5;
  w->UpdateMenuItems();
  for (QAction* item : w->Menus().mapsItems) EXPECT_FALSE(item->isChecked());
}

TEST_F(ChildWindow, CaptionShowsProgressFiguresWhileDrawingAndTheTitleAfterwards) {
  TMDIChild* w = Open();
  const QString p = QRegularExpression::escape(UserDecimalPoint());
  const QRegularExpression progress(QStringLiteral("^\\d+    \\d+    -?\\d+%1\\d\\d3    -?\\d+%1\\d\\d4    -?\\d+%1\\d\\d4$")
                                        .arg(p));
  QString seen;
  When([&, w] { return Drawing(*w) && progress.match(w->windowTitle()).hasMatch(); },
       [&, w] {
         seen = w->windowTitle();
         w->Abort();
       },
       StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_TRUE(progress.match(seen).hasMatch()) << seen.toStdString();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_FALSE(w->ProgressTimerActive());
}

TEST_F(ChildWindow, APresetChosenWhileDrawingNestsAndOneStopEndsBoth) {
  TMDIChild* w = Open();
  TPixelGraphic* outerPicture = nullptr;
  TPixelGraphic* innerPicture = nullptr;
  int depthAfterInner = -1;
  bool abortAfterInner = false;
  When([w] { return Drawing(*w, 1); },
       [&, w] {
         outerPicture = w->Params().image;
         When([w] { return Drawing(*w, 2); },
              [&, w] {
                innerPicture = w->Params().image;
                w->Abort();  // the only Stop
              },
              StopAll());
         w->Menus().miraItems[1]->trigger();
         depthAfterInner = w->PassDepth();
         abortAfterInner = w->Params().abort;
       },
       StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_EQ(depthAfterInner, 1);
  EXPECT_TRUE(abortAfterInner);
  EXPECT_NE(outerPicture, innerPicture);
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_TRUE(w->Params().abort);
  EXPECT_TRUE(w->Params().mira0101 && w->Params().mira0102);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_FALSE(w->ProgressTimerActive());
}

TEST_F(ChildWindow, APassInASecondWindowPausesTheFirstAndItsStopEndsBoth) {
  TMDIChild* first = Open();
  TMDIChild* second = Open(QStringLiteral("Ovel IFS: 2"));
  std::int64_t firstIterationsWhilePaused = -1;
  bool firstStillRunningInside = false;
  When([first] { return Drawing(*first); },
       [&] {
         When([second] { return Drawing(*second); },
              [&] {
                firstIterationsWhilePaused = first->Params().iterations;
                firstStillRunningInside = !first->Params().abort;
                second->Abort();
              },
              StopAll());
         second->Menus().ifsItems[0]->trigger();
       },
       StopAll());
  first->Menus().miraItems[0]->trigger();
  EXPECT_TRUE(firstStillRunningInside);
  EXPECT_GT(firstIterationsWhilePaused, 0);
  EXPECT_EQ(first->PassDepth(), 0);
  EXPECT_EQ(second->PassDepth(), 0);
  EXPECT_EQ(first->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_EQ(second->windowTitle(), QStringLiteral("Ovel-index.ifs"));
}

TEST_F(ChildWindow, StopWhileIdleChangesNothing) {
  TMDIChild* w = Open();
  TPixelGraphic* picture = w->Params().image;
  w->Abort();
  EXPECT_EQ(w->Params().image, picture);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_EQ(w->PassDepth(), 0);
}

}  // namespace
