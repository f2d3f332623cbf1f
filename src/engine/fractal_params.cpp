#include "engine/fractal_params.h"

#include <array>
#include <stdexcept>
#include <string>

namespace {

using TFlag = bool TFractalParams::*;

constexpr std::array<TFlag, kMiraVariantCount> kMiraFlags = {
    &TFractalParams::mira0101, &TFractalParams::mira0102, &TFractalParams::mira0103, &TFractalParams::mira0104,
    &TFractalParams::mira0105, &TFractalParams::mira0106, &TFractalParams::mira0107, &TFractalParams::mira0108,
    &TFractalParams::mira0109, &TFractalParams::mira0110, &TFractalParams::mira0111, &TFractalParams::mira0112,
    &TFractalParams::mira0113};

constexpr std::array<TFlag, kIfsVariantCount> kIfsFlags = {
    &TFractalParams::ifs0101, &TFractalParams::ifs0102, &TFractalParams::ifs0103, &TFractalParams::ifs0104,
    &TFractalParams::ifs0105, &TFractalParams::ifs0106, &TFractalParams::ifs0107, &TFractalParams::ifs0108};

template <std::size_t Count>
TFlag FlagOf(const std::array<TFlag, Count>& flags, int k, const char* family) {
  if (k < 1 || k > static_cast<int>(Count))
    throw std::out_of_range(std::string(family) + " variant " + std::to_string(k) + " does not exist");
  return flags[static_cast<std::size_t>(k - 1)];
}

}  // namespace

bool& MiraVariant(TFractalParams& v, int k) { return v.*FlagOf(kMiraFlags, k, "G-Mira / Martin"); }
bool MiraVariant(const TFractalParams& v, int k) { return v.*FlagOf(kMiraFlags, k, "G-Mira / Martin"); }
bool& IfsVariant(TFractalParams& v, int k) { return v.*FlagOf(kIfsFlags, k, "IFS-01"); }
bool IfsVariant(const TFractalParams& v, int k) { return v.*FlagOf(kIfsFlags, k, "IFS-01"); }
