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
  EXPECT_TRUE(form.JPEGWFloatRB->isChecked());
  EXPECT_FALSE(form.JPEGWIntPreciseRB->isChecked());
  EXPECT_EQ(form.JPEGWQualityEdit->text(), QStringLiteral("80"));
  EXPECT_FALSE(form.JPEGWProgressiveCB->isChecked());
  EXPECT_TRUE(form.JPEGRIntPreciseRB->isChecked());
  EXPECT_TRUE(form.PXMASCIIRB->isChecked());
  EXPECT_TRUE(form.TIFFCompNoneRB->isChecked());
  EXPECT_TRUE(form.TIFFRGBRB->isChecked());
  EXPECT_TRUE(form.TIFFBlackIsZeroRB->isChecked());
  EXPECT_TRUE(form.TIFFByteOrderIRB->isChecked());
  EXPECT_TRUE(form.TIFFResInchRB->isChecked());
  EXPECT_EQ(form.TIFFResHorizNEdit->text(), QStringLiteral("300"));
  EXPECT_EQ(form.TIFFResHorizDEdit->text(), QStringLiteral("1"));
  EXPECT_EQ(form.TIFFResVertNEdit->text(), QStringLiteral("300"));
  EXPECT_EQ(form.TIFFResVertDEdit->text(), QStringLiteral("1"));
  EXPECT_TRUE(form.WriteGammaCB->isChecked());
  EXPECT_EQ(form.ScreenGammaEdit->text(), QStringLiteral("1.8"));
  EXPECT_TRUE(form.GammaCorrectionOnReadCB->isChecked());
  EXPECT_EQ(form.PXMBinaryRB->text(), QStringLiteral("Write binary"));
  EXPECT_EQ(form.PXMASCIIRB->text(), QStringLiteral("Write ASCII"));
}

