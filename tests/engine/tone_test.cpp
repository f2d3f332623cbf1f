// The log-density tone: a longer render keeps its brightness (where linear counts burn out), the picture a run leaves
// is exactly the one painted again from its counts, and absurd settings stay harmless.
#include "engine/tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine_fixture.h"

namespace {

class ToneTest : public EngineTest {};

// A Sierpinski triangle over a 160 x 120 picture.
void SetSierpinski(TTestFractal& f) {
  const double maps[3][6] = {{0.5, 0, 0, 0.5, 0, 0}, {0.5, 0, 0, 0.5, 0.5, 0}, {0.5, 0, 0, 0.5, 0.25, 0.5}};
  const int offsets[3] = {0, 19, 39};
  for (int m = 0; m < 3; ++m)
    for (int k = 0; k < 6; ++k) f.v.af[offsets[m] + 1 + k] = maps[m][k];
  f.v.maps = 3;
  f.v.plotXMin = f.v.plotYMin = -0.1;
  f.v.plotXMax = f.v.plotYMax = 1.1;
  f.v.intensity = 20;
}

double MeanBrightness(const TTestFractal& f) {
  double sum = 0;
  for (int x = 0; x < f.image.Width(); ++x)
    for (int y = 0; y < f.image.Height(); ++y) {
      const TColor c = f.image.GetPixel(x, y);
      sum += (c & 0xff) + ((c >> 8) & 0xff) + ((c >> 16) & 0xff);
    }
  return sum / (3.0 * f.image.Width() * f.image.Height());
}


}  // namespace

TEST_F(ToneTest, DoublingTheStepsKeepsTheLogDensityBrightnessWhileThePictureKeepsChanging) {
  double mean[2];
  std::vector<std::uint8_t> pixels[2];
  for (int k = 0; k < 2; ++k) {
    ResetEngineState();
    SeedEngineRandom(7);
    TTestFractal f(160, 120);
    SetSierpinski(f);
    f.v.logDensity = true;
    RunSteps(f, std::int64_t{400000} << k);
    mean[k] = MeanBrightness(f);
    pixels[k] = f.Pixels();
  }
  EXPECT_GT(mean[0], 10);
  EXPECT_NEAR(mean[1] / mean[0], 1.0, 0.05) << mean[0] << " then " << mean[1];
  EXPECT_NE(pixels[0], pixels[1]);
}

TEST_F(ToneTest, ARunLeavesExactlyThePicturePaintedAgainFromItsCountsAndTheDefaultStaysLinear) {
  SeedEngineRandom(11);
  TTestFractal f(120, 90);
  SetSierpinski(f);
  f.v.logDensity = true;
  f.v.toneBrightness = 2.5;
  f.v.toneGamma = 1.5;
  RunSteps(f, 50000);
  const std::vector<std::uint8_t> rendered = f.Pixels();
  f.image.SetSize(120, 90, TColorRes::Bits24);
  PaintLogDensity(f.v);
  EXPECT_EQ(f.Pixels(), rendered);

  // Without log density the run paints its counts linearly, whatever brightness and gamma say.
  ResetEngineState();
  SeedEngineRandom(11);
  TTestFractal linear(120, 90), plain(120, 90);
  SetSierpinski(linear);
  SetSierpinski(plain);
  linear.v.toneBrightness = 2.5;
  linear.v.toneGamma = 1.5;
  RunSteps(linear, 50000);
  ResetEngineState();
  SeedEngineRandom(11);
  RunSteps(plain, 50000);
  EXPECT_EQ(linear.Pixels(), plain.Pixels());
  EXPECT_NE(linear.Pixels(), rendered);
}

TEST(LogDensityColor, TheHueIsTheDefinedColouringsAndAbsurdSettingsGiveBlackOrSaturatedBytes) {
  TFractalParams v;
  v.red = v.green = v.blue = 1;
  v.toneBrightness = std::numeric_limits<double>::quiet_NaN();  // out of range: the default is used
  v.toneGamma = 1e9;
  const std::int32_t none[3] = {0, -5, 0};
  EXPECT_EQ(LogDensityColor(LogDensityToneOf(v, 0, 100), none, kNoLeadChannel), 0u);
  // Far denser than the mean: the strongest channel is full, the others in the defined colouring's proportion.
  v.toneGamma = 1;
  const std::int32_t dense[3] = {std::numeric_limits<std::int32_t>::max(), 0, 0};
  EXPECT_EQ(LogDensityColor(LogDensityToneOf(v, 10, 100), dense, kNoLeadChannel), 0x0000ffu);
  const std::int32_t mixed[3] = {4000, 2000, 0};
  EXPECT_EQ(LogDensityColor(LogDensityToneOf(v, 10, 100000), mixed, kNoLeadChannel), 0x0080ffu);
  // Blue led: every channel is pulled half way to the lead's value, which is 0 here.
  EXPECT_EQ(LogDensityColor(LogDensityToneOf(v, 10, 100000), mixed, 3), 0x0080ffu);
  // Red led with a green factor of 0.5: green (2000 * 0.5 + 4000) / 2 * 0.5 = 1250 and blue (0 + 4000) / 2 = 2000
  // against red's 4000.
  v.green = 0.5;
  EXPECT_EQ(LogDensityColor(LogDensityToneOf(v, 10, 100000), mixed, 1), 0x8050ffu);
  v.invert = true;
  v.red = std::numeric_limits<double>::infinity();
  EXPECT_EQ(LogDensityColor(LogDensityToneOf(v, 0, 100), none, kNoLeadChannel), 0xffffffu);
}

TEST_F(ToneTest, EveryColourModePaintsAgainFromCountsAndLeadChannelsExactlyAsTheRunDid) {
  struct TMode {
    bool sqrtFilter, invert;
    double intensity;
  };
  for (const TMode mode : {TMode{false, false, 20}, TMode{true, false, 3}, TMode{false, true, 0.4}}) {
    ResetEngineState();
    SeedEngineRandom(5);
    TTestFractal f(90, 70);
    SetSierpinski(f);
    TLeadList lead(90 * 90, 9);
    f.v.leadList = &lead;
    f.v.sqrtFilter = mode.sqrtFilter;
    f.v.invert = mode.invert;
    f.v.intensity = mode.intensity;
    f.v.red = 1.5;
    f.v.blue = 0.5;
    RunSteps(f, 30000);
    const std::vector<std::uint8_t> rendered = f.Pixels();
    EXPECT_EQ(std::count(lead.begin(), lead.end(), 9), 0);  // the run starts the list afresh
    f.image.SetSize(90, 70, TColorRes::Bits24);
    RepaintPicture(f.v);
    EXPECT_EQ(f.Pixels(), rendered) << mode.sqrtFilter << mode.invert;
  }
}
