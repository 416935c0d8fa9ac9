#include "tools/filmtool/FilmJson.h"

#include <cstdio>
#include <string>

#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/EffectNames.h"

namespace lumafolio {
namespace {

using Json = nlohmann::ordered_json;

Json Name(const char* name) { return name ? Json(name) : Json(nullptr); }

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
  json["effect_name"] = Name(CaptionEffectName(caption.textEffect));
  json["text"] = Text(caption.text);
  json["left"] = caption.left;
  json["top"] = caption.top;
  json["font"] = FontToJson(caption.font);
  json["text_colour"] = caption.textColour;
  const uint32_t c = caption.textColour;  // 0x00BBGGRR
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  json["text_colour_hex"] = hex;
  json["line_spacing"] = caption.lineSpacing;
  json["alignment"] = caption.alignment;
  json["shadow"] = caption.shadow;
  return json;
}

Json ItemToJson(const FilmItem& item) {
  Json json;
  json["position"] = item.position;
  json["type"] = item.itemType;
  json["type_name"] = Name(ItemTypeName(item.itemType));
  json["media_file"] = Text(item.mediaFile);
  json["media_folder"] = Text(item.mediaFolder);
  json["poster_image"] = Text(item.posterImage);
  json["end_picture"] = Text(item.endPicture);
  json["music_file"] = Text(item.musicFile);
  json["image_width"] = item.imageWidth;
  json["image_height"] = item.imageHeight;
  json["duration_seconds"] = item.durationSeconds;
  json["transition_effect"] = item.transitionEffect;
  json["transition_name"] = Name(TransitionName(item.transitionEffect));
  json["transition_steps"] = item.transitionSteps;
  json["music_mode"] = item.musicMode;
  json["music_mode_name"] = Name(MusicModeName(item.musicMode));
  json["captions"] = Json::array();
  for (const Caption& caption : item.captions) json["captions"].push_back(CaptionToJson(caption));
  return json;
}

}  // namespace

const char* PlayModeName(int32_t mode) {
  return mode == kPlayTimed ? "timed" : mode == kPlayManual ? "manual" : nullptr;
}

const char* ItemTypeName(int32_t type) {
  switch (type) {
    case kItemPicture:
      return "picture";
    case kItemVideo:
      return "video";
    case kItemPowerPoint:
      return "powerpoint";
  }
  return nullptr;
}

const char* MusicModeName(int32_t mode) {
  switch (mode) {
    case kMusicKeep:
      return "keep";
    case kMusicStop:
      return "stop";
    case kMusicCdTrack:
      return "cd";
    case kMusicFile:
      return "file";
  }
  return nullptr;
}

nlohmann::ordered_json FilmToJson(const FilmDocument& film, bool readOk) {
  Json json;
  json["read_ok"] = readOk;
  json["loop"] = film.LoopFlag() ? 1 : 0;
  json["play_mode"] = film.PlayMode();
  json["play_mode_name"] = Name(PlayModeName(film.PlayMode()));
  json["stage"] = FilmStageName(film.Stage());
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
