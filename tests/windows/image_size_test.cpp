#include "windows/image_size.h"

#include <gtest/gtest.h>

TEST(ImageSize, WindowFitsAroundAPictureSmallerThanTheFrameOrFillsTheFrameLessAMargin) {
  EXPECT_EQ(FitClientSize(644, 304, QSize(800, 600)), QSize(664, 344));
  EXPECT_EQ(FitClientSize(800, 600, QSize(800, 600)), QSize(750, 530));
  EXPECT_EQ(FitClientSize(799, 900, QSize(800, 600)), QSize(819, 530));
}
