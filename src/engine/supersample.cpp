#include "engine/supersample.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/hit_merge.h"
#include "engine/render_context.h"

namespace {

// Per grid line along one axis: the first picture line it reaches and its weights, up to `taps` of them.
struct TAxisWeights {
  int taps = 1;
  std::vector<int> first;      // per grid line
  std::vector<float> weights;  // per grid line, `taps` each; 0 past the picture's edge
};

// Grid line i (0 .. S n - 1) has its centre at (i + 0.5) / S picture pixels; picture line p at p + 0.5. A line's
// weights add up to 1 over the picture lines it reaches; what falls beyond the picture's edge is lost, as light
// spread off a print is, so that a pixel at the edge weighs its cells as any other does.
TAxisWeights AxisWeights(int n, int supersample, double radius) {
  TAxisWeights a;
  const int reach = radius > 0 ? static_cast<int>(std::ceil(radius)) : 0;
  a.taps = 2 * reach + 1;
  const int lines = n * supersample;
  a.first.resize(static_cast<std::size_t>(lines));
  a.weights.assign(static_cast<std::size_t>(lines) * a.taps, 0.0f);
  const double sigma = radius / 2;
  for (int i = 0; i < lines; ++i) {
    const int own = i / supersample;
    const double centre = (i + 0.5) / supersample;
    a.first[static_cast<std::size_t>(i)] = own - reach;
    float* w = &a.weights[static_cast<std::size_t>(i) * a.taps];
    if (reach == 0) {
      w[0] = 1.0f;
      continue;
    }
    double sum = 0;
    double raw[2 * static_cast<int>(kMaxFilterRadius) + 1];
    for (int t = 0; t < a.taps; ++t) {
      const int p = own - reach + t;
      const double d = centre - (p + 0.5);
      raw[t] = std::fabs(d) > radius + 0.5 ? 0.0 : std::exp(-d * d / (2 * sigma * sigma));
      sum += raw[t];
    }
    // Always at least the own line, at distance below one half.
    for (int t = 0; t < a.taps; ++t) {
      const int p = own - reach + t;
      w[t] = p < 0 || p >= n ? 0.0f : static_cast<float>(raw[t] / sum);
    }
  }
  return a;
}

std::int32_t SaturatedCount(double c) {
  if (!(c > 0)) return 0;
  if (c >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::lround(c));
}

}  // namespace

std::string SupersampleProblem(int supersample, double filterRadius) {
  if (supersample < 1 || supersample > kMaxSupersample)
    return "the supersampling factor must be 1 to " + std::to_string(kMaxSupersample);
  if (!(filterRadius >= 0 && filterRadius <= kMaxFilterRadius))
    return "the filter radius must be 0 to " + std::to_string(static_cast<int>(kMaxFilterRadius)) + " pixels";
  return {};
}

void FilterSupersampled(const TSupersampledGridCells& grid, int supersample, double radius, int width, int height,
                        std::int64_t stride, std::int32_t* const counts[3], std::uint8_t* lead) {
  const TAxisWeights ax = AxisWeights(width, supersample, radius);
  const TAxisWeights ay = AxisWeights(height, supersample, radius);
  const std::int64_t rows = grid.rows;
  // Along x first: every grid column into the picture columns it reaches, whole columns at a time (the grid is
  // column by column in memory); then along y within each picture column.
  std::vector<float> across(static_cast<std::size_t>(width) * rows);
  std::vector<double> column(static_cast<std::size_t>(height));
  for (int c = 0; c < 3; ++c) {
    std::fill(across.begin(), across.end(), 0.0f);
    for (std::int64_t ix = 0; ix < grid.columns; ++ix) {
      const std::int32_t* in = grid.counts[c] + ix * rows;
      const float* w = &ax.weights[static_cast<std::size_t>(ix) * ax.taps];
      for (int t = 0; t < ax.taps; ++t) {
        if (w[t] == 0.0f) continue;
        float* out = &across[static_cast<std::size_t>(ax.first[static_cast<std::size_t>(ix)] + t) * rows];
        for (std::int64_t iy = 0; iy < rows; ++iy) out[iy] += w[t] * static_cast<float>(in[iy]);
      }
    }
    for (int ox = 0; ox < width; ++ox) {
      std::fill(column.begin(), column.end(), 0.0);
      const float* in = &across[static_cast<std::size_t>(ox) * rows];
      for (std::int64_t iy = 0; iy < rows; ++iy) {
        if (in[iy] == 0.0f) continue;
        const float* w = &ay.weights[static_cast<std::size_t>(iy) * ay.taps];
        const int first = ay.first[static_cast<std::size_t>(iy)];
        for (int t = 0; t < ay.taps; ++t)
          if (w[t] != 0.0f) column[static_cast<std::size_t>(first + t)] += static_cast<double>(w[t]) * in[iy];
      }
      std::int32_t* out = counts[c] + ox * stride;
      for (int oy = 0; oy < height; ++oy) out[oy] = SaturatedCount(column[static_cast<std::size_t>(oy)]);
    }
  }
  if (lead == nullptr) return;
  for (int ox = 0; ox < width; ++ox)
    for (int oy = 0; oy < height; ++oy) {
      // Each cell of the footprint votes for its lead channel with its hits: steadier than any one cell's last
      // hit, which is the map chosen at random.
      std::int64_t votes[4] = {0, 0, 0, 0};
      for (int sx = 0; sx < supersample; ++sx)
        for (int sy = 0; sy < supersample; ++sy) {
          const std::int64_t cell = (std::int64_t{ox} * supersample + sx) * rows + std::int64_t{oy} * supersample + sy;
          const std::uint8_t l = grid.lead != nullptr ? grid.lead[cell] : 0;
          if (l == 0 || l > 3) continue;
          votes[l] += std::int64_t{std::max(grid.counts[0][cell], 0)} + std::max(grid.counts[1][cell], 0) +
                      std::max(grid.counts[2][cell], 0);
        }
      std::uint8_t channel = 0;
      for (std::uint8_t l = 1; l <= 3; ++l)
        if (votes[l] > votes[channel]) channel = l;
      lead[ox * stride + oy] = channel;
    }
}

std::uint64_t SupersampledRenderBytes(int width, int height, int supersample, bool parallel) {
  const std::uint64_t s = static_cast<std::uint64_t>(std::max(supersample, 1));
  const std::uint64_t gridCells = static_cast<std::uint64_t>(std::max(width, 0)) * s *
                                  static_cast<std::uint64_t>(std::max(height, 0)) * s;
  const std::uint64_t n = static_cast<std::uint64_t>(std::max({width, height, 0}));
  // Grid: three counts and a lead channel per cell, and a mark; the filter's row of floats per picture column.
  const std::uint64_t grid = gridCells * (3 * 4 + 1 + (parallel ? 4 : 1)) +
                             static_cast<std::uint64_t>(std::max(width, 0)) * std::max(height, 0) * s * 4;
  // Picture document: N x N counts and lead channels, and 24-bit pixels.
  const std::uint64_t picture = n * n * (3 * 4 + 1) + static_cast<std::uint64_t>(std::max(width, 0)) * std::max(height, 0) * 3;
  // A gathered grid's hits, waiting to be merged.
  const std::uint64_t waiting =
      gridCells >= static_cast<std::uint64_t>(kDefaultGatheredGridCells) ? std::uint64_t{kMaxQueuedHits} * 8 : 0;
  return grid + picture + waiting;
}
