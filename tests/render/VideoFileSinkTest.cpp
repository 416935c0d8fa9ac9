// The video file writer against ffprobe and ffmpeg: the streams, rate and length a player sees,
// the pictures and sound that come back out, and no file left behind by a render that fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

#include "tests/TempDir.h"
#include "tests/render/VideoFileCheck.h"
#include "tools/render/VideoFileSink.h"

namespace lumafolio::render {
namespace {

using test::TempDir;

// A stage frame: a colour gradient moving to the right, with a band of thin strokes that only
// lighten or darken it (what captions' outlines look like to an encoder), bottom-up with rows
// padded to four bytes. Colour itself changes smoothly: 4:2:0 keeps it for 2x2 pixels only.
std::vector<std::uint8_t> StageFrame(int width, int height, int t) {
  const int stride = (width * 3 + 3) & ~3;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * height);
  for (int row = 0; row < height; ++row) {
    const int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      const int wave = std::abs((2 * (x + 3 * t)) % (2 * width) - width);  // 0..width and back
      int light = 0;
      if (y >= height / 3 && y < height / 3 + 20) {
        light = ((x + 2 * t) % 9 < 2) || (y - height / 3) % 10 < 2 ? 70 : -70;
      }
      std::uint8_t* p = &bits[static_cast<std::size_t>(row) * stride + x * 3];
      p[0] = static_cast<std::uint8_t>(80 + 100 * y / height + light);
      p[1] = static_cast<std::uint8_t>(80 + 100 * wave / width + light);
      p[2] = static_cast<std::uint8_t>(180 - 100 * x / width + light);
    }
  }
  return bits;
}

// 440 Hz on the left, 660 Hz on the right, so that a swap or a mix-up of the channels shows.
constexpr double kLeftHz = 440, kRightHz = 660, kAmplitude = 0.5;

std::vector<float> Tone(int frame, int count) {
  std::vector<float> sound(2 * count);
  for (int i = 0; i < count; ++i) {
    const double t = double(frame * count + i) / kSampleRate;
    sound[2 * i] = float(kAmplitude * std::sin(2 * std::numbers::pi * kLeftHz * t));
    sound[2 * i + 1] = float(kAmplitude * std::sin(2 * std::numbers::pi * kRightHz * t));
  }
  return sound;
}

// The share of a channel's energy at `hz` (1 for a pure tone at that frequency), and its RMS.
std::pair<double, double> ToneShare(const std::vector<float>& sound, int channel, double hz) {
  double s = 0, c = 0, energy = 0;
  std::size_t n = 0;
  const std::size_t edge = kSampleRate / 10;  // encoders' start and end are no measure
  for (std::size_t i = edge; i + edge < sound.size() / 2; ++i, ++n) {
    const double x = sound[2 * i + channel];
    const double phase = 2 * std::numbers::pi * hz * double(i) / kSampleRate;
    s += x * std::sin(phase);
    c += x * std::cos(phase);
    energy += x * x;
  }
  if (n == 0 || energy == 0) return {0, 0};
  return {2 * (s * s + c * c) / (double(n) * energy), std::sqrt(energy / double(n))};
}

