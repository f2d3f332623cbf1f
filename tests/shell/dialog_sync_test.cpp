// The tool dialogs working with the fractal windows through the real frame: the debounced copy into the
// record, the round trips of values between record and controls, the dialogs following the active window,
// edits during a pass, Rand refilling the coefficients, the size dialog and the About box.
#include <gtest/gtest.h>

#include <utility>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "dialogs/about_box.h"
#include "dialogs/coefficients_dialog.h"
#include "dialogs/dialog_conversions.h"
#include "dialogs/params_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/spin_edit.h"
#include "dialogs/tool_window.h"
#include "image/pixel_graphic.h"
#include "shell/main_form.h"
#include "shell_test_support.h"
#include "services/services.h"
#include "windows/child_probe.h"

namespace {

QString Shown(double value, int decimals) {
  return QString::fromStdString(FormatFixed(value, decimals, LocaleDecimalSeparator()));
}

class DialogSync : public FrameTest {
 protected:
  // Both debounces have run out, so every value the dialogs were given is back in the active record.
  bool Settle() {
    return WaitUntil([this] {
      return !Control<TForm4>(*frame, "Form4")->DebouncePending() &&
             !Control<TCForm>(*frame, "CForm")->DebouncePending();
    });
  }
};

TEST_F(DialogSync, FirstShowRoundTripMovesRedAndBlueOntoTheSliderSteps) {
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  TForm4& p = *Control<TForm4>(*frame, "Form4");
  EXPECT_EQ(Control<QSlider>(p, "RedBar1")->value(), 17);
  EXPECT_EQ(Control<QSlider>(p, "GrnBar1")->value(), 20);
  EXPECT_EQ(Control<QSlider>(p, "BluBar1")->value(), 23);
  EXPECT_EQ(Control<QLabel>(p, "RedLabel1")->text(), Shown(0.70, 2));
  EXPECT_EQ(Control<QSlider>(p, "Intensity")->value(), 30);
  EXPECT_EQ(Control<QSlider>(p, "Probability")->value(), 10);
  EXPECT_EQ(Control<QSlider>(p, "Randomizer")->value(), 10);
  EXPECT_EQ(Control<QLabel>(p, "RandomFactor")->text(), Shown(2.0, 2));
  // Not yet: the copy waits for the debounce.
  EXPECT_EQ(w->Params().red, 0.7);

  ASSERT_TRUE(Settle());
  EXPECT_EQ(w->Params().red, 0.68);
  EXPECT_EQ(w->Params().green, 0.8);
  EXPECT_EQ(w->Params().blue, 0.92);
  EXPECT_EQ(w->Params().intensity, 30.0);
  EXPECT_EQ(w->Params().probability, 0.1);
  EXPECT_EQ(w->Params().randomizer, 2.0);
  EXPECT_EQ(Control<QLabel>(p, "RedLabel1")->text(), Shown(0.68, 2));
  EXPECT_EQ(Control<QLabel>(p, "BluLabel1")->text(), Shown(0.92, 2));
  EXPECT_TRUE(w->Params().none);
}

TEST_F(DialogSync, MovingASliderCopiesOnceAfterTheMovementStops) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  int copies = 0;
  QObject::connect(Control<TForm4>(*frame, "Form4"), &TForm4::colorsChanged, [&] { ++copies; });
  const double before = w->Params().red;
  // Well inside one debounce tick between moves.
  for (int position = 18; position <= 25; ++position) {
    Control<QSlider>(*frame, "RedBar1")->setValue(position);
    QTest::qWait(40);
  }
  EXPECT_EQ(copies, 0);
  EXPECT_EQ(w->Params().red, before);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(copies, 1);
  EXPECT_EQ(w->Params().red, 1.0);
  EXPECT_EQ(Control<QLabel>(*frame, "RedLabel1")->text(), Shown(1.0, 2));
}

