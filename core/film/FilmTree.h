#pragma once

#include "core/film/CompoundTree.h"
#include "core/film/FilmDocument.h"

namespace lumafolio {

// The compound-file tree of a film: "LOOP", "AUTOPLAY", "STAGE" unless the stage is classic, and
// one "FILMLINK"n storage per item holding its "FILMITEM" record and, when it has captions,
// "TEXTLIST" with "TEXT"1..m.
CompoundElement MakeFilmTree(const FilmDocument& film);

}  // namespace lumafolio
