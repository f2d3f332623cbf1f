#include "dialogs/dialog_conversions.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "document/first_show.h"

namespace {

TFractalParams FirstShowRecord() {
  TFractalParams v;
  ApplyFirstShowDefaults(v, kFirstShowWidth, kFirstShowHeight);
  return v;
}

}  // namespace

TEST(ParameterConversions, FirstShowDefaultsGiveSliders17_20_23AndComeBackAs068And092) {
  TFractalParams v = FirstShowRecord();
  const TParameterControls c = ParameterControlsFromRecord(v);
  EXPECT_EQ(c.red, 17);  // 0.7 is stored just below 0.7, so x25 is just below 17.5
  EXPECT_EQ(c.green, 20);
  EXPECT_EQ(c.blue, 23);  // 0.9 is stored just above 0.9
  EXPECT_EQ(c.intensity, 30);
  EXPECT_EQ(c.probability, 10);
  EXPECT_EQ(c.randomizer, 10);

  ApplyParameterControls(c, v);
  EXPECT_EQ(v.red, 0.68);
  EXPECT_EQ(v.green, 0.8);
  EXPECT_EQ(v.blue, 0.92);
  EXPECT_EQ(v.intensity, 30.0);
  EXPECT_EQ(v.probability, 0.1);
  EXPECT_EQ(v.randomizer, 2.0);

  const TParameterLabels labels = ParameterLabelsFromRecord(v, '.');
  EXPECT_EQ(labels.red, "0.68");
  EXPECT_EQ(labels.green, "0.80");
  EXPECT_EQ(labels.blue, "0.92");
  EXPECT_EQ(labels.intensity, "30.00");
  EXPECT_EQ(labels.probability, "0.10");
  EXPECT_EQ(labels.randomizer, "2.00");
}

TEST(ParameterConversions, ProductsAreFormedInExtendedPrecisionBeforeRounding) {
  // In doubles the products land exactly on the halves (17.5 -> 18, 6.5 -> 6); extended precision keeps
  // them just off the halves.
  EXPECT_EQ(0.7 * 25.0, 17.5);
  EXPECT_EQ(SliderPosition(0.7, kColorInverse, kColorBarMax), 17);
  EXPECT_EQ(1.3 * 5.0, 6.5);
  EXPECT_EQ(SliderPosition(1.3, kRandomizerInverse, kRandomizerMax), 7);
}

TEST(ParameterConversions, RandomizerFromFileBetweenStepsComesBackOnTheNearestStep) {
  TFractalParams v;
  v.randomizer = 1.3;
  TParameterControls c = ParameterControlsFromRecord(v);
  EXPECT_EQ(c.randomizer, 7);
  ApplyParameterControls(c, v);
  EXPECT_EQ(v.randomizer, 1.4);
  EXPECT_EQ(FormatFixed2(v.randomizer, '.'), "1.40");
  EXPECT_EQ(ParameterControlsFromRecord(v).randomizer, 7);
}

TEST(ParameterConversions, EveryPositionSurvivesTheRoundTrip) {
  for (int p = 0; p <= kColorBarMax; ++p) {
    EXPECT_EQ(SliderPosition(SliderValue(p, kColorFactor), kColorInverse, kColorBarMax), p) << p;
  }
  for (int p = 0; p <= kProbabilityMax; ++p) {
    EXPECT_EQ(SliderPosition(SliderValue(p, kProbabilityFactor), kProbabilityInverse, kProbabilityMax), p) << p;
    EXPECT_EQ(SliderPosition(SliderValue(p, kRandomizerFactor), kRandomizerInverse, kRandomizerMax), p) << p;
  }
  for (int p = 0; p <= kIntensityMax; ++p) EXPECT_EQ(SliderPosition(SliderValue(p, 1.0L), 1.0L, kIntensityMax), p);
}

TEST(ParameterConversions, ValuesOutsideTheRangeLandOnItsEnds) {
  TFractalParams v;
  v.intensity = 100;
  v.red = -0.3;
  v.probability = 1e300;
  v.randomizer = std::numeric_limits<double>::quiet_NaN();
  const TParameterControls c = ParameterControlsFromRecord(v);
  EXPECT_EQ(c.intensity, 64);
  EXPECT_EQ(c.red, 0);
  EXPECT_EQ(c.probability, kProbabilityMax);
  EXPECT_EQ(c.randomizer, 0);
  ApplyParameterControls(c, v);
  EXPECT_EQ(v.intensity, 64.0);
}

