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

// --- Mouse: creating, moving and resizing the selection ----------------------------------------------------------

TEST(TPGImageMouse, APressAndReleaseMakesAOnePixelSelectionAndReportsIt) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  std::vector<std::string> order;
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseDown, [&](Qt::MouseButton, TShiftState shift, int x, int y) {
    // The view has handled the press before the window hears of it.
    EXPECT_TRUE(view->Selection());
    EXPECT_EQ(shift, TShiftState(ssLeft));
    order.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  });
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseUp, [&](Qt::MouseButton button, TShiftState, int, int) {
    EXPECT_EQ(button, Qt::LeftButton);
    EXPECT_EQ(view->DragState(), TDragState::dsCreateSelection);
    order.push_back("up");
  });
  QObject::connect(view.get(), &TPGImage::OnSelectionMade, [&] { order.push_back("made"); });
  Press(*view, QPoint(10, 20));
  Release(*view, QPoint(10, 20));
  EXPECT_TRUE(view->Selection());
  EXPECT_EQ(view->SelectionRect(), QRect(10, 20, 1, 1));
  EXPECT_EQ(order, (std::vector<std::string>{"down 10,20", "up", "made"}));
  EXPECT_EQ(view->DragState(), TDragState::dsIdle);
}

TEST(TPGImageMouse, CreatingAlwaysContainsTheAnchorAndTheCurrentPixel) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amCreateSelection);
  Press(*view, QPoint(30, 30));
  MoveTo(*view, QPoint(10, 50));
  EXPECT_EQ(view->SelectionRect(), QRect(10, 30, 21, 21));
  MoveTo(*view, QPoint(35, 25));
  EXPECT_EQ(view->SelectionRect(), QRect(30, 25, 6, 6));
  Release(*view, QPoint(35, 25));
  EXPECT_EQ(view->SelectionRect(), QRect(30, 25, 6, 6));
}

TEST(TPGImageMouse, TheWindowsReleaseHandlerSeesTheLastMoveBeforeSelectionMade) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  QRect seen;
  int madeBeforeUp = -1;
  QSignalSpy made(view.get(), &TPGImage::OnSelectionMade);
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseUp, [&](Qt::MouseButton, TShiftState, int, int) {
    seen = view->SelectionRect();
    madeBeforeUp = made.count();
  });
  Press(*view, QPoint(100, 100));
  MoveTo(*view, QPoint(199, 119));
  Release(*view, QPoint(250, 250));  // the release position itself does not change the rectangle
  EXPECT_EQ(seen, QRect(100, 100, 100, 20));
  EXPECT_EQ(madeBeforeUp, 0);
  EXPECT_EQ(made.count(), 1);
  EXPECT_EQ(view->SelectionRect(), QRect(100, 100, 100, 20));
}

TEST(TPGImageMouse, APressInsideTheSelectionMovesItKeepingItsSize) {
  auto view = ViewWithSelection(QRect(100, 100, 50, 40));
  Press(*view, QPoint(110, 105));
  EXPECT_EQ(view->DragState(), TDragState::dsMoveSelection);
  MoveTo(*view, QPoint(130, 95));
  EXPECT_EQ(view->SelectionRect(), QRect(120, 90, 50, 40));
  Release(*view, QPoint(130, 95));
  EXPECT_EQ(view->SelectionRect(), QRect(120, 90, 50, 40));
}

TEST(TPGImageMouse, AMovedSelectionKeepsOneColumnAndOneRowOnThePicture) {
  auto view = ViewWithSelection(QRect(100, 100, 50, 40));
  Press(*view, QPoint(110, 105));  // grabbed 10, 5 inside
  MoveTo(*view, QPoint(-300, -300));
  EXPECT_EQ(view->SelectionRect(), QRect(1 - 50, 1 - 40, 50, 40));
  MoveTo(*view, QPoint(900, 900));
  EXPECT_EQ(view->SelectionRect(), QRect(399, 299, 50, 40));
  MoveTo(*view, QPoint(10 + 398, 5 + 298));  // just inside the bounds
  EXPECT_EQ(view->SelectionRect(), QRect(398, 298, 50, 40));
  Release(*view, QPoint(0, 0));
}

