// filmtool end to end, in-process: a described film is built into a player program, inspected
// and extracted again; programs and films that would mislead the player or the extraction are
// refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FilmtoolRun.h"
#include "ReferenceCodec.h"
#include "TempDir.h"
#include "core/film/CompoundTree.h"
#include "core/film/FilmDocument.h"
#include "core/film/FilmTree.h"
#include "core/payload/PlayerPayload.h"
#include "core/payload/SafeMediaName.h"
#include "core/payload/SizeCodedName.h"
#include "tools/filmfile/CompoundDirectory.h"
#include "tools/filmfile/GsfFilmStorage.h"
#include "tools/filmtool/Cli.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/JpegRewrite.h"
#include "tools/filmtool/ListCommand.h"
#include "tools/filmtool/MediaNames.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

using test::Filmtool;
using test::ToolRun;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, int64_t offset, int64_t size) {
  return {bytes.begin() + offset, bytes.begin() + offset + size};
}

std::set<std::string> Keys(const Json& object) {
  std::set<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.insert(key);
  return keys;
}

std::vector<uint8_t> Noise(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 131 + (i >> 7));
  return bytes;
}

class FilmtoolRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path() / "pictures");
    test::CorpusPicture small;
    test::CorpusPicture other;
    other.width = 64;
    other.height = 40;
    other.lumaH = other.lumaV = 1;
    test::CorpusPicture progressive;
    progressive.width = 40;
    progressive.height = 30;
    progressive.progressive = true;
    Source("pictures/one.jpg", test::CompressPicture(small));
    Source("pictures/two two.jpg", test::CompressPicture(other));
    Source("pictures/progressive.jpg", test::CompressPicture(progressive));
    Source("poster.jpg", test::CompressPicture(other));
    Source("end.jpg", test::CompressPicture(small));
    Source("clip.avi", Noise(3000, 1));
    Source("theme.mid", Noise(777, 2));
    Source("deck.pps", Noise(1234, 3));
    Source("player.exe", test::WindowsProgram(Noise(5000, 4)));
    const std::string description = R"(
[film]
loop = false
play_mode = "manual"

[[item]]
file = "pictures/one.jpg"
transition = "cut"
steps = 10
duration = 4
music = "theme.mid"

[[item.caption]]
text = """
Hello
Café €"""
effect = "whirl"
left = 12
top = -3
colour = "#102030"
alignment = "centre"
shadow = true
font = { face = "Arial", height = -75, weight = 700, underline = true }

[[item.caption]]
text = "second"

[[item]]
type = "video"
file = "clip.avi"
poster = "poster.jpg"
end_picture = "end.jpg"
music = "Track07.cda"

[[item]]
type = "powerpoint"
file = "deck.pps"
music_mode = "stop"

[[item]]
file = "pictures/two two.jpg"

[[item]]
file = "pictures/progressive.jpg"

[[item]]
file = "pictures/one.jpg"
)";
    Source("film.toml", {description.begin(), description.end()});
  }

  void Source(const std::string& name, const std::vector<uint8_t>& bytes) {
    test::WriteBytes(dir_.File(name), bytes);
  }
  std::vector<uint8_t> Bytes(const std::string& name) const {
    return test::ReadBytes(dir_.File(name));
  }

  test::TempDir dir_;
};

