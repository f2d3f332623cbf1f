// The fractal window's picture sizes, its fit around the picture, and selection and zoom with the real mouse.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QTest>

#include "document/selection_region.h"
#include "image/pixel_graphic.h"
#include "window_test_support.h"
#include "windows/childwin.h"
#include "windows/child_probe.h"

namespace {

class ChildPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordedMessages().clear();
    area.resize(1200, 1000);
    area.show();
    w = new TMDIChild(TestServices());
    w->SetFrameClientSize([] { return QSize(1200, 1000); });
    area.addSubWindow(w);
    w->show();
    ASSERT_TRUE(WaitUntil([this] { return FirstShowDone(*w); }));
  }

  QWidget* Box() const { return w->PictureView()->PicBox(); }

  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(Box(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(Box(), to);
    QTest::mouseRelease(Box(), Qt::LeftButton, Qt::NoModifier, to);
  }

  void Click(QPoint at) {
    QTest::mousePress(Box(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(Box(), Qt::LeftButton, Qt::NoModifier, at);
  }

  QRect ViewSelection() const { return w->PictureView()->SelectionRect(); }

  QMdiArea area;
  TMDIChild* w = nullptr;
};

TEST_F(ChildPicture, SizeEntrySetsTheSizeTheListsAndANewPictureOnTheSameView) {
  TMDIChildProbe::Record(*w).xCenter = 0.5;
  TMDIChildProbe::Record(*w).zoom = 1.5;
  w->Menus().sizeItems[6]->trigger();  // "1024 by 768"
  EXPECT_EQ(w->Params().imageWidth, 1024);
  EXPECT_EQ(w->Params().imageHeight, 768);
  EXPECT_EQ(w->Params().plotWidth, 1024);
  EXPECT_EQ(w->Params().plotHeight, 768);
  for (THitList* list : {w->Params().redList, w->Params().greenList, w->Params().blueList}) EXPECT_EQ(list->size(), 1048576u);
  EXPECT_EQ(w->Params().image->Width(), 1024);
  EXPECT_EQ(w->Params().image->Height(), 768);
  EXPECT_DOUBLE_EQ(w->Params().xCenter, 0.5);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 1.5);
  w->AdjustCoords();
  EXPECT_NEAR((w->Params().xMax - w->Params().xMin) / (w->Params().yMax - w->Params().yMin), 4.0 / 3.0, 1e-12);
}

TEST_F(ChildPicture, EverySizeEntryAppliesItsOwnSize) {
  for (std::size_t i = 0; i < kMenuSizes.size(); ++i) {
    w->Menus().sizeItems[i]->trigger();
    EXPECT_EQ(w->Params().image->Width(), kMenuSizes[i].width);
    EXPECT_EQ(w->Params().image->Height(), kMenuSizes[i].height);
  }
}

TEST_F(ChildPicture, PortraitSizeGetsListsOnItsHeight) {
  w->Resolution(300, 400);
  EXPECT_EQ(w->Params().redList->size(), 160000u);
  EXPECT_EQ(w->Params().image->Width(), 300);
}

TEST_F(ChildPicture, SizeOutsideTheRangeIsRefusedAndChangesNothing) {
  TPixelGraphic* picture = w->Params().image;
  THitList* list = w->Params().redList;
  for (auto [width, height] : {std::pair{0, 300}, {400, 0}, {-20, 300}, {8193, 300}, {400, 9000}}) {
    RecordedMessages().clear();
    w->Resolution(width, height);
    ASSERT_EQ(RecordedMessages().size(), 1) << width << " x " << height;
    EXPECT_TRUE(RecordedMessages().front().contains(QStringLiteral("from 1 to 8192")));
    EXPECT_EQ(w->Params().imageWidth, 400);
    EXPECT_EQ(w->Params().imageHeight, 300);
    EXPECT_EQ(w->Params().plotWidth, 400);
    EXPECT_EQ(w->Params().image, picture);
    EXPECT_EQ(w->Params().redList, list);
  }
  RecordedMessages().clear();
  w->Resolution(1, 2);
  EXPECT_TRUE(RecordedMessages().isEmpty());
  EXPECT_EQ(w->Params().image->Width(), 1);
  EXPECT_EQ(w->Params().image->Height(), 2);
}

TEST_F(ChildPicture, WindowFitsItsClientAreaAroundTheReportedPictureSize) {
  w->SetFrameClientSize([] { return QSize(800, 600); });
  w->PGImage1NewAutoSize(644, 304);
  EXPECT_EQ(w->ClientSize(), QSize(664, 344));
  EXPECT_EQ(w->widget()->size(), QSize(664, 344));
  w->PGImage1NewAutoSize(800, 600);
  EXPECT_EQ(w->ClientSize(), QSize(750, 530));
  w->showMinimized();
  const QSize minimised = w->size();
  w->PGImage1NewAutoSize(100, 100);
  EXPECT_EQ(w->size(), minimised);
}

TEST_F(ChildPicture, AfterFirstShowTheWindowSitsAroundItsWholePicture) {
  const QSize reported = w->PictureView()->NewAutoSize();
  EXPECT_EQ(w->ClientSize(), FitClientSize(reported.width(), reported.height(), QSize(1200, 1000)));
  // The picture is shown whole: the view is at least as large as the picture.
  EXPECT_GE(w->PictureView()->viewport()->width(), 400);
  EXPECT_GE(w->PictureView()->viewport()->height(), 300);
}

TEST_F(ChildPicture, DraggedRectangleIsFittedToThePictureAspectBeforeTheRegionIsMarked) {
  Drag(QPoint(150, 140), QPoint(249, 159));  // 100 x 20
  ASSERT_TRUE(w->PictureView()->Selection());
  EXPECT_EQ(ViewSelection(), QRect(166, 124, 69, 51));
  TFractalParams expected = w->Params();
  MarkRegion(expected, TPixelRect{166, 124, 69, 51});
  EXPECT_DOUBLE_EQ(w->Params().selXMin, expected.selXMin);
  EXPECT_DOUBLE_EQ(w->Params().selYMax, expected.selYMax);
  EXPECT_DOUBLE_EQ(w->Params().selZoom, expected.selZoom);
}

TEST_F(ChildPicture, ClickModeMarksTheHalfSizeRegionAroundTheClick) {
  w->Menus().RectangleMode1->trigger();
  EXPECT_FALSE(TMDIChildProbe::RectangleMode(*w));
  EXPECT_FALSE(w->Menus().RectangleMode1->isChecked());
  Click(QPoint(100, 50));
  EXPECT_EQ(ViewSelection(), QRect(0, -25, 200, 150));
  TFractalParams expected = w->Params();
  MarkRegion(expected, TPixelRect{0, -25, 200, 150});
  EXPECT_DOUBLE_EQ(w->Params().selXMin, expected.selXMin);
  EXPECT_DOUBLE_EQ(w->Params().selYMin, expected.selYMin);
  EXPECT_DOUBLE_EQ(w->Params().selXCenter, expected.selXCenter);
  // From the next press on the view no longer draws rectangles.
  EXPECT_EQ(w->PictureView()->ActionMode(), TActionMode::amNone);

  w->Zoom1Click();
  EXPECT_TRUE(RecordedMessages().isEmpty());
  EXPECT_DOUBLE_EQ(w->Params().xCenter, expected.selXCenter);
  EXPECT_DOUBLE_EQ(w->Params().zoom, expected.selZoom);
}

TEST_F(ChildPicture, ClickModeZoomBeforeAnyClickKeepsTheDefaultView) {
  w->Menus().RectangleMode1->trigger();
  w->ResetCoordinates();
  w->Zoom1Click();
  EXPECT_TRUE(RecordedMessages().isEmpty());
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_DOUBLE_EQ(w->Params().xCenter, 0.0);
  EXPECT_DOUBLE_EQ(w->Params().yCenter, 0.0);
}

TEST_F(ChildPicture, ZoomWithoutASelectionIsRefused) {
  w->Menus().Zoom1->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(RecordedMessages().front(), QStringLiteral("there is nothing selected"));
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);

  // A cleared rectangle counts as none.
  Drag(QPoint(10, 10), QPoint(60, 60));
  ASSERT_TRUE(w->PictureView()->Selection());
  w->Menus().ClearRectangle2->trigger();
  EXPECT_FALSE(w->PictureView()->Selection());
  RecordedMessages().clear();
  w->Menus().Zoom1->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(RecordedMessages().front(), QStringLiteral("there is nothing selected"));
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
}

