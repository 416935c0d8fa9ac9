#include "tools/filmtool/PngFile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File Open(const std::string& path, const char* mode) {
  const bool reading = mode[0] == 'r';
  if (reading) CheckRegularFile(path);
  File file(std::fopen(path.c_str(), mode), &std::fclose);
  if (!file) {
    throw std::runtime_error((reading ? "cannot read " : "cannot write ") + path + ": " +
                             std::strerror(errno));
  }
  return file;
}

// libpng reports errors through longjmp by default; turning them into exceptions lets the
// structures be released by their owners instead.
[[noreturn]] void ThrowPngError(png_structp, png_const_charp message) {
  throw std::runtime_error(message);
}
void IgnoreWarning(png_structp, png_const_charp) {}

}  // namespace

void WritePng(const std::string& path, const RgbImage& image, int compressionLevel) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
    throw std::runtime_error("cannot write " + path + ": the picture has no consistent size");
  }
  File file = Open(path, "wb");
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPngError, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw std::runtime_error("cannot write " + path + ": out of memory");
  }
  try {
    png_init_io(png, file.get());
    if (compressionLevel >= 0) png_set_compression_level(png, compressionLevel);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
      png_write_row(png, image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3);
    }
    png_write_end(png, nullptr);
  } catch (const std::exception& error) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot write " + path + ": " + error.what());
  }
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file.release()) != 0) {
    throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
  }
}

namespace {

constexpr uint64_t kMaxPngPixels = uint64_t{1} << 28;

// Reads the picture through `png`, whose input has been set up, into 8-bit RGB.
RgbImage ReadRgb(png_structp png, png_infop info) {
  RgbImage image;
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  image.width = static_cast<int>(png_get_image_width(png, info));
  image.height = static_cast<int>(png_get_image_height(png, info));
  // A few bytes of PNG can claim any size; the pixels are held whole in memory.
  if (static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) > kMaxPngPixels) {
    throw std::runtime_error("the picture is " + std::to_string(image.width) + "x" +
                             std::to_string(image.height) + " pixels, more than filmtool reads");
  }
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(image.width) * 3) {
    throw std::runtime_error("unexpected row layout");
  }
  image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    rows[static_cast<std::size_t>(y)] =
        image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3;
  }
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return image;
}

struct MemoryInput {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (input->bytes.size() - input->pos < count) throw std::runtime_error("the file is truncated");
  std::memcpy(out, input->bytes.data() + input->pos, count);
  input->pos += count;
}

}  // namespace

RgbImage ReadPng(const std::string& path) {
  File file = Open(path, "rb");
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPngError, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    throw std::runtime_error("cannot read " + path + ": out of memory");
  }
  RgbImage image;
  try {
    png_init_io(png, file.get());
    image = ReadRgb(png, info);
  } catch (const std::exception& error) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("cannot read " + path + ": " + error.what());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return image;
}

RgbImage ReadPngBytes(std::span<const std::uint8_t> bytes, const std::string& name) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPngError, IgnoreWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    throw std::runtime_error("cannot read " + name + ": out of memory");
  }
  MemoryInput input{bytes};
  RgbImage image;
  try {
    png_set_read_fn(png, &input, ReadFromMemory);
    image = ReadRgb(png, info);
  } catch (const std::exception& error) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("cannot read " + name + ": " + error.what());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return image;
}

}  // namespace lumafolio
