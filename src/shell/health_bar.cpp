#include "shell/health_bar.h"

#include <cmath>

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>

namespace {

struct TFieldLook {
  const char* tip;
};

constexpr TFieldLook kFields[] = {
    {"Steps per second, over the last half second"},
    {"Steps done in this pass, restarts included"},
    {"Lyapunov estimate of the orbit, in bits per step"},
    {"Random restarts: the orbit escaped or its Lyapunov estimate ran wild"},
    {"Share of the picture's pixels that are lit"},
    {"Time since the pass began"},
};

QString Fixed(double value, int decimals, const QString& decimalPoint) {
  QString text = QString::number(value, 'f', decimals);
  if (decimalPoint != QStringLiteral(".")) text.replace(QLatin1Char('.'), decimalPoint);
  return text;
}

}  // namespace

QString FormatCount(double value, const QString& decimalPoint) {
  if (!std::isfinite(value)) return QStringLiteral("-");
  const double magnitude = std::fabs(value);
  if (magnitude < 10000) return QString::number(std::llround(value));
  static const char* const kUnits[] = {"k", "M", "G", "T", "P"};
  double scaled = value / 1000;
  int unit = 0;
  while (std::fabs(scaled) >= 999.5 && unit < 4) {
    scaled /= 1000;
    ++unit;
  }
  const double abs = std::fabs(scaled);
  const int decimals = abs >= 99.95 ? 0 : abs >= 9.995 ? 1 : 2;
  return Fixed(scaled, decimals, decimalPoint) + QLatin1Char(' ') + QLatin1String(kUnits[unit]);
}

QString FormatElapsed(double seconds) {
  const long long total = seconds > 0 && std::isfinite(seconds) ? static_cast<long long>(seconds) : 0;
  const long long h = total / 3600, m = total / 60 % 60, s = total % 60;
  if (h > 0) return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

std::array<QString, static_cast<int>(THealthField::Count)> FormatRenderHealth(const TRenderHealth& h,
                                                                               const QString& decimalPoint) {
  std::array<QString, static_cast<int>(THealthField::Count)> text;
  if (!h.started) return text;
  const auto at = [&text](THealthField f) -> QString& { return text[static_cast<int>(f)]; };
  at(THealthField::StepsPerSecond) =
      h.running ? FormatCount(h.stepsPerSecond, decimalPoint) + QStringLiteral(" steps/s") : QStringLiteral("stopped");
  at(THealthField::Steps) = FormatCount(static_cast<double>(h.steps), decimalPoint) + QStringLiteral(" steps");
  at(THealthField::Lyapunov) = QStringLiteral("Lyapunov ") + (std::isfinite(h.lyapunov) ? Fixed(h.lyapunov, 3, decimalPoint)
                                                                                   : QStringLiteral("-"));
  at(THealthField::Restarts) = QString::number(h.restarts) + (h.restarts == 1 ? QStringLiteral(" restart")
                                                                               : QStringLiteral(" restarts"));
  at(THealthField::Lit) = Fixed(100 * h.litShare, 1, decimalPoint) + QStringLiteral(" % lit");
  at(THealthField::Elapsed) = FormatElapsed(h.elapsedSeconds);
  return text;
}

THealthBar::THealthBar(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  for (int i = 0; i < static_cast<int>(THealthField::Count); ++i) {
    labels_[i] = new QLabel(this);
    labels_[i]->setToolTip(QString::fromLatin1(kFields[i].tip));
    labels_[i]->setAccessibleName(QString::fromLatin1(kFields[i].tip));
    layout->addWidget(labels_[i]);
  }
  ShowNothing();
}

void THealthBar::Show(const TRenderHealth& health) {
  const auto text = FormatRenderHealth(health, QLocale().decimalPoint());
  for (int i = 0; i < static_cast<int>(THealthField::Count); ++i) {
    labels_[i]->setText(text[i]);
    labels_[i]->setVisible(!text[i].isEmpty());
  }
}

void THealthBar::ShowNothing() { Show(TRenderHealth{}); }
