// One formula step at a time, checked against values worked out by hand from the formula tables.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_fixture.h"

namespace {

constexpr double kTol = 1e-14;

class FormulaStepTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    f.v.ifs01 = f.v.ifs0101 = false;
    s.v = &f.v;
  }
  void Step(double fx, double fy, int j = 0) {
    s.fx = fx;
    s.fy = fy;
    s.j = j;
    RunFormulaStep();
  }
  // a_k = 0.1 k at map offset j.
  void SetLadder(int j, int count = 18) {
    for (int k = 1; k <= count; ++k) f.v.af[j + k] = 0.1 * k;
  }

  TTestFractal f{400, 300};
  TEngineState& s = EngineState();
};

// ---- IFS-01 ---------------------------------------------------------------------------------------------------

TEST_F(FormulaStepTest, Ifs0101WithTheHalvingMapHalvesThePoint) {
  f.v.ifs01 = f.v.ifs0101 = true;
  f.SetConstantMap(0, 0);
  f.v.af[1] = 0.5;
  f.v.af[4] = 0.5;
  Step(0.8, -0.4);
  EXPECT_DOUBLE_EQ(s.x, 0.4);
  EXPECT_DOUBLE_EQ(s.y, -0.2);
}

TEST_F(FormulaStepTest, Ifs01VariantsPairCoefficientsAsTabled) {
  const double fx = 0.3, fy = -0.7;
  const double sx = std::sin(fx), sy = std::sin(fy);
  auto a = [](int k) { return 0.1 * k; };
  struct Case {
    int variant;
    double x, y;
  };
  const Case cases[] = {
      {1, a(1) * fx + a(2) * fy + a(5), a(3) * fx + a(4) * fy + a(6)},
      {2, sx + (a(1) * fx + a(1) * fy + a(5)) - sy, sx + (a(2) * fx + a(2) * fy + a(6)) - sy},
      {3, sx * sy + (a(1) * fx + a(1) * fy + a(5)), sx * sy + (a(2) * fx + a(2) * fy + a(6))},
      {4, std::sin(a(7) * fx) + (a(1) * fx + a(2) * fy + a(5)), std::sin(a(7) * fy) + (a(3) * fy + a(4) * fx + a(6))},
      {5, sx + (a(1) * fx + a(3) * fy + a(5)) + sy, sx + (a(2) * fx + a(4) * fy + a(6)) - sy},
      {6, std::sin(a(7) * fx) + (a(3) * fy + a(1) + a(5) * fx) + std::sin(a(9) * fy),
       std::sin(a(8) * fy) + (a(4) * fy + a(2) + a(6) * fx) + std::sin(a(10) * fx)},
      {7, std::sin(HALFPI * a(9) * fx) + ((fy + fx) * a(3) + a(1) + a(5) * fy + a(7) * fx),
       std::sin(HALFPI * a(10) * fy) + ((fy + fx) * a(4) + a(2) + a(6) * fy + a(8) * fx)},
      {8, (sx - sy) * a(7) + (a(1) * fx + a(3) * fy + a(5)), (sx - sy) * a(7) + (a(2) * fx + a(4) * fy + a(6))},
  };
  f.v.ifs01 = true;
  SetLadder(19);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    for (int k = 1; k <= kIfsVariantCount; ++k) IfsVariant(f.v, k) = k == c.variant;
    Step(fx, fy, 19);
    EXPECT_NEAR(s.x, c.x, kTol);
    EXPECT_NEAR(s.y, c.y, kTol);
  }
}

TEST_F(FormulaStepTest, Ifs01WithSeveralVariantsKeepsTheLastResult) {
  f.v.ifs01 = f.v.ifs0101 = f.v.ifs0108 = true;
  SetLadder(0);
  Step(0.3, -0.7);
  const double x = s.x, y = s.y;
  f.v.ifs0101 = false;
  Step(0.3, -0.7);
  EXPECT_EQ(s.x, x);
  EXPECT_EQ(s.y, y);
}

