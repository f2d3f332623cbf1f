#include "document/undo_snapshot.h"

#include <gtest/gtest.h>

#include <new>

#include "document/fractal_document.h"
#include "document/view_coords.h"
#include "document/view_zoom.h"
#include "image/pixel_graphic.h"

namespace {

TEST(UndoSnapshot, RestoreBringsBackTheSetAndKeepsTheRunningPassState) {
  TFractalDocument doc;
  doc.Resize(400, 300);
  TDocumentRecord& v = doc.Params();
  v.red = 0.4;
  v.af[3] = 1.5;
  v.mira0102 = true;
  const TParamSnapshot before = doc.Snapshot();
  EXPECT_EQ(before.values.image, nullptr);
  EXPECT_EQ(before.values.redList, nullptr);

  v.red = 0.9;
  v.af[3] = -2;
  v.mira0102 = false;
  v.zoom = 5;
  // A pass is running: its counters and stop flag are its own, not part of the set.
  v.abort = false;
  v.iterations = 12345;
  v.ticks = 7;
  const TPixelGraphic* picture = doc.Picture();
  EXPECT_FALSE(SameParameterSet(before, doc.Snapshot()));

  EXPECT_EQ(doc.Restore(before), nullptr);  // same size: no new picture
  EXPECT_EQ(v.red, 0.4);
  EXPECT_EQ(v.af[3], 1.5);
  EXPECT_TRUE(v.mira0102);
  EXPECT_EQ(v.zoom, 0.23);
  EXPECT_FALSE(v.abort);
  EXPECT_EQ(v.iterations, 12345);
  EXPECT_EQ(v.ticks, 7);
  EXPECT_EQ(doc.Record().image, picture);
  EXPECT_TRUE(SameParameterSet(before, doc.Snapshot()));
}

TEST(UndoSnapshot, RestoreOfAnotherSizeMakesPictureAndListsOfThatSize) {
  TFractalDocument doc;
  doc.Resize(400, 300);
  const TParamSnapshot small = doc.Snapshot();
  doc.Resize(640, 480);
  const TPixelGraphic* large = doc.Picture();

  std::unique_ptr<TPixelGraphic> replaced = doc.Restore(small);
  EXPECT_EQ(replaced.get(), large);
  const TFractalParams& v = doc.Record();
  EXPECT_EQ(v.imageWidth, 400);
  EXPECT_EQ(v.plotHeight, 300);
  ASSERT_NE(doc.Picture(), nullptr);
  EXPECT_EQ(doc.Picture()->Width(), 400);
  EXPECT_EQ(doc.Picture()->Height(), 300);
  EXPECT_EQ(v.image, doc.Picture());
  ASSERT_NE(v.redList, nullptr);
  EXPECT_EQ(v.redList->size(), 400u * 400u);
  EXPECT_EQ(v.blueList->size(), 400u * 400u);
}

TEST(UndoSnapshot, AFailedRestoreChangesNothing) {
  TFractalDocument doc;
  doc.Resize(400, 300);
  TParamSnapshot impossible = doc.Snapshot();
  impossible.values.imageWidth = -5;  // the picture cannot be made
  impossible.values.red = 0.1;
  const TPixelGraphic* picture = doc.Picture();
  EXPECT_ANY_THROW(doc.Restore(impossible));
  EXPECT_EQ(doc.Record().imageWidth, 400);
  EXPECT_NE(doc.Record().red, 0.1);
  EXPECT_EQ(doc.Picture(), picture);
}

TEST(UndoSnapshot, EdgesThatEveryRunRecomputesAreNoChange) {
  TFractalDocument doc;
  doc.Resize(400, 300);
  const TParamSnapshot before = doc.Snapshot();
  AdjustCoordsForRun(doc.Params());
  EXPECT_TRUE(SameParameterSet(before, doc.Snapshot()));
  doc.Params().randomize = !doc.Record().randomize;
  EXPECT_FALSE(SameParameterSet(before, doc.Snapshot()));
}

TEST(ViewZoom, ThePointUnderTheCursorStaysWhereItWas) {
  TFractalDocument doc;
  doc.Resize(400, 300);
  TDocumentRecord& v = doc.Params();
  v.xCenter = 0.3;
  v.yCenter = -0.2;
  for (const double factor : {1.25, 1 / 1.25, 4.0}) {
    AdjustCoords(v);
    const double x = v.xMin + 80.0 / 400 * (v.xMax - v.xMin);
    const double y = v.yMin + 225.0 / 300 * (v.yMax - v.yMin);
    const double zoom = v.zoom;
    ASSERT_TRUE(ZoomAbout(v, 80, 225, factor));
    EXPECT_DOUBLE_EQ(v.zoom, zoom * factor);
    AdjustCoords(v);
    EXPECT_NEAR(v.xMin + 80.0 / 400 * (v.xMax - v.xMin), x, 1e-12);
    EXPECT_NEAR(v.yMin + 225.0 / 300 * (v.yMax - v.yMin), y, 1e-12);
  }
}

TEST(ViewZoom, ZoomsBeyondTheLimitsOrWithoutAPictureAreRefused) {
  TFractalDocument doc;
  doc.Resize(400, 300);
  TDocumentRecord& v = doc.Params();
  v.zoom = kMaxZoom / 1.1;
  EXPECT_FALSE(ZoomAbout(v, 10, 10, 1.25));
  EXPECT_EQ(v.zoom, kMaxZoom / 1.1);
  v.zoom = kMinZoom * 1.1;
  EXPECT_FALSE(ZoomAbout(v, 10, 10, kZoomOutFactor));
  EXPECT_FALSE(ZoomAbout(v, 10, 10, 0.0));
  EXPECT_FALSE(ZoomAbout(v, 10, 10, -2.0));
  TFractalDocument blank{TFractalDocument::TBlank{}};
  blank.Params().zoom = 1;
  EXPECT_FALSE(ZoomAbout(blank.Params(), 0, 0, 2.0));
  EXPECT_EQ(blank.Record().zoom, 1);
  // 120 eighths of a degree are one notch; a fine wheel's part of a notch zooms by part of the factor.
  EXPECT_DOUBLE_EQ(WheelZoomFactor(120), kWheelZoomFactor);
  EXPECT_DOUBLE_EQ(WheelZoomFactor(-240), 1 / (kWheelZoomFactor * kWheelZoomFactor));
  EXPECT_DOUBLE_EQ(WheelZoomFactor(60) * WheelZoomFactor(60), kWheelZoomFactor);
}

}  // namespace
