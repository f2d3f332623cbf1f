// How a window's passes use the machine: one set for the program, kept by the frame with its other settings and
// edited in the "Options" dialog. A pass reads it when it starts; a change never reaches a pass already drawing.
#pragma once

#include <algorithm>

struct TDrawingOptions {
  // Parallel orbits on worker threads; off, a pass is the engine's single orbit on the GUI thread.
  bool useAllCores = true;
};

// The orbits of a parallel pass: the renderer's default, so that the program and ovel-ifs-render draw the same
// picture from the same seed.
inline constexpr int kParallelPassOrbits = 8;

struct TPassShape {
  int orbits = 1;
  int threads = 1;
};

// What a new pass asks of the engine on a machine with `cores` cores (0 when unknown counts as 1).
inline TPassShape PassShapeOf(const TDrawingOptions& options, unsigned cores) {
  if (!options.useAllCores) return {};
  return {kParallelPassOrbits, std::clamp(static_cast<int>(cores), 1, kParallelPassOrbits)};
}
