#include "engine/colouring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TFractalParams RedOnly(double intensity) {
  TFractalParams v;
  v.red = 1;
  v.green = 0;
  v.blue = 0;
  v.intensity = intensity;
  return v;
}

TEST(HitColor, LeadingRedBlendsHalfIntoTheOthersAndAppliesTheGain) {
  // rS = 64, rA = 64, gA = bA = 32; after the gain rA = 64 / 150 * 64 = 27.3066...
  EXPECT_EQ(HitColor(RedOnly(64), 64, 0, 0, THitChannel::Red), 27u);
}

TEST(HitColor, WhiteInvertsEveryOutputByte) {
  TFractalParams v = RedOnly(64);
  v.invert = true;
  EXPECT_EQ(HitColor(v, 64, 0, 0, THitChannel::Red), RGBColor(228, 255, 255));
}

TEST(HitColor, ZeroIntensityPaintsBlackOrWhite) {
  TFractalParams v;
  v.red = v.green = v.blue = 1;
  v.intensity = 0;
  EXPECT_EQ(HitColor(v, 500, 300, 100, THitChannel::Green), 0u);
  v.invert = true;
  EXPECT_EQ(HitColor(v, 500, 300, 100, THitChannel::Green), RGBColor(255, 255, 255));
}

TEST(HitColor, ZeroFactorSilencesItsChannel) {
  TFractalParams v;
  v.red = 1;
  v.green = 0;
  v.blue = 1;
  v.intensity = 64;
  const TColor c = HitColor(v, 1000, 1000, 1000, THitChannel::Green);
  EXPECT_EQ(GreenOf(c), 0);
  EXPECT_GT(RedOf(c), 0);
  EXPECT_GT(BlueOf(c), 0);
}

TEST(HitColor, NonLeadingChannelIsMeanOfItsLevelAndTheLeadingValue) {
  TFractalParams v;
  v.red = v.green = v.blue = 0.5;
  v.intensity = 150;
  // rS = 50, gS = 20, bS = 15; leading blue: bA = 0.5 * 15 = 7.5, rA = (50 + 7.5) / 2, gA = (20 + 7.5) / 2.
  // Gain 150 / 150 = 1, output factor 0.5: r = Round(14.375), g = Round(6.875), b = Round(3.75).
  EXPECT_EQ(HitColor(v, 100, 40, 30, THitChannel::Blue), RGBColor(14, 7, 4));
}

TEST(HitColor, SqrtFilterCompressesTheCounts) {
  TFractalParams v = RedOnly(150);
  v.sqrtFilter = true;
  // A count of 1 gives the level sqrt(3) * 6 = 10.39, scaled 10; gain 1: r = 10.
  EXPECT_EQ(HitColor(v, 1, 0, 0, THitChannel::Red), 10u);
  // 3 * count is taken in 64 bits: near the top of the range it must not wrap to a negative root.
  const TColor top = HitColor(v, std::numeric_limits<std::int32_t>::max(), 0, 0, THitChannel::Red);
  EXPECT_EQ(top, 255u);
}

TEST(HitColor, LargeCountsSaturateAt255) {
  TFractalParams v;
  v.red = v.green = v.blue = 1;
  v.intensity = 64;
  EXPECT_EQ(HitColor(v, 100000, 100000, 100000, THitChannel::Red), RGBColor(255, 255, 255));
}

TEST(HitColor, AbsurdIntensityStillGivesAColour) {
  const TColor c = HitColor(RedOnly(1e300), std::numeric_limits<std::int32_t>::max(), 0, 0, THitChannel::Red);
  EXPECT_EQ(c, 255u);
}

}  // namespace
