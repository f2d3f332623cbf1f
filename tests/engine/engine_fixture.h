// A fractal as a window holds it (record, 24-bit picture, three N x N hit lists) and a host whose reactions a test
// scripts. The engine state is put back to its program-start values around every test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/engine_state.h"
#include "engine/formula.h"
#include "engine/fractal_params.h"
#include "image/pixel_graphic.h"

struct TTestFractal {
  TFractalParams v;
  TPixelGraphic image;
  THitList red, green, blue;

  // The view maps world coordinates 1:1 onto pixels: x in (0, width) is column x, y in (0, height) is row y.
  TTestFractal(int width, int height) {
    image.SetSize(width, height, TColorRes::Bits24);
    const std::size_t n = static_cast<std::size_t>(std::max(width, height));
    red.assign(n * n, 0);
    green.assign(n * n, 0);
    blue.assign(n * n, 0);
    v.imageWidth = v.plotWidth = width;
    v.imageHeight = v.plotHeight = height;
    v.plotXMin = 0;
    v.plotXMax = width;
    v.plotYMin = 0;
    v.plotYMax = height;
    v.image = &image;
    v.redList = &red;
    v.greenList = &green;
    v.blueList = &blue;
    v.red = v.green = v.blue = 1.0;
    v.intensity = 1;
    v.ifs01 = v.ifs0101 = true;
    v.none = true;
  }

  int GridSize() const { return std::max(v.imageWidth, v.imageHeight); }
  std::size_t Cell(int ix, int iy) const { return static_cast<std::size_t>(ix) * GridSize() + iy; }

  // IFS0101 with a1..a4 = 0 sends every point to (x, y) at map offset j.
  void SetConstantMap(double x, double y, int j = 0) {
    for (int k = 1; k <= 4; ++k) v.af[j + k] = 0;
    v.af[j + 5] = x;
    v.af[j + 6] = y;
  }

  std::vector<std::uint8_t> Pixels() const {
    const std::uint8_t* bits = image.Bits();
    return std::vector<std::uint8_t>(bits, bits + image.ImageSize());
  }
  std::int64_t NonZeroCells() const {
    std::int64_t cells = 0;
    for (std::size_t i = 0; i < red.size(); ++i) cells += (red[i] | green[i] | blue[i]) != 0;
    return cells;
  }
};

class TScriptedHost : public EngineHost {
 public:
  std::function<void()> onPump;
  std::function<void()> onParametersUpdate;
  int pumps = 0;
  int updates = 0;

  void ProcessMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  void ParametersUpdate() override {
    ++updates;
    if (onParametersUpdate) onParametersUpdate();
  }
};

// Pumps after every 256 passes exactly, so tests can count on when a handler runs.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEngineState();
    SetEnginePumpInterval(std::chrono::microseconds{0});
    SetEngineHost(&host);
  }
  void TearDown() override {
    SetEngineHost(nullptr);
    SetEnginePumpInterval(kDefaultPumpInterval);
    ResetEngineState();
  }

  // Two records drawn on the one engine: the outer run's first pump starts the inner run (the pass a preset chosen
  // while drawing would start), whose third pump stops it (Stop). outerAtNesting: the outer run's steps by then.
  struct TNestedRuns {
    TTestFractal outer{400, 300}, inner{400, 300};
    std::int64_t outerAtNesting = -1;
  };
  void RunNested(TNestedRuns& runs) {
    runs.outer.SetConstantMap(10.2, 20.4);
    runs.inner.SetConstantMap(30.2, 40.4);
    int innerPumps = 0;
    host.onPump = [&] {
      if (runs.outerAtNesting < 0) {
        runs.outerAtNesting = runs.outer.v.iterations;
        runs.inner.v.abort = false;
        RunFractal(&runs.inner.v);
        return;
      }
      if (++innerPumps == 3) runs.inner.v.abort = true;
    };
    runs.outer.v.abort = false;
    RunFractal(&runs.outer.v);
    host.onPump = nullptr;
  }

  // Runs the record for exactly `steps` main steps.
  void RunSteps(TTestFractal& f, std::int64_t steps) {
    SetEngineStepBudget(steps);
    f.v.abort = false;
    RunFractal(&f.v);
  }

  TScriptedHost host;
};
