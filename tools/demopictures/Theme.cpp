// The theme is synthesised note by note: each note is a few harmonics of a sine under a struck
// envelope (a quick rise, an exponential fade, and a short release at its end so that nothing
// clicks), mixed into stereo with one cross-channel echo for a little room.
#include "Theme.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <vector>

namespace demo {
namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr double kBeat = 60.0 / 138;          // seconds
constexpr double kLength = 16 * kBeat + 0.8;  // four bars of four beats, then the last chord rings

// A note: its MIDI key number (60 is middle C), its start and its length in beats.
struct Note {
  int key;
  double start;
  double length;
};

// How an instrument sounds.
struct Voice {
  std::array<double, 3> harmonics;  // strengths of the fundamental, the octave and the twelfth
  double attack;                    // seconds to full strength
  double decay;                     // seconds for the sound to fall to 1/e of it
  double release;                   // seconds of fade after the note's end
  double level;
  double pan;  // 0 left, 1 right
};

// Up the C major chord, then step by step back home over F, C and G.
constexpr Note kTune[] = {
    {76, 0, 1},   {79, 1, 1},     {84, 2, 1},    {83, 3, 0.5},    {81, 3.5, 0.5},  // C
    {81, 4, 1.5}, {79, 5.5, 0.5}, {77, 6, 1},    {76, 7, 1},                       // F, C
    {74, 8, 1},   {79, 9, 1},     {77, 10, 0.5}, {76, 10.5, 0.5}, {74, 11, 1},     // G
    {72, 12, 5}};                                                                  // C
constexpr Note kBass[] = {{48, 0, 2}, {43, 2, 2},  {41, 4, 2}, {48, 6, 2},
                          {43, 8, 2}, {47, 10, 2}, {36, 12, 5}};
constexpr Note kChords[] = {{60, 0, 4}, {64, 0, 4}, {67, 0, 4},  {60, 4, 2},  {65, 4, 2},
                            {69, 4, 2}, {60, 6, 2}, {64, 6, 2},  {67, 6, 2},  {59, 8, 4},
                            {62, 8, 4}, {67, 8, 4}, {60, 12, 5}, {64, 12, 5}, {67, 12, 5}};

constexpr Voice kMallet{{1.0, 0.35, 0.12}, 0.006, 0.45, 0.05, 0.5, 0.62};
constexpr Voice kBassVoice{{1.0, 0.2, 0.0}, 0.02, 0.9, 0.08, 0.45, 0.38};
constexpr Voice kPad{{1.0, 0.1, 0.0}, 0.15, 2.5, 0.2, 0.1, 0.5};

struct Mix {
  std::vector<double> left, right;
};

void Play(Mix& mix, const Note& note, const Voice& voice) {
  const double frequency = 440.0 * std::pow(2.0, (note.key - 69) / 12.0);
  const double held = note.length * kBeat;
  const auto first = static_cast<size_t>(note.start * kBeat * kRate);
  const size_t count = std::min(static_cast<size_t>((held + voice.release) * kRate),
                                mix.left.size() - std::min(first, mix.left.size()));
  const double left = voice.level * std::cos(voice.pan * std::numbers::pi / 2);
  const double right = voice.level * std::sin(voice.pan * std::numbers::pi / 2);
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double envelope = std::min(1.0, t / voice.attack) * std::exp(-t / voice.decay);
    if (t > held) envelope *= 1.0 - (t - held) / voice.release;
    double sound = 0;
    for (size_t h = 0; h < voice.harmonics.size(); ++h) {
      sound += voice.harmonics[h] * std::sin(2 * std::numbers::pi * frequency * (h + 1) * t);
    }
    mix.left[first + i] += left * envelope * sound;
    mix.right[first + i] += right * envelope * sound;
  }
}

// One reflection from the other side, a quarter of a second later and softer. Run backwards, so
// that each echo is of the dry sound only.
void Echo(Mix& mix) {
  const auto delay = static_cast<size_t>(0.23 * kRate);
  for (size_t i = mix.left.size(); i-- > delay;) {
    mix.left[i] += 0.22 * mix.right[i - delay];
    mix.right[i] += 0.22 * mix.left[i - delay];
  }
}

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

// The canonical 44-byte header of a PCM wave file, then the interleaved little-endian samples.
std::vector<uint8_t> WaveFile(const Mix& mix) {
  double peak = 1e-9;
  for (size_t i = 0; i < mix.left.size(); ++i) {
    peak = std::max({peak, std::abs(mix.left[i]), std::abs(mix.right[i])});
  }
  const double gain = 0.6 * 32767 / peak;  // about -4.4 dB at the loudest
  const auto data = static_cast<uint32_t>(mix.left.size() * kChannels * kBytesPerSample);
  std::vector<uint8_t> out;
  PutTag(out, "RIFF");
  Put(out, 36 + data, 4);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put(out, 16, 4);  // size of the format chunk
  Put(out, 1, 2);   // PCM
  Put(out, kChannels, 2);
  Put(out, kRate, 4);
  Put(out, kRate * kChannels * kBytesPerSample, 4);  // bytes a second
  Put(out, kChannels * kBytesPerSample, 2);          // bytes a frame
  Put(out, 8 * kBytesPerSample, 2);
  PutTag(out, "data");
  Put(out, data, 4);
  const size_t fade = kRate / 4;  // the last quarter second fades to nothing
  for (size_t i = 0; i < mix.left.size(); ++i) {
    const double tail = std::min(1.0, static_cast<double>(mix.left.size() - i) / fade);
    for (const double sample : {mix.left[i], mix.right[i]}) {
      Put(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(sample * gain * tail))), 2);
    }
  }
  return out;
}

}  // namespace

bool WriteTheme(const std::filesystem::path& path) {
  const auto frames = static_cast<size_t>(kLength * kRate);
  Mix mix{std::vector<double>(frames), std::vector<double>(frames)};
  for (const Note& note : kChords) Play(mix, note, kPad);
  for (const Note& note : kBass) Play(mix, note, kBassVoice);
  for (const Note& note : kTune) Play(mix, note, kMallet);
  Echo(mix);
  const std::vector<uint8_t> bytes = WaveFile(mix);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out.good();
}

}  // namespace demo