// ---- IFS-02, CIF 01, CIF 02 -------------------------------------------------------------------------------------

TEST_F(FormulaStepTest, Ifs02TakesZFromThePointBeforeTheStepAndCif02FromTheOneAfter) {
  for (int k = 1; k <= 8; ++k) f.v.af2[k] = 0.05 * k;
  auto b = [](int k) { return 0.05 * k; };
  const double x = 0.5, y = 0.2, z = 0.3;
  const double xnew = b(1) * x + b(2) * y + b(5) + b(7) * z;
  const double ynew = b(3) * x + b(4) * y + b(6) + b(8) * z;

  f.v.ifs02 = true;
  s.x = x, s.y = y, s.z = z;
  Step(0, 0);
  EXPECT_NEAR(s.x, xnew, kTol);
  EXPECT_NEAR(s.y, ynew, kTol);
  EXPECT_NEAR(s.z, x - y, kTol);

  f.v.ifs02 = false;
  f.v.cif02 = true;
  s.x = x, s.y = y, s.z = z;
  Step(0, 0);
  EXPECT_NEAR(s.x, xnew, kTol);
  EXPECT_NEAR(s.z, xnew - ynew, kTol);
}

TEST_F(FormulaStepTest, Cif01MultipliesByFixedEntriesThatDoNotMoveWithTheOffset) {
  SetLadder(19);
  f.v.af[3] = 2, f.v.af[5] = 3, f.v.af[9] = 5, f.v.af[11] = 7, f.v.af[15] = 11, f.v.af[17] = 13;
  auto a = [](int k) { return 0.1 * k; };
  const double x = 0.5, y = 0.2, z = 0.3;
  f.v.cif01 = true;
  s.x = x, s.y = y, s.z = z;
  Step(0, 0, 19);
  EXPECT_NEAR(s.x, a(2) * x + a(1) + a(4) * y * 2 + a(6) * z * 3, kTol);
  EXPECT_NEAR(s.y, a(8) * x + a(7) + a(10) * y * 5 + a(12) * z * 7, kTol);
  EXPECT_NEAR(s.z, a(14) * x + a(13) + a(16) * y * 11 + a(18) * z * 13, kTol);
}

// ---- Latoocarfian -----------------------------------------------------------------------------------------------

TEST_F(FormulaStepTest, Latoocarfian01WithZeroCoefficientsSendsEveryPointToTheOrigin) {
  f.v.latoocarfian01 = true;
  s.z = 5;
  Step(0.3, 0.7);
  EXPECT_EQ(s.x, 0.0);
  EXPECT_EQ(s.y, 0.0);
  EXPECT_EQ(s.z, 0.0);
}

TEST_F(FormulaStepTest, Latoocarfian01UsesA3AndA4AsFrequencyAndAmplitude) {
  f.v.latoocarfian01 = true;
  SetLadder(0, 4);
  const double fx = 0.3, fy = 0.7;
  Step(fx, fy);
  EXPECT_NEAR(s.x, std::sin(fy * 0.1 * TWOPI) + std::sin(fx * 0.3 * TWOPI) * 0.3, kTol);
  EXPECT_NEAR(s.y, std::sin(fx * 0.2 * TWOPI) + std::sin(fy * 0.4 * TWOPI) * 0.4, kTol);
}

TEST_F(FormulaStepTest, Latoocarfian02TakesFrequenciesFromAf2AndReadsThePointNotFx) {
  f.v.latoocarfian02 = true;
  f.v.af[3] = 0.3, f.v.af[4] = 0.4;
  f.v.af2[1] = 1.1, f.v.af2[2] = 1.2;
  const double x = 0.25, y = -0.6;
  s.x = x, s.y = y;
  Step(9, 9);
  EXPECT_NEAR(s.x, std::sin(TWOPI * y * 1.1) + std::sin(TWOPI * x * 1.1) * 0.3, kTol);
  EXPECT_NEAR(s.y, std::sin(TWOPI * x * 1.2) + std::sin(TWOPI * y * 1.2) * 0.4, kTol);
}

