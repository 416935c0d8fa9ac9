#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tests/TempDir.h"
#include "tests/TestAvi.h"
#include "tools/render/MusicFile.h"
#include "tools/render/RenderSink.h"
#include "tools/render/VideoItem.h"

namespace lumafolio::render {
namespace {

using test::TempDir;
using test::WriteBytes;

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A PCM wave file of `channels` sines (440 Hz left, 660 Hz right) at half scale.
std::vector<uint8_t> SineWave(uint32_t rate, int channels, int bits, double seconds) {
  const uint32_t count = static_cast<uint32_t>(rate * seconds);
  const uint32_t block = static_cast<uint32_t>(channels * bits / 8);
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  Put(out, 36 + count * block, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  Put(out, 16, 4), Put(out, 1, 2), Put(out, static_cast<uint32_t>(channels), 2), Put(out, rate, 4);
  Put(out, rate * block, 4), Put(out, block, 2), Put(out, static_cast<uint32_t>(bits), 2);
  for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  Put(out, count * block, 4);
  for (uint32_t i = 0; i < count; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double v = 0.5 * std::sin(2 * std::numbers::pi * (c ? 660 : 440) * i / rate);
      if (bits == 8)
        Put(out, static_cast<uint32_t>(std::lround(128 + 127 * v)), 1);
      else
        Put(out, static_cast<uint32_t>(std::lround(32767 * v)), 2);
    }
  }
  return out;
}

// Everything a sound gives, mixed onto a constant 0.25 that is taken off again (so that a source
// that overwrites instead of adding shows), in pieces of an odd size.
std::vector<float> Drain(SoundSource& sound) {
  std::vector<float> all;
  std::vector<float> piece(2 * 777);
  for (;;) {
    std::fill(piece.begin(), piece.end(), 0.25f);
    const std::size_t got = sound.MixInto(piece.data(), 777);
    for (std::size_t i = 0; i < 2 * got; ++i) all.push_back(piece[i] - 0.25f);
    if (got < 777) break;
  }
  EXPECT_EQ(sound.MixInto(piece.data(), 777), 0u);
  return all;
}

// The correlation of one channel of 48 kHz stereo with a sine of `hz`, away from the ends.
double Correlation(const std::vector<float>& stereo, int channel, double hz, double amplitude) {
  double sum = 0, own = 0, theirs = 0;
  for (std::size_t i = 2000; i + 2000 < stereo.size() / 2; ++i) {
    const double want = amplitude * std::sin(2 * std::numbers::pi * hz * i / kSampleRate);
    const double got = stereo[2 * i + channel];
    sum += want * got, own += got * got, theirs += want * want;
  }
  return sum / std::sqrt(own * theirs);
}

double Rms(const std::vector<float>& stereo, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = 2 * from; i < 2 * to && i < stereo.size(); ++i) sum += stereo[i] * stereo[i];
  return std::sqrt(sum / double(2 * (to - from)));
}

// A format 0 MIDI file, 480 ticks a quarter note at 120 beats a minute: C4 and then E4 on a
// piano, half a second each.
std::vector<uint8_t> TwoNotes() {
  std::vector<uint8_t> track = {0x00, 0xC0, 0x00,                                // piano
                                0x00, 0x90, 60,   100, 0x83, 0x60, 0x80, 60, 0,  // C4, 480 ticks
                                0x00, 0x90, 64,   100, 0x83, 0x60, 0x80, 64, 0,  // E4
                                0x00, 0xFF, 0x2F, 0x00};
  std::vector<uint8_t> out = {
      'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
      1,   0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
  // Appended byte by byte: GCC 12 at -O2 takes a range insert here for a write out of bounds.
  for (const uint8_t byte : track) out.push_back(byte);
  return out;
}

TEST(MediaTest, WaveFilesComeOutAt48kHzStereoWithTheirLengthAndShape) {
  TempDir dir;
  WriteBytes(dir.File("mono8.wav"), SineWave(22050, 1, 8, 0.5));
  WriteBytes(dir.File("stereo16.WAV"), SineWave(44100, 2, 16, 0.5));
  std::ostringstream warnings;

  const auto mono = OpenMusic(dir.File("mono8.wav"), warnings);
  ASSERT_TRUE(mono);
  const std::vector<float> monoOut = Drain(*mono);
  EXPECT_NEAR(monoOut.size() / 2.0, 24000, 8);
  // Both sides carry the mono sound at its own level.
  EXPECT_GT(Correlation(monoOut, 0, 440, 0.5), 0.99);
  EXPECT_GT(Correlation(monoOut, 1, 440, 0.5), 0.99);
  EXPECT_NEAR(Rms(monoOut, 2000, 22000), 0.5 / std::sqrt(2), 0.02);

  const auto stereo = OpenMusic(dir.File("stereo16.WAV"), warnings);
  ASSERT_TRUE(stereo);
  const std::vector<float> stereoOut = Drain(*stereo);
  EXPECT_NEAR(stereoOut.size() / 2.0, 24000, 8);
  EXPECT_GT(Correlation(stereoOut, 0, 440, 0.5), 0.999);
  EXPECT_GT(Correlation(stereoOut, 1, 660, 0.5), 0.999);
  EXPECT_TRUE(warnings.str().empty());
}

TEST(MediaTest, MidiFilesPlayTheirNotesAndThenEnd) {
  TempDir dir;
  const std::vector<uint8_t> smf = TwoNotes();
  WriteBytes(dir.File("notes.mid"), smf);
  // The same music inside a RIFF MIDI file, which the sequencer also plays as ".mid".
  std::vector<uint8_t> rmid = {'R', 'I', 'F', 'F'};
  Put(rmid, static_cast<uint32_t>(12 + smf.size()), 4);
  for (char c : std::string("RMIDdata")) rmid.push_back(static_cast<uint8_t>(c));
  Put(rmid, static_cast<uint32_t>(smf.size()), 4);
  rmid.insert(rmid.end(), smf.begin(), smf.end());
  WriteBytes(dir.File("riff.MID"), rmid);

  std::ostringstream warnings;
  for (const char* name : {"notes.mid", "riff.MID"}) {
    SCOPED_TRACE(name);
    const auto music = OpenMusic(dir.File(name), warnings);
    ASSERT_TRUE(music);
    const std::vector<float> out = Drain(*music);
    const double seconds = out.size() / 2.0 / kSampleRate;
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 3.0);                   // the notes' release, not the longest tail allowed
    EXPECT_GT(Rms(out, 4800, 19200), 0.005);   // C4 sounding
    EXPECT_GT(Rms(out, 28800, 43200), 0.005);  // E4 sounding
    EXPECT_LT(Rms(out, out.size() / 2 - 2400, out.size() / 2), 1e-4);  // silent at the end
  }
  EXPECT_TRUE(warnings.str().empty());
}

TEST(MediaTest, NamesWithoutMusicTheRendererCanPlay) {
  std::ostringstream warnings;
  EXPECT_FALSE(OpenMusic("D:\\Track03.cda", warnings));
  EXPECT_NE(warnings.str().find("Track03.cda"), std::string::npos);
  warnings.str("");
  // Names the player leaves alone: no music, no warning, and the file is never opened.
  EXPECT_FALSE(OpenMusic("/nowhere/song.mp3", warnings));
  EXPECT_FALSE(OpenMusic("/nowhere/song.rmi", warnings));
  EXPECT_FALSE(OpenMusic("/nowhere/song", warnings));
  EXPECT_TRUE(warnings.str().empty());
}

TEST(MediaTest, MissingAndDamagedMusicFilesThrowWithTheirName) {
  TempDir dir;
  std::vector<uint8_t> damaged = SineWave(22050, 1, 16, 0.1);
  std::fill(damaged.begin() + 8, damaged.begin() + 40, 0xEE);  // "WAVE" and the format gone
  WriteBytes(dir.File("damaged.wav"), damaged);
  std::vector<uint8_t> cut = TwoNotes();
  cut.resize(30);  // the track ends in the middle of its first note
  WriteBytes(dir.File("damaged.mid"), cut);
  WriteBytes(dir.File("other.mid"), {'M', 'I', 'D', 'I', 0, 0, 0, 0});
  std::ostringstream warnings;
  for (const std::string name :
       {"missing.wav", "damaged.wav", "missing.mid", "damaged.mid", "other.mid"}) {
    try {
      OpenMusic(dir.File(name), warnings);
      ADD_FAILURE() << name << " opened";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(dir.File(name)), std::string::npos) << error.what();
    }
  }
}

