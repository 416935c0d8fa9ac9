#pragma once

#include <string>

namespace lumafolio {

// Makes a new, empty folder of this player's own inside `tempRoot` (the user's temporary folder,
// in UTF-8, ending with a separator) and returns its path with a trailing backslash; empty when
// none could be made. Two players running at once get two folders, so neither overwrites nor
// deletes the other's film file and media.
std::string CreatePlayerFolder(const std::string& tempRoot);

// Deletes `folder` (UTF-8, ending with a backslash) with every file and folder in it; read-only
// files too. Links inside it are removed, never followed. What cannot be deleted stays.
void RemoveFolderTree(const std::string& folder);

}  // namespace lumafolio
