// The "Options" dialog: the image file options (JPEG, PNM, TIFF and gamma) and how pictures are drawn. Modal; the
// options change only when it closes with OK. "Use all processor cores" is a plain view: whoever runs the dialog
// checks it from its own setting and reads it back after OK.
#pragma once

#include <functional>

#include <QDialog>
#include <QString>

#include "files/file_options.h"

class QCheckBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // showError: how a conversion error is shown while OK is pressed; unset, a message box of the dialog's own.
  explicit TForm2(QWidget* parent = nullptr, std::function<void(const QString&)> showError = {});

  // Options1Click's round trip: fill the controls from options, run the dialog modally and, on OK, store
  // the controls into options. Returns whether OK closed it. The caller applies a new screen gamma
  // (ApplyScreenGamma) when it hands in the process-wide set.
  bool Execute(TFileOptions& options);

  // Every control from options: radio buttons checked where the option has their value, the numbers as
  // decimal integers, the screen gamma in the general number form.
  void FillFromOptions(const TFileOptions& options);
  // Every control into options, in the dialog's order. All texts are converted before anything is
  // stored, so a text that does not convert raises EConvertError and leaves options as they were.
  // Quality is kept in eight bits: 300 stores 44. A radio group with no button checked keeps its option.
  void StoreIntoOptions(TFileOptions& options) const;

  // "Use all processor cores", which the dialog shows but does not keep.
  void SetUseAllCores(bool on);
  bool UseAllCores() const;

 public slots:
  // OK: converts every text first; on an error shows it and stays open, otherwise closes with OK.
  void accept() override;

 private:
  std::function<void(const QString&)> showError_;
  // "Write" group of JPEG
  QRadioButton* JPEGWIntPreciseRB;
  QRadioButton* JPEGWIntFastRB;
  QRadioButton* JPEGWFloatRB;
  QLineEdit* JPEGWQualityEdit;
  QCheckBox* JPEGWProgressiveCB;
  // "Read" group of JPEG
  QRadioButton* JPEGRIntPreciseRB;
  QRadioButton* JPEGRIntFastRB;
  QRadioButton* JPEGRFloatRB;
  // PBM / PGM / PPM
  QRadioButton* PXMBinaryRB;
  QRadioButton* PXMASCIIRB;
  // TIFF
  QRadioButton* TIFFCompNoneRB;
  QRadioButton* TIFFCompPackBitsRB;
  QRadioButton* TIFFByteOrderIRB;
  QRadioButton* TIFFByteOrderMRB;
  QRadioButton* TIFFRGBRB;
  QRadioButton* TIFFCMYKRB;
  QRadioButton* TIFFBlackIsZeroRB;
  QRadioButton* TIFFWhiteIsZeroRB;
  QRadioButton* TIFFResNoneRB;
  QRadioButton* TIFFResInchRB;
  QRadioButton* TIFFResCentimeterRB;
  QLineEdit* TIFFResHorizNEdit;
  QLineEdit* TIFFResHorizDEdit;
  QLineEdit* TIFFResVertNEdit;
  QLineEdit* TIFFResVertDEdit;
  // Gamma
  QCheckBox* WriteGammaCB;
  QLineEdit* ScreenGammaEdit;
  QCheckBox* GammaCorrectionOnReadCB;
  // Drawing
  QCheckBox* UseAllCoresCB;

  QPushButton* OKButton;
  QPushButton* CancelButton;

  TFileOptions edited_;
};
