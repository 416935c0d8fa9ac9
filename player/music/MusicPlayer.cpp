#include "player/music/MusicPlayer.h"

#include <cstring>

#include "player/show/TimerIds.h"
#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

constexpr UINT kCdPeriodMs = 500;
constexpr UINT kMidiPeriodMs = 500;
constexpr UINT kWavePeriodMs = 250;

// The controller whose timer ticks: a TIMERPROC carries no pointer of its own.
MusicPlayer* activeMusicPlayer = nullptr;

}  // namespace

MusicPlayer::MusicPlayer(HWND owner, const MciApi& mci)
    : owner_(owner),
      cd_(std::make_unique<CdAudioDevice>(mci)),
      wave_(std::make_unique<WaveDevice>(mci)),
      midi_(std::make_unique<MidiDevice>(mci)) {
  activeMusicPlayer = this;
}

MusicPlayer::~MusicPlayer() {
  StopTimer();  // no tick may reach a controller that is gone
  if (activeMusicPlayer == this) activeMusicPlayer = nullptr;
}

bool MusicPlayer::playFile(const std::string& fileName) {
  const MusicKind kind = MusicKindOf(fileName);
  if (kind == MusicKind::kNone) return false;  // the music that plays goes on
  // MCI takes ANSI names only: a file in a folder the ANSI code page cannot spell (a user's
  // temporary folder, say) goes by its short form, and one without either stays silent.
  const std::optional<std::string> ansi = AnsiPathFor(fileName);
  if (!ansi) return false;
  const std::string& name = *ansi;
  // Names that do not fit the buffers are refused before anything changes.
  if (name.size() >= kMaxPath || name.find('\0') != std::string::npos) return false;
  char fullPath[kMaxPath];
  char* namePart = nullptr;
  const DWORD length = GetFullPathNameA(name.c_str(), kMaxPath, fullPath, &namePart);
  if (length == 0 || length >= kMaxPath) return false;

  switch (kind) {
    case MusicKind::kCdAudio:
      return PlayCdTrack(name, fullPath, namePart);
    case MusicKind::kWave:
      return PlayMusicFile(*wave_, kind, name, kWavePeriodMs);
    case MusicKind::kMidi:
      return PlayMusicFile(*midi_, kind, name, kMidiPeriodMs);
    case MusicKind::kNone:
      break;
  }
  return false;
}

bool MusicPlayer::PlayCdTrack(const std::string& fileName, const char* fullPath,
                              const char* namePart) {
  const int track = CdTrackNumber(namePart != nullptr ? namePart : "");
  const int drive = DriveIndex(fullPath);
  if (track == 0 || drive < 0) return false;
  if (kind_ != MusicKind::kCdAudio || _stricmp(currentFile_, fileName.c_str()) != 0) {
    stopMusic();
    if (!cd_->open(drive)) return false;
    kind_ = MusicKind::kCdAudio;
    Remember(fileName);
    StartTimer(kCdPeriodMs);
  }
  // The same track asked again finds it sounding and lets it run on.
  return cd_->playTrack(track);
}

template <typename Device>
bool MusicPlayer::PlayMusicFile(Device& device, MusicKind kind, const std::string& fileName,
                                UINT period) {
  stopMusic();
  if (!device.open(fileName.c_str())) return false;  // the show goes on in silence
  kind_ = kind;
  Remember(fileName);
  StartTimer(period);
  return device.play();
}

void MusicPlayer::stopMusic() {
  StopTimer();
  switch (kind_) {
    case MusicKind::kCdAudio:
      cd_->close();  // stops the disc first
      break;
    case MusicKind::kWave:
      wave_->close();
      break;
    case MusicKind::kMidi:
      midi_->close();
      break;
    case MusicKind::kNone:
      break;
  }
  kind_ = MusicKind::kNone;
}

void MusicPlayer::OnTimer() {
  const auto endWhenStopped = [this](auto& device) {
    const FileDeviceStatus status = device.status();
    if (status == FileDeviceStatus::kNeverPlayed || status == FileDeviceStatus::kEnded) {
      // Played once: back to the start, open and silent, until an item asks for music.
      StopTimer();
      device.rewind();
    }
  };
  switch (kind_) {
    case MusicKind::kCdAudio:
      cd_->poll();
      break;
    case MusicKind::kWave:
      endWhenStopped(*wave_);
      break;
    case MusicKind::kMidi:
      endWhenStopped(*midi_);
      break;
    case MusicKind::kNone:
      break;
  }
}

void CALLBACK MusicPlayer::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
  if (activeMusicPlayer != nullptr) activeMusicPlayer->OnTimer();
}

void MusicPlayer::StartTimer(UINT period) {
  // With no owner window SetTimer would pick an id of its own, which KillTimer could not name.
  if (owner_ == nullptr) return;
  if (SetTimer(owner_, kMusicTimer, period, TimerProc) != 0) timerPeriod_ = period;
}

void MusicPlayer::StopTimer() {
  if (timerPeriod_ != 0 && owner_ != nullptr) KillTimer(owner_, kMusicTimer);
  timerPeriod_ = 0;
}

void MusicPlayer::Remember(const std::string& fileName) {
  std::memcpy(currentFile_, fileName.c_str(), fileName.size() + 1);  // checked to fit
}

}  // namespace lumafolio
