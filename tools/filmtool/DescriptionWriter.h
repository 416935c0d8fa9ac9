#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/film/FilmDocument.h"
#include "core/payload/MediaLayout.h"

namespace lumafolio {

// Where each payload file of a film lies, relative to the description's folder, in UTF-8 with
// '/' between names: keyed by item position and the field that names it.
using MediaPaths = std::map<std::pair<int32_t, MediaField>, std::string>;

struct WrittenDescription {
  std::string text;  // a description `filmtool build` reads (Description.h)
  // What the description cannot say as the film holds it, one phrase each ("item 3: ..."): a
  // film built from the description differs there.
  std::vector<std::string> losses;
};

// Describes a film with every value written out, defaults included, so that building the
// description makes the same film again. Without `paths` (a bare film file, whose media are
// elsewhere) files are named as the film names them.
WrittenDescription DescribeFilm(const FilmDocument& film, const MediaPaths* paths);

}  // namespace lumafolio
