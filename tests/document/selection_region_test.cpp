#include "document/selection_region.h"

#include <gtest/gtest.h>

#include "document/view_coords.h"

namespace {
TFractalParams DefaultView(int width, int height) {
  TFractalParams v{};
  v.imageWidth = width;
  v.imageHeight = height;
  ResetCoordinates(v);
  AdjustCoords(v);
  return v;
}
}  // namespace

TEST(SelectionRegion, DraggedRectangleTakesThePictureAspectAboutItsCentre) {
  // 100 x 20 on 400 x 300: mean side 60, mean picture side 350.
  const TPixelRect dragged{150, 140, 100, 20};
  EXPECT_EQ(MarkedRectangle(dragged, true, 0, 0, 400, 300), (TPixelRect{166, 124, 69, 51}));
}

TEST(SelectionRegion, ClickMarksAHalfSizeRegionAroundThePointWhateverWasDragged) {
  const TPixelRect half = ClickRegionSize(400, 300);
  EXPECT_EQ(half.width, 200);
  EXPECT_EQ(half.height, 150);
  // Already in the picture's aspect, so the fit leaves the size and centres it on the click.
  const TPixelRect dragged{150, 140, 100, 20};
  EXPECT_EQ(MarkedRectangle(dragged, false, 100.0, 50.0, 400, 300), (TPixelRect{0, -25, 200, 150}));
  // Halves go to the even neighbour: sides of 200.5 and 150.5, edges of -0.5 and 0.5.
  EXPECT_EQ(ClickRegionSize(401, 301), (TPixelRect{0, 0, 200, 150}));
  EXPECT_EQ(FitToAspect(TPixelRect{0, 0, 2, 2}, 0.5, 0.5, 3, 3), (TPixelRect{0, 0, 2, 2}));
  EXPECT_EQ(FitToAspect(TPixelRect{0, 0, 2, 2}, 1.5, 1.5, 3, 3), (TPixelRect{0, 0, 2, 2}));
}

TEST(SelectionRegion, OnASquarePictureZoomingMakesTheRegionTheView) {
  TFractalParams v = DefaultView(200, 200);
  MarkRegion(v, TPixelRect{50, 100, 50, 50});
  ZoomToRegion(v);
  AdjustCoords(v);
  EXPECT_NEAR(v.xMin, v.selXMin, 1e-12);
  EXPECT_NEAR(v.xMax, v.selXMax, 1e-12);
  EXPECT_NEAR(v.yMin, v.selYMin, 1e-12);
  EXPECT_NEAR(v.yMax, v.selYMax, 1e-12);
}

TEST(SelectionRegion, MarkingRemembersTheOldCentreAndAsksForTheMeanHalfSide) {
  TFractalParams v = DefaultView(400, 300);
  v.xCenter = 0.25;
  MarkRegion(v, TPixelRect{100, 75, 200, 150});
  EXPECT_DOUBLE_EQ(v.prevXCenter, 0.25);
  const double d = ((v.selXMax - v.selXMin) * 0.5 + (v.selYMax - v.selYMin) * 0.5) * 0.5;
  EXPECT_DOUBLE_EQ(v.selZoom, 1.0 / d * 2.0);
  EXPECT_NEAR(v.selXCenter, (v.xMin + v.xMax) / 2, 1e-12);
  EXPECT_FALSE(RegionIsEmpty(v));
}

TEST(SelectionRegion, ARegionWithoutExtentIsEmptyAndKeepsZoomZero) {
  TFractalParams v = DefaultView(400, 300);
  MarkRegion(v, TPixelRect{10, 10, 0, 0});
  EXPECT_EQ(v.selZoom, 0.0);
  EXPECT_TRUE(RegionIsEmpty(v));
  // A region thin in one direction still has a size to zoom to.
  MarkRegion(v, TPixelRect{10, 10, 3, 0});
  EXPECT_FALSE(RegionIsEmpty(v));
}
