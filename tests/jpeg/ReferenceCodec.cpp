#include "ReferenceCodec.h"

#include <jpeglib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <stdexcept>

#include "core/jpeg/JpegDib.h"

namespace lumafolio::test {

const char* PatternName(Pattern pattern) {
  switch (pattern) {
    case Pattern::kGradient:
      return "gradient";
    case Pattern::kNoise:
      return "noise";
    case Pattern::kEdges:
      return "edges";
    case Pattern::kText:
      return "text";
    case Pattern::kPhotoLike:
      return "photo";
  }
  return "?";
}

std::string CorpusPicture::Name() const {
  char name[160];
  std::snprintf(name, sizeof name, "%s_%dx%d_%s_q%d_rst%d%s", PatternName(pattern), width, height,
                grey         ? "grey"
                : lumaH == 1 ? "444"
                : lumaV == 1 ? "422"
                             : "420",
                quality, restartInterval, optimizeCoding ? "_opt" : "");
  return name;
}

std::vector<uint8_t> RenderPattern(const CorpusPicture& p) {
  const int channels = p.grey ? 1 : 3;
  std::vector<uint8_t> pixels(std::size_t(p.width) * p.height * channels);
  std::mt19937 random(p.seed);
  // Text: rows of "glyphs", random thin strokes on a light background.
  std::vector<uint8_t> ink;
  if (p.pattern == Pattern::kText) {
    ink.assign(std::size_t(p.width) * p.height, 0);
    for (int line = 4; line + 12 < p.height; line += 16) {
      for (int x = 2; x + 8 < p.width; x += 9) {
        if (random() % 6 == 0) continue;  // spaces
        for (int stroke = 0; stroke < 3; ++stroke) {
          const bool vertical = random() % 2;
          const int sx = x + static_cast<int>(random() % 6);
          const int sy = line + static_cast<int>(random() % 10);
          for (int i = 0; i < (vertical ? 10 : 6); ++i) {
            const int px = vertical ? sx : x + i;
            const int py = vertical ? line + i : sy;
            ink[std::size_t(py) * p.width + px] = 1;
          }
        }
      }
    }
  }
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      int rgb[3] = {0, 0, 0};
      switch (p.pattern) {
        case Pattern::kGradient:
          rgb[0] = 255 * x / std::max(1, p.width - 1);
          rgb[1] = 255 * y / std::max(1, p.height - 1);
          rgb[2] = 255 - (rgb[0] + rgb[1]) / 2;
          break;
        case Pattern::kNoise:
          for (int& c : rgb) c = static_cast<int>(random() % 256);
          break;
        case Pattern::kEdges: {
          const bool check = ((x / 5) + (y / 7)) % 2;
          const bool stripe = (x + 2 * y) % 11 < 3;
          rgb[0] = check ? 250 : 5;
          rgb[1] = stripe ? 255 : 0;
          rgb[2] = (x * y) % 3 == 0 ? 240 : 20;
          break;
        }
        case Pattern::kText: {
          const bool on = ink[std::size_t(y) * p.width + x];
          rgb[0] = on ? 10 : 245;
          rgb[1] = on ? 10 : 240;
          rgb[2] = on ? 80 : 230;
          break;
        }
        case Pattern::kPhotoLike: {
          const double fx = x / 37.0, fy = y / 23.0;
          rgb[0] = static_cast<int>(128 + 100 * std::sin(fx) * std::cos(fy * 0.7));
          rgb[1] = static_cast<int>(128 + 90 * std::sin(fx * 0.3 + fy));
          rgb[2] = static_cast<int>(128 + 60 * std::cos(fx * 1.7 - fy * 0.4)) +
                   static_cast<int>(random() % 17) - 8;
          break;
        }
      }
      if (p.grey) {
        pixels[std::size_t(y) * p.width + x] =
            static_cast<uint8_t>(std::clamp((rgb[0] * 3 + rgb[1] * 5 + rgb[2] * 2) / 10, 0, 255));
      } else {
        for (int c = 0; c < 3; ++c) {
          pixels[(std::size_t(y) * p.width + x) * 3 + c] =
              static_cast<uint8_t>(std::clamp(rgb[c], 0, 255));
        }
      }
    }
  }
  return pixels;
}

