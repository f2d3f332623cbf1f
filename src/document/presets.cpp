#include "document/presets.h"

namespace {
constexpr int kRandomizingMiraVariant = 7;
}  // namespace

void ToggleMiraVariant(TFractalParams& v, int variant) {
  if (variant == kRandomizingMiraVariant) v.randomize = true;
  bool& flag = MiraVariant(v, variant);
  flag = !flag;
}

void ToggleLatoocarfian01(TFractalParams& v) { v.latoocarfian01 = !v.latoocarfian01; }

void ToggleIfsVariant(TFractalParams& v, int variant) {
  bool& flag = IfsVariant(v, variant);
  flag = !flag;
}

void ClearVariantSwitches(TFractalParams& v) {
  for (int k = 1; k <= kMiraVariantCount; ++k) MiraVariant(v, k) = false;
  for (int k = 1; k <= kIfsVariantCount; ++k) IfsVariant(v, k) = false;
}

void DeriveFamilySwitches(TFractalParams& v) {
  v.mira01 = false;
  for (int k = 1; k <= kMiraVariantCount; ++k) v.mira01 = v.mira01 || MiraVariant(v, k);
  v.ifs01 = false;
  for (int k = 1; k <= kIfsVariantCount; ++k) v.ifs01 = v.ifs01 || IfsVariant(v, k);
}

bool SelectsAFamily(const TFractalParams& v) { return v.mira01 || v.ifs01 || v.latoocarfian01; }
