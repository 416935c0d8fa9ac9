#include "tools/filmtool/DecodeCommand.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/jpeg/JpegDib.h"

namespace lumafolio {

void DecodeToBmp(const std::string& input, int64_t offset, const std::string& output,
                 std::ostream& log) {
  if (offset < 0) throw std::runtime_error("the offset must not be negative");
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(input.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw std::runtime_error("cannot open " + input);
  if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) {
    throw std::runtime_error("cannot seek to offset " + std::to_string(offset) + " in " + input);
  }
  std::vector<uint8_t> dib;
  std::string reason;
  if (!DecodeJpegToDib(file.get(), dib, &reason)) {
    throw std::runtime_error("the decoder refuses the picture at offset " + std::to_string(offset) +
                             " of " + input + ": " + reason);
  }
  std::ofstream out(output, std::ios::binary);
  out.write(reinterpret_cast<const char*>(dib.data()), static_cast<std::streamsize>(dib.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + output);
  const uint32_t width = dib[18] | dib[19] << 8 | dib[20] << 16 | uint32_t(dib[21]) << 24;
  const uint32_t height = dib[22] | dib[23] << 8 | dib[24] << 16 | uint32_t(dib[25]) << 24;
  log << output << ": " << width << " x " << height << ", " << dib.size() << " bytes\n";
}

}  // namespace lumafolio
