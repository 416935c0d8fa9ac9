#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lumafolio::test {

// An uncompressed 24-bit AVI at 10 frames a second with one frame per colour in `colours`
// (0xRRGGBB) and, when `sound` is not empty, a 16-bit mono PCM track of those samples at
// `sampleRate`, interleaved a tenth of a second at a time as AVI writers lay sound out.
inline std::vector<uint8_t> MakeTestAviWithSound(int width, int height,
                                                 const std::vector<uint32_t>& colours,
                                                 const std::vector<int16_t>& sound = {},
                                                 uint32_t sampleRate = 22050) {
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
    if (data.size() % 2) out.push_back(0);
    return out;
  };
  const auto list = [&](const char* id, const char* kind, std::initializer_list<Bytes> parts) {
    Bytes data;
    put(data, {fourcc(kind)});
    for (const Bytes& part : parts) data.insert(data.end(), part.begin(), part.end());
    return chunk(id, data);
  };
  const bool audio = !sound.empty();
  const uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  const uint32_t n = static_cast<uint32_t>(colours.size()), size = ((3 * w + 3) & ~3u) * h;
  const uint32_t perChunk = sampleRate / 10, samples = static_cast<uint32_t>(sound.size());
  const uint32_t soundChunks = (samples + perChunk - 1) / perChunk;
  Bytes avih, strh, strf, ash, asf, movi, index;
  put(avih, {100000, size * 10, 0, 0x10, n, 0, audio ? 2u : 1u, size, w, h, 0, 0, 0, 0});
  put(strh,
      {fourcc("vids"), fourcc("DIB "), 0, 0, 0, 1, 10, 0, n, size, 0xFFFFFFFF, 0, 0, w | h << 16});
  put(strf, {40, w, h, 1 | 24 << 16, 0, size, 0, 0, 0, 0});
  put(ash, {fourcc("auds"), 0, 0, 0, 0, 2, 2 * sampleRate, 0, samples, 2 * perChunk, 0xFFFFFFFF, 2,
            0, 0});
  put(asf, {1 | 1 << 16, sampleRate, 2 * sampleRate, 2 | 16 << 16});
  const auto add = [&](const char* id, const Bytes& data) {
    put(index, {fourcc(id), 0x10, 4 + static_cast<uint32_t>(movi.size()),
                static_cast<uint32_t>(data.size())});
    const Bytes piece = chunk(id, data);
    movi.insert(movi.end(), piece.begin(), piece.end());
  };
  for (uint32_t i = 0; i < std::max(n, soundChunks); ++i) {
    if (i < n) {
      Bytes frame(size, 0);
      const uint32_t rgb = colours[i];
      for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
          uint8_t* p = frame.data() + y * (size / h) + 3 * x;
          p[0] = uint8_t(rgb), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb >> 16);
        }
      }
      add("00db", frame);
    }
    if (i < soundChunks) {
      Bytes pcm;
      for (uint32_t s = i * perChunk; s < std::min(samples, (i + 1) * perChunk); ++s) {
        pcm.push_back(uint8_t(sound[s])), pcm.push_back(uint8_t(uint16_t(sound[s]) >> 8));
      }
      add("01wb", pcm);
    }
  }
  Bytes videoList = list("LIST", "strl", {chunk("strh", strh), chunk("strf", strf)});
  Bytes header =
      list("LIST", "hdrl",
           {chunk("avih", avih), videoList,
            audio ? list("LIST", "strl", {chunk("strh", ash), chunk("strf", asf)}) : Bytes()});
  return list("RIFF", "AVI ", {header, list("LIST", "movi", {movi}), chunk("idx1", index)});
}

// An uncompressed 24-bit AVI of `frames` bottom-up frames of width x height in one colour
// (0xRRGGBB), at 10 frames a second: the headers, the frames and their index.
inline std::vector<uint8_t> MakeTestAvi(int width, int height, int frames,
                                        uint32_t rgb = 0x808080) {
  return MakeTestAviWithSound(width, height,
                              std::vector<uint32_t>(static_cast<std::size_t>(frames), rgb));
}

}  // namespace lumafolio::test
