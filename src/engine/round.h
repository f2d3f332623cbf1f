// Round: the system's one way of turning a real into an integer (pixel positions, hit weights, slider positions,
// picture sizes).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

// Nearest integer, halves to even, as a 32-bit integer. Values beyond the 32-bit range saturate and NaN gives 0, so
// an absurd value read from a file (an intensity of 1e300, say) is harmless.
//
// This sits on the engine's hot path several times per point: a library call such as lround would cost more than
// the rest of a hit. cvtsd2si rounds by the current mode (ties to even by default) in one instruction, and the
// quiet comparisons keep NaN from raising the invalid flag that the engine's fault check watches.
inline std::int32_t Round(double t) {
  // Below 2^31 - 0.5 in magnitude the rounded value fits; everything from there on saturates (ties included:
  // 2147483647.5 rounds to even 2^31, beyond the range).
  if (__builtin_isless(std::fabs(t), 2147483647.5)) {
#if defined(__x86_64__)
    return _mm_cvtsd_si32(_mm_set_sd(t));
#else
    return static_cast<std::int32_t>(std::lrint(t));
#endif
  }
  if (std::isnan(t)) return 0;
  return t > 0 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
}
