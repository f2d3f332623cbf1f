// The frame driven through its real actions: start-up, window numbering, merged menus, the Window menu,
// toolbar commands, shortcuts and enabling.
#include "shell/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "image/pixel_graphic.h"
#include "main_form_probe.h"
#include "services/mode_word.h"
#include "shell_test_support.h"
#include "windows/child_probe.h"

namespace {

QStringList MenuBarCaptions(const TMainForm& frame) {
  QStringList captions;
  for (QAction* action : frame.menuBar()->actions()) captions.append(action->text());
  return captions;
}

class Frame : public FrameTest {};

TEST_F(Frame, StartsWithOneWindowThatIsRenamedAtItsFirstShow) {
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Ovel"));
  EXPECT_EQ(frame->ModeWord(), QStringLiteral("NEW"));
  EXPECT_TRUE(frame->Children().isEmpty());
  // Nothing to close or arrange before the first window.
  EXPECT_FALSE(Control<QAction>(*frame, "FileCloseItem")->isEnabled());
  EXPECT_FALSE(Control<QAction>(*frame, "WindowCascadeItem")->isEnabled());
  EXPECT_FALSE(Control<QAction>(*frame, "WindowTileItem")->isEnabled());
  EXPECT_FALSE(Control<QAction>(*frame, "WindowArrangeItem")->isEnabled());
  EXPECT_FALSE(Control<QAction>(*frame, "WindowMinimizeItem")->isEnabled());

  QString captionWhenOpened;
  QObject::connect(Control<QMdiArea>(*frame, "MdiArea"), &QMdiArea::subWindowActivated, [&](QMdiSubWindow* w) {
    if (w && captionWhenOpened.isEmpty()) captionWhenOpened = w->windowTitle();
  });
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(captionWhenOpened, QStringLiteral("Ovel IFS: 1"));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
  EXPECT_EQ(frame->ModeWord(), QStringLiteral("Ovel IFS "));
  EXPECT_EQ(w->Params().image->Width(), 400);
  EXPECT_EQ(w->Params().image->Height(), 300);
  EXPECT_TRUE(w->StatusPanel(0)->text().isEmpty());
  EXPECT_TRUE(Control<QAction>(*frame, "FileCloseItem")->isEnabled());
  EXPECT_TRUE(Control<QAction>(*frame, "WindowMinimizeItem")->isEnabled());
  EXPECT_TRUE(Control<QAction>(*frame, "FileSaveAsItem")->isEnabled());
  EXPECT_EQ(frame->Children().size(), 1);
}

TEST_F(Frame, NewWindowsAreNumberedByTheWindowsAlreadyOpen) {
  FirstWindow();
  Control<QAction>(*frame, "FileNewItem")->trigger();
  EXPECT_EQ(frame->Children().back()->windowTitle(), QStringLiteral("Ovel IFS: 2"));
  EXPECT_EQ(frame->ModeWord(), QStringLiteral("NEW"));
  Control<QAction>(*frame, "FileNewItem")->trigger();
  EXPECT_EQ(frame->Children().back()->windowTitle(), QStringLiteral("Ovel IFS: 3"));
  EXPECT_TRUE(WaitUntil([this] {
    for (TMDIChild* w : frame->Children())
      if (!FirstShowDone(*w)) return false;
    return true;
  }));
  for (TMDIChild* w : frame->Children()) EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));
}

TEST_F(Frame, ActiveWindowMenusSitBetweenFileAndWindow) {
  TMDIChild* first = FirstWindow();
  const QStringList expected{QStringLiteral("&File"),   QStringLiteral("&Edit"),           QStringLiteral("View"),
                             QStringLiteral("XY Size"), QStringLiteral("G-Mira / Martin"), QStringLiteral("IFS-01"),
                             QStringLiteral("Coefficients"), QStringLiteral("&Window"),    QStringLiteral("&Help")};
  EXPECT_EQ(MenuBarCaptions(*frame), expected);
  EXPECT_EQ(frame->MergedChild(), first);

  TMDIChild* second = NewWindow();
  EXPECT_EQ(frame->MergedChild(), second);
  EXPECT_EQ(MenuBarCaptions(*frame), expected);
  EXPECT_EQ(frame->menuBar()->actions()[4], second->Menus().Mira1->menuAction());

  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(first);
  EXPECT_EQ(frame->MergedChild(), first);
  EXPECT_EQ(frame->menuBar()->actions()[4], first->Menus().Mira1->menuAction());
  EXPECT_EQ(MenuBarCaptions(*frame), expected);
}

