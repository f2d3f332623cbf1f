// The frame's file commands through their real actions, with real files in a temporary folder: Save As with its
// dialog, default extension and conversion warning; loading parameter files and their messages; the image file
// Options; saving and loading while a pass draws; the progress box of a save.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QRadioButton>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <fstream>
#include <sstream>

#include "dialogs/coefficients_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/params_dialog.h"
#include "files/file_options.h"
#include "files/image_export.h"
#include "files/param_file.h"
#include "files/writer_test_support.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"
#include "services/services.h"
#include "windows/child_probe.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

char Separator() { return QLocale().decimalPoint().front().toLatin1(); }

class FileCommands : public FrameTest {
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
    TestServices().warningAsker = [this](QWidget*, const QString&, const QString& text, bool okCancel) {
      warnings.append(text);
      EXPECT_TRUE(okCancel);
      return warningAnswer;
    };
    FrameTest::SetUp();
  }

  void TearDown() override {
    FrameTest::TearDown();
    TestServices().saveDialog = {};
    TestServices().openDialog = {};
    TestServices().warningAsker = {};
    TestServices().modalRunner = {};
    TestServices().saveProgressMinimumDurationMs = 500;
    TPixelGraphic::SetDefaultGamma(savedGamma);
  }

  TMDIChild* FirstWindow() {
    TMDIChild* w = FrameTest::FirstWindow();
    // The dialogs' first-show round trip writes back into the record once their debounce runs out; the tests
    // set their values after that.
    EXPECT_TRUE(WaitUntil([this] {
      return !Control<TForm4>(*frame, "Form4")->DebouncePending() &&
             !Control<TCForm>(*frame, "CForm")->DebouncePending();
    }));
    return w;
  }

  QString Path(const QString& name) const { return folder.filePath(name); }

  void AnswerSave(const QString& name, int filterIndex) { saveAnswer = {true, Path(name), filterIndex}; }
  void AnswerOpen(const QString& path) { openAnswer = {true, path, 0}; }

  QTemporaryDir folder;
  long double savedGamma = 0;
  QList<TFileDialogRequest> saveRequests, openRequests;
  TFileDialogResult saveAnswer, openAnswer;  // cancelled unless a test answers
  QStringList warnings;
  bool warningAnswer = true;
};

