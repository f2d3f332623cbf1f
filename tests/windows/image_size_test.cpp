#include "windows/image_size.h"

#include <gtest/gtest.h>

TEST(ImageSize, WindowFitsAroundAPictureSmallerThanTheFrameOrFillsTheFrameLessAMargin) {
  EXPECT_EQ(FitClientSize(644, 304, QSize(800, 600)), QSize(664, 344));
  EXPECT_EQ(FitClientSize(800, 600, QSize(800, 600)), QSize(750, 530));
  EXPECT_EQ(FitClientSize(799, 900, QSize(800, 600)), QSize(819, 530));
}

TEST(ImageSize, AWindowIsKeptInsideItsAreaSmallerAndMovedBackWhereItSticksOut) {
  const QSize area(560, 460);
  EXPECT_EQ(KeepInside(QRect(10, 20, 300, 200), area), QRect(10, 20, 300, 200));
  EXPECT_EQ(KeepInside(QRect(400, 300, 300, 200), area), QRect(260, 260, 300, 200));
  EXPECT_EQ(KeepInside(QRect(120, 80, 1100, 900), area), QRect(0, 0, 560, 460));
  EXPECT_EQ(KeepInside(QRect(-40, -5, 100, 100), area), QRect(0, 0, 100, 100));
  EXPECT_EQ(KeepInside(QRect(5, 5, 100, 100), QSize()), QRect(5, 5, 100, 100));
}
