#include "dialogs/options_dialog.h"

#include <gtest/gtest.h>

#include <utility>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "dialogs/dialog_conversions.h"
#include "dialogs/layout_probe.h"
#include "dialogs/control.h"

namespace {

// Runs Execute with `user` acting inside the modal loop.
template <typename User>
bool RunDialog(TForm2& form, TFileOptions& options, User user) {
  QTimer::singleShot(0, &form, user);
  return form.Execute(options);
}

}  // namespace

TEST(OptionsDialog, ShowsTheDefaults) {
  TForm2 form;
  form.FillFromOptions(TFileOptions{});
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Options"));
  EXPECT_TRUE(Control<QRadioButton>(form, "JPEGWFloatRB")->isChecked());
  EXPECT_FALSE(Control<QRadioButton>(form, "JPEGWIntPreciseRB")->isChecked());
  EXPECT_EQ(Control<QLineEdit>(form, "JPEGWQualityEdit")->text(), QStringLiteral("80"));
  EXPECT_FALSE(Control<QCheckBox>(form, "JPEGWProgressiveCB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "JPEGRIntPreciseRB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "PXMASCIIRB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "TIFFCompNoneRB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "TIFFRGBRB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "TIFFBlackIsZeroRB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "TIFFByteOrderIRB")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(form, "TIFFResInchRB")->isChecked());
  EXPECT_EQ(Control<QLineEdit>(form, "TIFFResHorizNEdit")->text(), QStringLiteral("300"));
  EXPECT_EQ(Control<QLineEdit>(form, "TIFFResHorizDEdit")->text(), QStringLiteral("1"));
  EXPECT_EQ(Control<QLineEdit>(form, "TIFFResVertNEdit")->text(), QStringLiteral("300"));
  EXPECT_EQ(Control<QLineEdit>(form, "TIFFResVertDEdit")->text(), QStringLiteral("1"));
  EXPECT_TRUE(Control<QCheckBox>(form, "WriteGammaCB")->isChecked());
  EXPECT_EQ(Control<QLineEdit>(form, "ScreenGammaEdit")->text(), QStringLiteral("1.8"));
  EXPECT_TRUE(Control<QCheckBox>(form, "GammaCorrectionOnReadCB")->isChecked());
  EXPECT_EQ(Control<QRadioButton>(form, "PXMBinaryRB")->text(), QStringLiteral("Write binary"));
  EXPECT_EQ(Control<QRadioButton>(form, "PXMASCIIRB")->text(), QStringLiteral("Write ASCII"));
}

