#include "ReferenceCodec.h"

#include <jpeglib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>

#include "core/jpeg/JpegDib.h"
#include "core/jpeg/JpegMarkers.h"

extern "C" const int jpeg_natural_order[];  // libjpeg's, for each zig-zag index

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
    case Pattern::kChannelRamps:
      return "ramps";
  }
  return "?";
}

std::string CorpusPicture::Name() const {
  const auto factors = [](int h, int v) { return std::to_string(h) + "x" + std::to_string(v); };
  std::string layout;
  if (components == 1) {
    layout = "grey";
  } else if (chromaH != 1 || chromaV != 1) {
    layout = factors(lumaH, lumaV) + "_chroma" + factors(chromaH, chromaV);
  } else if (lumaH == 1 && lumaV == 1) {
    layout = "444";
  } else if (lumaH == 2 && lumaV == 1) {
    layout = "422";
  } else if (lumaH == 2 && lumaV == 2) {
    layout = "420";
  } else {
    layout = factors(lumaH, lumaV);
  }
  return std::string(PatternName(pattern)) + "_" + factors(width, height) + "_" +
         (components == 4 ? "cmyk_" : "") + layout + "_q" + std::to_string(quality) + "_rst" +
         std::to_string(restartInterval) + (optimizeCoding ? "_opt" : "") +
         (progressive ? "_progressive" : "") + (arithmetic ? "_arithmetic" : "") +
         (rgb ? "_rgb" : "");
}

namespace {

// Diagonal ramps of a different slope in every channel over a checkerboard of 8x8 blocks.
std::vector<uint8_t> RenderChannelRamps(const CorpusPicture& p) {
  std::vector<uint8_t> pixels(std::size_t(p.width) * p.height * p.components);
  std::size_t at = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < p.components; ++c) {
        pixels[at++] = static_cast<uint8_t>(
            (x * (7 + 5 * c) + y * (3 + 11 * c) + ((x / 8 + y / 8) % 2) * 90) & 0xFF);
      }
    }
  }
  return pixels;
}

}  // namespace

std::vector<uint8_t> RenderPattern(const CorpusPicture& p) {
  if (p.pattern == Pattern::kChannelRamps) return RenderChannelRamps(p);
  if (p.components != 1 && p.components != 3) {
    throw std::invalid_argument("the scenes come in one or three components");
  }
  const bool grey = p.components == 1;
  const int channels = p.components;
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
        case Pattern::kChannelRamps:
          break;  // rendered above
        case Pattern::kPhotoLike: {
          const double fx = x / 37.0, fy = y / 23.0;
          rgb[0] = static_cast<int>(128 + 100 * std::sin(fx) * std::cos(fy * 0.7));
          rgb[1] = static_cast<int>(128 + 90 * std::sin(fx * 0.3 + fy));
          rgb[2] = static_cast<int>(128 + 60 * std::cos(fx * 1.7 - fy * 0.4)) +
                   static_cast<int>(random() % 17) - 8;
          break;
        }
      }
      if (grey) {
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
  cinfo.input_components = p.components;
  cinfo.in_color_space = p.components == 1 ? JCS_GRAYSCALE : p.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (p.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  jpeg_set_quality(&cinfo, p.quality, TRUE);
  // Set for a lone component too: libjpeg writes the factors it is given, so that a greyscale
  // picture can carry factors other than 1x1, as some encoders write them.
  cinfo.comp_info[0].h_samp_factor = p.lumaH;
  cinfo.comp_info[0].v_samp_factor = p.lumaV;
  for (int c = 1; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = p.chromaH;
    cinfo.comp_info[c].v_samp_factor = p.chromaV;
  }
  if (p.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = p.arithmetic ? TRUE : FALSE;
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

long FindMarkerOffset(const std::vector<uint8_t>& jpeg, int code) {
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == jpeg_marker::kPrefix) {
    if (jpeg[at + 1] == code) return static_cast<long>(at);
    if (jpeg[at + 1] == jpeg_marker::kSos) return -1;  // the scan: no more segments to walk
    at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
  }
  return -1;
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

namespace {

// libjpeg's errors end in a jump back to the call; nothing with a destructor lives between.
struct JumpingErrors {
  jpeg_error_mgr manager{};
  std::jmp_buf jump{};
};
void JumpOnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JumpingErrors*>(info->err)->jump, 1);
}
void IgnoreMessage(j_common_ptr, int) {}
void SetUp(jpeg_decompress_struct& info, JumpingErrors& errors) {
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JumpOnError;
  errors.manager.emit_message = IgnoreMessage;
}

}  // namespace

bool DecodeWithLibjpeg(const std::vector<uint8_t>& jpeg, ReferenceImage& out) {
  jpeg_decompress_struct info{};
  JumpingErrors errors;
  SetUp(info, errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), jpeg.size());
  jpeg_read_header(&info, TRUE);
  info.dct_method = JDCT_ISLOW;
  info.do_fancy_upsampling = FALSE;
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.bgr.assign(std::size_t(out.width) * out.height * 3, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        out.bgr.data() + std::size_t(out.height - 1 - info.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_destroy_decompress(&info);
  return true;
}

bool ReadCoefficients(const std::vector<uint8_t>& jpeg, Coefficients& out) {
  jpeg_decompress_struct info{};
  JumpingErrors errors;
  SetUp(info, errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), jpeg.size());
  jpeg_read_header(&info, TRUE);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
  out.width = static_cast<int>(info.image_width);
  out.height = static_cast<int>(info.image_height);
  out.components.assign(info.num_components, {});
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& from = info.comp_info[c];
    Coefficients::Component& to = out.components[c];
    to.h = from.h_samp_factor;
    to.v = from.v_samp_factor;
    for (int k = 0; k < 64; ++k) to.quant[k] = from.quant_table->quantval[jpeg_natural_order[k]];
    to.widthInBlocks = static_cast<int>(from.width_in_blocks);
    to.heightInBlocks = static_cast<int>(from.height_in_blocks);
    for (int by = 0; by < to.heightInBlocks; ++by) {
      JBLOCKARRAY row = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info),
                                                     arrays[c], by, 1, FALSE);
      for (int bx = 0; bx < to.widthInBlocks; ++bx) {
        std::array<int, 64>& block = to.blocks.emplace_back();
        for (int k = 0; k < 64; ++k) block[k] = row[0][bx][jpeg_natural_order[k]];
      }
    }
  }
  jpeg_destroy_decompress(&info);
  return true;
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
