#include "tools/filmtool/DecodeCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/jpeg/JpegDib.h"
#include "core/payload/StdioFile.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {

void DecodeToBmp(const std::string& input, int64_t offset, const std::string& output,
                 std::ostream& log) {
  if (offset < 0) throw std::runtime_error("the offset must not be negative");
  CheckRegularFile(input);
  const StdioFile file = OpenStdioFile(input.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot read " + input + ": " + std::strerror(errno));
  if (fseeko(file.get(), offset, SEEK_SET) != 0) {
    throw std::runtime_error("cannot seek to offset " + std::to_string(offset) + " in " + input +
                             ": " + std::strerror(errno));
  }
  std::vector<uint8_t> dib;
  std::string reason;
  if (!DecodeJpegToDib(file.get(), dib, &reason)) {
    throw std::runtime_error("the decoder refuses the picture at offset " + std::to_string(offset) +
                             " of " + input + ": " + reason);
  }
  StdioFile out = OpenStdioFile(output.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + output + ": " + std::strerror(errno));
  const bool written = std::fwrite(dib.data(), 1, dib.size(), out.get()) == dib.size();
  const int error = errno;
  if (std::fclose(out.release()) != 0 || !written) {
    throw std::runtime_error("cannot write " + output + ": " +
                             std::strerror(written ? errno : error));
  }
  const uint32_t width = dib[18] | dib[19] << 8 | dib[20] << 16 | uint32_t(dib[21]) << 24;
  const uint32_t height = dib[22] | dib[23] << 8 | dib[24] << 16 | uint32_t(dib[25]) << 24;
  log << output << ": " << width << " x " << height << ", " << dib.size() << " bytes\n";
}

}  // namespace lumafolio
