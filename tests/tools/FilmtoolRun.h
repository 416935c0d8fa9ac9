#pragma once

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tools/filmtool/Cli.h"

namespace lumafolio::test {

// One filmtool command run in-process, with what it printed.
struct ToolRun {
  int status = 0;
  std::string out;
  std::string err;
};

inline ToolRun Filmtool(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"filmtool"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunFilmtool(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

// The least `build` takes as a player: an MS-DOS header leading to a PE signature, then `bytes`.
inline std::vector<uint8_t> WindowsProgram(std::vector<uint8_t> bytes) {
  bytes.resize(std::max<size_t>(bytes.size(), 0x44));
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  bytes[0x3D] = bytes[0x3E] = bytes[0x3F] = 0;
  std::copy_n("PE\0", 4, bytes.begin() + 0x40);
  return bytes;
}

}  // namespace lumafolio::test
