// How fast the video file writer encodes a photo slowly panning across the stage, with music,
// at the stage's 800x600/60 and at 1920x1080/30, and how close the decoded frames stay to it.
// A benchmark, not a test:
//   video_file_sink_bench PHOTO.jpg [FRAMES] [OUTDIR] [FORMATS: mp4,webm,mkv]
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "tests/render/VideoFileCheck.h"
#include "tools/render/VideoFileSink.h"

namespace {

using lumafolio::render::RenderFormat;

struct Photo {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgr;  // top-down, packed
};

Photo ReadJpeg(const std::string& path) {
  const std::string bytes = lumafolio::test::RunAndRead("cat " + lumafolio::test::Quoted(path));
  tjhandle tj = tjInitDecompress();
  Photo photo;
  int subsampling = 0, colourspace = 0;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (tjDecompressHeader3(tj, data, bytes.size(), &photo.width, &photo.height, &subsampling,
                          &colourspace) != 0) {
    throw std::runtime_error(path + ": not a JPEG");
  }
  photo.bgr.resize(std::size_t(photo.width) * photo.height * 3);
  tjDecompress2(tj, data, bytes.size(), photo.bgr.data(), photo.width, 0, photo.height, TJPF_BGR,
                0);
  tjDestroy(tj);
  return photo;
}

// Frame `t`: the photo scaled to cover 110% of the stage (bilinear), seen through a window
// that pans one pixel a frame and back; bottom-up rows padded to four bytes.
class Panner {
 public:
  Panner(const Photo& photo, int width, int height) : width_(width), height_(height) {
    bigWidth_ = width + width / 10;
    bigHeight_ = height + height / 10;
    big_.resize(std::size_t(bigWidth_) * bigHeight_ * 3);
    const double scale =
        std::max(double(photo.width) / bigWidth_, double(photo.height) / bigHeight_);
    for (int y = 0; y < bigHeight_; ++y) {
      const double sy = std::clamp((y + 0.5) * scale - 0.5, 0.0, photo.height - 1.001);
      const int y0 = int(sy);
      const double fy = sy - y0;
      for (int x = 0; x < bigWidth_; ++x) {
        const double sx = std::clamp((x + 0.5) * scale - 0.5, 0.0, photo.width - 1.001);
        const int x0 = int(sx);
        const double fx = sx - x0;
        for (int k = 0; k < 3; ++k) {
          auto at = [&](int xx, int yy) {
            return double(photo.bgr[(std::size_t(yy) * photo.width + xx) * 3 + k]);
          };
          const double v = (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
                           (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
          big_[(std::size_t(y) * bigWidth_ + x) * 3 + k] = std::uint8_t(std::lround(v));
        }
      }
    }
    stride_ = (width * 3 + 3) & ~3;
    frame_.resize(std::size_t(stride_) * height);
  }

  const std::vector<std::uint8_t>& Frame(int t) {
    const int range = std::min(bigWidth_ - width_, bigHeight_ - height_);
    const int step = t % (2 * range);
    const int offset = step < range ? step : 2 * range - step;
    for (int y = 0; y < height_; ++y) {
      std::memcpy(&frame_[std::size_t(height_ - 1 - y) * stride_],
                  &big_[(std::size_t(y + offset) * bigWidth_ + offset) * 3], width_ * 3);
    }
    return frame_;
  }

 private:
  int width_, height_, bigWidth_, bigHeight_, stride_;
  std::vector<std::uint8_t> big_, frame_;
};

void Run(const Photo& photo, RenderFormat format, int frames, const std::string& path) {
  Panner panner(photo, format.width, format.height);
  std::vector<float> sound(2 * format.SamplesPerFrame());
  auto sink = lumafolio::render::MakeVideoFileSink(path);
  double seconds = 0;
  auto timed = [&](auto&& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  timed([&] { sink->Begin(format); });
  for (int i = 0; i < frames; ++i) {
    for (int s = 0; s < format.SamplesPerFrame(); ++s) {
      const double t = double(i * format.SamplesPerFrame() + s) / lumafolio::render::kSampleRate;
      sound[2 * s] = sound[2 * s + 1] = float(0.3 * std::sin(2 * std::numbers::pi * 330 * t));
    }
    const auto& frame = panner.Frame(i);
    timed([&] { sink->Frame(frame.data(), sound); });
  }
  timed([&] { sink->Finish(); });

  // Quality: every decoded frame against the frame it came from.
  const std::size_t frameBytes = std::size_t(format.width) * format.height * 3;
  double worst = 99, sum = 0, worstLuma = 99, sumLuma = 0;
  const int count = lumafolio::test::ForEachDecodedFrame(
      path, frameBytes, [&](int i, const std::uint8_t* decoded) {
        const lumafolio::test::Quality psnr = lumafolio::test::Psnr(
            decoded, format.width, panner.Frame(i).data(), format.width, format.height);
        worst = std::min(worst, psnr.rgb);
        sum += psnr.rgb;
        worstLuma = std::min(worstLuma, psnr.luma);
        sumLuma += psnr.luma;
      });
  std::printf(
      "%-5s %4dx%-4d @%2d: %4d frames in %6.2f s = %6.1f frames/s (%.2fx real time), "
      "%6.0f kB, PSNR (RGB) mean %.1f dB, worst %.1f dB, PSNR (luma) mean %.1f dB, worst %.1f dB\n",
      std::filesystem::path(path).extension().c_str() + 1, format.width, format.height, format.fps,
      frames, seconds, frames / seconds, frames / seconds / format.fps,
      std::filesystem::file_size(path) / 1000.0, count ? sum / count : 0.0, worst,
      count ? sumLuma / count : 0.0, worstLuma);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: video_file_sink_bench PHOTO.jpg [FRAMES] [OUTDIR] [mp4,webm,mkv]\n";
    return 2;
  }
  try {
    const Photo photo = ReadJpeg(argv[1]);
    const int frames = argc > 2 ? std::stoi(argv[2]) : 300;
    const std::string folder = argc > 3 ? argv[3] : std::filesystem::temp_directory_path().string();
    std::string kinds = argc > 4 ? argv[4] : "mp4,webm";
    std::stringstream list(kinds);
    for (std::string kind; std::getline(list, kind, ',');) {
      for (const RenderFormat format :
           {RenderFormat{800, 600, 60, true}, RenderFormat{1920, 1080, 30, true}}) {
        Run(photo, format, frames, folder + "/bench-" + std::to_string(format.width) + "." + kind);
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "video_file_sink_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
