// File > Render to File through the real frame: a render written in the background while a window draws is the
// file ovel-ifs-render writes for the same parameter set, size, supersampling, steps, seed and orbits; Cancel writes
// what is done or nothing, as answered; renders queue; a time limit ends a render; Exit while one runs asks first.
#include <gtest/gtest.h>

#include <fstream>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QDir>
#include <QTemporaryDir>

#include "files/param_file.h"
#include "shell/main_form.h"
#include "shell/render_jobs.h"
#include "shell/render_panel.h"
#include "shell/render_to_file_dialog.h"
#include "shell_test_support.h"

namespace {

const QString kGalleryFile = QStringLiteral(OVEL_SOURCE_DIR "/docs/gallery/ifs-crystal.ifs");

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct TRenderChoice {
  int width = 200, height = 150;
  int supersample = 1;
  double radius = 0;
  double stepsPerPixel = 1e5;     // long enough to be cancelled
  std::optional<int> seconds;     // the time instead
  QString seed = QStringLiteral("5");
  QString fileName;               // typed into the save dialog, without extension: PNG is chosen there
  bool counts = false;
};

class RenderToFile : public FrameTest {
 protected:
  void TearDown() override {
    if (frame) Control<TRenderJobs>(*frame, "RenderJobs")->DiscardAllAndWait();
    TestServices().ClearAnswers();
    FrameTest::TearDown();
  }

  QString PathOf(const QString& name) const { return folder.filePath(name); }
  const TRenderPanel& Panel() const { return *Control<TRenderPanel>(*frame, "RenderPanel"); }

  // Render to File with the dialog filled as given, the file named through the services' save dialog.
  TRenderRequest Queue(const TRenderChoice& choice) {
    TRenderRequest request;
    TestServices().saveDialog = [&](QWidget*, const TFileDialogRequest& ask) {
      EXPECT_EQ(NameFiltersOf(ask.filter).size(), NameFiltersOf(ask.filter).filter(QStringLiteral("*.")).size());
      const int png = static_cast<int>(NameFiltersOf(ask.filter).indexOf(
          QStringLiteral("PNG - Portable Network Graphics (*.png)")));
      EXPECT_GE(png, 0);
      return TFileDialogResult{true, PathOf(choice.fileName), png};
    };
    TestServices().modalRunner = [&](QDialog& dialog) {
      auto& d = dynamic_cast<TRenderToFileDialog&>(dialog);
      QComboBox* sizes = Control<QComboBox>(d, "SizeCombo");
      sizes->setCurrentIndex(sizes->count() - 1);
      Control<QSpinBox>(d, "WidthEdit")->setValue(choice.width);
      Control<QSpinBox>(d, "HeightEdit")->setValue(choice.height);
      Control<QSpinBox>(d, "SupersampleEdit")->setValue(choice.supersample);
      Control<QDoubleSpinBox>(d, "RadiusEdit")->setValue(choice.radius);
      Control<QComboBox>(d, "ToneCombo")->setCurrentIndex(static_cast<int>(TRenderTone::Window));
      if (choice.seconds) {
        Control<QRadioButton>(d, "TimeRadio")->setChecked(true);
        Control<QSpinBox>(d, "SecondsEdit")->setValue(*choice.seconds);
      } else {
        Control<QDoubleSpinBox>(d, "StepsEdit")->setValue(choice.stepsPerPixel);
      }
      Control<QLineEdit>(d, "SeedEdit")->setText(choice.seed);
      Control<QCheckBox>(d, "CountsCB")->setChecked(choice.counts);
      Control<QPushButton>(d, "BrowseButton")->click();
      EXPECT_FALSE(Control<QLabel>(d, "MemoryLabel")->text().isEmpty());
      EXPECT_FALSE(Control<QLabel>(d, "TimeLabel")->text().isEmpty());
      request = d.Request();
      Control<QPushButton>(d, "RenderButton")->click();
      return d.result();
    };
    Control<QAction>(*frame, "RenderToFile1")->trigger();
    TestServices().modalRunner = {};
    TestServices().saveDialog = {};
    return request;
  }