TEST(ParameterConversions, HalvesRoundToEven) {
  EXPECT_EQ(SliderPosition(2.5, 1.0L, kIntensityMax), 2);
  EXPECT_EQ(SliderPosition(3.5, 1.0L, kIntensityMax), 4);
}

TEST(ParameterConversions, EachBoxMapsToItsOwnFlagAndOtherFieldsStayAlone) {
  bool TParameterControls::*boxes[] = {
      &TParameterControls::sqrtFilter, &TParameterControls::invert,     &TParameterControls::mira01,
      &TParameterControls::latoocarfian01, &TParameterControls::latoocarfian02, &TParameterControls::ifs01,
      &TParameterControls::ifs02,      &TParameterControls::cif01,      &TParameterControls::cif02,
      &TParameterControls::none,       &TParameterControls::linear,     &TParameterControls::sinusoidal,
      &TParameterControls::spherical,  &TParameterControls::swirl,      &TParameterControls::horseshoe,
      &TParameterControls::polar,      &TParameterControls::bent};
  bool TFractalParams::*flags[] = {
      &TFractalParams::sqrtFilter, &TFractalParams::invert,     &TFractalParams::mira01,
      &TFractalParams::latoocarfian01, &TFractalParams::latoocarfian02, &TFractalParams::ifs01,
      &TFractalParams::ifs02,      &TFractalParams::cif01,      &TFractalParams::cif02,
      &TFractalParams::none,       &TFractalParams::linear,     &TFractalParams::sinusoidal,
      &TFractalParams::spherical,  &TFractalParams::swirl,      &TFractalParams::horseshoe,
      &TFractalParams::polar,      &TFractalParams::bent};
  for (std::size_t i = 0; i < std::size(boxes); ++i) {
    TParameterControls c;
    c.*boxes[i] = true;
    TFractalParams v;
    v.randomize = true;
    v.mira0101 = true;
    ApplyParameterControls(c, v);
    for (std::size_t j = 0; j < std::size(flags); ++j) EXPECT_EQ(v.*flags[j], i == j) << i << " " << j;
    EXPECT_TRUE(v.randomize);
    EXPECT_TRUE(v.mira0101);
    EXPECT_EQ(ParameterControlsFromRecord(v), c);
  }
}

TEST(NumberTexts, FixedFormsUseTheGivenSeparator) {
  EXPECT_EQ(FormatFixed2(0.7, '.'), "0.70");
  EXPECT_EQ(FormatFixed2(30, ','), "30,00");
  EXPECT_EQ(FormatFixed(0.1234567891234, kCoefficientDecimals, '.'), "0.123456789");
  EXPECT_EQ(FormatFixed(-2, kCoefficientDecimals, ','), "-2,000000000");
  EXPECT_EQ(FormatFixed(640, 0, '.'), "640");
}

TEST(NumberTexts, RealsAreReadWithTheLocaleSeparatorOnly) {
  EXPECT_EQ(ParseReal("1.5", '.'), 1.5);
  EXPECT_EQ(ParseReal(" 1,5 ", ','), 1.5);
  EXPECT_EQ(ParseReal("+2e3", '.'), 2000.0);
  EXPECT_EQ(ParseReal("-.25", '.'), -0.25);
  EXPECT_FALSE(ParseReal("1.5", ','));
  EXPECT_FALSE(ParseReal("1,5", '.'));
  EXPECT_FALSE(ParseReal("", '.'));
  EXPECT_FALSE(ParseReal("   ", '.'));
  EXPECT_FALSE(ParseReal("abc", '.'));
  EXPECT_FALSE(ParseReal("1.5x", '.'));
  EXPECT_FALSE(ParseReal("inf", '.'));
  EXPECT_FALSE(ParseReal("nan", '.'));
  EXPECT_FALSE(ParseReal("1e999", '.'));
}

TEST(NumberTexts, IntegersAre32BitDecimal) {
  EXPECT_EQ(ParseInteger("300"), 300);
  EXPECT_EQ(ParseInteger(" -1 "), -1);
  EXPECT_EQ(ParseInteger("+5"), 5);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_FALSE(ParseInteger("2147483648"));
  EXPECT_FALSE(ParseInteger("1.5"));
  EXPECT_FALSE(ParseInteger("++5"));
  EXPECT_FALSE(ParseInteger(""));
  EXPECT_FALSE(ParseInteger("12abc"));
}

TEST(NumberTexts, ConversionErrorsNameTheText) {
  EXPECT_EQ(StrToInt("42"), 42);
  try {
    StrToInt("abc");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToFloat("2,2", ','), 2.2);
  try {
    StrToFloat("1.x", '.');
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1.x' is not a valid floating point value");
  }
}
