// Parallel orbits: one picture drawn by K orbits on up to T threads.
//
// The K orbits share the record's coefficients, view and picture. Each has its own point, its own counters (its own
// iteration count, so the G-Mira start rule and the escape test apply per orbit) and its own random stream for the
// map choice, derived from orbit 0's stream (as the run's start or its last random restart left it) and the orbit's
// index -- after SeedEngineRandom, from the seed and the index. Orbit 0 is the single orbit of RunFractal: it draws
// from the engine generator itself, makes the Lyapunov steps, and is the only orbit that makes random restarts.
//
// The run goes in rounds. A full round is a sequence of Q = K * OrbitRoundSteps(K) positions, step i of orbit k at
// position i K + k: as if the orbits took their steps in turn. Every orbit makes its steps of the round on some
// thread, its points noted in a log of its own; at the end of the round the hits are applied to the counts as they
// would be one by one in the order of their positions, so that saturation and each cell's leading channel (the
// channel of its last hit, the one at the highest position) come out the same whoever ran which orbit. The result
// depends only on the inputs, the seed and K: never on the number of threads or on timing. A round of Q positions
// gives orbit k Q / K steps, plus one when k < Q % K, so a step budget is met exactly, as by RunFractal. A round cut
// short by the budget makes its first positions, and ContinueFractalOrbits makes the rest of it: the two runs end
// exactly as one.
//
// What an orbit does, so that a picture always shows one coefficient set:
//  - Orbit 0 runs alone while it is in its first 10000 main steps after a (re)start, where the Lyapunov estimate can
//    still throw its coefficients away, and whenever the orbits cannot differ: with maps 0 (no random pick per step),
//    or when nothing selected reads the map choice (the G-Mira / Martin family alone, without Sinusoidal), where K
//    orbits would only trace the same points K times. The other orbits wait at the start point (0.0001, 0.0001)
//    and join at the first round after that.
//  - A random restart of orbit 0 (escape or wild Lyapunov estimate) ends the round at its position: the other
//    orbits' steps after that position are thrown away, undone (they count neither against the budget nor in the
//    counters). The picture and counts are cleared, new coefficients drawn from orbit 0's stream, and every other
//    orbit goes back to the start point with a stream derived anew from orbit 0's and its index, to wait for orbit 0
//    to make its first 10000 steps again.
//  - An orbit k > 0 that escapes (|x| * |y| > 10000) starts its own point over and goes on: no new coefficients.
//  - A floating-point fault in any orbit ends the run with EFloatingPointFault and the record's abort flag set. The
//    counts and the picture are those of every position before the fault's, and the step counter counts those
//    positions only; the orbits' points and iteration counts are left where their own steps took them. Of several
//    faults (or a fault and a restart) in one round, the one at the lowest position wins.
// With K = 1 the run is RunFractal's run: the same picture, counts, record and engine state.
//
// Threads: the calling thread and T - 1 workers (std::thread) make the orbits of a round (thread t the orbits k with
// k mod T = t) and merge the logs, cells shared out among them, so no hit needs a lock. Everything else -- random
// restarts, the host's ProcessMessages and ParametersUpdate, the pumping cadence of RunFractal (the clock is looked
// at after every round; rounds take a few milliseconds, and orbit 0 alone with a host makes rounds of about one
// pump interval) -- happens on the calling thread between rounds, when no worker runs. RunFractal itself runs this
// way, as one orbit on the calling thread, on a grid its context gathers (render_context.h). The step budget,
// counters, host and pump interval are those of the render context the run is on (render_context.h; the free
// entries here use the default one, as RunFractal does).
//
// Nesting: a host call may start a nested run on the same context, for the same or another record; the outer run's
// workers wait meanwhile. The nested run takes over the context, and the outer run, on resuming, finds the nested
// record's abort flag set and ends as well: one Stop ends every nested run.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine_state.h"
#include "engine/formula.h"
#include "engine/render_context.h"
#include "engine/fractal_params.h"

inline constexpr int kMaxOrbits = 256;

struct TOrbitPlan {
  int orbits = 1;   // orbits the run uses
  int threads = 1;  // threads the run uses, the calling thread included
};

// What RunFractalOrbits makes of a request for `orbits` orbits on `threads` threads (each clamped to 1..kMaxOrbits)
// for this record: one orbit when the orbits cannot differ (see above), and never more threads than orbits.
TOrbitPlan PlanOrbits(const TFractalParams& v, int orbits, int threads);

// Main steps each orbit makes in a full round of K orbits (the last round of a budget may be shorter).
std::int64_t OrbitRoundSteps(int orbits);

// An orbit other than orbit 0 between two runs: its state (point, map offset, G-Mira state, random stream, main
// steps) and its iterations since its point last started over.
struct TOtherOrbit {
  TOrbitState state;
  std::int64_t iterations = 0;
};

// What a parallel run leaves besides the engine's state (orbit 0), for a later ContinueFractalOrbits.
struct TOrbitsLeft {
  std::vector<TOtherOrbit> others;  // orbits 1 to K - 1
  std::int64_t roundDone = 0;       // positions of the unfinished full round already made (0: none unfinished)
  bool joined = false;              // the other orbits take part in the next round
};

// The steps orbit k of K made of a full round of which `roundDone` positions are made.
std::int64_t OrbitStepsOfRound(std::int64_t roundDone, int k, int orbits);

// Runs like RunFractal (randomize, reset, rounds until v->abort; the same exceptions) with PlanOrbits(*v, orbits,
// threads). Must be called on the thread that owns the host. When it returns (not when it raises), `left`, if
// given, receives what a later ContinueFractalOrbits needs.
void RunFractalOrbits(TFractalParams* v, int orbits, int threads, TOrbitsLeft* left = nullptr);

// Goes on like ContinueFractal from where a run stopped: orbit 0 from the engine's state, the other orbits and the
// round from `left` (no other orbit: one orbit, continued with ContinueFractal). A run of N1 steps continued for N2
// ends exactly as one run of N1 + N2 steps: picture, counts, lead channels and orbits. `left` receives what this run
// leaves. Raises std::invalid_argument when `left` cannot have been left by a run (a round position outside the
// round, or an unfinished round before orbit 0 has made its first 10000 steps), besides what RunFractal raises.
void ContinueFractalOrbits(TFractalParams* v, TOrbitsLeft& left, int threads);
