#include "tools/filmtool/ListCommand.h"

#include <cstdio>
#include <stdexcept>

#include "tools/filmtool/EffectNames.h"

namespace lumafolio {
namespace {

// What the player's host and presenter windows do with keys and the mouse during a show. A
// transition in progress is cut short by the keys that would end or step the show.
constexpr PlayerKey kPlayerKeys[] = {
    {"escape", 27, "ends the show: the player deletes its temporary files and exits"},
    {"page-down", 34, "manual mode: shows the next item (also cuts a transition short)"},
    {"page-up", 33, "manual mode: goes back to the previous item (also cuts a transition short)"},
    {"left", 37, "pans a picture larger than the screen, while it is shown"},
    {"up", 38, "pans a picture larger than the screen, while it is shown"},
    {"right", 39, "pans a picture larger than the screen, while it is shown"},
    {"down", 40, "pans a picture larger than the screen, while it is shown"},
    {"numpad-plus", 107, "zooms the picture in, doubling it"},
    {"numpad-minus", 109, "zooms the picture out, halving it"},
    {"click", 0, "manual mode: the left mouse button shows the next item"},
    {"double-click", 0, "ends the show, as Escape does (also cuts a transition short)"},
    {"alt-f4", 0, "closing the window ends the show, as Escape does"},
};

}  // namespace

std::span<const PlayerKey> PlayerKeys() { return kPlayerKeys; }

void ListNames(const std::string& topic, std::ostream& out) {
  if (topic == "transitions") {
    out << TransitionListing();
  } else if (topic == "captions") {
    out << CaptionEffectListing();
  } else if (topic == "keys") {
    for (const PlayerKey& key : kPlayerKeys) {
      char line[160];
      std::snprintf(line, sizeof line, "  %-16s %3s  %s\n", key.name,
                    key.code ? std::to_string(key.code).c_str() : "-", key.summary);
      out << line;
    }
  } else {
    throw std::invalid_argument("nothing to list by the name \"" + topic +
                                "\": give transitions, captions or keys");
  }
}

}  // namespace lumafolio
