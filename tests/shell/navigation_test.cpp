// Navigation in a window of the real frame: the wheel zooms about the point under the cursor, "Zoom Out",
// "Fit to Window" with its coordinates, and windows that stay inside the frame's area however large their picture.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QUndoStack>
#include <QWheelEvent>
#include <memory>

#include "document/view_coords.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"
#include "windows/child_probe.h"
#include "windows/window_text.h"

namespace {

class Navigation : public FrameTest {
 protected:
  QWidget* Box(TMDIChild* w) const { return w->PictureView()->PicBox(); }

  // The world point the status bar shows for the mouse at box point p.
  QPointF ReadoutAt(TMDIChild* w, QPoint p) {
    QTest::mouseMove(Box(w), p);
    return {TMDIChildProbe::CursorX(*w), TMDIChildProbe::CursorY(*w)};
  }

  void Wheel(TMDIChild* w, QPoint p, int notches) {
    const QPointF local(p);
    QWheelEvent event(local, Box(w)->mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Box(w), &event);
  }

  // Waits for a pass of w to draw, stops it and waits for it to end.
  void StopOnceDrawn(TMDIChild* w) {
    auto stopped = std::make_shared<bool>(false);
    When([w] { return Drawing(*w); },
         [stopped, w] {
           *stopped = true;
           w->Abort();
         },
         StopAll());
    EXPECT_TRUE(WaitUntil([&] { return *stopped && w->PassDepth() == 0; }));
  }

  void DrawAndStop(TMDIChild* w, const std::function<void()>& command) {
    auto stopped = std::make_shared<bool>(false);
    When([w] { return Drawing(*w); },
         [stopped, w] {
           *stopped = true;
           w->Abort();
         },
         StopAll());
    command();
    EXPECT_TRUE(WaitUntil([&] { return *stopped && w->PassDepth() == 0; }));
  }

  static QRect AreaRect(const TMainForm& frame) {
    return QRect(QPoint(0, 0), Control<QMdiArea>(frame, "MdiArea")->viewport()->size());
  }
};

TEST_F(Navigation, TheWheelZoomsAboutThePointUnderTheCursorAndANotchRunIsOneStep) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  DrawAndStop(w, [w] { w->Menus().miraItems[0]->trigger(); });
  const int stepsBefore = w->UndoStack()->count();
  const QPoint at(Box(w)->width() / 5, Box(w)->height() * 3 / 4);
  const QPointF before = ReadoutAt(w, at);

  Wheel(w, at, 1);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23 * 1.25);
  EXPECT_EQ(w->StatusPanel(2)->text(), FormatReadout("M=", 0.23 * 1.25, UserDecimalPoint()));
  // The drawing follows once the wheel rests.
  StopOnceDrawn(w);
  const QPointF after = ReadoutAt(w, at);
  const double pixel = (w->Params().plotXMax - w->Params().plotXMin) / w->Params().imageWidth;
  EXPECT_NEAR(after.x(), before.x(), pixel * 1e-6);
  EXPECT_NEAR(after.y(), before.y(), pixel * 1e-6);
  // The view did change: the same pixel covers less of the world.
  EXPECT_LT(pixel, 2.0 * (400 + 300) / (0.23 * 400 * 300));

  // Three notches back in a row: about the same point, and one more step for the whole run.
  Wheel(w, at, -1);
  Wheel(w, at, -2);
  EXPECT_NEAR(w->Params().zoom, 0.23 / 1.25 / 1.25, 1e-15);
  StopOnceDrawn(w);
  const QPointF out = ReadoutAt(w, at);
  EXPECT_NEAR(out.x(), before.x(), pixel * 1e-5);
  EXPECT_NEAR(out.y(), before.y(), pixel * 1e-5);
  EXPECT_EQ(w->UndoStack()->count(), stepsBefore + 1);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Wheel Zoom"));
  DrawAndStop(w, [this] { Control<QAction>(*frame, "EditUndoItem")->trigger(); });
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_DOUBLE_EQ(w->Params().xCenter, 0.0);
}

TEST_F(Navigation, ZoomOutDoublesTheExtentAboutTheCentreFromThePopupOrItsKey) {
  TMDIChild* w = FirstWindow();
  TMDIChildProbe::Record(*w).xCenter = 0.5;
  EXPECT_TRUE(w->Menus().PopupMenu1->actions().contains(w->Menus().ZoomOut1));
  EXPECT_EQ(w->Menus().ZoomOut1->shortcut(), QKeySequence(QKeySequence::ZoomOut));
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  QTest::keySequence(frame.get(), QKeySequence(QKeySequence::ZoomOut));
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.115);
  EXPECT_NEAR(w->Params().xCenter, 0.5, 1e-14);
  EXPECT_NEAR(w->Params().yCenter, 0.0, 1e-14);
}

