#pragma once

#include <array>
#include <cstdint>

#include "core/film/FilmDocument.h"

namespace lumafolio {

// The fixed-size records of a film file, read and written field by field in little-endian order.
constexpr size_t kFilmItemRecordSize = 1328;  // stream "FILMITEM"
constexpr size_t kCaptionRecordSize = 356;    // stream "TEXT"n

// Widths of the text fields, terminating NUL included.
constexpr size_t kMediaFileWidth = 256;
constexpr size_t kPathFieldWidth = 260;  // mediaFolder, posterImage, endPicture, musicFile
constexpr size_t kCaptionTextWidth = 256;

using FilmItemRecord = std::array<uint8_t, kFilmItemRecordSize>;
using CaptionRecord = std::array<uint8_t, kCaptionRecordSize>;

// Texts longer than their field are cut so that the terminating NUL still fits.
FilmItemRecord EncodeFilmItemRecord(const FilmItem& item);
// Texts are read up to their first NUL and at most their field width; spares and captions empty.
FilmItem DecodeFilmItemRecord(const FilmItemRecord& record);

CaptionRecord EncodeCaptionRecord(const Caption& caption, int32_t number);
// Takes every field but the stored caption number, which films do not rely on.
Caption DecodeCaptionRecord(const CaptionRecord& record);

}  // namespace lumafolio
