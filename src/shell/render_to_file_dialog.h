// The Render to File dialog: a window's parameter set drawn in the background at a print size, supersampled and
// filtered, into a file. Before the render starts it shows what it will need (memory) and take (time, from the
// speed it is given); OK refuses, with the core's message in a box, what cannot be done, and leaves the dialog open.
#pragma once

#include <optional>

#include <QDialog>
#include <QString>

#include "engine/fractal_params.h"
#include "files/file_options.h"
#include "shell/render_jobs.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TServices;

struct TRenderSizePreset {
  const char* name;
  int width, height;
};
// The size menu's entries; the last entry of the combo box is "Custom".
inline constexpr TRenderSizePreset kRenderSizePresets[] = {
    {"1920 \u00d7 1080 (Full HD)", 1920, 1080},          {"3840 \u00d7 2160 (4K UHD)", 3840, 2160},
    {"A4 landscape, 300 dpi (3508 \u00d7 2480)", 3508, 2480}, {"A4 portrait, 300 dpi (2480 \u00d7 3508)", 2480, 3508},
    {"A3 landscape, 300 dpi (4961 \u00d7 3508)", 4961, 3508}, {"A3 portrait, 300 dpi (3508 \u00d7 4961)", 3508, 4961},
};
inline constexpr int kRenderMaxSide = 16384;

// The tone box's entries, in order.
enum class TRenderTone { Window, Linear, SquareRoot, LogDensity };

// Main steps per second of the parameter set, measured by a short render on this thread (some tens of ms).
double MeasureStepsPerSecond(const TFractalParams& params, int orbits, int threads);

class TRenderToFileDialog : public QDialog {
  Q_OBJECT

 public:
  // params: the window's parameter set; stepsPerSecond and speedSource: what the time estimate is based on.
  TRenderToFileDialog(TServices& services, const TFractalParams& params, double stepsPerSecond,
                      const QString& speedSource, TFileOptions fileOptions, QWidget* parent = nullptr);

  // The render as the controls say (valid or not).
  TRenderRequest Request() const;

 protected:
  void accept() override;

 private:
  QComboBox* SizeCombo;
  QSpinBox* WidthEdit;
  QSpinBox* HeightEdit;
  QSpinBox* SupersampleEdit;
  QDoubleSpinBox* RadiusEdit;
  QComboBox* ToneCombo;
  QRadioButton* StepsRadio;    // quality as main steps per output pixel
  QDoubleSpinBox* StepsEdit;
  QRadioButton* TimeRadio;     // quality as a time
  QSpinBox* SecondsEdit;
  QLineEdit* SeedEdit;         // empty: a new random stream
  QLineEdit* FileEdit;
  QPushButton* BrowseButton;
  QLabel* FormatLabel;
  QCheckBox* CountsCB;         // "Also save hit counts"
  QLabel* MemoryLabel;
  QLabel* TimeLabel;
  QPushButton* RenderButton;
  QPushButton* CancelButton;

  // Browse: the save dialog of the services, with the writers' formats.
  void BrowseClick();
  void SizeChosen(int index);
  void SizeEdited();
  void UpdateEstimates();
  // Empty when the request can be started, else why not.
  QString Problem(const TRenderRequest& request) const;

  TServices& services_;
  TFractalParams params_;
  double stepsPerSecond_;
  QString speedSource_;
  TFileOptions fileOptions_;
  bool choosingSize_ = false;
};
