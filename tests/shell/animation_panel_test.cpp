// The Animation panel through the real frame: keyframes taken from the windows, reordered and retimed; the preview
// draws the animation's frames small and plays them; Render writes the very files RenderFrameToFile writes for the
// same animation and seed, and Cancel leaves whole frames only; keyframes that cannot be interpolated are refused
// with the core's message, from the windows and from a file.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include "image/pixel_graphic.h"
#include "shell/animation_panel.h"
#include "shell/animation_preview.h"
#include "shell/animation_render.h"
#include "shell_test_support.h"
#include "view/pg_draw.h"
#include "windows/child_probe.h"

namespace {

const QString kCrystal = QStringLiteral(OVEL_SOURCE_DIR "/docs/gallery/ifs-crystal.ifs");
const QString kMira = QStringLiteral(OVEL_SOURCE_DIR "/docs/gallery/gumowski-mira.ifs");

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class AnimationPanelTest : public FrameTest {
 protected:
  void TearDown() override {
    if (frame) frame->AnimationPanel()->Render().CancelAndWait();
    TestServices().ClearAnswers();
    FrameTest::TearDown();
  }

  // The only place the test reaches into the frame: its Animation action and panel, and the window area.
  TAnimationPanel* OpenPanel() {
    ::Control<QAction>(*frame, "Animation1")->trigger();
    EXPECT_TRUE(frame->AnimationPanel()->isVisible());
    return frame->AnimationPanel();
  }
  void Activate(TMDIChild* w) { ::Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(w); }

  // The panel's own controls; a name missing or given twice under it fails the test with the name.
  template <class T>
  T* Control(const char* name) {
    return ::Control<T>(*frame->AnimationPanel(), name);
  }
  void Click(const char* name) { Control<QPushButton>(name)->click(); }
  QTableWidget* Table() { return Control<QTableWidget>("KeyframeTable"); }

  // Two windows with the crystal, the second a little moved and zoomed, each added as a keyframe.
  TAnimationPanel* PanelWithTwoKeyframes() {
    TMDIChild* first = FirstWindow();
    if (!first) return nullptr;
    first->LoadFromParameterFile(kCrystal);
    first->setWindowTitle(QStringLiteral("first"));
    TMDIChild* second = NewWindow();
    second->LoadFromParameterFile(kCrystal);
    second->setWindowTitle(QStringLiteral("second"));
    TMDIChildProbe::Record(*second).af[1] += 0.05;
    TMDIChildProbe::Record(*second).zoom *= 1.5;
    TAnimationPanel* panel = OpenPanel();
    Activate(first);
    Click("AddKeyframeButton");
    Activate(second);
    Click("AddKeyframeButton");
    return panel;
  }

  // A small, quick animation of the two keyframes: 48 x 32 at `rate` frames a second over one second.
  void SmallFrames(double rate, double stepsPerPixel) {
    Control<QSpinBox>("FrameWidthEdit")->setValue(48);
    Control<QSpinBox>("FrameHeightEdit")->setValue(32);
    Control<QDoubleSpinBox>("QualityEdit")->setValue(stepsPerPixel);
    Control<QDoubleSpinBox>("FrameRateEdit")->setValue(rate);
    Table()->item(1, 1)->setText(QStringLiteral("1"));
  }

  void AnswerRenderTo(const std::filesystem::path& pattern) {
    TestServices().saveDialog = [pattern](QWidget*, const TFileDialogRequest&) {
      return TFileDialogResult{true, QString::fromStdString(pattern.string()), 0};
    };
  }

  // The frame as RenderFrameToFile writes it alone.
  std::string FrameAlone(const TAnimation& animation, int frame) {
    const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / "alone.png";
    const std::atomic<bool> cancel{false};
    EXPECT_TRUE(RenderFrameToFile(animation, frame, animation.seed, 1, path.string(), this->frame->ImageFileOptions(),
                                  cancel));
    return Bytes(path);
  }

  QTemporaryDir folder;
};

TEST_F(AnimationPanelTest, TakesTheActiveWindowsAndReordersTheSetsUnderTheirTimes) {
  TAnimationPanel* panel = PanelWithTwoKeyframes();
  ASSERT_NE(panel, nullptr);
  ASSERT_EQ(Table()->rowCount(), 2);
  TAnimation a = panel->Animation();
  const double secondCoefficient = a.keyframes[1].params.af[1];
  EXPECT_EQ(a.keyframes[1].params.af[1], frame->Children()[1]->Params().af[1]);
  EXPECT_NE(a.keyframes[0].params.af[1], secondCoefficient);
  EXPECT_EQ(Table()->item(1, 0)->text(), QStringLiteral("second"));
  EXPECT_EQ(a.keyframes[0].time, 0);
  EXPECT_GT(a.keyframes[1].time, 0);

  // Up swaps the sets; the times stay in their rows, so they still increase.
  Table()->selectRow(1);
  Click("MoveKeyframeUpButton");
  a = panel->Animation();
  EXPECT_EQ(Table()->item(0, 0)->text(), QStringLiteral("second"));
  EXPECT_EQ(a.keyframes[0].params.af[1], secondCoefficient);
  EXPECT_EQ(a.keyframes[0].time, 0);
  EXPECT_FALSE(Control<QPushButton>("MoveKeyframeUpButton")->isEnabled());

  // A time is taken only where it keeps the order; otherwise the old one stays and a message says why.
  struct TEdit {
    int row;
    const char* text;
    double expected;
    bool refused;
  };
  for (const TEdit& edit : {TEdit{1, "3.5", 3.5, false}, TEdit{0, "3.5", 0, true}, TEdit{1, "0", 3.5, true},
                            TEdit{1, "soon", 3.5, true}, TEdit{0, "1.25", 1.25, false}}) {
    RecordedMessages().clear();
    Table()->item(edit.row, 1)->setText(QString::fromLatin1(edit.text));
    EXPECT_EQ(panel->Animation().keyframes[edit.row].time, edit.expected) << edit.text;
    if (edit.refused) {
      ASSERT_TRUE(WaitUntil([] { return !RecordedMessages().isEmpty(); })) << edit.text;
      EXPECT_TRUE(RecordedMessages().front().startsWith(
          QStringLiteral("The time of keyframe %1 must be a number of seconds").arg(edit.row + 1)));
    }
    EXPECT_EQ(Table()->item(edit.row, 1)->text().toDouble(), edit.expected) << edit.text;
  }
  EXPECT_EQ(RecordedMessages(), QStringList{});

  Table()->selectRow(0);
  Click("RemoveKeyframeButton");
  ASSERT_EQ(Table()->rowCount(), 1);
  EXPECT_EQ(Table()->item(0, 0)->text(), QStringLiteral("first"));
  EXPECT_EQ(panel->Animation().keyframes[0].time, 3.5);

  // While a window draws, its caption shows figures; the keyframe takes the window's own title.
  TMDIChild* first = frame->Children()[0];
  Activate(first);
  When([first] { return Drawing(*first) && first->windowTitle() != QStringLiteral("first"); },
       [&] {
         Click("AddKeyframeButton");
         first->Abort();
       },
       [first] { first->Abort(); });
  ::Control<QAction>(*frame, "ApplyButton")->trigger();
  ASSERT_EQ(Table()->rowCount(), 2);
  EXPECT_EQ(Table()->item(1, 0)->text(), QStringLiteral("first"));
}

TEST_F(AnimationPanelTest, APreviewDrawsTheFramesSmallPlaysThemAndIsDroppedByAnEdit) {
  TAnimationPanel* panel = PanelWithTwoKeyframes();
  ASSERT_NE(panel, nullptr);
  Control<QDoubleSpinBox>("FrameRateEdit")->setValue(4);
  Table()->item(1, 1)->setText(QStringLiteral("1.5"));
  TAnimationPreview& preview = panel->Preview();
  Click("PlayButton");
  ASSERT_TRUE(preview.Valid());
  EXPECT_TRUE(preview.Playing());
  EXPECT_EQ(preview.FramesPlanned(), 7);
  ASSERT_TRUE(WaitUntil([&] { return !preview.Drawing(); }));
  ASSERT_EQ(preview.FramesReady(), 7);
  EXPECT_EQ(preview.Frame(0).size(), QSize(kPreviewBoxWidth, kPreviewBoxHeight));  // 640 x 360 at a quarter
  // Playing: the label goes round the frames.
  ASSERT_TRUE(WaitUntil([&] { return preview.CurrentFrame() == 3; }));
  EXPECT_FALSE(Control<QLabel>("PreviewLabel")->pixmap().isNull());

  // Each preview frame is the animation's frame, drawn by the core at the preview's size.
  const TAnimation small = PreviewAnimation(panel->Animation());
  const std::atomic<bool> cancel{false};
  for (int i : {0, 4}) {
    QImage expected;
    PixelGraphicToQImage(*RenderFrame(small, i, small.seed, 1, cancel), expected);
    EXPECT_EQ(preview.Frame(i), expected) << i;
  }
  EXPECT_NE(preview.Frame(0), preview.Frame(6));

  Control<QSpinBox>("SupersampleEdit")->setValue(2);
  EXPECT_FALSE(preview.Valid());
  EXPECT_FALSE(preview.Playing());
  EXPECT_EQ(Control<QPushButton>("PlayButton")->text(), QStringLiteral("&Play"));
}

TEST_F(AnimationPanelTest, RenderWritesEachFrameAsItIsRenderedAloneAndCancelKeepsWholeFramesOnly) {
  TAnimationPanel* panel = PanelWithTwoKeyframes();
  ASSERT_NE(panel, nullptr);
  SmallFrames(4, 20);
  const std::filesystem::path root(folder.path().toStdString());
  AnswerRenderTo(root / "run" / "shot");  // no number and no extension: shot-%04d.png
  Click("RenderAnimationButton");
  ASSERT_TRUE(panel->Render().Busy());
  ASSERT_TRUE(WaitUntil([&] { return !panel->Render().Busy(); }, 60000));
  const TAnimation animation = panel->Animation();
  ASSERT_EQ(animation.FrameCount(), 5);
  for (int f = 0; f < 5; ++f) {
    const std::filesystem::path file = root / "run" / FrameFileName("shot-%04d.png", f);
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_EQ(Bytes(file), FrameAlone(animation, f)) << f;
  }
  EXPECT_TRUE(Control<QLabel>("AnimationRenderStatus")->text().startsWith(QStringLiteral("Wrote shot-%04d.png")));

  // A longer run, cancelled once a frame is done: what is there is whole frames, each the frame it names.
  SmallFrames(40, 3000);
  AnswerRenderTo(root / "cut" / "frame-%04d.png");
  Click("RenderAnimationButton");
  ASSERT_TRUE(WaitUntil([&] { return panel->Render().Status().progress.framesDone >= 1; }, 60000));
  // Leaving while it renders asks first; No keeps the frame and the render.
  QString question;
  TestServices().warningAsker = [&](QWidget*, const QString&, const QString& text, bool) {
    question = text;
    return false;
  };
  frame->close();
  EXPECT_TRUE(question.startsWith(QStringLiteral("An animation is still rendering"))) << question.toStdString();
  EXPECT_TRUE(frame->isVisible());
  Click("CancelAnimationButton");
  ASSERT_TRUE(WaitUntil([&] { return !panel->Render().Busy(); }, 60000));
  const TAnimation cut = panel->Animation();
  int kept = 0;
  for (const auto& entry : std::filesystem::directory_iterator(root / "cut")) {
    const std::string name = entry.path().filename().string();
    int f = -1;
    for (int i = 0; i < cut.FrameCount() && f < 0; ++i)
      if (FrameFileName("frame-%04d.png", i) == name) f = i;
    ASSERT_GE(f, 0) << "not a frame: " << name;
    EXPECT_EQ(Bytes(entry.path()), FrameAlone(cut, f)) << name;
    ++kept;
  }
  EXPECT_GE(kept, 1);
  EXPECT_LT(kept, cut.FrameCount());
  EXPECT_TRUE(Control<QLabel>("AnimationRenderStatus")->text().startsWith(QStringLiteral("Cancelled")));

  // Rendering there again first asks about the frames that are there; Cancel starts nothing.
  TestServices().choiceAsker = [&](QWidget*, const QString&, const QString& text, const QStringList& buttons) {
    question = text;
    return static_cast<int>(buttons.size()) - 1;
  };
  Click("RenderAnimationButton");
  EXPECT_TRUE(question.startsWith(QStringLiteral("%1 of the %2 frames are already in").arg(kept).arg(cut.FrameCount())));
  EXPECT_FALSE(panel->Render().Busy());
  EXPECT_EQ(RecordedMessages(), QStringList{});
}

TEST_F(AnimationPanelTest, KeyframesThatDoNotMatchAreRefusedWithTheFirstDifference) {
  TMDIChild* crystal = FirstWindow();
  ASSERT_NE(crystal, nullptr);
  crystal->LoadFromParameterFile(kCrystal);
  TMDIChild* mira = NewWindow();
  mira->LoadFromParameterFile(kMira);
  mira->setWindowTitle(QStringLiteral("mira"));
  TAnimationPanel* panel = OpenPanel();
  Activate(crystal);
  Click("AddKeyframeButton");
  Activate(mira);
  Click("AddKeyframeButton");
  EXPECT_EQ(Table()->rowCount(), 1);
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].startsWith(
      QStringLiteral("\"mira\" cannot follow the animation's keyframes: keyframes 1 and 2 differ in ")))
      << RecordedMessages()[0].toStdString();

  // The same from a file: the panel keeps what it had.
  const std::filesystem::path root(folder.path().toStdString());
  std::filesystem::copy_file(kCrystal.toStdString(), root / "a.ifs");
  std::filesystem::copy_file(kMira.toStdString(), root / "b.ifs");
  std::ofstream(root / "bad.ovanim") << kAnimationHeader << "\nkey 0 a.ifs\nkey 1 b.ifs\n";
  TestServices().openDialog = [&](QWidget*, const TFileDialogRequest&) {
    return TFileDialogResult{true, QString::fromStdString((root / "bad.ovanim").string()), 0};
  };
  RecordedMessages().clear();
  QString question;
  TestServices().warningAsker = [&](QWidget*, const QString&, const QString& text, bool) {
    question = text;
    return true;
  };
  Click("OpenAnimationButton");
  EXPECT_TRUE(question.startsWith(QStringLiteral("Replace the animation in the panel?")));
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].contains(QStringLiteral("keyframes 1 (\"a.ifs\") and 2 (\"b.ifs\") differ in "))) << RecordedMessages()[0].toStdString();
  EXPECT_EQ(Table()->rowCount(), 1);
  EXPECT_EQ(panel->KeyframeCaption(0), crystal->windowTitle());
}