struct Case {
  const char* name;
  RenderFormat format;
  const char* videoCodec;
  const char* audioCodec;  // nullptr: written without sound
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class VideoFileSinkTest : public testing::TestWithParam<Case> {};

TEST_P(VideoFileSinkTest, WritesTwoSecondsThatDecodeBack) {
  const Case& c = GetParam();
  const RenderFormat& f = c.format;
  const int frames = 2 * f.fps;
  TempDir dir;
  const std::string path = dir.File(c.name);
  std::vector<std::vector<std::uint8_t>> stage;
  {
    auto sink = MakeVideoFileSink(path);
    sink->Begin(f);
    for (int i = 0; i < frames; ++i) {
      stage.push_back(StageFrame(f.width, f.height, i));
      const std::vector<float> sound =
          f.sound ? Tone(i, f.SamplesPerFrame()) : std::vector<float>{};
      sink->Frame(stage.back().data(), sound);
    }
    sink->Finish();
  }
  // Only the film itself: the temporary file went into it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  const nlohmann::json probe = test::Probe(path);
  const auto& streams = probe["streams"];
  ASSERT_EQ(streams.size(), c.audioCodec ? 2u : 1u);
  const int evenWidth = (f.width + 1) & ~1, evenHeight = (f.height + 1) & ~1;
  for (const auto& s : streams) {
    if (s["codec_type"] == "video") {
      EXPECT_EQ(s["codec_name"], c.videoCodec);
      EXPECT_EQ(s["pix_fmt"], "yuv420p");
      EXPECT_EQ(s["width"], evenWidth);
      EXPECT_EQ(s["height"], evenHeight);
      EXPECT_EQ(s["r_frame_rate"], std::to_string(f.fps) + "/1");
      EXPECT_EQ(s["avg_frame_rate"], std::to_string(f.fps) + "/1");
      EXPECT_EQ(s["color_space"], "smpte170m");
    } else {
      ASSERT_TRUE(c.audioCodec);
      EXPECT_EQ(s["codec_name"], c.audioCodec);
      EXPECT_EQ(s["sample_rate"], "48000");
      EXPECT_EQ(s["channels"], 2);
    }
  }
  EXPECT_NEAR(std::stod(probe["format"]["duration"].get<std::string>()), 2.0, 1.0 / f.fps);

  double worst = 99;
  const int decoded = test::ForEachDecodedFrame(
      path, std::size_t(evenWidth) * evenHeight * 3, [&](int i, const std::uint8_t* frame) {
        if (i >= frames) return;
        worst =
            std::min(worst, test::Psnr(frame, evenWidth, stage[i].data(), f.width, f.height).rgb);
      });
  EXPECT_EQ(decoded, frames);
  EXPECT_GE(worst, 40.0) << "the worst frame's PSNR";

  if (c.audioCodec) {
    const std::vector<float> sound = test::DecodeSound(path);
    EXPECT_NEAR(double(sound.size() / 2), 2.0 * kSampleRate, f.SamplesPerFrame());
    const double rms = kAmplitude / std::sqrt(2.0);
    for (auto [channel, hz] : {std::pair{0, kLeftHz}, std::pair{1, kRightHz}}) {
      const auto [share, level] = ToneShare(sound, channel, hz);
      EXPECT_GT(share, 0.95) << "channel " << channel;
      EXPECT_NEAR(level, rms, 0.1 * rms) << "channel " << channel;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoFileSinkTest,
                         testing::Values(Case{"film.mp4", {320, 240, 30, true}, "h264", "aac"},
                                         // odd sizes are padded to even ones
                                         Case{"film.webm", {321, 181, 25, true}, "vp9", "opus"},
                                         Case{
                                             "silent.MKV", {320, 240, 60, false}, "h264", nullptr}),
                         [](const testing::TestParamInfo<Case>& param) {
                           std::string name = param.param.name;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

TEST(VideoFileSinkFailureTest, NothingIsLeftBehind) {
  const RenderFormat format{64, 48, 25, true};
  const std::vector<std::uint8_t> frame = StageFrame(64, 48, 0);
  const std::vector<float> sound = Tone(0, format.SamplesPerFrame());
  TempDir dir;
  {
    auto sink = MakeVideoFileSink(dir.File("abandoned.mp4"));
    sink->Begin(format);
    for (int i = 0; i < 30; ++i) sink->Frame(frame.data(), sound);
    sink->Abandon();
    auto dropped = MakeVideoFileSink(dir.File("dropped.webm"));
    dropped->Begin(format);
    dropped->Frame(frame.data(), sound);
  }  // `dropped` neither finished nor abandoned
  test::WriteBytes(dir.File("plain-file"), {1, 2, 3});
  std::vector<std::string> bad = {dir.File("missing/film.mp4"), dir.File("plain-file/film.mkv")};
  if (geteuid() != 0) {  // root writes into any folder
    std::filesystem::create_directory(dir.File("read-only"));
    std::filesystem::permissions(dir.File("read-only"), std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
    bad.push_back(dir.File("read-only/film.webm"));
  }
  for (const std::string& path : bad) {
    auto sink = MakeVideoFileSink(path);
    try {
      sink->Begin(format);
      ADD_FAILURE() << path;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(path.substr(0, path.rfind('/'))), std::string::npos)
          << e.what();
    }
  }
  std::error_code ignored;
  std::filesystem::remove(dir.File("read-only"), ignored);  // fails if something was left in it
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"plain-file"});

  EXPECT_TRUE(IsVideoFileName("a/b.Mp4") && IsVideoFileName("b.webm") && IsVideoFileName("c.mkv"));
  EXPECT_FALSE(IsVideoFileName("b.avi") || IsVideoFileName("b.mp4.png") || IsVideoFileName("mp4"));
  EXPECT_THROW(MakeVideoFileSink(dir.File("film.mov")), std::runtime_error);
}

}  // namespace
}  // namespace lumafolio::render
