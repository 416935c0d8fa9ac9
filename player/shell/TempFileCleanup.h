#pragma once

#include <string>

#include "core/film/FilmDocument.h"

namespace lumafolio {

// Deletes the files that item preparation extracted: the media file of every video and
// PowerPoint item and every item's music file, in item order. Only names that, made absolute and
// normalised, lie inside `tempFolder` are touched; failures are ignored. Paths are UTF-8, as
// preparation wrote them.
void DeleteItemTempFiles(const FilmDocument& film, const std::string& tempFolder);

// Whether `path`, once made absolute and normalised, lies inside `folder` (compared without
// regard to case, as Windows file names are).
bool IsInsideFolder(const std::string& path, const std::string& folder);

}  // namespace lumafolio
