// Undo and redo through the real frame: the Edit menu and its keys, steps of commands and of dialog edits,
// slider bursts as one step, Rand's coefficients coming back, sizes re-made, loads, and undo while passes draw.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <memory>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/spin_edit.h"
#include "dialogs/tool_window.h"
#include "document/fractal_document.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"
#include "windows/child_probe.h"

namespace {

class Undo : public FrameTest {
 protected:
  TMDIChild* Settled() {
    TMDIChild* w = FirstWindow();
    EXPECT_TRUE(Settle());
    return w;
  }

  // Both debounces have run out: the dialogs' values are in the record and nothing waits.
  bool Settle() {
    return WaitUntil([this] {
      return !Control<TForm4>(*frame, "Form4")->DebouncePending() &&
             !Control<TCForm>(*frame, "CForm")->DebouncePending();
    });
  }

  // Runs a command that draws in w, stops the drawing once it is under way, and checks that it did draw.
  void DrawAndStop(TMDIChild* w, const std::function<void()>& command, int depth = 1) {
    auto stopped = std::make_shared<bool>(false);
    When([w, depth] { return Drawing(*w, depth); },
         [stopped, w] {
           *stopped = true;
           w->Abort();
         },
         StopAll());
    command();
    EXPECT_TRUE(WaitUntil([&] { return *stopped && w->PassDepth() == 0; })) << "the command did not draw";
  }

  void UndoAndStop(TMDIChild* w) {
    DrawAndStop(w, [this] { Control<QAction>(*frame, "EditUndoItem")->trigger(); });
  }
  void RedoAndStop(TMDIChild* w) {
    DrawAndStop(w, [this] { Control<QAction>(*frame, "EditRedoItem")->trigger(); });
  }

  static int Steps(const TMDIChild* w) { return w->UndoStack()->count(); }
};

TEST_F(Undo, CommandsAreStepsThatUndoAndRedoInOrderAndDraw) {
  TMDIChild* w = Settled();
  ASSERT_NE(w, nullptr);
  // Nothing to undo after the first show, its dialog round trip included.
  EXPECT_FALSE(Control<QAction>(*frame, "EditUndoItem")->isEnabled());
  EXPECT_FALSE(Control<QAction>(*frame, "EditRedoItem")->isEnabled());
  EXPECT_EQ(Steps(w), 0);
  const TCoefficients blank = w->Params().af;

  DrawAndStop(w, [w] { w->Menus().miraItems[0]->trigger(); });
  ASSERT_TRUE(Settle());
  const TCoefficients drawn = w->Params().af;  // random: the first pass of a window draws new ones
  EXPECT_NE(drawn, blank);
  EXPECT_TRUE(Control<QAction>(*frame, "EditUndoItem")->isEnabled());
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Preset"));

  DrawAndStop(w, [w] { w->Menus().ZoomOut1->trigger(); });
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.115);
  DrawAndStop(w, [this] { Control<QAction>(*frame, "CoolSpeedButton3")->trigger(); });  // Reset
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  // Reset on the default view changes nothing and is no step.
  DrawAndStop(w, [this] { Control<QAction>(*frame, "CoolSpeedButton3")->trigger(); });
  EXPECT_EQ(Steps(w), 3);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Reset"));

  UndoAndStop(w);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.115);
  EXPECT_EQ(Control<QAction>(*frame, "EditRedoItem")->text(), QStringLiteral("&Redo Reset"));
  UndoAndStop(w);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  // The preset goes: nothing is selected, so nothing draws.
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_FALSE(w->Params().mira0101);
  EXPECT_TRUE(w->Params().randomize);
  EXPECT_FALSE(Control<QAction>(*frame, "EditUndoItem")->isEnabled());

  // Redo draws the coefficients the preset drew, not new random ones.
  RedoAndStop(w);
  EXPECT_TRUE(w->Params().mira0101);
  EXPECT_EQ(w->Params().af, drawn);
  RedoAndStop(w);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.115);
  EXPECT_TRUE(Control<QAction>(*frame, "EditRedoItem")->isEnabled());

  // A new change ends the redo history.
  DrawAndStop(w, [w] { w->Menus().mapsItems[2]->trigger(); });
  EXPECT_FALSE(Control<QAction>(*frame, "EditRedoItem")->isEnabled());
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Coefficient Count"));
}

