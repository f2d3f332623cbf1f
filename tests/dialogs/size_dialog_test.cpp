#include "dialogs/size_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "dialogs/layout_probe.h"
#include "dialogs/spin_edit.h"
#include "dialogs/control.h"

TEST(SizeDialog, HasItsCaptionEditsAndSizeMenu) {
  TXYSize form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("XYSize"));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(Control<QPushButton>(form, "CoolBtn1")->text(), QStringLiteral("Apply"));
  EXPECT_EQ(Control<QMenu>(form, "Size1")->title(), QStringLiteral("Size"));
  EXPECT_EQ(Control<TSpinEdit>(form, "RxWidth")->Decimals(), 0);
  EXPECT_EQ(Control<TSpinEdit>(form, "RxWidth")->Increment(), 10.0);
  EXPECT_EQ(Control<TSpinEdit>(form, "RxHeight")->Increment(), 10.0);
  EXPECT_EQ(form.ImageWidth(), 0);
  EXPECT_EQ(form.ImageHeight(), 0);
  QStringList captions;
  for (QAction* a : Control<QMenu>(form, "Size1")->actions()) captions << a->text();
  EXPECT_EQ(captions, (QStringList{"120 by 90", "160 by 120", "320 by 240", "400 by 300", "640 by 480",
                                   "800 by 600", "1024 by 768"}));
}

TEST(SizeDialog, MenuEntryOnlyFillsTheEdits) {
  TXYSize form;
  QSignalSpy apply(&form, &TXYSize::applySize);
  Control<QAction>(form, "N640by4801")->trigger();
  EXPECT_EQ(form.ImageWidth(), 640);
  EXPECT_EQ(form.ImageHeight(), 480);
  Control<QAction>(form, "N120by801")->trigger();
  EXPECT_EQ(form.ImageWidth(), 120);
  EXPECT_EQ(form.ImageHeight(), 90);
  EXPECT_EQ(apply.count(), 0);
}

TEST(SizeDialog, ApplyHandsOnTheSizeInTheEdits) {
  TXYSize form;
  form.SetImageSize(400, 300);
  int width = -1, height = -1;
  QObject::connect(&form, &TXYSize::applySize, [&] {
    width = form.ImageWidth();
    height = form.ImageHeight();
  });
  QTest::keyClick(Control<TSpinEdit>(form, "RxWidth"), Qt::Key_Up);
  QTest::mouseClick(Control<QPushButton>(form, "CoolBtn1"), Qt::LeftButton);
  EXPECT_EQ(width, 410);
  EXPECT_EQ(height, 300);
}

TEST(SizeDialog, NonNumericWidthIsAppliedAsZero) {
  TXYSize form;
  form.SetImageSize(400, 300);
  Control<TSpinEdit>(form, "RxWidth")->findChild<QLineEdit*>()->setText(QStringLiteral("wide"));
  QSignalSpy apply(&form, &TXYSize::applySize);
  Control<QPushButton>(form, "CoolBtn1")->click();
  ASSERT_EQ(apply.count(), 1);
  EXPECT_EQ(form.ImageWidth(), 0);
  EXPECT_EQ(form.ImageHeight(), 300);
}

TEST(SizeDialog, WidthAndHeightHaveTheirCaptionsBesideThem) {
  TXYSize form;
  form.show();
  EXPECT_EQ(UncaptionedControls(form).join(QLatin1Char('\n')).toStdString(), "");
  ASSERT_NE(CaptionOf(Control<TSpinEdit>(form, "RxWidth")), nullptr);
  ASSERT_NE(CaptionOf(Control<TSpinEdit>(form, "RxHeight")), nullptr);
  EXPECT_EQ(CaptionOf(Control<TSpinEdit>(form, "RxWidth"))->text(), QStringLiteral("Width"));
  EXPECT_EQ(CaptionOf(Control<TSpinEdit>(form, "RxHeight"))->text(), QStringLiteral("Height"));
}

TEST(SizeDialog, EditsShowFiveDigitSizesWholeInAnyFontSize) {
  // A larger face must widen the edits with it: their width comes from the font, not from fixed pixels.
  for (const double scale : {1.0, 1.8}) {
    TXYSize form;
    QFont font = form.font();
    font.setPointSizeF(font.pointSizeF() * scale);
    form.setFont(font);
    form.show();
    for (TSpinEdit* edit : {Control<TSpinEdit>(form, "RxWidth"), Control<TSpinEdit>(form, "RxHeight")}) {
      QLineEdit* line = edit->findChild<QLineEdit*>();
      EXPECT_TRUE(ShowsWhole(line, QStringLiteral("99999"))) << scale;
      EXPECT_TRUE(ShowsWhole(line, QStringLiteral("-99999"))) << scale;
    }
  }
}
