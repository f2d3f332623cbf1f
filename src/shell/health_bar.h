// The render's health in the frame's status bar: steps per second, steps done, the Lyapunov estimate, restarts,
// the share of pixels lit and the elapsed time of the active window's pass. The figures come from the window's
// document; this only words them.
#pragma once

#include <array>

#include <QString>
#include <QWidget>

#include "document/render_health.h"

class QLabel;

// The readout's fields, in the order they stand in the status bar.
enum class THealthField { StepsPerSecond, Steps, Lyapunov, Restarts, Lit, Elapsed, Count };

// 1234 as "1234", 12345 as "12.3 k", 4.56e6 as "4.56 M", 7.8e9 as "7.80 G": three significant digits and the
// given decimal separator.
QString FormatCount(double value, const QString& decimalPoint);
// "0:07", "12:34", "1:02:03".
QString FormatElapsed(double seconds);
// The text of every field, or empty texts for a window that has not drawn anything yet.
std::array<QString, static_cast<int>(THealthField::Count)> FormatRenderHealth(const TRenderHealth& health,
                                                                               const QString& decimalPoint);

class THealthBar : public QWidget {
  Q_OBJECT

 public:
  explicit THealthBar(QWidget* parent = nullptr);
  void Show(const TRenderHealth& health);
  void ShowNothing();
  QLabel* Field(THealthField field) const { return labels_[static_cast<int>(field)]; }

 private:
  std::array<QLabel*, static_cast<int>(THealthField::Count)> labels_{};
};
