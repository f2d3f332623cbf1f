// The "Parameters" tool window: family, variation and colour controls of the active fractal window.
// It keeps no record of its own. The window fills it (FillFromRecord) and copies it back
// (ApplyToRecord) when colorsChanged arrives through the frame's UpdateColors.
#pragma once

#include <QWidget>

#include "dialogs/dialog_conversions.h"

class QCheckBox;
class TGradientPanel;
class QLabel;
class QSlider;
class QTimer;

class TForm4 : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDebounceMs = 250;

  explicit TForm4(QWidget* parent = nullptr);

  // Parameters1Update's dialog half: sliders (clamped to their ranges), boxes and the six value labels.
  // Sliders that move fire their change events, so one debounce later colorsChanged follows.
  void FillFromRecord(const TFractalParams& v);
  // ApplyParameters: every control into v, then the six value labels from the new v.
  void ApplyToRecord(TFractalParams& v);

  TParameterControls Controls() const;
  // Sets the controls as the program does: sliders fire their change events, boxes do not.
  void SetControls(const TParameterControls& c);
  void SetValueLabels(const TFractalParams& v);

  bool DebouncePending() const;
  // Ends a pending debounce without emitting: true when one was pending, so the caller copies the controls
  // itself, into the window they were meant for.
  bool TakePendingChange();
  int ColorTicks() const { return colorTicks_; }

 public slots:
  // One tick of ColorTimer: the second tick after the last change emits colorsChanged.
  void ColorTimerTimer();

 signals:
  // The controls have been quiet for a tick: the frame's UpdateColors copies them into its active window.
  void colorsChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Controls, named as the form names them. Owned by the form.
  QSlider* Intensity;
  QSlider* RedBar1;
  QSlider* GrnBar1;
  QSlider* BluBar1;
  QSlider* Randomizer;
  QSlider* Probability;
  QLabel* Factor1;       // intensity
  QLabel* RedLabel1;
  QLabel* GrnLabel1;
  QLabel* BluLabel1;
  QLabel* RandomFactor;  // randomizer
  QLabel* Factor2;       // probability
  QLabel* ProbabilityCaption;  // "Probability", the slider's caption
  QSlider* ToneBrightness;     // the log-density tone's brightness and gamma
  QSlider* ToneGamma;
  QLabel* BrightnessLabel;
  QLabel* ToneGammaLabel;
  QCheckBox* square_root;
  QCheckBox* Invert;
  QCheckBox* LogDensity;
  QCheckBox* Mira01;
  QCheckBox* Latoocarfian01;
  QCheckBox* Latoocarfian02;
  QCheckBox* IFS_01;
  QCheckBox* IFS_02;
  QCheckBox* AT_01;
  QCheckBox* AT_02;
  QCheckBox* None;
  QCheckBox* Linear;
  QCheckBox* Sinusoidal;
  QCheckBox* Spherical;
  QCheckBox* Swirl;
  QCheckBox* Horseshoe;
  QCheckBox* Polar;
  QCheckBox* Bent;
  TGradientPanel* GradientPanel;  // the gradient colouring
  QTimer* ColorTimer;

  // The shared change handler of every slider and box.
  void ControlChange();
  // The brightness and gamma sliders act only with the log-density tone on.
  void ShowToneSliders(bool on);

  int colorTicks_ = 0;
};