TEST_F(DialogSync, ValuesBetweenStepsComeBackOnTheSteps) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  // As a parameter file could leave them.
  TMDIChildProbe::Record(*w).randomizer = 1.3;
  TMDIChildProbe::Record(*w).intensity = 100;
  TMDIChildProbe::Record(*w).af[1] = 0.1234567891234;
  TMDIChildProbe::Record(*w).af[18] = -2.5;
  Control<QAction>(*frame, "ApplyButton")->trigger();  // no family selected: the pass fills the dialogs and returns
  EXPECT_EQ(Control<QSlider>(*frame, "Randomizer")->value(), 7);
  EXPECT_EQ(Control<QSlider>(*frame, "Intensity")->value(), 64);
  EXPECT_EQ(CoefficientEdit(*frame, 1)->text(), Shown(0.123456789, 9));
  EXPECT_EQ(CoefficientEdit(*frame, 18)->text(), Shown(-2.5, 9));

  ASSERT_TRUE(Settle());
  EXPECT_EQ(w->Params().randomizer, 1.4);
  EXPECT_EQ(w->Params().intensity, 64.0);
  EXPECT_EQ(w->Params().af[1], 0.123456789);
  EXPECT_EQ(w->Params().af[18], -2.5);
  EXPECT_EQ(Control<QLabel>(*frame, "RandomFactor")->text(), Shown(1.4, 2));
  EXPECT_EQ(Control<QLabel>(*frame, "Factor1")->text(), Shown(64.0, 2));
}

TEST_F(DialogSync, TypedCoefficientsReachTheActiveRecord) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  TSpinEdit* a01 = CoefficientEdit(*frame, 1);
  a01->SetValue(0.5);
  for (int i = 0; i < 3; ++i) a01->stepBy(1);
  CoefficientEdit(*frame, 18)->findChild<QLineEdit*>()->setText(QStringLiteral("abc"));
  TMDIChildProbe::Record(*w).af[18] = 7.0;
  ASSERT_TRUE(Settle());
  EXPECT_EQ(a01->text(), Shown(0.65, 9));
  EXPECT_EQ(w->Params().af[1], 0.65);
  EXPECT_EQ(w->Params().af[18], 0.0);
}

TEST_F(DialogSync, ParamsAndConstToggleTheDialogsFilledFromTheActiveWindow) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  TMDIChildProbe::Record(*w).green = 0.4;
  TMDIChildProbe::Record(*w).af[2] = 1.5;
  EXPECT_FALSE(Control<TForm4>(*frame, "Form4")->isVisible());
  Control<QAction>(*frame, "CoolSpeedButton5")->trigger();
  EXPECT_TRUE(Control<TForm4>(*frame, "Form4")->isVisible());
  EXPECT_EQ(Control<QSlider>(*frame, "GrnBar1")->value(), 10);
  Control<QAction>(*frame, "CoolSpeedButton5")->trigger();
  EXPECT_FALSE(Control<TForm4>(*frame, "Form4")->isVisible());

  Control<QAction>(*frame, "CButton")->trigger();
  EXPECT_TRUE(Control<TCForm>(*frame, "CForm")->isVisible());
  EXPECT_EQ(CoefficientEdit(*frame, 2)->text(), Shown(1.5, 9));
  // The window's own "Constants Dialog" entry is the same toggle.
  w->Menus().ConstantsDialog1->trigger();
  EXPECT_FALSE(Control<TCForm>(*frame, "CForm")->isVisible());
  w->Menus().ConstantsDialog1->trigger();
  EXPECT_TRUE(Control<TCForm>(*frame, "CForm")->isVisible());
}

TEST_F(DialogSync, TheDialogsFollowTheActiveWindow) {
  TMDIChild* first = FirstWindow();
  ASSERT_TRUE(Settle());
  TMDIChildProbe::Record(*first).red = 0.4;
  TMDIChildProbe::Record(*first).af[3] = 0.75;
  TMDIChild* second = NewWindow();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(Control<QSlider>(*frame, "RedBar1")->value(), 17);

  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(first);
  EXPECT_EQ(Control<QSlider>(*frame, "RedBar1")->value(), 10);
  EXPECT_EQ(CoefficientEdit(*frame, 3)->text(), Shown(0.75, 9));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(first->Params().red, 0.4);

  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(second);
  EXPECT_EQ(Control<QSlider>(*frame, "RedBar1")->value(), 17);
  // A change goes into the window active now, and only into it.
  Control<QSlider>(*frame, "RedBar1")->setValue(5);
  Control<QCheckBox>(*frame, "Invert")->click();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(second->Params().red, 0.2);
  EXPECT_TRUE(second->Params().invert);
  EXPECT_EQ(first->Params().red, 0.4);
  EXPECT_FALSE(first->Params().invert);

  // A pass of the window in the background leaves the dialogs to the active one; otherwise its values would
  // flow into the active window with the next debounce.
  first->UpdateGrafX();
  EXPECT_EQ(Control<QSlider>(*frame, "RedBar1")->value(), 5);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(second->Params().red, 0.2);
}

