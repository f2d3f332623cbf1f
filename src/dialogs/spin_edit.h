// A numeric spin edit whose text is the value: anything may be typed, and text that is not a number
// reads as 0. Unlike QSpinBox / QDoubleSpinBox it has no limits and never rejects or rewrites what the
// user types, which the size and coefficient fields rely on.
#pragma once

#include <QAbstractSpinBox>

class TSpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  // decimals 0 makes an integer edit: it shows whole numbers and reads a text that is not an integer as 0.
  explicit TSpinEdit(int decimals, double increment, QWidget* parent = nullptr);

  int Decimals() const { return decimals_; }
  double Increment() const { return increment_; }

  // The shown text read as a number with the locale's separator; 0 when it is not one.
  double Value() const;
  // Integer edits: Value() as an int (0 for an unparsable text).
  int IntValue() const;
  // Shows value with Decimals() decimals and the locale's separator.
  void SetValue(double value);

  // The edit has no limits to measure itself by, so its owner names the widest text it must show whole.
  // The edit is never narrower than that text in its current font and style.
  void SetWidestText(const QString& text);
  QString WidestText() const { return widestText_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;

 signals:
  // Every change of the text, typed, stepped or set by the program.
  void changed();

 protected:
  StepEnabled stepEnabled() const override;

 private:
  // Widens base to fit widestText_.
  QSize FitWidestText(QSize base, int textHeight) const;

  int decimals_;
  double increment_;
  QString widestText_;
};
