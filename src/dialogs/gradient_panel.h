// The Parameters dialog's gradient colouring: the colouring switch, a chooser of the built-in gradients (each with
// a preview strip) and of the record's own, the offset, the vibrancy and the three map groups' colour positions.
// Like the rest of the dialog it keeps no record: the window fills it and copies it back.
#pragma once

#include <array>

#include <QWidget>

#include "engine/fractal_params.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

class TGradientPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TGradientPanel(QWidget* parent = nullptr);

  // Sets the controls without emitting changed.
  void FillFromRecord(const TFractalParams& v);
  // Touches exactly the fields it shows.
  void ApplyToRecord(TFractalParams& v) const;
  // Whether the gradient colouring is switched on.
  bool ColouringOn() const;

 signals:
  // The user changed a control.
  void changed();
  // The colouring switch changed, by the user or by filling.
  void colouringSwitched(bool on);

 private:
  QCheckBox* GradientColouring;
  QComboBox* GradientChooser;  // the built-ins, then the record's own gradient when it is none of them
  QDoubleSpinBox* GradientOffset;
  QDoubleSpinBox* Vibrancy;
  std::array<QDoubleSpinBox*, kColourPositions> ColourPositions;

  void ShowEnabled();

  TGradientRef own_;  // the record's gradient when it is not a built-in
  bool filling_ = false;
};

// A strip of the gradient as the record lays it out, for previews: width x height pixels.
class QPixmap;
QPixmap GradientStrip(const TGradient& gradient, const TGradientView& view, int width, int height);
