#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace lumafolio {

// A player program carries its film behind its own code:
//   program image | film marker | film file | media marker | media files back to back
// There is no header and no length field; the two marker texts are all that find the parts.
constexpr size_t kFilmMarkerSize = 24;
constexpr size_t kMediaMarkerSize = 25;

// The marker texts are assembled one character at a time so that the program image never
// holds them as contiguous bytes: a search of the program file must stop at the payload only.
std::array<char, kFilmMarkerSize> FilmMarker();
std::array<char, kMediaMarkerSize> MediaMarker();

// Offset of the first byte after the first occurrence of `marker` in `file`, searched from
// the start, or 0 when it does not occur. Leaves the file positioned at offset 0.
int64_t FindMarker(std::FILE* file, const char* marker, size_t size);

struct PayloadLocation {
  int64_t filmStart = 0;   // first byte of the film file
  int64_t mediaStart = 0;  // first byte of the media files
  int64_t FilmSize() const {
    return mediaStart - filmStart - static_cast<int64_t>(kMediaMarkerSize);
  }
};

// Both markers in order, or nothing: a missing marker or a media marker ahead of the film
// marker means the program carries no film.
std::optional<PayloadLocation> LocatePayload(std::FILE* file);

}  // namespace lumafolio