TEST_F(FilmtoolRoundTrip, BuildInspectExtract) {
  const std::string show = dir_.File("show.exe");
  const ToolRun build =
      Filmtool({"build", dir_.File("film.toml"), "-o", show, "--player", dir_.File("player.exe")});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.out.find("progressive.jpg: progressive; rewritten as baseline"),
            std::string::npos);
  const std::vector<uint8_t> program = test::ReadBytes(show);
  EXPECT_EQ(Slice(program, 0, 5000), Bytes("player.exe"));

  const ToolRun inspect = Filmtool({"inspect", show, "--json"});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  const Json json = Json::parse(inspect.out);

  // The keys other programs rely on, exactly.
  EXPECT_EQ(Keys(json), (std::set<std::string>{"read_ok", "loop", "play_mode", "play_mode_name",
                                               "stage", "items", "payload"}));
  EXPECT_EQ(json["read_ok"], true);
  EXPECT_EQ(json["loop"], 0);
  EXPECT_EQ(json["play_mode"], kPlayManual);
  const Json& items = json["items"];
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(Keys(items[0]),
            (std::set<std::string>{"position", "type", "type_name", "media_file", "media_folder",
                                   "poster_image", "end_picture", "music_file", "image_width",
                                   "image_height", "duration_seconds", "transition_effect",
                                   "transition_name", "transition_steps", "music_mode",
                                   "music_mode_name", "captions"}));
  const Json& caption = items[0]["captions"][0];
  EXPECT_EQ(Keys(caption),
            (std::set<std::string>{"position", "text_effect", "effect_name", "text", "left", "top",
                                   "font", "text_colour", "text_colour_hex", "line_spacing",
                                   "alignment", "shadow"}));
  EXPECT_EQ(Keys(caption["font"]),
            (std::set<std::string>{"height", "width", "escapement", "orientation", "weight",
                                   "italic", "underline", "strike_out", "charset", "out_precision",
                                   "clip_precision", "quality", "pitch_and_family", "face"}));

  EXPECT_EQ(json["play_mode_name"], "manual");
  EXPECT_EQ(json["stage"], "classic");
  EXPECT_EQ(items[0]["type"], kItemPicture);
  EXPECT_EQ(items[0]["type_name"], "picture");
  EXPECT_EQ(items[0]["transition_name"], "cut");
  EXPECT_EQ(items[0]["music_mode_name"], "file");
  EXPECT_EQ(caption["effect_name"], "whirl");
  EXPECT_EQ(caption["text_colour_hex"], "#102030");
  EXPECT_EQ(items[0]["image_width"], 48);
  EXPECT_EQ(items[0]["image_height"], 32);
  EXPECT_EQ(items[0]["duration_seconds"], 4);
  EXPECT_EQ(items[0]["transition_effect"], 24);
  EXPECT_EQ(items[0]["transition_steps"], 10);
  EXPECT_EQ(items[0]["music_mode"], kMusicFile);
  EXPECT_EQ(caption["text"], "Hello\r\nCaf\u00E9 \u20AC");
  EXPECT_EQ(caption["text_effect"], 18);
  EXPECT_EQ(caption["top"], -3);
  EXPECT_EQ(caption["text_colour"], 0x302010);
  EXPECT_EQ(caption["alignment"], 1);
  EXPECT_EQ(caption["font"]["face"], "Arial");
  EXPECT_EQ(caption["font"]["underline"], 1);
  EXPECT_EQ(items[0]["captions"][1]["position"], 2);

  EXPECT_EQ(items[1]["type"], kItemVideo);
  EXPECT_EQ(items[1]["image_width"], 64);  // from the poster
  EXPECT_EQ(items[1]["music_mode"], kMusicCdTrack);
  EXPECT_EQ(items[1]["music_file"], "Track07.cda");
  EXPECT_EQ(items[2]["type"], kItemPowerPoint);
  EXPECT_EQ(items[2]["music_file"], "0");
  EXPECT_EQ(items[5]["media_file"] != items[0]["media_file"], true);  // one source, two names

  // The payload: markers right behind the player, files back to back to the end of the program.
  const Json& payload = json["payload"];
  EXPECT_EQ(Keys(payload),
            (std::set<std::string>{"film_start", "media_start", "film_size", "media"}));
  EXPECT_EQ(payload["film_start"], 5000 + kFilmMarkerSize);
  EXPECT_EQ(payload["media_start"].get<int64_t>(), payload["film_start"].get<int64_t>() +
                                                       payload["film_size"].get<int64_t>() +
                                                       static_cast<int64_t>(kMediaMarkerSize));
  const Json& media = payload["media"];
  const std::vector<std::pair<int, std::string>> expected = {
      {1, "media_file"}, {1, "music_file"},  {2, "poster_image"},
      {2, "media_file"}, {2, "end_picture"}, {3, "media_file"},
      {4, "media_file"}, {5, "media_file"},  {6, "media_file"}};
  ASSERT_EQ(media.size(), expected.size());
  int64_t offset = payload["media_start"];
  std::set<std::string> names;
  for (size_t i = 0; i < media.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Keys(media[i]), (std::set<std::string>{"item", "field", "name", "offset", "size"}));
    EXPECT_EQ(media[i]["item"], expected[i].first);
    EXPECT_EQ(media[i]["field"], expected[i].second);
    EXPECT_EQ(media[i]["offset"], offset);
    const std::string name = media[i]["name"];
    EXPECT_EQ(SizeFromCodedName(name), media[i]["size"].get<int64_t>());
    EXPECT_TRUE(IsSafeRelativeName(name)) << name;
    EXPECT_TRUE(names.insert(name).second) << name;
    offset += media[i]["size"].get<int64_t>();
  }
  EXPECT_EQ(offset, static_cast<int64_t>(program.size()));
  EXPECT_EQ(fs::path(media[3]["name"].get<std::string>()).extension(), ".avi");
  EXPECT_EQ(fs::path(media[1]["name"].get<std::string>()).extension(), ".mid");

  // Extraction gives back every source byte for byte; the progressive picture as its rewrite.
  const fs::path out = dir_.path() / "out";
  const ToolRun extract = Filmtool({"extract", show, "-d", out.string()});
  ASSERT_EQ(extract.status, 0) << extract.err;
  auto extracted = [&](size_t i) {
    return test::ReadBytes((out / media[i]["name"].get<std::string>()).string());
  };
  const std::vector<std::string> sources = {
      "pictures/one.jpg", "theme.mid", "poster.jpg",          "clip.avi",
      "end.jpg",          "deck.pps",  "pictures/two two.jpg"};
  for (size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(extracted(i), Bytes(sources[i])) << i;
  EXPECT_EQ(extracted(7), RewriteAsBaseline(Bytes("pictures/progressive.jpg")));
  EXPECT_EQ(extracted(8), Bytes("pictures/one.jpg"));
  EXPECT_EQ(test::ReadBytes((out / "Film.flm").string()),
            Slice(program, payload["film_start"], payload["film_size"]));

  // The extracted film file reads as the same film.
  const ToolRun bare = Filmtool({"inspect", (out / "Film.flm").string(), "--json"});
  ASSERT_EQ(bare.status, 0) << bare.err;
  Json withoutPayload = json;
  withoutPayload.erase("payload");
  EXPECT_EQ(Json::parse(bare.out), withoutPayload);

  const ToolRun listing = Filmtool({"inspect", show});
  ASSERT_EQ(listing.status, 0) << listing.err;
  EXPECT_NE(listing.out.find("Hello / Caf\u00E9 \u20AC"), std::string::npos) << listing.out;

  // The description extraction wrote builds the same film again.
  EXPECT_EQ(extract.err, "");
  const std::string again = dir_.File("again.exe");
  const ToolRun rebuild = Filmtool(
      {"build", (out / "film.toml").string(), "-o", again, "--player", dir_.File("player.exe")});
  ASSERT_EQ(rebuild.status, 0) << rebuild.err;
  EXPECT_EQ(Json::parse(Filmtool({"inspect", again, "--json"}).out), json);

  // Nothing is overwritten unless asked; the refusal comes before anything is written.
  fs::remove(out / "Film.flm");
  const ToolRun refused = Filmtool({"extract", show, "-d", out.string()});
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.err.find("exists; pass --force to overwrite it"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(out / "Film.flm"));
  EXPECT_EQ(Filmtool({"extract", show, "-d", out.string(), "--force"}).status, 0);
  EXPECT_TRUE(fs::exists(out / "Film.flm"));
}