TEST_F(FileCommands, SaveAsProposesTheCaptionsNameAndOffersEveryListedFormat) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(Control<QAction>(*frame, "FileSaveAsItem")->isEnabled());
  EXPECT_EQ(Control<QAction>(*frame, "FileSaveAsItem")->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(Control<QAction>(*frame, "LoadFromParameterFile1")->shortcut(), QKeySequence(QKeySequence::Open));

  Control<QAction>(*frame, "FileSaveAsItem")->trigger();  // cancelled
  ASSERT_EQ(saveRequests.size(), 1);
  EXPECT_EQ(saveRequests[0].fileName, QStringLiteral("Ovel-index"));
  EXPECT_EQ(saveRequests[0].filter,
            QStringLiteral("BMP - Bitmap|*.bmp|JPG - JPEG (JFIF compliant)|*.jpg|PBM - Portable Bitmap|*.pbm|"
                           "PGM - Portable Graymap|*.pgm|PNG - Portable Network Graphics|*.png|"
                           "PPM - Portable Pixelmap|*.ppm|TGA - Truevision Targa|*.tga|"
                           "TIF - Tagged Image File Format|*.tif|"));
  EXPECT_EQ(saveRequests[0].filterIndex, 0);
  EXPECT_EQ(NameFiltersOf(saveRequests[0].filter).value(4), QStringLiteral("PNG - Portable Network Graphics (*.png)"));
  EXPECT_TRUE(Entries(folder.path()).isEmpty());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Ovel-index.ifs"));

  // A caption naming a file: the dialog starts in its folder, and a name that still has an extension after the
  // last four characters are gone preselects that format.
  w->setWindowTitle(Path(QStringLiteral("shot.png.ifs")));
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  ASSERT_EQ(saveRequests.size(), 2);
  EXPECT_EQ(saveRequests[1].fileName, QStringLiteral("shot.png"));
  EXPECT_EQ(saveRequests[1].filterIndex, 4);
  EXPECT_EQ(QDir(saveRequests[1].directory), QDir(folder.path()));
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

TEST_F(FileCommands, SaveAndLoadRoundTripThroughRealFiles) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TMDIChildProbe::Record(*w).red = 0.25;
  TMDIChildProbe::Record(*w).zoom = 1.5e-7;
  TMDIChildProbe::Record(*w).af[7] = -0.123456789012345;
  TMDIChildProbe::Record(*w).af2[60] = 42.0;
  // Flags that do not start the engine, so the redraw after loading returns at once.
  TMDIChildProbe::Record(*w).cif01 = true;
  TMDIChildProbe::Record(*w).bent = true;
  const TFractalParams saved = w->Params();

  // No extension typed: the selected entry's is added (BMP is entry 0).
  AnswerSave(QStringLiteral("pic"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  const QString picture = Path(QStringLiteral("pic.bmp"));
  const QString parameters = Path(QStringLiteral("pic.ifs"));
  EXPECT_EQ(Entries(folder.path()), QStringList({QStringLiteral("pic.bmp"), QStringLiteral("pic.ifs")}));
  const QByteArray bmp = ReadAll(picture);
  EXPECT_TRUE(bmp.startsWith("BM"));
  EXPECT_EQ(bmp.size(), 54 + 400 * 300 * 3);
  EXPECT_EQ(w->windowTitle(), picture);
  EXPECT_TRUE(warnings.isEmpty());
  EXPECT_TRUE(RecordedMessages().isEmpty());

  std::ostringstream expected;
  WriteParameterFile(expected, saved, Separator());
  EXPECT_EQ(ReadAll(parameters).toStdString(), expected.str());

  // Change everything that was stored, then load it back.
  TMDIChildProbe::Record(*w).red = 0.9;
  TMDIChildProbe::Record(*w).zoom = 0.23;
  TMDIChildProbe::Record(*w).af[7] = 0.0;
  TMDIChildProbe::Record(*w).af2[60] = 0.0;
  TMDIChildProbe::Record(*w).cif01 = false;
  TMDIChildProbe::Record(*w).bent = false;
  TMDIChildProbe::Record(*w).randomize = true;
  AnswerOpen(parameters);
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  ASSERT_EQ(openRequests.size(), 1);
  // Parameter files first, as the dialog opens; hit-count documents open through it too.
  EXPECT_EQ(NameFiltersOf(openRequests[0].filter),
            (QStringList{QStringLiteral("Ovel-IFS parameter files (*.ifs)"), QStringLiteral("Hit-count documents (*.ovc)"),
                         QStringLiteral("Parameter files and hit-count documents (*.ifs *.ovc)")}));
  EXPECT_DOUBLE_EQ(w->Params().red, 0.25);
  EXPECT_DOUBLE_EQ(w->Params().zoom, 1.5e-7);
  EXPECT_DOUBLE_EQ(w->Params().af[7], -0.123456789012345);
  EXPECT_DOUBLE_EQ(w->Params().af2[60], 42.0);
  EXPECT_TRUE(w->Params().bent);
  EXPECT_TRUE(w->Params().cif01);
  EXPECT_FALSE(w->Params().randomize);
  EXPECT_EQ(w->windowTitle(), parameters);
  EXPECT_EQ(frame->ModeWord(), parameters);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

TEST_F(FileCommands, EditsWaitingInTheDialogsAreSavedAndGiveWayToALoadedFile) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  Control<QSlider>(*frame, "RedBar1")->setValue(5);  // red 0.2 once the debounce runs out
  ASSERT_TRUE(Control<TForm4>(*frame, "Form4")->DebouncePending());
  AnswerSave(QStringLiteral("edited.bmp"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  const QList<QByteArray> lines = ReadAll(Path(QStringLiteral("edited.ifs"))).split('\n');
  ASSERT_GT(lines.size(), 7);
  EXPECT_EQ(lines[6].trimmed().toStdString(), FormatGeneralNumber(0.2, Separator()));  // line 7: red

  // A slider moved just before loading does not overwrite the file's value when the window is drawn.
  TFractalParams stored = w->Params();
  stored.red = 0.32;
  std::ostringstream text;
  WriteParameterFile(text, stored, Separator());
  WriteAll(Path(QStringLiteral("load.ifs")), QByteArray::fromStdString(text.str()));
  Control<QSlider>(*frame, "RedBar1")->setValue(10);
  ASSERT_TRUE(Control<TForm4>(*frame, "Form4")->DebouncePending());
  AnswerOpen(Path(QStringLiteral("load.ifs")));
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  EXPECT_DOUBLE_EQ(w->Params().red, 0.32);
}

TEST_F(FileCommands, NameWithoutExtensionTakesTheSelectedFormatAndGrayFormatsAskFirst) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  AnswerSave(QStringLiteral("gray"), 3);  // PGM
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_EQ(warnings[0].toStdString(),
            ColorResWarningText("Portable Graymap", TColorResolution::TrueColor, TColorResolution::Gray256));
  EXPECT_TRUE(ReadAll(Path(QStringLiteral("gray.pgm"))).startsWith("P2"));
  EXPECT_TRUE(QFile::exists(Path(QStringLiteral("gray.ifs"))));
  EXPECT_EQ(w->windowTitle(), Path(QStringLiteral("gray.pgm")));

  // Cancel in the warning: nothing is written, the caption stays, and the refusal is reported.
  warningAnswer = false;
  AnswerSave(QStringLiteral("mono.pbm"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(warnings.size(), 2);
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("mono.pbm"))));
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("mono.ifs"))));
  EXPECT_EQ(Entries(folder.path()), QStringList({QStringLiteral("gray.ifs"), QStringLiteral("gray.pgm")}));
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].contains(QStringLiteral("Portable Bitmap")));
  EXPECT_EQ(w->windowTitle(), Path(QStringLiteral("gray.pgm")));
}

