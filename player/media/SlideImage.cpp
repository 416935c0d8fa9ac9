#include "player/media/SlideImage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/effects/drawing/StageView.h"
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

void SlideImage::FitToStage(const StageGeometry& stage, int width, int height) {
  fitted_.reset();
  SetDisplaySize(width, height);
  if (stage.Classic() || !picture_ || width <= 0 || height <= 0) return;
  const BITMAPINFOHEADER& decoded = *picture_->InfoHeader();
  const PictureView source{decoded.biWidth, decoded.biHeight,
                           transitions::RowStride(decoded.biWidth), picture_->Bits()};
  const std::size_t stride = transitions::RowStride(width);
  const std::uint64_t rowBytes = std::uint64_t{stride} * static_cast<std::uint64_t>(height);
  if (rowBytes > 0x7FFF0000) return;

  auto fitted = std::make_unique<CDib>();
  fitted->SetSize(static_cast<uint32_t>(kDibHeaderSize + rowBytes));
  if (!fitted->AllocateDibMemory()) return;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfSize = fitted->Size();
  file.bfOffBits = kDibHeaderSize;
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as the decoder writes
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(rowBytes);
  std::memcpy(fitted->Memory(), &file, sizeof file);
  std::memcpy(fitted->Memory() + sizeof file, &info, sizeof info);
  fitted->SetBits(kDibHeaderSize, 24);
  stage.DrawPicture(source, {0, 0, width, height},
                    PictureSpan{width, height, stride, fitted->Memory() + kDibHeaderSize});
  fitted_ = std::move(fitted);
}

PictureView SlideImage::Fitted() const {
  if (!fitted_) return {};
  const BITMAPINFOHEADER& info = *fitted_->InfoHeader();
  return {info.biWidth, info.biHeight, transitions::RowStride(info.biWidth), fitted_->Bits()};
}

HBITMAP SlideImage::MakeBitmap(HDC dc) const {
  return picture_ ? picture_->CreateDeviceBitmap(dc) : nullptr;
}

HGLOBAL SlideImage::MakePackedDib() const {
  if (fitted_) return fitted_->CopyPackedDib();
  return picture_ ? picture_->CopyPackedDib() : nullptr;
}

void SlideImage::Release() {
  fitted_.reset();
  picture_.reset();
}

}  // namespace lumafolio
