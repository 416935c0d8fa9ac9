// libFuzzer target for the film reader on its own: the storage tree is decoded from the input
// (ScriptedStorage.h), so our reading meets trees that no compound-file library would hand it.
// Besides reading without a memory fault, a film must come out whole and consistent: positions
// 1..n, a film that reads completely has one item per storage of the root, and what was read,
// written again as a film tree and read back, is the same film, on the same stage.
#include <cstdint>
#include <string>

#include "core/film/FilmDocument.h"
#include "core/film/FilmRecords.h"
#include "core/film/FilmTree.h"
#include "fuzz/ScriptedStorage.h"

namespace {

using namespace lumafolio;

// The path a player reads its film from: its folder stands in for the media folder
// "LumafolioFilmPath".
constexpr const char* kPath = "C:\\Films\\Film.flm";

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckPositions(const FilmDocument& film) {
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    const FilmItem item = film.GetItem(position);
    Check(item.position == position);
    int32_t number = 1;
    for (const Caption& caption : item.captions) Check(caption.position == number++);
  }
}

// A text as writing it to its field and reading it back gives it: cut to leave room for the NUL.
std::string Cut(const std::string& text, size_t width) { return text.substr(0, width - 1); }

FilmItem AsWritten(FilmItem item) {
  item.mediaFile = Cut(item.mediaFile, kMediaFileWidth);
  item.mediaFolder = Cut(item.mediaFolder, kPathFieldWidth);
  item.posterImage = Cut(item.posterImage, kPathFieldWidth);
  item.endPicture = Cut(item.endPicture, kPathFieldWidth);
  item.musicFile = Cut(item.musicFile, kPathFieldWidth);
  for (Caption& caption : item.captions) caption.text = Cut(caption.text, kCaptionTextWidth);
  return item;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input(data, size);
  const fuzz::ScriptedElement root = fuzz::ParseScript(input);
  fuzz::ScriptedFilmStorage storage(root);
  FilmDocument film;
  const bool readOk = film.ReadFilm(kPath, storage);
  CheckPositions(film);
  if (!readOk) return 0;

  int32_t storages = 0;
  for (const fuzz::ScriptedElement& element : root.children) {
    if (element.kind != ElementKind::kStream) ++storages;
  }
  Check(film.ItemCount() == storages);

  // A script holds at most 255 elements per storage, which every film read from one fits.
  Check(film.ItemCount() <= 253);
  const fuzz::ScriptedElement written = [&film] {
    const std::vector<uint8_t> script = fuzz::EncodeScript(MakeFilmTree(film));
    fuzz::FuzzInput again(script.data(), script.size());
    return fuzz::ParseScript(again);
  }();
  fuzz::ScriptedFilmStorage writtenStorage(written);
  FilmDocument reread;
  Check(reread.ReadFilm(kPath, writtenStorage));
  Check(reread.LoopByte() == film.LoopByte() && reread.PlayMode() == film.PlayMode() &&
        reread.Stage() == film.Stage());
  Check(reread.ItemCount() == film.ItemCount());
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    Check(reread.GetItem(position) == AsWritten(film.GetItem(position)));
  }
  return 0;
}
