#include "view/pg_image.h"

#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kBorder = 2;

std::unique_ptr<TPixelGraphic> Picture(int width, int height) {
  auto image = std::make_unique<TPixelGraphic>();
  image->SetSize(width, height, TColorRes::Bits24);
  return image;
}

// A view whose client area (inside its border) has the given size, showing a black picture.
std::unique_ptr<TPGImage> View(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight) {
  auto view = std::make_unique<TPGImage>();
  view->resize(clientWidth + 2 * kBorder, clientHeight + 2 * kBorder);
  view->show();
  view->SetPixelGraphic(Picture(pictureWidth, pictureHeight));
  return view;
}

int HBar(const TPGImage& view) { return view.horizontalScrollBar()->sizeHint().height(); }
int VBar(const TPGImage& view) { return view.verticalScrollBar()->sizeHint().width(); }

// Mouse helpers on the picture box, in picture-box pixels (= image pixels at natural size).
void Press(TPGImage& view, QPoint p) { QTest::mousePress(view.PicBox(), Qt::LeftButton, Qt::NoModifier, p); }
void MoveTo(TPGImage& view, QPoint p) { QTest::mouseMove(view.PicBox(), p); }
void Release(TPGImage& view, QPoint p) { QTest::mouseRelease(view.PicBox(), Qt::LeftButton, Qt::NoModifier, p); }
void Drag(TPGImage& view, QPoint from, QPoint to) {
  Press(view, from);
  MoveTo(view, to);
  Release(view, to);
}

// A view in rectangle mode with a shown selection.
std::unique_ptr<TPGImage> ViewWithSelection(QRect selection) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  view->SetSelectionRect(selection);
  view->SetSelection(true);
  return view;
}

}  // namespace

// --- Layout ---------------------------------------------------------------------------------------------------

TEST(TPGImageLayout, CentresASmallPictureWithoutScrollBars) {
  auto view = View(500, 400, 400, 300);
  EXPECT_EQ(view->PicBox()->geometry(), QRect(50, 50, 400, 300));
  EXPECT_EQ(view->viewport()->size(), QSize(500, 400));
  EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(view->verticalScrollBar()->isVisible());
}

TEST(TPGImageLayout, HalvesAnOddMarginTowardsZero) {
  auto view = View(500, 400, 397, 299);
  EXPECT_EQ(view->PicBox()->pos(), QPoint(51, 50));
}

TEST(TPGImageLayout, OpensALargePictureScrolledToItsCentre) {
  auto view = View(500, 400, 1024, 768);
  const QSize client(500 - VBar(*view), 400 - HBar(*view));
  EXPECT_EQ(view->viewport()->size(), client);
  EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(view->verticalScrollBar()->isVisible());
  const QPoint scroll((1024 - client.width()) / 2, (768 - client.height()) / 2);
  EXPECT_EQ(view->horizontalScrollBar()->value(), scroll.x());
  EXPECT_EQ(view->verticalScrollBar()->value(), scroll.y());
  EXPECT_EQ(view->PicBox()->geometry(), QRect(-scroll, QSize(1024, 768)));
}

TEST(TPGImageLayout, CountsTheScrollBarThatTheOtherScrollBarCausesOnly) {
  // Only the width overflows at first; the horizontal bar then takes so much height that the picture no longer
  // fits vertically either.
  auto view = std::make_unique<TPGImage>();
  view->show();
  view->resize(300 + 2 * kBorder, 200 + 2 * kBorder);
  const int hbar = HBar(*view);
  view->SetPixelGraphic(Picture(400, 200 - hbar + 1));
  EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(view->verticalScrollBar()->isVisible());
  EXPECT_EQ(view->viewport()->size(), QSize(300 - VBar(*view), 200 - hbar));
  EXPECT_EQ(view->verticalScrollBar()->maximum(), 1);
}

TEST(TPGImageLayout, KeepsTheUserScrollPositionWhenThePictureChangesInPlace) {
  auto view = View(500, 400, 1024, 768);
  view->horizontalScrollBar()->setValue(7);
  view->verticalScrollBar()->setValue(9);
  view->PictureChanged();
  view->PixelGraphic()->Changed();
  EXPECT_EQ(view->horizontalScrollBar()->value(), 7);
  EXPECT_EQ(view->verticalScrollBar()->value(), 9);
  EXPECT_EQ(view->PicBox()->pos(), QPoint(-7, -9));
}

TEST(TPGImageLayout, ResizingThePictureLaysOutAgainThroughItsChangeEvent) {
  auto view = View(500, 400, 400, 300);
  view->PixelGraphic()->SetSize(100, 80, TColorRes::Bits24);
  EXPECT_EQ(view->PicBox()->geometry(), QRect(200, 160, 100, 80));
}

TEST(TPGImageLayout, WithoutCentreThePictureSitsTopLeft) {
  auto view = View(500, 400, 400, 300);
  view->SetCenter(false);
  EXPECT_EQ(view->PicBox()->pos(), QPoint(0, 0));
}

// --- OnNewAutoSize --------------------------------------------------------------------------------------------

TEST(TPGImageAutoSize, ReportsThePictureWithTheBorderOnEveryChange) {
  TPGImage view;
  QSignalSpy spy(&view, &TPGImage::OnNewAutoSize);
  view.SetPixelGraphic(Picture(400, 300));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 404);
  EXPECT_EQ(spy.at(0).at(1).toInt(), 304);
  view.PixelGraphic()->Changed();  // same size: reported again all the same
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(1).at(0).toInt(), 404);
}

