// Leaving the program while pictures are drawn, and the guard that turns errors of commands into messages.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/formula.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"
#include "services/command_guard.h"
#include "windows/child_probe.h"

namespace {

class TThrowingObject : public QObject {
 public:
  int handled = 0;
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("thrown from an event handler");
    if (e->type() == QEvent::User + 1) {
      ++handled;
      return true;
    }
    return QObject::event(e);
  }
};

TEST(FrameExit, ExitWhilePassesInTwoWindowsRunEndsThemAllAndTheEventLoop) {
  RecordedMessages().clear();
  auto frame = std::make_unique<TMainForm>(TestServices());
  frame->show();
  ASSERT_TRUE(WaitUntil([&] { return frame->Children().size() == 1 && FirstShowDone(*frame->Children()[0]); }));
  Control<QAction>(*frame, "FileNewItem")->trigger();
  TMDIChild* a = frame->Children()[0];
  TMDIChild* b = frame->Children()[1];
  ASSERT_TRUE(WaitUntil([b] { return FirstShowDone(*b); }));

  auto stopAll = [&] {
    a->Abort();
    b->Abort();
  };
  bool exitIssued = false;
  int depthWhenExitReturned = -1;
  QTimer::singleShot(0, [&] {
    When([a] { return Drawing(*a); },
         [&] {
           When([b] { return Drawing(*b); },
                [&] {
                  exitIssued = true;
                  Control<QAction>(*frame, "CoolSpeedButton1")
                      ->trigger();  // a Rand waiting in the frame timer must not start either
                  Control<QAction>(*frame, "FileExitItem")->trigger();
                  depthWhenExitReturned = b->PassDepth();
                },
                stopAll);
           b->Menus().ifsItems[0]->trigger();
         },
         stopAll);
    a->Menus().miraItems[0]->trigger();
  });
  bool watchdogFired = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    watchdogFired = true;
    stopAll();
    QCoreApplication::quit();
  });
  watchdog.start(30000);

  const int result = QApplication::exec();
  watchdog.stop();
  EXPECT_FALSE(watchdogFired);
  EXPECT_TRUE(exitIssued);
  EXPECT_EQ(result, 0);
  // The exit returned into the running pass, which then ended on its own.
  EXPECT_EQ(depthWhenExitReturned, 1);
  EXPECT_EQ(a->PassDepth(), 0);
  EXPECT_EQ(b->PassDepth(), 0);
  EXPECT_FALSE(frame->isVisible());
  EXPECT_FALSE(Control<QTimer>(*frame, "Timer1")->isActive());
  EXPECT_TRUE(frame->ExitRequested());
  // Nothing starts once the user has asked to leave.
  TPixelGraphic* picture = a->Params().image;
  a->UpdateGrafX();
  EXPECT_EQ(a->Params().image, picture);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

// Each frame keeps its own exit request: the frame the user left refuses passes, the other one still draws.
TEST(FrameExit, LeavingOneFrameLeavesAnotherOneDrawing) {
  RecordedMessages().clear();
  const auto firstWindowShown = [](const TMainForm& frame) {
    return WaitUntil([&] { return frame.Children().size() == 1 && FirstShowDone(*frame.Children()[0]); });
  };
  auto left = std::make_unique<TMainForm>(TestServices());
  left->show();
  ASSERT_TRUE(firstWindowShown(*left));
  auto staying = std::make_unique<TMainForm>(TestServices());
  staying->show();
  ASSERT_TRUE(firstWindowShown(*staying));
  Control<QAction>(*left, "FileExitItem")->trigger();
  EXPECT_TRUE(left->ExitRequested());
  EXPECT_FALSE(staying->ExitRequested());
  TMDIChild* w = staying->Children()[0];
  bool drew = false;
  When([w] { return Drawing(*w); },
       [&] {
         drew = true;
         w->Abort();
       },
       [w] { w->Abort(); });
  w->Menus().ifsItems[0]->trigger();
  EXPECT_TRUE(drew);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

TEST(ErrorGuard, ACommandThatThrowsIsReportedAndReturnsFalse) {
  RecordedMessages().clear();
  EXPECT_FALSE(RunGuarded(TestServices(), nullptr, [] { throw std::runtime_error("the command failed"); }));
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(RecordedMessages().front(), QStringLiteral("the command failed"));
  EXPECT_TRUE(RunGuarded(TestServices(), nullptr, [] {}));
  EXPECT_EQ(RecordedMessages().size(), 1);
}

TEST(ErrorGuard, AnErrorInAnyEventHandlerIsReportedAndTheLoopGoesOn) {
  RecordedMessages().clear();
  TThrowingObject object;
  QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
  QCoreApplication::postEvent(&object, new QEvent(QEvent::Type(QEvent::User + 1)));
  ASSERT_TRUE(WaitUntil([&] { return object.handled == 1; }));
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(RecordedMessages().front(), QStringLiteral("thrown from an event handler"));
}

TEST(ErrorGuard, AnEngineFaultEndsThePassKeepsThePictureAndTheWindowGoesOn) {
  RecordedMessages().clear();
  auto frame = std::make_unique<TMainForm>(TestServices());
  frame->show();
  ASSERT_TRUE(WaitUntil([&] { return frame->Children().size() == 1 && FirstShowDone(*frame->Children()[0]); }));
  TMDIChild* w = frame->Children()[0];
  TMDIChildProbe::Record(*w).ifs0101 = true;
  for (double& c : TMDIChildProbe::Record(*w).af) c = std::numeric_limits<double>::quiet_NaN();
  Control<QAction>(*frame, "ApplyButton")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(RecordedMessages().front(), QString::fromLatin1(kFaultInvalidOperation));
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_TRUE(w->Params().abort);
  EXPECT_FALSE(w->ProgressTimerActive());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_EQ(w->Params().image, w->PictureView()->PixelGraphic());
  EXPECT_EQ(w->Params().image->Width(), 400);

  // The window draws again once its coefficients are sound.
  for (double& c : TMDIChildProbe::Record(*w).af) c = 0.3;
  When([w] { return Drawing(*w); }, [&] { Control<QAction>(*frame, "AbortButton")->trigger(); }, [w] { w->Abort(); });
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(w->PassDepth(), 0);
}

}  // namespace
