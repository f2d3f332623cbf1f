// The formula families and the variations of one formula step. Each reads and writes the engine's working variables;
// every expression is evaluated in Ext from stored doubles and rounded to double when it is assigned.
// Included by formula.cpp (inlined into the run loop) and by bench/engine_bounds_bench.cpp.
#pragma once

#include <cmath>

#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/formula.h"
#include "engine/fractal_params.h"

namespace families {

inline double D(Ext value) { return static_cast<double>(value); }
inline Ext E(double value) { return static_cast<Ext>(value); }
inline Ext Abs(Ext value) { return value < 0 ? -value : value; }
inline double Sqrt(Ext value) { return std::sqrt(D(value)); }

// ---- Latoocarfian ----------------------------------------------------------------------------------------------

// The second sine uses a3 as frequency and amplitude alike (a4 likewise in y).
inline void Latoocarfian01(TOrbitState& s, const double* a) {
  const double xnew = D(EngineSin(E(s.fy) * a[1] * TWOPI) + E(EngineSin(E(s.fx) * a[3] * TWOPI)) * a[3]);
  const double ynew = D(EngineSin(E(s.fx) * a[2] * TWOPI) + E(EngineSin(E(s.fy) * a[4] * TWOPI)) * a[4]);
  s.x = xnew;
  s.y = ynew;
  s.z = 0;
}

// Frequencies from af2, amplitudes from af.
inline void Latoocarfian02(TOrbitState& s, const double* a, const double* b) {
  const double xnew = D(EngineSin(E(TWOPI) * s.y * b[1]) + E(EngineSin(E(TWOPI) * s.x * b[1])) * a[3]);
  const double ynew = D(EngineSin(E(TWOPI) * s.x * b[2]) + E(EngineSin(E(TWOPI) * s.y * b[2])) * a[4]);
  s.x = xnew;
  s.y = ynew;
  s.z = 0;
}

// ---- G-Mira / Martin -------------------------------------------------------------------------------------------

// Shared start rule of the Gumowski-Mira variants: the first steps of a run (and after every restart) begin from
// fixed values instead of the orbit.
inline void MiraStart(TOrbitState& s, const TFractalParams& v, double s0, double b0) {
  if (v.iterations <= 1) {
    s.fx = s0;
    s.fy = s0;
    s.miraF = s0;
    s.miraB = b0;
  }
}

inline void MiraGumowski(TOrbitState& s, int variant, const TFractalParams& v) {
  const double* af = v.af.data();
  switch (variant) {
    case 7: MiraStart(s, v, 1.0, 1.0); break;
    case 8: MiraStart(s, v, 1.0, 1.0); break;
    default: MiraStart(s, v, 0.1, 1.00001); break;
  }
  s.z = s.fx;
  s.x = D(E(s.miraB) * s.fy + s.miraF);
  const double x = s.x;
  // -0.05 is a literal of the working precision, not a double widened.
  const Ext damping = static_cast<Ext>(-0.05L);
  Ext f;
  switch (variant) {
    case 7: f = damping * af[1] * x + (E(PI_) - x) * (E(af[2]) * x * x) / (E(x) * x + 1); break;
    case 8: f = (E(PI_) - EngineSin(x)) * (E(af[2]) * x * x) / (E(x) * x + 1) + damping * af[1] * x; break;
    default:
      f = (1 - E(af[4]) * EngineSin(E(af[7]) + x)) * (E(af[2]) * x * x) / (E(x) * x + 1) + E(-1) * af[1] * x;
      break;
  }
  s.miraF = D(f);
  s.y = D(E(s.miraF) - s.z);
}

// Variants 10 and 11 write fx, not x: the step's x stays what it was.
inline void MiraWave(TOrbitState& s, const TFractalParams& v) {
  const double* af = v.af.data();
  MiraStart(s, v, 1.0, 1.0);
  s.z = s.fx;
  s.fx = D(E(s.miraB) * s.fy + s.miraF);
  const Ext q = E(EngineSin(E(af[1]) + s.fx)) * (E(af[2]) * s.fx);
  s.miraF = D(((q + af[7]) + q + q) * s.miraSign);
  s.y = D(E(s.miraF) - s.z);
}

inline void Mira(TOrbitState& s, const TFractalParams& v) {
  const double* af = v.af.data();
  s.miraSign = s.fx < 0 ? -1.0 : 1.0;
  const Ext sign = s.miraSign;
  if (v.mira0101) {
    const double fx = s.fx;
    const double xnew = D(s.fy - sign * Sqrt(Abs(E(fx) * (E(PI_) * fx * af[2] + af[4]))));
    s.y = D(1 - E(fx));
    s.x = xnew;
  }
  if (v.mira0102) {
    const double fx = s.fx;
    const double xnew =
        D((E(Sqrt(Abs(fx))) * sign + s.fy) - sign * Sqrt(Abs(E(fx) * (E(PI_) * fx * af[2] + af[4]))));
    s.y = D(1 - E(fx));
    s.x = xnew;
  }
  if (v.mira0103) {
    const double fx = s.fx;
    const double xnew = D(sign * std::sqrt(Sqrt(Abs(E(PI_) * af[1] * fx))) + (E(af[2]) * fx + s.fy));
    s.y = D(E(af[3]) - fx);
    s.x = xnew;
  }
  if (v.mira0104) {
    const double fx = s.fx;
    const double xnew = D((E(fx) + s.fy) -
                          sign * Sqrt(Abs(E(fx) * (E(EngineCos(E(PI_) * af[2])) * fx + Abs(E(PI_) * af[1])))));
    s.y = D(E(af[3]) - fx);
    s.x = xnew;
  }
  if (v.mira0105) {
    const double fx = s.fx;
    const double xnew = D((E(Sqrt(Abs(E(TWOPI) * fx))) + s.fy) + sign * Sqrt(Abs(E(TWOPI) * fx * af[3])));
    s.y = D(E(af[1]) - fx);
    s.x = xnew;
  }
  if (v.mira0106) {
    const double fx = s.fx;
    const double xnew =
        D((E(Sqrt(Abs(E(PI_) * fx * af[2]))) + sign * Sqrt(Abs(E(PI_) * fx * af[1]))) + s.fy);
    s.y = D(E(af[3]) - fx);
    s.x = xnew;
  }
  if (v.mira0107) MiraGumowski(s, 7, v);
  if (v.mira0108) MiraGumowski(s, 8, v);
  if (v.mira0109) MiraGumowski(s, 9, v);
  if (v.mira0110) MiraWave(s, v);
  if (v.mira0111) MiraWave(s, v);
  // mira0112 and mira0113 are stored switches without a formula.
}

// ---- IFS-01 and the three-coordinate maps -----------------------------------------------------------------------

// Each variant reads fx and fy only; with several on, the last one's result stands. The table of coefficient
// pairings is irregular on purpose (0102 uses a1 twice, 0104 pairs a3 with fy and a4 with fx in y).
// The affine map of variant 1 alone; the run loop calls it directly when it is the whole formula stage.
inline void Ifs0101(TOrbitState& s, const double* a) {
  const Ext fx = s.fx, fy = s.fy;
  s.x = D(a[1] * fx + a[2] * fy + a[5]);
  s.y = D(a[3] * fx + a[4] * fy + a[6]);
}

inline void Ifs01(TOrbitState& s, const TFractalParams& v, const double* a) {
  const Ext fx = s.fx, fy = s.fy;
  if (v.ifs0101) Ifs0101(s, a);
  if (v.ifs0102) {
    const Ext sx = EngineSin(fx), sy = EngineSin(fy);
    s.x = D(sx + (a[1] * fx + a[1] * fy + a[5]) - sy);
    s.y = D(sx + (a[2] * fx + a[2] * fy + a[6]) - sy);
  }
  if (v.ifs0103) {
    const Ext sxy = E(EngineSin(fx)) * EngineSin(fy);
    s.x = D(sxy + (a[1] * fx + a[1] * fy + a[5]));
    s.y = D(sxy + (a[2] * fx + a[2] * fy + a[6]));
  }
  if (v.ifs0104) {
    s.x = D(EngineSin(a[7] * fx) + (a[1] * fx + a[2] * fy + a[5]));
    s.y = D(EngineSin(a[7] * fy) + (a[3] * fy + a[4] * fx + a[6]));
  }
  if (v.ifs0105) {
    const Ext sx = EngineSin(fx), sy = EngineSin(fy);
    s.x = D(sx + (a[1] * fx + a[3] * fy + a[5]) + sy);
    s.y = D(sx + (a[2] * fx + a[4] * fy + a[6]) - sy);
  }
  if (v.ifs0106) {
    s.x = D(EngineSin(a[7] * fx) + (a[3] * fy + a[1] + a[5] * fx) + EngineSin(a[9] * fy));
    s.y = D(EngineSin(a[8] * fy) + (a[4] * fy + a[2] + a[6] * fx) + EngineSin(a[10] * fx));
  }
  if (v.ifs0107) {
    s.x = D(EngineSin(E(HALFPI) * a[9] * fx) + ((fy + fx) * a[3] + a[1] + a[5] * fy + a[7] * fx));
    s.y = D(EngineSin(E(HALFPI) * a[10] * fy) + ((fy + fx) * a[4] + a[2] + a[6] * fy + a[8] * fx));
  }
  if (v.ifs0108) {
    const Ext wave = (E(EngineSin(fx)) - EngineSin(fy)) * a[7];
    s.x = D(wave + (a[1] * fx + a[3] * fy + a[5]));
    s.y = D(wave + (a[2] * fx + a[4] * fy + a[6]));
  }
}

// IFS-02 takes z from the point before the step, CIF 02 from the point after it; otherwise they are the same map.
inline void Ifs02(TOrbitState& s, const double* b) {
  const Ext x = s.x, y = s.y, z = s.z;
  const double xnew = D(b[1] * x + b[2] * y + b[5] + b[7] * z);
  const double ynew = D(b[3] * x + b[4] * y + b[6] + b[8] * z);
  s.z = D(x - y);
  s.x = xnew;
  s.y = ynew;
}

inline void Cif02(TOrbitState& s, const double* b) {
  const Ext x = s.x, y = s.y, z = s.z;
  s.x = D(b[1] * x + b[2] * y + b[5] + b[7] * z);
  s.y = D(b[3] * x + b[4] * y + b[6] + b[8] * z);
  s.z = D(E(s.x) - s.y);
}

// The odd-numbered multipliers af[3], af[5], ... are fixed entries that do not move with the map offset.
inline void Cif01(TOrbitState& s, const double* a, const double* af) {
  const Ext x = s.x, y = s.y, z = s.z;
  const double xnew = D(a[2] * x + a[1] + a[4] * y * af[3] + a[6] * z * af[5]);
  const double ynew = D(a[8] * x + a[7] + a[10] * y * af[9] + a[12] * z * af[11]);
  s.z = D(a[14] * x + a[13] + a[16] * y * af[15] + a[18] * z * af[17]);
  s.x = xnew;
  s.y = ynew;
}

// ---- Variations ---------------------------------------------------------------------------------------------------

// Adds a weighted contribution: fx := p*u + fx, fy := p*w + fy.
inline void Add(TOrbitState& s, Ext p, Ext u, Ext w) {
  s.fx = D(p * u + s.fx);
  s.fy = D(p * w + s.fy);
}

inline void Variations(TOrbitState& s, const TFractalParams& v) {
  s.fx = 0;
  s.fy = 0;
  const Ext p = v.probability;
  const double x = s.x, y = s.y;
  if (v.none) {
    s.fx = s.fx + x;
    s.fy = s.fy + y;
  }
  if (v.linear) {
    if (v.none) {
      Add(s, p, x, y);
    } else {
      // Without None the identity is still included once.
      s.fx = D(E(x) + s.fx + p * x);
      s.fy = D(E(y) + s.fy + p * y);
    }
  }
  if (v.sinusoidal) {
    const double r2 = D(E(x) * x + E(y) * y);
    if (s.j < 19)
      Add(s, p, E(EngineSin(E(HALFPI) * x)) + EngineSin(r2), E(EngineSin(E(HALFPI) * y)) + EngineSin(r2));
    else
      Add(s, p, E(EngineCos(E(HALFPI) * x)) + EngineCos(r2), E(EngineCos(E(HALFPI) * y)) + EngineCos(r2));
  }
  if (v.spherical) {
    const double r2 = D(E(x) * x + E(y) * y);
    Add(s, p, E(x) / r2, E(y) / r2);
  }
  if (v.swirl) {
    const double r2 = D(E(x) * x + E(y) * y);
    const double sn = EngineSin(E(TWOPI) * r2), cs = EngineCos(E(TWOPI) * r2);
    Add(s, p, E(sn) * x - E(cs) * y, E(cs) * x + E(sn) * y);
  }
  if (v.horseshoe) {
    const double theta = std::atan(D(E(x) / y));
    const double sn = EngineSin(E(TWOPI) * theta), cs = EngineCos(E(TWOPI) * theta);
    Add(s, p, E(sn) * x - E(cs) * y, E(cs) * x + E(sn) * y);
  }
  if (v.polar) {
    Add(s, p, E(std::atan(D(E(x) / y))) / PI_, E(Sqrt(E(x) * x + E(y) * y)) - 1);
  }
  if (v.bent) {
    Ext u = x, w = y;
    if (u < 0) u = 2 * u;
    if (w < 0) w = E(0.5) * w;
    Add(s, p, u, w);
  }
}

}  // namespace families
