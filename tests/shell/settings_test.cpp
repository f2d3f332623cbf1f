// What the frame remembers from run to run, through the real frame and a settings file of the test's own: the
// options, the frame's geometry, the tool dialogs' places, Save As's file type and folder, File > Open Recent;
// damaged and out-of-range stored values; and the render readout in the status bar with the start hint of a new
// window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QTimer>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/params_dialog.h"
#include "dialogs/tool_window.h"
#include "files/image_export.h"
#include "files/param_file.h"
#include "image/pixel_graphic.h"
#include "shell/frame_settings.h"
#include "shell/health_bar.h"
#include "shell/main_form.h"
#include "shell/recent_files.h"
#include "shell_test_support.h"
#include "services/services.h"

namespace {

class Remembered : public FrameTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    savedGamma = TPixelGraphic::DefaultGamma();
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
    TestServices().modalRunner = {};
    TPixelGraphic::SetDefaultGamma(savedGamma);
  }

  // The next run: the frame goes as File > Exit ends it, and a new one starts from what it wrote.
  void NextRun() {
    Control<QAction>(*frame, "FileExitItem")->trigger();
    for (TMDIChild* child : frame->Children()) child->Abort();
    frame.reset();
    frame = std::make_unique<TMainForm>(TestServices());
    frame->show();
  }

  // A new frame reading a settings file written as text, as a damaged or hand-edited file would be.
  void StartWithSettingsText(const QByteArray& text) {
    for (TMDIChild* child : frame->Children()) child->Abort();
    frame.reset();
    QFile file(TestSettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    frame = std::make_unique<TMainForm>(TestServices());
  }

  QString Path(const QString& name) const { return folder.filePath(name); }

  // A parameter file written by Save Parameters As from the window.
  QString SaveParameters(TMDIChild* w, const QString& name) {
    saveAnswer = {true, Path(name), 0};
    frame->ActiveChild() == w ? Control<QAction>(*frame, "SaveParametersAs1")->trigger() : w->SaveParametersAs1Click();
    const QString written = QDir::cleanPath(Path(name));
    return written.endsWith(QStringLiteral(".ifs")) ? written : written + QStringLiteral(".ifs");
  }

  QStringList RecentCaptions() const {
    QStringList captions;
    for (QAction* action : Control<QMenu>(*frame, "OpenRecent1")->actions())
      captions.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
  }

  QAction* RecentEntry(int index) const { return Control<QMenu>(*frame, "OpenRecent1")->actions().value(index); }

  QTemporaryDir folder;
  long double savedGamma = 0;
  QList<TFileDialogRequest> saveRequests, openRequests;
  TFileDialogResult saveAnswer, openAnswer;
};

int PngFilterIndex() { return PreselectedFilterIndex("x.png").value(); }

}  // namespace

TEST_F(Remembered, OptionsFrameGeometryAndToolDialogPlacesComeBackInTheNextRun) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TestServices().modalRunner = [](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("55"));
    Control<QRadioButton>(form, "JPEGWIntFastRB")->setChecked(true);
    Control<QRadioButton>(form, "TIFFCompPackBitsRB")->setChecked(true);
    Control<QLineEdit>(form, "TIFFResVertDEdit")->setText(QStringLiteral("-7"));
    Control<QLineEdit>(form, "ScreenGammaEdit")
        ->setText(QStringLiteral("2") + QString(QChar::fromLatin1(LocaleDecimalSeparator())) + QStringLiteral("2"));
    Control<QPushButton>(form, "OKButton")->click();
    return dialog.result();
  };
  Control<QAction>(*frame, "JPGFileOptions1")->trigger();
  frame->setGeometry(30, 40, 700, 520);
  Control<QAction>(*frame, "CoolSpeedButton5")->trigger();  // Params: the dialog shows beside the frame
  ASSERT_TRUE(Control<TForm4>(*frame, "Form4")->isVisible());
  Control<TForm4>(*frame, "Form4")->move(150, 90);
  const QPoint paramsPlace = Control<TForm4>(*frame, "Form4")->pos();
  const QRect frameGeometry = frame->geometry();

  NextRun();
  const TFileOptions& o = frame->ImageFileOptions();
  EXPECT_EQ(o.JPEGQuality, 55);
  EXPECT_EQ(o.JPEGWriteDCTMethod, TJPEGDCTMethod::IntFast);
  EXPECT_EQ(o.TIFFCompression, TIFFCompressionPackBits);
  EXPECT_EQ(o.TIFFResYDen, -7);
  EXPECT_DOUBLE_EQ(static_cast<double>(o.ScreenGamma), 2.2);
  EXPECT_EQ(o.TIFFResXNum, 300);  // untouched options keep their values
  // The restored gamma is in force: new pictures take it.
  EXPECT_DOUBLE_EQ(static_cast<double>(TPixelGraphic().Gamma), 2.2);
  EXPECT_EQ(frame->geometry(), frameGeometry);
  EXPECT_TRUE(ToolWindowPlaced(Control<TForm4>(*frame, "Form4")));
  EXPECT_EQ(Control<TForm4>(*frame, "Form4")->pos(), paramsPlace);
  // The Coefficients dialog was never shown: it goes beside the frame when it first is.
  EXPECT_FALSE(ToolWindowPlaced(Control<TCForm>(*frame, "CForm")));
}