  // A window that has drawn IFS 01 for a moment, so that its parameter set selects something to draw.
  TMDIChild* DrawnWindow() {
    TMDIChild* w = FirstWindow();
    if (!w) return nullptr;
    When([w] { return Drawing(*w); }, [w] { w->Abort(); }, StopAll());
    w->Menus().ifsItems[0]->trigger();
    return w;
  }

  bool Running(std::int64_t minSteps = 1) const {
    const auto jobs = Control<TRenderJobs>(*frame, "RenderJobs")->Jobs();
    return !jobs.empty() && jobs.front().state == TRenderJobState::Running && jobs.front().progress.steps >= minSteps;
  }

  QTemporaryDir folder;
};

TEST_F(RenderToFile, AFileRenderedWhileAWindowDrawsIsTheRenderersPicture) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TRenderRequest request;
  bool drewThroughout = false;
  TestServices().openDialog = [](QWidget*, const TFileDialogRequest&) {
    return TFileDialogResult{true, kGalleryFile, 0};
  };
  QTimer::singleShot(0, [&] {
    When([w] { return Drawing(*w); },
         [&] {
           TRenderChoice choice;
           choice.width = 240;
           choice.height = 180;
           choice.supersample = 2;
           choice.radius = 0.5;
           choice.stepsPerPixel = 20;
           choice.fileName = QStringLiteral("poster");
           choice.counts = true;
           request = Queue(choice);
           When([this] { return !Control<TRenderJobs>(*frame, "RenderJobs")->Busy(); },
                [&, w] {
                  drewThroughout = Drawing(*w);
                  w->Abort();
                },
                StopAll(), 60000);
         },
         StopAll());
  });
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  EXPECT_TRUE(drewThroughout);
  EXPECT_TRUE(RecordedMessages().isEmpty()) << RecordedMessages().join(QStringLiteral("; ")).toStdString();
  ASSERT_EQ(request.picturePath, PathOf(QStringLiteral("poster.png")).toStdString());
  EXPECT_EQ(request.spec.steps, 20 * 240 * 180);
  EXPECT_EQ(request.spec.orbits, 8);
  const QByteArray written = FileBytes(PathOf(QStringLiteral("poster.png")));
  ASSERT_FALSE(written.isEmpty());
  ASSERT_TRUE(QFile::exists(PathOf(QStringLiteral("poster.ovc"))));

  // The parameter set the render took, drawn by the renderer.
  const QString params = PathOf(QStringLiteral("taken.ifs"));
  {
    std::ofstream out(params.toStdString(), std::ios::binary);
    WriteParameterFile(out, request.spec.params, '.');
  }
  QStringList args{params, QStringLiteral("--size"), QStringLiteral("240x180"), QStringLiteral("--supersample"),
                   QStringLiteral("2"), QStringLiteral("--filter-radius"), QStringLiteral("0.5"),
                   QStringLiteral("--steps"), QString::number(request.spec.steps), QStringLiteral("--seed"),
                   QStringLiteral("5"), QStringLiteral("--orbits"), QStringLiteral("8"), QStringLiteral("--maps"),
                   QString::number(request.spec.params.maps), QStringLiteral("--quiet"), QStringLiteral("--save-counts"),
                   PathOf(QStringLiteral("cli.ovc")), QStringLiteral("-o"), PathOf(QStringLiteral("cli.png"))};
  if (request.spec.params.invert) args << QStringLiteral("--white");
  ASSERT_EQ(QProcess::execute(QStringLiteral(OVEL_RENDER_EXE), args), 0);
  EXPECT_TRUE(written == FileBytes(PathOf(QStringLiteral("cli.png"))));
  EXPECT_TRUE(FileBytes(PathOf(QStringLiteral("poster.ovc"))) == FileBytes(PathOf(QStringLiteral("cli.ovc"))));
}

