#include "document/fractal_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>

namespace {
bool AllZero(const THitList& list) { return std::all_of(list.begin(), list.end(), [](auto n) { return n == 0; }); }
}  // namespace

TEST(FractalDocument, ResizeGivesANewBlackPictureAndZeroListsOnTheSameView) {
  TFractalDocument d;
  EXPECT_EQ(d.Picture(), nullptr);
  d.Resize(400, 300);
  const TFractalParams& v = d.Record();
  ASSERT_NE(d.Picture(), nullptr);
  EXPECT_EQ(v.image, d.Picture());
  d.Picture()->SetPixel(3, 4, 0xFFFFFF);
  (*v.redList)[7] = 5;
  d.Params().zoom = 1.5;
  d.Params().xCenter = 0.25;

  d.Resize(300, 400);
  EXPECT_EQ(v.image, d.Picture());
  EXPECT_EQ(d.Picture()->Width(), 300);
  EXPECT_EQ(d.Picture()->Height(), 400);
  EXPECT_EQ(d.Picture()->GetColor(3, 4), 0u);
  for (const THitList* list : {v.redList, v.greenList, v.blueList}) {
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->size(), 160000u);
    EXPECT_TRUE(AllZero(*list));
  }
  EXPECT_EQ(v.imageWidth, 300);
  EXPECT_EQ(v.plotHeight, 400);
  EXPECT_EQ(v.zoom, 1.5);
  EXPECT_EQ(v.xCenter, 0.25);
}

TEST(FractalDocument, AResizeThatFailsChangesNothing) {
  TFractalDocument d;
  d.Resize(120, 90);
  const TPixelGraphic* picture = d.Picture();
  const THitList* red = d.Record().redList;
  EXPECT_THROW(d.Resize(-5, 90), EPixelGraphic);
  EXPECT_THROW(d.Resize(90, -5), EPixelGraphic);
  EXPECT_EQ(d.Picture(), picture);
  EXPECT_EQ(d.Record().image, picture);
  EXPECT_EQ(d.Record().redList, red);
  EXPECT_EQ(red->size(), 120u * 120u);
  EXPECT_EQ(d.Record().imageWidth, 120);
  EXPECT_EQ(d.Record().plotHeight, 90);
}

TEST(FractalDocument, PrepareRunDerivesTheFamiliesAndTheEdgesOnlyWhenThereIsSomethingToDraw) {
  TFractalDocument d(400, 300);
  d.Params().mira01 = true;
  EXPECT_FALSE(d.PrepareRun());
  EXPECT_FALSE(d.Record().mira01);
  EXPECT_EQ(d.Record().plotXMax, 0.0);
  d.ToggleIfsVariant(2);
  EXPECT_TRUE(d.PrepareRun());
  EXPECT_TRUE(d.Record().ifs01);
  EXPECT_NEAR(d.Record().plotXMax, 10.1449, 1e-4);
  d.ToggleIfsVariant(2);
  d.ToggleLatoocarfian01();
  EXPECT_TRUE(d.PrepareRun());
  EXPECT_FALSE(d.Record().ifs01);
}

TEST(FractalDocument, ZoomRefusesARegionWithoutExtentAndTakesAnyOther) {
  TFractalDocument d(400, 300);
  d.MarkRegion(TPixelRect{10, 10, 0, 0});
  EXPECT_FALSE(d.ZoomToRegion());
  EXPECT_EQ(d.Record().zoom, 0.23);
  d.MarkRegion(TPixelRect{100, 75, 200, 150});
  EXPECT_TRUE(d.ZoomToRegion());
  EXPECT_EQ(d.Record().zoom, d.Record().selZoom);
  EXPECT_NE(d.Record().zoom, 0.23);
  d.ResetView();
  EXPECT_EQ(d.Record().zoom, 0.23);
}

// A window still shows the picture a pass replaces until it has switched to the new one: the document hands the
// old one back instead of freeing it under the view.
TEST(FractalDocument, ANewPictureKeepsTheListsAndHandsTheOldPictureBack) {
  TFractalDocument d;
  EXPECT_EQ(d.Resize(200, 100), nullptr);
  const TFractalParams& v = d.Record();
  const THitList* red = v.redList;
  (*v.redList)[3] = 9;
  TPixelGraphic* first = d.Picture();
  first->SetPixel(1, 1, 0x123456);

  std::unique_ptr<TPixelGraphic> old = d.NewPicture();
  EXPECT_EQ(old.get(), first);
  EXPECT_EQ(old->GetColor(1, 1), 0x123456u);  // still whole for whoever shows it
  ASSERT_NE(d.Picture(), first);
  EXPECT_EQ(v.image, d.Picture());
  EXPECT_EQ(d.Picture()->Width(), 200);
  EXPECT_EQ(d.Picture()->Height(), 100);
  EXPECT_EQ(d.Picture()->GetColor(1, 1), 0u);
  EXPECT_EQ(v.redList, red);
  EXPECT_EQ((*v.redList)[3], 9);

  old = d.Resize(50, 60);
  EXPECT_NE(old, nullptr);
  EXPECT_EQ(v.image, d.Picture());
}

// The record the document hands out for editing cannot reseat its handles, one by one or by a whole assignment.
template <typename T>
concept CanReseatPicture = requires(T& v) { v.image = nullptr; };
template <typename T>
concept CanReseatLists = requires(T& v, THitList* list) { v.redList = list; };
static_assert(CanReseatPicture<TFractalParams> && CanReseatLists<TFractalParams>);
static_assert(!CanReseatPicture<TDocumentRecord> && !CanReseatLists<TDocumentRecord>);
static_assert(!std::is_assignable_v<TDocumentRecord&, const TFractalParams&>);
static_assert(!std::is_copy_assignable_v<TDocumentRecord>);

TEST(FractalDocument, RestoredSettingsLeaveTheHandlesSizeAndRunningPassAsTheyAre) {
  TFractalDocument d;
  d.Resize(120, 80);
  d.Params().iterations = 500;
  d.Params().abort = true;
  const TFractalParams& v = d.Record();
  const THitList* red = v.redList;
  const TLeadList* lead = v.leadList;

  // Settings from another document of another size, its handles and run state included.
  TFractalDocument other;
  other.Resize(60, 40);
  other.Params().red = 0.125;
  other.Params().af[7] = -0.5;
  other.Params().iterations = 9;
  d.RestoreSettings(other.Record());

  EXPECT_EQ(v.red, 0.125);
  EXPECT_EQ(v.af[7], -0.5);
  EXPECT_EQ(v.image, d.Picture());
  EXPECT_EQ(v.redList, red);
  EXPECT_EQ(v.leadList, lead);
  EXPECT_EQ(v.imageWidth, 120);
  EXPECT_EQ(v.plotHeight, 80);
  EXPECT_EQ(v.iterations, 500);
  EXPECT_TRUE(v.abort);
}