TEST_F(FileCommands, FailedSaveLeavesEarlierPictureAndParameterFileAsTheyWere) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  const QString caption = w->windowTitle();

  // The parameter file cannot be put in place (a folder holds its name): the picture must not be replaced.
  WriteAll(Path(QStringLiteral("pic.bmp")), "old picture");
  ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("pic.ifs")));
  AnswerSave(QStringLiteral("pic.bmp"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].contains(QStringLiteral("pic.ifs"))) << RecordedMessages()[0].toStdString();
  EXPECT_EQ(ReadAll(Path(QStringLiteral("pic.bmp"))), QByteArray("old picture"));

  // An unknown extension: the earlier parameter file of that name stays.
  WriteAll(Path(QStringLiteral("anim.ifs")), "old parameters");
  AnswerSave(QStringLiteral("anim.gif"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 2);
  EXPECT_EQ(RecordedMessages()[1], QStringLiteral("Unknown file extension \"gif\""));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("anim.ifs"))), QByteArray("old parameters"));

  // A full disk: the box gives the system's cause and names the file the user chose.
  {
    const writer_test::TFullDisk full;
    TestServices().fileSystem = &full;
    AnswerSave(QStringLiteral("anim.png"), 0);
    Control<QAction>(*frame, "FileSaveAsItem")->trigger();
    TestServices().fileSystem = nullptr;
  }
  ASSERT_EQ(RecordedMessages().size(), 3);
  EXPECT_EQ(RecordedMessages()[2],
            QStringLiteral("Cannot write file \"%1\": No space left on device").arg(Path(QStringLiteral("anim.png"))));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("anim.ifs"))), QByteArray("old parameters"));

  // No temporary file is left behind, and the caption never named a file that was not saved.
  EXPECT_EQ(Entries(folder.path()),
            QStringList({QStringLiteral("anim.ifs"), QStringLiteral("pic.bmp"), QStringLiteral("pic.ifs")}));
  EXPECT_EQ(w->windowTitle(), caption);
}

TEST_F(FileCommands, MissingParameterFileShowsOneErrorAndChangesNothing) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  const QString caption = w->windowTitle();
  const QString mode = frame->ModeWord();
  TMDIChildProbe::Record(*w).red = 0.11;
  TMDIChildProbe::Record(*w).randomize = true;
  AnswerOpen(Path(QStringLiteral("nowhere.ifs")));
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_TRUE(RecordedMessages()[0].contains(QStringLiteral("nowhere.ifs")));
  EXPECT_EQ(w->windowTitle(), caption);
  EXPECT_EQ(frame->ModeWord(), mode);
  EXPECT_DOUBLE_EQ(w->Params().red, 0.11);
  EXPECT_TRUE(w->Params().randomize);  // the frame did not go on to draw

  // Cancelling the dialog changes nothing either.
  openAnswer = {};
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  EXPECT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(w->windowTitle(), caption);
}

