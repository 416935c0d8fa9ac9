#include "tools/filmtool/PictureConvert.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "tools/filmtool/ExifOrientation.h"
#include "tools/filmtool/JpegCheck.h"
#include "tools/filmtool/PngFile.h"

namespace lumafolio {
namespace {

class Tj {
 public:
  explicit Tj(tjhandle handle) : handle_(handle) {
    if (!handle_) throw std::runtime_error(tjGetErrorStr2(nullptr));
  }
  Tj(const Tj&) = delete;
  Tj& operator=(const Tj&) = delete;
  ~Tj() { tjDestroy(handle_); }
  tjhandle get() const { return handle_; }
  std::string error() const { return tjGetErrorStr2(handle_); }

 private:
  tjhandle handle_;
};

bool IsPng(const std::vector<uint8_t>& bytes) {
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

// The frame a JPEG declares and whether Adobe's marker says how it stores CMYK, read from the
// markers before the first scan (JpegCheck has refused the picture, so it may be odd).
struct FrameFacts {
  int sofCode = 0;
  int precision = 0;
  bool adobe = false;
};

FrameFacts ReadFrameFacts(const std::vector<uint8_t>& jpeg) {
  FrameFacts facts;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    const int code = jpeg[pos + 1];
    if (code == 0xFF) {
      ++pos;
      continue;
    }
    if (code == 0xDA || code == 0xD9) break;
    const size_t length = static_cast<size_t>(jpeg[pos + 2] << 8 | jpeg[pos + 3]);
    if (length < 2 || jpeg.size() - (pos + 2) < length) break;
    const bool sof = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
    if (sof && length >= 3 && facts.sofCode == 0) {
      facts.sofCode = code;
      facts.precision = jpeg[pos + 4];
    }
    if (code == 0xEE && length >= 7 && std::memcmp(&jpeg[pos + 4], "Adobe", 5) == 0) {
      facts.adobe = true;
    }
    pos += 2 + length;
  }
  return facts;
}

// Why libjpeg-turbo, as installed, cannot decode a JPEG the player refuses, or nothing.
std::optional<std::string> UndecodableReason(const FrameFacts& facts) {
  const bool lossless = facts.sofCode == 0xC3 || facts.sofCode == 0xC7 || facts.sofCode == 0xCB ||
                        facts.sofCode == 0xCF;
  if (lossless) {
    return "the installed libjpeg-turbo cannot decode lossless JPEG (it does from version 3.0), "
           "so filmtool cannot convert it";
  }
  if (facts.precision != 0 && facts.precision != 8) {
    return "the installed libjpeg-turbo cannot decode " + std::to_string(facts.precision) +
           "-bit samples (its 12-bit API comes with version 3.0), so filmtool cannot convert it";
  }
  return std::nullopt;
}

struct JpegHeader {
  int width = 0;
  int height = 0;
  int colorspace = 0;
};

std::optional<JpegHeader> ReadHeader(const std::vector<uint8_t>& jpeg) {
  Tj tj(tjInitDecompress());
  JpegHeader header;
  int subsampling = 0;
  if (tjDecompressHeader3(tj.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          &header.width, &header.height, &subsampling, &header.colorspace) != 0) {
    return std::nullopt;
  }
  return header;
}

// Decodes at the smallest of libjpeg-turbo's DCT scales (1/8 to 1) that still covers
// `atLeastWidth` x `atLeastHeight`: the scaled IDCT averages far better than dropping pixels,
// and area averaging finishes the job.
Pixels DecodeScaled(const std::vector<uint8_t>& jpeg, const std::string& name, int atLeastWidth,
                    int atLeastHeight) {
  Tj tj(tjInitDecompress());
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(tj.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                          &height, &subsampling, &colorspace) != 0) {
    throw std::runtime_error(name + " cannot be decoded: " + tj.error());
  }
  int factorCount = 0;
  const tjscalingfactor* factors = tjGetScalingFactors(&factorCount);
  tjscalingfactor best{1, 1};
  for (int k = 0; factors && k < factorCount; ++k) {
    const tjscalingfactor f = factors[k];
    if (f.num > f.denom) continue;
    const int w = TJSCALED(width, f);
    const int h = TJSCALED(height, f);
    if (w >= atLeastWidth && h >= atLeastHeight && w < TJSCALED(width, best)) best = f;
  }
  const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
  const int format = colorspace == TJCS_GRAY ? TJPF_GRAY : cmyk ? TJPF_CMYK : TJPF_RGB;
  Pixels decoded;
  decoded.width = TJSCALED(width, best);
  decoded.height = TJSCALED(height, best);
  decoded.channels = colorspace == TJCS_GRAY ? 1 : 3;
  std::vector<uint8_t> buffer(static_cast<size_t>(decoded.width) * decoded.height *
                              static_cast<size_t>(tjPixelSize[format]));
  if (tjDecompress2(tj.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), buffer.data(),
                    decoded.width, 0, decoded.height, format, TJFLAG_ACCURATEDCT) != 0 &&
      tjGetErrorCode(tj.get()) != TJERR_WARNING) {
    throw std::runtime_error(name + " cannot be decoded: " + tj.error());
  }
  if (!cmyk) {
    decoded.data = std::move(buffer);
    return decoded;
  }
  // Photoshop, the usual source of CMYK JPEGs, stores the inks inverted and says so with its
  // Adobe marker; without it the values are ink amounts.
  const bool inverted = ReadFrameFacts(jpeg).adobe;
  decoded.data.resize(static_cast<size_t>(decoded.width) * decoded.height * 3);
  for (size_t i = 0, o = 0; i < buffer.size(); i += 4, o += 3) {
    const int k = inverted ? buffer[i + 3] : 255 - buffer[i + 3];
    for (int c = 0; c < 3; ++c) {
      const int ink = inverted ? buffer[i + c] : 255 - buffer[i + c];
      decoded.data[o + c] = static_cast<uint8_t>((ink * k + 127) / 255);
    }
  }
  return decoded;
}