TEST(OptionsDialog, OkStoresEveryOptionAndQuality300Becomes44) {
  TForm2 form;
  TFileOptions options;
  const bool ok = RunDialog(form, options, [&] {
    Control<QRadioButton>(form, "JPEGWIntFastRB")->setChecked(true);
    Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("300"));
    Control<QCheckBox>(form, "JPEGWProgressiveCB")->setChecked(true);
    Control<QRadioButton>(form, "JPEGRFloatRB")->setChecked(true);
    Control<QRadioButton>(form, "PXMBinaryRB")->setChecked(true);
    Control<QRadioButton>(form, "TIFFCompPackBitsRB")->setChecked(true);
    Control<QRadioButton>(form, "TIFFByteOrderMRB")->setChecked(true);
    Control<QRadioButton>(form, "TIFFCMYKRB")->setChecked(true);
    Control<QRadioButton>(form, "TIFFWhiteIsZeroRB")->setChecked(true);
    Control<QRadioButton>(form, "TIFFResCentimeterRB")->setChecked(true);
    Control<QLineEdit>(form, "TIFFResHorizNEdit")->setText(QStringLiteral("72"));
    Control<QLineEdit>(form, "TIFFResHorizDEdit")->setText(QStringLiteral("2"));
    Control<QLineEdit>(form, "TIFFResVertNEdit")->setText(QStringLiteral("-5"));
    Control<QLineEdit>(form, "TIFFResVertDEdit")->setText(QStringLiteral("3"));
    Control<QCheckBox>(form, "WriteGammaCB")->setChecked(false);
    Control<QLineEdit>(form, "ScreenGammaEdit")->setText(QStringLiteral("2.2"));
    Control<QCheckBox>(form, "GammaCorrectionOnReadCB")->setChecked(false);
    Control<QPushButton>(form, "OKButton")->click();
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(options.JPEGWriteDCTMethod, TJPEGDCTMethod::IntFast);
  EXPECT_EQ(options.JPEGQuality, 44);
  EXPECT_TRUE(options.JPEGProgressive);
  EXPECT_EQ(options.JPEGReadDCTMethod, TJPEGDCTMethod::FloatingPoint);
  EXPECT_TRUE(options.PXMWriteBinary);
  EXPECT_EQ(options.TIFFCompression, TIFFCompressionPackBits);
  EXPECT_TRUE(options.TIFFByteOrderM);
  EXPECT_TRUE(options.TIFFWriteCMYK);
  EXPECT_TRUE(options.TIFFWhiteIsZero);
  EXPECT_EQ(options.TIFFResUnit, TTIFFResUnit::Centimeter);
  EXPECT_EQ(options.TIFFResXNum, 72);
  EXPECT_EQ(options.TIFFResXDen, 2);
  EXPECT_EQ(options.TIFFResYNum, -5);
  EXPECT_EQ(options.TIFFResYDen, 3);
  EXPECT_FALSE(options.WriteGamma);
  EXPECT_EQ(static_cast<double>(options.ScreenGamma), 2.2);
  EXPECT_FALSE(options.GammaCorrectionOnRead);
}

TEST(OptionsDialog, CancelChangesNothing) {
  TForm2 form;
  TFileOptions options;
  const bool ok = RunDialog(form, options, [&] {
    Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("10"));
    Control<QRadioButton>(form, "PXMBinaryRB")->setChecked(true);
    Control<QPushButton>(form, "CancelButton")->click();
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(options.JPEGQuality, 80);
  EXPECT_FALSE(options.PXMWriteBinary);
}

TEST(OptionsDialog, BadTextShowsTheMessageKeepsTheDialogOpenAndStoresNothing) {
  QStringList errors;
  TForm2 form(nullptr, [&](const QString& message) { errors << message; });
  TFileOptions options;
  bool stayedOpen = false;
  const bool ok = RunDialog(form, options, [&] {
    Control<QRadioButton>(form, "JPEGWIntFastRB")->setChecked(true);  // before the bad text in the dialog's order
    Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("abc"));
    Control<QLineEdit>(form, "TIFFResHorizNEdit")->setText(QStringLiteral("96"));  // after it
    Control<QPushButton>(form, "OKButton")->click();
    stayedOpen = form.isVisible();
    Control<QPushButton>(form, "CancelButton")->click();
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(errors, QStringList{QStringLiteral("'abc' is not a valid integer value")});
  EXPECT_EQ(options.JPEGWriteDCTMethod, TJPEGDCTMethod::FloatingPoint);
  EXPECT_EQ(options.TIFFResXNum, 300);
}

TEST(OptionsDialog, MendedTextIsStoredOnTheSecondOk) {
  QStringList errors;
  TForm2 form(nullptr, [&](const QString& message) { errors << message; });
  TFileOptions options;
  const bool ok = RunDialog(form, options, [&] {
    Control<QLineEdit>(form, "ScreenGammaEdit")->setText(QStringLiteral("2,2"));
    Control<QPushButton>(form, "OKButton")->click();
    Control<QLineEdit>(form, "ScreenGammaEdit")->setText(QStringLiteral("2.5"));
    Control<QPushButton>(form, "OKButton")->click();
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(errors, QStringList{QStringLiteral("'2,2' is not a valid floating point value")});
  EXPECT_EQ(options.ScreenGamma, 2.5L);
}

// Every PNG records 1 / gamma; a gamma no PNG can record would make each later save fail.
TEST(OptionsDialog, AScreenGammaNoPngCanRecordIsRefusedAndTheDialogStaysOpen) {
  for (const char* text : {"-1", "0", "1000000000", "0.0001"}) {
    SCOPED_TRACE(text);
    QStringList errors;
    TForm2 form(nullptr, [&](const QString& message) { errors << message; });
    TFileOptions options;
    const bool ok = RunDialog(form, options, [&] {
      Control<QLineEdit>(form, "ScreenGammaEdit")->setText(QString::fromLatin1(text));
      Control<QPushButton>(form, "OKButton")->click();
      Control<QLineEdit>(form, "ScreenGammaEdit")->setText(QStringLiteral("1000"));
      Control<QPushButton>(form, "OKButton")->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(errors, QStringList{QStringLiteral("Screen Gamma must be from 0.001 to 1000.")});
    EXPECT_EQ(options.ScreenGamma, 1000.0L);
  }
}

TEST(OptionsDialog, GroupWithNoButtonCheckedKeepsItsOption) {
  TForm2 form;
  TFileOptions options;
  options.TIFFCompression = 5;  // a value no button stands for
  form.FillFromOptions(options);
  EXPECT_FALSE(Control<QRadioButton>(form, "TIFFCompNoneRB")->isChecked());
  EXPECT_FALSE(Control<QRadioButton>(form, "TIFFCompPackBitsRB")->isChecked());
  form.StoreIntoOptions(options);
  EXPECT_EQ(options.TIFFCompression, 5);
}

TEST(OptionsDialog, QualityKeepsOnlyItsLowEightBits) {
  TForm2 form;
  TFileOptions options;
  form.FillFromOptions(options);
  Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("-1"));
  form.StoreIntoOptions(options);
  EXPECT_EQ(options.JPEGQuality, 255);
  Control<QLineEdit>(form, "JPEGWQualityEdit")->setText(QStringLiteral("256"));
  form.StoreIntoOptions(options);
  EXPECT_EQ(options.JPEGQuality, 0);
}

TEST(OptionsDialog, EveryEditHasItsCaptionAndShowsItsLargestValueWhole) {
  TForm2 form;
  form.FillFromOptions(TFileOptions{});
  form.show();
  EXPECT_EQ(UncaptionedControls(form).join(QLatin1Char('\n')).toStdString(), "");
  const std::pair<QLineEdit*, const char*> captions[] = {
      {Control<QLineEdit>(form, "JPEGWQualityEdit"), "Quality (0...100)"},
      {Control<QLineEdit>(form, "TIFFResHorizNEdit"), "Horiz.:"},
      {Control<QLineEdit>(form, "TIFFResVertNEdit"), "Vert.:"},
      {Control<QLineEdit>(form, "ScreenGammaEdit"), "Screen Gamma"}};
  for (const auto& [edit, text] : captions) {
    ASSERT_NE(CaptionOf(edit), nullptr) << text;
    EXPECT_EQ(CaptionOf(edit)->text(), QString::fromLatin1(text));
  }
  // The resolution parts are 32-bit numbers.
  for (QLineEdit* edit : {Control<QLineEdit>(form, "TIFFResHorizNEdit"), Control<QLineEdit>(form, "TIFFResHorizDEdit"),
                          Control<QLineEdit>(form, "TIFFResVertNEdit"), Control<QLineEdit>(form, "TIFFResVertDEdit")}) {
    EXPECT_TRUE(ShowsWhole(edit, QStringLiteral("-2147483648"))) << edit->accessibleName().toStdString();
  }
  EXPECT_TRUE(ShowsWhole(Control<QLineEdit>(form, "JPEGWQualityEdit"), QStringLiteral("100")));
}