TEST_F(FormulaStepTest, SineAndCosineOfArgumentsFrom2To63OnAreZero) {
  f.v.latoocarfian01 = true;
  f.v.af[1] = 1e30;  // fy * a1 * TWOPI is about 3e30
  Step(0.3, 0.5);
  ASSERT_NE(std::sin(0.5 * 1e30 * TWOPI), 0.0);
  EXPECT_EQ(s.x, 0.0);
  f.v.af[1] = 1e308;  // the argument exceeds the double range: still 0, not an overflow
  EXPECT_NO_THROW(Step(0.3, 0.5));
  EXPECT_EQ(s.x, 0.0);

  f.v.latoocarfian01 = false;
  f.v.mira01 = f.v.mira0104 = true;
  f.v.af[1] = 0.5, f.v.af[2] = 1e30, f.v.af[3] = 0.25;
  const double fx = 0.3, fy = 0.2;
  Step(fx, fy);
  EXPECT_NEAR(s.x, (fx + fy) - std::sqrt(std::fabs(fx * (0 * fx + std::fabs(PI_ * 0.5)))), kTol);
}

// ---- G-Mira / Martin --------------------------------------------------------------------------------------------

TEST_F(FormulaStepTest, Mira0101AtTheOriginGivesZeroAndOne) {
  f.v.mira01 = f.v.mira0101 = true;
  f.v.af[2] = 0.7, f.v.af[4] = -1.3;
  Step(0, 0);
  EXPECT_EQ(s.x, 0.0);
  EXPECT_EQ(s.y, 1.0);
}

TEST_F(FormulaStepTest, MartinVariantsFollowTheirTable) {
  const double a1 = 0.4, a2 = 0.7, a3 = 0.25, a4 = -1.3;
  f.v.af[1] = a1, f.v.af[2] = a2, f.v.af[3] = a3, f.v.af[4] = a4;
  f.v.mira01 = true;
  const double fx = -0.6, fy = 0.9, sign = -1;
  struct Case {
    int variant;
    double x, y;
  };
  const double root = std::sqrt(std::fabs(fx * (PI_ * fx * a2 + a4)));
  const Case cases[] = {
      {1, fy - sign * root, 1 - fx},
      {2, (std::sqrt(std::fabs(fx)) * sign + fy) - sign * root, 1 - fx},
      {3, sign * std::sqrt(std::sqrt(std::fabs(PI_ * a1 * fx))) + (a2 * fx + fy), a3 - fx},
      {4, (fx + fy) - sign * std::sqrt(std::fabs(fx * (std::cos(PI_ * a2) * fx + std::fabs(PI_ * a1)))), a3 - fx},
      {5, (std::sqrt(std::fabs(TWOPI * fx)) + fy) + sign * std::sqrt(std::fabs(TWOPI * fx * a3)), a1 - fx},
      {6, (std::sqrt(std::fabs(PI_ * fx * a2)) + sign * std::sqrt(std::fabs(PI_ * fx * a1))) + fy, a3 - fx},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    for (int k = 1; k <= kMiraVariantCount; ++k) MiraVariant(f.v, k) = k == c.variant;
    Step(fx, fy);
    EXPECT_EQ(s.miraSign, -1.0);
    EXPECT_NEAR(s.x, c.x, kTol);
    EXPECT_NEAR(s.y, c.y, kTol);
  }
}

