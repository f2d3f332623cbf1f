// Helpers for driving fractal windows in tests. A render pass does not return until it is stopped, so a test
// arranges what happens during the pass beforehand (When), then starts it; waits are on conditions with a
// deadline, and a deadline that passes stops every pass so that a failing test cannot hang.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QSettings>
#include <functional>
#include <memory>
#include <ostream>

#include "dialogs/control.h"
#include "engine/formula.h"
#include "files/file_system.h"
#include "services/services.h"
#include "windows/childwin.h"

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

using TFileDialogFunction = std::function<TFileDialogResult(QWidget* parent, const TFileDialogRequest& request)>;
using TWarningAsker = std::function<bool(QWidget* parent, const QString& caption, const QString& text, bool okCancel)>;
using TChoiceAsker =
    std::function<int(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons)>;
using TModalRunner = std::function<int(QDialog& dialog)>;
using TMessageSink = std::function<void(QWidget* parent, const QString& text)>;

// The services the windows and frames under test are given: every box goes to the sink (by default the
// recorder), the settings to a file of the test run's own; a dialog a test has not answered runs as it would
// for the user, which only a test that clicks it from a timer may let happen.
struct TTestServices : TServices {
  TFileDialogFunction saveDialog, openDialog;
  TWarningAsker warningAsker;
  TChoiceAsker choiceAsker;  // unset: a question is a failure of the test, answered with the last button
  TModalRunner modalRunner;
  TMessageSink messageSink;
  QString settingsFile;  // empty: the user's, which no test may touch
  int saveProgressMinimumDurationMs = 500;
  const TFileSystem* fileSystem = nullptr;  // unset: the system's

  // Forgets every answer a test set.
  void ClearAnswers() {
    saveDialog = openDialog = {};
    warningAsker = {};
    choiceAsker = {};
    modalRunner = {};
    messageSink = {};
    saveProgressMinimumDurationMs = 500;
    fileSystem = nullptr;
  }

  TFileDialogResult RunSaveFileDialog(QWidget* parent, const TFileDialogRequest& request) override {
    return saveDialog ? saveDialog(parent, request) : TServices::RunSaveFileDialog(parent, request);
  }
  TFileDialogResult RunOpenFileDialog(QWidget* parent, const TFileDialogRequest& request) override {
    return openDialog ? openDialog(parent, request) : TServices::RunOpenFileDialog(parent, request);
  }
  bool AskWarningBox(QWidget* parent, const QString& caption, const QString& text, bool okCancel) override {
    return warningAsker ? warningAsker(parent, caption, text, okCancel)
                        : TServices::AskWarningBox(parent, caption, text, okCancel);
  }
  int AskChoice(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons) override {
    if (choiceAsker) return choiceAsker(parent, caption, text, buttons);
    ADD_FAILURE() << "an unanswered question: " << text.toStdString();
    return static_cast<int>(buttons.size()) - 1;
  }
  int RunModalDialog(QDialog& dialog) override {
    return modalRunner ? modalRunner(dialog) : TServices::RunModalDialog(dialog);
  }
  void ShowInformation(QWidget* parent, const QString& text) override { Show(parent, text); }
  void ShowError(QWidget* parent, const QString& text) override { Show(parent, text); }
  std::unique_ptr<QSettings> OpenSettings() override {
    if (settingsFile.isEmpty()) {
      ADD_FAILURE() << "a test opened the user's settings";
      return TServices::OpenSettings();
    }
    return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  }
  int SaveProgressMinimumDurationMs() const override { return saveProgressMinimumDurationMs; }
  const TFileSystem& FileSystem() const override { return fileSystem ? *fileSystem : TServices::FileSystem(); }

 private:
  void Show(QWidget* parent, const QString& text) {
    if (messageSink)
      messageSink(parent, text);
    else
      RecordedMessages().append(text);
  }
};

// One for the test program, as the desktop program has one.
inline TTestServices& TestServices() {
  static TTestServices services;
  return services;
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