TEST(TPGImageMouse, EachHandleMovesItsOwnEdgesOnly) {
  // Rectangle 100,100 50x40: right edge 150, bottom edge 140. Handles lie 3 to 8 pixels outside, so a point
  // 6 pixels outside (5 beyond the exclusive right/bottom) is a handle's centre.
  struct Case {
    const char* name;
    QPoint handle;
    QRect expected;  // after dragging the handle by (+7, -4)
  };
  const Case cases[] = {
      {"top-left", {94, 94}, QRect(107, 96, 43, 44)},
      {"top", {125, 94}, QRect(100, 96, 50, 44)},
      {"top-right", {155, 94}, QRect(100, 96, 57, 44)},
      {"left", {94, 120}, QRect(107, 100, 43, 40)},
      {"right", {155, 120}, QRect(100, 100, 57, 40)},
      {"bottom-left", {94, 145}, QRect(107, 100, 43, 36)},
      {"bottom", {125, 145}, QRect(100, 100, 50, 36)},
      {"bottom-right", {155, 145}, QRect(100, 100, 57, 36)},
  };
  int expectedState = static_cast<int>(TDragState::dsResizeTopLeft);
  for (const Case& c : cases) {
    auto view = ViewWithSelection(QRect(100, 100, 50, 40));
    Press(*view, c.handle);
    EXPECT_EQ(static_cast<int>(view->DragState()), expectedState++) << c.name;
    MoveTo(*view, c.handle + QPoint(7, -4));
    Release(*view, c.handle + QPoint(7, -4));
    EXPECT_EQ(view->SelectionRect(), c.expected) << c.name;
  }
}

TEST(TPGImageMouse, HandlesAreFiveByFiveSquaresThreeToEightPixelsOutside) {
  for (QPoint p : {QPoint(92, 92), QPoint(96, 96), QPoint(153, 143), QPoint(157, 147), QPoint(123, 92)}) {
    auto view = ViewWithSelection(QRect(100, 100, 50, 40));
    Press(*view, p);
    EXPECT_GE(static_cast<int>(view->DragState()), static_cast<int>(TDragState::dsResizeTopLeft)) << p.x() << "," << p.y();
    Release(*view, p);
  }
  // Just outside those squares a press starts a new selection instead.
  for (QPoint p : {QPoint(91, 94), QPoint(97, 97), QPoint(152, 142), QPoint(158, 148), QPoint(122, 92)}) {
    auto view = ViewWithSelection(QRect(100, 100, 50, 40));
    Press(*view, p);
    EXPECT_EQ(view->DragState(), TDragState::dsCreateSelection) << p.x() << "," << p.y();
    Release(*view, p);
  }
}

TEST(TPGImageMouse, ResizingPastTheOppositeEdgeLeavesOnePixel) {
  {
    auto view = ViewWithSelection(QRect(100, 100, 50, 40));
    Press(*view, QPoint(155, 120));  // right handle
    MoveTo(*view, QPoint(20, 120));
    EXPECT_EQ(view->SelectionRect(), QRect(100, 100, 1, 40));
    Release(*view, QPoint(20, 120));
  }
  {
    auto view = ViewWithSelection(QRect(100, 100, 50, 40));
    Press(*view, QPoint(94, 94));  // top-left handle
    MoveTo(*view, QPoint(300, 280));
    EXPECT_EQ(view->SelectionRect(), QRect(149, 139, 1, 1));
    Release(*view, QPoint(300, 280));
  }
  {
    auto view = ViewWithSelection(QRect(100, 100, 50, 40));
    Press(*view, QPoint(125, 145));  // bottom handle
    MoveTo(*view, QPoint(125, 0));
    EXPECT_EQ(view->SelectionRect(), QRect(100, 100, 50, 1));
    Release(*view, QPoint(125, 0));
  }
}

TEST(TPGImageMouse, HandlesAreOnlyThereInTheMoveResizeCreateMode) {
  auto view = ViewWithSelection(QRect(100, 100, 50, 40));
  view->SetActionMode(TActionMode::amCreateSelection);
  Press(*view, QPoint(155, 120));
  EXPECT_EQ(view->DragState(), TDragState::dsCreateSelection);
  Release(*view, QPoint(155, 120));
  EXPECT_EQ(view->SelectionRect(), QRect(155, 120, 1, 1));
}

