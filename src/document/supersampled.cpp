#include "document/supersampled.h"

#include <fstream>
#include <sstream>

#include "document/fractal_document.h"
#include "engine/huge_pages.h"
#include "engine/supersample.h"
#include "engine/tone.h"
#include "files/hit_count_file.h"

TSupersampledGrid::TSupersampledGrid(const TFractalParams& v, int supersample)
    : supersample_(supersample), grid_(v) {
  const int s = supersample;
  grid_.countsOnly = true;
  grid_.image = nullptr;
  // The grid is toned only once filtered.
  grid_.logDensity = false;
  grid_.imageWidth = v.imageWidth * s;
  grid_.imageHeight = v.imageHeight * s;
  grid_.plotWidth = v.plotWidth * s;
  grid_.plotHeight = v.plotHeight * s;
  const double dx = (s - 1) / 2.0 * (v.plotXMax - v.plotXMin) / grid_.plotWidth;
  const double dy = (s - 1) / 2.0 * (v.plotYMax - v.plotYMin) / grid_.plotHeight;
  grid_.plotXMin -= dx;
  grid_.plotXMax -= dx;
  grid_.plotYMin -= dy;
  grid_.plotYMax -= dy;
  const std::size_t cells = static_cast<std::size_t>(grid_.imageWidth) * static_cast<std::size_t>(grid_.imageHeight);
  AssignZeroedList(red_, cells);
  AssignZeroedList(green_, cells);
  AssignZeroedList(blue_, cells);
  AssignZeroedList(lead_, cells);
  grid_.redList = &red_;
  grid_.greenList = &green_;
  grid_.blueList = &blue_;
  grid_.leadList = &lead_;
}

void TSupersampledGrid::FilterInto(TFractalDocument& document, double filterRadius) const {
  const TFractalParams& v = document.Record();
  TSupersampledGridCells grid;
  grid.counts[0] = red_.data();
  grid.counts[1] = green_.data();
  grid.counts[2] = blue_.data();
  grid.lead = lead_.data();
  grid.columns = grid_.imageWidth;
  grid.rows = grid_.imageHeight;
  std::int32_t* const counts[3] = {v.redList->data(), v.greenList->data(), v.blueList->data()};
  const std::int64_t stride = std::max(v.imageWidth, v.imageHeight);
  FilterSupersampled(grid, supersample_, filterRadius, v.imageWidth, v.imageHeight, stride, counts,
                     v.leadList != nullptr ? v.leadList->data() : nullptr);
}

void TSupersampledGrid::FinishInto(TFractalDocument& document, double filterRadius) const {
  TFractalParams& v = document.Params();
  v.af = grid_.af;
  v.af2 = grid_.af2;
  v.iterations = grid_.iterations;
  v.lyapunov = grid_.lyapunov;
  FilterInto(document, filterRadius);
  RepaintPicture(v);
}

void TSupersampledGrid::Restore(const THitCountDocument& counts) {
  counts.CheckShape();
  if (counts.supersample != static_cast<std::uint32_t>(supersample_) || counts.CellCount() != red_.size())
    throw EHitCountFile("The document's grid does not match the render's");
  red_ = counts.counts[0];
  green_ = counts.counts[1];
  blue_ = counts.counts[2];
  lead_ = counts.lead;
}

std::optional<std::uint64_t> AvailableMemoryBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string name;
    std::uint64_t kib = 0;
    if (fields >> name >> kib && name == "MemAvailable:") return kib * 1024;
  }
  return std::nullopt;
}

std::string MemoryRefusal(std::uint64_t needed, std::optional<std::uint64_t> available) {
  if (!available || needed <= *available) return {};
  const auto mib = [](std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB"; };
  return "the render needs " + mib(needed) + " of memory, but only " + mib(*available) + " are available";
}