// "Use all processor cores": on at a first run, off once the user turned it off (and the dialog shows it so), on again
// when a stored value is damaged.
TEST_F(Remembered, UseAllProcessorCoresComesBackInTheNextRun) {
  ASSERT_NE(FirstWindow(), nullptr);
  EXPECT_TRUE(frame->DrawingOptions().useAllCores);
  bool shownChecked = false;
  TestServices().modalRunner = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    shownChecked = Control<QCheckBox>(form, "UseAllCoresCB")->isChecked();
    Control<QCheckBox>(form, "UseAllCoresCB")->click();
    Control<QPushButton>(form, "OKButton")->click();
    return dialog.result();
  };
  Control<QAction>(*frame, "JPGFileOptions1")->trigger();
  EXPECT_TRUE(shownChecked);
  EXPECT_FALSE(frame->DrawingOptions().useAllCores);

  NextRun();
  ASSERT_NE(FirstWindow(), nullptr);
  EXPECT_FALSE(frame->DrawingOptions().useAllCores);
  // Cancel changes nothing, whatever was clicked.
  TestServices().modalRunner = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    shownChecked = Control<QCheckBox>(form, "UseAllCoresCB")->isChecked();
    Control<QCheckBox>(form, "UseAllCoresCB")->click();
    Control<QPushButton>(form, "CancelButton")->click();
    return dialog.result();
  };
  Control<QAction>(*frame, "JPGFileOptions1")->trigger();
  EXPECT_FALSE(shownChecked);
  EXPECT_FALSE(frame->DrawingOptions().useAllCores);

  StartWithSettingsText("[drawing]\nuseAllCores=sometimes\n");
  EXPECT_TRUE(frame->DrawingOptions().useAllCores);
  StartWithSettingsText("[drawing]\nuseAllCores=false\n");
  EXPECT_FALSE(frame->DrawingOptions().useAllCores);
}

