#include "core/payload/SizeCodedName.h"

#include <limits>

namespace lumafolio {
namespace {

// The file-name part: everything after the drive and the last folder separator.
std::string FilePart(const std::string& name) {
  size_t start = (name.size() >= 2 && name[1] == ':') ? 2 : 0;
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos && slash + 1 > start) start = slash + 1;
  return name.substr(start);
}

}  // namespace

std::string BaseName(const std::string& name) {
  const std::string file = FilePart(name);
  const size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string Extension(const std::string& name) {
  const std::string file = FilePart(name);
  const size_t dot = file.rfind('.');
  return dot == std::string::npos ? std::string() : file.substr(dot);
}

int64_t AddFileSize(int64_t offset, int64_t size) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  return size > kMax - offset ? kMax : offset + size;
}

int64_t SizeFromCodedName(const std::string& name) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t size = 0;
  for (const char c : BaseName(name)) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (size > (kMax - digit) / 10) return kMax;
    size = size * 10 + digit;
  }
  return size;
}

}  // namespace lumafolio