TEST_F(FileCommands, TruncatedFileGivesOneBoxCountingTheMissingValues) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TMDIChildProbe::Record(*w).red = 0.11;
  TMDIChildProbe::Record(*w).af[5] = 0.5;
  const QString path = Path(QStringLiteral("short.ifs"));
  WriteAll(path, "Ovel-IFS v0.005\r\n");
  AnswerOpen(path);
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  ASSERT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(RecordedMessages()[0], QString::fromStdString(MissingVariableMessage(path.toStdString())) +
                                       QStringLiteral(" (and 122 more missing values)"));
  EXPECT_DOUBLE_EQ(w->Params().red, 0.11);
  EXPECT_DOUBLE_EQ(w->Params().af[5], 0.5);
  EXPECT_EQ(w->windowTitle(), path);
  EXPECT_EQ(frame->ModeWord(), path);

  // A value that is not a number ends the load with the reader's own message, once.
  RecordedMessages().clear();
  WriteAll(path, "header\r\n2\r\nnot a number\r\n");
  Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
  EXPECT_EQ(RecordedMessages(), QStringList{QStringLiteral("Error reading parameter file")});
  EXPECT_DOUBLE_EQ(w->Params().zoom, 2.0);
}

TEST_F(FileCommands, OptionsAreStoredOnlyOnOk) {
  // Usable before any window exists.
  ASSERT_TRUE(Control<QAction>(*frame, "JPGFileOptions1")->isEnabled());
  const QString point = QLocale().decimalPoint();
  TestServices().modalRunner = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    EXPECT_EQ(Control<QLineEdit>(form, "JPEGWQualityEdit")->text(), QStringLiteral("80"));
    Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("300"));
    Control<QLineEdit>(form, "ScreenGammaEdit")->setText(QStringLiteral("2") + point + QStringLiteral("2"));
    Control<QPushButton>(form, "OKButton")->click();
    return dialog.result();
  };
  Control<QAction>(*frame, "JPGFileOptions1")->trigger();
  EXPECT_EQ(frame->ImageFileOptions().JPEGQuality, 44);
  EXPECT_DOUBLE_EQ(static_cast<double>(frame->ImageFileOptions().ScreenGamma), 2.2);
  // New pictures take the new screen gamma.
  EXPECT_DOUBLE_EQ(static_cast<double>(TPixelGraphic().Gamma), 2.2);

  TestServices().modalRunner = [&](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    EXPECT_EQ(Control<QLineEdit>(form, "JPEGWQualityEdit")->text(), QStringLiteral("44"));
    Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("10"));
    Control<QPushButton>(form, "CancelButton")->click();
    return dialog.result();
  };
  Control<QAction>(*frame, "JPGFileOptions1")->trigger();
  EXPECT_EQ(frame->ImageFileOptions().JPEGQuality, 44);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

// The options are the frame's: what "Options" stores is what the next Save As of any window writes with.
TEST_F(FileCommands, SaveAsWritesWithTheOptionsStoredThroughTheFrame) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  const auto firstBytes = [this](const QString& name) {
    QFile file(Path(name));
    return file.open(QIODevice::ReadOnly) ? file.read(2) : QByteArray();
  };
  AnswerSave(QStringLiteral("text.ppm"), 5);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(firstBytes(QStringLiteral("text.ppm")), QByteArray("P3"));

  TestServices().modalRunner = [](QDialog& dialog) {
    auto& form = dynamic_cast<TForm2&>(dialog);
    Control<QRadioButton>(form, "PXMBinaryRB")->setChecked(true);
    Control<QPushButton>(form, "OKButton")->click();
    return dialog.result();
  };
  Control<QAction>(*frame, "JPGFileOptions1")->trigger();
  EXPECT_TRUE(frame->ImageFileOptions().PXMWriteBinary);
  AnswerSave(QStringLiteral("binary.ppm"), 5);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(firstBytes(QStringLiteral("binary.ppm")), QByteArray("P6"));
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

