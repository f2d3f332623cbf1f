// Hit-count documents in the desktop program, through the frame's real actions: Save Hit Counts, loading a document
// into a window, and Continue, which goes on drawing without clearing. A render stopped, saved, loaded elsewhere
// and continued ends exactly as one pass that never stopped.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QSlider>
#include <QTemporaryDir>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/params_dialog.h"
#include "engine/formula.h"
#include "files/hit_count_file.h"
#include "image/pixel_graphic.h"
#include "shell_test_support.h"
#include "services/services.h"

namespace {

struct TDrawn {
  std::vector<std::uint8_t> pixels;
  THitList red, green, blue;
  TLeadList lead;
  bool operator==(const TDrawn&) const = default;
};

TDrawn Drawn(const TMDIChild& w) {
  const TFractalParams& v = w.Params();
  TDrawn d;
  d.pixels.assign(v.image->Bits(), v.image->Bits() + v.image->ImageSize());
  d.red = *v.redList;
  d.green = *v.greenList;
  d.blue = *v.blueList;
  d.lead = *v.leadList;
  return d;
}

class HitCountFrame : public FrameTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    TestServices().saveDialog = [this](QWidget*, const TFileDialogRequest& request) {
      saveRequests.append(request);
      return saveAnswer;
    };
    TestServices().openDialog = [this](QWidget*, const TFileDialogRequest& request) {
      openRequests.append(request);
      return openAnswer;
    };
    FrameTest::SetUp();
  }
  void TearDown() override {
    FrameTest::TearDown();
    TestServices().saveDialog = {};
    TestServices().openDialog = {};
    SetEngineStepBudget(kNoStepBudget);
    ResetEngineState();
  }

  QString Path(const QString& name) const { return folder.filePath(name); }

  // Opens path in w through File > Load From Parameter File; a parameter file is drawn for exactly `steps` main
  // steps from a fresh engine seeded with 5 (the pass ends by itself when they are made).
  void Open(const QString& path, std::int64_t steps = 0) {
    openAnswer = {true, path, 0};
    ResetEngineState();
    SeedEngineRandom(5);
    SetEngineStepBudget(steps);
    Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
    SetEngineStepBudget(kNoStepBudget);
  }
  void ContinueFor(std::int64_t steps) {
    SetEngineStepBudget(steps);
    Control<QAction>(*frame, "ContinueButton")->trigger();
    SetEngineStepBudget(kNoStepBudget);
  }
  TMDIChild* Activate(TMDIChild* w) {
    Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(w);
    EXPECT_TRUE(WaitUntil([&] { return frame->ActiveChild() == w; }));
    return w;
  }

  const QString gallery = QStringLiteral(OVEL_SOURCE_DIR "/docs/gallery/ifs-crystal.ifs");
  QTemporaryDir folder;
  QList<TFileDialogRequest> saveRequests, openRequests;
  TFileDialogResult saveAnswer, openAnswer;
};

}  // namespace

TEST_F(HitCountFrame, AStoppedPassSavedLoadedAndContinuedElsewhereIsOnePassThatNeverStopped) {
  TMDIChild* once = FirstWindow();
  ASSERT_NE(once, nullptr);
  // The dialogs give a loaded record's values back on their slider steps a debounce later, which changes the
  // render; a file saved after that round trip keeps its values through every later one.
  Open(gallery, 100);
  ASSERT_TRUE(WaitUntil([this] {
    return !Control<TForm4>(*frame, "Form4")->DebouncePending() && !Control<TCForm>(*frame, "CForm")->DebouncePending();
  }));
  saveAnswer = {true, Path(QStringLiteral("crystal.ifs")), 0};
  Control<QAction>(*frame, "SaveParametersAs1")->trigger();
  const QString params = Path(QStringLiteral("crystal.ifs"));
  Open(params, 150000);
  ASSERT_EQ(once->PassDepth(), 0);
  const TDrawn whole = Drawn(*once);

  TMDIChild* first = Activate(NewWindow());
  Open(params, 60000);
  saveAnswer = {true, Path(QStringLiteral("crystal.ovc")), 0};
  Control<QAction>(*frame, "SaveHitCounts1")->trigger();
  ASSERT_EQ(saveRequests.size(), 2);
  EXPECT_EQ(saveRequests[1].filter, QStringLiteral("Hit-count documents|*.ovc"));
  const THitCountDocument saved = LoadHitCountDocument(Path(QStringLiteral("crystal.ovc")).toStdString());
  EXPECT_FALSE(saved.orbits.empty());
  const TDrawn stopped = Drawn(*first);

  // Continued in the window that drew it, after the engine drew something else in between.
  Activate(once);
  Open(params, 1000);
  Activate(first);
  ContinueFor(90000);
  EXPECT_TRUE(Drawn(*first) == whole);

  // Loaded into a fresh window: the picture as it was saved, then continued to the same end.
  TMDIChild* loaded = Activate(NewWindow());
  Open(Path(QStringLiteral("crystal.ovc")));
  EXPECT_EQ(loaded->windowTitle(), Path(QStringLiteral("crystal.ovc")));
  EXPECT_TRUE(Drawn(*loaded) == stopped);
  ContinueFor(90000);
  EXPECT_TRUE(Drawn(*loaded) == whole);
  EXPECT_TRUE(RecordedMessages().isEmpty()) << RecordedMessages().join(QStringLiteral("; ")).toStdString();
}

TEST_F(HitCountFrame, ContinueSaysWhyWhenThereIsNothingToContinueOrTheRenderChangedAndAHostileFileChangesNothing) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(Control<QAction>(*frame, "ContinueButton")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F5));
  Control<QAction>(*frame, "ContinueButton")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].startsWith(QStringLiteral("There is nothing to continue")));

  Open(gallery, 20000);
  const TDrawn drawn = Drawn(*w);
  // Another probability changes where the hits land; the edit still waits for its debounce and counts all the same.
  Control<QSlider>(*frame, "Probability")->setValue(Control<QSlider>(*frame, "Probability")->value() == 5 ? 6 : 5);
  Control<QAction>(*frame, "ContinueButton")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 2);
  EXPECT_TRUE(RecordedMessages()[1].startsWith(QStringLiteral("Continue goes on with the view")));
  EXPECT_TRUE(Drawn(*w) == drawn);

  QFile junk(Path(QStringLiteral("junk.ovc")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("OVELHITC and then nothing sensible");
  junk.close();
  const QString title = w->windowTitle();
  Open(Path(QStringLiteral("junk.ovc")));
  ASSERT_EQ(RecordedMessages().size(), 3);
  EXPECT_TRUE(RecordedMessages()[2].contains(QStringLiteral("Cannot read hit-count document"))) << RecordedMessages()[2].toStdString();
  EXPECT_EQ(w->windowTitle(), title);
  EXPECT_TRUE(Drawn(*w) == drawn);
}
