// A pass that replaces the picture, the hit lists or the view while an outer pass is still drawing: the outer
// pass must end cleanly, whatever the nesting, and the window must show the new picture afterwards.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QTimer>

#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"

namespace {

class NestedPass : public FrameTest {};

// Martin 01 is drawing; a size from the menu starts a nested pass on a new picture; a few thousand steps later
// Stop ends both.
TEST_F(NestedPass, SizeChangeWhileMartinDrawsThenStopLeavesTheNewPicture) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  for (std::size_t i = 0; i < kMenuSizes.size(); ++i) {
    const TMenuSize size = kMenuSizes[i];
    SCOPED_TRACE(size.caption);
    bool stopped = false;
    QTimer::singleShot(0, [&] {
      When([w] { return Drawing(*w); },
           [&] {
             w->Menus().sizeItems[i]->trigger();
           },
           StopAll());
      When([w] { return Drawing(*w, 2, 20000); },
           [&] {
             stopped = true;
             Control<QAction>(*frame, "AbortButton")->trigger();
           },
           StopAll());
    });
    if (i == 0) {
      w->Menus().miraItems[0]->trigger();
    } else {
      Control<QAction>(*frame, "ApplyButton")->trigger();
    }
    EXPECT_TRUE(stopped);
    EXPECT_EQ(w->PassDepth(), 0);
    ASSERT_NE(w->Params().image, nullptr);
    EXPECT_EQ(w->Params().image->Width(), size.width);
    EXPECT_EQ(w->Params().image->Height(), size.height);
  }
}

// The same with a zoom: in click mode a double click on the drawing picture zooms into the region around it,
// replacing the picture under the running pass by the enlarged preview and then by a fresh one.
TEST_F(NestedPass, DoubleClickZoomWhileMartinDrawsThenStopLeavesTheZoomedView) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  w->RectangleMode1Click();  // click mode: a double click needs no dragged rectangle
  const double zoomBefore = 0.23;
  bool stopped = false;
  QTimer::singleShot(0, [&] {
    When([w] { return Drawing(*w); },
         [&] {
           QWidget* box = w->PictureView()->PicBox();
           QTest::mouseDClick(box->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                              box->mapTo(box->window(), QPoint(box->width() / 3, box->height() / 3)));
         },
         StopAll());
    When([w] { return Drawing(*w, 2, 20000); },
         [&] {
           stopped = true;
           Control<QAction>(*frame, "AbortButton")->trigger();
         },
         StopAll());
  });
  w->Menus().miraItems[0]->trigger();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_GT(w->Params().zoom, zoomBefore);
  ASSERT_NE(w->Params().image, nullptr);
  EXPECT_EQ(w->Params().image->Width(), 400);
  EXPECT_EQ(w->Params().image->Height(), 300);
}

}  // namespace
