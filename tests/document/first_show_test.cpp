#include "document/first_show.h"

#include <gtest/gtest.h>

TEST(FirstShow, RecordOfANewFractalHasTheWindowDefaults) {
  TFractalParams v;
  v.ifs0103 = true;
  v.maps = 3;
  v.abort = true;
  SetUpFirstShow(v, 400, 300);
  EXPECT_FALSE(v.ifs0103) << "a new window starts with every switch off";
  EXPECT_FALSE(v.abort);
  EXPECT_TRUE(v.randomize);
  EXPECT_TRUE(v.none);
  EXPECT_EQ(v.maps, 2);
  EXPECT_EQ(v.imageWidth, 400);
  EXPECT_EQ(v.plotHeight, 300);
  EXPECT_EQ(v.red, 0.7);
  EXPECT_EQ(v.green, 0.8);
  EXPECT_EQ(v.blue, 0.9);
  EXPECT_EQ(v.intensity, 30);
  EXPECT_EQ(v.probability, 0.1);
  EXPECT_EQ(v.randomizer, 2);
  EXPECT_EQ(v.zoom, 0.23);
  EXPECT_EQ(v.xMax, 2);
}

TEST(FirstShow, LeavesWhatItDoesNotNameToTheWindow) {
  // A window's first show runs on a record that already lives: coefficients, Latoocarfian and the
  // inversion are not first-show values.
  TFractalParams v;
  v.af[1] = 0.25;
  v.latoocarfian01 = true;
  v.invert = true;
  v.mira0113 = true;
  v.bent = true;
  ApplyFirstShowDefaults(v, 120, 90);
  EXPECT_EQ(v.af[1], 0.25);
  EXPECT_TRUE(v.latoocarfian01);
  EXPECT_TRUE(v.invert);
  EXPECT_FALSE(v.mira0113);
  EXPECT_FALSE(v.bent);
  EXPECT_EQ(v.imageWidth, 120);
  EXPECT_EQ(v.imageHeight, 90);
}
