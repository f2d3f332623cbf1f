// Golden renders: seeded renders of every formula family and variant, every variation and the colour modes, each
// pinned by a hash of its picture and a hash of its three hit-count lists; and one formula step whose exact result
// exists only in extended precision.
//
// The hand-worked tests check formulas to a tolerance; these check the numbers themselves. Chaotic orbits magnify a
// difference in the last bit of one step into a different picture within a few dozen steps, so a change of working
// precision (Ext), of the order in which an expression is evaluated, or a compiler licence such as -ffast-math fails
// here even where every other test still passes. FMA contraction cannot reach formulas evaluated in the x87 unit;
// the extended-precision step below also checks that this build contracts nothing in double arithmetic. Pictures
// are part of the program's contract: a failure here means pictures changed.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "engine_fixture.h"
#include "golden_hash.h"

namespace {

TEST(GoldenHash, IsTheStandardFnv1a64) {
  TFnv1a64 empty;
  EXPECT_EQ(empty.Value(), 0xcbf29ce484222325ull);
  TFnv1a64 a;
  a.Byte('a');
  EXPECT_EQ(a.Value(), 0xaf63dc4c8601ec8cull);
  TFnv1a64 word;
  word.LittleEndian(0x00626f66, 3);  // "fob" byte by byte, low byte first
  TFnv1a64 bytes;
  for (char c : std::string("fob")) bytes.Byte(static_cast<std::uint8_t>(c));
  EXPECT_EQ(word.Value(), bytes.Value());
}

// ---- Renders ----------------------------------------------------------------------------------------------------

constexpr int kWidth = 128, kHeight = 96;
constexpr std::int64_t kSteps = 50000;
// Fewer lit cells than this and a render pins too little of the picture to be worth its hash.
constexpr std::int64_t kMinimumLitCells = 300;

struct TGoldenCase {
  const char* name;
  void (*setup)(TFractalParams&);  // families, variations and colour modes over the common record below
  std::uint64_t seed;
  double scale;  // the view: x in (-scale, scale), y in (-0.75 scale, 0.75 scale)
  std::uint64_t pictureHash;
  std::uint64_t countsHash;
};

void PrintTo(const TGoldenCase& c, std::ostream* out) { *out << c.name; }

// Coefficients are the seed's random ones, as the Rand command makes them; a seed was chosen per case for a picture
// with something in it. Orbits of contracting maps (Ifs0101None, say) forget a last-bit difference instead of
// magnifying it: those renders pin map selection, plotting and colours rather than the working precision.
// clang-format off
const TGoldenCase kGoldenCases[] = {
    {"Ifs0101None", [](TFractalParams& v) { v.ifs01 = v.ifs0101 = true; v.none = true; v.maps = 3; },
     1, 2, 0xf1ac5b3ea590e9dcull, 0x7420fc1c739ca7c8ull},
    {"Ifs0102Linear", [](TFractalParams& v) { v.ifs01 = v.ifs0102 = true; v.linear = true; },
     1, 2, 0xf708af1d3f97c880ull, 0x7e18913853c1aac4ull},
    {"Ifs0103Sinusoidal", [](TFractalParams& v) { v.ifs01 = v.ifs0103 = true; v.none = v.sinusoidal = true; },
     1, 2, 0x1dc022fe418371cdull, 0xd0051f38b6ece227ull},
    {"Ifs0104Swirl", [](TFractalParams& v) { v.ifs01 = v.ifs0104 = true; v.none = v.swirl = true; v.maps = 1; },
     1, 2, 0x9129bf4583246c1dull, 0x4ec1535a16c78381ull},
    {"Ifs0105BentSqrt", [](TFractalParams& v) {
       v.ifs01 = v.ifs0105 = true; v.none = v.bent = true; v.sqrtFilter = true; v.probability = 0.5; },
     1, 2, 0xea499b903307af3cull, 0xec2a210e578470edull},
    {"Ifs0106Spherical", [](TFractalParams& v) { v.ifs01 = v.ifs0106 = true; v.none = v.spherical = true; },
     1, 2, 0x9d89b53600f1672bull, 0xf87e86ec82fbe888ull},
    {"Ifs0107HorseshoeWhite", [](TFractalParams& v) {
       v.ifs01 = v.ifs0107 = true; v.none = v.horseshoe = true; v.invert = true; },
     1, 2, 0xdaf0946de889e39eull, 0xe3aa35e595fcc288ull},
    {"Ifs0108PolarSqrtWhite", [](TFractalParams& v) {
       v.ifs01 = v.ifs0108 = true; v.none = v.polar = true; v.sqrtFilter = v.invert = true; },
     1, 2, 0xf98a86dec4f26c70ull, 0x291d9ddad170a817ull},
    {"Ifs02Sinusoidal", [](TFractalParams& v) { v.ifs02 = true; v.none = v.sinusoidal = true; },
     1, 2, 0xbf3e45b8efcc7f18ull, 0x42ad8f1dd2da108aull},
    {"Cif01LinearHorseshoe", [](TFractalParams& v) {
       v.cif01 = true; v.none = v.linear = v.horseshoe = true; v.probability = 0.5; v.maps = 3; },
     2, 2, 0x44ed04ab4a00b8bcull, 0x8b5a6c0c9385cd2eull},
    {"Cif02SinusoidalWhite", [](TFractalParams& v) {
       v.cif02 = true; v.none = v.sinusoidal = true; v.probability = 0.5; v.invert = true; },
     2, 2, 0x60452efdad6bf902ull, 0x6dd2194bd579bcc3ull},
    {"Latoocarfian01OneGroup", [](TFractalParams& v) { v.latoocarfian01 = true; v.none = true; v.maps = 0; },
     1, 2, 0xaaeb93a6c8393b9cull, 0x1a37bb4d34e1d7e7ull},
    {"Latoocarfian01And02", [](TFractalParams& v) {
       v.latoocarfian01 = v.latoocarfian02 = true; v.none = true; v.intensity = 64; },
     1, 2, 0x58c19f064403300full, 0xac545a1c0846f441ull},
    {"Mira0101", [](TFractalParams& v) { v.mira01 = v.mira0101 = true; v.none = true; },
     1, 5, 0x7f2bf56d72f03bafull, 0xc4612392dd79354bull},
    {"Mira0102", [](TFractalParams& v) { v.mira01 = v.mira0102 = true; v.none = true; },
     7, 5, 0x9de8a1f672ce9bbeull, 0x2f0437e277895ee5ull},
    {"Mira0103", [](TFractalParams& v) { v.mira01 = v.mira0103 = true; v.none = true; },
     1, 5, 0xed99b81059bf3c4dull, 0x8e4419ad4941c25cull},
    {"Mira0104", [](TFractalParams& v) { v.mira01 = v.mira0104 = true; v.none = true; },
     4, 5, 0xe076a29a3e39ad1dull, 0xb27981afe1945dadull},
    {"Mira0105", [](TFractalParams& v) { v.mira01 = v.mira0105 = true; v.none = true; },
     1, 5, 0x522d8018b5aec2d3ull, 0xad240e2de646f27dull},
    {"Mira0106", [](TFractalParams& v) { v.mira01 = v.mira0106 = true; v.none = true; },
     6, 5, 0xaed87c238257c3e9ull, 0xc636cbea5db99328ull},
    {"Mira0107And0110", [](TFractalParams& v) { v.mira01 = v.mira0107 = v.mira0110 = true; v.none = true; },
     1, 5, 0x83f41e6250d1a415ull, 0xf0a0baabf63cafadull},
    {"Mira0108And0111Sqrt", [](TFractalParams& v) {
       v.mira01 = v.mira0108 = v.mira0111 = true; v.none = true; v.sqrtFilter = true; },
     1, 5, 0xc47a8fa1d5362769ull, 0xc5558de63130fb9bull},
    {"Mira0109White", [](TFractalParams& v) { v.mira01 = v.mira0109 = true; v.none = true; v.invert = true; },
     1, 5, 0x44caa9d7c3cccd02ull, 0xeef72ff29390e806ull},
    // Each family reads what the one before it wrote.
    {"FamiliesInTheirOrder", [](TFractalParams& v) {
       v.latoocarfian01 = v.mira01 = v.mira0103 = v.ifs01 = v.ifs0105 = v.ifs02 = true; v.none = true; },
     1, 2, 0xf5e9ae8c573506fdull, 0x05c16b4a9f28a0a1ull},
};
// clang-format on

class GoldenRender : public EngineTest, public ::testing::WithParamInterface<TGoldenCase> {};

TEST_P(GoldenRender, MatchesItsPinnedPictureAndCounts) {
  const TGoldenCase& c = GetParam();
  SeedEngineRandom(c.seed);
  TTestFractal f(kWidth, kHeight);
  f.v.plotXMin = -c.scale;
  f.v.plotXMax = c.scale;
  f.v.plotYMin = -0.75 * c.scale;
  f.v.plotYMax = 0.75 * c.scale;
  f.v.ifs01 = f.v.ifs0101 = f.v.none = false;
  f.v.red = 0.7, f.v.green = 0.8, f.v.blue = 0.9;
  f.v.intensity = 20;
  f.v.probability = 0.1;
  f.v.maps = 2;
  f.v.randomize = true;
  f.v.randomizer = 2;
  c.setup(f.v);
  RunSteps(f, kSteps);

  const std::string state = testing::PrintToString(f.NonZeroCells()) + " lit cells, " +
                            testing::PrintToString(GetEngineCounters().restarts) + " restarts";
  EXPECT_GE(f.NonZeroCells(), kMinimumLitCells) << state;
  EXPECT_EQ(Hex(PictureHash(f.image)), Hex(c.pictureHash)) << state;
  EXPECT_EQ(Hex(CountsHash(f)), Hex(c.countsHash)) << state;
}

INSTANTIATE_TEST_SUITE_P(Engine, GoldenRender, ::testing::ValuesIn(kGoldenCases),
                         [](const ::testing::TestParamInfo<TGoldenCase>& info) { return info.param.name; });

// ---- One step in extended precision -----------------------------------------------------------------------------

// IFS0101's x = a1 fx + a2 fy + a5 with inputs whose products need 61 and 63 bits. In 80-bit arithmetic both
// products and their sum are exact: x = 3 * 2^-62. Rounded to double at every operation the products lose their
// low bits and x = 0; with a fused multiply-add one product stays exact and x = 2^-60 or -2^-62.
using ExtendedPrecisionStep = EngineTest;

TEST_F(ExtendedPrecisionStep, Ifs0101KeepsTheBitsOnlyExtendedPrecisionHolds) {
  const double e30 = std::ldexp(1.0, -30), e31 = std::ldexp(1.0, -31);
  TTestFractal f(kWidth, kHeight);
  f.v.af[1] = 1 + e30;
  f.v.af[2] = -(1 + e31);
  f.v.af[5] = -e30;
  f.v.af[3] = f.v.af[4] = f.v.af[6] = 0;
  TEngineState& s = EngineState();
  s.v = &f.v;
  s.j = 0;
  s.fx = 1 + e30;
  s.fy = 1 + e31;
  RunFormulaStep();
  EXPECT_EQ(s.x, 0x1.8p-61);

  // The same expression in this file's double arithmetic: the case tells the two precisions apart, and nothing
  // fuses the multiply-adds of this build.
  const double a1 = f.v.af[1], a2 = f.v.af[2], a5 = f.v.af[5], fx = 1 + e30, fy = 1 + e31;
  EXPECT_EQ(a1 * fx + a2 * fy + a5, 0.0);
}

}  // namespace