TEST_F(RenderToFile, RendersQueueAndCancelWritesWhatIsDoneOrNothingAsAnswered) {
  ASSERT_NE(DrawnWindow(), nullptr);
  TRenderChoice first;
  first.fileName = QStringLiteral("first");
  Queue(first);
  TRenderChoice second = first;
  second.fileName = QStringLiteral("second");
  Queue(second);
  ASSERT_EQ(Control<TRenderJobs>(*frame, "RenderJobs")->Jobs().size(), 2u);
  EXPECT_TRUE(Panel().isVisible());
  ASSERT_TRUE(WaitUntil([this] { return Running(100000); }));
  EXPECT_EQ(Control<QListWidget>(Panel(), "JobList")->count(), 2);

  QStringList asked;
  int answer = static_cast<int>(TRenderPanel::TCancelAnswer::KeepRendering);
  TestServices().choiceAsker = [&](QWidget*, const QString&, const QString& text, const QStringList& buttons) {
    asked.append(text);
    EXPECT_EQ(buttons.size(), 3);
    return answer;
  };
  Control<QListWidget>(Panel(), "JobList")->setCurrentRow(0);
  Control<QPushButton>(Panel(), "CancelButton")->click();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("first.png"))) << asked[0].toStdString();
  EXPECT_TRUE(WaitUntil([this] { return Running(200000); }));  // kept rendering

  answer = static_cast<int>(TRenderPanel::TCancelAnswer::WriteWhatIsDone);
  Control<QPushButton>(Panel(), "CancelButton")->click();
  ASSERT_TRUE(WaitUntil([this] { return QFile::exists(PathOf(QStringLiteral("first.png"))); }));
  EXPECT_TRUE(FileBytes(PathOf(QStringLiteral("first.png"))).startsWith("\x89PNG"));
  // The second starts after the first has left the queue (its file is written before it leaves); Discard leaves
  // no file.
  ASSERT_TRUE(
      WaitUntil([this] { return Control<TRenderJobs>(*frame, "RenderJobs")->Jobs().size() == 1u && Running(100000); }));
  answer = static_cast<int>(TRenderPanel::TCancelAnswer::Discard);
  Control<QPushButton>(Panel(), "CancelButton")->click();
  ASSERT_TRUE(WaitUntil([this] { return !Control<TRenderJobs>(*frame, "RenderJobs")->Busy(); }));
  EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("second.png"))));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("first.png")});
  EXPECT_EQ(asked.size(), 3);

  // A waiting render leaves the queue without a question.
  Queue(first);
  Queue(second);
  Control<QListWidget>(Panel(), "JobList")->setCurrentRow(1);
  Control<QPushButton>(Panel(), "CancelButton")->click();
  EXPECT_EQ(asked.size(), 3);
  ASSERT_EQ(Control<TRenderJobs>(*frame, "RenderJobs")->Jobs().size(), 1u);
  EXPECT_TRUE(
      Control<TRenderJobs>(*frame, "RenderJobs")->Jobs().front().picturePath.endsWith(QStringLiteral("first.png")));
  EXPECT_TRUE(RecordedMessages().isEmpty()) << RecordedMessages().join(QStringLiteral("; ")).toStdString();
}

TEST_F(RenderToFile, ATimeLimitEndsTheRenderAndWritesIt) {
  ASSERT_NE(DrawnWindow(), nullptr);
  TRenderChoice timed;
  timed.seconds = 1;
  timed.fileName = QStringLiteral("timed");
  Queue(timed);
  ASSERT_TRUE(WaitUntil([this] { return !Control<TRenderJobs>(*frame, "RenderJobs")->Busy(); }, 20000));
  EXPECT_TRUE(FileBytes(PathOf(QStringLiteral("timed.png"))).startsWith("\x89PNG"));
  EXPECT_TRUE(RecordedMessages().isEmpty()) << RecordedMessages().join(QStringLiteral("; ")).toStdString();
}

