#include "dialogs/about_box.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "ovel_version.h"

TEST(AboutBox, CreditsNameTheProgramVersionAndTheAuthorsOfItsMaps) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
  EXPECT_TRUE(box.windowFlags().testFlag(Qt::FramelessWindowHint));
  const QString nameAndVersion = QStringLiteral("Ovel IFS ") + QLatin1String(kOvelVersion);
  const QString credits = box.Credits->toPlainText();
  EXPECT_TRUE(credits.startsWith(nameAndVersion));
  for (const char* name : {"Gumowski", "Mira", "Martin", "Pickover", "Latoocarfian", "flame", "Lyapunov"}) {
    EXPECT_TRUE(credits.contains(QLatin1String(name))) << name;
  }
  EXPECT_TRUE(box.Credits->isReadOnly());
  EXPECT_TRUE(box.ScrollLine->Text().contains(nameAndVersion));
  EXPECT_EQ(box.OKButton->text(), QStringLiteral("Ovel IFS"));
}

TEST(AboutBox, ButtonClosesTheModalBox) {
  TAboutBox box;
  QTimer::singleShot(0, &box, [&] {
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(box.ScrollLine->ScrollTimer->isActive());
    box.OKButton->click();
  });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  EXPECT_FALSE(box.isVisible());
  EXPECT_FALSE(box.ScrollLine->ScrollTimer->isActive());
}

TEST(AboutBox, ScrollingLineMovesAndComesBackAround) {
  TAboutBox box;
  box.show();
  TScrollingText* line = box.ScrollLine;
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
