#include "engine/fractal_params.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(FractalParams, VariantHelpersReachTheNamedSwitches) {
  TFractalParams v;
  MiraVariant(v, 1) = true;
  MiraVariant(v, 13) = true;
  IfsVariant(v, 8) = true;
  EXPECT_TRUE(v.mira0101);
  EXPECT_TRUE(v.mira0113);
  EXPECT_FALSE(v.mira0112);
  EXPECT_TRUE(v.ifs0108);
  EXPECT_FALSE(v.ifs0101);
  const TFractalParams& c = v;
  EXPECT_TRUE(MiraVariant(c, 13));
  EXPECT_TRUE(IfsVariant(c, 8));
  EXPECT_FALSE(IfsVariant(c, 7));
}

TEST(FractalParams, VariantHelpersRefuseNumbersOutsideTheFamily) {
  TFractalParams v;
  EXPECT_THROW(MiraVariant(v, 0), std::out_of_range);
  EXPECT_THROW(MiraVariant(v, 14), std::out_of_range);
  EXPECT_THROW(IfsVariant(v, 9), std::out_of_range);
}

}  // namespace