TEST_F(RenderToFile, WhatCannotBeDoneIsRefusedWithTheReasonAndTheDialogStaysOpen) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  QStringList shown;
  TestServices().messageSink = [&](QWidget*, const QString& text) { shown.append(text); };
  TestServices().modalRunner = [&](QDialog& dialog) {
    auto& d = dynamic_cast<TRenderToFileDialog&>(dialog);
    Control<QPushButton>(d, "RenderButton")->click();  // no file yet
    Control<QLineEdit>(d, "FileEdit")->setText(PathOf(QStringLiteral("first.png")));
    Control<QPushButton>(d, "RenderButton")->click();  // the new window has no fractal chosen yet
    EXPECT_FALSE(d.result() == QDialog::Accepted);
    Control<QPushButton>(d, "CancelButton")->click();
    return d.result();
  };
  Control<QAction>(*frame, "RenderToFile1")->trigger();
  When([w] { return Drawing(*w); }, [w] { w->Abort(); }, StopAll());
  w->Menus().ifsItems[0]->trigger();
  TestServices().modalRunner = [&](QDialog& dialog) {
    auto& d = dynamic_cast<TRenderToFileDialog&>(dialog);
    Control<QLineEdit>(d, "FileEdit")->setText(PathOf(QStringLiteral("huge.png")));
    Control<QSpinBox>(d, "WidthEdit")->setValue(16384);
    Control<QSpinBox>(d, "HeightEdit")->setValue(16384);
    Control<QSpinBox>(d, "SupersampleEdit")->setValue(6);
    Control<QPushButton>(d, "RenderButton")->click();
    EXPECT_TRUE(Control<QLabel>(d, "MemoryLabel")->text().contains(QStringLiteral("available")));
    Control<QLineEdit>(d, "FileEdit")->setText(PathOf(QStringLiteral("picture.xyz")));
    Control<QSpinBox>(d, "SupersampleEdit")->setValue(1);
    Control<QPushButton>(d, "RenderButton")->click();
    EXPECT_FALSE(d.result() == QDialog::Accepted);
    Control<QPushButton>(d, "CancelButton")->click();
    return d.result();
  };
  Control<QAction>(*frame, "RenderToFile1")->trigger();
  ASSERT_EQ(shown.size(), 4) << shown.join(QStringLiteral("; ")).toStdString();
  EXPECT_EQ(shown[0], QStringLiteral("Choose the file to render to."));
  EXPECT_EQ(shown[1], QStringLiteral("The window's parameter set selects nothing to draw: choose a fractal first."));
  EXPECT_TRUE(shown[2].startsWith(QStringLiteral("Cannot render: the render needs "))) << shown[2].toStdString();
  EXPECT_TRUE(shown[3].contains(QStringLiteral("xyz"))) << shown[3].toStdString();
  EXPECT_FALSE(Control<TRenderJobs>(*frame, "RenderJobs")->Busy());
}

TEST_F(RenderToFile, ExitWhileARenderRunsAsksAndOnlyOKLeavesDiscardingIt) {
  ASSERT_NE(DrawnWindow(), nullptr);
  TRenderChoice choice;
  choice.fileName = QStringLiteral("long");
  Queue(choice);
  ASSERT_TRUE(WaitUntil([this] { return Running(); }));
  QStringList asked;
  bool answer = false;
  TestServices().warningAsker = [&](QWidget*, const QString&, const QString& text, bool okCancel) {
    asked.append(text);
    EXPECT_TRUE(okCancel);
    return answer;
  };
  Control<QAction>(*frame, "FileExitItem")->trigger();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("long.png"))) << asked[0].toStdString();
  EXPECT_TRUE(frame->isVisible());
  EXPECT_FALSE(frame->ExitRequested());
  EXPECT_TRUE(WaitUntil([this] { return Running(100000); }));

  answer = true;
  Control<QAction>(*frame, "FileExitItem")->trigger();
  EXPECT_EQ(asked.size(), 2);
  EXPECT_FALSE(Control<TRenderJobs>(*frame, "RenderJobs")->Busy());  // cancelled and joined before the frame goes
  EXPECT_TRUE(frame->ExitRequested());
  EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("long.png"))));
}

}  // namespace
