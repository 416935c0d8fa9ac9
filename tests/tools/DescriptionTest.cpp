// Film descriptions: what a correct one turns into, and that every fault is reported with the
// description's name and line before any output exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "FilmtoolRun.h"
#include "ReferenceCodec.h"
#include "TempDir.h"
#include "tools/filmtool/BuildCommand.h"
#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/Description.h"
#include "tools/filmtool/EffectNames.h"

namespace lumafolio {
namespace {

TEST(Description, TurnsValuesIntoFilmFields) {
  const FilmDescription film = ParseDescription(R"(
[film]
loop = false
play_mode = "manual"

[[item]]
file = "a.jpg"
transition = "push-left"
steps = 40
duration = 7
music = "sound/theme.MID"

[[item.caption]]
text = """
Café €5
second line"""
effect = "letters-down"
left = -20
top = 500
colour = "#FFD700"
alignment = "right"
shadow = true
font = { face = "Comic Sans MS", height = -40, weight = 700, italic = true, pitch_and_family = 0x42 }

[[item.caption]]
text = ["one", "two", ""]
alignment = "center"

[[item]]
type = "video"
file = "clip.avi"
poster = "still.jpg"
music_mode = "cd"
music = 2

[[item]]
type = "powerpoint"
file = "deck.pps"
music_mode = "stop"
transition = 7
)",
                                                "dir/film.toml");
  EXPECT_FALSE(film.loop);
  EXPECT_EQ(film.playMode, kPlayManual);
  ASSERT_EQ(film.items.size(), 3u);

  const DescribedItem& picture = film.items[0];
  EXPECT_EQ(picture.type, kItemPicture);
  EXPECT_EQ(picture.file.path, "dir/a.jpg");
  EXPECT_EQ(picture.file.line, 7);
  EXPECT_EQ(picture.transitionEffect, 31);
  EXPECT_EQ(picture.transitionSteps, 40);
  EXPECT_EQ(picture.durationSeconds, 7);
  EXPECT_EQ(picture.musicMode, kMusicFile);  // implied by the music file
  ASSERT_TRUE(picture.music);
  EXPECT_EQ(picture.music->path, "dir/sound/theme.MID");
  ASSERT_EQ(picture.captions.size(), 2u);

  const Caption& first = picture.captions[0].caption;
  EXPECT_EQ(first.text,
            "Caf\xE9 \x80"
            "5\r\nsecond line");  // Windows-1252, CR LF
  EXPECT_EQ(first.textEffect, 13);
  EXPECT_EQ(first.left, -20);
  EXPECT_EQ(first.top, 500);
  EXPECT_EQ(first.textColour, 0x0000D7FFu);  // COLORREF: red in the low byte
  EXPECT_EQ(first.alignment, 2);
  EXPECT_EQ(first.shadow, 1);
  EXPECT_EQ(first.lineSpacing, 100);
  EXPECT_STREQ(first.font.faceName.data(), "Comic Sans MS");
  EXPECT_EQ(first.font.height, -40);
  EXPECT_EQ(first.font.weight, 700);
  EXPECT_EQ(first.font.italic, 1);
  EXPECT_EQ(first.font.pitchAndFamily, 0x42);
  EXPECT_EQ(first.font.outPrecision, 3);

  // Defaults: the film's usual caption font, white, left-aligned, "appear".
  const Caption& second = picture.captions[1].caption;
  EXPECT_EQ(second.text, "one\r\ntwo\r\n");
  EXPECT_EQ(second.alignment, 1);
  EXPECT_EQ(second.textEffect, 11);
  EXPECT_EQ(second.textColour, 0x00FFFFFFu);
  EXPECT_STREQ(second.font.faceName.data(), "Arial");
  EXPECT_EQ(second.font.height, -60);
  EXPECT_EQ(second.font.weight, 400);
  EXPECT_EQ(second.font.clipPrecision, 2);
  EXPECT_EQ(second.font.quality, 1);
  EXPECT_EQ(second.font.pitchAndFamily, 0x22);

