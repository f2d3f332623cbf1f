#include "dialogs/params_dialog.h"

#include <gtest/gtest.h>

#include <utility>

#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "dialogs/layout_probe.h"
#include "document/first_show.h"
#include "dialogs/control.h"

namespace {

// One tick of ColorTimer as the event loop would deliver it: only while the timer runs.
void Tick(TForm4& form) {
  if (Control<QTimer>(form, "ColorTimer")->isActive()) form.ColorTimerTimer();
}

TFractalParams FirstShowRecord() {
  TFractalParams v;
  ApplyFirstShowDefaults(v, kFirstShowWidth, kFirstShowHeight);
  return v;
}

// Stands in for the frame: UpdateColors copies the dialog into whichever record is "active".
struct FakeFrame {
  TForm4& form;
  TFractalParams* active;
  int updates = 0;
  explicit FakeFrame(TForm4& f, TFractalParams* a) : form(f), active(a) {
    QObject::connect(&form, &TForm4::colorsChanged, [this] {
      ++updates;
      form.ApplyToRecord(*active);
    });
  }
};

}  // namespace

TEST(ParametersDialog, IsAStayOnTopToolWindowWithItsControls) {
  TForm4 form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Parameters"));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form.windowType(), Qt::Tool);
  EXPECT_EQ(Control<QSlider>(form, "Intensity")->maximum(), 64);
  EXPECT_EQ(Control<QSlider>(form, "RedBar1")->maximum(), 25);
  EXPECT_EQ(Control<QSlider>(form, "GrnBar1")->maximum(), 25);
  EXPECT_EQ(Control<QSlider>(form, "BluBar1")->maximum(), 25);
  EXPECT_EQ(Control<QSlider>(form, "Randomizer")->maximum(), 50);
  EXPECT_EQ(Control<QSlider>(form, "Probability")->maximum(), 50);
  for (QSlider* s : {Control<QSlider>(form, "Intensity"), Control<QSlider>(form, "RedBar1"),
                     Control<QSlider>(form, "GrnBar1"), Control<QSlider>(form, "BluBar1"),
                     Control<QSlider>(form, "Randomizer"), Control<QSlider>(form, "Probability")}) {
    EXPECT_EQ(s->minimum(), 0);
    EXPECT_EQ(s->value(), 0);
  }
  EXPECT_EQ(Control<QCheckBox>(form, "square_root")->text(), QStringLiteral("Square Root Filtering"));
  EXPECT_EQ(Control<QCheckBox>(form, "Invert")->text(), QStringLiteral("White"));
  EXPECT_EQ(Control<QCheckBox>(form, "Mira01")->text(), QStringLiteral("G-Mira / Martin"));
  EXPECT_EQ(Control<QCheckBox>(form, "AT_01")->text(), QStringLiteral("CIF 01"));
  EXPECT_EQ(Control<QCheckBox>(form, "AT_02")->text(), QStringLiteral("CIF 02"));
  EXPECT_EQ(Control<QCheckBox>(form, "IFS_01")->text(), QStringLiteral("IFS-01"));
  EXPECT_EQ(Control<QCheckBox>(form, "Latoocarfian02")->text(), QStringLiteral("Latoocarfian 02"));
  EXPECT_EQ(Control<QTimer>(form, "ColorTimer")->interval(), 250);
  EXPECT_FALSE(form.DebouncePending());
}

TEST(ParametersDialog, ContinuousMovementIsCopiedOnceAfterItStops) {
  TForm4 form;
  QSignalSpy spy(&form, &TForm4::colorsChanged);
  // Red from 0 to 25 in steps, one timer tick between steps: each change resets the tick count.
  for (int position = 5; position <= 25; position += 5) {
    Control<QSlider>(form, "RedBar1")->setValue(position);
    Tick(form);
    EXPECT_EQ(spy.count(), 0) << position;
  }
  Tick(form);
  EXPECT_EQ(spy.count(), 1);
  EXPECT_FALSE(form.DebouncePending());
  Tick(form);
  Tick(form);
  EXPECT_EQ(spy.count(), 1);
}

TEST(ParametersDialog, RealTimerCopiesOnceWithinTwoTicks) {
  TForm4 form;
  QSignalSpy spy(&form, &TForm4::colorsChanged);
  Control<QSlider>(form, "BluBar1")->setValue(3);
  Control<QSlider>(form, "BluBar1")->setValue(4);
  EXPECT_TRUE(form.DebouncePending());
  EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 5000));
  EXPECT_EQ(spy.count(), 1);
  EXPECT_FALSE(form.DebouncePending());
}

