#include "dialogs/coefficients_dialog.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "dialogs/dialog_conversions.h"
#include "dialogs/spin_edit.h"
#include "dialogs/tool_window.h"

namespace {

constexpr int kGroupSize = 6;
constexpr double kABIncrement = 0.05;
constexpr double kCIncrement = 0.1;

// The memo shows the plain affine map the coefficients are named after; nothing reads it.
const char* const kMemoLines[] = {
    "xnew := fx*v.af[1 + j] + fy*v.af[3 + j] + v.af[5 + j];",
    "y        := fx*v.af[2 + j] + fy*v.af[4 + j] + v.af[6 + j];",
    "x        := xnew;",
};

}  // namespace

TCForm::TCForm(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Coefficients"));
  MakeStayOnTopToolWindow(this);

  Memo = new QPlainTextEdit(this);
  Memo->setReadOnly(true);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setPlainText(QStringList{kMemoLines[0], kMemoLines[1], kMemoLines[2]}.join(QLatin1Char('\n')));
  // The form is small: a smaller face lets the memo's lines and the nine decimals fit its width.
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.8);
  Memo->setFont(small);
  Memo->setFixedHeight(QFontMetrics(small).lineSpacing() * 3 + 2 * Memo->frameWidth() +
                       Memo->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);

  CoefficiantTimer = new QTimer(this);
  CoefficiantTimer->setInterval(kDebounceMs);

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->addWidget(Memo);

  const char groupLetters[] = {'A', 'B', 'C'};
  for (int g = 0; g < 3; ++g) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    for (int i = 1; i <= kGroupSize; ++i) {
      const int k = g * kGroupSize + i;
      auto* edit = new TSpinEdit(kCoefficientDecimals, g == 2 ? kCIncrement : kABIncrement, this);
      edit->setFont(small);
      // Wide enough for a sign, a digit and all nine decimals next to the step arrows.
      edit->setMinimumWidth(QFontMetrics(small).horizontalAdvance(QStringLiteral("-00.000000000")) +
                            edit->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12);
      edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1Char(groupLetters[g])).arg(i, 2, 10, QLatin1Char('0')));
      if (g < 2) edit->setToolTip(QStringLiteral("af[%1]").arg(k));
      // Odd numbers on the top row, following the memo: x's equation above, y's below.
      grid->addWidget(edit, (i - 1) % 2, (i - 1) / 2);
      edits_[static_cast<std::size_t>(k - 1)] = edit;
      connect(edit, &TSpinEdit::changed, this, &TCForm::A01Change);
    }
    top->addLayout(grid);
  }
  top->addStretch();
  const QSize fit = sizeHint();
  resize(std::max(266, fit.width()), std::max(246, fit.height()));

  connect(CoefficiantTimer, &QTimer::timeout, this, &TCForm::CoefficiantTimerTimer);
}

TSpinEdit* TCForm::Edit(int k) const {
  if (k < 1 || k > kDialogCoefficientCount) return nullptr;
  return edits_[static_cast<std::size_t>(k - 1)];
}

void TCForm::FillCoefficients(const TCoefficients& af) {
  for (int k = 1; k <= kDialogCoefficientCount; ++k) Edit(k)->SetValue(af[static_cast<std::size_t>(k)]);
}

void TCForm::ReadCoefficients(TCoefficients& af) const {
  for (int k = 1; k <= kDialogCoefficientCount; ++k) af[static_cast<std::size_t>(k)] = Edit(k)->Value();
}

void TCForm::A01Change() {
  coefTicks_ = 0;
  // A running interval is not restarted, so the copy comes on the second tick after the last change.
  if (!CoefficiantTimer->isActive()) CoefficiantTimer->start();
}

void TCForm::CoefficiantTimerTimer() {
  if (coefTicks_ != 0) {
    CoefficiantTimer->stop();
    emit coefficientsChanged();
    coefTicks_ = 0;
  } else {
    coefTicks_ = 1;
  }
}

bool TCForm::DebouncePending() const { return CoefficiantTimer->isActive(); }

bool TCForm::TakePendingChange() {
  if (!CoefficiantTimer->isActive()) return false;
  CoefficiantTimer->stop();
  coefTicks_ = 0;
  return true;
}

void TCForm::paintEvent(QPaintEvent*) { PaintGradient(this, kMaroon); }