  const DescribedItem& video = film.items[1];
  EXPECT_EQ(video.type, kItemVideo);
  ASSERT_TRUE(video.poster);
  EXPECT_EQ(video.poster->path, "dir/still.jpg");
  EXPECT_EQ(video.musicMode, kMusicCdTrack);
  EXPECT_EQ(video.cdTrack, "Track02.cda");
  EXPECT_FALSE(video.music);
  EXPECT_EQ(video.durationSeconds, 3);  // defaults: the film's usual 3 s fade of 23 steps
  EXPECT_EQ(video.transitionEffect, 23);
  EXPECT_EQ(video.transitionSteps, 23);

  EXPECT_EQ(film.items[2].type, kItemPowerPoint);
  EXPECT_EQ(film.items[2].musicMode, kMusicStop);
  EXPECT_EQ(film.items[2].transitionEffect, 7);
}

// The readable forms of fonts, colours, alignments and transition lengths give the film the same
// fields as the raw forms they stand for.
TEST(Description, ReadableFormsGiveTheRawFields) {
  const struct {
    const char* readable;
    const char* raw;
  } cases[] = {
      {"font = { face = \"Georgia\", size = 24, bold = true, italic = true, underline = true }",
       "font = { face = \"Georgia\", height = -32, weight = 700, italic = true, underline = true "
       "}"},
      {"font = { size = \"10.5pt\", bold = false }", "font = { height = -14, weight = 400 }"},
      {"font = { size = \"32px\" }", "font = { height = -32 }"},
      {"font = { size = 72.0 }", "font = { height = -96 }"},
      {"colour = \"GoldenRod\"", "colour = \"#DAA520\""},
      {"color = \"rebeccapurple\"", "colour = \"#663399\""},
      {"colour = \"#f80\"", "colour = \"#FF8800\""},
      {"alignment = \"center\"", "alignment = \"centre\""},
      {"[film]\ntransition_seconds = 1.5", "[film]\nsteps = 90"},
      {"transition_seconds = 0.4", "steps = 24"},
      {"[film]\nduration = 4.0", "[film]\nduration = 4"},
  };
  // The line goes into [film] when it says so, else into the item or, for caption keys, its
  // caption.
  const auto read = [](std::string line) {
    const bool film = line.rfind("[film]", 0) == 0;
    const bool itemKey = line.find("transition") == 0 || line.find("steps") == 0;
    const std::string text = (film ? line + "\n" : "") + "[[item]]\nfile = \"a.jpg\"\n" +
                             (itemKey ? line + "\n" : "") + "[[item.caption]]\ntext = \"x\"\n" +
                             (film || itemKey ? "" : line + "\n");
    return ParseDescription(text, "film.toml").items.at(0);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.readable);
    const DescribedItem readable = read(c.readable);
    const DescribedItem raw = read(c.raw);
    EXPECT_EQ(readable.captions.at(0).caption, raw.captions.at(0).caption);
    EXPECT_EQ(readable.transitionSteps, raw.transitionSteps);
    EXPECT_EQ(readable.durationSeconds, raw.durationSeconds);
  }
}