TEST_F(Remembered, DamagedOrOutOfRangeValuesAreIgnoredAndTheRestIsTaken) {
  StartWithSettingsText(
      "[options]\n"
      "JPEGQuality=eighty\n"
      "JPEGWriteDCTMethod=7\n"
      "JPEGReadDCTMethod=2\n"        // valid
      "ScreenGamma=0\n"
      "TIFFCompression=5\n"
      "TIFFResUnit=-1\n"
      "TIFFResXNum=99999999999\n"
      "TIFFResYNum=1200\n"           // valid
      "PXMWriteBinary=maybe\n"
      "TIFFWhiteIsZero=true\n"       // valid
      "WriteGamma=@Point(1 2)\n"
      "[frame]\n"
      "geometry=@ByteArray(garbage)\n"
      "state=@ByteArray(\\x1\\x2\\x3)\n"
      "[dialogs]\n"
      "parametersPos=@Point(100000 100000)\n"
      "coefficientsPos=not a point\n"
      "[folders]\n"
      "pictures=/no/such/folder/anywhere\n"
      "parameters=relative/folder\n"
      "[saveAs]\n"
      "fileType=gif\n"
      "[General]\n"
      "recentFiles=relative.ifs, , /abs/a.ifs, /abs/a.ifs, /abs/b.ifs\n");
  const TFileOptions defaults;
  const TFileOptions& o = frame->ImageFileOptions();
  EXPECT_EQ(o.JPEGQuality, defaults.JPEGQuality);
  EXPECT_EQ(o.JPEGWriteDCTMethod, defaults.JPEGWriteDCTMethod);
  EXPECT_EQ(o.JPEGReadDCTMethod, TJPEGDCTMethod::FloatingPoint);
  EXPECT_EQ(static_cast<double>(o.ScreenGamma), static_cast<double>(defaults.ScreenGamma));
  EXPECT_EQ(o.TIFFCompression, defaults.TIFFCompression);
  EXPECT_EQ(o.TIFFResUnit, defaults.TIFFResUnit);
  EXPECT_EQ(o.TIFFResXNum, defaults.TIFFResXNum);
  EXPECT_EQ(o.TIFFResYNum, 1200);
  EXPECT_EQ(o.PXMWriteBinary, defaults.PXMWriteBinary);
  EXPECT_TRUE(o.TIFFWhiteIsZero);
  EXPECT_EQ(o.WriteGamma, defaults.WriteGamma);
  EXPECT_FALSE(ToolWindowPlaced(Control<TForm4>(*frame, "Form4")));
  EXPECT_FALSE(ToolWindowPlaced(Control<TCForm>(*frame, "CForm")));
  EXPECT_TRUE(frame->SaveMemory().pictureFolder.isEmpty());
  EXPECT_TRUE(frame->SaveMemory().parameterFolder.isEmpty());
  EXPECT_TRUE(frame->SaveMemory().pictureExtension.isEmpty());
  EXPECT_EQ(frame->RecentFiles().Paths(), QStringList({QStringLiteral("/abs/a.ifs"), QStringLiteral("/abs/b.ifs")}));

  // The frame works as on a first run: it opens its window, and the next run reads a sound file again.
  frame->show();
  ASSERT_NE(FirstWindow(), nullptr);
  EXPECT_TRUE(ReachableOnScreens(frame->frameGeometry(), AvailableScreenAreas()));
  NextRun();
  EXPECT_EQ(frame->ImageFileOptions().TIFFResYNum, 1200);
  EXPECT_TRUE(frame->ImageFileOptions().TIFFWhiteIsZero);
}

TEST_F(Remembered, GammaOutsideWhatAPngCanRecordIsNotApplied) {
  for (const char* gamma : {"0.0009", "1000.5", "nan", "inf", "-2"}) {
    StartWithSettingsText(QByteArray("[options]\nScreenGamma=") + gamma + "\n");
    EXPECT_DOUBLE_EQ(static_cast<double>(frame->ImageFileOptions().ScreenGamma), 1.8) << gamma;
    EXPECT_DOUBLE_EQ(static_cast<double>(TPixelGraphic().Gamma), 1.8) << gamma;
  }
  StartWithSettingsText("[options]\nScreenGamma=1000\n");
  EXPECT_DOUBLE_EQ(static_cast<double>(frame->ImageFileOptions().ScreenGamma), 1000.0);
}

TEST_F(Remembered, AFrameLeftOffEveryScreenComesBackWhereItCanBeReached) {
  const QList<QRect> screens = AvailableScreenAreas();
  ASSERT_FALSE(screens.isEmpty());
  QRect far = screens.front();
  for (const QRect& s : screens) far = far.united(s);
  frame->setGeometry(far.right() + 3000, far.bottom() + 2000, 640, 480);
  Control<TForm4>(*frame, "Form4")->show();
  Control<TForm4>(*frame, "Form4")->move(far.right() + 500, far.top());
  Control<TForm4>(*frame, "Form4")->hide();
  frame->SaveSettings();
  frame.reset();
  frame = std::make_unique<TMainForm>(TestServices());
  frame->show();
  EXPECT_TRUE(ReachableOnScreens(frame->frameGeometry(), AvailableScreenAreas()))
      << frame->frameGeometry().x() << "," << frame->frameGeometry().y();
  EXPECT_EQ(frame->size(), QSize(640, 480).boundedTo(screens.front().size()));
  EXPECT_FALSE(ToolWindowPlaced(Control<TForm4>(*frame, "Form4")));
}