std::string Size(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

Pixels TurnUpright(const Pixels& stored, int orientation) {
  if (orientation < 2 || orientation > 8) return stored;
  const int w = stored.width;
  const int h = stored.height;
  const bool swaps = orientation >= 5;
  Pixels upright;
  upright.channels = stored.channels;
  upright.width = swaps ? h : w;
  upright.height = swaps ? w : h;
  upright.data.resize(stored.data.size());
  const size_t c = static_cast<size_t>(stored.channels);
  for (int y = 0; y < upright.height; ++y) {
    for (int x = 0; x < upright.width; ++x) {
      int sx = x;
      int sy = y;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y;
          sy = x;
          break;
        default:
          break;
      }
      std::memcpy(&upright.data[(static_cast<size_t>(y) * upright.width + x) * c],
                  &stored.data[(static_cast<size_t>(sy) * w + sx) * c], c);
    }
  }
  return upright;
}

namespace {

// For each output sample along one axis, the input samples it covers and how much of each:
// output i covers [i * ratio, (i + 1) * ratio) of the input.
struct Span {
  int first = 0;
  std::vector<float> weights;
};

std::vector<Span> AreaSpans(int from, int to) {
  const double ratio = static_cast<double>(from) / to;
  std::vector<Span> spans(static_cast<size_t>(to));
  for (int i = 0; i < to; ++i) {
    const double begin = i * ratio;
    const double end = std::min<double>((i + 1) * ratio, from);
    Span& span = spans[static_cast<size_t>(i)];
    span.first = static_cast<int>(begin);
    for (int s = span.first; s < end; ++s) {
      const double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
      span.weights.push_back(static_cast<float>(covered / (end - begin)));
    }
  }
  return spans;
}

}  // namespace