TEST(OptionsDialog, OkStoresEveryOptionAndQuality300Becomes44) {
  TForm2 form;
  TFileOptions options;
  const bool ok = RunDialog(form, options, [&] {
    form.JPEGWIntFastRB->setChecked(true);
    form.JPEGWQualityEdit->setText(QStringLiteral("300"));
    form.JPEGWProgressiveCB->setChecked(true);
    form.JPEGRFloatRB->setChecked(true);
    form.PXMBinaryRB->setChecked(true);
    form.TIFFCompPackBitsRB->setChecked(true);
    form.TIFFByteOrderMRB->setChecked(true);
    form.TIFFCMYKRB->setChecked(true);
    form.TIFFWhiteIsZeroRB->setChecked(true);
    form.TIFFResCentimeterRB->setChecked(true);
    form.TIFFResHorizNEdit->setText(QStringLiteral("72"));
    form.TIFFResHorizDEdit->setText(QStringLiteral("2"));
    form.TIFFResVertNEdit->setText(QStringLiteral("-5"));
    form.TIFFResVertDEdit->setText(QStringLiteral("3"));
    form.WriteGammaCB->setChecked(false);
    form.ScreenGammaEdit->setText(QStringLiteral("2.2"));
    form.GammaCorrectionOnReadCB->setChecked(false);
    form.OKButton->click();
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
    form.JPEGWQualityEdit->setText(QStringLiteral("10"));
    form.PXMBinaryRB->setChecked(true);
    form.CancelButton->click();
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(options.JPEGQuality, 80);
  EXPECT_FALSE(options.PXMWriteBinary);
}

TEST(OptionsDialog, BadTextShowsTheMessageKeepsTheDialogOpenAndStoresNothing) {
  TForm2 form;
  QStringList errors;
  form.ShowError = [&](const QString& message) { errors << message; };
  TFileOptions options;
  bool stayedOpen = false;
  const bool ok = RunDialog(form, options, [&] {
    form.JPEGWIntFastRB->setChecked(true);   // before the bad text in the dialog's order
    form.JPEGWQualityEdit->setText(QStringLiteral("abc"));
    form.TIFFResHorizNEdit->setText(QStringLiteral("96"));  // after it
    form.OKButton->click();
    stayedOpen = form.isVisible();
    form.CancelButton->click();
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(errors, QStringList{QStringLiteral("'abc' is not a valid integer value")});
  EXPECT_EQ(options.JPEGWriteDCTMethod, TJPEGDCTMethod::FloatingPoint);
  EXPECT_EQ(options.TIFFResXNum, 300);
}

TEST(OptionsDialog, MendedTextIsStoredOnTheSecondOk) {
  TForm2 form;
  QStringList errors;
  form.ShowError = [&](const QString& message) { errors << message; };
  TFileOptions options;
  const bool ok = RunDialog(form, options, [&] {
    form.ScreenGammaEdit->setText(QStringLiteral("2,2"));
    form.OKButton->click();
    form.ScreenGammaEdit->setText(QStringLiteral("2.5"));
    form.OKButton->click();
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(errors, QStringList{QStringLiteral("'2,2' is not a valid floating point value")});
  EXPECT_EQ(options.ScreenGamma, 2.5L);
}

// Every PNG records 1 / gamma; a gamma no PNG can record would make each later save fail.
TEST(OptionsDialog, AScreenGammaNoPngCanRecordIsRefusedAndTheDialogStaysOpen) {
  for (const char* text : {"-1", "0", "1000000000", "0.0001"}) {
    SCOPED_TRACE(text);
    TForm2 form;
    QStringList errors;
    form.ShowError = [&](const QString& message) { errors << message; };
    TFileOptions options;
    const bool ok = RunDialog(form, options, [&] {
      form.ScreenGammaEdit->setText(QString::fromLatin1(text));
      form.OKButton->click();
      form.ScreenGammaEdit->setText(QStringLiteral("1000"));
      form.OKButton->click();
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
  EXPECT_FALSE(form.TIFFCompNoneRB->isChecked());
  EXPECT_FALSE(form.TIFFCompPackBitsRB->isChecked());
  form.StoreIntoOptions(options);
  EXPECT_EQ(options.TIFFCompression, 5);
}

TEST(OptionsDialog, QualityKeepsOnlyItsLowEightBits) {
  TForm2 form;
  TFileOptions options;
  form.FillFromOptions(options);
  form.JPEGWQualityEdit->setText(QStringLiteral("-1"));
  form.StoreIntoOptions(options);
  EXPECT_EQ(options.JPEGQuality, 255);
  form.JPEGWQualityEdit->setText(QStringLiteral("256"));
  form.StoreIntoOptions(options);
  EXPECT_EQ(options.JPEGQuality, 0);
}

TEST(OptionsDialog, EveryEditHasItsCaptionAndShowsItsLargestValueWhole) {
  TForm2 form;
  form.FillFromOptions(TFileOptions{});
  form.show();
  EXPECT_EQ(UncaptionedControls(form).join(QLatin1Char('\n')).toStdString(), "");
  const std::pair<QLineEdit*, const char*> captions[] = {{form.JPEGWQualityEdit, "Quality (0...100)"},
                                                         {form.TIFFResHorizNEdit, "Horiz.:"},
                                                         {form.TIFFResVertNEdit, "Vert.:"},
                                                         {form.ScreenGammaEdit, "Screen Gamma"}};
  for (const auto& [edit, text] : captions) {
    ASSERT_NE(CaptionOf(edit), nullptr) << text;
    EXPECT_EQ(CaptionOf(edit)->text(), QString::fromLatin1(text));
  }
  // The resolution parts are 32-bit numbers.
  for (QLineEdit* edit :
       {form.TIFFResHorizNEdit, form.TIFFResHorizDEdit, form.TIFFResVertNEdit, form.TIFFResVertDEdit}) {
    EXPECT_TRUE(ShowsWhole(edit, QStringLiteral("-2147483648"))) << edit->accessibleName().toStdString();
  }
  EXPECT_TRUE(ShowsWhole(form.JPEGWQualityEdit, QStringLiteral("100")));
}