TEST_F(Navigation, AWindowWithAPictureLargerThanTheFrameStaysInsideItsArea) {
  TMDIChild* w = FirstWindow();
  w->move(120, 80);
  w->Menus().sizeItems[6]->trigger();  // 1024 by 768, larger than the frame
  const QRect area = AreaRect(*frame);
  EXPECT_TRUE(area.contains(w->geometry())) << w->x() << "," << w->y() << " " << w->width() << "x" << w->height();
  // Scrolled, not cut off: the whole picture can be reached.
  EXPECT_TRUE(w->PictureView()->horizontalScrollBar()->isVisible());
  EXPECT_EQ(w->PictureView()->horizontalScrollBar()->maximum(),
            1024 - w->PictureView()->viewport()->width());
  EXPECT_TRUE(area.contains(w->mapTo(Control<QMdiArea>(*frame, "MdiArea")->viewport(),
                                     w->PictureView()->verticalScrollBar()->geometry().bottomRight())));
}

TEST_F(Navigation, FitToWindowShowsALargePictureWholeWithRightCoordinates) {
  TMDIChild* w = FirstWindow();
  w->Menus().sizeItems[6]->trigger();  // 1024 by 768; nothing selected yet, so nothing is drawn
  EXPECT_FALSE(w->PictureView()->PictureScaled());
  EXPECT_EQ(w->Menus().FitToWindow1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
  w->Menus().FitToWindow1->trigger();
  EXPECT_TRUE(w->Menus().FitToWindow1->isChecked());

  // Whole, in the view, in the picture's aspect, without scroll bars; the picture keeps its size.
  const QSize box = Box(w)->size();
  EXPECT_TRUE(w->PictureView()->PictureScaled());
  EXPECT_TRUE(QRect(QPoint(0, 0), w->PictureView()->viewport()->size()).contains(Box(w)->geometry()));
  EXPECT_LT(box.width(), 1024);
  EXPECT_NEAR(static_cast<double>(box.width()) / box.height(), 1024.0 / 768.0, 0.01);
  EXPECT_FALSE(w->PictureView()->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(w->PictureView()->verticalScrollBar()->isVisible());
  EXPECT_EQ(w->Params().image->Width(), 1024);

  // The readout is that of the image pixel under the mouse.
  DrawAndStop(w, [w] { w->Menus().miraItems[0]->trigger(); });
  const QPoint at(box.width() * 3 / 4, box.height() / 4);
  const QPointF read = ReadoutAt(w, at);
  const TWorldPoint expected = WorldPointAt(w->Params(), at.x() * 1024 / box.width(), at.y() * 768 / box.height());
  EXPECT_DOUBLE_EQ(read.x(), expected.x);
  EXPECT_DOUBLE_EQ(read.y(), expected.y);

  // A rectangle dragged on the scaled picture is kept in image pixels.
  const QPoint from(box.width() / 4, box.height() / 4);
  const QPoint to(box.width() / 2, box.height() / 2);
  QTest::mousePress(Box(w), Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(Box(w), to);
  QTest::mouseRelease(Box(w), Qt::LeftButton, Qt::NoModifier, to);
  const QRect selection = w->PictureView()->SelectionRect();
  const double scale = 1024.0 / box.width();
  EXPECT_NEAR(selection.center().x(), (from.x() + to.x()) / 2.0 * scale, 2 * scale);
  EXPECT_NEAR(selection.center().y(), (from.y() + to.y()) / 2.0 * scale, 2 * scale);
  EXPECT_GT(selection.width(), (to.x() - from.x()) * scale * 0.8);

  // Click mode marks the region around the image pixel under the click.
  w->RectangleMode1Click();
  const QPoint click(box.width() / 3, box.height() * 2 / 3);
  QTest::mouseClick(Box(w), Qt::LeftButton, Qt::NoModifier, click);
  const TWorldPoint clicked =
      WorldPointAt(w->Params(), click.x() * 1024 / box.width(), click.y() * 768 / box.height());
  const double pixel = (w->Params().plotXMax - w->Params().plotXMin) / 1024;
  EXPECT_NEAR(w->Params().selXCenter, clicked.x, pixel);
  EXPECT_NEAR(w->Params().selYCenter, clicked.y, pixel);

  // Off again: natural size, scrolled.
  w->Menus().FitToWindow1->trigger();
  EXPECT_FALSE(w->PictureView()->PictureScaled());
  EXPECT_EQ(Box(w)->size(), QSize(1024, 768));
}

}  // namespace
