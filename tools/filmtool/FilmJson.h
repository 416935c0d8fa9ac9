#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "core/film/FilmDocument.h"
#include "core/payload/MediaLayout.h"

namespace lumafolio {

// The machine-readable form of a film, as `filmtool inspect --json` prints it. Any program that
// reads films (on Linux through libgsf, on Windows through ole32) prints the same document for
// the same film, so their outputs can be compared byte for byte. Texts are the film's bytes
// decoded as Windows-1252; every number is a JSON number. Keys keep the order below.
//
// This file stays free of platform and codec libraries so that Windows programs can build it.

// {"read_ok", "loop", "play_mode", "play_mode_name", "stage", "items": [...]}; "stage" is
// "classic", "screen" or "WIDTHxHEIGHT". Beside each coded number
// stands its name ("type_name", "transition_name", "music_mode_name", a caption's "effect_name"
// and "text_colour_hex" as "#RRGGBB"), null when the number has none.
// The names descriptions and listings use for coded film values, or nullptr for other values.
const char* PlayModeName(int32_t mode);   // "timed", "manual"
const char* ItemTypeName(int32_t type);   // "picture", "video", "powerpoint"
const char* MusicModeName(int32_t mode);  // "keep", "stop", "cd", "file"

nlohmann::ordered_json FilmToJson(const FilmDocument& film, bool readOk);

// {"film_start", "media_start", "film_size", "media": [{"item", "field", "name", "offset",
// "size"}]}
nlohmann::ordered_json PayloadToJson(int64_t filmStart, int64_t mediaStart, int64_t filmSize,
                                     const std::vector<MediaEntry>& media);

}  // namespace lumafolio