TEST_F(Frame, ToolbarTipsNameTheKeysOfTheirButtons) {
  EXPECT_EQ(Control<QAction>(*frame, "AbortButton")->toolTip(), QStringLiteral("Stop (Esc)"));
  EXPECT_EQ(Control<QAction>(*frame, "ApplyButton")->toolTip(), QStringLiteral("Apply (F5)"));
  EXPECT_EQ(Control<QAction>(*frame, "CoolSpeedButton5")->toolTip(), QStringLiteral("Params (F2)"));
  EXPECT_EQ(Control<QAction>(*frame, "CButton")->toolTip(), QStringLiteral("Const (F3)"));
  EXPECT_EQ(Control<QAction>(*frame, "CoolSpeedButton1")->toolTip(),
            QStringLiteral("Rand (%1)").arg(QKeySequence(Qt::CTRL | Qt::Key_R).toString(QKeySequence::NativeText)));
}

TEST_F(Frame, WindowMenuListsTheWindowsAndArrangesThem) {
  FirstWindow();
  NewWindow();
  NewWindow();
  frame->UpdateWindowMenu();
  QStringList listed;
  for (QAction* action : Control<QMenu>(*frame, "Window1")->actions())
    if (action->isCheckable()) listed.append(action->text());
  EXPECT_EQ(listed.size(), 3);
  EXPECT_TRUE(listed[2].endsWith(QStringLiteral("Ovel-index.ifs")));

  Control<QAction>(*frame, "WindowTileItem")->trigger();
  const QList<TMDIChild*> windows = frame->Children();
  for (int i = 0; i < windows.size(); ++i)
    for (int j = i + 1; j < windows.size(); ++j)
      EXPECT_FALSE(windows[i]->geometry().intersects(windows[j]->geometry())) << i << " and " << j;

  Control<QAction>(*frame, "WindowCascadeItem")->trigger();
  EXPECT_NE(windows[0]->pos(), windows[1]->pos());

  Control<QAction>(*frame, "WindowMinimizeItem")->trigger();
  for (TMDIChild* w : windows) EXPECT_TRUE(w->isMinimized());
  Control<QAction>(*frame, "WindowArrangeItem")->trigger();
  // In rows from the bottom up, inside the area.
  const QRect area(QPoint(0, 0), Control<QMdiArea>(*frame, "MdiArea")->viewport()->size());
  EXPECT_EQ(windows[0]->geometry().bottom(), area.bottom());
  EXPECT_EQ(windows[0]->x(), 0);
  for (TMDIChild* w : windows) EXPECT_TRUE(area.contains(w->geometry())) << w->x() << "," << w->y();
  for (int i = 0; i < windows.size(); ++i)
    for (int j = i + 1; j < windows.size(); ++j)
      EXPECT_FALSE(windows[i]->geometry().intersects(windows[j]->geometry()));
}

TEST_F(Frame, CloseMinimisesTheActiveWindowAndStopsItsPass) {
  TMDIChild* w = FirstWindow();
  When([w] { return Drawing(*w); }, [this] { Control<QAction>(*frame, "FileCloseItem")->trigger(); }, StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_TRUE(w->isMinimized());
  EXPECT_EQ(frame->Children().size(), 1);
}

TEST_F(Frame, RandWhileTheModeWordIsNewOpensAnotherWindow) {
  FirstWindow();
  TMainFormProbe::ModeWord(*frame).Set(kModeNew);
  Control<QAction>(*frame, "CoolSpeedButton1")->trigger();
  EXPECT_TRUE(WaitUntil([this] { return frame->Children().size() == 2; }));
  EXPECT_EQ(frame->Children().back()->windowTitle(), QStringLiteral("Ovel IFS: 2"));
}

// Two frames in one process: a file loaded in one frame's window leaves the other frame's word alone, so that
// frame's Rand still opens the window its word asks for instead of redrawing.
TEST_F(Frame, EachFrameKeepsItsOwnModeWord) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  auto other = std::make_unique<TMainForm>(TestServices());
  other->show();
  ASSERT_TRUE(WaitUntil([&] { return other->Children().size() == 1 && FirstShowDone(*other->Children().front()); }));
  TMainFormProbe::ModeWord(*other).Set(kModeNew);

  const QString file = QStringLiteral(OVEL_SOURCE_DIR "/docs/gallery/ifs-crystal.ifs");
  w->LoadFromParameterFile(file);
  EXPECT_EQ(frame->ModeWord(), file);
  EXPECT_EQ(other->ModeWord(), kModeNew);
  Control<QAction>(*other, "CoolSpeedButton1")->trigger();
  EXPECT_TRUE(WaitUntil([&] { return other->Children().size() == 2; }));
  EXPECT_EQ(frame->Children().size(), 1);
  EXPECT_EQ(frame->ModeWord(), file);
  EXPECT_TRUE(RecordedMessages().isEmpty()) << RecordedMessages().join(QStringLiteral("; ")).toStdString();
  for (TMDIChild* child : other->Children()) child->Abort();
}

