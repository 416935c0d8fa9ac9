#include "player/music/MciDevices.h"

#include <cstdio>
#include <type_traits>

namespace lumafolio {
namespace {

// Blocks and flags travel through MCI as pointer-sized words.
DWORD_PTR Word(void* block) { return reinterpret_cast<DWORD_PTR>(block); }

// MCI_OPEN_TYPE_ID: the device type travels as a number in the type name's place.
LPCSTR TypeId(UINT deviceType) {
  return reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(deviceType));
}

// The start of a track, in the TMSF time format: the track in the lowest byte, minutes, seconds
// and frames 0.
DWORD TrackStart(int track) { return MCI_MAKE_TMSF(static_cast<BYTE>(track), 0, 0, 0); }

}  // namespace

// ---- CdAudioDevice ----------------------------------------------------------------------------

MCIERROR CdAudioDevice::Send(UINT message, DWORD flags, void* block) {
  lastError_ = mci_.sendCommand(open_.wDeviceID, message, flags, Word(block));
  return lastError_;
}

bool CdAudioDevice::SendReported(UINT message, DWORD flags, void* block) {
  const MCIERROR error = Send(message, flags, block);
  if (error != 0) Report(error);
  return error == 0;
}

void CdAudioDevice::Report(MCIERROR error) const {
  char text[256];
  if (mci_.errorString(error, text, sizeof text) != 1) {
    std::snprintf(text, sizeof text, "%s", "Unknown m_Error!");
  }
  text[sizeof text - 1] = '\0';  // whatever the driver wrote, the debug output gets a string
  mci_.debugOutput(text);
}

DWORD_PTR CdAudioDevice::Status(DWORD item) {
  status_ = {};
  status_.dwItem = item;
  return Send(MCI_STATUS, MCI_STATUS_ITEM, &status_) == 0 ? status_.dwReturn : 0;
}

void CdAudioDevice::ClearPlayList() {
  entryCount_ = 0;
  currentEntry_ = 0;
}

void CdAudioDevice::AppendEntry(int track) {
  if (entryCount_ >= kPlayListSize) return;
  playList_[++entryCount_] = static_cast<uint8_t>(track);
}

void CdAudioDevice::SetCurrentEntry(int entry) {
  if (entry >= 1 && entry <= entryCount_) currentEntry_ = entry;
}

int CdAudioDevice::CurrentTrack() const {
  return currentEntry_ >= 1 && currentEntry_ <= entryCount_ ? playList_[currentEntry_] : 0;
}

bool CdAudioDevice::open(int drive) {
  if (IsOpen()) close();  // never leave a device open behind a new one
  open_ = {};
  open_.lpstrDeviceType = TypeId(MCI_DEVTYPE_CD_AUDIO);
  DWORD flags = MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_SHAREABLE | MCI_WAIT;
  if (drive != 0) {
    std::snprintf(driveName_, sizeof driveName_, "%c:", static_cast<char>('A' + drive));
    open_.lpstrElementName = driveName_;
    flags |= MCI_OPEN_ELEMENT;
  }
  // Sent to no device yet: the ID comes back in the open block.
  lastError_ = mci_.sendCommand(0, MCI_OPEN, flags, Word(&open_));
  if (lastError_ != 0) {
    Report(lastError_);
    open_.wDeviceID = 0;
    return false;
  }
  isOpen_ = TRUE;
  refresh();
  return true;
}

bool CdAudioDevice::refresh() {
  if (!IsOpen()) return false;
  set_.dwTimeFormat = MCI_FORMAT_TMSF;
  Send(MCI_SET, MCI_SET_TIME_FORMAT, &set_);  // only stored: a status query follows anyway
  const DWORD_PTR tracks = Status(MCI_STATUS_NUMBER_OF_TRACKS);
  ClearPlayList();
  for (DWORD_PTR track = 1; track <= tracks && track <= kPlayListSize; ++track) {
    AppendEntry(static_cast<int>(track));
  }
  if (Status(MCI_STATUS_MODE) == MCI_MODE_STOP) {
    currentEntry_ = entryCount_ > 0 ? 1 : 0;
    goToTrack(1);
    state_ = kStopped;
  } else {
    SetCurrentEntry(MCI_TMSF_TRACK(Status(MCI_STATUS_POSITION)));
    state_ = kPlaying;
  }
  return true;
}

int CdAudioDevice::nextEntry() {
  ++currentEntry_;
  if (currentEntry_ > entryCount_) {
    currentEntry_ = entryCount_;
    return 0;
  }
  return playList_[currentEntry_];
}

bool CdAudioDevice::play() {
  if (!IsOpen()) return false;
  bool played = false;
  switch (state_) {
    case kPlaying:
      return true;
    case kStopped:
      play_.dwFrom = TrackStart(CurrentTrack());
      played = SendReported(MCI_PLAY, MCI_FROM, &play_);
      break;
    case kPaused:
      played = SendReported(MCI_PLAY, 0, &play_);
      break;
    case kNotReady:
      // The disc may be back in the drive: close the tray, read the disc again, and play the
      // entry that reading chose.
      toggleTray();
      refresh();
      play_.dwFrom = TrackStart(CurrentTrack());
      played = SendReported(MCI_PLAY, MCI_FROM, &play_);
      break;
  }
  if (played) state_ = kPlaying;
  return played;
}

bool CdAudioDevice::playTrack(int track) {
  if (!IsOpen()) return false;
  ClearPlayList();
  AppendEntry(track);
  SetCurrentEntry(1);
  if (MCI_TMSF_TRACK(Status(MCI_STATUS_POSITION)) != track) goToTrack(track);
  return play();
}