// [film] gives every item and caption what they leave out; the film's music starts with the
// first item, and a caption's font changes only the fields it names.
TEST(Description, FilmDefaultsGiveWayToItemsAndCaptions) {
  const FilmDescription film = ParseDescription(R"(
[film]
duration = 6
transition = "push-left"
transition_seconds = 1
music = "theme.mid"
font = { face = "Georgia", size = 20 }
colour = "navy"
shadow = true
alignment = "right"
line_spacing = 120

[[item]]
file = "a.jpg"
[[item.caption]]
text = "film's style"

[[item]]
file = "b.jpg"
duration = 2
transition = "cut"
steps = 10
[[item.caption]]
text = "own style"
colour = "red"
shadow = false
alignment = "left"
line_spacing = 90
font = { bold = true }
)",
                                                "dir/film.toml");
  ASSERT_EQ(film.items.size(), 2u);
  const DescribedItem& first = film.items[0];
  EXPECT_EQ(first.durationSeconds, 6);
  EXPECT_EQ(first.transitionEffect, *TransitionFromName("push-left"));
  EXPECT_EQ(first.transitionSteps, 60);
  EXPECT_EQ(first.musicMode, kMusicFile);
  ASSERT_TRUE(first.music);
  EXPECT_EQ(first.music->path, "dir/theme.mid");
  const Caption& styled = first.captions.at(0).caption;
  EXPECT_EQ(styled.textColour, 0x00800000u);  // navy, as a COLORREF
  EXPECT_EQ(styled.shadow, 1);
  EXPECT_EQ(styled.alignment, 2);
  EXPECT_EQ(styled.lineSpacing, 120);
  EXPECT_STREQ(styled.font.faceName.data(), "Georgia");
  EXPECT_EQ(styled.font.height, -27);
  EXPECT_EQ(styled.font.weight, 400);

  const DescribedItem& second = film.items[1];
  EXPECT_EQ(second.durationSeconds, 2);
  EXPECT_EQ(second.transitionEffect, *TransitionFromName("cut"));
  EXPECT_EQ(second.transitionSteps, 10);
  EXPECT_EQ(second.musicMode, kMusicKeep);  // the film's music plays on
  EXPECT_FALSE(second.music);
  const Caption& own = second.captions.at(0).caption;
  EXPECT_EQ(own.textColour, 0x000000FFu);
  EXPECT_EQ(own.shadow, 0);
  EXPECT_EQ(own.alignment, 0);
  EXPECT_EQ(own.lineSpacing, 90);
  EXPECT_STREQ(own.font.faceName.data(), "Georgia");
  EXPECT_EQ(own.font.height, -27);
  EXPECT_EQ(own.font.weight, 700);

  // The first item's own music wins over the film's.
  const FilmDescription own_music = ParseDescription(
      "[film]\nmusic = \"theme.mid\"\n[[item]]\nfile = \"a.jpg\"\nmusic_mode = \"stop\"\n",
      "film.toml");
  EXPECT_EQ(own_music.items.at(0).musicMode, kMusicStop);
}

// Each case marks its faulty line with "#!" (or names the line when the fault is a whole table).
struct FaultCase {
  const char* name;
  std::string text;
  std::string words;  // part of the message
  int line = 0;       // when no "#!" marks it
};

int MarkedLine(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (line.find("#!") != std::string::npos) return number;
  }
  return 0;
}

class DescriptionFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(dir_.File("a.jpg"), test::CompressPicture({}));
    test::CorpusPicture cmyk;
    cmyk.components = 4;
    cmyk.lumaH = cmyk.lumaV = 1;
    test::WriteBytes(dir_.File("cmyk.jpg"), test::CompressPicture(cmyk));
    test::WriteBytes(dir_.File("clip.avi"), {1, 2, 3});
    test::WriteBytes(dir_.File("player.exe"), test::WindowsProgram({}));
    test::WriteBytes(dir_.File("LumafolioMediaDescription.jpg"), test::CompressPicture({}));
  }

  // Builds from the text and returns the error message; the build must fail and leave the
  // folder as it was.
  std::string BuildFails(const std::string& text) {
    test::WriteBytes(dir_.File("film.toml"), {text.begin(), text.end()});
    const auto before = Listing();
    std::ostringstream log;
    std::string message;
    try {
      BuildFilm({dir_.File("film.toml"), dir_.File("show.exe"), dir_.File("player.exe")}, log);
      ADD_FAILURE() << "the build succeeded";
    } catch (const std::runtime_error& e) {
      message = e.what();
    }
    EXPECT_EQ(Listing(), before) << "the failed build left files behind";
    return message;
  }

  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  test::TempDir dir_;
};

