#include "document/picture_size.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

TEST(PictureSize, AcceptsSidesFromOneTo8192) {
  EXPECT_FALSE(CheckImageSize(1, 1).has_value());
  EXPECT_FALSE(CheckImageSize(8192, 8192).has_value());
  EXPECT_FALSE(CheckImageSize(400, 300).has_value());
}

TEST(PictureSize, RefusesZeroNegativeAndHugeSidesWithAMessageNamingTheSize) {
  for (auto [w, h] : {std::pair{0, 300}, {400, 0}, {-5, 300}, {400, -1}, {8193, 10}, {10, 100000}}) {
    const auto message = CheckImageSize(w, h);
    ASSERT_TRUE(message.has_value()) << w << " x " << h;
    EXPECT_NE(message->find(std::to_string(w) + " by " + std::to_string(h)), std::string::npos) << *message;
    EXPECT_NE(message->find("8192"), std::string::npos) << *message;
  }
  EXPECT_EQ(*CheckImageSize(0, 300),
            "The picture size 0 by 300 cannot be used: width and height must each be from 1 to 8192 pixels. "
            "The picture was left as it was.");
}

TEST(PictureSize, HitListsAreSquareOnTheLongerSide) {
  const THitLists portrait = CreateTList(300, 400);
  EXPECT_EQ(portrait.red->size(), 160000u);
  EXPECT_EQ(portrait.green->size(), 160000u);
  EXPECT_EQ(portrait.blue->size(), 160000u);
  const THitLists large = CreateTList(1024, 768);
  EXPECT_EQ(large.red->size(), 1048576u);
  EXPECT_EQ(std::count(large.blue->begin(), large.blue->end(), 0), 1048576);
}

TEST(PictureSize, MenuOffersSevenSizesFromSmallestToLargest) {
  ASSERT_EQ(kMenuSizes.size(), 7u);
  EXPECT_STREQ(kMenuSizes.front().caption, "120 by 90");
  EXPECT_EQ(kMenuSizes[3].width, 400);
  EXPECT_EQ(kMenuSizes[3].height, 300);
  EXPECT_EQ(kMenuSizes.back().width, 1024);
  EXPECT_EQ(kMenuSizes.back().height, 768);
}
