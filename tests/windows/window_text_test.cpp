#include "windows/window_text.h"

#include <gtest/gtest.h>

#include "window_test_support.h"

TEST(WindowText, ProgressCaptionPutsPlainDigitsAfterEachFixedNumber) {
  TFractalDocument d;
  TDocumentRecord& v = d.Params();
  v.ticks = 7;
  v.iterations = 123456789012LL;
  v.lyapunov = 0.5;
  v.plotX = -1.25;
  v.plotY = 3.14159;
  EXPECT_EQ(FormatProgressCaption(d.Progress(), QStringLiteral(".")),
            QStringLiteral("7    123456789012    0.503    -1.254    3.144"));
}

TEST(WindowText, ProgressCaptionUsesTheGivenDecimalSeparator) {
  TProgressFigures p;
  p.lyapunov = 0.126;
  EXPECT_EQ(FormatProgressCaption(p, QStringLiteral(",")), QStringLiteral("0    0    0,133    0,004    0,004"));
}

TEST(WindowText, ReadoutHasTwelveDecimals) {
  EXPECT_EQ(FormatReadout("M=", 0.23, QStringLiteral(".")), QStringLiteral("M=0.230000000000"));
  EXPECT_EQ(FormatReadout("cx=", -10.5, QStringLiteral(",")), QStringLiteral("cx=-10,500000000000"));
}