TEST_F(FormulaStepTest, Mira0107OnTheFirstStepStartsFromOne) {
  f.v.mira01 = f.v.mira0107 = true;
  const double a1 = 0.3, a2 = 0.8;
  f.v.af[1] = a1, f.v.af[2] = a2;
  f.v.iterations = 0;
  Step(5, 5);
  EXPECT_EQ(s.x, 2.0);
  EXPECT_EQ(s.z, 1.0);
  const double F = -0.05 * a1 * 2 + (PI_ - 2) * (a2 * 2 * 2) / (2 * 2 + 1);
  EXPECT_NEAR(s.miraF, F, kTol);
  EXPECT_NEAR(s.y, F - 1, kTol);
}

TEST_F(FormulaStepTest, GumowskiMiraVariantsContinueFromTheirStateAfterTheFirstSteps) {
  f.v.mira01 = f.v.mira0108 = true;
  const double a1 = 0.3, a2 = 0.8;
  f.v.af[1] = a1, f.v.af[2] = a2;
  f.v.iterations = 2;
  s.miraB = 1.5, s.miraF = 0.25;
  const double fx = 0.4, fy = -0.2;
  Step(fx, fy);
  const double x = 1.5 * fy + 0.25;
  const double F = (PI_ - std::sin(x)) * (a2 * x * x) / (x * x + 1) + (-0.05) * a1 * x;
  EXPECT_NEAR(s.x, x, kTol);
  EXPECT_NEAR(s.z, fx, kTol);
  EXPECT_NEAR(s.y, F - fx, kTol);
}

TEST_F(FormulaStepTest, Mira0109OnTheFirstStepStartsFromItsOwnValues) {
  f.v.mira01 = f.v.mira0109 = true;
  const double a1 = 0.3, a2 = 0.8, a4 = 0.6, a7 = 0.2;
  f.v.af[1] = a1, f.v.af[2] = a2, f.v.af[4] = a4, f.v.af[7] = a7;
  f.v.iterations = 1;
  Step(5, 5);
  const double x = 1.00001 * 0.1 + 0.1;
  EXPECT_DOUBLE_EQ(s.x, x);
  EXPECT_EQ(s.miraB, 1.00001);
  const double F = (1 - a4 * std::sin(a7 + x)) * (a2 * x * x) / (x * x + 1) + (-1) * a1 * x;
  EXPECT_NEAR(s.y, F - 0.1, kTol);
}

TEST_F(FormulaStepTest, Mira0110LeavesXAndNegativeFxFlipsTheWholeFunctionValue) {
  f.v.mira01 = f.v.mira0110 = true;
  const double a1 = 0.3, a2 = 0.8, a7 = 0.2;
  f.v.af[1] = a1, f.v.af[2] = a2, f.v.af[7] = a7;
  f.v.iterations = 5;
  for (double fx : {0.3, -0.3}) {
    SCOPED_TRACE(fx);
    const double sign = fx < 0 ? -1 : 1;
    s.x = 7;
    s.miraB = 1, s.miraF = 0.5;
    Step(fx, 0.2);
    const double newFx = 1 * 0.2 + 0.5;
    const double q = std::sin(a1 + newFx) * (a2 * newFx);
    const double miraF = ((q + a7) + q + q) * sign;
    EXPECT_EQ(s.x, 7.0);
    EXPECT_NEAR(s.miraF, miraF, kTol);
    EXPECT_NEAR(s.y, miraF - fx, kTol);
  }
}

TEST_F(FormulaStepTest, Mira0112AloneOnlyAppliesTheVariations) {
  f.v.mira01 = f.v.mira0112 = true;
  s.x = 0.25, s.y = 0.5;
  Step(-3, 4);
  EXPECT_EQ(s.x, 0.25);
  EXPECT_EQ(s.y, 0.5);
  EXPECT_EQ(s.miraSign, -1.0);
}

// ---- Variations -------------------------------------------------------------------------------------------------

class VariationTest : public FormulaStepTest {
 protected:
  // No formula family: the variations see the point (x, y) as it stands.
  void Vary(double x, double y, int j = 0) {
    f.v.none = false;
    s.x = x, s.y = y;
    Step(0, 0, j);
  }
};

