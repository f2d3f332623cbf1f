#include "document/view_coords.h"

#include <gtest/gtest.h>

namespace {
TFractalParams ViewOf(int width, int height) {
  TFractalParams v{};
  v.imageWidth = width;
  v.imageHeight = height;
  ResetCoordinates(v);
  AdjustCoordsForRun(v);
  return v;
}
}  // namespace

TEST(ViewCoords, DefaultViewOfA400By300PictureIsWiderThanTall) {
  const TFractalParams v = ViewOf(400, 300);
  EXPECT_NEAR(v.xMin, -10.1449, 1e-4);
  EXPECT_NEAR(v.xMax, 10.1449, 1e-4);
  EXPECT_NEAR(v.yMin, -7.6087, 1e-4);
  EXPECT_NEAR(v.yMax, 7.6087, 1e-4);
  EXPECT_DOUBLE_EQ(v.zoom, 0.23);
  EXPECT_DOUBLE_EQ(v.selZoom, 0.23);
  EXPECT_DOUBLE_EQ(v.xCenter, 0.0);
  EXPECT_DOUBLE_EQ(v.yCenter, 0.0);
  // A pixel covers the same world distance in x and y.
  EXPECT_NEAR((v.xMax - v.xMin) / 400, (v.yMax - v.yMin) / 300, 1e-12);
  // The engine maps onto the plot edges: they are the edges just computed.
  EXPECT_EQ(v.plotXMin, v.xMin);
  EXPECT_EQ(v.plotXMax, v.xMax);
  EXPECT_EQ(v.plotYMin, v.yMin);
  EXPECT_EQ(v.plotYMax, v.yMax);
}

TEST(ViewCoords, WorldPointAtThePictureCentreIsTheViewCentre) {
  TFractalParams v = ViewOf(400, 300);
  const TWorldPoint centre = WorldPointAt(v, 200, 150);
  EXPECT_NEAR(centre.x, 0.0, 1e-12);
  EXPECT_NEAR(centre.y, 0.0, 1e-12);
  EXPECT_NEAR(centre.stepX, centre.stepY, 1e-12);
  // The readout follows the edges of the last run, not the view set since.
  v.xCenter = 5;
  EXPECT_EQ(WorldPointAt(v, 0, 0).x, v.plotXMin);
}

TEST(ViewCoords, PortraitPictureGetsTheTallerExtent) {
  const TFractalParams v = ViewOf(300, 400);
  EXPECT_NEAR(v.yMax, 10.1449, 1e-4);
  EXPECT_NEAR(v.xMax, 7.6087, 1e-4);
}

TEST(ViewCoords, SquarePictureSpansTwoOverZoomAboutTheCentre) {
  TFractalParams v{};
  v.imageWidth = v.imageHeight = 256;
  v.zoom = 4.0;
  v.xCenter = 1.0;
  v.yCenter = -0.5;
  AdjustCoords(v);
  EXPECT_DOUBLE_EQ(v.xMin, 0.5);
  EXPECT_DOUBLE_EQ(v.xMax, 1.5);
  EXPECT_DOUBLE_EQ(v.yMin, -1.0);
  EXPECT_DOUBLE_EQ(v.yMax, 0.0);
  EXPECT_DOUBLE_EQ(v.halfWidth, 0.5);
}

TEST(ViewCoords, ResetMarksTheDefaultRegionButKeepsItsCentre) {
  TFractalParams v{};
  v.selXCenter = 3.0;
  v.selYCenter = -4.0;
  v.selXMin = 7.0;
  ResetCoordinates(v);
  EXPECT_DOUBLE_EQ(v.selXCenter, 3.0);
  EXPECT_DOUBLE_EQ(v.selYCenter, -4.0);
  EXPECT_DOUBLE_EQ(v.selXMin, -2.0);
  EXPECT_DOUBLE_EQ(v.selYMax, 2.0);
}
