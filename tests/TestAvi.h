#pragma once

#include <cstdint>
#include <vector>

namespace lumafolio::test {

// An uncompressed 24-bit AVI of `frames` bottom-up frames of width x height in one colour
// (0xRRGGBB), at 10 frames a second: the headers, the frames and their index.
inline std::vector<uint8_t> MakeTestAvi(int width, int height, int frames,
                                        uint32_t rgb = 0x808080) {
  using Bytes = std::vector<uint8_t>;
  const auto put = [](Bytes& out, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
    }
  };
  const auto fourcc = [](const char* id) {
    return uint32_t(uint8_t(id[0])) | uint32_t(uint8_t(id[1])) << 8 |
           uint32_t(uint8_t(id[2])) << 16 | uint32_t(uint8_t(id[3])) << 24;
  };
  const auto chunk = [&](const char* id, const Bytes& data) {
    Bytes out;
    put(out, {fourcc(id), static_cast<uint32_t>(data.size())});
    out.insert(out.end(), data.begin(), data.end());
    return out;
  };
  const auto list = [&](const char* id, const char* kind, std::initializer_list<Bytes> parts) {
    Bytes data;
    put(data, {fourcc(kind)});
    for (const Bytes& part : parts) data.insert(data.end(), part.begin(), part.end());
    return chunk(id, data);
  };
  const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  const uint32_t n = static_cast<uint32_t>(frames), size = ((3 * w + 3) & ~3u) * h;
  Bytes avih, strh, strf, frame(size, 0), movi, index;
  put(avih, {100000, size * 10, 0, 0x10, n, 0, 1, size, w, h, 0, 0, 0, 0});
  put(strh,
      {fourcc("vids"), fourcc("DIB "), 0, 0, 0, 1, 10, 0, n, size, 0xFFFFFFFF, 0, 0, w | h << 16});
  put(strf, {40, w, h, 1 | 24 << 16, 0, size, 0, 0, 0, 0});
  for (uint32_t i = 0; i + 3 <= size; i += 3) {
    frame[i] = uint8_t(rgb), frame[i + 1] = uint8_t(rgb >> 8), frame[i + 2] = uint8_t(rgb >> 16);
  }
  for (uint32_t i = 0; i < n; ++i) {
    put(index, {fourcc("00db"), 0x10, 4 + i * (8 + size), size});
    const Bytes piece = chunk("00db", frame);
    movi.insert(movi.end(), piece.begin(), piece.end());
  }
  return list("RIFF", "AVI ",
              {list("LIST", "hdrl",
                    {chunk("avih", avih),
                     list("LIST", "strl", {chunk("strh", strh), chunk("strf", strf)})}),
               list("LIST", "movi", {movi}), chunk("idx1", index)});
}

}  // namespace lumafolio::test
