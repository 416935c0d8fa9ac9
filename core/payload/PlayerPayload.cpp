#include "core/payload/PlayerPayload.h"

#include <vector>

namespace lumafolio {

namespace {

// Copies the volatile buffer out. Volatile stores make the compiler write every character with an
// instruction of its own, so the text never appears as one run of bytes in the program image.
template <size_t N>
std::array<char, N> Collect(const volatile char (&chars)[N]) {
  std::array<char, N> text{};
  for (size_t i = 0; i < N; ++i) text[i] = chars[i];
  return text;
}

}  // namespace

std::array<char, kFilmMarkerSize> FilmMarker() {
  volatile char m[kFilmMarkerSize];
  m[0] = 'L';
  m[1] = 'u';
  m[2] = 'm';
  m[3] = 'a';
  m[4] = 'f';
  m[5] = 'o';
  m[6] = 'l';
  m[7] = 'i';
  m[8] = 'o';
  m[9] = 'F';
  m[10] = 'i';
  m[11] = 'l';
  m[12] = 'm';
  m[13] = 'D';
  m[14] = 'e';
  m[15] = 's';
  m[16] = 'c';
  m[17] = 'r';
  m[18] = 'i';
  m[19] = 'p';
  m[20] = 't';
  m[21] = 'i';
  m[22] = 'o';
  m[23] = 'n';
  return Collect(m);
}

std::array<char, kMediaMarkerSize> MediaMarker() {
  volatile char m[kMediaMarkerSize];
  m[0] = 'L';
  m[1] = 'u';
  m[2] = 'm';
  m[3] = 'a';
  m[4] = 'f';
  m[5] = 'o';
  m[6] = 'l';
  m[7] = 'i';
  m[8] = 'o';
  m[9] = 'M';
  m[10] = 'e';
  m[11] = 'd';
  m[12] = 'i';
  m[13] = 'a';
  m[14] = 'D';
  m[15] = 'e';
  m[16] = 's';
  m[17] = 'c';
  m[18] = 'r';
  m[19] = 'i';
  m[20] = 'p';
  m[21] = 't';
  m[22] = 'i';
  m[23] = 'o';
  m[24] = 'n';
  return Collect(m);
}

int64_t FindMarker(std::FILE* file, const char* marker, size_t size) {
  if (size == 0) return 0;
  // Knuth-Morris-Pratt over a byte stream, so that a partial match that fails never makes us
  // re-read bytes: the file is read once, front to back, through the C library's buffer.
  std::vector<size_t> fallback(size, 0);
  for (size_t i = 1, k = 0; i < size; ++i) {
    while (k > 0 && marker[i] != marker[k]) k = fallback[k - 1];
    if (marker[i] == marker[k]) ++k;
    fallback[i] = k;
  }
  std::rewind(file);
  int64_t offset = 0;
  size_t matched = 0;
  for (int c; (c = std::getc(file)) != EOF;) {
    ++offset;
    const char byte = static_cast<char>(c);
    while (matched > 0 && byte != marker[matched]) matched = fallback[matched - 1];
    if (byte == marker[matched]) ++matched;
    if (matched == size) {
      std::rewind(file);
      return offset;
    }
  }
  std::rewind(file);
  return 0;
}

std::optional<PayloadLocation> LocatePayload(std::FILE* file) {
  const auto film = FilmMarker();
  const auto media = MediaMarker();
  PayloadLocation location;
  location.filmStart = FindMarker(file, film.data(), film.size());
  location.mediaStart = FindMarker(file, media.data(), media.size());
  if (location.filmStart == 0 || location.mediaStart == 0) return std::nullopt;
  if (location.FilmSize() < 0) return std::nullopt;
  return location;
}

}  // namespace lumafolio
