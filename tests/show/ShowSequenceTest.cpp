#include <gtest/gtest.h>

#include "core/show/ShowSequence.h"

namespace lumafolio {
namespace {

class ShowSequenceTest : public ::testing::Test {
 protected:
  void Fill(int count) {
    for (int i = 1; i <= count; ++i) {
      FilmItem item;
      item.mediaFile = std::to_string(i * 1000);
      item.transitionEffect = i;
      film_.AddItem(item);
    }
  }
  int After(int position, bool loop) {
    FilmItem current = position == 0 ? BeforeFirstItem() : film_.GetItem(position);
    const auto next = ItemToShowAfter(film_, current, loop);
    return next ? next->position : -1;
  }
  // Where Page Up on `position` leads: the item the following step brings on, or -1 (ignored).
  int Back(int position, bool loop) {
    const auto origin = StepBackOrigin(film_, film_.GetItem(position), loop);
    if (!origin) return -1;
    const auto next = ItemToShowAfter(film_, *origin, loop);
    return next ? next->position : -2;
  }
  FilmDocument film_;
};

TEST_F(ShowSequenceTest, StepsForwardAndWrapsOnlyWithLoop) {
  Fill(3);
  EXPECT_EQ(After(0, false), 1);
  EXPECT_EQ(After(1, false), 2);
  EXPECT_EQ(After(3, false), -1);  // end of the film: the show ends
  EXPECT_EQ(After(3, true), 1);
  const auto next = ItemToShowAfter(film_, film_.GetItem(1), false);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->mediaFile, "2000");
  EXPECT_EQ(next->transitionEffect, 2);
}

TEST_F(ShowSequenceTest, OneLoopingItemFollowsItself) {
  Fill(1);
  EXPECT_EQ(After(1, true), 1);
  EXPECT_EQ(After(1, false), -1);
  EXPECT_EQ(Back(1, true), 1);
  EXPECT_EQ(Back(1, false), -1);
}

// Page Up shows the item before the one on screen; on the first item it is ignored without loop
// and shows the last one with loop.
TEST_F(ShowSequenceTest, PageUpGoesToThePreviousItem) {
  Fill(4);
  EXPECT_EQ(Back(3, false), 2);
  EXPECT_EQ(Back(2, false), 1);  // by way of "before the first item"
  EXPECT_EQ(Back(1, false), -1);
  EXPECT_EQ(Back(2, true), 1);
  EXPECT_EQ(Back(1, true), 4);
  EXPECT_EQ(Back(4, true), 3);
  const auto origin = StepBackOrigin(film_, film_.GetItem(2), false);
  ASSERT_TRUE(origin);
  EXPECT_EQ(origin->position, 0);
  EXPECT_EQ(origin->itemType, kItemPicture);
}

// A film that preparation left without items has nothing to step to, with or without loop.
TEST_F(ShowSequenceTest, AFilmWithoutItemsHasNothingToShow) {
  EXPECT_FALSE(ItemToShowAfter(film_, BeforeFirstItem(), true));
  EXPECT_FALSE(ItemToShowAfter(film_, BeforeFirstItem(), false));
}

TEST_F(ShowSequenceTest, MediaPathsJoinFolderAndFileWithOneBackslash) {
  FilmItem item;
  item.mediaFile = "clip.avi";
  EXPECT_EQ(MediaPath(item), "clip.avi");
  item.mediaFolder = "C:\\Temp";
  EXPECT_EQ(MediaPath(item), "C:\\Temp\\clip.avi");
  item.mediaFolder = "C:\\Temp\\";
  EXPECT_EQ(MediaPath(item), "C:\\Temp\\clip.avi");
}

TEST(ItemTime, DamagedDurationsNeitherWrapNorPassTheTimersLimit) {
  FilmItem item;
  const auto ms = [&item](int32_t seconds) {
    item.durationSeconds = seconds;
    return ItemTimeMs(item);
  };
  EXPECT_EQ(ms(3), 3000u);
  EXPECT_EQ(ms(-5), 0u);
  EXPECT_EQ(ms(INT32_MIN), 0u);
  EXPECT_EQ(ms(2147483), 2147483000u);
  // 4,294,968 s in 32-bit milliseconds would wrap round to 704 ms.
  EXPECT_EQ(ms(4294968), 2147483000u);
  EXPECT_EQ(ms(INT32_MAX), 2147483000u);
}

}  // namespace
}  // namespace lumafolio
