#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumafolio::test {

// An uncompressed 24-bit AVI of `frames` frames of width x height at `fps` frames a second,
// colour(frame, x, y) = 0xRRGGBB. `junk` puts a JUNK chunk before the header list, as some
// writers do; a negative `height` declares top-down frames in the stream's format.
struct TestAviSpec {
  int width = 16;
  int height = 12;
  int frames = 5;
  int fps = 10;
  bool junk = false;
  std::function<uint32_t(int frame, int x, int y)> colour = [](int, int, int) { return 0x808080u; };
};

inline std::vector<uint8_t> MakeTestAvi(const TestAviSpec& spec) {
  using Bytes = std::vector<uint8_t>;
  const auto le32 = [](Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  const auto le16 = [](Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
  };
  const auto text = [](Bytes& out, const char* fourcc) {
    out.insert(out.end(), fourcc, fourcc + 4);
  };
  const auto chunk = [&](Bytes& out, const char* fourcc, const Bytes& data) {
    text(out, fourcc);
    le32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2) out.push_back(0);
  };
  const auto list = [&](Bytes& out, const char* kind, const Bytes& data) {
    Bytes body;
    text(body, kind);
    body.insert(body.end(), data.begin(), data.end());
    chunk(out, "LIST", body);
  };

  const int width = spec.width;
  const int rows = spec.height < 0 ? -spec.height : spec.height;
  const uint32_t rowSize = (3u * static_cast<uint32_t>(width) + 3u) & ~3u;
  const uint32_t frameSize = rowSize * static_cast<uint32_t>(rows);

  Bytes avih;
  for (uint32_t v : {1000000u / static_cast<uint32_t>(spec.fps), frameSize * spec.fps, 0u, 0x10u,
                     static_cast<uint32_t>(spec.frames), 0u, 1u, frameSize,
                     static_cast<uint32_t>(width), static_cast<uint32_t>(rows), 0u, 0u, 0u, 0u}) {
    le32(avih, v);
  }
  Bytes strh;
  text(strh, "vids");
  text(strh, "DIB ");
  le32(strh, 0);
  le16(strh, 0);
  le16(strh, 0);
  for (uint32_t v : {0u, 1u, static_cast<uint32_t>(spec.fps), 0u,
                     static_cast<uint32_t>(spec.frames), frameSize, 0xFFFFFFFFu, 0u}) {
    le32(strh, v);
  }
  for (uint32_t v : {0u, 0u, static_cast<uint32_t>(width), static_cast<uint32_t>(rows)}) {
    le16(strh, v);
  }
  Bytes strf;
  le32(strf, 40);
  le32(strf, static_cast<uint32_t>(width));
  le32(strf, static_cast<uint32_t>(spec.height));
  le16(strf, 1);
  le16(strf, 24);
  for (uint32_t v : {0u, frameSize, 0u, 0u, 0u, 0u}) le32(strf, v);

  Bytes streamList;
  chunk(streamList, "strh", strh);
  chunk(streamList, "strf", strf);
  Bytes headers;
  chunk(headers, "avih", avih);
  list(headers, "strl", streamList);

  Bytes movi;
  Bytes index;
  for (int f = 0; f < spec.frames; ++f) {
    Bytes frame(frameSize, 0);
    for (int row = 0; row < rows; ++row) {
      // Bottom-up unless the format says top-down.
      const int y = spec.height < 0 ? row : rows - 1 - row;
      for (int x = 0; x < width; ++x) {
        const uint32_t rgb = spec.colour(f, x, y);
        uint8_t* pixel = &frame[row * rowSize + 3u * static_cast<uint32_t>(x)];
        pixel[0] = static_cast<uint8_t>(rgb);
        pixel[1] = static_cast<uint8_t>(rgb >> 8);
        pixel[2] = static_cast<uint8_t>(rgb >> 16);
      }
    }
    text(index, "00db");
    le32(index, 0x10);
    le32(index, static_cast<uint32_t>(4 + movi.size()));
    le32(index, frameSize);
    chunk(movi, "00db", frame);
  }

  Bytes body;
  text(body, "AVI ");
  if (spec.junk) chunk(body, "JUNK", Bytes(100, 0));
  list(body, "hdrl", headers);
  list(body, "movi", movi);
  chunk(body, "idx1", index);
  Bytes file;
  chunk(file, "RIFF", body);
  return file;
}

}  // namespace lumafolio::test