TEST(FrameSettings, AWindowIsReachableWhileEnoughOfItsTitleStripIsOnAScreen) {
  const QList<QRect> screens = {QRect(0, 0, 1600, 1000), QRect(1600, 0, 1280, 1024)};
  EXPECT_TRUE(ReachableOnScreens(QRect(100, 100, 400, 300), screens));
  EXPECT_TRUE(ReachableOnScreens(QRect(2500, 900, 400, 300), screens));      // on the second screen
  EXPECT_TRUE(ReachableOnScreens(QRect(-350, 10, 400, 300), screens));       // 50 pixels of the strip left
  EXPECT_FALSE(ReachableOnScreens(QRect(-380, 10, 400, 300), screens));      // 20: too little to grab
  EXPECT_FALSE(ReachableOnScreens(QRect(100, -200, 400, 300), screens));     // title strip above every screen
  EXPECT_FALSE(ReachableOnScreens(QRect(100, 995, 400, 300), screens));      // 5 rows of the strip
  EXPECT_FALSE(ReachableOnScreens(QRect(5000, 5000, 400, 300), screens));
  EXPECT_FALSE(ReachableOnScreens(QRect(100, 100, 400, 300), {}));
  EXPECT_FALSE(ReachableOnScreens(QRect(), screens));
}

TEST(RecentFiles, KeepsTheLastEightMostRecentFirstWithoutRepeats) {
  TRecentFiles recent;
  for (int i = 1; i <= 10; ++i) recent.Add(QStringLiteral("/p/f%1.ifs").arg(i));
  ASSERT_EQ(recent.Paths().size(), TRecentFiles::kMaxCount);
  EXPECT_EQ(recent.Paths().front(), QStringLiteral("/p/f10.ifs"));
  EXPECT_EQ(recent.Paths().back(), QStringLiteral("/p/f3.ifs"));
  recent.Add(QStringLiteral("/p/sub/../f5.ifs"));
  EXPECT_EQ(recent.Paths().front(), QStringLiteral("/p/f5.ifs"));
  EXPECT_EQ(recent.Paths().size(), TRecentFiles::kMaxCount);
  EXPECT_EQ(recent.Paths().count(QStringLiteral("/p/f5.ifs")), 1);
  recent.Remove(QStringLiteral("/p/f5.ifs"));
  EXPECT_EQ(recent.Paths().front(), QStringLiteral("/p/f10.ifs"));
  EXPECT_EQ(TRecentFiles::MenuCaption(0, QStringLiteral("/x/Salt & Pepper.ifs")),
            QStringLiteral("&1 Salt && Pepper.ifs"));
}

TEST_F(Remembered, OpenRecentListsFilesOpenedAndSavedAndOpensThemInNewWindows) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(RecentCaptions(), QStringList({QStringLiteral("Clear List")}));
  EXPECT_FALSE(Control<QAction>(*frame, "ClearRecentList1")->isEnabled());

  const QString a = SaveParameters(w, QStringLiteral("a.ifs"));
  const QString b = SaveParameters(w, QStringLiteral("b"));  // the extension is added
  // Loading a file puts it first; an entry is never listed twice.
  openAnswer = {true, a, 0};
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  EXPECT_EQ(openRequests.back().directory, QFileInfo(b).absolutePath());  // the folder of the last file
  EXPECT_EQ(RecentCaptions(),
            QStringList({QStringLiteral("&1 a.ifs"), QStringLiteral("&2 b.ifs"), QStringLiteral("-"),
                         QStringLiteral("Clear List")}));
  EXPECT_EQ(RecentEntry(1)->statusTip(), b);
  EXPECT_TRUE(Control<QAction>(*frame, "ClearRecentList1")->isEnabled());

  RecentEntry(1)->trigger();
  ASSERT_EQ(frame->Children().size(), 2);
  TMDIChild* opened = frame->Children().back();
  ASSERT_TRUE(WaitUntil([&] { return opened->windowTitle() == b; }));
  EXPECT_EQ(frame->RecentFiles().Paths(), QStringList({b, a}));
  EXPECT_TRUE(RecordedMessages().isEmpty()) << RecordedMessages().join(QLatin1Char('\n')).toStdString();

  NextRun();
  EXPECT_EQ(frame->RecentFiles().Paths(), QStringList({b, a}));
  EXPECT_EQ(RecentCaptions().size(), 4);
}

