// Helpers for driving fractal windows in tests. A render pass does not return until it is stopped, so a test
// arranges what happens during the pass beforehand (When), then starts it; waits are on conditions with a
// deadline, and a deadline that passes stops every pass so that a failing test cannot hang.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>

#include "engine/formula.h"
#include "windows/childwin.h"
#include "windows/user_message.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

struct TPumpingHost : EngineHost {
  void ProcessMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
  void ParametersUpdate() override { ++parameterUpdates; }
  int parameterUpdates = 0;
};

// Every information or error box the code under test opened, in order.
inline QStringList& RecordedMessages() {
  static QStringList messages;
  return messages;
}
inline void InstallMessageRecorder() {
  SetMessageSink([](QWidget*, const QString& text) { RecordedMessages().append(text); });
}

inline constexpr int kWaitMs = 10000;

// Pumps events until pred holds or the deadline passes; returns pred's last value.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = kWaitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!pred()) {
    if (clock.elapsed() > timeoutMs) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// Runs action once pred holds, from the event loop (that is, from inside a running pass). When the deadline
// passes first, the test fails and onTimeout runs instead (normally: stop every pass).
inline void When(std::function<bool()> pred, std::function<void()> action, std::function<void()> onTimeout,
                 int timeoutMs = kWaitMs) {
  auto* timer = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [=] {
    const bool ready = pred();
    if (!ready && clock->elapsed() <= timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    delete clock;
    if (ready) {
      action();
    } else {
      ADD_FAILURE() << "condition not reached within " << timeoutMs << " ms";
      onTimeout();
    }
  });
  timer->start();
}

// A window that has had its first show.
inline bool FirstShowDone(const TMDIChild& w) { return !w.IsFirstShowPending() && w.PassDepth() == 0; }

// The engine is drawing in this window's pass at the given nesting depth.
inline bool Drawing(const TMDIChild& w, int depth = 1, std::int64_t minIterations = 200) {
  return w.PassDepth() == depth && !w.Params().abort && w.Params().iterations >= minIterations;
}
