#include "tools/filmtool/AviFrameSize.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace lumafolio {
namespace {

// A header list holds a few small chunks; anything much larger is not one we can trust.
constexpr uint32_t kMaxHeaderListSize = 1u << 20;
// Sizes beyond this are damage, not video.
constexpr int64_t kMaxFrameSide = 32767;

uint32_t Le32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

bool Is(const uint8_t* bytes, const char* fourcc) { return std::memcmp(bytes, fourcc, 4) == 0; }

std::optional<FrameSize> SizeOf(int64_t width, int64_t height) {
  height = std::llabs(height);  // a top-down bitmap declares a negative height
  if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) return {};
  return FrameSize{static_cast<int>(width), static_cast<int>(height)};
}

// Walks the chunks of `list` (the bytes after a LIST's own type) and calls `visit` with each
// chunk's id and its bytes; a chunk that runs past the end ends the walk.
template <typename Visit>
void WalkChunks(const std::vector<uint8_t>& list, size_t begin, size_t end, Visit visit) {
  size_t at = begin;
  while (at + 8 <= end) {
    const uint32_t size = Le32(&list[at + 4]);
    if (size > end - at - 8) return;
    visit(&list[at], &list[at + 8], size_t{size});
    at += 8 + size + (size & 1);  // chunks are padded to even sizes
  }
}

}  // namespace

std::optional<FrameSize> ReadAviFrameSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::array<uint8_t, 12> riff{};
  if (!file.read(reinterpret_cast<char*>(riff.data()), riff.size()) || !Is(&riff[0], "RIFF") ||
      !Is(&riff[8], "AVI ")) {
    return {};
  }
  // The header list comes first, though a JUNK chunk or two may stand before it.
  for (;;) {
    std::array<uint8_t, 12> head{};
    if (!file.read(reinterpret_cast<char*>(head.data()), 8)) return {};
    const uint32_t size = Le32(&head[4]);
    if (!Is(&head[0], "LIST")) {
      file.seekg(size + (size & 1), std::ios::cur);
      continue;
    }
    if (size < 4 || size > kMaxHeaderListSize) return {};
    std::vector<uint8_t> list(size);
    if (!file.read(reinterpret_cast<char*>(list.data()), size)) return {};
    if (!Is(&list[0], "hdrl")) {
      if (Is(&list[0], "movi")) return {};  // the frames began without a header list
      continue;
    }
    std::optional<FrameSize> main;
    std::optional<FrameSize> stream;
    WalkChunks(list, 4, list.size(), [&](const uint8_t* id, const uint8_t* data, size_t length) {
      if (Is(id, "avih") && length >= 40) {
        main = SizeOf(Le32(data + 32), Le32(data + 36));
      } else if (Is(id, "LIST") && length >= 4 && Is(data, "strl") && !stream) {
        // A stream list: its header says what kind of stream, its format how a video's frames
        // are laid out.
        const size_t offset = static_cast<size_t>(data - list.data());
        bool video = false;
        WalkChunks(list, offset + 4, offset + length,
                   [&](const uint8_t* inner, const uint8_t* bytes, size_t bytesLength) {
                     if (Is(inner, "strh") && bytesLength >= 4) video = Is(bytes, "vids");
                     if (Is(inner, "strf") && video && bytesLength >= 12) {
                       stream = SizeOf(Le32(bytes + 4), static_cast<int32_t>(Le32(bytes + 8)));
                     }
                   });
      }
    });
    return stream ? stream : main;
  }
}

}  // namespace lumafolio
