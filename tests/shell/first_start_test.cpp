// The frame's first start, with nothing remembered: its size and place on the screen, and where the tool dialogs
// open. Run twice by CTest: on the offscreen platform's own 800 x 600 screen, and on a 1024 x 768 one
// (tests/shell/screen_1024x768.json), where the first window and both dialogs have room side by side.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QAction>
#include <QGuiApplication>
#include <QScreen>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/params_dialog.h"
#include "shell/frame_settings.h"
#include "shell_test_support.h"

namespace {

// What the frame needs at least to show the first 400 x 300 picture whole (main_form.cpp).
const QSize kLeast(620, 540);

QRect OnScreen(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

}  // namespace

TEST(FrameSettings, TheFirstStartTakesThreeQuartersOfTheAreaCentredButNoLessThanThePictureNeeds) {
  EXPECT_EQ(FirstStartGeometry(QRect(0, 0, 1400, 900), kLeast), QRect(175, 112, 1050, 675));
  EXPECT_EQ(FirstStartGeometry(QRect(0, 0, 3840, 2160), kLeast), QRect(480, 270, 2880, 1620));
  // A panel above and a second screen to the right: the area's own origin counts.
  EXPECT_EQ(FirstStartGeometry(QRect(1920, 32, 1280, 992), kLeast), QRect(2080, 156, 960, 744));
  // Three quarters of 1024 x 600 is too low for the picture: the least height, still centred.
  EXPECT_EQ(FirstStartGeometry(QRect(0, 0, 1024, 600), kLeast), QRect(128, 30, 768, 540));
  // An area smaller than the least: all of it, never beyond it.
  EXPECT_EQ(FirstStartGeometry(QRect(10, 20, 600, 500), kLeast), QRect(10, 20, 600, 500));
}

class FirstStart : public FrameTest {};

TEST_F(FirstStart, TheFrameOpensCentredOnThePrimaryScreenAtThreeQuartersOfItsSize) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect frameRect = frame->geometry();
  EXPECT_EQ(frameRect.width(), std::min(area.width(), std::max(area.width() * 3 / 4, kLeast.width())));
  EXPECT_EQ(frameRect.height(), std::min(area.height(), std::max(area.height() * 3 / 4, kLeast.height())));
  EXPECT_LE(std::abs((frameRect.left() - area.left()) - (area.right() - frameRect.right())), 1);
  EXPECT_LE(std::abs((frameRect.top() - area.top()) - (area.bottom() - frameRect.bottom())), 1);
}

TEST_F(FirstStart, TheToolDialogsOpenBesideTheFirstWindowWithoutCoveringIt) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  TMDIChild* first = FirstWindow();
  ASSERT_NE(first, nullptr);
  Control<QAction>(*frame, "CoolSpeedButton5")->trigger();  // Params
  Control<QAction>(*frame, "CButton")->trigger();           // Const
  ASSERT_TRUE(Control<TForm4>(*frame, "Form4")->isVisible());
  ASSERT_TRUE(Control<TCForm>(*frame, "CForm")->isVisible());
  const QRect window = OnScreen(first);
  const QRect parameters = Control<TForm4>(*frame, "Form4")->frameGeometry();
  const QRect coefficients = Control<TCForm>(*frame, "CForm")->frameGeometry();
  const int widest = std::max(parameters.width(), coefficients.width());
  if (window.right() + widest >= area.right())
    GTEST_SKIP() << "a " << area.width() << " pixel wide screen has no room for the dialogs beside the window";
  EXPECT_FALSE(parameters.intersects(window)) << "Parameters covers the first window";
  EXPECT_FALSE(coefficients.intersects(window)) << "Coefficients covers the first window";
  for (const QRect& dialog : {parameters, coefficients}) {
    EXPECT_TRUE(area.contains(dialog)) << "a dialog leaves the screen";
    EXPECT_GT(dialog.left(), window.right());  // beside it, to the right
  }
  EXPECT_LT(parameters.left() - window.right(), 40);
  // Parameters first, at the window's top.
  EXPECT_EQ(parameters.top(), window.top());
  // Under it, or beside it on a screen too short for both; on one too small for either they may overlap, but
  // neither covers the window.
  const bool roomUnder = parameters.bottom() + coefficients.height() < area.bottom();
  const bool roomBeside = parameters.right() + coefficients.width() < area.right();
  if (roomUnder)
    EXPECT_GT(coefficients.top(), parameters.bottom());
  else if (roomBeside)
    EXPECT_GT(coefficients.left(), parameters.right());
  if (roomUnder || roomBeside) EXPECT_FALSE(parameters.intersects(coefficients));
  for (TMDIChild* child : frame->Children()) child->Abort();
}
