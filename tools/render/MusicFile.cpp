#include "tools/render/MusicFile.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "core/music/MusicFileName.h"
#include "tools/render/FfmpegAudio.h"
#include "tools/render/RenderSink.h"

namespace lumafolio::render {
namespace {

// FluidSynth writes its messages to stderr unless told otherwise. Its errors are kept (for this
// thread) to explain a failure in our own message; everything else it says is dropped.
thread_local std::string fluidError;

void KeepFluidError(int, const char* message, void*) {
  if (fluidError.empty()) fluidError = message ? message : "";
}

void RouteFluidLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    fluid_set_log_function(FLUID_PANIC, KeepFluidError, nullptr);
    fluid_set_log_function(FLUID_ERR, KeepFluidError, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
  });
}

std::string TakeFluidError() {
  std::string error = std::move(fluidError);
  fluidError.clear();
  return error;
}

constexpr std::array<const char*, 2> kSoundFonts = {"/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                                    "/usr/share/sounds/sf2/default-GM.sf2"};

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot be opened");
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(path + ": cannot be read");
  return bytes;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

// The standard MIDI file in `bytes`: the file itself, or the "data" chunk of a RIFF MIDI file
// (the RMID form, which the sequencer also plays under a ".mid" name).
std::vector<std::uint8_t> MidiData(const std::string& path, std::vector<std::uint8_t> bytes) {
  const auto isSmf = [](const std::uint8_t* p, std::size_t size) {
    return size >= 14 && std::memcmp(p, "MThd", 4) == 0;
  };
  if (isSmf(bytes.data(), bytes.size())) return bytes;
  if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
      std::memcmp(bytes.data() + 8, "RMID", 4) == 0) {
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
      const std::size_t size = Le32(bytes.data() + at + 4);
      const std::size_t start = at + 8;
      if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
        const std::size_t length = std::min(size, bytes.size() - start);
        if (!isSmf(bytes.data() + start, length)) break;
        return {bytes.begin() + static_cast<std::ptrdiff_t>(start),
                bytes.begin() + static_cast<std::ptrdiff_t>(start + length)};
      }
      if (size > bytes.size() - start) break;
      at = start + size + (size & 1);
    }
    throw std::runtime_error(path + ": a RIFF MIDI file without MIDI data");
  }
  throw std::runtime_error(path + ": not a MIDI file");
}

// A MIDI file played by FluidSynth's sequencer into its synthesiser, block by block as the mixer
// asks; after the last event the notes are released and their sound dies away before the end.
class MidiMusic final : public SoundSource {
 public:
  MidiMusic(const std::string& path, const std::vector<std::uint8_t>& midi) : path_(path) {
    try {
      Open(midi);
    } catch (...) {
      Release();
      throw;
    }
  }
  ~MidiMusic() override { Release(); }

  std::size_t MixInto(float* out, std::size_t frames) override {
    std::size_t done = 0;
    while (done < frames) {
      if (read_ == filled_) {
        if (ended_ || !Synthesise()) break;
      }
      const std::size_t count = std::min(frames - done, filled_ - read_);
      const float* from = block_.data() + 2 * read_;
      float* to = out + 2 * done;
      for (std::size_t i = 0; i < 2 * count; ++i) to[i] += from[i];
      read_ += count;
      done += count;
    }
    return done;
  }

 private:
  static constexpr std::size_t kBlock = 256;
  // After the file's last event: the end once the sound has stayed below -90 dB (under the
  // least step of 16-bit sound) this long,
  // or at the latest after kLongestTail (a sound that never dies away, an organ's, say).
  static constexpr std::size_t kSilentEnough = kSampleRate / 10;
  static constexpr std::size_t kLongestTail = 5 * kSampleRate;