TEST_F(Undo, TheKeysAreCtrlZAndCtrlShiftZ) {
  TMDIChild* w = Settled();
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_TRUE(
      Control<QAction>(*frame, "EditRedoItem")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  w->Menus().mapsItems[0]->trigger();  // nothing selected: no drawing
  EXPECT_EQ(w->Params().maps, 1);
  QTest::keySequence(frame.get(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(w->Params().maps, 2);
  QTest::keySequence(frame.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  EXPECT_EQ(w->Params().maps, 1);
}

TEST_F(Undo, ABurstOfSliderMovesIsOneStepAndTheDialogsShowWhatUndoBringsBack) {
  TMDIChild* w = Settled();
  TForm4& p = *Control<TForm4>(*frame, "Form4");
  const double red = w->Params().red;
  const int position = Control<QSlider>(p, "RedBar1")->value();
  // Moves within one debounce, then more after it: a drag with a pause is still one step.
  for (int v = position + 1; v <= position + 4; ++v) Control<QSlider>(p, "RedBar1")->setValue(v);
  ASSERT_TRUE(Settle());
  for (int v = position + 5; v <= position + 8; ++v) Control<QSlider>(p, "RedBar1")->setValue(v);
  Control<QSlider>(p, "GrnBar1")->setValue(3);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Steps(w), 1);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Parameters"));
  EXPECT_DOUBLE_EQ(w->Params().red, (position + 8) * 0.04);

  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_EQ(w->Params().red, red);
  EXPECT_EQ(Control<QSlider>(p, "RedBar1")->value(), position);
  EXPECT_EQ(Control<QSlider>(p, "GrnBar1")->value(), 20);
  // The refill comes back through the debounce; that is no new step, so redo is still there.
  ASSERT_TRUE(Settle());
  EXPECT_EQ(w->Params().red, red);
  EXPECT_TRUE(Control<QAction>(*frame, "EditRedoItem")->isEnabled());
  Control<QAction>(*frame, "EditRedoItem")->trigger();
  EXPECT_EQ(Control<QSlider>(p, "RedBar1")->value(), position + 8);
  EXPECT_EQ(Control<QSlider>(p, "GrnBar1")->value(), 3);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Steps(w), 1);
}

TEST_F(Undo, AnEditStillWaitingForItsDebounceIsWhatUndoTakesBack) {
  TMDIChild* w = Settled();
  w->Menus().mapsItems[0]->trigger();
  CoefficientEdit(*frame, 5)->SetValue(0.25);
  // Undo at once: the typed coefficient is the newest step.
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_EQ(w->Params().af[5], 0.0);
  EXPECT_EQ(w->Params().maps, 1);
  EXPECT_EQ(CoefficientEdit(*frame, 5)->Value(), 0.0);
  EXPECT_EQ(Control<QAction>(*frame, "EditRedoItem")->text(), QStringLiteral("&Redo Coefficients"));
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_EQ(w->Params().maps, 2);
}

TEST_F(Undo, RandIsUndoneToTheEarlierCoefficientsAndRedoneToItsOwn) {
  TMDIChild* w = Settled();
  DrawAndStop(w, [w] { w->Menus().miraItems[0]->trigger(); });
  ASSERT_TRUE(Settle());
  const TCoefficients before = w->Params().af;
  // Rand draws from the frame timer a moment after the click.
  DrawAndStop(w, [this] { Control<QAction>(*frame, "CoolSpeedButton1")->trigger(); });
  ASSERT_TRUE(Settle());
  const TCoefficients random = w->Params().af;
  EXPECT_NE(random, before);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Rand"));

  UndoAndStop(w);
  EXPECT_EQ(w->Params().af, before);
  EXPECT_FALSE(w->Params().randomize);
  EXPECT_EQ(CoefficientEdit(*frame, 1)->Value(), before[1]);
  RedoAndStop(w);
  EXPECT_EQ(w->Params().af, random);
  EXPECT_EQ(CoefficientEdit(*frame, 1)->Value(), random[1]);
}

TEST_F(Undo, UndoingARandBeforeItsTimerFiredCancelsIt) {
  TMDIChild* w = Settled();
  TMDIChildProbe::Record(*w).randomize = false;
  w->Menus().mapsItems[0]->trigger();  // no drawing
  Control<QAction>(*frame, "CoolSpeedButton1")->trigger();
  EXPECT_TRUE(w->Params().randomize);
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_FALSE(w->Params().randomize);
  EXPECT_FALSE(Control<QTimer>(*frame, "Timer1")->isActive());
  EXPECT_EQ(w->Params().maps, 1);
}

TEST_F(Undo, ASizeIsUndoneToANewPictureAndListsOfTheOldSize) {
  TMDIChild* w = Settled();
  DrawAndStop(w, [w] { w->Menus().miraItems[0]->trigger(); });
  DrawAndStop(w, [w] { w->Menus().sizeItems[4]->trigger(); });  // 640 by 480
  ASSERT_EQ(w->Params().image->Width(), 640);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Size"));

  UndoAndStop(w);
  EXPECT_EQ(w->Params().imageWidth, 400);
  EXPECT_EQ(w->Params().plotHeight, 300);
  EXPECT_EQ(w->Params().image->Width(), 400);
  EXPECT_EQ(w->Params().image->Height(), 300);
  EXPECT_EQ(w->Params().image, w->PictureView()->PixelGraphic());
  EXPECT_EQ(w->Params().redList->size(), 400u * 400u);
  EXPECT_EQ(Control<TXYSize>(*frame, "XYSize")->ImageWidth(), 400);
  EXPECT_EQ(Control<TXYSize>(*frame, "XYSize")->ImageHeight(), 300);
  RedoAndStop(w);
  EXPECT_EQ(w->Params().image->Width(), 640);
  EXPECT_EQ(w->Params().blueList->size(), 640u * 640u);
  EXPECT_EQ(Control<TXYSize>(*frame, "XYSize")->ImageWidth(), 640);
}

TEST_F(Undo, UndoWhileAPassDrawsNestsAPassOnTheRestoredSetAndOneStopEndsBoth) {
  TMDIChild* w = Settled();
  DrawAndStop(w, [w] { w->Menus().miraItems[0]->trigger(); });
  DrawAndStop(w, [w] { w->Menus().sizeItems[2]->trigger(); });  // 320 by 240
  DrawAndStop(w, [w] { w->Menus().ZoomOut1->trigger(); });
  // Apply draws; inside it two undos each start a pass nested in the one before.
  When([w] { return Drawing(*w, 1); }, [this] { Control<QAction>(*frame, "EditUndoItem")->trigger(); }, StopAll());
  When([w] { return Drawing(*w, 2); }, [this] { Control<QAction>(*frame, "EditUndoItem")->trigger(); }, StopAll());
  bool stopped = false;
  When([w] { return Drawing(*w, 3); },
       [&] {
         stopped = true;
         Control<QAction>(*frame, "AbortButton")->trigger();
       },
       StopAll());
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_EQ(w->Params().image->Width(), 400);
  EXPECT_EQ(w->Params().image->Height(), 300);
  EXPECT_EQ(w->Params().greenList->size(), 400u * 400u);
  EXPECT_EQ(w->UndoStack()->index(), 1);
  EXPECT_EQ(Control<QAction>(*frame, "EditRedoItem")->text(), QStringLiteral("&Redo Size"));
  RedoAndStop(w);
  EXPECT_EQ(w->Params().image->Width(), 320);
}

TEST_F(Undo, ALoadIsAStepAndEachWindowHasItsOwnStack) {
  TMDIChild* w = Settled();
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  TFractalDocument file;
  file.Params().zoom = 4.0;
  file.Params().maps = 3;
  const std::string path =
      file.SaveParameters(folder.filePath(QStringLiteral("p.png")).toStdString(), LocaleDecimalSeparator());
  w->LoadAfterFirstShow(QString::fromStdString(path));  // nothing selected in the file: no drawing
  EXPECT_EQ(w->Params().zoom, 4.0);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Load"));

  TMDIChild* second = NewWindow();
  ASSERT_TRUE(Settle());
  // The menu follows the active window's stack.
  EXPECT_FALSE(Control<QAction>(*frame, "EditUndoItem")->isEnabled());
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_EQ(w->Params().zoom, 4.0);
  second->Menus().mapsItems[0]->trigger();
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Coefficient Count"));

  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(w);
  EXPECT_EQ(Control<QAction>(*frame, "EditUndoItem")->text(), QStringLiteral("&Undo Load"));
  Control<QAction>(*frame, "EditUndoItem")->trigger();
  EXPECT_DOUBLE_EQ(w->Params().zoom, 0.23);
  EXPECT_EQ(w->Params().maps, 2);
  EXPECT_EQ(second->Params().maps, 1);
}

}  // namespace