TEST_F(AnimationPanelTest, ASavedAnimationOpensAgainWithItsKeyframesAndSettings) {
  TAnimationPanel* panel = PanelWithTwoKeyframes();
  ASSERT_NE(panel, nullptr);
  Table()->item(1, 1)->setText(QStringLiteral("2.75"));
  Control<QDoubleSpinBox>("FrameRateEdit")->setValue(12);
  const TAnimation saved = panel->Animation();
  const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / "morph";
  TestServices().saveDialog = [&](QWidget*, const TFileDialogRequest&) {
    return TFileDialogResult{true, QString::fromStdString(path.string()), 0};
  };
  Click("SaveAnimationButton");
  ASSERT_TRUE(std::filesystem::exists(path.string() + ".ovanim"));
  EXPECT_TRUE(std::filesystem::exists(folder.filePath(QStringLiteral("morph-key02.ifs")).toStdString()));

  // Opening over the animation just saved asks nothing; the keyframes come back exactly.
  TestServices().warningAsker = [](QWidget*, const QString&, const QString& text, bool) {
    ADD_FAILURE() << "asked: " << text.toStdString();
    return false;
  };
  TestServices().openDialog = [&](QWidget*, const TFileDialogRequest&) {
    return TFileDialogResult{true, QString::fromStdString(path.string() + ".ovanim"), 0};
  };
  Click("OpenAnimationButton");
  const TAnimation opened = panel->Animation();
  ASSERT_EQ(opened.keyframes.size(), 2u);
  EXPECT_EQ(opened.frameRate, 12);
  EXPECT_EQ(opened.keyframes[1].time, 2.75);
  EXPECT_EQ(panel->KeyframeCaption(1), QStringLiteral("morph-key02.ifs"));
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(opened.keyframes[k].params.af, saved.keyframes[k].params.af) << k;
    EXPECT_EQ(opened.keyframes[k].params.zoom, saved.keyframes[k].params.zoom) << k;
  }
  EXPECT_EQ(RecordedMessages(), QStringList{});
}

}  // namespace
