// The fractal engine: one process-wide state, one entry RunFractal.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "engine/fractal_params.h"

// How the engine talks to whoever runs it (the GUI frame, the headless renderer, tests).
struct EngineHost {
  virtual ~EngineHost() = default;
  // Handle pending events; may change the record, set abort, or start a nested RunFractal.
  virtual void ProcessMessages() = 0;
  // Random coefficients were made: refresh whatever shows them.
  virtual void ParametersUpdate() = 0;
};

// The host that RunFractal reports to; nullptr runs without one. Not owned.
void SetEngineHost(EngineHost* host);
EngineHost* GetEngineHost();

// Runs until v.abort is true (tested before each pass of the loop).
void RunFractal(TFractalParams* v);

// A floating-point fault inside a step ends the run with this exception; picture and counts stay as they were.
class EFloatingPointFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Engine constants: these decimal values rounded to double, not full-precision pi.
constexpr double PI_ = 3.14159265359;
constexpr double TWOPI = 6.28318530718;
constexpr double HALFPI = 1.57079632679;
