#include "tools/filmtool/CopyRange.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/payload/StdioFile.h"

namespace lumafolio {

void CopyRange(const std::string& source, int64_t offset, int64_t size,
               const std::filesystem::path& to) {
  const StdioFile in = OpenStdioFile(source.c_str(), "rb");
  if (!in) throw std::runtime_error("cannot read " + source + ": " + std::strerror(errno));
  if (fseeko(in.get(), offset, SEEK_SET) != 0) {
    throw std::runtime_error("cannot read " + source + ": " + std::strerror(errno));
  }
  StdioFile out = OpenStdioFile(to.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + to.string() + ": " + std::strerror(errno));
  // A copy that fails half-way leaves no partial file behind.
  std::string failure;
  std::vector<char> buffer(1 << 16);
  for (int64_t left = size; left > 0 && failure.empty();) {
    const auto chunk =
        static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
    if (std::fread(buffer.data(), 1, chunk, in.get()) != chunk) {
      failure = "cannot read " + source + ": " +
                (std::ferror(in.get()) ? std::strerror(errno) : "it ends early");
    } else if (std::fwrite(buffer.data(), 1, chunk, out.get()) != chunk) {
      failure = "cannot write " + to.string() + ": " + std::strerror(errno);
    }
    left -= static_cast<int64_t>(chunk);
  }
  if (std::fclose(out.release()) != 0 && failure.empty()) {
    failure = "cannot write " + to.string() + ": " + std::strerror(errno);
  }
  if (!failure.empty()) {
    std::error_code ignored;
    std::filesystem::remove(to, ignored);
    throw std::runtime_error(failure);
  }
}

}  // namespace lumafolio