// The text goes to toml++ in ASCII with the headers it would misread refused: what only looks
// like such a header, and every character beyond ASCII in any kind of string, read as written.
TEST(Description, StringsAndCommentsReadAsWritten) {
  const FilmDescription film = ParseDescription(
      "\xEF\xBB\xBF# caf\xC3\xA9 [=\n"
      "[[item]]\n"
      "file = 'pictures\\\xC3\xA9t\xC3\xA9 \"1\".jpg'\n"
      "[[item.caption]]\n"
      "text = \"\"\"\n[=] \\\"\"\" [[[x\n[\"\"\"\n"
      "[[item.caption]]\n"
      "text = [\n  \"[=]\", # ] [=\n  '[[['\n]\n"
      "[[item.caption]]\n"
      "text = \"\"\"Caf\\  \n\n   \xC3\xA9\"\"\"\n"
      "[[item.caption]]\n"
      "text = '''l'\xC3\xA9t\xC3\xA9 \\u00E9 \"\"'''''\n",
      "f.toml");
  ASSERT_EQ(film.items.at(0).captions.size(), 4u);
  EXPECT_EQ(film.items[0].file.written, "pictures\\\xC3\xA9t\xC3\xA9 \"1\".jpg");
  EXPECT_EQ(film.items[0].file.line, 3);
  EXPECT_EQ(film.items[0].captions[0].caption.text, "[=] \"\"\" [[[x\r\n[");
  EXPECT_EQ(film.items[0].captions[1].caption.text, "[=]\r\n[[[");
  EXPECT_EQ(film.items[0].captions[2].caption.text, "Caf\xE9");
  EXPECT_EQ(film.items[0].captions[3].caption.text, "l'\xE9t\xE9 \\u00E9 \"\"''");
  EXPECT_EQ(film.items[0].captions[3].line, 17);
}

