#include "player/shell/SystemPreparationHost.h"

#include "player/shell/MediaAvailability.h"
#include "player/shell/MessagePump.h"
#include "player/film/OleFilmStorage.h"

namespace lumafolio {

bool SystemPreparationHost::IsVideoPlaybackAvailable() {
  return lumafolio::IsVideoPlaybackAvailable();
}

bool SystemPreparationHost::IsPptViewerInstalled() { return lumafolio::IsPptViewerInstalled(); }

unsigned SystemPreparationHost::DriveType(const char* root) { return GetDriveTypeA(root); }

bool SystemPreparationHost::ReadFilm(FilmDocument& film, const std::string& filmPath) {
  OleFilmStorage storage;
  return film.ReadFilm(filmPath, storage, PumpOneMessage);
}

void SystemPreparationHost::OpenProgress() { progress_.Open(hostWindow_, instance_); }

void SystemPreparationHost::SetProgress(float fraction) { progress_.SetProgress(fraction); }

void SystemPreparationHost::CloseProgress() { progress_.Close(); }

void SystemPreparationHost::ShowMessage(const char* text) {
  MessageBoxA(nullptr, text, nullptr, MB_OK);
}

}  // namespace lumafolio
