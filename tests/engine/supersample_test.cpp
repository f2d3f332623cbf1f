// The supersampling filter: a box at radius 0 sums a pixel's own cells, a Gaussian spreads an edge into
// intermediate values, and neither loses hits, at the picture's edges included.
#include "engine/supersample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace {

// A W x H picture filtered from a grid S times finer; cells ix * rows + iy on both sides.
struct TFilterCase {
  int width, height, supersample;
  std::vector<std::int32_t> grid[3];
  std::vector<std::uint8_t> lead;
  std::vector<std::int32_t> out[3];
  std::vector<std::uint8_t> outLead;

  TFilterCase(int w, int h, int s) : width(w), height(h), supersample(s) {
    const std::size_t cells = static_cast<std::size_t>(w * s) * (h * s);
    for (auto& g : grid) g.assign(cells, 0);
    lead.assign(cells, 0);
  }
  std::int64_t Rows() const { return std::int64_t{height} * supersample; }
  void Hit(int ix, int iy, std::int32_t red, std::uint8_t channel = 1) {
    grid[0][static_cast<std::size_t>(ix * Rows() + iy)] += red;
    lead[static_cast<std::size_t>(ix * Rows() + iy)] = channel;
  }
  void Filter(double radius) {
    TSupersampledGridCells cells;
    for (int c = 0; c < 3; ++c) cells.counts[c] = grid[c].data();
    cells.lead = lead.data();
    cells.columns = std::int64_t{width} * supersample;
    cells.rows = Rows();
    for (auto& o : out) o.assign(static_cast<std::size_t>(width) * height, -1);
    outLead.assign(static_cast<std::size_t>(width) * height, 9);
    std::int32_t* const counts[3] = {out[0].data(), out[1].data(), out[2].data()};
    FilterSupersampled(cells, supersample, radius, width, height, height, counts, outLead.data());
  }
  std::int32_t Out(int ox, int oy) const { return out[0][static_cast<std::size_t>(ox * height + oy)]; }
  static std::int64_t Total(const std::vector<std::int32_t>& v) { return std::accumulate(v.begin(), v.end(), 0LL); }
};

TEST(Supersample, RadiusZeroIsABoxOfThePixelsOwnCellsWithTheLeadOfItsMostHitCell) {
  TFilterCase f(3, 2, 2);
  f.Hit(0, 0, 10, 1);
  f.Hit(1, 1, 30, 3);  // same pixel (0, 0): the most hit, its lead wins
  f.Hit(5, 3, 7, 2);   // pixel (2, 1)
  f.Filter(0);
  EXPECT_EQ(f.Out(0, 0), 40);
  EXPECT_EQ(f.outLead[0], 3);
  EXPECT_EQ(f.Out(2, 1), 7);
  EXPECT_EQ(f.outLead[2 * 2 + 1], 2);
  EXPECT_EQ(f.Out(1, 0), 0);
  EXPECT_EQ(f.outLead[1 * 2 + 0], 0) << "a pixel never hit has no lead channel";
  EXPECT_EQ(f.out[1][0], 0) << "every channel is written";
}

TEST(Supersample, AGaussianGivesAnEdgeIntermediateValuesAndKeepsEveryTotal) {
  // A lit block whose right edge cuts pixel 7 after one of its three grid columns, far enough from the picture's
  // edges that no filter here spreads it off the picture.
  constexpr int kW = 14, kH = 10, kS = 3;
  for (const double radius : {0.0, 0.5, 1.0, 2.5}) {
    TFilterCase f(kW, kH, kS);
    for (int ix = 12; ix < 22; ++ix)
      for (int iy = 9; iy < 21; ++iy) f.Hit(ix, iy, 100);
    f.Filter(radius);
    // Within rounding: each picture cell rounds once.
    EXPECT_NEAR(TFilterCase::Total(f.out[0]), TFilterCase::Total(f.grid[0]), kW * kH) << radius;
    const std::int32_t full = 100 * kS * kS;
    const std::int32_t edge = f.Out(7, 5);
    EXPECT_GT(edge, 0) << radius;
    EXPECT_LT(edge, full) << radius;
    if (radius == 0) {
      EXPECT_EQ(f.Out(5, 5), full);
      EXPECT_EQ(edge, full / 3);
      EXPECT_EQ(f.Out(8, 5), 0);
    }
    if (radius >= 1) EXPECT_GT(f.Out(8, 5), 0) << "a wider filter reaches the next pixel";
  }
}

TEST(Supersample, WhatAFilterSpreadsBeyondThePictureIsLostNotPiledOnItsEdge) {
  // An evenly lit picture: its edge pixels get no more than the inner ones, which keep their level.
  TFilterCase f(6, 5, 2);
  for (int ix = 0; ix < 12; ++ix)
    for (int iy = 0; iy < 10; ++iy) f.Hit(ix, iy, 50);
  f.Filter(1.5);
  EXPECT_LE(f.Out(0, 0), f.Out(3, 2));
  EXPECT_NEAR(f.Out(3, 2), 200, 2);
}

TEST(Supersample, FactorsAndRadiiOutsideTheirRangesAreNamed) {
  EXPECT_EQ(SupersampleProblem(1, 0), "");
  EXPECT_EQ(SupersampleProblem(6, 8), "");
  EXPECT_EQ(SupersampleProblem(0, 0), "the supersampling factor must be 1 to 6");
  EXPECT_EQ(SupersampleProblem(7, 0), "the supersampling factor must be 1 to 6");
  EXPECT_EQ(SupersampleProblem(2, -1), "the filter radius must be 0 to 8 pixels");
  EXPECT_EQ(SupersampleProblem(2, 8.5), "the filter radius must be 0 to 8 pixels");
}

}  // namespace
