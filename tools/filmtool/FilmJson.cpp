#include "tools/filmtool/FilmJson.h"

#include <string>

#include "tools/filmtool/Cp1252.h"

namespace lumafolio {
namespace {

using Json = nlohmann::ordered_json;

std::string Text(const std::string& filmText) { return Cp1252ToUtf8(filmText); }

std::string FaceName(const LogFontA& font) {
  size_t length = 0;
  while (length < font.faceName.size() && font.faceName[length] != '\0') ++length;
  return Text(std::string(font.faceName.data(), length));
}

Json FontToJson(const LogFontA& font) {
  Json json;
  json["height"] = font.height;
  json["width"] = font.width;
  json["escapement"] = font.escapement;
  json["orientation"] = font.orientation;
  json["weight"] = font.weight;
  json["italic"] = font.italic;
  json["underline"] = font.underline;
  json["strike_out"] = font.strikeOut;
  json["charset"] = font.charSet;
  json["out_precision"] = font.outPrecision;
  json["clip_precision"] = font.clipPrecision;
  json["quality"] = font.quality;
  json["pitch_and_family"] = font.pitchAndFamily;
  json["face"] = FaceName(font);
  return json;
}

Json CaptionToJson(const Caption& caption) {
  Json json;
  json["position"] = caption.position;
  json["text_effect"] = caption.textEffect;
  json["text"] = Text(caption.text);
  json["left"] = caption.left;
  json["top"] = caption.top;
  json["font"] = FontToJson(caption.font);
  json["text_colour"] = caption.textColour;
  json["line_spacing"] = caption.lineSpacing;
  json["alignment"] = caption.alignment;
  json["shadow"] = caption.shadow;
  return json;
}

Json ItemToJson(const FilmItem& item) {
  Json json;
  json["position"] = item.position;
  json["type"] = item.itemType;
  json["media_file"] = Text(item.mediaFile);
  json["media_folder"] = Text(item.mediaFolder);
  json["poster_image"] = Text(item.posterImage);
  json["end_picture"] = Text(item.endPicture);
  json["music_file"] = Text(item.musicFile);
  json["image_width"] = item.imageWidth;
  json["image_height"] = item.imageHeight;
  json["duration_seconds"] = item.durationSeconds;
  json["transition_effect"] = item.transitionEffect;
  json["transition_steps"] = item.transitionSteps;
  json["music_mode"] = item.musicMode;
  json["captions"] = Json::array();
  for (const Caption& caption : item.captions) json["captions"].push_back(CaptionToJson(caption));
  return json;
}

}  // namespace

nlohmann::ordered_json FilmToJson(const FilmDocument& film, bool readOk) {
  Json json;
  json["read_ok"] = readOk;
  json["loop"] = film.LoopFlag() ? 1 : 0;
  json["play_mode"] = film.PlayMode();
  json["items"] = Json::array();
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    json["items"].push_back(ItemToJson(film.GetItem(position)));
  }
  return json;
}

nlohmann::ordered_json PayloadToJson(int64_t filmStart, int64_t mediaStart, int64_t filmSize,
                                     const std::vector<MediaEntry>& media) {
  Json json;
  json["film_start"] = filmStart;
  json["media_start"] = mediaStart;
  json["film_size"] = filmSize;
  json["media"] = Json::array();
  for (const MediaEntry& entry : media) {
    Json file;
    file["item"] = entry.item;
    file["field"] = MediaFieldName(entry.field);
    file["name"] = Text(entry.name);
    file["offset"] = entry.offset;
    file["size"] = entry.size;
    json["media"].push_back(std::move(file));
  }
  return json;
}

}  // namespace lumafolio
