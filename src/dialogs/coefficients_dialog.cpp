#include "dialogs/coefficients_dialog.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
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

  // The edits stand as the memo's terms: a column per term of an equation, a row per equation, so the
  // headings and row captions name each edit's place in the map. One grid keeps the columns of the three
  // groups aligned.
  QPalette light = palette();
  light.setColor(QPalette::WindowText, Qt::white);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  enum Column { kGroupColumn, kEquationColumn, kFirstEditColumn };
  auto caption = [&](const QString& text, Qt::Alignment alignment) {
    auto* label = new QLabel(text, this);
    label->setFont(small);
    label->setPalette(light);
    label->setAlignment(alignment);
    return label;
  };
  const char* const headings[] = {"fx *", "fy *", "+"};
  for (int c = 0; c < 3; ++c) {
    grid->addWidget(caption(QString::fromLatin1(headings[c]), Qt::AlignCenter), 0, kFirstEditColumn + c);
  }
  const int groupGap = QFontMetrics(small).lineSpacing() / 2;
  const QString widestCoefficient =
      QString::fromStdString(FormatFixed(-10.0, kCoefficientDecimals, LocaleDecimalSeparator()));
  const char groupLetters[] = {'A', 'B', 'C'};
  for (int g = 0; g < 3; ++g) {
    // Heading row, then three rows per group: a gap and the x and y equations.
    const int gapRow = 1 + 3 * g, xRow = gapRow + 1, yRow = gapRow + 2;
    grid->setRowMinimumHeight(gapRow, g == 0 ? 0 : groupGap);
    QLabel* group = caption(QString(QLatin1Char(groupLetters[g])), Qt::AlignCenter);
    QFont bold = small;
    bold.setBold(true);
    group->setFont(bold);
    grid->addWidget(group, xRow, kGroupColumn, 2, 1);
    QLabel* xCaption = caption(QStringLiteral("x"), Qt::AlignRight | Qt::AlignVCenter);
    QLabel* yCaption = caption(QStringLiteral("y"), Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(xCaption, xRow, kEquationColumn);
    grid->addWidget(yCaption, yRow, kEquationColumn);
    for (int i = 1; i <= kGroupSize; ++i) {
      const int k = g * kGroupSize + i;
      auto* edit = new TSpinEdit(kCoefficientDecimals, g == 2 ? kCIncrement : kABIncrement, this);
      edit->setFont(small);
      // A sign, two digits and all nine decimals shown whole next to the step arrows.
      edit->SetWidestText(widestCoefficient);
      edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1Char(groupLetters[g])).arg(i, 2, 10, QLatin1Char('0')));
      edit->setAccessibleName(edit->objectName());
      if (g < 2) edit->setToolTip(QStringLiteral("af[%1]").arg(k));
      // Odd numbers on the top row, following the memo: x's equation above, y's below.
      const bool xEquation = (i - 1) % 2 == 0;
      grid->addWidget(edit, xEquation ? xRow : yRow, kFirstEditColumn + (i - 1) / 2);
      if (i == 1) xCaption->setBuddy(edit);
      if (i == 2) yCaption->setBuddy(edit);
      edits_[static_cast<std::size_t>(k - 1)] = edit;
      connect(edit, &TSpinEdit::changed, this, &TCForm::A01Change);
    }
  }
  top->addLayout(grid);
  top->addStretch();
  const QSize fit = sizeHint();
  resize(std::max(266, fit.width()), std::max(246, fit.height()));

  connect(CoefficiantTimer, &QTimer::timeout, this, &TCForm::CoefficiantTimerTimer);
  NameObjects({{Memo, "Memo"}, {CoefficiantTimer, "CoefficiantTimer"}});
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
