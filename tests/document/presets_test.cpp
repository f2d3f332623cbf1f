#include "document/presets.h"

#include <gtest/gtest.h>

TEST(Presets, FamilySwitchesFollowTheVariantsAsInARenderPass) {
  TFractalParams v;
  v.mira01 = true;  // a file may say so; the variants decide
  v.ifs01 = true;
  DeriveFamilySwitches(v);
  EXPECT_FALSE(v.mira01);
  EXPECT_FALSE(v.ifs01);
  EXPECT_FALSE(SelectsAFamily(v));
  v.latoocarfian02 = true;
  EXPECT_FALSE(SelectsAFamily(v)) << "Latoocarfian 02 alone does not run the engine";
  v.mira0112 = true;
  v.ifs0108 = true;
  DeriveFamilySwitches(v);
  EXPECT_TRUE(v.mira01);
  EXPECT_TRUE(v.ifs01);
  EXPECT_TRUE(SelectsAFamily(v));
  TFractalParams l;
  l.latoocarfian01 = true;
  EXPECT_TRUE(SelectsAFamily(l));
}
