#include "player/stage/StageSurface.h"

#include <cstring>

#include "core/effects/drawing/StageView.h"
#include "player/captions/CaptionGdi.h"
#include "player/media/SlideImage.h"

namespace lumafolio {
namespace {

BITMAPINFOHEADER DibHeader(int width, int height, DWORD imageSize, LONG pixelsPerMetre) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // positive: rows bottom-up, as the effects expect
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = imageSize;
  header.biXPelsPerMeter = pixelsPerMetre;
  header.biYPelsPerMeter = pixelsPerMetre;
  return header;
}

// A 24-bit DIB section; `bits` receives its pixels.
GdiObject<HBITMAP> CreateSection(HDC dc, const BITMAPINFOHEADER& header, std::uint8_t*& bits) {
  BITMAPINFO info{};
  info.bmiHeader = header;
  void* pixels = nullptr;
  GdiObject<HBITMAP> bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  bits = bitmap ? static_cast<std::uint8_t*>(pixels) : nullptr;
  return bitmap;
}

// Colour-table entries that follow a packed DIB's header: the stated count, or a full table for
// palette pictures that leave the count at 0.
DWORD ColourTableEntries(const BITMAPINFOHEADER& header) {
  if (header.biClrUsed != 0) return header.biClrUsed;
  if (header.biBitCount <= 8) return DWORD{1} << header.biBitCount;
  return 0;
}

}  // namespace

StageSurface::StageSurface(int windowWidth, int windowHeight, int stageWidth, int stageHeight)
    : windowWidth_(windowWidth),
      windowHeight_(windowHeight),
      stageWidth_(stageWidth),
      stageHeight_(stageHeight) {}

std::size_t StageSurface::PictureBytes() const {
  return transitions::RowStride(stageWidth_) * static_cast<std::size_t>(stageHeight_);
}

bool StageSurface::CreateBitmaps(HDC windowDc) {
  ReleaseSurfaces();
  const BITMAPINFOHEADER pictureHeader =
      DibHeader(stageWidth_, stageHeight_, static_cast<DWORD>(PictureBytes()), 0);
  fromDib_ = CreateSection(windowDc, pictureHeader, fromBits_);
  toDib_ = CreateSection(windowDc, pictureHeader, toBits_);
  outHeader_ =
      DibHeader(stageWidth_, stageHeight_, static_cast<DWORD>(stageWidth_) * stageHeight_ * 3, 100);
  outDib_ = CreateSection(windowDc, outHeader_, outBits_);
  stageDc_ = MemoryDc(windowDc);
  stageBitmap_.reset(CreateCompatibleBitmap(windowDc, stageWidth_, stageHeight_));
  if (!HasSurfaces() || !stageBitmap_) {
    ReleaseSurfaces();
    return false;
  }
  std::memset(fromBits_, 0, PictureBytes());
  std::memset(toBits_, 0, PictureBytes());
  std::memset(outBits_, 0, PictureBytes());
  stageDcInitialBitmap_ = SelectObject(stageDc_.get(), stageBitmap_.get());
  PatBlt(stageDc_.get(), 0, 0, stageWidth_, stageHeight_, BLACKNESS);
  return true;
}

void StageSurface::DrawCentred(HDC dc, const SlideImage& image, int width, int height,
                               Picture target) {
  std::uint8_t* bits = target == Picture::kFrom ? fromBits_ : toBits_;
  HBITMAP dib = target == Picture::kFrom ? fromDib_.get() : toDib_.get();
  if (bits == nullptr) return;
  std::memset(bits, 0, PictureBytes());
  GdiFlush();  // the section's pixels were written directly; GDI must see them before drawing

  // A picture already filtered to this size (a larger stage's) is copied row by row: going
  // through a packed copy and GDI's stretch would cost a refresh or more at this size.
  const PictureView fitted = image.Fitted();
  if (fitted.bits != nullptr && fitted.width == width && fitted.height == height) {
    const PictureSpan stage{stageWidth_, stageHeight_, transitions::RowStride(stageWidth_), bits};
    const Rect place{(stageWidth_ - width) / 2, (stageHeight_ - height) / 2,
                     (stageWidth_ - width) / 2 + width, (stageHeight_ - height) / 2 + height};
    DrawNearest(fitted, place, stage);  // one source pixel for each: a plain copy
    return;
  }

  GlobalMemory packed(image.MakePackedDib());
  if (!packed) return;
  GlobalLockScope lock(packed.get());
  if (lock.get() == nullptr) return;
  const auto* info = static_cast<const BITMAPINFO*>(lock.get());
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const auto* pixels = reinterpret_cast<const std::uint8_t*>(lock.get()) + header.biSize +
                       ColourTableEntries(header) * sizeof(RGBQUAD);

  MemoryDc memory(dc);
  if (!memory) return;
  SelectionScope selected(memory.get(), dib);
  SetStretchBltMode(memory.get(), COLORONCOLOR);
  StretchDIBits(memory.get(), (stageWidth_ - width) / 2, (stageHeight_ - height) / 2, width, height,
                0, 0, header.biWidth, header.biHeight, pixels, info, DIB_RGB_COLORS, SRCCOPY);
  GdiFlush();
}