TEST_F(ChildPicture, ZoomIntoARegionWithoutSizeIsRefusedAndTheViewStays) {
  w->PictureView()->SetSelection(true);
  TMDIChildProbe::Record(*w).selXMin = TMDIChildProbe::Record(*w).selXMax = 1.0;
  TMDIChildProbe::Record(*w).selYMin = TMDIChildProbe::Record(*w).selYMax = 1.0;
  TMDIChildProbe::Record(*w).selZoom = 0.0;
  w->Zoom1Click();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages().front().contains(QStringLiteral("no size")));
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_DOUBLE_EQ(w->Params().xCenter, 0.0);
  EXPECT_TRUE(w->PictureView()->Selection());
}

TEST_F(ChildPicture, ZoomMakesTheMarkedRegionTheViewAndStartsAFreshPicture) {
  Drag(QPoint(100, 75), QPoint(299, 224));
  const TFractalParams marked = w->Params();
  w->Menus().Zoom1->trigger();
  EXPECT_TRUE(RecordedMessages().isEmpty());
  EXPECT_DOUBLE_EQ(w->Params().xCenter, marked.selXCenter);
  EXPECT_DOUBLE_EQ(w->Params().yCenter, marked.selYCenter);
  EXPECT_DOUBLE_EQ(w->Params().zoom, marked.selZoom);
  EXPECT_FALSE(w->PictureView()->Selection());
  EXPECT_EQ(w->PictureView()->ActionMode(), TActionMode::amNone);
  EXPECT_EQ(w->Params().image->Width(), 400);
}