// The colour (0xRRGGBB) at the middle of a BGR picture.
uint32_t Middle(const std::vector<uint8_t>& bgr, int width, int height) {
  const uint8_t* p = bgr.data() + (static_cast<std::size_t>(height / 2) * width + width / 2) * 3;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

TEST(MediaTest, VideoFramesComeAtTheirTimesUntilTheEnd) {
  TempDir dir;
  const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF};
  std::vector<uint8_t> avi = test::MakeTestAviWithSound(32, 16, colours);
  // The first frame's first row stored, which is the picture's bottom row, made white.
  const auto frame = std::search(avi.begin(), avi.end(), std::begin("00db"), std::end("00db") - 1);
  std::fill(frame + 8, frame + 8 + 32 * 3, 0xFF);
  WriteBytes(dir.File("colours.avi"), avi);
  VideoItem video(dir.File("colours.avi"));
  EXPECT_EQ(video.Width(), 32);
  EXPECT_EQ(video.Height(), 16);
  EXPECT_NEAR(video.Seconds(), 0.3, 1e-6);
  EXPECT_FALSE(video.OpenSound());

  std::vector<uint8_t> bgr;
  // Render frames at 60 a second: 18 / 60 s is where the third frame (3 / 10 s) starts.
  const std::vector<std::pair<double, uint32_t>> wanted = {
      {0.0, 0xFF0000},       {5 / 60.0, 0xFF0000},  {6 / 60.0, 0x00FF00},
      {11 / 60.0, 0x00FF00}, {12 / 60.0, 0x0000FF}, {17 / 60.0, 0x0000FF}};
  for (const auto& [seconds, colour] : wanted) {
    ASSERT_TRUE(video.FrameAt(seconds, 64, 48, bgr)) << seconds;
    ASSERT_EQ(bgr.size(), 64u * 48 * 3);
    EXPECT_EQ(Middle(bgr, 64, 48), colour) << seconds;
    const uint32_t bottom = Middle(std::vector<uint8_t>(bgr.end() - 64 * 3, bgr.end()), 64, 1);
    EXPECT_EQ(bottom, seconds < 0.1 ? 0xFFFFFF : colour) << seconds;
  }
  EXPECT_FALSE(video.FrameAt(18 / 60.0, 64, 48, bgr));
  EXPECT_FALSE(video.FrameAt(1.0, 64, 48, bgr));

  // A file that is not there, one cut off in its headers, and one without pictures.
  std::vector<uint8_t> cut = test::MakeTestAviWithSound(32, 16, colours);
  cut.resize(100);
  WriteBytes(dir.File("cut.avi"), cut);
  WriteBytes(dir.File("silent.wav"), SineWave(22050, 1, 16, 0.1));
  for (const std::string name : {"missing.avi", "cut.avi", "silent.wav"}) {
    try {
      VideoItem failed(dir.File(name));
      ADD_FAILURE() << name << " opened";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(dir.File(name)), std::string::npos) << error.what();
    }
  }
}