void StageSurface::CaptureStage(HDC dc, const SlideImage& next) {
  if (!HasSurfaces()) return;
  {
    MemoryDc memory(dc);
    SelectionScope selected(memory.get(), fromDib_.get());
    BitBlt(memory.get(), 0, 0, stageWidth_, stageHeight_, stageDc_.get(), 0, 0, SRCCOPY);
    GdiFlush();
  }
  DrawCentred(dc, next, next.Width(), next.Height(), Picture::kTo);
}

void StageSurface::LoadPair(HDC dc, const SlideImage& current, const SlideImage& next) {
  DrawCentred(dc, current, current.Width(), current.Height(), Picture::kFrom);
  DrawCentred(dc, next, next.Width(), next.Height(), Picture::kTo);
}

EffectParams StageSurface::StepParams(int step, int lastStep) const {
  EffectParams params;
  params.fromBits = fromBits_;
  params.toBits = toBits_;
  params.outBits = outBits_;
  params.width = stageWidth_;
  params.height = stageHeight_;
  params.step = step;
  params.lastStep = lastStep;
  return params;
}

int StageSurface::BeginTransition(int effect) {
  const EffectParams params = StepParams(0, 100);
  return effects_.RunTransitionEffect(effect, kEffectBegin, &params);
}

int StageSurface::StepTransition(int effect, HDC dc, int step, int lastStep) {
  const EffectParams params = StepParams(step, lastStep);
  const int result = effects_.RunTransitionEffect(effect, kEffectStep, &params);
  const POINT at = StagePosition();
  DrawOutput(dc, at.x, at.y);
  return result;
}

int StageSurface::EndTransition(int effect) {
  if (effect < 0) return 0;
  return effects_.RunTransitionEffect(effect, kEffectEnd, nullptr);
}

int StageSurface::BeginCaption(int effect) {
  if (effect < 0) return 0;
  CaptionEffectParams params;
  params.outBits = outBits_;
  params.width = stageWidth_;
  params.height = stageHeight_;
  params.frame = 0;
  params.frameCount = 100;
  return effects_.RunCaptionEffect(effect, kEffectBegin, &params);
}

int StageSurface::StepCaption(int effect, const CaptionGlyph* glyphs, int glyphCount,
                              const Caption* caption, int frame, int frameCount) {
  GdiCaptionCanvas canvas(stageDc_.get());
  CaptionEffectParams params;
  params.canvas = &canvas;
  params.caption = caption;
  params.glyphs = glyphs;
  params.glyphCount = glyphCount;
  params.width = stageWidth_;
  params.height = stageHeight_;
  params.frame = frame;
  params.frameCount = frameCount;
  return effects_.RunCaptionEffect(effect, kEffectStep, &params);
}

int StageSurface::EndCaption(int effect) {
  if (effect < 0) return 0;
  return effects_.RunCaptionEffect(effect, kEffectEnd, nullptr);
}

void StageSurface::DrawOutput(HDC dc, int x, int y) const {
  if (outBits_ == nullptr || dc == nullptr) return;
  BITMAPINFO info{};
  info.bmiHeader = outHeader_;
  GdiFlush();
  StretchDIBits(dc, x, y, stageWidth_, stageHeight_, 0, 0, stageWidth_, stageHeight_, outBits_,
                &info, DIB_RGB_COLORS, SRCCOPY);
}

void StageSurface::RestoreStage() {
  if (!HasSurfaces()) return;
  std::memcpy(outBits_, toBits_, PictureBytes());
  DrawOutput(stageDc_.get(), 0, 0);
}

void StageSurface::ClearStage() {
  if (!HasSurfaces()) return;
  std::memset(toBits_, 0, PictureBytes());
  std::memset(outBits_, 0, PictureBytes());
  PatBlt(stageDc_.get(), 0, 0, stageWidth_, stageHeight_, BLACKNESS);
}

void StageSurface::Present(HDC dc) const {
  if (!stageDc_) return;
  const POINT at = StagePosition();
  BitBlt(dc, at.x, at.y, stageWidth_, stageHeight_, stageDc_.get(), 0, 0, SRCCOPY);
}

void StageSurface::ReleaseSurfaces() {
  if (stageDc_ && stageDcInitialBitmap_ != nullptr) {
    SelectObject(stageDc_.get(), stageDcInitialBitmap_);
  }
  stageDcInitialBitmap_ = nullptr;
  stageDc_.reset();
  stageBitmap_.reset();
  fromDib_.reset();
  toDib_.reset();
  outDib_.reset();
  fromBits_ = toBits_ = outBits_ = nullptr;
}

}  // namespace lumafolio
