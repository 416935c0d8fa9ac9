#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/film/FilmDocument.h"

namespace lumafolio {

// Which item a show step brings on, forward and back, and where an item's media is. The show
// engine and its worker both use these, on copies of the item on screen.

// The item whose position follows `item`'s, or a record with position -1 when there is none.
FilmItem NextItemAfter(const FilmDocument& film, const FilmItem& item);

// The item the next show step brings on after `current`: the following one, the first one again
// with `loop`, or nothing at the end of a film without loop (and in a film without items).
std::optional<FilmItem> ItemToShowAfter(const FilmDocument& film, const FilmItem& current,
                                        bool loop);

// Page Up goes back by making the show step start from the item two places before the one on
// screen. Returns that item (position 0 stands for "before the first item"), or nothing when the
// key is to be ignored: the first item is on screen and the film does not loop.
std::optional<FilmItem> StepBackOrigin(const FilmDocument& film, const FilmItem& current,
                                       bool loop);

// The record that stands for "before the first item": the first step treats the empty stage as a
// picture that the first item's transition starts from.
FilmItem BeforeFirstItem();

// The path the worker prepares an item from: the folder and file joined by one backslash, or the
// file alone when there is no folder. For pictures the "file" is the decimal offset of the
// JPEG in the program file.
std::string MediaPath(const FilmItem& item);

// How long a timed film keeps `item` on screen after its show step, in milliseconds. A damaged
// duration below 0 shows the item for the shortest time; one longer than a window timer can
// count (24.8 days) counts to that limit, so that its milliseconds can never wrap round to a
// short time.
uint32_t ItemTimeMs(const FilmItem& item);

}  // namespace lumafolio