TEST_F(Frame, RandRedrawsTheActiveWindowWithNewCoefficients) {
  TMDIChild* w = FirstWindow();
  TMDIChildProbe::Record(*w).mira0101 = true;
  TMDIChildProbe::Record(*w).randomize = false;
  TMDIChildProbe::Record(*w).af[1] = 123.0;
  bool drew = false;
  When([w] { return Drawing(*w); },
       [&, this] {
         drew = true;
         Control<QAction>(*frame, "AbortButton")->trigger();
       },
       StopAll());
  Control<QAction>(*frame, "CoolSpeedButton1")->trigger();
  EXPECT_TRUE(w->Params().randomize);
  ASSERT_TRUE(WaitUntil([&] { return drew && w->PassDepth() == 0; }));
  EXPECT_FALSE(w->Params().randomize);
  EXPECT_NE(w->Params().af[1], 123.0);
  EXPECT_EQ(frame->Children().size(), 1);
}

TEST_F(Frame, ApplyDrawsTheCoefficientsAsTheyAre) {
  TMDIChild* w = FirstWindow();
  TMDIChildProbe::Record(*w).mira0101 = true;
  TMDIChildProbe::Record(*w).randomize = true;
  TMDIChildProbe::Record(*w).af[1] = 0.3;
  When([w] { return Drawing(*w); }, [this] { Control<QAction>(*frame, "AbortButton")->trigger(); }, StopAll());
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_DOUBLE_EQ(w->Params().af[1], 0.3);
  EXPECT_EQ(w->PassDepth(), 0);
}

TEST_F(Frame, ResetRestoresTheDefaultView) {
  TMDIChild* w = FirstWindow();
  TMDIChildProbe::Record(*w).zoom = 7.0;
  TMDIChildProbe::Record(*w).xCenter = 3.0;
  Control<QAction>(*frame, "CoolSpeedButton3")->trigger();
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_DOUBLE_EQ(w->Params().xCenter, 0.0);
}

TEST_F(Frame, EscapeAndCtrlPeriodStopTheDrawing) {
  TMDIChild* w = FirstWindow();
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  for (QKeySequence keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_Period)}) {
    When([w] { return Drawing(*w); }, [this, keys] { QTest::keySequence(frame.get(), keys); }, StopAll());
    w->Menus().miraItems[0]->trigger();  // on, then off in the second round
    EXPECT_EQ(w->PassDepth(), 0) << keys.toString().toStdString();
    TMDIChildProbe::Record(*w).mira0101 = false;
  }
  // F5 is Apply, Ctrl+R is Rand.
  EXPECT_EQ(Control<QAction>(*frame, "ApplyButton")->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_EQ(Control<QAction>(*frame, "CoolSpeedButton1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
  EXPECT_EQ(Control<QAction>(*frame, "FileNewItem")->shortcut(), QKeySequence(QKeySequence::New));
  EXPECT_EQ(Control<QAction>(*frame, "FileExitItem")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(Frame, WindowsFitThemselvesIntoTheFrame) {
  TMDIChild* w = FirstWindow();
  const QSize reported = w->PictureView()->NewAutoSize();
  const QSize frameClient(frame->width(), frame->height() - frame->menuBar()->height());
  EXPECT_EQ(w->ClientSize(), FitClientSize(reported.width(), reported.height(), frameClient));
}

TEST_F(Frame, TheFrameIsTheEngineHost) {
  EXPECT_EQ(GetEngineHost(), static_cast<EngineHost*>(frame.get()));
  frame.reset();
  EXPECT_EQ(GetEngineHost(), nullptr);
}

}  // namespace
