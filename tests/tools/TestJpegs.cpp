#include "TestJpegs.h"

#include <turbojpeg.h>

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <cstdlib>
#include <stdexcept>

namespace lumafolio::test {

std::vector<uint8_t> MakeJpeg(const JpegSpec& spec) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  cinfo.err = jpeg_std_error(&error);  // a broken spec ends the test program with libjpeg's text
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(spec.width);
  cinfo.image_height = static_cast<JDIMENSION>(spec.height);
  cinfo.input_components = spec.components;
  cinfo.in_color_space = spec.components == 1   ? JCS_GRAYSCALE
                         : spec.components == 4 ? JCS_CMYK
                                                : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (spec.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  jpeg_set_quality(&cinfo, 85, TRUE);
  cinfo.comp_info[0].h_samp_factor = spec.lumaH;
  cinfo.comp_info[0].v_samp_factor = spec.lumaV;
  for (int i = 1; i < cinfo.num_components; ++i) {
    cinfo.comp_info[i].h_samp_factor = spec.chromaH;
    cinfo.comp_info[i].v_samp_factor = spec.chromaV;
  }
  if (spec.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = spec.arithmetic ? TRUE : FALSE;
  cinfo.restart_interval = static_cast<unsigned int>(spec.restartInterval);
  jpeg_start_compress(&cinfo, TRUE);
  // A pattern with detail in every channel, so that a wrong decode shows in the pixels.
  std::vector<JSAMPLE> row(static_cast<size_t>(spec.width * spec.components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < spec.width; ++x) {
      for (int c = 0; c < spec.components; ++c) {
        row[static_cast<size_t>(x * spec.components + c)] = static_cast<JSAMPLE>(
            (x * (7 + 5 * c) + y * (3 + 11 * c) + ((x / 8 + y / 8) % 2) * 90) & 0xFF);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> jpeg(buffer, buffer + size);
  std::free(buffer);
  return jpeg;
}

Decoded DecodeJpeg(const std::vector<uint8_t>& jpeg, bool grey) {
  tjhandle handle = tjInitDecompress();
  Decoded decoded;
  int subsampling = 0;
  int colourspace = 0;
  if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &decoded.width, &decoded.height,
                          &subsampling, &colourspace) != 0) {
    tjDestroy(handle);
    throw std::runtime_error("undecodable JPEG");
  }
  const int format = grey ? TJPF_GRAY : TJPF_RGB;
  decoded.pixels.resize(static_cast<size_t>(decoded.width * decoded.height * tjPixelSize[format]));
  const int status = tjDecompress2(handle, jpeg.data(), jpeg.size(), decoded.pixels.data(),
                                   decoded.width, 0, decoded.height, format, TJFLAG_ACCURATEDCT);
  tjDestroy(handle);
  if (status != 0) throw std::runtime_error("undecodable JPEG");
  return decoded;
}

long FindMarkerOffset(const std::vector<uint8_t>& jpeg, uint8_t code) {
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    if (jpeg[at + 1] == code) return static_cast<long>(at);
    if (jpeg[at + 1] == 0xDA) return -1;  // the scan: no more segments to walk
    at += 2 + (static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
  }
  return -1;
}

}  // namespace lumafolio::test
