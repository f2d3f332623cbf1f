#include "dialogs/coefficients_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "dialogs/layout_probe.h"
#include "dialogs/spin_edit.h"
#include "dialogs/control.h"

namespace {

void Tick(TCForm& form) {
  if (Control<QTimer>(form, "CoefficiantTimer")->isActive()) form.CoefficiantTimerTimer();
}

struct FakeFrame {
  TCForm& form;
  TFractalParams* active;
  int updates = 0;
  FakeFrame(TCForm& f, TFractalParams* a) : form(f), active(a) {
    QObject::connect(&form, &TCForm::coefficientsChanged, [this] {
      ++updates;
      form.ReadCoefficients(active->af);
    });
  }
};

}  // namespace

TEST(CoefficientsDialog, HasEighteenEditsInTheirGroupsWithIncrementsAndHints) {
  TCForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Coefficients"));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(Control<QTimer>(form, "CoefficiantTimer")->interval(), 250);
  const char* names[] = {"A01", "A02", "A03", "A04", "A05", "A06", "B01", "B02", "B03",
                         "B04", "B05", "B06", "C01", "C02", "C03", "C04", "C05", "C06"};
  for (int k = 1; k <= 18; ++k) {
    TSpinEdit* edit = Control<TSpinEdit>(form, names[k - 1]);
    EXPECT_EQ(edit->Decimals(), 9);
    EXPECT_EQ(edit->Increment(), k <= 12 ? 0.05 : 0.1) << k;
    EXPECT_EQ(edit->toolTip(), k <= 12 ? QStringLiteral("af[%1]").arg(k) : QString()) << k;
  }
  EXPECT_EQ(Control<QPlainTextEdit>(form, "Memo")->toPlainText(),
            QStringLiteral("xnew := fx*v.af[1 + j] + fy*v.af[3 + j] + v.af[5 + j];\n"
                           "y        := fx*v.af[2 + j] + fy*v.af[4 + j] + v.af[6 + j];\n"
                           "x        := xnew;"));
  EXPECT_TRUE(Control<QPlainTextEdit>(form, "Memo")->isReadOnly());
}

TEST(CoefficientsDialog, GridFollowsTheMemoAndGroupsAreStacked) {
  TCForm form;
  form.layout()->activate();
  const auto at = [&](int k) { return CoefficientEdit(form, k)->geometry(); };
  // x's equation (1, 3, 5) on the top row, y's (2, 4, 6) below, left to right.
  EXPECT_EQ(at(1).y(), at(3).y());
  EXPECT_EQ(at(3).y(), at(5).y());
  EXPECT_GT(at(2).y(), at(1).y());
  EXPECT_EQ(at(2).x(), at(1).x());
  EXPECT_LT(at(1).x(), at(3).x());
  EXPECT_LT(at(3).x(), at(5).x());
  EXPECT_GT(at(7).y(), at(2).y());
  EXPECT_GT(at(13).y(), at(8).y());
  EXPECT_GT(at(1).y(), Control<QPlainTextEdit>(form, "Memo")->geometry().y());
}

TEST(CoefficientsDialog, FilledCoefficientComesBackRoundedToNineDecimals) {
  TCForm form;
  TFractalParams v;
  v.af[1] = 0.1234567891234;
  v.af[18] = -2.5;
  v.af[19] = 7.25;  // beyond the dialog: must stay
  FakeFrame frame(form, &v);
  form.FillCoefficients(v.af);
  EXPECT_EQ(CoefficientEdit(form, 1)->text(), QStringLiteral("0.123456789"));
  EXPECT_EQ(CoefficientEdit(form, 18)->text(), QStringLiteral("-2.500000000"));
  ASSERT_TRUE(form.DebouncePending());
  Tick(form);
  EXPECT_EQ(frame.updates, 0);
  Tick(form);
  EXPECT_EQ(frame.updates, 1);
  EXPECT_EQ(v.af[1], 0.123456789);
  EXPECT_EQ(v.af[18], -2.5);
  EXPECT_EQ(v.af[19], 7.25);
}

