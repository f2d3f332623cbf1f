#include "dialogs/about_box.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "ovel_version.h"
#include "dialogs/control.h"

TEST(AboutBox, CreditsNameTheProgramVersionAndTheAuthorsOfItsMaps) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
  EXPECT_TRUE(box.windowFlags().testFlag(Qt::FramelessWindowHint));
  const QString nameAndVersion = QStringLiteral("Ovel IFS ") + QLatin1String(kOvelVersion);
  const QString credits = Control<QPlainTextEdit>(box, "Credits")->toPlainText();
  EXPECT_TRUE(credits.startsWith(nameAndVersion));
  for (const char* name : {"Gumowski", "Mira", "Martin", "Pickover", "Latoocarfian", "flame", "Lyapunov"}) {
    EXPECT_TRUE(credits.contains(QLatin1String(name))) << name;
  }
  EXPECT_TRUE(Control<QPlainTextEdit>(box, "Credits")->isReadOnly());
  EXPECT_TRUE(Control<TScrollingText>(box, "ScrollLine")->Text().contains(nameAndVersion));
  EXPECT_EQ(Control<QPushButton>(box, "OKButton")->text(), QStringLiteral("Ovel IFS"));
}

TEST(AboutBox, ButtonClosesTheModalBox) {
  TAboutBox box;
  QTimer::singleShot(0, &box, [&] {
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(Control<QTimer>(box, "ScrollTimer")->isActive());
    Control<QPushButton>(box, "OKButton")->click();
  });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  EXPECT_FALSE(box.isVisible());
  EXPECT_FALSE(Control<QTimer>(box, "ScrollTimer")->isActive());
}

TEST(AboutBox, ScrollingLineMovesAndComesBackAround) {
  TAboutBox box;
  box.show();
  TScrollingText* line = Control<TScrollingText>(box, "ScrollLine");
  const int start = line->Offset();
  line->Step();
  EXPECT_GT(line->Offset(), start);
  int steps = 0;
  while (line->Offset() != 0 && steps < 100000) {
    line->Step();
    ++steps;
  }
  EXPECT_EQ(line->Offset(), 0);
  EXPECT_LT(steps, 100000);
}
