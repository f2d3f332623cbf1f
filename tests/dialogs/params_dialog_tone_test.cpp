// The Parameters dialog's "Log density" box and its brightness and gamma sliders: they carry the record's tone both
// ways, act only while the box is on, and a new window's record moves none of them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QSlider>

#include "dialogs/control.h"
#include "dialogs/params_dialog.h"
#include "engine/tone.h"
#include "dialogs/control.h"

TEST(ParametersDialogTone, TheToneGoesFromRecordToDialogAndBack) {
  TForm4 form;
  TFractalParams v;
  form.FillFromRecord(v);
  EXPECT_FALSE(form.DebouncePending());  // the defaults are where the sliders start
  EXPECT_FALSE(Control<QCheckBox>(form, "LogDensity")->isChecked());
  EXPECT_FALSE(Control<QSlider>(form, "ToneBrightness")->isEnabled());
  EXPECT_EQ(Control<QLabel>(form, "BrightnessLabel")->text(), QStringLiteral("1.00"));

  v.logDensity = true;
  v.toneBrightness = 2.5;
  v.toneGamma = 1.5;
  form.FillFromRecord(v);
  EXPECT_TRUE(Control<QCheckBox>(form, "LogDensity")->isChecked());
  EXPECT_TRUE(Control<QSlider>(form, "ToneBrightness")->isEnabled());
  EXPECT_TRUE(Control<QSlider>(form, "ToneGamma")->isEnabled());
  EXPECT_EQ(Control<QSlider>(form, "ToneBrightness")->value(), 250);
  EXPECT_EQ(Control<QLabel>(form, "ToneGammaLabel")->text(), QStringLiteral("1.50"));

  TFractalParams back;
  Control<QSlider>(form, "ToneGamma")->setValue(400);
  form.ApplyToRecord(back);
  EXPECT_TRUE(back.logDensity);
  EXPECT_EQ(back.toneBrightness, 2.5);
  EXPECT_EQ(back.toneGamma, 4.0);
  EXPECT_EQ(Control<QLabel>(form, "ToneGammaLabel")->text(), QStringLiteral("4.00"));

  // A file's brightness beyond the slider lands on its end; out of range below lands on its start.
  v.toneBrightness = 80;
  v.toneGamma = 0.01;
  form.FillFromRecord(v);
  EXPECT_EQ(Control<QSlider>(form, "ToneBrightness")->value(), Control<QSlider>(form, "ToneBrightness")->maximum());
  EXPECT_EQ(Control<QSlider>(form, "ToneGamma")->value(), Control<QSlider>(form, "ToneGamma")->minimum());
  Control<QCheckBox>(form, "LogDensity")->click();
  EXPECT_FALSE(Control<QSlider>(form, "ToneBrightness")->isEnabled());
  EXPECT_TRUE(form.DebouncePending());
}