TEST_F(Remembered, ARecentFileThatIsGoneIsNamedAndLeavesTheList) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  const QString a = SaveParameters(w, QStringLiteral("a.ifs"));
  const QString gone = SaveParameters(w, QStringLiteral("gone.ifs"));
  ASSERT_TRUE(QFile::remove(gone));
  RecordedMessages().clear();
  RecentEntry(0)->trigger();
  EXPECT_EQ(frame->Children().size(), 1);  // nothing opened
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].contains(gone)) << RecordedMessages()[0].toStdString();
  EXPECT_TRUE(RecordedMessages()[0].contains(QStringLiteral("removed"))) << RecordedMessages()[0].toStdString();
  EXPECT_EQ(frame->RecentFiles().Paths(), QStringList({a}));
  EXPECT_EQ(RecentCaptions().front(), QStringLiteral("&1 a.ifs"));

  Control<QAction>(*frame, "ClearRecentList1")->trigger();
  EXPECT_TRUE(frame->RecentFiles().Paths().isEmpty());
  EXPECT_EQ(RecentCaptions(), QStringList({QStringLiteral("Clear List")}));
  EXPECT_FALSE(Control<QAction>(*frame, "ClearRecentList1")->isEnabled());
  NextRun();
  EXPECT_TRUE(frame->RecentFiles().Paths().isEmpty());
}

TEST_F(Remembered, SaveAsProposesTheLastFileTypeAndFolderAgainAlsoInTheNextRun) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("pictures")));
  Control<QAction>(*frame, "FileSaveAsItem")
      ->trigger();  // cancelled: the first save proposes the first type and no folder
  ASSERT_EQ(saveRequests.size(), 1);
  EXPECT_EQ(saveRequests[0].filterIndex, 0);
  EXPECT_TRUE(saveRequests[0].directory.isEmpty());

  saveAnswer = {true, Path(QStringLiteral("pictures/first")), PngFilterIndex()};
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  ASSERT_TRUE(QFile::exists(Path(QStringLiteral("pictures/first.png"))));
  EXPECT_EQ(frame->RecentFiles().Paths().front(), QDir::cleanPath(Path(QStringLiteral("pictures/first.ifs"))));

  // A new window has no folder of its own: it proposes the folder and the type saved last.
  TMDIChild* second = NewWindow();
  ASSERT_EQ(frame->ActiveChild(), second);
  saveAnswer = {};
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(saveRequests.back().filterIndex, PngFilterIndex());
  EXPECT_EQ(QDir::cleanPath(saveRequests.back().directory), QDir::cleanPath(Path(QStringLiteral("pictures"))));
  EXPECT_EQ(saveRequests.back().fileName, QStringLiteral("Ovel-index"));

  NextRun();
  ASSERT_NE(FirstWindow(), nullptr);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(saveRequests.back().filterIndex, PngFilterIndex());
  EXPECT_EQ(QDir::cleanPath(saveRequests.back().directory), QDir::cleanPath(Path(QStringLiteral("pictures"))));
  // Save Parameters As starts in the folder of the last parameter file.
  Control<QAction>(*frame, "SaveParametersAs1")->trigger();
  EXPECT_EQ(QDir::cleanPath(saveRequests.back().directory), QDir::cleanPath(Path(QStringLiteral("pictures"))));
}

