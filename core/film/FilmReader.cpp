// Reading a film file into the document. The reading order and every failure result follow the
// player's long-standing behaviour, which stored films rely on: items are found by counting the
// root's storages and opening "FILMLINK"n by number, captions by counting TEXTLIST's elements
// and opening "TEXT"m by number. The stage is read beside the play settings; it never makes a
// film unreadable.
#include "core/film/FilmDocument.h"
#include "core/film/FilmRecords.h"
#include "core/film/FilmStorage.h"
#include "core/film/LittleEndian.h"

namespace lumafolio {
namespace {

constexpr const char* kFilmPathFolder = "LumafolioFilmPath";

// Reads exactly `size` bytes from the named stream; false on a missing stream, an error or a
// short read.
bool ReadWholeStream(StorageNode& storage, const std::string& name, uint8_t* buffer, size_t size) {
  std::unique_ptr<StorageStream> stream = storage.OpenStream(name);
  if (!stream) return false;
  size_t read = 0;
  return stream->Read(buffer, size, read) && read == size;
}

bool ReadInt32Stream(StorageNode& storage, const std::string& name, int32_t& value) {
  uint8_t bytes[4];
  if (!ReadWholeStream(storage, name, bytes, sizeof bytes)) return false;
  value = ReadLe32(bytes);
  return true;
}

// The folder of the film file, without its trailing separator.
std::string FilmFolder(const std::string& path) {
  const size_t slash = path.rfind('\\');
  if (slash == std::string::npos || slash == 0) return path;
  return path.substr(0, slash);
}

// The stage's settings are a few short lines; a stream far longer than that is not ours.
constexpr size_t kMaxStageStreamSize = 4096;

FilmStage ReadStage(StorageNode& root) {
  std::unique_ptr<StorageStream> stream = root.OpenStream(kStageStreamName);
  if (!stream) return {};
  std::string text(kMaxStageStreamSize + 1, '\0');
  size_t size = 0;
  while (size < text.size()) {
    size_t read = 0;
    if (!stream->Read(text.data() + size, text.size() - size, read)) return {};
    if (read == 0) break;
    size += read;
  }
  if (size > kMaxStageStreamSize) return {};
  text.resize(size);
  return StageFromStreamText(text);
}

void ReadCaptions(FilmDocument& film, int32_t itemPosition, StorageEnumerator& elements,
                  StorageNode& textList) {
  StorageElement element;
  for (int32_t number = 1; elements.Next(element) == StorageEnumerator::Step::kElement; ++number) {
    CaptionRecord record;
    if (!ReadWholeStream(textList, "TEXT" + std::to_string(number), record.data(), record.size())) {
      return;  // a gap or a short record ends this item's captions
    }
    film.AddCaption(itemPosition, DecodeCaptionRecord(record));
  }
}

}  // namespace

bool FilmDocument::ReadFilm(const std::string& path, FilmStorage& storage, void (*pumpMessage)()) {
  std::unique_ptr<StorageNode> root = storage.OpenRoot(path);
  if (!root) return false;

  int32_t loop = 0;
  if (!ReadInt32Stream(*root, "LOOP", loop)) return false;
  SetLoopFlag(loop);
  int32_t mode = 0;
  if (!ReadInt32Stream(*root, "AUTOPLAY", mode)) return false;
  SetPlayMode(mode);
  SetStage(ReadStage(*root));

  std::unique_ptr<StorageEnumerator> elements = root->Enumerate();
  if (!elements) return false;

  int32_t count = 0;
  for (;;) {
    if (pumpMessage) pumpMessage();
    StorageElement element;
    const StorageEnumerator::Step step = elements->Next(element);
    if (step == StorageEnumerator::Step::kEnd) return true;
    if (step == StorageEnumerator::Step::kError) return false;
    if (element.kind == ElementKind::kStream) continue;

    // Any other element stands for one more item, whatever its name.
    ++count;
    std::unique_ptr<StorageNode> link = root->OpenStorage("FILMLINK" + std::to_string(count));
    if (!link) return false;
    FilmItemRecord record;
    if (!ReadWholeStream(*link, "FILMITEM", record.data(), record.size())) return false;

    FilmItem item = DecodeFilmItemRecord(record);
    if (item.mediaFolder == kFilmPathFolder) item.mediaFolder = FilmFolder(path);
    const int32_t position = AddItem(item);

    std::unique_ptr<StorageNode> textList = link->OpenStorage("TEXTLIST");
    if (!textList) continue;  // an item without captions
    std::unique_ptr<StorageEnumerator> captions = textList->Enumerate();
    if (!captions) return false;
    ReadCaptions(*this, position, *captions, *textList);
  }
}

}  // namespace lumafolio
