#include "windows/image_size.h"

#include <gtest/gtest.h>

TEST(ImageSize, AcceptsSidesFromOneTo8192) {
  EXPECT_FALSE(CheckImageSize(1, 1).has_value());
  EXPECT_FALSE(CheckImageSize(8192, 8192).has_value());
  EXPECT_FALSE(CheckImageSize(400, 300).has_value());
}

TEST(ImageSize, RefusesZeroNegativeAndHugeSidesWithAMessageNamingTheSize) {
  for (auto [w, h] : {std::pair{0, 300}, {400, 0}, {-5, 300}, {400, -1}, {8193, 10}, {10, 100000}}) {
    const auto message = CheckImageSize(w, h);
    ASSERT_TRUE(message.has_value()) << w << " x " << h;
    EXPECT_TRUE(message->contains(QStringLiteral("%1 by %2").arg(w).arg(h))) << message->toStdString();
    EXPECT_TRUE(message->contains(QStringLiteral("8192"))) << message->toStdString();
  }
}

TEST(ImageSize, HitListsAreSquareOnTheLongerSide) {
  const THitLists portrait = CreateTList(300, 400);
  EXPECT_EQ(portrait.red->size(), 160000u);
  EXPECT_EQ(portrait.green->size(), 160000u);
  EXPECT_EQ(portrait.blue->size(), 160000u);
  const THitLists large = CreateTList(1024, 768);
  EXPECT_EQ(large.red->size(), 1048576u);
  EXPECT_EQ(std::count(large.blue->begin(), large.blue->end(), 0), 1048576);
}

TEST(ImageSize, MenuOffersSevenSizesFromSmallestToLargest) {
  ASSERT_EQ(kMenuSizes.size(), 7u);
  EXPECT_STREQ(kMenuSizes.front().caption, "120 by 90");
  EXPECT_EQ(kMenuSizes[3].width, 400);
  EXPECT_EQ(kMenuSizes[3].height, 300);
  EXPECT_EQ(kMenuSizes.back().width, 1024);
  EXPECT_EQ(kMenuSizes.back().height, 768);
}

TEST(ImageSize, WindowFitsAroundAPictureSmallerThanTheFrameOrFillsTheFrameLessAMargin) {
  EXPECT_EQ(FitClientSize(644, 304, QSize(800, 600)), QSize(664, 344));
  EXPECT_EQ(FitClientSize(800, 600, QSize(800, 600)), QSize(750, 530));
  EXPECT_EQ(FitClientSize(799, 900, QSize(800, 600)), QSize(819, 530));
}
