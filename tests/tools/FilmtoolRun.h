#pragma once

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

}  // namespace lumafolio::test
