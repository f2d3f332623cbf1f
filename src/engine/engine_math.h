// Arithmetic helpers of the engine's hot path: the working precision, guarded sine and cosine, and the cheap look at
// the floating-point fault flags.
#pragma once

#include <cfenv>
#include <cmath>
#include <type_traits>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

// Working precision of the formulas.
//
// Every formula evaluates its expression in `Ext` from stored doubles and rounds to double when it assigns, which
// is how the orbits were first drawn (80-bit x87 arithmetic, rounded on every store). On x86-64 `long double` is
// that 80-bit format. The x87 round trips cost about a tenth of the speed: IFS0101 + None at 400 x 300, maps 2,
// ran at about 29 million main steps a second with Ext = long double against about 32 million with Ext = double
// on the 2-core build machine, both well above the 20 million we need. So the formulas keep the extended precision
// and orbits follow the historical ones longer before they drift apart (chaotic orbits always drift eventually).
// Not in Ext, on purpose: the library's sin, cos, arctan, sqrt and ln run in double on an argument rounded to
// double (the long double versions cost two to three times as much and a plotted point cannot tell), and so do the
// escape test, the map draw, the pixel mapping and the colour levels, whose results are compared or rounded to
// integers at once; the colour gain keeps its extended constant 1/150.
using Ext = long double;

// sin and cos of an argument whose magnitude is 2^63 or more yield 0, as the x87 instructions the formulas were
// tuned on left them unevaluated; infinity is such an argument. NaN passes through and is caught by the fault check.
// The magnitude is tested in Ext, before the argument is rounded to double: an argument beyond the double range
// yields 0 like any other huge one instead of overflowing on the way.
constexpr double kTrigArgumentLimit = 9223372036854775808.0;  // 2^63

inline double EngineSin(Ext a) {
  if (__builtin_isgreaterequal(std::fabs(a), static_cast<Ext>(kTrigArgumentLimit))) return 0.0;
  return std::sin(static_cast<double>(a));
}
inline double EngineCos(Ext a) {
  if (__builtin_isgreaterequal(std::fabs(a), static_cast<Ext>(kTrigArgumentLimit))) return 0.0;
  return std::cos(static_cast<double>(a));
}

// The flags that end a run: division by zero, invalid operation, overflow. Underflow and inexact are normal.
constexpr int kFaultFlags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

// Makes the compiler finish computing `value` before this point: fault flags are read by instructions the optimiser
// knows nothing about, so without this it could move arithmetic past the check.
template <typename T>
inline void ComputedBeforeFlagCheck(T& value) {
#if defined(__GNUC__)
  if constexpr (std::is_same_v<T, double>)
    __asm__ volatile("" : "+x"(value));
  else
    __asm__ volatile("" : "+r"(value));
#else
  (void)value;
#endif
}

// Fault flags raised since they were last cleared, both in the SSE unit and in the x87 unit (the Ext arithmetic).
// On x86-64 two register reads; fetestexcept would be a library call per point.
inline int RaisedFaultFlags() {
#if defined(__x86_64__) && defined(__GNUC__)
  static_assert(FE_INVALID == 0x01 && FE_DIVBYZERO == 0x04 && FE_OVERFLOW == 0x08,
                "the hardware status bits are read as fenv flags");
  unsigned short x87Status;
  __asm__ volatile("fnstsw %0" : "=am"(x87Status));
  const unsigned sseStatus = _mm_getcsr();
  return static_cast<int>((x87Status | sseStatus) & kFaultFlags);
#else
  return std::fetestexcept(kFaultFlags);
#endif
}

inline void ClearFaultFlags() { std::feclearexcept(kFaultFlags); }
