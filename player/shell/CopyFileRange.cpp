#include "player/shell/CopyFileRange.h"

#include <windows.h>

#include "core/payload/StdioFile.h"
#include "player/shell/MessagePump.h"
#include "player/win32/SystemPaths.h"

namespace lumafolio {

bool CopyFileRange(const std::string& source, int64_t offset, int64_t length,
                   const std::string& destination) {
  constexpr int64_t kChunk = 2048;
  if (offset < 0 || length < 0) return false;
  StdioFile in = OpenStdioFile(source.c_str(), "rb");
  if (!in) return false;
  // Compared without adding, as a film may name a length near the largest integer.
  if (_fseeki64(in.get(), 0, SEEK_END) != 0) return false;
  const int64_t size = _ftelli64(in.get());
  if (offset > size || length > size - offset) return false;
  const std::wstring wideDestination = WidePath(destination);
  if (wideDestination.empty()) return false;
  if (GetFileAttributesW(wideDestination.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !SetFileAttributesW(wideDestination.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    return false;
  }
  StdioFile out = OpenStdioFile(destination.c_str(), "wb");
  if (!out || _fseeki64(in.get(), offset, SEEK_SET) != 0) return false;

  char buffer[kChunk];
  int64_t remaining = length;
  while (remaining >= kChunk) {
    if (std::fread(buffer, 1, kChunk, in.get()) != kChunk ||
        std::fwrite(buffer, 1, kChunk, out.get()) != kChunk) {
      return false;
    }
    remaining -= kChunk;
    PumpOneMessage();
  }
  const auto rest = static_cast<size_t>(remaining);
  if (std::fread(buffer, 1, rest, in.get()) != rest ||
      std::fwrite(buffer, 1, rest, out.get()) != rest) {
    return false;
  }
  // Closing flushes the last bytes: a failure there is a failed copy too.
  return std::fclose(out.release()) == 0;
}

}  // namespace lumafolio
