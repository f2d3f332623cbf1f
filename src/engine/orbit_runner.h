// What the single-orbit run (formula.cpp) and the parallel orbits (orbits.cpp) share inside the engine. Not for
// hosts: they use formula.h and orbits.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/engine_state.h"
#include "engine/fractal_params.h"

class TPixelGraphic;

// The Lyapunov steps follow the first this many main steps of an orbit after a restart.
inline constexpr std::int64_t kLyapunovSteps = 10000;

enum class TOrbitEnd {
  Steps,    // all the steps asked for were made
  Restart,  // the leader stopped where a run makes a random restart (escape or wild Lyapunov estimate)
};

// The log entry of a point outside the picture: every main step of an orbit in a full round notes one entry.
inline constexpr std::uint32_t kNoHitLogged = 0xFFFFFFFFu;

// Up to `steps` main steps of the orbit `orbit` (its record is orbit.v), each hit noted in `log` as
// (cell << 2) | channel of the point's fourth hit, with room for two points per step; `logCount` says how many were
// noted (one per point; kNoHitLogged for a point outside the picture), also when a fault raises EFloatingPointFault. Never calls the host and never touches the counts or the
// picture. The leader makes the Lyapunov steps and stops where a run would restart with new coefficients; any other
// orbit that escapes starts its own point over and goes on.
TOrbitEnd RunOrbitSteps(TEngineState& orbit, std::int64_t steps, bool leader, std::uint32_t* log,
                        std::size_t& logCount);

// "Make random coefficients" without the host's ParametersUpdate: draws af and af2 from orbit.random.
void DrawRandomCoefficients(TEngineState& orbit);
// The orbit starts over at the start point with its iterations and ticks at 0. Picture and counts are left alone.
void StartOrbitOver(TEngineState& orbit);
// Black for the cells (ix, iy) < n that lie inside the picture.
void ClearPicture(TPixelGraphic& image, std::int64_t n);
// What a (re)start clears of an N x N grid: the three count lists, the lead list when there is one, and the picture.
void ClearRender(std::int32_t* const counts[3], std::uint8_t* lead, TPixelGraphic& image, std::int64_t n);
// Raises std::invalid_argument, as a run does, when the record has no picture or lists too small for its grid.
void CheckRunRecord(const TFractalParams& v);