TEST(TPGImageMouse, InModeNoneAPressNeitherPansNorSelectsButTheWindowHearsIt) {
  auto view = View(500, 400, 1024, 768);
  view->SetActionMode(TActionMode::amNone);
  QSignalSpy down(view.get(), &TPGImage::PicBoxOnMouseDown);
  QSignalSpy up(view.get(), &TPGImage::PicBoxOnMouseUp);
  QSignalSpy made(view.get(), &TPGImage::OnSelectionMade);
  const int h = view->horizontalScrollBar()->value();
  Press(*view, QPoint(500, 400));
  EXPECT_EQ(view->DragState(), TDragState::dsIdle);
  MoveTo(*view, QPoint(450, 350));
  Release(*view, QPoint(450, 350));
  EXPECT_FALSE(view->Selection());
  EXPECT_EQ(view->horizontalScrollBar()->value(), h);
  EXPECT_EQ(down.count(), 1);
  EXPECT_EQ(up.count(), 1);
  EXPECT_EQ(made.count(), 0);
}

TEST(TPGImageMouse, OtherButtonsReachTheWindowButNotTheView) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  QSignalSpy down(view.get(), &TPGImage::PicBoxOnMouseDown);
  QTest::mousePress(view->PicBox(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseRelease(view->PicBox(), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_FALSE(view->Selection());
  ASSERT_EQ(down.count(), 1);
  EXPECT_EQ(down.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
}

TEST(TPGImageMouse, DraggingInMoveImageModePansALargePicture) {
  auto view = View(500, 400, 1024, 768);
  view->SetActionMode(TActionMode::amMoveImage);
  const QPoint start(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
  Press(*view, QPoint(600, 400));
  EXPECT_EQ(view->DragState(), TDragState::dsPan);
  MoveTo(*view, QPoint(570, 390));  // the picture follows the hand: 30 left, 10 up
  EXPECT_EQ(view->horizontalScrollBar()->value(), start.x() + 30);
  EXPECT_EQ(view->verticalScrollBar()->value(), start.y() + 10);
  Release(*view, QPoint(570, 390));
  EXPECT_EQ(view->DragState(), TDragState::dsIdle);
  EXPECT_FALSE(view->Selection());
}

TEST(TPGImageMouse, MoveImageModeDoesNotPanAPictureThatFits) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveImage);
  Press(*view, QPoint(60, 60));
  EXPECT_EQ(view->DragState(), TDragState::dsIdle);
  Release(*view, QPoint(60, 60));
}

TEST(TPGImageMouse, ADragBeyondTheEdgeScrollsAndTheRectangleFollows) {
  auto view = View(500, 400, 1024, 768);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  QScrollBar* hbar = view->horizontalScrollBar();
  const int startScroll = hbar->value();
  const QPoint press(startScroll + 100, view->verticalScrollBar()->value() + 100);
  Press(*view, press);
  // Past the viewport's right edge, in picture-box pixels.
  const QPoint outside(startScroll + view->viewport()->width() + 20, press.y());
  MoveTo(*view, outside);
  const int widthAtMove = view->SelectionWidth();
  ASSERT_TRUE(QTest::qWaitFor([&] { return hbar->value() >= startScroll + 10; }, 3000));
  EXPECT_EQ((hbar->value() - startScroll) % 5, 0);
  EXPECT_GT(view->SelectionWidth(), widthAtMove);
  Release(*view, view->PicBox()->mapFromGlobal(view->viewport()->mapToGlobal(QPoint(10, 10))));
  const int afterRelease = hbar->value();
  QTest::qWait(120);
  EXPECT_EQ(hbar->value(), afterRelease);
}

TEST(TPGImageMouse, HoverMovesReachTheWindowWithoutAButton) {
  auto view = View(500, 400, 400, 300);
  QSignalSpy move(view.get(), &TPGImage::PicBoxOnMouseMove);
  QMouseEvent hover(QEvent::MouseMove, QPointF(200, 150), view->PicBox()->mapToGlobal(QPointF(200, 150)),
                    Qt::NoButton, Qt::NoButton, Qt::ShiftModifier);
  QApplication::sendEvent(view->PicBox(), &hover);
  ASSERT_EQ(move.count(), 1);
  EXPECT_EQ(move.at(0).at(0).value<TShiftState>(), TShiftState(ssShift));
  EXPECT_EQ(move.at(0).at(1).toInt(), 200);
  EXPECT_EQ(move.at(0).at(2).toInt(), 150);
}

TEST(TPGImageMouse, AReleaseOutsideThePictureIsReportedInViewCoordinates) {
  auto view = View(500, 400, 400, 300);
  QSignalSpy up(view.get(), &TPGImage::OnMouseUp);
  QSignalSpy picUp(view.get(), &TPGImage::PicBoxOnMouseUp);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
  ASSERT_EQ(up.count(), 1);
  EXPECT_EQ(up.at(0).at(2).toInt(), 10);
  EXPECT_EQ(up.at(0).at(3).toInt(), 20);
  EXPECT_EQ(picUp.count(), 0);
}

// --- Mouse: double clicks -----------------------------------------------------------------------------------------

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint p, Qt::MouseButtons buttons, quint64 time) {
  QMouseEvent event(type, QPointF(p), widget->mapToGlobal(QPointF(p)), Qt::LeftButton, buttons, Qt::NoModifier);
  event.setTimestamp(time);
  QApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(TPGImageMouse, TheWindowHearsTheDoubleClickBeforeItsPressAndThatPressIsMarkedDouble) {
  auto view = View(500, 400, 400, 300);
  std::vector<std::string> events;
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseDown, [&](Qt::MouseButton, TShiftState shift, int, int) {
    events.push_back(shift == TShiftState(ssLeft) ? "down" : shift == (ssLeft | ssDouble) ? "down double" : "down ?");
  });
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseUp, [&] { events.push_back("up"); });
  QObject::connect(view.get(), &TPGImage::PicBoxOnDblClick, [&] { events.push_back("dblclick"); });
  // The toolkit's own order: press, release, press, double click, release.
  QWidget* box = view->PicBox();
  SendMouse(box, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, 100000);
  SendMouse(box, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::NoButton, 100050);
  SendMouse(box, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, 100120);
  SendMouse(box, QEvent::MouseButtonDblClick, QPoint(50, 50), Qt::LeftButton, 100120);
  SendMouse(box, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::NoButton, 100180);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up", "dblclick", "down double", "up"}));
}