TEST_F(DescriptionFaults, EveryFaultNamesTheFileAndLine) {
  const std::string picture = "[[item]]\nfile = \"a.jpg\"\n";
  const std::string longText(256, 'x');
  const FaultCase cases[] = {
      {"syntax", "[[item]]\nfile = \"a.jpg\"\nsteps = = 3 #!\n", "value"},
      // Headers that name no table are refused before toml++ 3.3 reads them (it aborts).
      {"unnamed array table header", picture + "[[[item]]] #!\n", "names no table"},
      {"date and a lone digit", picture + "duration = 1979-05-27 7 #!\n", "lone digit"},
      {"brace for an array's value", picture + "steps = [1,\n# x\n } #!\n", "expects a value"},
      // A literal string goes on as a basic one: a quote right after it would join it.
      {"quote after an empty literal string",
       picture + "music = ''\"x\" #!\n[[item]]\nfile = \"\"\"\n[\n\"\"\"\n", "follows the string"},
      {"quote after a multi-line literal string", picture + "music = '''a'''\" #!\n",
       "follows the string"},
      {"stray character in a number", picture + "steps = [0-`1] #!\n", "no number, date or time"},
      {"unnamed table header after a byte-order mark", "\xEF\xBB\xBF" + picture + "\n  [= #!\n",
       "names no table"},
      // toml++ 3.3 mishandles characters beyond ASCII outside strings and after a line-ending
      // backslash.
      {"beyond ASCII outside a string", picture + "duration = 5\xC3\xA9 #!\n", "outside a string"},
      {"beyond ASCII after a backslash",
       picture + "[[item.caption]]\ntext = \"\"\"Caf\\\xC3\xA9\"\"\" #!\n", "backslash"},
      {"unknown top key", "colour = 1 #!\n" + picture, "unknown key 'colour'"},
      {"unknown film key", "[film]\nloop = true\nrepeat = 2 #!\n" + picture,
       "unknown key 'repeat'"},
      {"stage smaller than the classic", "[film]\nstage = \"1024x576\" #!\n" + picture,
       "'stage' is \"1024x576\": the stage 1024x576 is smaller than the classic 800x600"},
      {"unknown item key", picture + "color = \"#FFFFFF\" #!\n", "unknown key 'color'"},
      {"unknown font key",
       picture + "[[item.caption]]\ntext = \"x\"\nfont = { face = \"Arial\", heigth = 3 } #!\n",
       "unknown key 'heigth' in the font; did you mean 'height'?"},
      {"no items", "[film]\nloop = true\n", "no items", 1},
      {"missing file", "[[item]]\nfile = \"missing.jpg\" #!\n", "missing.jpg"},
      {"no file", "[film]\n[[item]] #!\nduration = 3\n", "names no file"},
      {"refused picture", "[[item]]\nfile = \"cmyk.jpg\" #!\n", "cmyk.jpg has four colour"},
      {"video without poster", "[[item]] #!\ntype = \"video\"\nfile = \"clip.avi\"\n", "poster"},
      {"poster on a picture", picture + "poster = \"a.jpg\" #!\n", "video items"},
      {"video width alone",
       "[[item]]\ntype = \"video\"\nfile = \"clip.avi\"\nposter = \"a.jpg\"\n"
       "image_width = 320 #!\n",
       "both"},
      {"video size on a picture", picture + "image_height = 3 #!\n", "video items"},
      {"unknown type", "[[item]]\ntype = \"slide\" #!\nfile = \"a.jpg\"\n", "\"picture\""},
      {"transition index", picture + "transition = 59 #!\n", "between 0 and 58"},
      {"transition name", picture + "transition = \"dissolve\" #!\n", "unknown transition"},
      {"steps zero", picture + "steps = 0 #!\n", "between 1 and 1000"},
      {"duration zero", picture + "duration = 0 #!\n", "between 1 and 86400"},
      {"duration type", picture + "duration = \"5\" #!\n", "whole number"},
      {"fractional duration", "[film]\nduration = 2.5 #!\n" + picture, "whole seconds"},
      {"steps and seconds", picture + "steps = 9\ntransition_seconds = 1 #!\n", "not both"},
      {"too long in seconds", picture + "transition_seconds = 17 #!\n", "1 to 1000 steps"},
      {"colour name", picture + "[[item.caption]]\ntext = \"x\"\ncolor = \"goldd\" #!\n",
       "did you mean 'gold'?"},
      {"size and height",
       picture + "[[item.caption]]\ntext = \"x\"\nfont = { size = 20, height = -9 } #!\n",
       "not both"},
      {"size unit", "[film]\nfont = { size = \"20em\" } #!\n" + picture, "pixels"},
      {"transition suggestion", picture + "transition = \"fdae\" #!\n",
       "did you mean 'fade'? (`filmtool list transitions`"},
      {"music without mode", picture + "music = \"x.mid\" #!\nmusic_mode = \"stop\"\n",
       "plays none"},
      {"music extension", "[[item]]\nfile = \"a.jpg\"\nmusic = \"x.mp3\" #!\n", ".mid"},
      {"cd track range", picture + "music_mode = \"cd\"\nmusic = 100 #!\n", "between 1 and 99"},
      {"cd without track", picture + "music_mode = \"cd\" #!\n", "needs a track"},
      {"caption on video",
       "[[item]]\ntype = \"video\"\nfile = \"clip.avi\"\nposter = \"a.jpg\"\n"
       "[[item.caption]] #!\ntext = \"x\"\n",
       "picture items only"},
      {"caption effect", picture + "[[item.caption]]\ntext = \"x\"\neffect = 28 #!\n",
       "between 0 and 27"},
      {"caption too long", picture + "[[item.caption]]\ntext = \"" + longText + "\" #!\n",
       "at most 255"},
      {"caption lines too long",
       picture + "[[item.caption]]\ntext = [\"" + std::string(127, 'x') + "\", \"" +
           std::string(127, 'y') + "\"] #!\n",
       "256 bytes"},
      {"not Windows-1252", picture + "[[item.caption]]\ntext = \"\xE6\x97\xA5\" #!\n",
       "Windows-1252"},
      {"control character", picture + "[[item.caption]]\ntext = \"a\\tb\" #!\n",
       "control character"},
      {"no caption text", picture + "[[item.caption]] #!\nleft = 3\n", "no text"},
      {"colour", picture + "[[item.caption]]\ntext = \"x\"\ncolour = \"#12345\" #!\n", "#RRGGBB"},
      {"face too long",
       picture + "[[item.caption]]\ntext = \"x\"\nfont = { face = \"" + std::string(32, 'F') +
           "\" } #!\n",
       "at most 31"},
      {"charset", picture + "[[item.caption]]\ntext = \"x\"\nfont = { charset = 256 } #!\n",
       "between 0 and 255"},
      {"left", picture + "[[item.caption]]\ntext = \"x\"\nleft = 40000 #!\n", "between"},
      // The media marker in any text of the film: the message names the line, not captions.
      {"media marker in a caption",
       picture + "[[item.caption]]\ntext = \"LumafolioMediaDescription\" #!\n", "marks the media"},
      {"media marker in a font face",
       picture +
           "[[item.caption]]\ntext = \"x\"\nfont = { face = \"LumafolioMediaDescription\" } #!\n",
       "the font face holds"},
      {"media marker in a picture's name",
       "[[item]]\nfile = \"LumafolioMediaDescription.jpg\" #!\n", "rename the file"},
      {"media marker in a CD track",
       picture + "music = \"Track02LumafolioMediaDescription.cda\" #!\n", "the CD track's name"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int line = c.line ? c.line : MarkedLine(c.text);
    ASSERT_GT(line, 0);
    const std::string message = BuildFails(c.text);
    const std::string where = dir_.File("film.toml") + ":" + std::to_string(line) + ": ";
    EXPECT_EQ(message.rfind(where, 0), 0u) << message;
    EXPECT_NE(message.find(c.words), std::string::npos) << message;
    const std::string name = c.name;
    if (name.find("marker") != std::string::npos && name.find("caption") == std::string::npos) {
      EXPECT_EQ(message.find("caption"), std::string::npos) << message;
    }
  }
}

// Every mistake is reported, in line order, each with its line, and nothing is built.
TEST_F(DescriptionFaults, ReportsEveryMistakeAtOnce) {
  const std::string message = BuildFails(
      "[film]\n"
      "duraton = 3\n"  // 2: a suggestion
      "[[item]]\n"
      "file = \"a.jpg\"\n"
      "transition = \"sparkle\"\n"  // 5: no name near it
      "[[item.caption]]\n"
      "text = \"x\"\n"
      "colour = \"#12\"\n"               // 8
      "font = { size = 0, face = 3 }\n"  // 9: two mistakes on one line
      "[[item]]\n"
      "type = \"vidoe\"\n"  // 11
      "file = \"gone.jpg\"\n");
  const std::string lines[] = {"2: unknown key 'duraton' in [film]; did you mean 'duration'?",
                               "5: unknown transition \"sparkle\"; (`filmtool list transitions`",
                               "8: a colour is written",
                               "9: ",
                               "9: ",
                               "11: unknown type \"vidoe\"; it must be one of \"picture\", "
                               "\"video\", \"powerpoint\"",
                               "12: cannot read gone.jpg: no such file"};
  std::istringstream reported(message);
  std::string line;
  for (const std::string& expected : lines) {
    ASSERT_TRUE(std::getline(reported, line)) << message;
    EXPECT_EQ(line.rfind(dir_.File("film.toml") + ":" + expected, 0), 0u) << line;
  }
  EXPECT_FALSE(std::getline(reported, line)) << message;
}

TEST_F(DescriptionFaults, AMissingDescriptionOrPlayerWritesNothing) {
  std::ostringstream log;
  EXPECT_THROW(
      BuildFilm({dir_.File("none.toml"), dir_.File("show.exe"), dir_.File("player.exe")}, log),
      std::runtime_error);
  const std::string text = "[[item]]\nfile = \"a.jpg\"\n";
  test::WriteBytes(dir_.File("film.toml"), {text.begin(), text.end()});
  EXPECT_THROW(
      BuildFilm({dir_.File("film.toml"), dir_.File("show.exe"), dir_.File("none.exe")}, log),
      std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("show.exe")));
}

