// The reader's behaviour on well-formed and damaged film files. The same cases run natively
// (libgsf) and under Windows (ole32): both must read every film alike.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "PlatformFilmStorage.h"
#include "TempDir.h"
#include "core/film/CompoundTree.h"
#include "core/film/FilmDocument.h"
#include "core/film/FilmRecords.h"
#include "core/film/FilmTree.h"
#include "core/film/LittleEndian.h"

namespace lumafolio {
namespace {

using Element = CompoundElement;

std::vector<uint8_t> Int32(uint32_t value) {
  std::vector<uint8_t> bytes(4);
  WriteLe32(bytes.data(), static_cast<int32_t>(value));
  return bytes;
}

FilmItem Picture(const std::string& name, int32_t storedPosition = 0) {
  FilmItem item;
  item.mediaFile = name;
  item.musicFile = "0";
  item.imageWidth = 640;
  item.imageHeight = 480;
  item.durationSeconds = 3;
  item.transitionEffect = 23;
  item.transitionSteps = 23;
  item.position = storedPosition;
  return item;
}

Caption Line(const std::string& text) {
  Caption caption;
  caption.text = text;
  caption.textEffect = 4;
  caption.font.height = -60;
  caption.font.weight = 400;
  std::strcpy(caption.font.faceName.data(), "Arial");
  return caption;
}

Element ItemRecord(const FilmItem& item) {
  const FilmItemRecord record = EncodeFilmItemRecord(item);
  return Element::Stream("FILMITEM", {record.begin(), record.end()});
}

Element CaptionStream(const std::string& name, const Caption& caption, int32_t number) {
  const CaptionRecord record = EncodeCaptionRecord(caption, number);
  return Element::Stream(name, {record.begin(), record.end()});
}

Element Link(int n, const FilmItem& item, std::vector<Element> more = {}) {
  Element link = Element::Storage("FILMLINK" + std::to_string(n), {ItemRecord(item)});
  for (Element& element : more) link.children.push_back(std::move(element));
  return link;
}

Element Root(std::vector<Element> elements, uint32_t loop = 1, uint32_t mode = kPlayTimed) {
  Element root = Element::Storage("Root Entry");
  root.children.push_back(Element::Stream("LOOP", Int32(loop)));
  root.children.push_back(Element::Stream("AUTOPLAY", Int32(mode)));
  for (Element& element : elements) root.children.push_back(std::move(element));
  return root;
}

class FilmReader : public ::testing::Test {
 protected:
  // Writes the tree as a film file and reads it into `film`.
  bool Read(const Element& root) {
    std::string error;
    EXPECT_TRUE(WriteCompoundFile(root, path_, error)) << error;
    return film_.ReadFilm(path_, *storage_);
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("Film.flm");
  std::unique_ptr<FilmStorage> storage_ = test::MakePlatformFilmStorage();
  FilmDocument film_;
};

TEST_F(FilmReader, SettingsOnlyFilmHasNoItems) {
  EXPECT_TRUE(Read(Root({}, 0xDB4ADC01u, kPlayManual)));
  EXPECT_EQ(film_.ItemCount(), 0);
  EXPECT_TRUE(film_.LoopFlag());
  EXPECT_EQ(film_.PlayMode(), kPlayManual);
}

TEST_F(FilmReader, LoopKeepsOnlyItsLowByte) {
  EXPECT_TRUE(Read(Root({}, 0x00000100u)));
  EXPECT_FALSE(film_.LoopFlag());
}

TEST_F(FilmReader, ReadsBackWhatTheWriterWrote) {
  FilmDocument written;
  written.SetLoopFlag(0);
  written.SetPlayMode(kPlayManual);
  written.AddItem(Picture("23725"));
  FilmItem video = Picture("4096-clip.avi");
  video.itemType = kItemVideo;
  video.posterImage = "50.jpg";
  video.endPicture = "60.jpg";
  video.musicFile = "1234-song.wav";
  video.musicMode = kMusicFile;
  written.AddItem(video);
  written.AddCaption(1, Line("Hello"));
  Caption second = Line("Two\r\nlines");
  second.top = -20;
  second.textColour = 0x0000FFFF;
  second.shadow = 1;
  written.AddCaption(1, second);

  EXPECT_TRUE(Read(MakeFilmTree(written)));
  EXPECT_FALSE(film_.LoopFlag());
  EXPECT_EQ(film_.PlayMode(), kPlayManual);
  ASSERT_EQ(film_.ItemCount(), 2);
  for (int32_t position = 1; position <= 2; ++position) {
    EXPECT_EQ(film_.GetItem(position), written.GetItem(position)) << position;
  }
}

TEST_F(FilmReader, ItemsComeByNumberNotByEnumerationOrder) {
  // Storage names sort differently from their numbers ("FILMLINK10" before "FILMLINK2").
  std::vector<Element> links;
  for (int n = 12; n >= 1; --n) links.push_back(Link(n, Picture(std::to_string(n * 100), 99)));
  EXPECT_TRUE(Read(Root(std::move(links))));
  ASSERT_EQ(film_.ItemCount(), 12);
  for (int32_t position = 1; position <= 12; ++position) {
    const FilmItem item = film_.GetItem(position);
    EXPECT_EQ(item.mediaFile, std::to_string(position * 100));
    EXPECT_EQ(item.position, position);  // the stored 99 is ignored
  }
}

TEST_F(FilmReader, GapInItemNumbersFailsAfterKeepingTheItemsBefore) {
  EXPECT_FALSE(Read(Root({Link(1, Picture("100")), Link(3, Picture("300"))})));
  ASSERT_EQ(film_.ItemCount(), 1);
  EXPECT_EQ(film_.GetItem(1).mediaFile, "100");
}

TEST_F(FilmReader, AnyOtherRootStorageCountsAsAnItem) {
  // Two FILMLINKs plus a stray storage: the reader looks for FILMLINK3 and fails.
  EXPECT_FALSE(Read(Root({Link(1, Picture("100")), Link(2, Picture("200")),
                          Element::Storage("Pictures", {Element::Stream("x", {1})})})));
  EXPECT_EQ(film_.ItemCount(), 2);
}

TEST_F(FilmReader, RootStreamsOtherThanTheSettingsAreSkipped) {
  EXPECT_TRUE(Read(Root({Link(1, Picture("100")), Element::Stream("NOTES", {1, 2, 3})})));
  EXPECT_EQ(film_.ItemCount(), 1);
}

// The stage travels in a root stream of its own: the film around it reads as it would without
// it, and a stage this reader does not understand leaves the film classic, never unreadable.
TEST_F(FilmReader, AStageStreamChangesTheStageAlone) {
  FilmDocument written;
  written.SetLoopFlag(0);
  written.SetPlayMode(kPlayManual);
  written.AddItem(Picture("100"));
  written.AddItem(Picture("200"));
  written.AddCaption(2, Line("Hello"));
  ASSERT_TRUE(Read(MakeFilmTree(written)));
  EXPECT_EQ(film_.Stage(), FilmStage{});

  const FilmStage sized{FilmStage::Kind::kSized, 1920, 1080};
  written.SetStage(sized);
  const std::string later = "stage = dome\r\nmirror = yes\r\n";
  const std::string tooLong = "stage = screen\r\n" + std::string(5000, ' ');
  for (const auto& [text, stage] : {std::pair<std::string, FilmStage>{"", sized},
                                    {later, {}},
                                    {std::string("\xFF\0s=\x80", 5), {}},
                                    {tooLong, {}}}) {
    SCOPED_TRACE(text.substr(0, 20));
    Element root = MakeFilmTree(written);
    std::vector<uint8_t>& bytes = root.children.at(2).bytes;
    if (!text.empty()) bytes.assign(text.begin(), text.end());
    FilmDocument film;
    std::string error;
    ASSERT_TRUE(WriteCompoundFile(root, path_, error)) << error;
    ASSERT_TRUE(film.ReadFilm(path_, *storage_));
    EXPECT_EQ(film.Stage(), stage);
    EXPECT_EQ(film.LoopByte(), film_.LoopByte());
    EXPECT_EQ(film.PlayMode(), film_.PlayMode());
    ASSERT_EQ(film.ItemCount(), 2);
    for (int32_t position = 1; position <= 2; ++position) {
      EXPECT_EQ(film.GetItem(position), film_.GetItem(position));
    }
  }
}

TEST_F(FilmReader, NamesAreLookedUpWithoutRegardToCase) {
  Element root = Element::Storage("Root Entry");
  root.children.push_back(Element::Stream("loop", Int32(0)));
  root.children.push_back(Element::Stream("AutoPlay", Int32(kPlayManual)));
  Element link = Element::Storage("FilmLink1", {ItemRecord(Picture("100"))});
  link.children.front().name = "FilmItem";
  root.children.push_back(std::move(link));
  EXPECT_TRUE(Read(root));
  EXPECT_EQ(film_.ItemCount(), 1);
  EXPECT_EQ(film_.PlayMode(), kPlayManual);
}

TEST_F(FilmReader, BrokenItemRecordsFail) {
  {
    SCOPED_TRACE("no FILMITEM");
    FilmDocument film;
    std::string error;
    ASSERT_TRUE(WriteCompoundFile(
        Root({Link(1, Picture("100")), Element::Storage("FILMLINK2", {Element::Stream("X", {1})})}),
        path_, error));
    EXPECT_FALSE(film.ReadFilm(path_, *storage_));
    EXPECT_EQ(film.ItemCount(), 1);
  }
  {
    SCOPED_TRACE("short FILMITEM");
    Element link = Link(1, Picture("100"));
    link.children.front().bytes.resize(kFilmItemRecordSize - 1);
    EXPECT_FALSE(Read(Root({std::move(link)})));
    EXPECT_EQ(film_.ItemCount(), 0);
  }
}

TEST_F(FilmReader, MissingOrShortSettingsFailWithoutItems) {
  Element noLoop = Root({Link(1, Picture("100"))});
  noLoop.children.erase(noLoop.children.begin());
  EXPECT_FALSE(Read(noLoop));
  EXPECT_EQ(film_.ItemCount(), 0);

  Element shortMode = Root({Link(1, Picture("100"))}, 0);
  shortMode.children[1].bytes.resize(3);
  EXPECT_FALSE(Read(shortMode));
  EXPECT_EQ(film_.ItemCount(), 0);
  EXPECT_FALSE(film_.LoopFlag());  // settings read before the failure stay
}

TEST_F(FilmReader, CaptionsStopAtTheFirstGapOrShortRecord) {
  Element gap = Element::Storage(
      "TEXTLIST", {CaptionStream("TEXT1", Line("one"), 1), CaptionStream("TEXT2", Line("two"), 7),
                   CaptionStream("TEXT4", Line("four"), 4)});
  Element shortRecord = Element::Storage(
      "TEXTLIST", {CaptionStream("TEXT1", Line("a"), 1), CaptionStream("TEXT2", Line("b"), 2)});
  shortRecord.children[1].bytes.resize(100);
  EXPECT_TRUE(Read(Root({Link(1, Picture("100"), {gap}), Link(2, Picture("200"), {shortRecord}),
                         Link(3, Picture("300"))})));
  ASSERT_EQ(film_.ItemCount(), 3);
  const FilmItem first = film_.GetItem(1);
  ASSERT_EQ(first.captions.size(), 2u);
  EXPECT_EQ(first.captions.front().text, "one");
  EXPECT_EQ(first.captions.back().text, "two");
  EXPECT_EQ(first.captions.back().position, 2);
  ASSERT_EQ(film_.GetItem(2).captions.size(), 1u);
  EXPECT_TRUE(film_.GetItem(3).captions.empty());
}

TEST_F(FilmReader, FilmPathFolderBecomesTheFilmsOwnFolder) {
  FilmItem item = Picture("100");
  item.mediaFolder = "LumafolioFilmPath";
  FilmItem other = Picture("200");
  other.mediaFolder = "lumafoliofilmpath";  // only the exact text is replaced
  // A backslash path, as the player gives it; on Linux the backslash is part of a file name.
  const std::string folder = (dir_.path() / "films").string();
  std::filesystem::create_directories(folder);
  path_ = folder + "\\Film.flm";
  EXPECT_TRUE(Read(Root({Link(1, item), Link(2, other)})));
  EXPECT_EQ(film_.GetItem(1).mediaFolder, folder);
  EXPECT_EQ(film_.GetItem(2).mediaFolder, "lumafoliofilmpath");
}

TEST_F(FilmReader, RefusesWhatIsNotACompoundFile) {
  test::WriteBytes(path_, std::vector<uint8_t>(4096, 'x'));
  EXPECT_FALSE(film_.ReadFilm(path_, *storage_));
  std::vector<uint8_t> header = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  header.resize(600, 0xFF);  // the signature and nothing valid behind it
  test::WriteBytes(path_, header);
  EXPECT_FALSE(film_.ReadFilm(path_, *storage_));
  EXPECT_FALSE(film_.ReadFilm(dir_.File("missing.flm"), *storage_));
  EXPECT_EQ(film_.ItemCount(), 0);
  EXPECT_TRUE(film_.LoopFlag());
}

}  // namespace
}  // namespace lumafolio