Pixels ShrinkByAveraging(const Pixels& picture, int width, int height) {
  const int c = picture.channels;
  const std::vector<Span> columns = AreaSpans(picture.width, width);
  const std::vector<Span> rows = AreaSpans(picture.height, height);
  // Across first, into floats, then down.
  std::vector<float> across(static_cast<size_t>(width) * picture.height * c);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* in = &picture.data[static_cast<size_t>(y) * picture.width * c];
    float* out = &across[static_cast<size_t>(y) * width * c];
    for (int x = 0; x < width; ++x) {
      const Span& span = columns[static_cast<size_t>(x)];
      for (int k = 0; k < c; ++k) {
        float sum = 0;
        for (size_t s = 0; s < span.weights.size(); ++s) {
          sum += span.weights[s] * in[(static_cast<size_t>(span.first) + s) * c + k];
        }
        out[static_cast<size_t>(x) * c + k] = sum;
      }
    }
  }
  Pixels shrunk;
  shrunk.width = width;
  shrunk.height = height;
  shrunk.channels = c;
  shrunk.data.resize(static_cast<size_t>(width) * height * c);
  const size_t rowSize = static_cast<size_t>(width) * c;
  std::vector<float> sum(rowSize);
  for (int y = 0; y < height; ++y) {
    const Span& span = rows[static_cast<size_t>(y)];
    std::fill(sum.begin(), sum.end(), 0.0f);
    for (size_t s = 0; s < span.weights.size(); ++s) {
      const float* in = &across[(static_cast<size_t>(span.first) + s) * rowSize];
      for (size_t i = 0; i < rowSize; ++i) sum[i] += span.weights[s] * in[i];
    }
    uint8_t* out = &shrunk.data[static_cast<size_t>(y) * rowSize];
    for (size_t i = 0; i < rowSize; ++i) {
      out[i] = static_cast<uint8_t>(std::clamp(std::lround(sum[i]), 0L, 255L));
    }
  }
  return shrunk;
}

void FitInside(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight) {
  const double scale =
      std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
  fitWidth = std::clamp(static_cast<int>(std::lround(width * scale)), 1, boxWidth);
  fitHeight = std::clamp(static_cast<int>(std::lround(height * scale)), 1, boxHeight);
}

std::vector<uint8_t> EncodeJpeg(const Pixels& picture, int quality) {
  Tj tj(tjInitCompress());
  const bool grey = picture.channels == 1;
  unsigned char* output = nullptr;
  unsigned long size = 0;
  if (tjCompress2(tj.get(), picture.data.data(), picture.width, 0, picture.height,
                  grey ? TJPF_GRAY : TJPF_RGB, &output, &size, grey ? TJSAMP_GRAY : TJSAMP_420,
                  quality, TJFLAG_ACCURATEDCT) != 0) {
    const std::string reason = tj.error();
    tjFree(output);
    throw std::runtime_error(reason);
  }
  std::vector<uint8_t> jpeg(output, output + size);
  tjFree(output);
  return jpeg;
}

Pixels DecodeJpeg(const std::vector<uint8_t>& jpeg, const std::string& name) {
  return DecodeScaled(jpeg, name, 1 << 30, 1 << 30);
}

