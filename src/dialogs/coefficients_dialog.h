// The "Coefficients" tool window: af[1] .. af[18] of the active fractal window in eighteen spin edits.
// The window fills it (FillCoefficients) and reads it back (ReadCoefficients) when coefficientsChanged
// arrives through the frame's UpdateCoefficiants.
#pragma once

#include <array>

#include <QWidget>

#include "engine/fractal_params.h"

class QPlainTextEdit;
class QTimer;
class TSpinEdit;

constexpr int kDialogCoefficientCount = 18;

class TCForm : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kDebounceMs = 250;

  explicit TCForm(QWidget* parent = nullptr);

  // Parameters1Update's last step: af[1] .. af[18] into A01 .. C06, nine decimals each. Every edit whose
  // text changes fires its change event, so one debounce later coefficientsChanged follows.
  void FillCoefficients(const TCoefficients& af);
  // UpdateCoefficiants: the shown texts into af[1] .. af[18]; a text that is not a number gives 0.
  // af[19] onwards are left alone.
  void ReadCoefficients(TCoefficients& af) const;

  bool DebouncePending() const;
  // Ends a pending debounce without emitting: true when one was pending, so the caller reads the edits
  // itself, into the window they were meant for.
  bool TakePendingChange();
  int CoefTicks() const { return coefTicks_; }

 public slots:
  // One tick of CoefficiantTimer: the second tick after the last change emits coefficientsChanged.
  void CoefficiantTimerTimer();

 signals:
  void coefficientsChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The k-th edit in the order A01..A06, B01..B06, C01..C06, k = 1 .. 18.
  TSpinEdit* Edit(int k) const;
  QPlainTextEdit* Memo;
  QTimer* CoefficiantTimer;

  // The shared change handler of all eighteen edits.
  void A01Change();

  std::array<TSpinEdit*, kDialogCoefficientCount> edits_{};
  int coefTicks_ = 0;
};
