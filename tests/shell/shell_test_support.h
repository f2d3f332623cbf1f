// The frame tests drive windows the same way the window tests do; the helpers are shared.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QFile>
#include <QString>

#include "shell/main_form.h"
#include "windows/window_test_support.h"

// The settings file of this test run, in a temporary folder (main.cpp); no test touches the user's.
inline QString& TestSettingsFile() {
  static QString path;
  return path;
}
// Forgets every remembered setting, as on a first run.
inline void ClearTestSettings() { QFile::remove(TestSettingsFile()); }

// A fresh frame per test, shown; every pass is stopped before it goes.
class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordedMessages().clear();
    ClearTestSettings();
    frame = std::make_unique<TMainForm>(TestServices());
    frame->show();
  }
  void TearDown() override {
    if (!frame) return;
    for (TMDIChild* child : frame->Children()) child->Abort();
    frame.reset();
  }

  // Start-up: the frame opens its first window itself.
  TMDIChild* FirstWindow() {
    EXPECT_TRUE(WaitUntil([this] { return frame->Children().size() == 1; }));
    if (frame->Children().isEmpty()) return nullptr;
    TMDIChild* w = frame->Children().front();
    EXPECT_TRUE(WaitUntil([w] { return FirstShowDone(*w); }));
    return w;
  }

  TMDIChild* NewWindow() {
    Control<QAction>(*frame, "FileNewItem")->trigger();
    TMDIChild* w = frame->Children().back();
    EXPECT_TRUE(WaitUntil([w] { return FirstShowDone(*w); }));
    return w;
  }

  std::function<void()> StopAll() {
    return [this] {
      for (TMDIChild* child : frame->Children()) child->Abort();
    };
  }

  std::unique_ptr<TMainForm> frame;
};