TEST_F(DialogSync, EditsStillWaitingForTheDebounceAreKeptByTheNextPass) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  // Typed, then Apply at once: the pass fills the dialogs, which must not undo the edits.
  CoefficientEdit(*frame, 4)->SetValue(0.3);
  Control<QSlider>(*frame, "RedBar1")->setValue(5);
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_EQ(w->Params().af[4], 0.3);
  EXPECT_EQ(w->Params().red, 0.2);
  EXPECT_EQ(CoefficientEdit(*frame, 4)->text(), Shown(0.3, 9));
  EXPECT_EQ(Control<QSlider>(*frame, "RedBar1")->value(), 5);

  // Edits made for one window go into it when another one is activated before the debounce.
  TMDIChild* second = NewWindow();
  ASSERT_TRUE(Settle());
  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(w);
  ASSERT_TRUE(Settle());
  Control<QSlider>(*frame, "BluBar1")->setValue(1);
  Control<QMdiArea>(*frame, "MdiArea")->setActiveSubWindow(second);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(w->Params().blue, 0.04);
  EXPECT_EQ(second->Params().blue, 0.92);
  EXPECT_EQ(Control<QSlider>(*frame, "BluBar1")->value(), 23);
}

TEST_F(DialogSync, EditsReachTheRecordWhileAPassDraws) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  TMDIChildProbe::Record(*w).mira0101 = true;
  bool reachedWhileDrawing = false;
  When([w] { return Drawing(*w); },
       [&, this] {
         Control<QSlider>(*frame, "BluBar1")->setValue(2);
         Control<QCheckBox>(*frame, "square_root")->click();
         When([w] { return w->Params().blue == 0.08 && w->Params().sqrtFilter; },
              [&, this] {
                reachedWhileDrawing = w->PassDepth() == 1 && !w->Params().abort;
                Control<QAction>(*frame, "AbortButton")->trigger();
              },
              StopAll());
       },
       StopAll());
  Control<QAction>(*frame, "ApplyButton")->trigger();
  EXPECT_TRUE(reachedWhileDrawing);
  EXPECT_EQ(w->PassDepth(), 0);
}

