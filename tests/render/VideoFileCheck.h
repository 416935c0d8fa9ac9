#pragma once

// Reads a written video back with the ffmpeg and ffprobe programs, independently of the writer's
// own use of FFmpeg's libraries, and measures it against what went in.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumafolio::test {

inline std::string RunAndRead(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[1 << 16];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
  return out;
}

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

inline nlohmann::json Probe(const std::string& path) {
  return nlohmann::json::parse(
      RunAndRead("ffprobe -v error -show_streams -show_format -of json " + Quoted(path)));
}

// Decodes every frame as packed BGR rows, top-down, at the stored size, one at a time (films can
// be too long to hold): `use(index, frame)` for each. Frames come as stored, none repeated or
// dropped to fit a constant rate (Matroska keeps times in milliseconds).
template <typename Use>
int ForEachDecodedFrame(const std::string& path, std::size_t frameBytes, Use&& use) {
  const std::string command = "ffmpeg -v error -i " + Quoted(path) +
                              " -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt bgr24 -";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run ffmpeg");
  std::vector<std::uint8_t> frame(frameBytes);
  int count = 0;
  while (std::fread(frame.data(), 1, frameBytes, pipe) == frameBytes) use(count++, frame.data());
  if (pclose(pipe) != 0) throw std::runtime_error("ffmpeg could not decode " + path);
  return count;
}

// The sound as 48 kHz interleaved stereo floats.
inline std::vector<float> DecodeSound(const std::string& path) {
  std::string bytes =
      RunAndRead("ffmpeg -v error -i " + Quoted(path) + " -map 0:a -f f32le -ac 2 -ar 48000 -");
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

inline double PsnrOf(double squares, double count) {
  const double mse = squares / count;
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// PSNR in dB of `decoded` (top-down, `decodedWidth` pixels a row) against `stage` (the sink's
// input: bottom-up rows padded to four bytes), over the stage's `width` x `height`: over the
// three colours, and over the brightness alone (BT.601 weights), which leaves out what 4:2:0
// loses of sharp colour edges whatever the encoder does.
struct Quality {
  double rgb = 0;
  double luma = 0;
};

inline Quality Psnr(const std::uint8_t* decoded, int decodedWidth, const std::uint8_t* stage,
                    int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  double squares = 0, lumaSquares = 0;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* a = decoded + static_cast<std::size_t>(y) * decodedWidth * 3;
    const std::uint8_t* b = stage + static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width * 3; x += 3) {
      double luma = 0;
      for (int k = 0; k < 3; ++k) {
        const double d = double(a[x + k]) - double(b[x + k]);
        squares += d * d;
        luma += d * (k == 0 ? 0.114 : k == 1 ? 0.587 : 0.299);
      }
      lumaSquares += luma * luma;
    }
  }
  const double pixels = double(width) * height;
  return {PsnrOf(squares, 3 * pixels), PsnrOf(lumaSquares, pixels)};
}

}  // namespace lumafolio::test
