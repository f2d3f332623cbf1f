// Fit to window and the wheel: a large picture shown scaled down whole, with coordinates and selection that
// follow the scale, and the wheel reported at the picture point under the cursor.
#include "view/pg_fit.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <memory>

#include "view/pg_image.h"

namespace {

constexpr int kBorder = 2;

std::unique_ptr<TPGImage> FitView(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight) {
  auto view = std::make_unique<TPGImage>();
  view->resize(clientWidth + 2 * kBorder, clientHeight + 2 * kBorder);
  view->show();
  auto picture = std::make_unique<TPixelGraphic>();
  picture->SetSize(pictureWidth, pictureHeight, TColorRes::Bits24);
  view->SetPixelGraphic(std::move(picture));
  view->SetFitToWindow(true);
  return view;
}

void SendWheel(QWidget* target, QPoint at, int delta, Qt::KeyboardModifiers keys = Qt::NoModifier) {
  const QPointF local(at);
  QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, keys,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

TEST(FittedPictureSize, KeepsAPictureThatFitsAndScalesALargerOneByItsTighterSide) {
  EXPECT_EQ(FittedPictureSize(QSize(400, 300), QSize(500, 400)), QSize(400, 300));
  EXPECT_EQ(FittedPictureSize(QSize(500, 400), QSize(500, 400)), QSize(500, 400));
  EXPECT_EQ(FittedPictureSize(QSize(1000, 300), QSize(500, 400)), QSize(500, 150));
  EXPECT_EQ(FittedPictureSize(QSize(1024, 768), QSize(500, 300)), QSize(400, 300));
  EXPECT_EQ(FittedPictureSize(QSize(8192, 1), QSize(100, 100)), QSize(100, 1));
  EXPECT_EQ(FittedPictureSize(QSize(400, 300), QSize(0, 0)), QSize(400, 300));
}

TEST(TPGImageFit, ShowsALargePictureWholeAndCentredWithoutScrollBars) {
  auto view = FitView(500, 400, 1000, 500);
  EXPECT_TRUE(view->PictureScaled());
  EXPECT_EQ(view->PicBox()->geometry(), QRect(0, 75, 500, 250));
  EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(view->PixelGraphic()->Width(), 1000);
  // Box and image pixels convert with the scale, both ways.
  EXPECT_EQ(view->PicBoxToImage(QPoint(250, 100)), QPoint(500, 200));
  EXPECT_EQ(view->ImageToPicBox(QPoint(500, 200)), QPoint(250, 100));
  // Growing the view shows more of it; off again shows it at its own size, scrolled.
  view->resize(800 + 2 * kBorder, 600 + 2 * kBorder);
  EXPECT_EQ(view->PicBox()->size(), QSize(800, 400));
  view->SetFitToWindow(false);
  EXPECT_FALSE(view->PictureScaled());
  EXPECT_EQ(view->PicBox()->size(), QSize(1000, 500));
  EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST(TPGImageFit, PaintsTheScaledPictureAndDragsSelectionsInImagePixels) {
  auto view = FitView(200, 200, 400, 400);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  // The right half green: on screen it is the right half of a 200 x 200 box.
  for (int y = 0; y < 400; ++y)
    for (int x = 200; x < 400; ++x) view->PixelGraphic()->SetPixel(x, y, RGBColor(0, 255, 0));
  view->PixelGraphic()->Changed();
  const QImage shot = view->PicBox()->grab().toImage();
  ASSERT_EQ(shot.size(), QSize(200, 200));
  EXPECT_EQ(shot.pixel(150, 100), qRgb(0, 255, 0));
  EXPECT_EQ(shot.pixel(50, 100), qRgb(0, 0, 0));

  QTest::mousePress(view->PicBox(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 30));
  QTest::mouseMove(view->PicBox(), QPoint(60, 80));
  QTest::mouseRelease(view->PicBox(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 80));
  EXPECT_EQ(view->SelectionRect(), QRect(40, 60, 81, 101));
}

TEST(TPGImageWheel, ReportsTheTurnAtThePicturePointAndLeavesModifiedTurnsToScrolling) {
  auto view = FitView(300, 300, 200, 100);  // fits: natural size, centred at (50, 100)
  QSignalSpy wheel(view.get(), &TPGImage::PicBoxOnWheel);
  SendWheel(view->PicBox(), QPoint(30, 40), 120);
  ASSERT_EQ(wheel.size(), 1);
  EXPECT_EQ(wheel[0][0].toInt(), 120);
  EXPECT_EQ(wheel[0][2].toInt(), 30);
  EXPECT_EQ(wheel[0][3].toInt(), 40);
  // Beside the picture the nearest picture point counts.
  SendWheel(view->viewport(), QPoint(5, 120), -120);
  ASSERT_EQ(wheel.size(), 2);
  EXPECT_EQ(wheel[1][0].toInt(), -120);
  EXPECT_EQ(wheel[1][2].toInt(), 0);
  EXPECT_EQ(wheel[1][3].toInt(), 20);
  SendWheel(view->PicBox(), QPoint(30, 40), 120, Qt::ControlModifier);
  EXPECT_EQ(wheel.size(), 2);
}

}  // namespace