TEST(TPGImageAutoSize, ReportsTheBorderAloneWithoutAPicture) {
  TPGImage view;
  QSignalSpy spy(&view, &TPGImage::OnNewAutoSize);
  view.SetPixelGraphic(nullptr);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 4);
  EXPECT_EQ(spy.at(0).at(1).toInt(), 4);
}

TEST(TPGImageAutoSize, AddsTheScrollBarsThatLimitsMakeNecessary) {
  TPGImage view;
  view.SetAutoSizeMaxWidth(300);
  view.SetPixelGraphic(Picture(400, 300));
  EXPECT_EQ(view.NewAutoSize(), QSize(300, 304 + HBar(view)));

  view.SetAutoSizeMaxWidth(TPGImage::kNoLimit);
  view.SetAutoSizeMaxHeight(200);
  EXPECT_EQ(view.NewAutoSize(), QSize(404 + VBar(view), 200));

  view.SetAutoSizeMaxWidth(300);
  view.SetAutoSizeMaxHeight(310);  // room for the picture but not for the picture and a horizontal bar
  EXPECT_EQ(view.NewAutoSize(), QSize(300, 310));
}

TEST(TPGImageAutoSize, RaisesTheSizeToTheMinima) {
  TPGImage view;
  view.SetAutoSizeMinWidth(600);
  view.SetAutoSizeMinHeight(500);
  view.SetPixelGraphic(Picture(400, 300));
  EXPECT_EQ(view.NewAutoSize(), QSize(600, 500));
}

TEST(TPGImageAutoSize, ResizesTheViewOnlyWhenAutoSizeIsOn) {
  TPGImage view;
  view.resize(100, 100);
  view.SetPixelGraphic(Picture(400, 300));
  EXPECT_EQ(view.size(), QSize(100, 100));
  view.SetAutoSize(true);
  EXPECT_EQ(view.size(), QSize(404, 304));
  EXPECT_EQ(view.PicBox()->pos(), QPoint(0, 0));
}

// --- Ownership ------------------------------------------------------------------------------------------------

TEST(TPGImagePicture, HooksTheAdoptedImageAndLeavesTheFreedOneAlone) {
  TPGImage view;
  view.SetPixelGraphic(Picture(10, 10));
  EXPECT_TRUE(static_cast<bool>(view.PixelGraphic()->OnChange));
  view.SetPixelGraphic(Picture(20, 10));
  EXPECT_EQ(view.PixelGraphic()->Width(), 20);
  view.SetPixelGraphic(nullptr);
  EXPECT_EQ(view.PixelGraphic(), nullptr);
  EXPECT_EQ(view.PicBox()->size(), QSize(0, 0));
}

TEST(TPGImagePicture, KeepsTheSelectionWhenThePictureIsReplaced) {
  auto view = ViewWithSelection(QRect(10, 20, 30, 40));
  view->SetPixelGraphic(Picture(100, 100));
  EXPECT_TRUE(view->Selection());
  EXPECT_EQ(view->SelectionRect(), QRect(10, 20, 30, 40));
}

// --- Coordinates ----------------------------------------------------------------------------------------------

TEST(TPGImageCoordinates, AreTheIdentityAtNaturalSizeAndZeroWithoutAPicture) {
  auto view = View(500, 400, 400, 300);
  EXPECT_EQ(view->PicBoxToImage(QPoint(123, 45)), QPoint(123, 45));
  EXPECT_EQ(view->ImageToPicBox(QPoint(-3, 301)), QPoint(-3, 301));
  view->SetPixelGraphic(nullptr);
  EXPECT_EQ(view->PicBoxToImage(QPoint(123, 45)), QPoint(0, 0));
  EXPECT_EQ(view->ImageToPicBox(QPoint(123, 45)), QPoint(0, 0));
}

// --- Selection get/set ----------------------------------------------------------------------------------------

TEST(TPGImageSelection, StartsHiddenAsOnePixelAtTheOrigin) {
  TPGImage view;
  EXPECT_FALSE(view.Selection());
  EXPECT_EQ(view.SelectionRect(), QRect(0, 0, 1, 1));
  EXPECT_EQ(view.ActionMode(), TActionMode::amNone);
  EXPECT_EQ(view.Color(), QColor(128, 0, 0));
}

TEST(TPGImageSelection, EachSetterChangesOneSideAndSignalsOnlyRealChanges) {
  TPGImage view;
  QSignalSpy spy(&view, &TPGImage::OnSelectionChange);
  view.SetSelectionLeft(5);
  view.SetSelectionTop(6);
  view.SetSelectionWidth(7);
  view.SetSelectionHeight(8);
  EXPECT_EQ(view.SelectionRect(), QRect(5, 6, 7, 8));
  EXPECT_EQ(spy.count(), 4);
  view.SetSelectionWidth(7);
  view.SetSelectionRect(QRect(5, 6, 7, 8));
  EXPECT_EQ(spy.count(), 4);
  view.SetSelectionRect(QRect(1, 2, 3, 4));
  EXPECT_EQ(spy.count(), 5);
}

TEST(TPGImageSelection, ShowingAndHidingKeepsTheRectangleAndRunsTheAnimation) {
  TPGImage view;
  QSignalSpy spy(&view, &TPGImage::OnSelectionChange);
  view.SetSelectionRect(QRect(1, 2, 3, 4));
  view.SetSelection(true);
  view.SetSelection(true);
  EXPECT_EQ(spy.count(), 2);
  const int phase = view.SelectionPhase();
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.SelectionPhase() != phase; }, 2000));
  view.SetSelection(false);
  EXPECT_EQ(spy.count(), 3);
  EXPECT_EQ(view.SelectionRect(), QRect(1, 2, 3, 4));
}