TEST(ParametersDialog, AChangeDoesNotRestartARunningInterval) {
  TForm4 form;
  Control<QSlider>(form, "RedBar1")->setValue(1);
  // Let part of the interval pass; no tick can come between the two readings below, as nothing
  // runs the event loop there.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Control<QTimer>(form, "ColorTimer")->remainingTime() <= 150; }, 5000));
  const int before = Control<QTimer>(form, "ColorTimer")->remainingTime();
  Control<QSlider>(form, "RedBar1")->setValue(2);
  EXPECT_LE(Control<QTimer>(form, "ColorTimer")->remainingTime(), before);
}

TEST(ParametersDialog, FirstShowRoundTripTurnsRedInto068AndBlueInto092) {
  TForm4 form;
  TFractalParams v = FirstShowRecord();
  FakeFrame frame(form, &v);
  form.FillFromRecord(v);
  EXPECT_EQ(Control<QSlider>(form, "RedBar1")->value(), 17);
  EXPECT_EQ(Control<QSlider>(form, "GrnBar1")->value(), 20);
  EXPECT_EQ(Control<QSlider>(form, "BluBar1")->value(), 23);
  EXPECT_EQ(Control<QSlider>(form, "Intensity")->value(), 30);
  EXPECT_EQ(Control<QSlider>(form, "Probability")->value(), 10);
  EXPECT_EQ(Control<QSlider>(form, "Randomizer")->value(), 10);
  EXPECT_EQ(Control<QLabel>(form, "RedLabel1")->text(), QStringLiteral("0.70"));
  EXPECT_EQ(Control<QLabel>(form, "GrnLabel1")->text(), QStringLiteral("0.80"));
  EXPECT_EQ(Control<QLabel>(form, "BluLabel1")->text(), QStringLiteral("0.90"));
  EXPECT_EQ(Control<QLabel>(form, "Factor1")->text(), QStringLiteral("30.00"));
  EXPECT_EQ(Control<QLabel>(form, "Factor2")->text(), QStringLiteral("0.10"));
  EXPECT_EQ(Control<QLabel>(form, "RandomFactor")->text(), QStringLiteral("2.00"));

  ASSERT_TRUE(form.DebouncePending());  // the sliders moved from 0
  Tick(form);
  Tick(form);
  EXPECT_EQ(frame.updates, 1);
  EXPECT_EQ(v.red, 0.68);
  EXPECT_EQ(v.green, 0.8);
  EXPECT_EQ(v.blue, 0.92);
  EXPECT_EQ(v.intensity, 30.0);
  EXPECT_EQ(v.probability, 0.1);
  EXPECT_EQ(v.randomizer, 2.0);
  EXPECT_EQ(Control<QLabel>(form, "RedLabel1")->text(), QStringLiteral("0.68"));
  EXPECT_EQ(Control<QLabel>(form, "BluLabel1")->text(), QStringLiteral("0.92"));
}

TEST(ParametersDialog, IntensityOf100ComesBackAs64) {
  TForm4 form;
  TFractalParams v = FirstShowRecord();
  v.intensity = 100;
  FakeFrame frame(form, &v);
  form.FillFromRecord(v);
  EXPECT_EQ(Control<QSlider>(form, "Intensity")->value(), 64);
  EXPECT_EQ(Control<QLabel>(form, "Factor1")->text(), QStringLiteral("100.00"));
  Tick(form);
  Tick(form);
  EXPECT_EQ(v.intensity, 64.0);
  EXPECT_EQ(Control<QLabel>(form, "Factor1")->text(), QStringLiteral("64.00"));
}

TEST(ParametersDialog, RandomizerAtFiftyGivesTen) {
  TForm4 form;
  TFractalParams v;
  FakeFrame frame(form, &v);
  Control<QSlider>(form, "Randomizer")->setValue(50);
  Tick(form);
  Tick(form);
  EXPECT_EQ(v.randomizer, 10.0);
  EXPECT_EQ(Control<QLabel>(form, "RandomFactor")->text(), QStringLiteral("10.00"));
}

