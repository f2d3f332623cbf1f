#include "dialogs/options_dialog.h"

#include <initializer_list>
#include <tuple>
#include <utility>
#include <vector>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/dialog_conversions.h"
#include "dialogs/tool_window.h"
#include "files/param_file.h"

namespace {

using Radios = std::vector<QRadioButton*>;

QGroupBox* Group(const char* title, QWidget* parent) { return new QGroupBox(QString::fromLatin1(title), parent); }

QRadioButton* Radio(const char* caption, QWidget* parent) {
  return new QRadioButton(QString::fromLatin1(caption), parent);
}

// Checks button `index`, or none when the option holds a value no button stands for.
void SetRadio(const Radios& buttons, int index) {
  for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
    QRadioButton* b = buttons[static_cast<std::size_t>(i)];
    // Auto-exclusive buttons refuse to be all unchecked; lift that for the moment of setting.
    b->setAutoExclusive(false);
    b->setChecked(i == index);
    b->setAutoExclusive(true);
  }
}

// The index of the checked button, -1 when none is.
int CheckedRadio(const Radios& buttons) {
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (buttons[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

// A caption that names the edit it stands beside, for the keyboard and for screen readers.
QLabel* Caption(const char* text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setBuddy(buddy);
  return label;
}

QString Integer(long long value) { return QString::number(value); }

std::int32_t IntegerOf(const QLineEdit* edit) {
  return static_cast<std::int32_t>(StrToInt(edit->text().toStdString()));
}

}  // namespace

TForm2::TForm2(QWidget* parent, std::function<void(const QString&)> showError)
    : QDialog(parent), showError_(std::move(showError)) {
  setWindowTitle(QStringLiteral("Options"));
  setModal(true);
  if (!showError_) showError_ = [this](const QString& message) { QMessageBox::critical(this, windowTitle(), message); };

  // JPEG
  auto* jpeg = Group("JPEG", this);
  auto* jpegWrite = Group("Write", jpeg);
  JPEGWIntPreciseRB = Radio("Integer precise", jpegWrite);
  JPEGWIntFastRB = Radio("Integer fast", jpegWrite);
  JPEGWFloatRB = Radio("Floating point", jpegWrite);
  JPEGWQualityEdit = new QLineEdit(jpegWrite);
  JPEGWProgressiveCB = new QCheckBox(QStringLiteral("Progressive"), jpegWrite);
  auto* jw = new QGridLayout(jpegWrite);
  jw->addWidget(JPEGWIntPreciseRB, 0, 0);
  jw->addWidget(JPEGWIntFastRB, 1, 0);
  jw->addWidget(JPEGWFloatRB, 2, 0);
  jw->addWidget(Caption("Quality (0...100)", JPEGWQualityEdit, jpegWrite), 0, 1);
  jw->addWidget(JPEGWQualityEdit, 1, 1);
  jw->addWidget(JPEGWProgressiveCB, 2, 1);
  auto* jpegRead = Group("Read", jpeg);
  JPEGRIntPreciseRB = Radio("Integer precise", jpegRead);
  JPEGRIntFastRB = Radio("Integer fast", jpegRead);
  JPEGRFloatRB = Radio("Floating point", jpegRead);
  auto* jr = new QVBoxLayout(jpegRead);
  for (QWidget* w : {JPEGRIntPreciseRB, JPEGRIntFastRB, JPEGRFloatRB}) jr->addWidget(w);
  auto* jl = new QHBoxLayout(jpeg);
  jl->addWidget(jpegWrite, 2);
  jl->addWidget(jpegRead, 1);

  // PBM / PGM / PPM
  auto* pxm = Group("PBM / PGM / PPM", this);
  PXMBinaryRB = Radio("Write binary", pxm);
  PXMASCIIRB = Radio("Write ASCII", pxm);
  auto* pl = new QHBoxLayout(pxm);
  pl->addWidget(PXMBinaryRB);
  pl->addWidget(PXMASCIIRB);

  // TIFF: every choice in its own box, since radio buttons are exclusive per parent.
  auto* tiff = Group("TIFF", this);
  auto* compression = Group("Compression", tiff);
  TIFFCompNoneRB = Radio("None", compression);
  TIFFCompPackBitsRB = Radio("PackBits", compression);
  auto* byteOrder = Group("Byte order", tiff);
  TIFFByteOrderIRB = Radio("I (Intel)", byteOrder);
  TIFFByteOrderMRB = Radio("M (Motorola)", byteOrder);
  auto* trueColor = Group("Write true color as ", tiff);
  TIFFRGBRB = Radio("RGB", trueColor);
  TIFFCMYKRB = Radio("CMYK", trueColor);
  auto* gray = Group("Grayscale (2, 16, 256)", tiff);
  TIFFBlackIsZeroRB = Radio("BlackIsZero", gray);
  TIFFWhiteIsZeroRB = Radio("WhiteIsZero", gray);
  for (auto [box, a, b] : {std::tuple{compression, TIFFCompNoneRB, TIFFCompPackBitsRB},
                           std::tuple{byteOrder, TIFFByteOrderIRB, TIFFByteOrderMRB},
                           std::tuple{trueColor, TIFFRGBRB, TIFFCMYKRB},
                           std::tuple{gray, TIFFBlackIsZeroRB, TIFFWhiteIsZeroRB}}) {
    auto* l = new QVBoxLayout(box);
    l->addWidget(a);
    l->addWidget(b);
  }
  auto* resolution = Group("Resolution", tiff);
  TIFFResNoneRB = Radio("No unit", resolution);
  TIFFResInchRB = Radio("Inch", resolution);
  TIFFResCentimeterRB = Radio("Centimeter", resolution);
  TIFFResHorizNEdit = new QLineEdit(resolution);
  TIFFResHorizDEdit = new QLineEdit(resolution);
  TIFFResVertNEdit = new QLineEdit(resolution);
  TIFFResVertDEdit = new QLineEdit(resolution);
  auto* rl = new QGridLayout(resolution);
  rl->addWidget(TIFFResNoneRB, 0, 0);
  rl->addWidget(TIFFResInchRB, 0, 1);
  rl->addWidget(TIFFResCentimeterRB, 0, 2, 1, 2);
  rl->addWidget(Caption("Horiz.:", TIFFResHorizNEdit, resolution), 1, 0);
  rl->addWidget(TIFFResHorizNEdit, 1, 1);
  rl->addWidget(Caption("/", TIFFResHorizDEdit, resolution), 1, 2);
  rl->addWidget(TIFFResHorizDEdit, 1, 3);
  rl->addWidget(Caption("Vert.:", TIFFResVertNEdit, resolution), 2, 0);
  rl->addWidget(TIFFResVertNEdit, 2, 1);
  rl->addWidget(Caption("/", TIFFResVertDEdit, resolution), 2, 2);
  rl->addWidget(TIFFResVertDEdit, 2, 3);
  // A resolution is a fraction: the edits say which part they hold to a reader that cannot see the "/".
  TIFFResHorizNEdit->setAccessibleName(QStringLiteral("Horizontal resolution numerator"));
  TIFFResHorizDEdit->setAccessibleName(QStringLiteral("Horizontal resolution denominator"));
  TIFFResVertNEdit->setAccessibleName(QStringLiteral("Vertical resolution numerator"));
  TIFFResVertDEdit->setAccessibleName(QStringLiteral("Vertical resolution denominator"));
  auto* tl = new QGridLayout(tiff);
  tl->addWidget(compression, 0, 0);
  tl->addWidget(byteOrder, 0, 1);
  tl->addWidget(trueColor, 1, 0);
  tl->addWidget(gray, 1, 1);
  tl->addWidget(resolution, 2, 0, 1, 2);

  // Gamma
  auto* gamma = Group("Gamma", this);
  WriteGammaCB = new QCheckBox(QStringLiteral("Write Gamma"), gamma);
  ScreenGammaEdit = new QLineEdit(gamma);
  GammaCorrectionOnReadCB = new QCheckBox(QStringLiteral("Gamma correction on read"), gamma);
  auto* gl = new QGridLayout(gamma);
  gl->addWidget(WriteGammaCB, 0, 0);
  gl->addWidget(Caption("Screen Gamma", ScreenGammaEdit, gamma), 0, 1);
  gl->addWidget(ScreenGammaEdit, 0, 2);
  gl->addWidget(GammaCorrectionOnReadCB, 1, 0, 1, 3);

  // Drawing
  auto* drawing = Group("Drawing", this);
  UseAllCoresCB = new QCheckBox(QStringLiteral("Use all processor cores"), drawing);
  UseAllCoresCB->setChecked(true);
  UseAllCoresCB->setToolTip(QStringLiteral("Draw with several orbits at once on every core; off, one orbit on one "
                                           "core. Takes effect with the next picture drawn."));
  auto* dl = new QVBoxLayout(drawing);
  dl->addWidget(UseAllCoresCB);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);

  auto* top = new QVBoxLayout(this);
  top->addWidget(jpeg);
  top->addWidget(pxm);
  top->addWidget(tiff);
  top->addWidget(gamma);
  top->addWidget(drawing);
  top->addLayout(buttons);

  connect(OKButton, &QPushButton::clicked, this, &TForm2::accept);
  connect(CancelButton, &QPushButton::clicked, this, &TForm2::reject);
  NameObjects({{JPEGWIntPreciseRB, "JPEGWIntPreciseRB"}, {JPEGWIntFastRB, "JPEGWIntFastRB"},
               {JPEGWFloatRB, "JPEGWFloatRB"}, {JPEGWQualityEdit, "JPEGWQualityEdit"},
               {JPEGWProgressiveCB, "JPEGWProgressiveCB"}, {JPEGRIntPreciseRB, "JPEGRIntPreciseRB"},
               {JPEGRIntFastRB, "JPEGRIntFastRB"}, {JPEGRFloatRB, "JPEGRFloatRB"}, {PXMBinaryRB, "PXMBinaryRB"},
               {PXMASCIIRB, "PXMASCIIRB"}, {TIFFCompNoneRB, "TIFFCompNoneRB"},
               {TIFFCompPackBitsRB, "TIFFCompPackBitsRB"}, {TIFFByteOrderIRB, "TIFFByteOrderIRB"},
               {TIFFByteOrderMRB, "TIFFByteOrderMRB"}, {TIFFRGBRB, "TIFFRGBRB"}, {TIFFCMYKRB, "TIFFCMYKRB"},
               {TIFFBlackIsZeroRB, "TIFFBlackIsZeroRB"}, {TIFFWhiteIsZeroRB, "TIFFWhiteIsZeroRB"},
               {TIFFResNoneRB, "TIFFResNoneRB"}, {TIFFResInchRB, "TIFFResInchRB"},
               {TIFFResCentimeterRB, "TIFFResCentimeterRB"}, {TIFFResHorizNEdit, "TIFFResHorizNEdit"},
               {TIFFResHorizDEdit, "TIFFResHorizDEdit"}, {TIFFResVertNEdit, "TIFFResVertNEdit"},
               {TIFFResVertDEdit, "TIFFResVertDEdit"}, {WriteGammaCB, "WriteGammaCB"},
               {ScreenGammaEdit, "ScreenGammaEdit"}, {GammaCorrectionOnReadCB, "GammaCorrectionOnReadCB"},
               {UseAllCoresCB, "UseAllCoresCB"}, {OKButton, "OKButton"}, {CancelButton, "CancelButton"}});
}

void TForm2::FillFromOptions(const TFileOptions& o) {
  SetRadio({JPEGWIntPreciseRB, JPEGWIntFastRB, JPEGWFloatRB}, static_cast<int>(o.JPEGWriteDCTMethod));
  JPEGWQualityEdit->setText(Integer(o.JPEGQuality));
  JPEGWProgressiveCB->setChecked(o.JPEGProgressive);
  SetRadio({JPEGRIntPreciseRB, JPEGRIntFastRB, JPEGRFloatRB}, static_cast<int>(o.JPEGReadDCTMethod));
  SetRadio({PXMBinaryRB, PXMASCIIRB}, o.PXMWriteBinary ? 0 : 1);
  SetRadio({TIFFCompNoneRB, TIFFCompPackBitsRB}, o.TIFFCompression == TIFFCompressionNone       ? 0
                                                 : o.TIFFCompression == TIFFCompressionPackBits ? 1
                                                                                                : -1);
  SetRadio({TIFFByteOrderIRB, TIFFByteOrderMRB}, o.TIFFByteOrderM ? 1 : 0);
  SetRadio({TIFFRGBRB, TIFFCMYKRB}, o.TIFFWriteCMYK ? 1 : 0);
  SetRadio({TIFFBlackIsZeroRB, TIFFWhiteIsZeroRB}, o.TIFFWhiteIsZero ? 1 : 0);
  SetRadio({TIFFResNoneRB, TIFFResInchRB, TIFFResCentimeterRB}, static_cast<int>(o.TIFFResUnit));
  TIFFResHorizNEdit->setText(Integer(o.TIFFResXNum));
  TIFFResHorizDEdit->setText(Integer(o.TIFFResXDen));
  TIFFResVertNEdit->setText(Integer(o.TIFFResYNum));
  TIFFResVertDEdit->setText(Integer(o.TIFFResYDen));
  WriteGammaCB->setChecked(o.WriteGamma);
  ScreenGammaEdit->setText(
      QString::fromStdString(FormatGeneralNumber(static_cast<double>(o.ScreenGamma), LocaleDecimalSeparator())));
  GammaCorrectionOnReadCB->setChecked(o.GammaCorrectionOnRead);
}

void TForm2::StoreIntoOptions(TFileOptions& options) const {
  // Converted into a copy in the dialog's order, so the first bad text is the one reported, and handed
  // over only when all of it converted: a half-stored set of options is never left behind.
  TFileOptions o = options;
  if (const int m = CheckedRadio({JPEGWIntPreciseRB, JPEGWIntFastRB, JPEGWFloatRB}); m >= 0) {
    o.JPEGWriteDCTMethod = static_cast<TJPEGDCTMethod>(m);
  }
  // The quality is an 8-bit option: what is typed is kept modulo 256, as it always was.
  o.JPEGQuality = static_cast<std::uint8_t>(IntegerOf(JPEGWQualityEdit) & 0xFF);
  o.JPEGProgressive = JPEGWProgressiveCB->isChecked();
  if (const int m = CheckedRadio({JPEGRIntPreciseRB, JPEGRIntFastRB, JPEGRFloatRB}); m >= 0) {
    o.JPEGReadDCTMethod = static_cast<TJPEGDCTMethod>(m);
  }
  o.PXMWriteBinary = PXMBinaryRB->isChecked();
  if (const int c = CheckedRadio({TIFFCompNoneRB, TIFFCompPackBitsRB}); c >= 0) {
    o.TIFFCompression = c == 0 ? TIFFCompressionNone : TIFFCompressionPackBits;
  }
  if (const int b = CheckedRadio({TIFFByteOrderIRB, TIFFByteOrderMRB}); b >= 0) o.TIFFByteOrderM = b == 1;
  if (const int c = CheckedRadio({TIFFRGBRB, TIFFCMYKRB}); c >= 0) o.TIFFWriteCMYK = c == 1;
  if (const int g = CheckedRadio({TIFFBlackIsZeroRB, TIFFWhiteIsZeroRB}); g >= 0) o.TIFFWhiteIsZero = g == 1;
  if (const int u = CheckedRadio({TIFFResNoneRB, TIFFResInchRB, TIFFResCentimeterRB}); u >= 0) {
    o.TIFFResUnit = static_cast<TTIFFResUnit>(u);
  }
  o.TIFFResXNum = IntegerOf(TIFFResHorizNEdit);
  o.TIFFResXDen = IntegerOf(TIFFResHorizDEdit);
  o.TIFFResYNum = IntegerOf(TIFFResVertNEdit);
  o.TIFFResYDen = IntegerOf(TIFFResVertDEdit);
  o.WriteGamma = WriteGammaCB->isChecked();
  o.ScreenGamma = StrToFloat(ScreenGammaEdit->text().toStdString(), LocaleDecimalSeparator());
  // A gamma no PNG file can record would make every later PNG save fail.
  if (!ScreenGammaIsValid(o.ScreenGamma)) {
    throw EConvertError("Screen Gamma must be from " + FormatGeneralNumber(kScreenGammaMin, LocaleDecimalSeparator()) +
                        " to " + FormatGeneralNumber(kScreenGammaMax, LocaleDecimalSeparator()) + ".");
  }
  o.GammaCorrectionOnRead = GammaCorrectionOnReadCB->isChecked();
  options = o;
}

void TForm2::SetUseAllCores(bool on) { UseAllCoresCB->setChecked(on); }
bool TForm2::UseAllCores() const { return UseAllCoresCB->isChecked(); }

bool TForm2::Execute(TFileOptions& options) {
  FillFromOptions(options);
  edited_ = options;
  if (exec() != QDialog::Accepted) return false;
  options = edited_;
  return true;
}

void TForm2::accept() {
  try {
    StoreIntoOptions(edited_);
  } catch (const EConvertError& error) {
    // The dialog stays open so the user can mend the text instead of retyping every option.
    showError_(QString::fromStdString(error.what()));
    return;
  }
  QDialog::accept();
}