std::vector<uint8_t> CompressPicture(const CorpusPicture& p) {
  const std::vector<uint8_t> pixels = RenderPattern(p);
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(p.width);
  cinfo.image_height = static_cast<JDIMENSION>(p.height);
  cinfo.input_components = p.grey ? 1 : 3;
  cinfo.in_color_space = p.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, p.quality, TRUE);
  if (!p.grey) {
    cinfo.comp_info[0].h_samp_factor = p.lumaH;
    cinfo.comp_info[0].v_samp_factor = p.lumaV;
    for (int c = 1; c < 3; ++c)
      cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.restart_interval = static_cast<unsigned>(p.restartInterval);
  cinfo.optimize_coding = p.optimizeCoding ? TRUE : FALSE;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&cinfo, TRUE);
  const int stride = p.width * cinfo.input_components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + std::size_t(cinfo.next_scanline) * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> jpeg(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return jpeg;
}

namespace {

// A TurboJPEG decompressor with the picture's header read; `ok` is false when either failed.
struct TurboHeader {
  explicit TurboHeader(const std::vector<uint8_t>& jpeg) : handle(tjInitDecompress()) {
    ok = handle && tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height,
                                       &subsampling, &colourspace) == 0;
  }
  TurboHeader(const TurboHeader&) = delete;
  TurboHeader& operator=(const TurboHeader&) = delete;
  ~TurboHeader() {
    if (handle) tjDestroy(handle);
  }

  tjhandle handle;
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  bool ok = false;
};

}  // namespace

bool DecodeWithTurbo(const std::vector<uint8_t>& jpeg, bool accurate, ReferenceImage& out) {
  TurboHeader header(jpeg);
  const tjhandle handle = header.handle;
  const int width = header.width, height = header.height;
  bool ok = header.ok;
  if (ok) {
    out.width = width;
    out.height = height;
    out.bgr.assign(std::size_t(width) * height * 3, 0);
    const int flags = TJFLAG_BOTTOMUP | (accurate ? TJFLAG_ACCURATEDCT | TJFLAG_FASTUPSAMPLE
                                                  : TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE);
    ok = tjDecompress2(handle, jpeg.data(), jpeg.size(), out.bgr.data(), width, width * 3, height,
                       TJPF_BGR, flags) == 0;
  }
  return ok;
}

bool DecodePlanesWithTurbo(const std::vector<uint8_t>& jpeg, ReferencePlanes& out) {
  TurboHeader header(jpeg);
  const tjhandle handle = header.handle;
  const int width = header.width, height = header.height, subsampling = header.subsampling;
  bool ok = header.ok;
  if (ok) {
    const int count = subsampling == TJSAMP_GRAY ? 1 : 3;
    out.planes.assign(count, {});
    out.widths.assign(count, 0);
    out.heights.assign(count, 0);
    unsigned char* pointers[3] = {nullptr, nullptr, nullptr};
    int strides[3] = {0, 0, 0};
    for (int c = 0; c < count; ++c) {
      out.widths[c] = tjPlaneWidth(c, width, subsampling);
      out.heights[c] = tjPlaneHeight(c, height, subsampling);
      out.planes[c].assign(std::size_t(out.widths[c]) * out.heights[c], 0);
      pointers[c] = out.planes[c].data();
      strides[c] = out.widths[c];
    }
    ok = tjDecompressToYUVPlanes(handle, jpeg.data(), jpeg.size(), pointers, width, strides, height,
                                 TJFLAG_ACCURATEDCT) == 0;
  }
  return ok;
}

Comparison CompareWithDib(const ReferenceImage& reference, const std::vector<uint8_t>& dib) {
  Comparison result;
  const DibLayout layout = DibLayoutFor(reference.width, reference.height);
  double squares = 0;
  const std::size_t rowBytes = std::size_t(reference.width) * 3;
  for (int row = 0; row < reference.height; ++row) {
    const uint8_t* ours = dib.data() + kDibHeaderSize + std::size_t(row) * layout.rowSize;
    const uint8_t* theirs = reference.bgr.data() + row * rowBytes;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const int difference = std::abs(ours[i] - theirs[i]);
      result.maxDifference = std::max(result.maxDifference, difference);
      result.samplesOff += difference != 0;
      squares += double(difference) * difference;
    }
  }
  const double mse = squares / (double(rowBytes) * reference.height);
  result.psnr =
      mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);
  return result;
}

}  // namespace lumafolio::test
