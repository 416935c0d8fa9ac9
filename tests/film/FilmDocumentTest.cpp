#include <gtest/gtest.h>

#include "core/film/FilmDocument.h"

namespace lumafolio {
namespace {

FilmItem Picture(const std::string& name) {
  FilmItem item;
  item.mediaFile = name;
  item.itemType = kItemPicture;
  item.durationSeconds = 3;
  return item;
}

Caption Line(const std::string& text) {
  Caption caption;
  caption.text = text;
  return caption;
}

TEST(FilmDocument, StartsEmptyTimedAndLooping) {
  FilmDocument film;
  EXPECT_EQ(film.ItemCount(), 0);
  EXPECT_EQ(film.PlayMode(), kPlayTimed);
  EXPECT_TRUE(film.LoopFlag());
}

TEST(FilmDocument, MissingPositionsGiveTheNotFoundItem) {
  FilmDocument film;
  EXPECT_EQ(film.GetItem(1).position, -1);
  film.AddItem(Picture("a"));
  film.AddItem(Picture("b"));
  for (int32_t position : {0, 3, -1}) {
    const FilmItem none = film.GetItem(position);
    EXPECT_EQ(none.position, -1) << position;
    EXPECT_EQ(none.mediaFile, "");
    EXPECT_TRUE(none.captions.empty());
  }
}

TEST(FilmDocument, AddItemNumbersFromOneAndIgnoresTheGivenPosition) {
  FilmDocument film;
  FilmItem item = Picture("a");
  item.position = 7;
  item.captions.push_back(Line("kept"));
  EXPECT_EQ(film.AddItem(item), 1);
  EXPECT_EQ(film.AddItem(Picture("b")), 2);
  const FilmItem first = film.GetItem(1);
  EXPECT_EQ(first.position, 1);
  EXPECT_EQ(first.mediaFile, "a");
  ASSERT_EQ(first.captions.size(), 1u);
  EXPECT_EQ(first.captions.front().text, "kept");
  EXPECT_EQ(film.GetItem(7).position, -1);
}

TEST(FilmDocument, RemoveRenumbersTheItemsAfterIt) {
  FilmDocument film;
  for (const char* name : {"1", "2", "3", "4", "5"}) film.AddItem(Picture(name));
  EXPECT_TRUE(film.RemoveItem(2));
  EXPECT_EQ(film.ItemCount(), 4);
  const char* expected[] = {"1", "3", "4", "5"};
  for (int32_t position = 1; position <= 4; ++position) {
    const FilmItem item = film.GetItem(position);
    EXPECT_EQ(item.position, position);
    EXPECT_EQ(item.mediaFile, expected[position - 1]);
  }
  EXPECT_EQ(film.GetItem(5).position, -1);
  EXPECT_FALSE(film.RemoveItem(5));
  EXPECT_FALSE(film.RemoveItem(0));
  EXPECT_EQ(film.ItemCount(), 4);
}

TEST(FilmDocument, RemovingTheOnlyItemStartsNumberingAgain) {
  FilmDocument film;
  film.AddItem(Picture("a"));
  EXPECT_TRUE(film.RemoveItem(1));
  EXPECT_EQ(film.ItemCount(), 0);
  EXPECT_EQ(film.AddItem(Picture("b")), 1);
  EXPECT_EQ(film.GetItem(1).mediaFile, "b");
}

TEST(FilmDocument, LoopFlagKeepsOnlyTheLowByte) {
  FilmDocument film;
  film.SetLoopFlag(static_cast<int32_t>(0xDB4ADC01u));
  EXPECT_TRUE(film.LoopFlag());
  EXPECT_EQ(film.LoopByte(), 1);
  film.SetLoopFlag(0x00000100);
  EXPECT_FALSE(film.LoopFlag());
  film.SetLoopFlag(0x7F);
  EXPECT_EQ(film.LoopByte(), 0x7F);
}

TEST(FilmDocument, CaptionsNumberPerItemAndAreDroppedWithoutTheirItem) {
  FilmDocument film;
  film.AddCaption(3, Line("early"));  // no item 3 yet
  film.AddItem(Picture("a"));
  film.AddItem(Picture("b"));
  film.AddItem(Picture("c"));
  EXPECT_TRUE(film.GetItem(3).captions.empty());
  Caption numbered = Line("first");
  numbered.position = 42;
  film.AddCaption(3, numbered);
  film.AddCaption(3, Line("second"));
  const FilmItem third = film.GetItem(3);
  ASSERT_EQ(third.captions.size(), 2u);
  EXPECT_EQ(third.captions.front().position, 1);
  EXPECT_EQ(third.captions.back().position, 2);
  EXPECT_EQ(third.captions.back().text, "second");
  EXPECT_TRUE(film.GetItem(1).captions.empty());
}

TEST(FilmDocument, ItemsHandedOutAreIndependentCopies) {
  FilmDocument film;
  film.AddItem(Picture("a"));
  film.AddCaption(1, Line("original"));
  FilmItem one = film.GetItem(1);
  FilmItem two = film.GetItem(1);
  one.captions.front().text = "changed";
  one.captions.push_back(Line("extra"));
  one.mediaFile = "changed";
  EXPECT_EQ(two.captions.size(), 1u);
  EXPECT_EQ(two.captions.front().text, "original");
  const FilmItem stored = film.GetItem(1);
  EXPECT_EQ(stored.mediaFile, "a");
  ASSERT_EQ(stored.captions.size(), 1u);
  EXPECT_EQ(stored.captions.front().text, "original");
}

TEST(FilmDocument, UpdateReplacesContentButKeepsThePlace) {
  FilmDocument film;
  film.AddItem(Picture("a"));
  film.AddItem(Picture("b"));
  film.AddCaption(2, Line("one"));
  film.AddCaption(2, Line("two"));
  film.AddCaption(2, Line("three"));

  FilmItem value = film.GetItem(2);
  value.mediaFile = "5100";
  value.position = 9;
  value.musicMode = kMusicStop;
  value.captions.pop_back();
  value.captions.front().text = "ONE";
  EXPECT_TRUE(film.UpdateItem(2, value));

  const FilmItem stored = film.GetItem(2);
  EXPECT_EQ(stored.position, 2);
  EXPECT_EQ(stored.mediaFile, "5100");
  EXPECT_EQ(stored.musicMode, kMusicStop);
  ASSERT_EQ(stored.captions.size(), 2u);
  EXPECT_EQ(stored.captions.front().text, "ONE");
  EXPECT_EQ(film.GetItem(9).position, -1);
  EXPECT_EQ(film.GetItem(1).mediaFile, "a");

  // No item at the position: nothing changes, and the call still reports true.
  EXPECT_TRUE(film.UpdateItem(5, value));
  EXPECT_EQ(film.ItemCount(), 2);
}

}  // namespace
}  // namespace lumafolio