TEST(TPGImageMouse, ASecondPressWithoutADoubleClickIsStillHandledInOrder) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  std::vector<std::string> events;
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseDown, [&] { events.push_back("down"); });
  QObject::connect(view.get(), &TPGImage::PicBoxOnMouseMove, [&] { events.push_back("move"); });
  QWidget* box = view->PicBox();
  SendMouse(box, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, 200000);
  SendMouse(box, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::NoButton, 200050);
  SendMouse(box, QEvent::MouseButtonPress, QPoint(52, 50), Qt::LeftButton, 200120);
  SendMouse(box, QEvent::MouseMove, QPoint(60, 58), Qt::LeftButton, 200150);
  EXPECT_EQ(events, (std::vector<std::string>{"down", "down", "move"}));
  EXPECT_EQ(view->SelectionRect(), QRect(52, 50, 9, 9));
  SendMouse(box, QEvent::MouseButtonRelease, QPoint(60, 58), Qt::NoButton, 200180);
}

TEST(TPGImageMouse, ADoubleClickThatEndsInsideTheHandlerLeavesNoDragBehind) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amMoveResizeCreateSelection);
  // The handler stands for a render pass: the button comes up while it runs.
  QObject::connect(view.get(), &TPGImage::PicBoxOnDblClick, [&] {
    QTest::mouseRelease(view->PicBox(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 70));
  });
  QTest::mouseDClick(view->PicBox(), Qt::LeftButton, Qt::NoModifier, QPoint(70, 70));
  EXPECT_EQ(view->DragState(), TDragState::dsIdle);
}

// --- Painting -------------------------------------------------------------------------------------------------

namespace {

constexpr const char* kF[5] = {"XXXXX.", "X.....", "XXXX..", "X.....", "X....."};

}  // namespace

TEST(TPGImagePaint, ShowsThePictureUprightWithItsOwnColoursInAMaroonSurround) {
  auto picture = Picture(6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) picture->SetPixel(x, y, kF[y][x] == 'X' ? RGBColor(255, 0, 0) : RGBColor(0, 0, 255));
  TPGImage view;
  view.resize(30 + 2 * kBorder, 25 + 2 * kBorder);
  view.show();
  view.SetPixelGraphic(std::move(picture));
  const QImage shot = view.viewport()->grab().toImage();
  const QPoint origin = view.PicBox()->pos();
  ASSERT_EQ(origin, QPoint(12, 10));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(shot.pixel(origin + QPoint(x, y)), kF[y][x] == 'X' ? qRgb(255, 0, 0) : qRgb(0, 0, 255)) << x << "," << y;
  EXPECT_EQ(shot.pixel(2, 2), qRgb(128, 0, 0));
  EXPECT_EQ(shot.pixel(origin + QPoint(6, 5)), qRgb(128, 0, 0));
}

