#include "player/media/SlideImage.h"

#include <cstdio>
#include <cstdlib>

#include "core/jpeg/JpegDib.h"

namespace lumafolio {
namespace {

// A damaged restart marker is shown to the user, as the decoder has always done: the picture
// keeps what was decoded before it.
void ShowRestartFault(const std::string& message) {
  MessageBoxA(nullptr, message.c_str(), nullptr, MB_OK);
}

}  // namespace

SlideImage::SlideImage(const std::string& path)
    : file_(path.empty() ? nullptr : OpenStdioFile(path.c_str(), "rb")) {}

int SlideImage::Decode(const std::string& text) {
  const long long offset = std::strtoll(text.c_str(), nullptr, 10);  // atoi rules, 64 bits
  if (offset < 0 || !file_) return 0;
  Release();
  if (_fseeki64(file_.get(), offset, SEEK_SET) != 0) return 0;

  JpegDecoder decoder(file_.get(), JpegDecoder::kDefaultChunkSize);
  decoder.SetRestartMessageHandler(ShowRestartFault);
  // The bitmap's global block is allocated as soon as the frame header gives its size, and
  // each MCU row is converted into it as it is decoded: nothing else as large is held (a
  // 64-megapixel picture needs its 192 MB once, which a 32-bit process may not have twice).
  // A picture the decoder refuses is no picture: the show treats the item as undecodable
  // rather than showing whatever the block happens to hold.
  auto picture = std::make_unique<CDib>();
  const auto allocate = [&picture](uint32_t size) -> uint8_t* {
    picture->SetSize(size);
    return picture->AllocateDibMemory() ? picture->Memory() : nullptr;
  };
  if (!DecodeToDib(decoder, allocate)) return 0;
  picture->SetBits(kDibHeaderSize, 24);

  const DibLayout layout = DibLayoutFor(decoder.Width(), decoder.Height());
  width_ = static_cast<int>(layout.width);
  height_ = static_cast<int>(layout.height);
  picture_ = std::move(picture);
  return 1;
}

HBITMAP SlideImage::MakeBitmap(HDC dc) const {
  return picture_ ? picture_->CreateDeviceBitmap(dc) : nullptr;
}

HGLOBAL SlideImage::MakePackedDib() const { return picture_ ? picture_->CopyPackedDib() : nullptr; }

void SlideImage::Release() { picture_.reset(); }

}  // namespace lumafolio
