// A supersampled grid lines up with its picture: every hit of a pixel's footprint is filtered into that pixel, so a
// render whose points all land in one pixel has, at radius 0, that pixel's counts exactly as the plain render.
#include "document/supersampled.h"

#include <gtest/gtest.h>

#include <cmath>

#include "document/fractal_document.h"
#include "engine/formula.h"

namespace {

// IFS0101 with a1..a4 = 0 sends every point to (x, y); the view maps world coordinates 1:1 onto pixels.
void SetUpConstantMap(TFractalParams& v, double x, double y) {
  v.plotXMin = 0;
  v.plotXMax = v.plotWidth = v.imageWidth;
  v.plotYMin = 0;
  v.plotYMax = v.plotHeight = v.imageHeight;
  v.ifs01 = v.ifs0101 = v.none = true;
  v.maps = 0;
  v.randomize = false;
  v.red = v.green = v.blue = 1;
  v.intensity = 3;
  v.af.fill(0);
  v.af[5] = x;
  v.af[6] = y;
}

TEST(SupersampledGrid, AHitIsFilteredIntoThePixelItLandsInAtEveryFactor) {
  // Points near a pixel's edges: rounding in the finer grid must not move them into a neighbour.
  const double points[][2] = {{10.3, 20.2}, {9.6, 19.55}, {10.45, 20.45}};
  for (const auto& point : points) {
    TFractalDocument plain(40, 30);
    plain.Resize(40, 30);
    SetUpConstantMap(plain.Params(), point[0], point[1]);
    ResetEngineState();
    SetEngineStepBudget(500);
    RunFractal(&plain.Params());
    const int ix = static_cast<int>(std::lround(point[0])), iy = static_cast<int>(std::lround(point[1]));
    const std::size_t cell = static_cast<std::size_t>(ix) * 40 + iy;
    ASSERT_GT((*plain.Record().redList)[cell], 0);
    for (const int s : {2, 3, 4}) {
      TFractalDocument fine(40, 30);
      fine.Resize(40, 30);
      SetUpConstantMap(fine.Params(), point[0], point[1]);
      TSupersampledGrid grid(fine.Record(), s);
      ResetEngineState();
      SetEngineStepBudget(500);
      RunFractal(&grid.Record());
      grid.FilterInto(fine, 0);
      const TFractalParams& v = fine.Record();
      EXPECT_EQ((*v.redList)[cell], (*plain.Record().redList)[cell]) << point[0] << "," << point[1] << " S " << s;
      EXPECT_EQ((*v.blueList)[cell], (*plain.Record().blueList)[cell]);
      EXPECT_EQ((*v.leadList)[cell], (*plain.Record().leadList)[cell]);
    }
  }
  SetEngineStepBudget(kNoStepBudget);
  ResetEngineState();
}

TEST(SupersampledGrid, MemoryBeyondWhatIsAvailableIsRefusedNamingBoth) {
  EXPECT_EQ(MemoryRefusal(100, std::uint64_t{200}), "");
  EXPECT_EQ(MemoryRefusal(100, std::nullopt), "");
  EXPECT_EQ(MemoryRefusal(std::uint64_t{3} << 30, std::uint64_t{1} << 30),
            "the render needs 3072 MiB of memory, but only 1024 MiB are available");
}

}  // namespace