bool CdAudioDevice::goToTrack(int track) {
  if (!IsOpen()) return false;
  if (state_ == kPlaying) {
    play_.dwFrom = TrackStart(track);
    return SendReported(MCI_PLAY, MCI_FROM, &play_);  // on from there to the end of the disc
  }
  seek_.dwTo = TrackStart(track);
  return SendReported(MCI_SEEK, MCI_TO, &seek_);
}

bool CdAudioDevice::stop() {
  if (!IsOpen()) return false;
  if (!SendReported(MCI_STOP, MCI_WAIT, &generic_)) return false;
  state_ = kStopped;
  SetCurrentEntry(1);
  goToTrack(CurrentTrack());  // a stopped disc waits at the start of its first listed track
  return true;
}

bool CdAudioDevice::close() {
  if (!IsOpen()) return false;
  stop();
  const bool closed = SendReported(MCI_CLOSE, MCI_WAIT, &generic_);
  isOpen_ = FALSE;
  open_.wDeviceID = 0;
  return closed;
}

bool CdAudioDevice::toggleTray() {
  if (!IsOpen()) return false;
  const DWORD door =
      Status(MCI_STATUS_MODE) == MCI_MODE_OPEN ? MCI_SET_DOOR_CLOSED : MCI_SET_DOOR_OPEN;
  return SendReported(MCI_SET, door | MCI_WAIT, &set_);
}

bool CdAudioDevice::poll() {
  if (!IsOpen()) return false;
  switch (Status(MCI_STATUS_MODE)) {
    case MCI_MODE_PLAY:
      state_ = kPlaying;
      if (static_cast<int>(MCI_TMSF_TRACK(Status(MCI_STATUS_POSITION))) != CurrentTrack()) {
        // The disc has played past the end of the wanted track into the next one.
        if (const int track = nextEntry(); track != 0) {
          goToTrack(track);
        } else {
          stop();
          state_ = kStopped;
        }
      }
      break;
    case MCI_MODE_STOP:
      switch (state_) {
        case kPlaying:  // the disc ran to its end
          if (const int track = nextEntry(); track != 0) {
            goToTrack(track);
          } else {
            state_ = kStopped;
          }
          break;
        case kNotReady:  // the disc is back
          refresh();
          state_ = kStopped;
          break;
        case kStopped:
        case kPaused:
          break;
      }
      break;
    case MCI_MODE_PAUSE:
      state_ = kPaused;
      break;
    default:  // not ready, seeking, door open, recording, or the query failed
      state_ = kNotReady;
      break;
  }
  return true;
}

// ---- MciFileDevice ----------------------------------------------------------------------------

template <typename OpenBlock>
MCIERROR MciFileDevice<OpenBlock>::Send(UINT message, DWORD flags, void* block) {
  lastError_ = mci_.sendCommand(open_.wDeviceID, message, flags, Word(block));
  return lastError_;
}

template <typename OpenBlock>
bool MciFileDevice<OpenBlock>::open(const char* fileName) {
  if (IsOpen()) close();  // never leave a device open behind a new one
  open_ = {};
  open_.lpstrDeviceType = TypeId(deviceType_);
  open_.lpstrElementName = fileName;
  if constexpr (std::is_same_v<OpenBlock, MCI_WAVE_OPEN_PARMSA>) open_.dwBufferSeconds = 4;
  lastError_ = mci_.sendCommand(0, MCI_OPEN, openFlags_, Word(&open_));
  if (lastError_ != 0) {
    open_.wDeviceID = 0;
    return false;
  }
  isOpen_ = TRUE;
  // Positions in milliseconds, from the start. Failures are kept in LastError only: the file is
  // open and may still play.
  set_.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
  Send(MCI_SET, MCI_SET_TIME_FORMAT, &set_);
  Send(MCI_SEEK, MCI_SEEK_TO_START, &seek_);
  return true;
}

template <typename OpenBlock>
bool MciFileDevice<OpenBlock>::close() {
  if (!IsOpen()) return false;
  lastCommand_ = kClosed;
  Send(MCI_CLOSE, 0, &generic_);
  isOpen_ = FALSE;
  open_.wDeviceID = 0;
  return true;
}

template <typename OpenBlock>
bool MciFileDevice<OpenBlock>::play() {
  if (!IsOpen()) return false;
  lastCommand_ = kPlayed;
  return Send(MCI_PLAY, 0, &play_) == 0;  // from where it stands to the end
}

template <typename OpenBlock>
bool MciFileDevice<OpenBlock>::rewind() {
  if (!IsOpen()) return false;
  return Send(MCI_SEEK, MCI_SEEK_TO_START, &seek_) == 0;
}

template <typename OpenBlock>
FileDeviceStatus MciFileDevice<OpenBlock>::status() {
  status_ = {};
  status_.dwItem = MCI_STATUS_MODE;
  if (Send(MCI_STATUS, MCI_STATUS_ITEM, &status_) != 0) return FileDeviceStatus::kUnknown;
  switch (status_.dwReturn) {
    case MCI_MODE_PLAY:
      return FileDeviceStatus::kPlaying;
    case MCI_MODE_PAUSE:
      return FileDeviceStatus::kPaused;
    case MCI_MODE_STOP:
      return lastCommand_ == kPlayed ? FileDeviceStatus::kEnded : FileDeviceStatus::kNeverPlayed;
    default:
      return FileDeviceStatus::kUnknown;
  }
}

template class MciFileDevice<MCI_OPEN_PARMSA>;
template class MciFileDevice<MCI_WAVE_OPEN_PARMSA>;

}  // namespace lumafolio