  void Open(const std::vector<std::uint8_t>& midi) {
    const char* soundFont = nullptr;
    for (const char* candidate : kSoundFonts) {
      std::error_code ignored;
      if (std::filesystem::is_regular_file(candidate, ignored)) {
        soundFont = candidate;
        break;
      }
    }
    if (!soundFont) {
      throw std::runtime_error(path_ +
                               ": no General MIDI SoundFont to play it with (install "
                               "fluid-soundfont-gm for " +
                               kSoundFonts[0] + ")");
    }
    TakeFluidError();
    settings_ = new_fluid_settings();
    if (!settings_) throw std::bad_alloc();
    fluid_settings_setnum(settings_, "synth.sample-rate", kSampleRate);
    // No audio driver: the sequencer's clock is the number of samples synthesised.
    fluid_settings_setstr(settings_, "player.timing-source", "sample");
    // Only the instruments the music uses are read from the (large) SoundFont.
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings_, "synth.lock-memory", 0);
    synth_ = new_fluid_synth(settings_);
    if (!synth_) Fail("the synthesiser cannot be started");
    if (fluid_synth_sfload(synth_, soundFont, 1) == FLUID_FAILED) {
      Fail(std::string("the SoundFont ") + soundFont + " cannot be loaded");
    }
    player_ = new_fluid_player(synth_);
    if (!player_) Fail("the sequencer cannot be started");
    if (fluid_player_add_mem(player_, midi.data(), midi.size()) != FLUID_OK ||
        fluid_player_play(player_) != FLUID_OK) {
      Fail("cannot be played");
    }
    // The sequencer reads the file as it starts playing: a damaged one fails here, when the
    // music is opened, rather than half-way through the render.
    Synthesise();
  }

  void Release() {
    if (player_) delete_fluid_player(player_);
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
    player_ = nullptr, synth_ = nullptr, settings_ = nullptr;
  }

  [[noreturn]] void Fail(const std::string& what) {
    const std::string why = TakeFluidError();
    throw std::runtime_error(path_ + ": " + what + (why.empty() ? "" : " (" + why + ")"));
  }

  // The next block into block_; false when the music has ended.
  bool Synthesise() {
    TakeFluidError();
    // The music ends at its last event. FluidSynth's sequencer itself only says it is done a
    // while later, so the ticks tell.
    const int total = fluid_player_get_total_ticks(player_);
    if (!finishing_ && (fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING ||
                        (total > 0 && fluid_player_get_current_tick(player_) >= total))) {
      finishing_ = true;
      fluid_synth_all_notes_off(synth_, -1);
    }
    if (finishing_ && (quiet_ >= kSilentEnough || tail_ >= kLongestTail)) {
      ended_ = true;
      return false;
    }
    block_.assign(2 * kBlock, 0.0f);
    if (fluid_synth_write_float(synth_, static_cast<int>(kBlock), block_.data(), 0, 2,
                                block_.data(), 1, 2) != FLUID_OK) {
      Fail("cannot be synthesised");
    }
    const std::string error = TakeFluidError();
    if (!error.empty()) {
      throw std::runtime_error(path_ + ": cannot be played (" + error + ")");
    }
    if (finishing_) {
      tail_ += kBlock;
      float peak = 0;
      for (float sample : block_) peak = std::max(peak, std::fabs(sample));
      quiet_ = peak < 3e-5f ? quiet_ + kBlock : 0;
    }
    filled_ = kBlock;
    read_ = 0;
    return true;
  }

  std::string path_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
  std::vector<float> block_;
  std::size_t filled_ = 0, read_ = 0;
  std::size_t tail_ = 0, quiet_ = 0;  // samples after the last event; of them, silent at the end
  bool finishing_ = false, ended_ = false;
};

}  // namespace

std::unique_ptr<SoundSource> OpenMusic(const std::string& path, std::ostream& warnings) {
  switch (MusicKindOf(path)) {
    case MusicKind::kCdAudio:
      warnings << "warning: " << path
               << ": a track of an audio CD cannot be rendered; the music is left out\n";
      return nullptr;
    case MusicKind::kWave:
      // The player hands ".wav" names to the wave device only, which reads RIFF wave files.
      return OpenFfmpegAudio(path, "wav", false);
    case MusicKind::kMidi:
      RouteFluidLog();
      return std::make_unique<MidiMusic>(path, MidiData(path, ReadFile(path)));
    case MusicKind::kNone:
      break;
  }
  return nullptr;
}

}  // namespace lumafolio::render