TEST_F(ChildPicture, DoubleClickInsideTheRectangleZoomsIntoIt) {
  Drag(QPoint(100, 75), QPoint(299, 224));
  ASSERT_TRUE(w->PictureView()->Selection());
  const double wanted = w->Params().selZoom;
  QTest::mouseDClick(Box(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
  ASSERT_TRUE(WaitUntil([this] { return !w->PictureView()->Selection(); }));
  EXPECT_TRUE(RecordedMessages().isEmpty());
  EXPECT_DOUBLE_EQ(w->Params().zoom, wanted);
  EXPECT_EQ(w->PictureView()->ActionMode(), TActionMode::amNone);
}

TEST_F(ChildPicture, StatusBarReadsTheWorldPointUnderTheMouseAtThePictureCentre) {
  When([this] { return Drawing(*w); }, [this] { w->Abort(); }, [this] { w->Abort(); });
  w->Menus().miraItems[0]->trigger();
  QTest::mouseMove(Box(), QPoint(200, 150));
  ASSERT_TRUE(WaitUntil([this] { return !w->StatusPanel(2)->text().isEmpty(); }));
  const QString cx = w->StatusPanel(0)->text();
  const QString cy = w->StatusPanel(1)->text();
  ASSERT_TRUE(cx.startsWith(QStringLiteral("cx="))) << cx.toStdString();
  ASSERT_TRUE(cy.startsWith(QStringLiteral("cy="))) << cy.toStdString();
  EXPECT_NEAR(QLocale().toDouble(cx.mid(3)), 0.0, 1e-12);
  EXPECT_NEAR(QLocale().toDouble(cy.mid(3)), 0.0, 1e-12);
  EXPECT_EQ(w->StatusPanel(2)->text(), QStringLiteral("M=0") + QLocale().decimalPoint() + QStringLiteral("230000000000"));
  EXPECT_NEAR(TMDIChildProbe::CursorX(*w), 0.0, 1e-12);
}

}  // namespace