TEST(CoefficientsDialog, ThreeUpArrowsFromHalfGive065) {
  TCForm form;
  TFractalParams v;
  v.af[1] = 0.5;
  FakeFrame frame(form, &v);
  form.FillCoefficients(v.af);
  for (int i = 0; i < 3; ++i) {
    QTest::keyClick(CoefficientEdit(form, 1), Qt::Key_Up);
    Tick(form);
  }
  EXPECT_EQ(frame.updates, 0);
  Tick(form);
  EXPECT_EQ(frame.updates, 1);
  EXPECT_EQ(CoefficientEdit(form, 1)->text(), QStringLiteral("0.650000000"));
  EXPECT_EQ(v.af[1], 0.65);
}

TEST(CoefficientsDialog, ClearedEditWritesZero) {
  TCForm form;
  TFractalParams v;
  v.af[18] = 3.0;
  form.FillCoefficients(v.af);
  FakeFrame frame(form, &v);
  CoefficientEdit(form, 18)->findChild<QLineEdit*>()->clear();
  Tick(form);
  Tick(form);
  EXPECT_EQ(frame.updates, 1);
  EXPECT_EQ(v.af[18], 0.0);
}

TEST(CoefficientsDialog, RealTimerCopiesOnceIntoTheWindowActiveAtThatMoment) {
  TCForm form;
  TFractalParams first, second;
  FakeFrame frame(form, &first);
  CoefficientEdit(form, 7)->findChild<QLineEdit*>()->setText(QStringLiteral("1"));
  QTest::keyClicks(CoefficientEdit(form, 7), QStringLiteral(".5"));
  frame.active = &second;
  EXPECT_TRUE(QTest::qWaitFor([&] { return frame.updates > 0; }, 5000));
  EXPECT_EQ(frame.updates, 1);
  EXPECT_FALSE(form.DebouncePending());
  EXPECT_EQ(second.af[7], 1.5);
  EXPECT_EQ(first.af[7], 0.0);
}

TEST(CoefficientsDialog, EveryEditIsNamedByItsGroupEquationAndTerm) {
  TCForm form;
  form.show();
  const QList<QLabel*> labels = form.findChildren<QLabel*>();
  // The caption on e's row nearest left of the row's first edit, and the heading over e's column.
  const auto rowCaption = [&](TSpinEdit* first) -> QString {
    QString text;
    for (QLabel* l : labels) {
      if (Beside(l, first) && l->x() < first->x() && l->buddy() == first) text = l->text();
    }
    return text;
  };
  const auto heading = [&](TSpinEdit* e) -> QString {
    QString text;
    for (QLabel* l : labels) {
      if (l->geometry().bottom() < e->y() && l->geometry().center().x() >= e->x() &&
          l->geometry().center().x() <= e->geometry().right()) {
        text = l->text();
      }
    }
    return text;
  };
  const auto groupLetter = [&](TSpinEdit* e) -> QString {
    QString text;
    for (QLabel* l : labels) {
      if ((OnSameRow(e, l) || OnSameRow(l, e)) && l->geometry().right() < e->x() && l->text().size() == 1 &&
          l->text()[0].isUpper()) {
        text = l->text();
      }
    }
    return text;
  };
  const QString terms[] = {"fx *", "fy *", "+"};
  for (int k = 1; k <= 18; ++k) {
    TSpinEdit* e = CoefficientEdit(form, k);
    const int i = (k - 1) % 6 + 1;  // 1 .. 6 within the group
    const bool xEquation = i % 2 == 1;
    TSpinEdit* first = CoefficientEdit(form, k - (i - 1) + (xEquation ? 0 : 1));  // A01 or A02 of e's group and row
    EXPECT_TRUE(OnSameRow(e, first)) << k;
    EXPECT_EQ(rowCaption(first), xEquation ? QStringLiteral("x") : QStringLiteral("y")) << k;
    EXPECT_EQ(groupLetter(e), QString(QLatin1Char("ABC"[(k - 1) / 6]))) << k;
    EXPECT_EQ(heading(e), terms[(i - 1) / 2]) << k;
  }
}

TEST(CoefficientsDialog, EditsShowASignedTwoDigitCoefficientWhole) {
  TCForm form;
  form.show();
  for (int k = 1; k <= 18; ++k) {
    EXPECT_TRUE(ShowsWhole(CoefficientEdit(form, k)->findChild<QLineEdit*>(), QStringLiteral("-10.123456789"))) << k;
  }
}
