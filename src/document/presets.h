// The preset switches of a fractal (the variant toggles of the window's menus) and the family switches that a
// render pass derives from them.
#pragma once

#include "engine/fractal_params.h"

// "01.)" .. "09.)": toggles mira0101 .. mira0109. Variant 07 also asks for new random coefficients, whichever
// way it is switched.
void ToggleMiraVariant(TFractalParams& v, int variant);

// "13.) Latoocarfian01": toggles latoocarfian01, not mira0113.
void ToggleLatoocarfian01(TFractalParams& v);

// IFS0101 .. IFS0108.
void ToggleIfsVariant(TFractalParams& v, int variant);

// Every G-Mira / Martin variant (01..13) and every IFS-01 variant off.
void ClearVariantSwitches(TFractalParams& v);

// mira01 and ifs01 follow the variant switches, overriding whatever a file or the Parameters dialog said, as every
// render pass does.
void DeriveFamilySwitches(TFractalParams& v);

// True when a render pass runs the engine: a G-Mira / Martin or IFS-01 variant, or Latoocarfian 01.
bool SelectsAFamily(const TFractalParams& v);