// The elements at the root of a film file, in name order.
std::vector<std::string> RootNames(const fs::path& film) {
  GsfFilmStorage storage;
  std::vector<std::string> names;
  const std::unique_ptr<StorageNode> root = storage.OpenRoot(film.string());
  const std::unique_ptr<StorageEnumerator> elements = root ? root->Enumerate() : nullptr;
  StorageElement element;
  while (elements && elements->Next(element) == StorageEnumerator::Step::kElement) {
    names.push_back(element.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A film on a stage of its own shows it, keeps it through extract and build, and renders at its
// size unless told otherwise; a classic film's file holds no stage at all, as films never did.
TEST_F(FilmtoolRoundTrip, AFilmsStageTravelsThroughEveryCommand) {
  const std::string player = dir_.File("player.exe");
  const auto build = [&](const std::string& film, const std::string& stageLine) {
    const std::string text = "[film]\n" + stageLine + "\n[[item]]\nfile = \"pictures/one.jpg\"\n";
    Source(film + ".toml", {text.begin(), text.end()});
    const ToolRun run = Filmtool(
        {"build", dir_.File(film + ".toml"), "-o", dir_.File(film + ".exe"), "--player", player});
    EXPECT_EQ(run.status, 0) << run.err;
    const fs::path out = dir_.path() / (film + "-out");
    EXPECT_EQ(Filmtool({"extract", dir_.File(film + ".exe"), "-d", out.string()}).status, 0);
    return out;
  };
  const fs::path classic = build("classic", "");
  EXPECT_EQ(RootNames(classic / "Film.flm"),
            (std::vector<std::string>{"AUTOPLAY", "FILMLINK1", "LOOP"}));
  const std::vector<uint8_t> description = test::ReadBytes((classic / "film.toml").string());
  EXPECT_EQ(std::string(description.begin(), description.end()).find("stage"), std::string::npos);

  const fs::path screen = build("screen", "stage = \"screen\"");
  EXPECT_EQ(RootNames(screen / "Film.flm"),
            (std::vector<std::string>{"AUTOPLAY", "FILMLINK1", "LOOP", "STAGE"}));
  EXPECT_EQ(Json::parse(Filmtool({"inspect", dir_.File("screen.exe"), "--json"}).out)["stage"],
            "screen");
  EXPECT_NE(Filmtool({"inspect", dir_.File("screen.exe")}).out.find("stage of the screen's size"),
            std::string::npos);
  const ToolRun again = Filmtool(
      {"build", (screen / "film.toml").string(), "-o", dir_.File("again.exe"), "--player", player});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(Bytes("again.exe"), Bytes("screen.exe"));

  // Rendered at the film's own size, an odd side made even for the encoders.
  build("odd", "stage = \"801x601\"\nduration = 1\nsteps = 1");
  const ToolRun render =
      Filmtool({"render", dir_.File("odd.exe"), "-o", dir_.File("frames"), "--fps", "25"});
  ASSERT_EQ(render.status, 0) << render.err;
  EXPECT_NE(render.out.find(", 802x602;"), std::string::npos) << render.out;
}

TEST_F(FilmtoolRoundTrip, PlayersHoldingAMarkerAreRefused) {
  for (const bool film : {true, false}) {
    std::vector<uint8_t> player = test::WindowsProgram(Noise(100, 5));
    if (film) {
      const auto marker = FilmMarker();
      player.insert(player.begin() + 80, marker.begin(), marker.end());
    } else {
      const auto marker = MediaMarker();
      player.insert(player.end(), marker.begin(), marker.end());
    }
    Source("marked.exe", player);
    const ToolRun build = Filmtool({"build", dir_.File("film.toml"), "-o", dir_.File("show.exe"),
                                    "--player", dir_.File("marked.exe")});
    EXPECT_NE(build.status, 0);
    EXPECT_NE(build.err.find("marker"), std::string::npos) << build.err;
    EXPECT_FALSE(fs::exists(dir_.File("show.exe")));
  }
  // A built program is no bare player either.
  ASSERT_EQ(Filmtool({"build", dir_.File("film.toml"), "-o", dir_.File("show.exe"), "--player",
                      dir_.File("player.exe")})
                .status,
            0);
  EXPECT_NE(Filmtool({"build", dir_.File("film.toml"), "-o", dir_.File("again.exe"), "--player",
                      dir_.File("show.exe")})
                .status,
            0);
  EXPECT_FALSE(fs::exists(dir_.File("again.exe")));
}

TEST_F(FilmtoolRoundTrip, PlayersThatAreNoWindowsProgramAreRefused) {
  std::vector<uint8_t> noPe = test::WindowsProgram(Noise(300, 6));
  noPe[0x41] = 'X';
  std::vector<uint8_t> farPe = noPe;
  farPe[0x3D] = 0x10;  // the PE header would lie past the end
  for (const auto& [player, words] :
       {std::pair{Noise(300, 6), "does not start with \"MZ\""},
        std::pair{noPe, "leads to no PE header"}, std::pair{farPe, "leads to no PE header"},
        std::pair{std::vector<uint8_t>{'M', 'Z'}, "does not start with \"MZ\""}}) {
    SCOPED_TRACE(words);
    Source("odd.exe", player);
    const ToolRun build = Filmtool({"build", dir_.File("film.toml"), "-o", dir_.File("show.exe"),
                                    "--player", dir_.File("odd.exe")});
    EXPECT_EQ(build.status, 1);
    EXPECT_NE(build.err.find("odd.exe is not a Windows program"), std::string::npos) << build.err;
    EXPECT_NE(build.err.find(words), std::string::npos) << build.err;
    EXPECT_FALSE(fs::exists(dir_.File("show.exe")));
  }
}

// A player program assembled by hand around a film that names its media as given.
class HandMadeProgram : public ::testing::Test {
 protected:
  std::string Make(const std::vector<std::string>& names, size_t mediaBytes) {
    return Make(names, Noise(mediaBytes, 9));
  }
  std::string Make(const std::vector<std::string>& names, const std::vector<uint8_t>& media) {
    FilmDocument film;
    for (const std::string& name : names) {
      FilmItem item;
      item.itemType = kItemVideo;
      item.mediaFile = name;
      film.AddItem(item);
    }
    return Make(film, media);
  }
  // The film behind a bare player that `build` takes too (player.exe).
  std::string Make(const FilmDocument& film, const std::vector<uint8_t>& media) {
    const std::string filmPath = dir_.File("made.flm");
    std::string error;
    EXPECT_TRUE(WriteCompoundFile(MakeFilmTree(film), filmPath, error)) << error;
    std::vector<uint8_t> program = test::WindowsProgram({});
    test::WriteBytes(dir_.File("player.exe"), program);
    const auto filmMarker = FilmMarker();
    const auto mediaMarker = MediaMarker();
    program.insert(program.end(), filmMarker.begin(), filmMarker.end());
    const std::vector<uint8_t> filmBytes = test::ReadBytes(filmPath);
    program.insert(program.end(), filmBytes.begin(), filmBytes.end());
    program.insert(program.end(), mediaMarker.begin(), mediaMarker.end());
    program.insert(program.end(), media.begin(), media.end());
    const std::string path = dir_.File("made.exe");
    test::WriteBytes(path, program);
    return path;
  }

  test::TempDir dir_;
};

TEST_F(HandMadeProgram, ExtractRefusesNamesThatLeaveTheFolder) {
  const fs::path out = dir_.path() / "box" / "out";
  for (const std::string hostile :
       {"..\\..\\10.jpg", "../10.jpg", "sub/../../10.jpg", "/tmp/10.jpg", "\\10.jpg", "C:\\10.jpg",
        "c:10.jpg", ". .\\10.jpg"}) {
    SCOPED_TRACE(hostile);
    const std::string program = Make({"5-fine.avi", hostile}, 15);
    const ToolRun run = Filmtool({"extract", program, "-d", out.string()});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("refusing the media name"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out)) << "something was written";
    EXPECT_FALSE(fs::exists(dir_.path() / "10.jpg"));
  }
}

TEST_F(HandMadeProgram, ExtractWritesFoldersAndRefusesShortPayloads) {
  const fs::path out = dir_.path() / "out";
  const std::string program = Make({"3-a.avi", "sub\\4-b.avi", "deeper/5-c.avi"}, 12);
  const ToolRun run = Filmtool({"extract", program, "-d", out.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::ReadBytes((out / "3-a.avi").string()), Slice(Noise(12, 9), 0, 3));
  EXPECT_EQ(test::ReadBytes((out / "sub" / "4-b.avi").string()), Slice(Noise(12, 9), 3, 4));
  EXPECT_EQ(test::ReadBytes((out / "deeper" / "5-c.avi").string()), Slice(Noise(12, 9), 7, 5));

  // Sizes of 2^63 - 1 and more (which saturate) must not wrap round in the end checks.
  const fs::path none = dir_.path() / "none";
  for (const std::string big :
       {"100-b.avi", "9223372036854775807-b.avi", "99999999999999999999-b.avi"}) {
    SCOPED_TRACE(big);
    const std::string shortProgram = Make({"3-a.avi", big}, 50);
    const ToolRun refused = Filmtool({"extract", shortProgram, "-d", none.string()});
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("runs past the end"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(none));

    // Inspection still lists such a program, and marks the entry.
    const ToolRun listing = Filmtool({"inspect", shortProgram});
    EXPECT_EQ(listing.status, 0) << listing.err;
    EXPECT_NE(listing.out.find("runs past the end"), std::string::npos);
  }
}

// Everything that would stop an extraction half-way is seen before the first file is written.
TEST_F(HandMadeProgram, ExtractChecksEveryNameBeforeWriting) {
  const fs::path out = dir_.path() / "out";
  const std::string longName = "5-" + std::string(200, '\xE9') + ".avi";  // 400 bytes in UTF-8
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"5-x", "5-x\\5-y.avi"}, "needs a folder where the media file"},
      {{"5-x\\5-y.avi", "5-X"}, "is a file where the media file"},
      {{"5-a.avi", "Film.flm\\5-b.avi"}, "needs a folder where the film file"},
      {{"5-a.avi", "5-A.avi"}, "their bytes differ"},
      {{"5-a.avi", longName}, "at most 255"},
  };
  for (const auto& [names, words] : cases) {
    SCOPED_TRACE(words);
    const ToolRun run = Filmtool({"extract", Make(names, 10), "-d", out.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("nothing was extracted"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out));
  }

  // One name twice with the same bytes is one file.
  const std::vector<uint8_t> twice = {1, 2, 3, 4, 5, 1, 2, 3, 4, 5};
  const ToolRun same =
      Filmtool({"extract", Make({"5-a.avi", "5-a.avi"}, twice), "-d", out.string()});
  ASSERT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(test::ReadBytes((out / "5-a.avi").string()), Slice(twice, 0, 5));
  EXPECT_NE(same.out.find("the same file as item 1"), std::string::npos) << same.out;

  // A link in the folder would lead the write elsewhere, even where overwriting is asked for.
  fs::remove(out / "5-a.avi");
  test::WriteBytes(dir_.File("elsewhere"), {9});
  fs::create_symlink(dir_.File("elsewhere"), out / "5-a.avi");
  const ToolRun linked = Filmtool({"extract", Make({"5-a.avi"}, 5), "-d", out.string(), "--force"});
  EXPECT_NE(linked.err.find("symbolic link"), std::string::npos) << linked.err;
  EXPECT_EQ(test::ReadBytes(dir_.File("elsewhere")), std::vector<uint8_t>{9});
}

// A film written field by field, as no description made it (names that are sizes alone, texts
// in Windows-1252 with quotes, backslashes and an undefined byte, unusual fonts, the random
// effects, a CD track, a video fitted as given): its description builds the same film again;
// what a description cannot say is named.
TEST_F(HandMadeProgram, ItsDescriptionBuildsTheSameFilmAgain) {
  const std::vector<uint8_t> picture = test::CompressPicture({});
  const std::vector<uint8_t> poster = test::CompressPicture({.width = 16, .height = 16});
  const std::string pictureName = std::to_string(picture.size());
  FilmDocument film;
  film.SetLoopFlag(0);
  film.SetPlayMode(kPlayManual);
  FilmItem still;
  still.mediaFile = pictureName;
  still.musicFile = "Track11.cda";
  still.musicMode = kMusicCdTrack;
  still.imageWidth = 48;
  still.imageHeight = 32;
  still.durationSeconds = 86400;
  still.transitionEffect = kRandomTransition;
  still.transitionSteps = 1;
  film.AddItem(still);
  Caption caption;
  caption.text = "Caf\xE9 \x80 \x81 \"q\" \\\r\n\r\n# not a comment";
  caption.textEffect = kRandomCaptionEffect;
  caption.left = -20;
  caption.top = 700;
  caption.textColour = 0x00ABCDEF;
  caption.lineSpacing = 250;
  caption.alignment = 2;
  caption.shadow = 1;
  caption.font.height = 30;
  caption.font.width = 12;
  caption.font.escapement = -900;
  caption.font.weight = 900;
  caption.font.italic = 1;
  caption.font.strikeOut = 1;
  caption.font.charSet = 2;
  const std::string face = "Times \xC9";
  std::copy(face.begin(), face.end(), caption.font.faceName.begin());
  film.AddCaption(1, caption);
  film.AddCaption(1, Caption{.text = "", .font = caption.font});
  FilmItem video;
  video.itemType = kItemVideo;
  video.posterImage = std::to_string(poster.size()) + "-p.jpg";
  video.mediaFile = "3-v.avi";
  video.musicFile = "0";
  video.imageWidth = 320;
  video.imageHeight = 240;
  video.musicMode = kMusicStop;
  video.durationSeconds = 1;
  video.transitionSteps = 1000;
  film.AddItem(video);
  FilmItem show;
  show.itemType = kItemPowerPoint;
  show.mediaFile = "4";
  show.musicFile = "0";
  show.durationSeconds = 2;
  show.transitionEffect = 57;
  show.transitionSteps = 7;
  film.AddItem(show);

  std::vector<uint8_t> media = picture;
  media.insert(media.end(), poster.begin(), poster.end());
  for (const char* bytes : {"avi", "deck"}) media.insert(media.end(), bytes, bytes + strlen(bytes));
  const std::string program = Make(film, media);
  const fs::path out = dir_.path() / "out";
  const ToolRun extract = Filmtool({"extract", program, "-d", out.string()});
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(extract.err, "");
  const ToolRun build = Filmtool({"build", (out / "film.toml").string(), "-o",
                                  dir_.File("again.exe"), "--player", dir_.File("player.exe")});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(Filmtool({"inspect", dir_.File("again.exe"), "--json"}).out,
            Filmtool({"inspect", program, "--json"}).out);

  // A media folder, a music name of an item that plays none, a bare line feed: each is named.
  film.RemoveItem(3);
  FilmItem odd = film.GetItem(1);
  odd.mediaFolder = "C:\\pics";
  odd.musicMode = kMusicKeep;
  odd.musicFile = "";
  odd.captions.front().text = "a\nb";
  film.UpdateItem(1, odd);
  const ToolRun lossy =
      Filmtool({"extract", Make(film, media), "-d", (dir_.path() / "lossy").string()});
  ASSERT_EQ(lossy.status, 0) << lossy.err;
  for (const char* words :
       {"cannot say item 1: the media folder \"C:\\pics\"; a film built from it differs there",
        "item 1: the music file \"\" of music mode \"keep\"",
        "item 1, caption 1: a line break other than CR LF"}) {
    EXPECT_NE(lossy.err.find(words), std::string::npos) << words << "\n" << lossy.err;
  }
}

// Escape sequences, bells and line breaks in a film's names reach neither the terminal (listing,
// log, errors) nor the names of extracted files.
TEST_F(HandMadeProgram, ControlCharactersReachNeitherTheTerminalNorFileNames) {
  const std::string program = Make({"3-\x1B]0;title\x07.avi", "4-a\nb\x9D.avi"}, 7);
  const auto clean = [](const std::string& text) {
    return text.find_first_of("\x1B\x07") == std::string::npos &&
           text.find("\xC2\x9D") == std::string::npos;
  };
  const ToolRun listing = Filmtool({"inspect", program});
  ASSERT_EQ(listing.status, 0) << listing.err;
  EXPECT_TRUE(clean(listing.out)) << listing.out;
  EXPECT_NE(listing.out.find("3-\\x1B]0;title\\x07.avi"), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("4-a\\x0Ab\\u009D.avi"), std::string::npos) << listing.out;

  const fs::path out = dir_.path() / "out";
  const ToolRun extract = Filmtool({"extract", program, "-d", out.string()});
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_TRUE(clean(extract.out)) << extract.out;
  EXPECT_TRUE(fs::is_regular_file(out / "3-_]0;title_.avi"));
  EXPECT_TRUE(fs::is_regular_file(out / "4-a_b_.avi"));

  const ToolRun refused = Filmtool({"extract", Make({"..\\5\x1B[2J.avi"}, 5), "-d", out.string()});
  EXPECT_NE(refused.err.find("\\x1B[2J"), std::string::npos) << refused.err;
  EXPECT_TRUE(clean(refused.err)) << refused.err;
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Roff writes every hyphen of an option as a minus sign.
std::string RoffOption(const std::string& option) {
  std::string roff;
  for (const char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
  return roff;
}

// The manual page and the bash completion are written from the help texts: every command and
// every option its --help lists is in both, and the completion is a script bash can read.
TEST(FilmtoolCommandLine, HelpManualAndCompletionAgree) {
  test::TempDir dir;
  const std::string man = dir.File("filmtool.1");
  const std::string completion = dir.File("filmtool.bash");
  ASSERT_EQ(Filmtool({"help-pages", "--man", man, "--bash-completion", completion}).status, 0);
  const std::string manText = ReadText(man);
  const std::string completionText = ReadText(completion);
  for (const char* command :
       {"build", "new", "inspect", "extract", "decode", "transition", "list"}) {
    const ToolRun help = Filmtool({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("Usage"), std::string::npos) << command;
    EXPECT_NE(manText.find(std::string(".SS \"filmtool ") + command), std::string::npos);
    EXPECT_NE(completionText.find(std::string("    ") + command + ")"), std::string::npos);
    std::istringstream words(help.out);
    for (std::string word; words >> word;) {
      if (word.rfind("--", 0) != 0 || word.size() < 3) continue;
      // The option's name, without what prose or a list puts after it: "--steps)," or "--x=N".
      word = word.substr(0, word.find_first_not_of("-abcdefghijklmnopqrstuvwxyz0123456789"));
      EXPECT_NE(manText.find(RoffOption(word)), std::string::npos) << command << " " << word;
      EXPECT_NE(completionText.find(word + " "), std::string::npos) << command << " " << word;
    }
  }
  EXPECT_EQ(manText.find(".SS \"filmtool help-pages"), std::string::npos);  // not for users
  EXPECT_EQ(std::system(("bash -n '" + completion + "'").c_str()), 0);
}

TEST(FilmtoolCommandLine, HelpAndUsageErrors) {
  EXPECT_NE(Filmtool({}).status, 0);
  EXPECT_NE(Filmtool({"play"}).status, 0);
  EXPECT_NE(Filmtool({"extract", "x.exe"}).status, 0);  // no -d
  const ToolRun version = Filmtool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("filmtool ") && std::isdigit(version.out[9])) << version.out;

  test::TempDir dir;
  test::WriteBytes(dir.File("plain.bin"), Noise(200, 7));
  const ToolRun notAFilm = Filmtool({"inspect", dir.File("plain.bin")});
  EXPECT_NE(notAFilm.status, 0);
  EXPECT_NE(notAFilm.err.find("neither a film file nor a player program"), std::string::npos);
}

// `list` prints each table row in order, its name and index first, and nothing else.
TEST(FilmtoolCommandLine, ListsTheNamesOfItsTables) {
  const struct {
    const char* topic;
    int count;
    const char* (*nameOf)(int);
  } tables[] = {{"transitions", kTransitionCount, &TransitionName},
                {"captions", kCaptionEffectCount, &CaptionEffectName},
                {"keys", static_cast<int>(PlayerKeys().size()),
                 [](int i) { return PlayerKeys()[static_cast<size_t>(i)].name; }}};
  for (const auto& table : tables) {
    SCOPED_TRACE(table.topic);
    const ToolRun run = Filmtool({"list", table.topic});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    int count = 0;
    for (; std::getline(lines, line); ++count) {
      std::istringstream words(line);
      std::string name;
      std::string index;
      words >> name >> index;
      ASSERT_LT(count, table.count) << line;
      EXPECT_EQ(name, table.nameOf(count));
      if (std::string(table.topic) != "keys") {
        EXPECT_EQ(index, std::to_string(count));
      }
    }
    EXPECT_EQ(count, table.count);
  }
  EXPECT_NE(Filmtool({"list", "fonts"}).status, 0);
}

// A film of thousands of items: written with balanced element trees (ole32, and so the player,
// walks them once per look-up; libgsf's own chains took the player 100 s for 10,000 items) and
// read back whole.
TEST(FilmtoolManyItems, WritesBalancedTreesAndReadsThemQuickly) {
  test::TempDir dir;
  constexpr int kItems = 4000;
  FilmDocument film;
  for (int n = 0; n < kItems; ++n) {
    FilmItem item;
    item.mediaFile = "10-p" + std::to_string(n) + ".jpg";
    film.AddItem(item);
  }
  const std::string path = dir.File("many.flm");
  std::string error;
  ASSERT_TRUE(WriteCompoundFile(MakeFilmTree(film), path, error)) << error;
  EXPECT_EQ(DirectoryTreeHeight(path), 12);  // 4,002 elements at the root

  const ToolRun inspect = Filmtool({"inspect", "--json", path});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  const Json json = Json::parse(inspect.out);
  ASSERT_EQ(json["items"].size(), static_cast<size_t>(kItems));
  EXPECT_EQ(json["items"][kItems - 1]["media_file"], "10-p3999.jpg");
}

// What is not a regular file is refused before it is read: a folder, a device that never ends.
// A failed write says why.
TEST(FilmtoolCommandLine, RefusesWhatIsNoFileAndSaysWhyAWriteFailed) {
  test::TempDir dir;
  const std::string folder = dir.path().string();
  const std::vector<std::vector<std::string>> runs = {
      {"inspect", folder},
      {"inspect", "/dev/zero"},
      {"extract", "/dev/zero", "-d", dir.File("out")},
      {"decode", folder, "-o", dir.File("x.bmp")},
  };
  for (const std::vector<std::string>& args : runs) {
    const ToolRun run = Filmtool(args);
    EXPECT_EQ(run.status, 1) << args[1];
    EXPECT_NE(run.err.find(args[1] == folder ? "it is a folder" : "not a regular file"),
              std::string::npos)
        << run.err;
  }
  test::WriteBytes(dir.File("picture.jpg"), test::CompressPicture({}));
  const ToolRun decode =
      Filmtool({"decode", dir.File("picture.jpg"), "-o", dir.File("picture.jpg/x.bmp")});
  EXPECT_NE(decode.err.find("cannot write " + dir.File("picture.jpg/x.bmp") + ": Not a directory"),
            std::string::npos)
      << decode.err;
}

// A damaged film file makes libgsf complain; what it says reaches our error text, never the
// terminal in its own words.
TEST_F(HandMadeProgram, CompoundFileDamageIsToldInOurWords) {
  const std::string program = Make({"5-a.avi"}, 5);
  std::vector<uint8_t> bytes = test::ReadBytes(program);
  // The first item's record claims more bytes than its chain of small blocks holds.
  const std::string name = {'F', 0, 'I', 0, 'L', 0, 'M', 0, 'I', 0, 'T', 0, 'E', 0, 'M', 0};
  const auto entry = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
  ASSERT_NE(entry, bytes.end());
  entry[120] = 0xB8;  // stream size 3000 (0x0BB8) in place of 1328
  entry[121] = 0x0B;
  test::WriteBytes(program, bytes);
  testing::internal::CaptureStderr();
  const ToolRun run = Filmtool({"inspect", program});
  const std::string direct = testing::internal::GetCapturedStderr();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("could not be read completely (the compound-file reader says: "
                         "libgsf:msole: Small-block file 'FILMITEM' has insufficient blocks"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(direct, "");
}

TEST(MediaNames, CarryTheSizeAndStayUniqueAndSafe) {
  MediaNamer namer;
  EXPECT_EQ(namer.Name(23725, "Photos/Harbour at dusk.JPG"), "23725-Harbour_at_dusk.JPG");
  EXPECT_EQ(namer.Name(23725, "other/harbour AT dusk.jpg"), "23725-harbour_AT_dusk-2.jpg");
  EXPECT_EQ(namer.Name(10, "2019.mid"), "10-2019.mid");
  EXPECT_EQ(namer.Name(10, "\xC3\xA9t\xC3\xA9.wav"), "10-t.wav");  // non-ASCII dropped
  EXPECT_EQ(namer.Name(7, "..."), "7");
  EXPECT_EQ(namer.Name(7, "odd.ext-ension"), "7-odd");
  // A file extracted from a film keeps its film name when its size still matches.
  EXPECT_EQ(namer.Name(42, "out/42-sea_2.JPG"), "42-sea_2.JPG");
  EXPECT_EQ(namer.Name(43, "out/42-sea_2.JPG"), "43-42-sea_2.JPG");
  EXPECT_EQ(namer.Name(4, "out/42.jpg"), "4-42.jpg");
  const std::string longName = namer.Name(5, std::string(300, 'n') + ".avi");
  EXPECT_LT(longName.size(), 50u);
  for (const std::string& name : {longName, namer.Name(123, "a b/c d.pps")}) {
    EXPECT_GT(SizeFromCodedName(name), 0);
    EXPECT_TRUE(IsSafeRelativeName(name));
  }

  // One picture behind many items: each copy takes the next free number at once (trying every
  // number afresh took 13 s for 10,000 copies). A name already taken is stepped over.
  EXPECT_EQ(namer.Name(9, "x-3.jpg"), "9-x-3.jpg");
  EXPECT_EQ(namer.Name(9, "x.jpg"), "9-x.jpg");
  EXPECT_EQ(namer.Name(9, "x.jpg"), "9-x-2.jpg");
  EXPECT_EQ(namer.Name(9, "X.JPG"), "9-X-4.JPG");
  std::string last;
  for (int copy = 5; copy <= 20000; ++copy) last = namer.Name(9, "x.jpg");
  EXPECT_EQ(last, "9-x-20000.jpg");
}

}  // namespace
}  // namespace lumafolio
