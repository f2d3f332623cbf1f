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
// the rest of a hit. cvtsd2si rounds by the current mode (ties to even by default) in one instruction. The value is
// clamped into the 32-bit range first, so the conversion never sees anything it would flag as invalid: a guarded
// conversion is not enough, because the optimiser may run it speculatively on the unguarded value, and the invalid
// flag is what the engine's fault check watches.
inline std::int32_t Round(double t) {
  if (std::isnan(t)) return 0;
#if defined(__x86_64__)
  // Everything from 2^31 - 0.5 up rounds beyond the range (ties to even included) and saturates; likewise below.
  __m128d x = _mm_min_sd(_mm_set_sd(t), _mm_set_sd(2147483647.0));
  x = _mm_max_sd(x, _mm_set_sd(-2147483648.0));
  return _mm_cvtsd_si32(x);
#else
  if (t >= 2147483647.5) return std::numeric_limits<std::int32_t>::max();
  if (t <= -2147483648.5) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::lrint(t));
#endif
}