TEST_F(Remembered, TheStatusBarShowsTheActiveWindowsRenderAndANewWindowSaysHowToStart) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  // Nothing drawn yet: the readout is empty, and the picture area says how to start.
  EXPECT_FALSE(w->Health().started);
  EXPECT_FALSE(Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Steps)->isVisible());
  const QString hint = w->PictureView()->HintText();
  EXPECT_TRUE(hint.contains(QStringLiteral("G-Mira / Martin"))) << hint.toStdString();
  EXPECT_TRUE(hint.contains(QStringLiteral("IFS-01"))) << hint.toStdString();
  EXPECT_TRUE(hint.contains(QStringLiteral("parameter file"))) << hint.toStdString();
  // The hint is on the screen, never in the picture.
  const QImage shown = w->PictureView()->PicBox()->grab().toImage();
  int litOnScreen = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) litOnScreen += (shown.pixel(x, y) & 0xFFFFFF) != 0;
  EXPECT_GT(litOnScreen, 100);
  EXPECT_EQ(CountLitPixels(*w->PictureView()->PixelGraphic()), 0);
  saveAnswer = {true, Path(QStringLiteral("blank.bmp")), 0};
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  QImage saved(Path(QStringLiteral("blank.bmp")));
  ASSERT_FALSE(saved.isNull());
  int litSaved = 0;
  for (int y = 0; y < saved.height(); ++y)
    for (int x = 0; x < saved.width(); ++x) litSaved += (saved.pixel(x, y) & 0xFFFFFF) != 0;
  EXPECT_EQ(litSaved, 0);

  TRenderHealth during;
  QString stepsText, litText;
  QTimer::singleShot(0, [&] {
    When([&] { return w->Health().running && w->Health().steps > 0 && w->Health().litShare > 0; },
         [&] {
           during = w->Health();
           stepsText = Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Steps)->text();
           litText = Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Lit)->text();
           w->Abort();
         },
         StopAll());
    w->Menus().miraItems[0]->trigger();
  });
  ASSERT_TRUE(WaitUntil([w] { return w->PassDepth() == 0 && w->Health().started; }));
  EXPECT_TRUE(w->PictureView()->HintText().isEmpty());
  EXPECT_GT(during.stepsPerSecond, 0);
  EXPECT_GT(during.elapsedSeconds, 0);
  EXPECT_TRUE(stepsText.endsWith(QStringLiteral(" steps"))) << stepsText.toStdString();
  EXPECT_TRUE(litText.endsWith(QStringLiteral(" % lit"))) << litText.toStdString();
  // Stopped: the figures stand still and say so.
  const TRenderHealth after = w->Health();
  EXPECT_FALSE(after.running);
  EXPECT_GE(after.steps, during.steps);
  EXPECT_EQ(Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::StepsPerSecond)->text(),
            QStringLiteral("stopped"));
  EXPECT_EQ(Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Steps)->text(),
            FormatCount(static_cast<double>(after.steps), QLocale().decimalPoint()) + QStringLiteral(" steps"));

  // Another window that has drawn nothing: the readout follows the active window.
  TMDIChild* second = NewWindow();
  ASSERT_EQ(frame->ActiveChild(), second);
  EXPECT_FALSE(Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Steps)->isVisible());
  EXPECT_FALSE(second->PictureView()->HintText().isEmpty());
  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(w);
  EXPECT_TRUE(Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Steps)->isVisibleTo(frame.get()));
  EXPECT_EQ(Control<THealthBar>(*frame, "HealthBar")->Field(THealthField::Steps)->text(),
            FormatCount(static_cast<double>(after.steps), QLocale().decimalPoint()) + QStringLiteral(" steps"));
}

TEST(HealthBar, CountsReadInThreeDigitsAndTimesInMinutesAndHours) {
  EXPECT_EQ(FormatCount(0, QStringLiteral(".")), QStringLiteral("0"));
  EXPECT_EQ(FormatCount(9999, QStringLiteral(".")), QStringLiteral("9999"));
  EXPECT_EQ(FormatCount(12345, QStringLiteral(".")), QStringLiteral("12.3 k"));
  EXPECT_EQ(FormatCount(999499, QStringLiteral(".")), QStringLiteral("999 k"));
  EXPECT_EQ(FormatCount(999500, QStringLiteral(",")), QStringLiteral("1,00 M"));
  EXPECT_EQ(FormatCount(4.56e6, QStringLiteral(",")), QStringLiteral("4,56 M"));
  EXPECT_EQ(FormatCount(7.8e9, QStringLiteral(".")), QStringLiteral("7.80 G"));
  EXPECT_EQ(FormatElapsed(7.9), QStringLiteral("0:07"));
  EXPECT_EQ(FormatElapsed(754), QStringLiteral("12:34"));
  EXPECT_EQ(FormatElapsed(3723), QStringLiteral("1:02:03"));
  EXPECT_EQ(FormatElapsed(-1), QStringLiteral("0:00"));
}