// Save Parameters As writes the parameter file alone, which loads back into another window unchanged; files
// dropped on the frame open in windows of their own, and a file that cannot be read says so.
TEST_F(FileCommands, ParametersSavedAloneOpenAgainInANewWindowWhenDropped) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TMDIChildProbe::Record(*w).af[7] = -0.123456789012345;
  TMDIChildProbe::Record(*w).cif01 = true;  // draws nothing, so the redraw after loading returns at once
  AnswerSave(QStringLiteral("alone.ifs"), 0);
  Control<QAction>(*frame, "SaveParametersAs1")->trigger();
  ASSERT_EQ(saveRequests.size(), 1);
  EXPECT_EQ(saveRequests[0].filter, QString::fromLatin1(kParamFileOpenFilter));
  EXPECT_EQ(Entries(folder.path()), QStringList{QStringLiteral("alone.ifs")});
  std::ostringstream expected;
  WriteParameterFile(expected, w->Params(), Separator());
  EXPECT_EQ(ReadAll(Path(QStringLiteral("alone.ifs"))), QByteArray::fromStdString(expected.str()));

  QMimeData dragged;
  dragged.setUrls({QUrl::fromLocalFile(Path(QStringLiteral("alone.ifs"))), QUrl(QStringLiteral("https://x/y.ifs")),
                   QUrl::fromLocalFile(Path(QStringLiteral("missing.ifs")))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(frame.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(frame.get(), &drop);
  ASSERT_EQ(frame->Children().size(), 3);  // the web address is not a file
  TMDIChild* opened = frame->Children()[1];
  ASSERT_TRUE(WaitUntil([opened] { return FirstShowDone(*opened) && opened->windowTitle().endsWith("alone.ifs"); }));
  EXPECT_EQ(opened->Params().af[7], -0.123456789012345);
  EXPECT_TRUE(opened->Params().cif01);
  TMDIChild* broken = frame->Children()[2];
  ASSERT_TRUE(WaitUntil([broken] { return FirstShowDone(*broken) && !RecordedMessages().isEmpty(); }));
  EXPECT_TRUE(RecordedMessages().front().contains(QStringLiteral("missing.ifs")))
      << RecordedMessages().front().toStdString();

  QMimeData text;
  text.setText(QStringLiteral("not a file"));
  QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  QCoreApplication::sendEvent(frame.get(), &refused);
  EXPECT_FALSE(refused.isAccepted());
}

// `ovel-ifs a.ifs b.ifs`: the first file goes into the window the frame opens anyway, the second into a new one.
TEST_F(FileCommands, FilesGivenAtStartOpenInWindowsOfTheirOwn) {
  TFractalParams first{}, second{};
  first.cif01 = second.cif01 = true;  // nothing to draw: each redraw returns at once
  first.af[1] = 0.5;
  second.af[1] = -0.25;
  for (const auto& [name, params] : {std::pair{"a.ifs", &first}, std::pair{"b.ifs", &second}}) {
    std::ostringstream text;
    WriteParameterFile(text, *params, Separator());
    WriteAll(Path(QString::fromLatin1(name)), QByteArray::fromStdString(text.str()));
  }
  frame->OpenAtStart({Path(QStringLiteral("a.ifs")), Path(QStringLiteral("b.ifs"))});
  ASSERT_TRUE(WaitUntil([this] {
    const QList<TMDIChild*> windows = frame->Children();
    return windows.size() == 2 && FirstShowDone(*windows[0]) && FirstShowDone(*windows[1]) &&
           windows[1]->windowTitle() == Path(QStringLiteral("b.ifs"));
  }));
  EXPECT_EQ(frame->Children()[0]->windowTitle(), Path(QStringLiteral("a.ifs")));
  EXPECT_EQ(frame->Children()[0]->Params().af[1], 0.5);
  EXPECT_EQ(frame->Children()[1]->Params().af[1], -0.25);
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

TEST_F(FileCommands, SavingWhileAPassDrawsLetsThePassGoOn) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  AnswerSave(QStringLiteral("running.png"), 0);
  bool saved = false;
  std::int64_t iterationsAfterSave = 0;
  When([w] { return Drawing(*w); },
       [&, this] {
         Control<QAction>(*frame, "FileSaveAsItem")->trigger();
         saved = QFile::exists(Path(QStringLiteral("running.png")));
         EXPECT_EQ(w->PassDepth(), 1);
         EXPECT_FALSE(w->Params().abort);
         iterationsAfterSave = w->Params().iterations;
         When([&] { return w->Params().iterations > iterationsAfterSave + 1000; }, StopAll(), StopAll());
       },
       StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_TRUE(saved);
  EXPECT_GT(w->Params().iterations, iterationsAfterSave);
  EXPECT_EQ(w->PassDepth(), 0);
  // The pass ended with the saved picture's path as the caption, not the name it had when it began.
  EXPECT_EQ(w->windowTitle(), Path(QStringLiteral("running.png")));
  EXPECT_TRUE(QFile::exists(Path(QStringLiteral("running.ifs"))));
  EXPECT_TRUE(RecordedMessages().isEmpty());
}

TEST_F(FileCommands, LoadingWhileAPassDrawsReplacesThePassWithTheLoadedCoefficients) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TFractalParams stored = w->Params();
  stored.ifs0102 = true;
  stored.red = 0.33;
  stored.af[1] = 0.3125;  // drawn as loaded, not replaced by random ones
  const QString path = Path(QStringLiteral("other.ifs"));
  std::ostringstream text;
  WriteParameterFile(text, stored, Separator());
  WriteAll(path, QByteArray::fromStdString(text.str()));
  AnswerOpen(path);

  int innerDepth = 0;
  bool innerUsesLoaded = false;
  When([w] { return Drawing(*w); },
       [&, this] {
         const TPixelGraphic* outerPicture = w->Params().image;
         const std::int64_t restarts = GetEngineCounters().restarts;
         When([w] { return Drawing(*w, 2, 1); },
              [&, this, restarts] {
                innerDepth = w->PassDepth();
                // An orbit that escapes restarts with new random coefficients; only then may af[1] differ.
                const bool restarted = GetEngineCounters().restarts != restarts;
                innerUsesLoaded = w->Params().ifs0102 && w->Params().red == 0.33 && (restarted || w->Params().af[1] == 0.3125) &&
                                  w->Params().image != outerPicture;
                Control<QAction>(*frame, "AbortButton")->trigger();  // one Stop ends both passes
              },
              StopAll());
         TMDIChildProbe::Record(*w).randomize = true;  // as after Rand: the load must still draw its own coefficients
         Control<QAction>(*frame, "LoadFromParameterFile1")->trigger();
       },
       StopAll());
  w->Menus().miraItems[0]->trigger();
  EXPECT_EQ(innerDepth, 2);
  EXPECT_TRUE(innerUsesLoaded);
  EXPECT_EQ(w->PassDepth(), 0);
  EXPECT_EQ(w->windowTitle(), path);
  EXPECT_EQ(frame->ModeWord(), path);
}

// Records every progress box that appears.
class TProgressWatch : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(object) != nullptr) ++shown;
    return false;
  }
  int shown = 0;
};

TEST_F(FileCommands, ProgressBoxAppearsOnlyForSavesThatTakeAWhile) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TProgressWatch watch;
  qApp->installEventFilter(&watch);

  // A 400 x 300 picture is written long before the box's half second is up.
  AnswerSave(QStringLiteral("quick.tga"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(watch.shown, 0);

  // With no delay the writer's progress events bring the box up.
  TestServices().saveProgressMinimumDurationMs = 0;
  AnswerSave(QStringLiteral("slow.tga"), 0);
  Control<QAction>(*frame, "FileSaveAsItem")->trigger();
  EXPECT_EQ(watch.shown, 1);
  qApp->removeEventFilter(&watch);
  EXPECT_TRUE(QFile::exists(Path(QStringLiteral("slow.tga"))));
  // The box is gone once the save is over.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (qobject_cast<QProgressDialog*>(top) != nullptr) {
      EXPECT_FALSE(top->isVisible());
    }
  }
}

}  // namespace
