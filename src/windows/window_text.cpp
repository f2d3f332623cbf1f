#include "windows/window_text.h"

#include <QLocale>

namespace {
const QString kGap = QStringLiteral("    ");
}  // namespace

QString FormatFixed(double value, int decimals, const QString& decimalPoint) {
  QString text = QString::number(value, 'f', decimals);
  if (decimalPoint != QStringLiteral(".")) text.replace(QLatin1Char('.'), decimalPoint);
  return text;
}

QString FormatProgressCaption(const TProgressFigures& p, const QString& decimalPoint) {
  return QString::number(p.ticks) + kGap + QString::number(p.iterations) + kGap +
         FormatFixed(p.lyapunov, 2, decimalPoint) + QStringLiteral("3") + kGap +
         FormatFixed(p.plotX, 2, decimalPoint) + QStringLiteral("4") + kGap + FormatFixed(p.plotY, 2, decimalPoint) +
         QStringLiteral("4");
}

QString FormatReadout(const char* label, double value, const QString& decimalPoint) {
  return QString::fromLatin1(label) + FormatFixed(value, 12, decimalPoint);
}

QString UserDecimalPoint() { return QLocale().decimalPoint(); }
