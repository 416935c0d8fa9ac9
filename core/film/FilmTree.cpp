#include "core/film/FilmTree.h"

#include "core/film/FilmRecords.h"
#include "core/film/LittleEndian.h"

namespace lumafolio {
namespace {

std::vector<uint8_t> Int32Bytes(int32_t value) {
  std::vector<uint8_t> bytes(4);
  WriteLe32(bytes.data(), value);
  return bytes;
}

template <size_t N>
std::vector<uint8_t> ToVector(const std::array<uint8_t, N>& record) {
  return {record.begin(), record.end()};
}

}  // namespace

CompoundElement CompoundElement::Stream(std::string name, std::vector<uint8_t> bytes) {
  CompoundElement element;
  element.name = std::move(name);
  element.bytes = std::move(bytes);
  return element;
}

CompoundElement CompoundElement::Storage(std::string name, std::vector<CompoundElement> children) {
  CompoundElement element;
  element.name = std::move(name);
  element.isStorage = true;
  element.children = std::move(children);
  return element;
}

bool IsValidElementName(const std::string& name) {
  return !name.empty() && name.size() <= 31 && name.find_first_of("/\\:!") == std::string::npos;
}

CompoundElement MakeFilmTree(const FilmDocument& film) {
  CompoundElement root = CompoundElement::Storage("Root Entry");
  root.children.push_back(CompoundElement::Stream("LOOP", Int32Bytes(film.LoopByte())));
  root.children.push_back(CompoundElement::Stream("AUTOPLAY", Int32Bytes(film.PlayMode())));
  // A classic film's file stays exactly as such films have always been written.
  if (film.Stage() != FilmStage{}) {
    const std::string text = StageStreamText(film.Stage());
    root.children.push_back(CompoundElement::Stream(kStageStreamName, {text.begin(), text.end()}));
  }
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    const FilmItem item = film.GetItem(position);
    CompoundElement link = CompoundElement::Storage("FILMLINK" + std::to_string(position));
    link.children.push_back(
        CompoundElement::Stream("FILMITEM", ToVector(EncodeFilmItemRecord(item))));
    if (!item.captions.empty()) {
      CompoundElement list = CompoundElement::Storage("TEXTLIST");
      int32_t number = 1;
      for (const Caption& caption : item.captions) {
        list.children.push_back(CompoundElement::Stream(
            "TEXT" + std::to_string(number), ToVector(EncodeCaptionRecord(caption, number))));
        ++number;
      }
      link.children.push_back(std::move(list));
    }
    root.children.push_back(std::move(link));
  }
  return root;
}

}  // namespace lumafolio
