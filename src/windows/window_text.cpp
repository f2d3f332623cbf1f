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

QString FormatProgressCaption(const TFractalParams& v, const QString& decimalPoint) {
  return QString::number(v.ticks) + kGap + QString::number(v.iterations) + kGap +
         FormatFixed(v.lyapunov, 2, decimalPoint) + QStringLiteral("3") + kGap +
         FormatFixed(v.plotX, 2, decimalPoint) + QStringLiteral("4") + kGap + FormatFixed(v.plotY, 2, decimalPoint) +
         QStringLiteral("4");
}

QString FormatReadout(const char* label, double value, const QString& decimalPoint) {
  return QString::fromLatin1(label) + FormatFixed(value, 12, decimalPoint);
}

QString UserDecimalPoint() { return QLocale().decimalPoint(); }