TEST_F(VariationTest, NoVariationSendsThePointToTheOrigin) {
  Vary(0.3, 0.4);
  EXPECT_EQ(s.x, 0.0);
  EXPECT_EQ(s.y, 0.0);
}

TEST_F(VariationTest, LinearAloneIncludesTheIdentityOnce) {
  f.v.linear = true;
  f.v.probability = 0;
  Vary(0.3, -0.4);
  EXPECT_EQ(s.x, 0.3);
  EXPECT_EQ(s.y, -0.4);
  f.v.probability = 0.5;
  Vary(0.3, -0.4);
  EXPECT_DOUBLE_EQ(s.x, 0.45);
}

TEST_F(VariationTest, LinearWithNoneAtHalfWeightGivesOneAndAHalfTimesThePoint) {
  f.v.linear = true;
  f.v.probability = 0.5;
  f.v.none = true;
  s.x = 0.3, s.y = -0.4;
  Step(0, 0);
  EXPECT_DOUBLE_EQ(s.x, 0.45);
  EXPECT_DOUBLE_EQ(s.y, -0.6);
}

TEST_F(VariationTest, BentDoublesNegativeXAndHalvesNegativeY) {
  f.v.bent = true;
  f.v.probability = 1;
  Vary(-1, -1);
  EXPECT_EQ(s.x, -2.0);
  EXPECT_EQ(s.y, -0.5);
  Vary(1, 1);
  EXPECT_EQ(s.x, 1.0);
  EXPECT_EQ(s.y, 1.0);
}

TEST_F(VariationTest, SinusoidalUsesSineAtOffsetZeroAndCosineFromOffset19) {
  f.v.sinusoidal = true;
  f.v.probability = 0.5;
  const double x = 0.3, y = -0.4, r2 = x * x + y * y;
  Vary(x, y, 0);
  EXPECT_NEAR(s.x, 0.5 * (std::sin(HALFPI * x) + std::sin(r2)), kTol);
  EXPECT_NEAR(s.y, 0.5 * (std::sin(HALFPI * y) + std::sin(r2)), kTol);
  for (int j : {19, 39}) {
    Vary(x, y, j);
    EXPECT_NEAR(s.x, 0.5 * (std::cos(HALFPI * x) + std::cos(r2)), kTol);
    EXPECT_NEAR(s.y, 0.5 * (std::cos(HALFPI * y) + std::cos(r2)), kTol);
  }
}

TEST_F(VariationTest, SphericalSwirlHorseshoeAndPolarFollowTheirFormulas) {
  const double x = 0.3, y = -0.4, r2 = x * x + y * y, p = 0.5;
  f.v.probability = p;
  f.v.spherical = true;
  Vary(x, y);
  EXPECT_NEAR(s.x, p * x / r2, kTol);
  EXPECT_NEAR(s.y, p * y / r2, kTol);

  f.v.spherical = false;
  f.v.swirl = true;
  Vary(x, y);
  double sn = std::sin(TWOPI * r2), cs = std::cos(TWOPI * r2);
  EXPECT_NEAR(s.x, p * (sn * x - cs * y), kTol);
  EXPECT_NEAR(s.y, p * (cs * x + sn * y), kTol);

  f.v.swirl = false;
  f.v.horseshoe = true;
  Vary(x, y);
  const double theta = std::atan(x / y);
  sn = std::sin(TWOPI * theta), cs = std::cos(TWOPI * theta);
  EXPECT_NEAR(s.x, p * (sn * x - cs * y), kTol);
  EXPECT_NEAR(s.y, p * (cs * x + sn * y), kTol);

  f.v.horseshoe = false;
  f.v.polar = true;
  Vary(x, y);
  EXPECT_NEAR(s.x, p * std::atan(x / y) / PI_, kTol);
  EXPECT_NEAR(s.y, p * (std::sqrt(r2) - 1), kTol);
}

}  // namespace
