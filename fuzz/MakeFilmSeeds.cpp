// Writes the seed corpus of one of the film targets: film files written by libgsf (film_gsf),
// the same films as storage scripts (film_scripted), player programs carrying them with their
// media (payload) and film descriptions using every key (description). Some seeds are damaged
// on purpose, so that the fuzzer starts from the refusals too.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/film/CompoundTree.h"
#include "core/film/FilmTree.h"
#include "core/payload/PlayerPayload.h"
#include "fuzz/ScriptedStorage.h"

namespace {

namespace fs = std::filesystem;
using namespace lumafolio;
using Bytes = std::vector<uint8_t>;

void Save(const fs::path& file, const Bytes& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void Save(const fs::path& file, const std::string& text) {
  Save(file, Bytes(text.begin(), text.end()));
}

Caption MakeCaption(const std::string& text, int32_t n) {
  Caption caption;
  caption.text = text;
  caption.textEffect = n % 28;
  caption.left = 40 * n;
  caption.top = 400;
  caption.font.height = -60;
  caption.font.weight = 700;
  std::strcpy(caption.font.faceName.data(), "Arial");
  caption.textColour = 0x00FFD700;
  return caption;
}

// Films small and large, with every kind of item, caption and music; names size-coded so that
// a player program can carry their media.
struct Film {
  std::string name;
  std::vector<FilmItem> items;
  uint8_t loop = 1;
  int32_t playMode = kPlayTimed;
  FilmStage stage = {};
};

std::vector<Film> Films() {
  std::vector<Film> films;
  films.push_back({"empty", {}, 0, kPlayManual});

  FilmItem picture;
  picture.mediaFile = "12-harbour.jpg";
  picture.mediaFolder = "LumafolioFilmPath";
  picture.musicFile = "0";
  picture.imageWidth = 640;
  picture.imageHeight = 480;
  picture.durationSeconds = 5;
  picture.transitionEffect = 23;
  picture.transitionSteps = 23;
  films.push_back({"one-picture", {picture}});

  FilmItem captioned = picture;
  captioned.mediaFile = "pictures\\7-boat.jpg";
  captioned.captions = {MakeCaption("Two lines\r\nof text", 1), MakeCaption("Caf\xE9", 2)};
  FilmItem video = picture;
  video.itemType = kItemVideo;
  video.mediaFile = "20-clip.avi";
  video.posterImage = "9-still.jpg";
  video.endPicture = "6-end.jpg";
  video.musicMode = kMusicFile;
  video.musicFile = "music/15-theme.mid";
  FilmItem cd = picture;
  cd.musicMode = kMusicCdTrack;
  cd.musicFile = "Track02.cda";
  FilmItem same = picture;
  same.mediaFile = "12-HARBOUR.jpg";
  films.push_back({"every-kind", {captioned, video, cd, same}});
  films.push_back({"screen-stage", {captioned, picture}, 1, kPlayTimed, *ParseFilmStage("screen")});
  films.push_back({"sized-stage", {picture}, 0, kPlayManual, *ParseFilmStage("1921x1081")});

  Film many{"many-items", {}};
  for (int i = 0; i < 40; ++i) {
    FilmItem item = picture;
    item.mediaFile = std::to_string(3 + i % 5) + "-p" + std::to_string(i) + ".jpg";
    item.transitionEffect = i % 59;
    if (i % 7 == 0) item.captions = {MakeCaption("caption " + std::to_string(i), i)};
    many.items.push_back(item);
  }
  films.push_back(many);
  return films;
}

CompoundElement Tree(const Film& film) {
  FilmDocument document;
  document.SetLoopFlag(film.loop);
  document.SetPlayMode(film.playMode);
  document.SetStage(film.stage);
  for (const FilmItem& item : film.items) document.AddItem(item);
  return MakeFilmTree(document);
}

Bytes FilmFile(const Film& film, const fs::path& scratch) {
  std::string error;
  if (!WriteCompoundFile(Tree(film), scratch.string(), error)) {
    std::fprintf(stderr, "film_fuzz_seeds: %s\n", error.c_str());
    std::exit(1);
  }
  std::ifstream in(scratch, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void FilmGsfSeeds(const fs::path& folder) {
  for (const Film& film : Films()) {
    const Bytes bytes = FilmFile(film, folder / "scratch");
    Save(folder / (film.name + ".flm"), bytes);
    // Cut short in its directory and in its streams, and with a damaged allocation table.
    Save(folder / (film.name + "-cut.flm"), Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
    Bytes damaged = bytes;
    for (size_t at = 512; at < damaged.size(); at += 997) damaged[at] ^= 0x5A;
    Save(folder / (film.name + "-damaged.flm"), damaged);
  }
  fs::remove(folder / "scratch");
}

void FilmScriptedSeeds(const fs::path& folder) {
  for (const Film& film : Films()) {
    CompoundElement tree = Tree(film);
    Save(folder / (film.name + ".script"), fuzz::EncodeScript(tree));
    // Without its play settings, and with a gap in its item numbers.
    tree.children.erase(tree.children.begin());
    Save(folder / (film.name + "-no-loop.script"), fuzz::EncodeScript(tree));
    if (tree.children.size() > 2) {
      tree.children[2].name = "FILMLINK99";
      Save(folder / (film.name + "-gap.script"), fuzz::EncodeScript(tree));
    }
  }
}

// Media bytes for a size-coded name: as many as the name says.
Bytes MediaFor(const std::string& name) {
  const size_t slash = name.find_last_of("\\/");
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  return Bytes(static_cast<size_t>(std::atoi(base.c_str())), static_cast<uint8_t>(base[0]));
}

void PayloadSeeds(const fs::path& folder) {
  const auto filmMarker = FilmMarker();
  const auto mediaMarker = MediaMarker();
  const std::string playerText = "MZ a player program's own bytes, with no marker in them";
  for (const Film& film : Films()) {
    Bytes program(playerText.begin(), playerText.end());
    program.insert(program.end(), filmMarker.begin(), filmMarker.end());
    const Bytes filmBytes = FilmFile(film, folder / "scratch");
    program.insert(program.end(), filmBytes.begin(), filmBytes.end());
    program.insert(program.end(), mediaMarker.begin(), mediaMarker.end());
    for (const FilmItem& item : film.items) {
      for (const std::string* name :
           {&item.posterImage, &item.mediaFile, &item.endPicture, &item.musicFile}) {
        if (name == &item.musicFile && item.musicMode == kMusicCdTrack) continue;
        const Bytes media = MediaFor(*name);
        program.insert(program.end(), media.begin(), media.end());
      }
    }
    Save(folder / (film.name + ".exe"), program);
    // Its media cut short, and a bare film file.
    Save(folder / (film.name + "-cut.exe"), Bytes(program.begin(), program.end() - 5));
    Save(folder / (film.name + ".flm"), filmBytes);
  }
  fs::remove(folder / "scratch");
}

void DescriptionSeeds(const fs::path& folder) {
  Save(folder / "small.toml", std::string(R"([[item]]
file = "a.jpg"
)"));
  Save(folder / "every-key.toml", std::string(R"([film]
loop = false
play_mode = "manual"
stage = "1920x1080"

[[item]]
type = "picture"
file = "pictures/harbour.jpg"
duration = 7
transition = "push-left"
steps = 40
music = "sound/theme.MID"
music_mode = "file"

[[item.caption]]
text = """
Café €5
second line"""
effect = "letters-down"
left = -20
top = 500
colour = "#FFD700"
line_spacing = 120
alignment = "right"
shadow = true
font = { face = "Comic Sans MS", height = -40, width = 0, escapement = 0, orientation = 0, weight = 700, italic = true, underline = false, strike_out = false, charset = 0, out_precision = 3, clip_precision = 2, quality = 1, pitch_and_family = 0x42 }

[[item.caption]]
text = ["one", "two", ""]
effect = 3
alignment = "center"

[[item]]
type = "video"
file = "clip.avi"
poster = "still.jpg"
end_picture = "end.jpg"
image_width = 320
image_height = 240
music_mode = "cd"
music = 2

[[item]]
type = "powerpoint"
file = "deck.pps"
music_mode = "stop"
transition = 7

[[item]]
file = "b.jpg"
music = "Track05.cda"
transition = "random"
)"));
  Save(folder / "refused.toml", std::string(R"([film]
loop = "yes"
[[item]]
file = ""
colour = "#12345"
)"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: film_fuzz_seeds film_gsf|film_scripted|payload|description FOLDER\n");
    return 2;
  }
  const std::string target = argv[1];
  const fs::path folder = argv[2];
  fs::create_directories(folder);
  if (target == "film_gsf") {
    FilmGsfSeeds(folder);
  } else if (target == "film_scripted") {
    FilmScriptedSeeds(folder);
  } else if (target == "payload") {
    PayloadSeeds(folder);
  } else if (target == "description") {
    DescriptionSeeds(folder);
  } else {
    std::fprintf(stderr, "film_fuzz_seeds: unknown target %s\n", argv[1]);
    return 2;
  }
  return 0;
}