TEST(ParametersDialog, ProgramSetBoxesStartNoDebounceButClicksDo) {
  TForm4 form;
  TFractalParams v;
  v.latoocarfian02 = true;
  v.bent = true;
  form.FillFromRecord(v);  // sliders stay at 0, so nothing moves them
  EXPECT_TRUE(Control<QCheckBox>(form, "Latoocarfian02")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(form, "Bent")->isChecked());
  EXPECT_FALSE(form.DebouncePending());

  QSignalSpy spy(&form, &TForm4::colorsChanged);
  Control<QCheckBox>(form, "Latoocarfian02")->click();
  EXPECT_TRUE(form.DebouncePending());
  Tick(form);
  Tick(form);
  EXPECT_EQ(spy.count(), 1);
}

TEST(ParametersDialog, FamilyBoxesAreIndependent) {
  TForm4 form;
  TFractalParams v;
  FakeFrame frame(form, &v);
  Control<QCheckBox>(form, "IFS_01")->click();
  Control<QCheckBox>(form, "Latoocarfian01")->click();
  Tick(form);
  Tick(form);
  EXPECT_TRUE(v.ifs01);
  EXPECT_TRUE(v.latoocarfian01);
  EXPECT_FALSE(v.latoocarfian02);
}

TEST(ParametersDialog, EditsReachTheRecordActiveWhenTheDebounceFires) {
  TForm4 form;
  TFractalParams first = FirstShowRecord(), second = FirstShowRecord();
  FakeFrame frame(form, &first);
  form.FillFromRecord(first);
  Tick(form);
  Tick(form);
  Control<QSlider>(form, "GrnBar1")->setValue(5);
  Tick(form);
  frame.active = &second;  // another window became active before the copy
  Tick(form);
  EXPECT_EQ(second.green, 0.2);
  EXPECT_EQ(second.red, 0.68);
  EXPECT_EQ(first.green, 0.8);
}

TEST(ParametersDialog, LabelsUseTheLocaleSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TForm4 form;
  form.FillFromRecord(FirstShowRecord());
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(Control<QLabel>(form, "RedLabel1")->text(), QStringLiteral("0,70"));
  EXPECT_EQ(Control<QLabel>(form, "Factor1")->text(), QStringLiteral("30,00"));
}

TEST(ParametersDialog, EverySliderHasItsCaptionBesideIt) {
  TForm4 form;
  form.FillFromRecord(FirstShowRecord());
  form.show();
  EXPECT_EQ(UncaptionedControls(form).join(QLatin1Char('\n')).toStdString(), "");
  const std::pair<QSlider*, const char*> captions[] = {
      {Control<QSlider>(form, "Intensity"), "Intensity"},   {Control<QSlider>(form, "RedBar1"), "Red"},
      {Control<QSlider>(form, "GrnBar1"), "Green"},         {Control<QSlider>(form, "BluBar1"), "Blue"},
      {Control<QSlider>(form, "Randomizer"), "Randomizer"}, {Control<QSlider>(form, "Probability"), "Probability"}};
  for (const auto& [slider, text] : captions) {
    const QLabel* caption = CaptionOf(slider);
    ASSERT_NE(caption, nullptr) << text;
    EXPECT_EQ(caption->text(), QString::fromLatin1(text));
  }
}

TEST(ParametersDialog, ProbabilityValueSitsBesideItsSliderNotBesideLinear) {
  TForm4 form;
  form.FillFromRecord(FirstShowRecord());
  form.show();
  ASSERT_TRUE(OnSameRow(Control<QCheckBox>(form, "None"),
                        Control<QSlider>(form, "Probability")));  // "None" with the slider beside it
  EXPECT_TRUE(OnSameRow(Control<QLabel>(form, "Factor2"), Control<QSlider>(form, "Probability")));
  EXPECT_FALSE(OnSameRow(Control<QLabel>(form, "Factor2"), Control<QCheckBox>(form, "Linear")));
  EXPECT_EQ(ControlLeftOf(Control<QLabel>(form, "Factor2")), Control<QSlider>(form, "Probability"));
  EXPECT_TRUE(Beside(Control<QLabel>(form, "ProbabilityCaption"), Control<QSlider>(form, "Probability")));
  // Its value and caption stand in the columns of the sliders above, so the row reads like theirs.
  const auto right = [](const QWidget* w) { return w->mapTo(w->window(), QPoint(w->width(), 0)).x(); };
  const auto left = [](const QWidget* w) { return w->mapTo(w->window(), QPoint(0, 0)).x(); };
  EXPECT_EQ(right(Control<QLabel>(form, "Factor2")), right(Control<QLabel>(form, "RandomFactor")));
  EXPECT_EQ(left(Control<QLabel>(form, "ProbabilityCaption")), left(CaptionOf(Control<QSlider>(form, "Randomizer"))));
}
