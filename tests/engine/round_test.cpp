#include "engine/round.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(Round, RoundsHalvesToEven) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(-1.5), -2);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(18.5), 18);
  EXPECT_EQ(Round(38.5), 38);
  EXPECT_EQ(Round(399.5), 400);
}

TEST(Round, RoundsToNearestOtherwise) {
  EXPECT_EQ(Round(0.49999999999999994), 0);
  EXPECT_EQ(Round(2.5000000000000004), 3);
  EXPECT_EQ(Round(-7.6), -8);
  EXPECT_EQ(Round(27.306666), 27);
}

TEST(Round, SaturatesAtTheEdgesOfTheInt32Range) {
  EXPECT_EQ(Round(2147483647.0), kMax);
  EXPECT_EQ(Round(2147483647.4), kMax);
  EXPECT_EQ(Round(2147483647.5), kMax);
  EXPECT_EQ(Round(2147483648.0), kMax);
  EXPECT_EQ(Round(-2147483648.0), kMin);
  EXPECT_EQ(Round(-2147483648.5), kMin);
  EXPECT_EQ(Round(-2147483649.0), kMin);
}

TEST(Round, SaturatesHugeAndInfiniteValuesAndMapsNaNToZero) {
  EXPECT_EQ(Round(1e300), kMax);
  EXPECT_EQ(Round(-1e300), kMin);
  EXPECT_EQ(Round(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(Round(-std::numeric_limits<double>::infinity()), kMin);
  EXPECT_EQ(Round(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(Round(-std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(Round, RaisesNoFaultFlagForAnyInput) {
  std::feclearexcept(FE_ALL_EXCEPT);
  volatile double inputs[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                              -1e300, 3e9, 1.5};
  for (double t : inputs) (void)Round(t);
  EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_OVERFLOW | FE_DIVBYZERO), 0);
}

}  // namespace