TEST_F(DialogSync, RandRefillsTheCoefficientEditsAndTheyComeBackRounded) {
  TMDIChild* w = FirstWindow();
  ASSERT_TRUE(Settle());
  TMDIChildProbe::Record(*w).mira0101 = true;
  const TCoefficients before = w->Params().af;
  bool shownAtOnce = false;
  bool cameBack = false;
  auto editsMatch = [&](const std::function<bool(int)>& same) {
    for (int k = 1; k <= kDialogCoefficientCount; ++k)
      if (!same(k)) return false;
    return true;
  };
  When([w] { return Drawing(*w); },
       [&, this] {
         shownAtOnce = w->Params().af != before && editsMatch([&](int k) {
                         return CoefficientEdit(*frame, k)->text() == Shown(w->Params().af[k], 9);
                       });
         // Once the debounce has run, the record holds exactly what the edits show: nine decimals.
         When(
             [&, this] {
               return !Control<TCForm>(*frame, "CForm")->DebouncePending() &&
                      editsMatch([&](int k) { return w->Params().af[k] == CoefficientEdit(*frame, k)->Value(); });
             },
             [&, this] {
               cameBack = w->PassDepth() == 1;
               Control<QAction>(*frame, "AbortButton")->trigger();
             },
             StopAll());
       },
       StopAll());
  Control<QAction>(*frame, "CoolSpeedButton1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return cameBack && w->PassDepth() == 0; }));
  EXPECT_TRUE(shownAtOnce);
  EXPECT_EQ(frame->Children().size(), 1);
}

TEST_F(DialogSync, DialogCommandsAreEnabledOnlyWithAWindow) {
  EXPECT_FALSE(Control<QAction>(*frame, "CoolSpeedButton5")->isEnabled());
  EXPECT_FALSE(Control<QAction>(*frame, "CButton")->isEnabled());
  EXPECT_FALSE(Control<TXYSize>(*frame, "XYSize")->isEnabled());
  EXPECT_TRUE(Control<QAction>(*frame, "HelpAboutItem")->isEnabled());
  TMDIChild* w = FirstWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(Control<QAction>(*frame, "CoolSpeedButton5")->isEnabled());
  EXPECT_TRUE(Control<QAction>(*frame, "CButton")->isEnabled());
  EXPECT_TRUE(Control<TXYSize>(*frame, "XYSize")->isEnabled());
  EXPECT_TRUE(w->Menus().CustomSize1->isEnabled());
  EXPECT_TRUE(w->Menus().ConstantsDialog1->isEnabled());
}

TEST_F(DialogSync, CustomSizeShowsTheWindowSizeAndApplyResizesTheWindow) {
  TMDIChild* w = FirstWindow();
  TXYSize& size = *Control<TXYSize>(*frame, "XYSize");
  w->Menus().sizeItems[0]->trigger();  // "120 by 90" also writes the dialog's edits
  EXPECT_EQ(size.ImageWidth(), 120);
  EXPECT_EQ(size.ImageHeight(), 90);
  size.SetImageSize(1, 1);

  w->Menus().CustomSize1->trigger();
  EXPECT_TRUE(size.isVisible());
  EXPECT_EQ(size.ImageWidth(), 120);
  EXPECT_EQ(size.ImageHeight(), 90);

  Control<QAction>(size, "N640by4801")->trigger();
  EXPECT_EQ(size.ImageWidth(), 640);
  EXPECT_EQ(w->Params().imageWidth, 120);
  // New random coefficients do not touch the size the user is about to apply.
  frame->ParametersUpdate();
  EXPECT_EQ(size.ImageWidth(), 640);

  Control<QPushButton>(size, "CoolBtn1")->click();
  EXPECT_EQ(w->Params().imageWidth, 640);
  EXPECT_EQ(w->Params().imageHeight, 480);
  EXPECT_EQ(w->Params().plotWidth, 640);
  EXPECT_EQ(w->Params().image->Width(), 640);
  EXPECT_EQ(w->Params().image->Height(), 480);

  // A width that is no number reads as 0, which the window refuses with a message and no change.
  Control<TSpinEdit>(size, "RxWidth")->findChild<QLineEdit*>()->setText(QStringLiteral("wide"));
  Control<QPushButton>(size, "CoolBtn1")->click();
  EXPECT_EQ(RecordedMessages().size(), 1);
  EXPECT_EQ(w->Params().imageWidth, 640);

  w->Menus().CustomSize1->trigger();
  EXPECT_FALSE(size.isVisible());
}

TEST_F(DialogSync, AboutShowsTheBoxModallyAndItsButtonClosesIt) {
  QDialog* shown = nullptr;
  bool closedByButton = false;
  const TModalRunner previous = std::exchange(TestServices().modalRunner, [&](QDialog& dialog) {
    shown = &dialog;
    dialog.show();
    Control<QPushButton>(*Control<TAboutBox>(*frame, "AboutBox"), "OKButton")->click();
    closedByButton = !dialog.isVisible();
    return dialog.result();
  });
  Control<QAction>(*frame, "HelpAboutItem")->trigger();
  TestServices().modalRunner = previous;
  EXPECT_EQ(shown, Control<TAboutBox>(*frame, "AboutBox"));
  EXPECT_TRUE(closedByButton);
  EXPECT_EQ(Control<QPushButton>(*Control<TAboutBox>(*frame, "AboutBox"), "OKButton")->text(),
            QStringLiteral("Ovel IFS"));
  EXPECT_TRUE(TAboutBox::CreditsText().contains(QStringLiteral("0.005")));
}

}  // namespace
