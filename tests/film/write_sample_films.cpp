// Writes a set of film files with libgsf, well-formed and damaged, into the folder given as the
// first argument. The Windows build reads the same files through ole32 and must see the same film.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/film/CompoundTree.h"
#include "core/film/FilmRecords.h"
#include "core/film/FilmTree.h"
#include "core/film/LittleEndian.h"

namespace lumafolio {
namespace {

FilmItem Item(int32_t type, const std::string& media, int32_t n) {
  FilmItem item;
  item.itemType = type;
  item.mediaFile = media;
  item.musicFile = "0";
  item.imageWidth = 600 + n;
  item.imageHeight = 400 + n;
  item.durationSeconds = n;
  item.transitionEffect = n % 59;
  item.transitionSteps = 10 + n;
  item.musicMode = n % 4;
  item.position = 100 + n;  // stored positions are ignored on reading
  return item;
}

Caption MakeCaption(const std::string& text, int32_t n) {
  Caption caption;
  caption.textEffect = n % 28;
  caption.text = text;
  caption.left = 10 * n;
  caption.top = -5 * n;
  caption.font.height = -60 - n;
  caption.font.width = n;
  caption.font.escapement = 900;
  caption.font.orientation = 900;
  caption.font.weight = 700;
  caption.font.italic = 1;
  caption.font.underline = static_cast<uint8_t>(n & 1);
  caption.font.strikeOut = 0;
  caption.font.charSet = 0;
  caption.font.outPrecision = 3;
  caption.font.clipPrecision = 2;
  caption.font.quality = 1;
  caption.font.pitchAndFamily = 0x42;
  std::strcpy(caption.font.faceName.data(), "Comic Sans MS");
  caption.textColour = 0x00336699u + static_cast<uint32_t>(n);
  caption.lineSpacing = 120;
  caption.alignment = n % 3;
  caption.shadow = n & 1;
  return caption;
}

CompoundElement Settings(CompoundElement root, uint32_t loop, int32_t mode) {
  std::vector<uint8_t> loopBytes(4), modeBytes(4);
  WriteLe32(loopBytes.data(), static_cast<int32_t>(loop));
  WriteLe32(modeBytes.data(), mode);
  for (CompoundElement& child : root.children) {
    if (child.name == "LOOP") child.bytes = loopBytes;
    if (child.name == "AUTOPLAY") child.bytes = modeBytes;
  }
  return root;
}

CompoundElement* Child(CompoundElement& storage, const std::string& name) {
  for (CompoundElement& child : storage.children) {
    if (child.name == name) return &child;
  }
  return nullptr;
}

bool Write(const std::string& folder, const std::string& name, const CompoundElement& root) {
  std::string error;
  if (WriteCompoundFile(root, folder + "/" + name, error)) return true;
  std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
  return false;
}

}  // namespace
}  // namespace lumafolio

int main(int argc, char** argv) {
  using namespace lumafolio;
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_sample_films FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];

  FilmDocument full;
  full.SetPlayMode(kPlayManual);
  full.AddItem(Item(kItemPicture, "23725", 1));
  FilmItem video = Item(kItemVideo, "4096-clip.avi", 2);
  video.posterImage = "50-poster.jpg";
  video.endPicture = "60-end.jpg";
  video.musicFile = "1234-song.wav";
  full.AddItem(video);
  FilmItem show = Item(kItemPowerPoint, "777-show.pps", 3);
  show.mediaFolder = "C:\\Shows";
  show.musicFile = "D:\\Track02.cda";
  full.AddItem(show);
  for (int n = 4; n <= 12; ++n) full.AddItem(Item(kItemPicture, std::to_string(n * 1000), n));
  full.AddCaption(1, MakeCaption("Caf\xE9 \x80 \xA9 1999\r\nsecond line", 1));
  full.AddCaption(1, MakeCaption(std::string(255, 'W'), 2));
  full.AddCaption(11, MakeCaption("eleven", 3));

  FilmDocument small;
  small.AddItem(Item(kItemPicture, "100", 1));
  small.AddItem(Item(kItemPicture, "200", 2));
  small.AddItem(Item(kItemPicture, "300", 3));
  small.AddCaption(1, MakeCaption("one", 1));
  small.AddCaption(1, MakeCaption("two", 2));
  small.AddCaption(1, MakeCaption("three", 3));

  bool ok = Write(folder, "full.flm", MakeFilmTree(full));
  ok = Write(folder, "loop-high-bytes.flm", Settings(MakeFilmTree(small), 0xDB4ADC01u, 729)) && ok;

  CompoundElement gap = MakeFilmTree(small);
  gap.children.erase(gap.children.begin() + 3);  // FILMLINK2
  ok = Write(folder, "item-gap.flm", gap) && ok;

  CompoundElement extra = MakeFilmTree(small);
  extra.children.push_back(CompoundElement::Storage("Extras"));
  ok = Write(folder, "extra-storage.flm", extra) && ok;

  CompoundElement textGap = MakeFilmTree(small);
  CompoundElement* list = Child(*Child(textGap, "FILMLINK1"), "TEXTLIST");
  Child(*list, "TEXT3")->name = "TEXT4";
  ok = Write(folder, "text-gap.flm", textGap) && ok;

  CompoundElement shortItem = MakeFilmTree(small);
  Child(*Child(shortItem, "FILMLINK3"), "FILMITEM")->bytes.resize(1000);
  ok = Write(folder, "short-item.flm", shortItem) && ok;

  CompoundElement noLoop = MakeFilmTree(small);
  noLoop.children.erase(noLoop.children.begin());
  ok = Write(folder, "no-loop.flm", noLoop) && ok;
  return ok ? 0 : 1;
}
