#include "dialogs/spin_edit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

namespace {

// The edit's own line edit, where the user types.
QLineEdit* LineEditOf(TSpinEdit& edit) { return edit.findChild<QLineEdit*>(); }

class LocaleGuard {
 public:
  explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

}  // namespace

TEST(SpinEdit, RealEditShowsNineDecimals) {
  TSpinEdit edit(9, 0.05);
  edit.SetValue(0.1234567891234);
  EXPECT_EQ(edit.text(), QStringLiteral("0.123456789"));
  EXPECT_EQ(edit.Value(), 0.123456789);
}

TEST(SpinEdit, UnparsableOrEmptyTextReadsAsZeroAndIsKeptAsTyped) {
  TSpinEdit edit(9, 0.05);
  edit.SetValue(3);
  LineEditOf(edit)->clear();
  EXPECT_EQ(edit.Value(), 0.0);
  QTest::keyClicks(&edit, QStringLiteral("abc"));
  EXPECT_EQ(edit.text(), QStringLiteral("abc"));
  EXPECT_EQ(edit.Value(), 0.0);
}

TEST(SpinEdit, ArrowKeysStepByTheIncrement) {
  TSpinEdit edit(9, 0.05);
  edit.SetValue(0.5);
  for (int i = 0; i < 3; ++i) QTest::keyClick(&edit, Qt::Key_Up);
  EXPECT_EQ(edit.text(), QStringLiteral("0.650000000"));
  EXPECT_EQ(edit.Value(), 0.65);
  QTest::keyClick(&edit, Qt::Key_Down);
  EXPECT_EQ(edit.text(), QStringLiteral("0.600000000"));
}

TEST(SpinEdit, HasNoLimits) {
  TSpinEdit edit(9, 0.1);
  edit.SetValue(-1e6);
  edit.stepBy(-1);
  EXPECT_EQ(edit.Value(), -1000000.1);
  TSpinEdit size(0, 10);
  size.SetValue(-20);
  size.stepBy(-1);
  EXPECT_EQ(size.IntValue(), -30);
}

TEST(SpinEdit, IntegerEditReadsNonIntegersAsZero) {
  TSpinEdit edit(0, 10);
  edit.SetValue(640);
  EXPECT_EQ(edit.text(), QStringLiteral("640"));
  EXPECT_EQ(edit.IntValue(), 640);
  edit.stepBy(1);
  EXPECT_EQ(edit.IntValue(), 650);
  LineEditOf(edit)->setText(QStringLiteral("12.5"));
  EXPECT_EQ(edit.IntValue(), 0);
  LineEditOf(edit)->setText(QStringLiteral("wide"));
  EXPECT_EQ(edit.IntValue(), 0);
}

TEST(SpinEdit, ReportsEveryTextChange) {
  TSpinEdit edit(9, 0.05);
  QSignalSpy spy(&edit, &TSpinEdit::changed);
  edit.SetValue(1);
  EXPECT_EQ(spy.count(), 1);
  QTest::keyClicks(&edit, QStringLiteral("2"));
  EXPECT_EQ(spy.count(), 2);
  edit.stepBy(1);
  EXPECT_EQ(spy.count(), 3);
}

TEST(SpinEdit, UsesTheLocaleDecimalSeparator) {
  LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
  TSpinEdit edit(9, 0.05);
  edit.SetValue(0.5);
  EXPECT_EQ(edit.text(), QStringLiteral("0,500000000"));
  LineEditOf(edit)->setText(QStringLiteral("1,25"));
  EXPECT_EQ(edit.Value(), 1.25);
  LineEditOf(edit)->setText(QStringLiteral("1.25"));
  EXPECT_EQ(edit.Value(), 0.0);
}
