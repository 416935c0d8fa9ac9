#pragma once

#include <cstdio>
#include <memory>

namespace lumafolio {

struct StdioFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// A C runtime file, closed when it goes out of scope.
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

inline StdioFile OpenStdioFile(const char* path, const char* mode) {
  return StdioFile(std::fopen(path, mode));
}

}  // namespace lumafolio
