#include "tools/filmtool/JpegRewrite.h"

#include <turbojpeg.h>

#include <stdexcept>

#include "tools/filmtool/JpegCheck.h"

namespace lumafolio {
namespace {

class TjHandle {
 public:
  TjHandle() : handle_(tjInitTransform()) {
    if (!handle_) throw std::runtime_error(tjGetErrorStr2(nullptr));
  }
  TjHandle(const TjHandle&) = delete;
  TjHandle& operator=(const TjHandle&) = delete;
  ~TjHandle() { tjDestroy(handle_); }
  tjhandle get() const { return handle_; }

 private:
  tjhandle handle_;
};

}  // namespace

std::vector<uint8_t> RewriteAsBaseline(std::span<const uint8_t> jpeg) {
  TjHandle handle;
  tjtransform transform{};
  transform.op = TJXOP_NONE;
  // No TJXOPT_PROGRESSIVE: the copy is written as one sequential scan. Markers (JFIF, Exif,
  // ICC profile, comments) are copied along.
  transform.options = 0;
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  const int status = tjTransform(handle.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                 1, &output, &outputSize, &transform, 0);
  if (status != 0 || !output) {
    const std::string reason = tjGetErrorStr2(handle.get());
    tjFree(output);
    throw std::runtime_error(reason);
  }
  std::vector<uint8_t> baseline(output, output + outputSize);
  tjFree(output);
  return baseline;
}

std::optional<std::vector<uint8_t>> TurnUprightLosslessly(std::span<const uint8_t> jpeg,
                                                          int orientation) {
  // The operation that undoes each orientation; 5 and 7 are mirrored quarter turns.
  static constexpr int kUndo[9] = {TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                                   TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                                   TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
  if (orientation < 2 || orientation > 8) return std::nullopt;
  TjHandle handle;
  tjtransform transform{};
  transform.op = kUndo[orientation];
  transform.options = TJXOPT_PERFECT;
  unsigned char* output = nullptr;
  unsigned long outputSize = 0;
  const int status = tjTransform(handle.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                 1, &output, &outputSize, &transform, 0);
  if (status != 0 || !output) {
    tjFree(output);
    return std::nullopt;
  }
  std::vector<uint8_t> upright(output, output + outputSize);
  tjFree(output);
  return upright;
}

PlayerPicture PreparePlayerPicture(std::vector<uint8_t> jpeg, const std::string& name) {
  PlayerPicture picture;
  JpegCheck check = CheckPlayerJpeg(jpeg);
  if (check.result == JpegCheck::Result::kProgressive) {
    try {
      jpeg = RewriteAsBaseline(jpeg);
    } catch (const std::runtime_error& e) {
      throw std::runtime_error(
          name + " is progressive and could not be rewritten as baseline: " + e.what());
    }
    picture.rewritten = true;
    check = CheckPlayerJpeg(jpeg);
    if (check.result != JpegCheck::Result::kPlayable) {
      throw std::runtime_error(name + " is progressive, and its baseline rewrite " +
                               (check.problem.empty() ? "is still progressive" : check.problem));
    }
  }
  if (check.result != JpegCheck::Result::kPlayable) {
    throw std::runtime_error(name + " " + check.problem);
  }
  picture.bytes = std::move(jpeg);
  picture.width = check.width;
  picture.height = check.height;
  return picture;
}

}  // namespace lumafolio