TEST(EffectNames, NamesAndIndexesMatchOneToOne) {
  const struct {
    int count;
    const char* (*name)(int);
    std::optional<int> (*index)(std::string_view);
  } tables[] = {{kTransitionCount, &TransitionName, &TransitionFromName},
                {kCaptionEffectCount, &CaptionEffectName, &CaptionEffectFromName}};
  for (const auto& table : tables) {
    std::set<std::string> seen;
    for (int i = 0; i < table.count; ++i) {
      ASSERT_NE(table.name(i), nullptr);
      EXPECT_TRUE(seen.insert(table.name(i)).second) << table.name(i);
      EXPECT_EQ(table.index(table.name(i)), i) << table.name(i);
    }
    EXPECT_EQ(table.name(-1), nullptr);
    EXPECT_EQ(table.name(table.count), nullptr);
  }
  // Anchors from the player's tables.
  EXPECT_EQ(TransitionFromName("fade"), 23);
  EXPECT_EQ(TransitionFromName("CUT"), 24);
  EXPECT_EQ(TransitionFromName("random"), kRandomTransition);
  EXPECT_EQ(TransitionFromName("push-down"), 30);  // the new picture enters at the top
  EXPECT_EQ(TransitionFromName("wipe-left"), 56);
  EXPECT_EQ(CaptionEffectFromName("appear"), 11);
  EXPECT_EQ(CaptionEffectFromName("random"), kRandomCaptionEffect);
  EXPECT_EQ(CaptionEffectFromName("sweep-up"), 0);  // rising from the bottom edge
  EXPECT_EQ(TransitionFromName("fade "), std::nullopt);

  // The help lists every effect on a line of its own: name, index and what it does.
  const auto check = [](const std::string& text, auto fromName, int count) {
    std::istringstream listing(text);
    int lines = 0;
    for (std::string line; std::getline(listing, line); ++lines) {
      std::istringstream words(line);
      std::string name;
      int index = -1;
      std::string firstWord;
      words >> name >> index >> firstWord;
      EXPECT_EQ(fromName(name), index) << line;
      EXPECT_FALSE(firstWord.empty()) << "no summary: " << line;
    }
    EXPECT_EQ(lines, count);
  };
  check(TransitionListing(), TransitionFromName, kTransitionCount);
  check(CaptionEffectListing(), CaptionEffectFromName, kCaptionEffectCount);
}

TEST(Cp1252, ConvertsBothWaysAndRefusesWhatItLacks) {
  // Every byte survives decoding and encoding, the five undefined ones included.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80\x81\x9F\xE9"), "\u20AC\u0081\u0178\u00E9");

  size_t bad = 99;
  EXPECT_EQ(Utf8ToCp1252("ab\xE2\x82\xAC", &bad), "ab\x80");
  EXPECT_EQ(Utf8ToCp1252("ab\xE6\x97\xA5", &bad), std::nullopt);  // CJK
  EXPECT_EQ(bad, 2u);
  for (const char* invalid : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\x80", "\xF8\x88\x80\x80"}) {
    EXPECT_EQ(Utf8ToCp1252(invalid, &bad), std::nullopt) << invalid;
    EXPECT_EQ(bad, 0u);
  }
}

}  // namespace
}  // namespace lumafolio
