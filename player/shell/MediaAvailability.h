#pragma once

#include <functional>
#include <string>

namespace lumafolio {

// Whether DirectShow's filter graph can be created: the one thing video items need.
bool IsVideoPlaybackAvailable();

// Whether PowerPoint Viewer 97 is registered and its program is where the registry says.
bool IsPptViewerInstalled();

// The root ("E:\") of the first CD-ROM drive from D: to Z:, or empty. `driveType` answers as
// GetDriveTypeA does.
std::string FindCdRomDrive(const std::function<unsigned(const char* root)>& driveType);

}  // namespace lumafolio