PlayerPicture PreparePhoto(std::vector<uint8_t> bytes, const std::string& name,
                           const PictureOptions& options, std::ostream& log, ShrinkTally& tally) {
  const int64_t originalSize = static_cast<int64_t>(bytes.size());
  const bool png = IsPng(bytes);
  if (png && !options.convert) {
    throw std::runtime_error(name +
                             " is a PNG picture; the player shows baseline JPEG only: use "
                             "--convert to store it as a baseline JPEG");
  }
  int orientation = 1;
  std::optional<JpegHeader> header;
  JpegCheck check;
  if (!png) {
    orientation = ReadExif(bytes).orientation;
    header = ReadHeader(bytes);
    check = CheckPlayerJpeg(bytes);
  }
  const bool refused = png || check.result == JpegCheck::Result::kRefused;

  // The size the picture has once upright, and whether it must shrink to fit the box.
  int width = header ? header->width : 0;
  int height = header ? header->height : 0;
  RgbImage pngImage;
  if (png) {
    pngImage = ReadPngBytes(bytes, name);
    width = pngImage.width;
    height = pngImage.height;
  }
  if (orientation >= 5) std::swap(width, height);
  const bool shrink =
      options.maxWidth > 0 && width > 0 && (width > options.maxWidth || height > options.maxHeight);

  if (refused && !png) {
    const FrameFacts facts = ReadFrameFacts(bytes);
    if (const std::optional<std::string> reason = UndecodableReason(facts)) {
      throw std::runtime_error(name + " " + check.problem + "; " + *reason);
    }
    // Re-encoding to shrink stores any decodable picture as a baseline JPEG anyway.
    if (!options.convert && !shrink) {
      std::string message = name + " " + check.problem;
      if (width > kMaxPictureSide || height > kMaxPictureSide) {
        message += ": use --max-size to shrink it";
      } else if (header) {
        message += ": use --convert to store it as a baseline JPEG";
      }
      throw std::runtime_error(message);
    }
  }

  if (!refused && !shrink) {
    if (orientation == 1) {
      PlayerPicture picture = PreparePlayerPicture(std::move(bytes), name);
      if (picture.rewritten) log << name << ": progressive; rewritten as baseline\n";
      return picture;
    }
    if (std::optional<std::vector<uint8_t>> upright = TurnUprightLosslessly(bytes, orientation)) {
      ClearExifOrientation(*upright);
      const JpegCheck turned = CheckPlayerJpeg(*upright);
      if (turned.result == JpegCheck::Result::kPlayable) {
        log << name << ": turned upright losslessly\n";
        return {std::move(*upright), turned.width, turned.height, false, false};
      }
    }
  }

  // Everything else goes through pixels: decoded, turned upright, shrunk, and encoded anew
  // (which leaves the Exif block, and so its orientation, behind). A picture too large for the
  // player is refused before its pixels are decoded: a few bytes can claim a huge size.
  if (!shrink && (width > kMaxPictureSide || height > kMaxPictureSide)) {
    throw std::runtime_error(name + " is " + Size(width, height) +
                             " pixels; pictures may be at most " + std::to_string(kMaxPictureSide) +
                             " pixels wide and high: use --max-size to shrink it");
  }
  int fitWidth = width;
  int fitHeight = height;
  if (shrink) FitInside(width, height, options.maxWidth, options.maxHeight, fitWidth, fitHeight);
  Pixels pixels;
  if (png) {
    pixels.width = pngImage.width;
    pixels.height = pngImage.height;
    pixels.data = std::move(pngImage.rgb);
  } else {
    pixels = orientation >= 5 ? DecodeScaled(bytes, name, fitHeight, fitWidth)
                              : DecodeScaled(bytes, name, fitWidth, fitHeight);
  }
  pixels = TurnUpright(pixels, orientation);
  if (pixels.width != fitWidth || pixels.height != fitHeight) {
    pixels = ShrinkByAveraging(pixels, fitWidth, fitHeight);
  }
  if (fitWidth > kMaxPictureSide || fitHeight > kMaxPictureSide) {
    throw std::runtime_error(name + " is " + Size(fitWidth, fitHeight) +
                             " pixels; pictures may be at most " + std::to_string(kMaxPictureSide) +
                             " pixels wide and high: use --max-size to shrink it");
  }
  const int quality = refused || shrink ? kConvertQuality : kUprightQuality;
  std::vector<uint8_t> jpeg;
  try {
    jpeg = EncodeJpeg(pixels, quality);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(name + " could not be encoded: " + e.what());
  }
  const JpegCheck written = CheckPlayerJpeg(jpeg);
  if (written.result != JpegCheck::Result::kPlayable) {
    throw std::runtime_error(name + " was re-encoded, but the result " + written.problem);
  }

  // The player refuses any picture beyond its size limit; shrinking alone mends that.
  const bool oversized = width > kMaxPictureSide || height > kMaxPictureSide;
  std::string what;
  if (png || (refused && !oversized)) what = "converted to a baseline JPEG";
  if (orientation != 1) what += std::string(what.empty() ? "" : ", ") + "turned upright";
  if (shrink) {
    what += std::string(what.empty() ? "" : ", ") + "shrunk from " + Size(width, height) + " to " +
            Size(fitWidth, fitHeight);
    ++tally.pictures;
    tally.bytesBefore += originalSize;
    tally.bytesAfter += static_cast<int64_t>(jpeg.size());
  }
  if (!refused && !shrink) what = "turned upright by re-encoding";
  log << name << ": " << what << " at quality " << quality << "\n";
  return {std::move(jpeg), fitWidth, fitHeight, false, png || refused};
}

}  // namespace lumafolio
