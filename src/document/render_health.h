// How a render is doing, as the frame's status bar shows it: steps per second, steps done, the Lyapunov
// estimate, random restarts, the share of pixels lit and the time since the pass began. The figures are sampled
// whenever the window repaints its picture during a pass, not per step: the engine's loop pays nothing for them.
#pragma once

#include <chrono>
#include <cstdint>

#include "engine/formula.h"

class TPixelGraphic;

struct TRenderHealth {
  bool started = false;           // a pass with something to draw has begun since the document was made
  bool running = false;           // that pass is still drawing
  std::int64_t steps = 0;         // main steps of the pass, across its random restarts
  double stepsPerSecond = 0;      // over the time since the previous sample; 0 while another record is drawn
  double lyapunov = 0;            // the estimate at the last sample
  std::int64_t restarts = 0;      // random restarts during the pass (escapes, wild estimates)
  double litShare = 0;            // share of the picture's pixels that are not black, 0..1
  double elapsedSeconds = 0;      // since the pass began; stands still once it has ended
};

// The pixels of a picture that are not black. One pass over the rows with no per-pixel call; a 1024 x 768
// picture takes well under a millisecond (bench/document_bench.cpp).
std::int64_t CountLitPixels(const TPixelGraphic& picture);
// CountLitPixels over the number of pixels; 0 for an empty picture.
double LitShare(const TPixelGraphic& picture);

// Turns the engine's process-wide counters into one pass's figures. The engine runs one record at a time (a pass
// started inside another pauses it), so counts that moved between two samples belong to this pass only when the
// engine was working on its record at the sample; otherwise they are another pass's and are not counted. The
// Lyapunov estimate and the picture are the document's own and are always taken.
class TRenderHealthMeter {
 public:
  using TClock = std::chrono::steady_clock;

  void Start(const TEngineCounters& counters, TClock::time_point now);
  // engineOnRecord: the engine is drawing this pass's record now.
  void Sample(const TEngineCounters& counters, bool engineOnRecord, double lyapunov, double litShare,
              TClock::time_point now);
  // A last sample, then the figures stand still.
  void Stop(const TEngineCounters& counters, bool engineOnRecord, double lyapunov, double litShare,
            TClock::time_point now);

  const TRenderHealth& Health() const { return health_; }

 private:
  TRenderHealth health_;
  TEngineCounters last_;
  TClock::time_point start_{}, lastTime_{};
};
