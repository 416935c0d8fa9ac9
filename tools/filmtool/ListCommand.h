#pragma once

#include <ostream>
#include <span>
#include <string>

namespace lumafolio {

// A key or mouse action the player answers during a show.
struct PlayerKey {
  const char* name;
  int code;  // the Windows virtual-key code; 0 for mouse actions and key combinations
  const char* summary;
};

std::span<const PlayerKey> PlayerKeys();

// What `filmtool list` can list.
inline constexpr const char* kListTopics[] = {"transitions", "captions", "keys"};

// `filmtool list TOPIC`: every name of the topic, one line each with its index (the key code for
// keys) and what it does.
void ListNames(const std::string& topic, std::ostream& out);

}  // namespace lumafolio
