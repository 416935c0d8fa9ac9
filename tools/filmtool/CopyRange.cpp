#include "tools/filmtool/CopyRange.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace lumafolio {

void CopyRange(const std::string& source, int64_t offset, int64_t size,
               const std::filesystem::path& to) {
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (!in) throw std::runtime_error("cannot read " + source + ": " + std::strerror(errno));
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) {
    const int error = errno;
    std::fclose(in);
    throw std::runtime_error("cannot write " + to.string() + ": " + std::strerror(error));
  }
  std::vector<char> buffer(1 << 16);
  bool ok = std::fseek(in, static_cast<long>(offset), SEEK_SET) == 0;
  for (int64_t left = size; ok && left > 0;) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(left, buffer.size()));
    ok = std::fread(buffer.data(), 1, chunk, in) == chunk &&
         std::fwrite(buffer.data(), 1, chunk, out) == chunk;
    left -= static_cast<int64_t>(chunk);
  }
  std::fclose(in);
  ok = std::fclose(out) == 0 && ok;
  if (!ok) throw std::runtime_error("cannot write " + to.string());
}

}  // namespace lumafolio
