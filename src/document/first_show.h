// The record of a new fractal: what creating a window sets, and what its first show sets a moment later.
#pragma once

#include "engine/fractal_params.h"

inline constexpr int kFirstShowWidth = 400;
inline constexpr int kFirstShowHeight = 300;

// Creation: not drawing, random coefficients wanted, not inverted. Nothing else.
void ApplyCreationDefaults(TFractalParams& v);

// First show: plot and image size, the default view, colours and sliders, every G-Mira / Martin and IFS-01
// variant off, the None variation alone, two maps, random coefficients wanted. Fields it does not name (the
// coefficients, Latoocarfian, invert, the picture and list handles) are left as they are.
void ApplyFirstShowDefaults(TFractalParams& v, int width, int height);

// A record as a new window's first show leaves it, everything not named above zero; picture and lists detached.
void SetUpFirstShow(TFractalParams& v, int width, int height);