TEST(TPGImagePaint, ShowsPixelsWrittenAfterTheLastChangeOnlyAtTheNextChange) {
  TPGImage view;
  view.resize(50, 50);
  view.show();
  view.SetPixelGraphic(Picture(8, 8));
  EXPECT_EQ(view.PicBox()->grab().toImage().pixel(3, 4), qRgb(0, 0, 0));
  view.PixelGraphic()->SetPixel(3, 4, RGBColor(0, 255, 0));
  view.PixelGraphic()->Changed();
  EXPECT_EQ(view.PicBox()->grab().toImage().pixel(3, 4), qRgb(0, 255, 0));
}

TEST(TPGImagePaint, DrawsAStripedFrameJustOutsideTheSelection) {
  auto view = View(500, 400, 400, 300);
  view->SetActionMode(TActionMode::amNone);
  view->SetSelectionRect(QRect(100, 100, 50, 40));
  view->SetSelection(true);
  const QImage shot = view->PicBox()->grab().toImage();
  const QRgb white = qRgb(255, 255, 255), red = qRgb(255, 0, 0), black = qRgb(0, 0, 0);
  // The top side, row 99, from column 99 to 150: stripes of the two colours, four pixels each.
  std::vector<int> runs{1};
  for (int x = 99; x <= 150; ++x) {
    const QRgb c = shot.pixel(x, 99);
    ASSERT_TRUE(c == white || c == red) << x;
    if (x > 99) {
      if (c == shot.pixel(x - 1, 99)) {
        ++runs.back();
      } else {
        runs.push_back(1);
      }
    }
  }
  ASSERT_GE(runs.size(), 10u);
  for (size_t i = 1; i + 1 < runs.size(); ++i) EXPECT_EQ(runs[i], 4) << i;
  // The stripes run diagonally: going down the left side repeats going right along the top.
  for (int d = 0; d <= 41; ++d) EXPECT_EQ(shot.pixel(99, 99 + d), shot.pixel(99 + d, 99)) << d;
  for (int y = 99; y <= 140; ++y) {
    EXPECT_NE(shot.pixel(99, y), black) << y;   // left side
    EXPECT_NE(shot.pixel(150, y), black) << y;  // right side
  }
  for (int x = 99; x <= 150; ++x) EXPECT_NE(shot.pixel(x, 140), black) << x;
  // Inside and two pixels outside the picture stays as it was; no handles in this mode.
  EXPECT_EQ(shot.pixel(100, 100), black);
  EXPECT_EQ(shot.pixel(149, 139), black);
  EXPECT_EQ(shot.pixel(98, 98), black);
  EXPECT_EQ(shot.pixel(94, 94), black);
}

TEST(TPGImagePaint, DrawsEightHandlesInTheMoveResizeCreateMode) {
  auto view = ViewWithSelection(QRect(100, 100, 50, 40));
  const QImage shot = view->PicBox()->grab().toImage();
  const QRgb black = qRgb(0, 0, 0);
  // Each handle is the outline of a 5 x 5 square: its corner is painted, its centre is not.
  const QPoint corners[8] = {{92, 92}, {123, 92}, {153, 92}, {92, 118}, {153, 118}, {92, 143}, {123, 143}, {153, 143}};
  for (const QPoint& c : corners) {
    EXPECT_NE(shot.pixel(c), black) << c.x() << "," << c.y();
    EXPECT_NE(shot.pixel(c + QPoint(4, 4)), black) << c.x() << "," << c.y();
    EXPECT_EQ(shot.pixel(c + QPoint(2, 2)), black) << c.x() << "," << c.y();
    EXPECT_EQ(shot.pixel(c + QPoint(5, 2)), black) << c.x() << "," << c.y();
  }
  view->SetSelection(false);
  const QImage hidden = view->PicBox()->grab().toImage();
  EXPECT_EQ(hidden.pixel(92, 92), black);
  EXPECT_EQ(hidden.pixel(99, 99), black);
}
