// A fractal's parameter set as an undo step keeps it: every value of the record that a command or a dialog edit
// can change, the picture size among them, but not the picture, the hit lists or the state of a running pass.
#pragma once

#include "engine/fractal_params.h"

struct TParamSnapshot {
  // The record's values with the picture and list handles null and the run's counters, plotted point and stop
  // flag zero: those belong to whatever pass is running, not to the parameter set.
  TFractalParams values;

  int Width() const { return values.imageWidth; }
  int Height() const { return values.imageHeight; }
};

TParamSnapshot TakeParamSnapshot(const TFractalParams& v);

// Whether two parameter sets draw the same fractal the same way. The view edges and aspect factors that every
// engine run derives from centre, zoom and size are left out, so a step that only recomputed them (a Reset on
// the default view) is no change.
bool SameParameterSet(const TParamSnapshot& a, const TParamSnapshot& b);
