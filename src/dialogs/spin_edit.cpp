#include "dialogs/spin_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include "dialogs/dialog_conversions.h"
#include "dialogs/tool_window.h"
#include "engine/round.h"

TSpinEdit::TSpinEdit(int decimals, double increment, QWidget* parent)
    : QAbstractSpinBox(parent), decimals_(decimals), increment_(increment) {
  // The text is the value, so the base class must neither correct nor reformat it when focus leaves.
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
  setAccelerated(false);
  connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::changed);
  SetValue(0);
}

double TSpinEdit::Value() const {
  const std::string text = lineEdit()->text().toStdString();
  if (decimals_ == 0) {
    const auto value = ParseInteger(text);
    return value ? static_cast<double>(*value) : 0.0;
  }
  return ParseReal(text, LocaleDecimalSeparator()).value_or(0.0);
}

int TSpinEdit::IntValue() const {
  const double value = Value();
  // A real edit can hold values outside int; those read as 0 like any other text that is no int.
  if (!(std::fabs(value) <= std::numeric_limits<int>::max())) return 0;
  return Round(value);
}

void TSpinEdit::SetValue(double value) {
  lineEdit()->setText(QString::fromStdString(FormatFixed(value, decimals_, LocaleDecimalSeparator())));
  // A narrow edit then shows the leading digits, which matter more than the last decimals.
  lineEdit()->setCursorPosition(0);
}

void TSpinEdit::SetWidestText(const QString& text) {
  widestText_ = text;
  updateGeometry();
}

QSize TSpinEdit::FitWidestText(QSize base, int textHeight) const {
  if (widestText_.isEmpty()) return base;
  ensurePolished();
  // The text and one digit more, wrapped in the style's frame and step buttons. QSpinBox allows a space
  // where this allows a digit, which in small faces leaves the line's own margins and the cursor no room.
  const QFontMetrics metrics(font());
  const int textWidth = metrics.horizontalAdvance(widestText_) + metrics.horizontalAdvance(QLatin1Char('0'));
  QStyleOptionSpinBox option;
  initStyleOption(&option);
  const QSize fit = style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(textWidth, textHeight), this);
  return QSize(std::max(base.width(), fit.width()), base.height());
}

QSize TSpinEdit::sizeHint() const {
  return FitWidestText(QAbstractSpinBox::sizeHint(), lineEdit()->sizeHint().height());
}

QSize TSpinEdit::minimumSizeHint() const {
  return FitWidestText(QAbstractSpinBox::minimumSizeHint(), lineEdit()->minimumSizeHint().height());
}

void TSpinEdit::stepBy(int steps) {
  double value = Value() + steps * increment_;
  // An integer edit with no limits still has to stay inside the numbers it can show and read back.
  if (decimals_ == 0) {
    value = std::clamp(value, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                       static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  }
  SetValue(value);
}

QValidator::State TSpinEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
  return QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
}
