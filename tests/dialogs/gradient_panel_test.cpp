// The Parameters dialog's gradient colouring: filling it from a record and applying it changes nothing, a choice
// in the chooser reaches the record through the dialog's debounce, and a record's own gradient is offered too.
#include "dialogs/control.h"
#include "dialogs/gradient_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "dialogs/params_dialog.h"
#include "dialogs/control.h"

TEST(GradientPanel, FillingAndApplyingARecordChangesNothingEvenForValuesTheSpinBoxesRound) {
  TFractalParams v;
  v.colouring = TColouring::Gradient;
  v.gradient = BuiltInGradientRef("ocean");
  v.gradientView.offset = 2.3456789;
  v.vibrancy = 0.123456;
  v.colourPositions = {0.1111111, 0.5, 0.987654};
  TGradientPanel panel;
  QSignalSpy changes(&panel, &TGradientPanel::changed);
  panel.FillFromRecord(v);
  EXPECT_EQ(changes.count(), 0) << "filling is not the user's change";
  EXPECT_EQ(Control<QComboBox>(panel, "GradientChooser")->currentText(), QStringLiteral("ocean"));
  TFractalParams back = v;
  panel.ApplyToRecord(back);
  EXPECT_TRUE(back == v);
}

TEST(GradientPanel, AChoiceReachesTheRecordThroughTheDialogsDebounce) {
  TForm4 form;
  TFractalParams v;
  form.FillFromRecord(v);
  EXPECT_FALSE(Control<QSlider>(form, "ToneGamma")->isEnabled());
  QTest::mouseClick(Control<QCheckBox>(form, "GradientColouring"), Qt::LeftButton);
  EXPECT_TRUE(Control<QSlider>(form, "ToneGamma")->isEnabled()) << "the gradient colouring paints by log density";
  Control<QComboBox>(form, "GradientChooser")->setCurrentText(QStringLiteral("viridis"));
  Control<QDoubleSpinBox>(form, "ColourPosition2")->setValue(0.25);
  EXPECT_TRUE(form.DebouncePending());
  form.ApplyToRecord(v);
  EXPECT_EQ(v.colouring, TColouring::Gradient);
  EXPECT_EQ(v.gradient.gradient.get(), FindBuiltInGradient("viridis"));
  EXPECT_EQ(v.colourPositions[1], 0.25);
  EXPECT_EQ(v.colourPositions[0], kDefaultColourPositions[0]);
}

TEST(GradientPanel, ARecordsOwnGradientIsOfferedAfterTheBuiltInsAndKept) {
  auto own = std::make_shared<TGradient>();
  own->name = "imported";
  own->colours = {{0, 0, 0}, {255, 0, 0}};
  TFractalParams v;
  v.gradient = {own};
  TGradientPanel panel;
  panel.FillFromRecord(v);
  EXPECT_EQ(Control<QComboBox>(panel, "GradientChooser")->count(), static_cast<int>(BuiltInGradients().size()) + 1);
  EXPECT_EQ(Control<QComboBox>(panel, "GradientChooser")->currentText(), QStringLiteral("imported"));
  TFractalParams back;
  panel.ApplyToRecord(back);
  EXPECT_EQ(back.gradient.Get(), *own);
  // Another record without one takes it out again.
  panel.FillFromRecord(TFractalParams{});
  EXPECT_EQ(Control<QComboBox>(panel, "GradientChooser")->count(), static_cast<int>(BuiltInGradients().size()));
  EXPECT_EQ(Control<QComboBox>(panel, "GradientChooser")->currentText(), QString::fromLatin1(kDefaultGradientName));
}
