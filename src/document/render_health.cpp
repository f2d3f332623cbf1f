#include "document/render_health.h"

#include "image/pixel_graphic.h"

std::int64_t CountLitPixels(const TPixelGraphic& picture) {
  if (picture.Empty() || picture.Width() <= 0 || picture.Height() <= 0) return 0;
  std::int64_t lit = 0;
  const int width = picture.Width();
  if (picture.ColorRes() == TColorRes::Bits24) {
    for (int y = 0; y < picture.Height(); ++y) {
      const std::uint8_t* p = picture.ScanLine(y);
      // Adding the three bytes' "not zero" keeps the loop free of branches the compiler cannot flatten.
      for (int x = 0; x < width; ++x, p += 3) lit += (p[0] | p[1] | p[2]) != 0;
    }
    return lit;
  }
  // The engine draws only into 24-bit pictures; any other kind is counted through its colours.
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < width; ++x) lit += (picture.GetColor(x, y) & 0xFFFFFF) != 0;
  return lit;
}

double LitShare(const TPixelGraphic& picture) {
  const std::int64_t total = static_cast<std::int64_t>(picture.Width()) * picture.Height();
  if (picture.Empty() || total <= 0) return 0;
  return static_cast<double>(CountLitPixels(picture)) / static_cast<double>(total);
}

void TRenderHealthMeter::Start(const TEngineCounters& counters, TClock::time_point now) {
  health_ = TRenderHealth{};
  health_.started = true;
  health_.running = true;
  last_ = counters;
  start_ = lastTime_ = now;
}

void TRenderHealthMeter::Sample(const TEngineCounters& counters, bool engineOnRecord, double lyapunov,
                                double litShare, TClock::time_point now) {
  if (!health_.running) return;
  const std::int64_t steps = counters.mainSteps - last_.mainSteps;
  const std::int64_t restarts = counters.restarts - last_.restarts;
  const double seconds = std::chrono::duration<double>(now - lastTime_).count();
  // Counters cleared in between (a test, a reset of the engine) would give negative counts: nothing is counted.
  const bool ours = engineOnRecord && steps >= 0 && restarts >= 0;
  if (ours) {
    health_.steps += steps;
    health_.restarts += restarts;
  }
  // The estimate and the picture are the record's own, whoever is drawing now.
  health_.lyapunov = lyapunov;
  health_.litShare = litShare;
  if (seconds > 0) health_.stepsPerSecond = ours ? static_cast<double>(steps) / seconds : 0;
  health_.elapsedSeconds = std::chrono::duration<double>(now - start_).count();
  last_ = counters;
  lastTime_ = now;
}

void TRenderHealthMeter::Stop(const TEngineCounters& counters, bool engineOnRecord, double lyapunov,
                              double litShare, TClock::time_point now) {
  Sample(counters, engineOnRecord, lyapunov, litShare, now);
  health_.running = false;
  health_.stepsPerSecond = 0;
}