TEST(MediaTest, VideoSoundPlaysOnPastItsPictures) {
  TempDir dir;
  std::vector<int16_t> sine(11025);  // half a second at 22050 Hz
  for (std::size_t i = 0; i < sine.size(); ++i) {
    sine[i] = static_cast<int16_t>(
        std::lround(16383 * std::sin(2 * std::numbers::pi * 440 * i / 22050.0)));
  }
  WriteBytes(dir.File("sound.avi"), test::MakeTestAviWithSound(16, 16, {0x204080, 0x408020}, sine));
  VideoItem video(dir.File("sound.avi"));
  EXPECT_NEAR(video.Seconds(), 0.5, 1e-3);
  std::vector<uint8_t> bgr;
  ASSERT_TRUE(video.FrameAt(0.15, 16, 16, bgr));
  EXPECT_EQ(Middle(bgr, 16, 16), 0x408020u);
  EXPECT_FALSE(video.FrameAt(0.2, 16, 16, bgr));

  const auto sound = video.OpenSound();
  ASSERT_TRUE(sound);
  const std::vector<float> out = Drain(*sound);
  EXPECT_NEAR(out.size() / 2.0, 24000, 8);
  EXPECT_GT(Correlation(out, 0, 440, 0.5), 0.99);
  EXPECT_GT(Correlation(out, 1, 440, 0.5), 0.99);
}

}  // namespace
}  // namespace lumafolio::render
