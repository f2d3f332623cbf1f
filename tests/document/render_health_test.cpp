#include "document/render_health.h"

#include <gtest/gtest.h>

#include "document/fractal_document.h"
#include "engine/formula.h"
#include "image/pixel_graphic.h"

namespace {
using TClock = TRenderHealthMeter::TClock;
using std::chrono::milliseconds;

TEngineCounters Counters(std::int64_t steps, std::int64_t restarts) {
  TEngineCounters c;
  c.mainSteps = steps;
  c.restarts = restarts;
  return c;
}
}  // namespace

TEST(RenderHealth, LitPixelsAreThoseWithAnyChannelSetAndTheShareIsOverTheWholePicture) {
  TPixelGraphic picture;
  picture.SetSize(5, 3, TColorRes::Bits24);
  EXPECT_EQ(CountLitPixels(picture), 0);
  // One channel at its lowest value is enough; the last column and the last row count like the others.
  picture.SetPixel(0, 0, 0x000001);
  picture.SetPixel(4, 0, 0x000100);
  picture.SetPixel(4, 2, 0x010000);
  picture.SetPixel(2, 1, 0xFFFFFF);
  EXPECT_EQ(CountLitPixels(picture), 4);
  EXPECT_DOUBLE_EQ(LitShare(picture), 4.0 / 15.0);

  TPixelGraphic empty;
  EXPECT_EQ(CountLitPixels(empty), 0);
  EXPECT_EQ(LitShare(empty), 0.0);
}

TEST(RenderHealth, CountsMovedWhileAnotherRecordWasDrawnAreNotThisPasss) {
  TRenderHealthMeter meter;
  EXPECT_FALSE(meter.Health().started);
  const TClock::time_point t0{};
  meter.Start(Counters(100, 2), t0);
  EXPECT_TRUE(meter.Health().started);
  EXPECT_TRUE(meter.Health().running);
  EXPECT_EQ(meter.Health().steps, 0);

  meter.Sample(Counters(1100, 3), true, 0.25, 0.5, t0 + milliseconds(500));
  EXPECT_EQ(meter.Health().steps, 1000);
  EXPECT_EQ(meter.Health().restarts, 1);
  EXPECT_DOUBLE_EQ(meter.Health().stepsPerSecond, 2000.0);
  EXPECT_DOUBLE_EQ(meter.Health().lyapunov, 0.25);
  EXPECT_DOUBLE_EQ(meter.Health().litShare, 0.5);

  // A pass of another window ran meanwhile (this one waited inside it): its steps and restarts are not ours.
  meter.Sample(Counters(5100, 9), false, 0.25, 0.5, t0 + milliseconds(1000));
  EXPECT_EQ(meter.Health().steps, 1000);
  EXPECT_EQ(meter.Health().restarts, 1);
  EXPECT_EQ(meter.Health().stepsPerSecond, 0.0);
  EXPECT_DOUBLE_EQ(meter.Health().elapsedSeconds, 1.0);

  // Back to drawing: counted from where the other pass left the counters.
  meter.Sample(Counters(5600, 9), true, -0.125, 0.75, t0 + milliseconds(1250));
  EXPECT_EQ(meter.Health().steps, 1500);
  EXPECT_DOUBLE_EQ(meter.Health().stepsPerSecond, 2000.0);
  EXPECT_DOUBLE_EQ(meter.Health().lyapunov, -0.125);

  // Counters cleared under the meter count nothing rather than something negative.
  meter.Sample(Counters(10, 0), true, 0, 0.75, t0 + milliseconds(1500));
  EXPECT_EQ(meter.Health().steps, 1500);
  EXPECT_EQ(meter.Health().restarts, 1);

  meter.Stop(Counters(110, 0), true, 0, 0.75, t0 + milliseconds(2000));
  EXPECT_FALSE(meter.Health().running);
  EXPECT_EQ(meter.Health().steps, 1600);
  EXPECT_EQ(meter.Health().stepsPerSecond, 0.0);
  EXPECT_DOUBLE_EQ(meter.Health().elapsedSeconds, 2.0);
  // Once stopped the figures stand still.
  meter.Sample(Counters(900, 5), true, 1, 1, t0 + milliseconds(9000));
  EXPECT_EQ(meter.Health().steps, 1600);
  EXPECT_DOUBLE_EQ(meter.Health().elapsedSeconds, 2.0);

  // A new pass starts from nothing.
  meter.Start(Counters(900, 5), t0 + milliseconds(9000));
  EXPECT_EQ(meter.Health().steps, 0);
  EXPECT_EQ(meter.Health().restarts, 0);
}

TEST(RenderHealth, ADocumentsPassCountsExactlyTheStepsTheEngineTookForItsRecord) {
  ResetEngineState();
  SeedEngineRandom(7);
  TFractalDocument d(200, 150);
  d.Resize(200, 150);
  d.ToggleMiraVariant(1);
  ASSERT_TRUE(d.PrepareRun());
  constexpr std::int64_t kSteps = 20000;
  SetEngineStepBudget(kSteps);
  d.StartHealth();
  d.Params().abort = false;
  RunFractal(&d.Params());
  d.StopHealth();
  SetEngineStepBudget(kNoStepBudget);

  EXPECT_EQ(EngineRecord(), &d.Record());
  const TRenderHealth& h = d.Health();
  EXPECT_FALSE(h.running);
  EXPECT_EQ(h.steps, kSteps);
  EXPECT_EQ(h.restarts, GetEngineCounters().restarts);
  EXPECT_DOUBLE_EQ(h.lyapunov, d.Record().lyapunov);
  ASSERT_NE(d.Picture(), nullptr);
  EXPECT_GT(CountLitPixels(*d.Picture()), 0);
  EXPECT_DOUBLE_EQ(h.litShare, LitShare(*d.Picture()));
  ResetEngineState();
}
