#pragma once

#include <windows.h>

#include <cstdint>

#include "core/effects/EffectLibrary.h"
#include "core/show/StageGeometry.h"
#include "player/win32/GdiObjects.h"

namespace lumafolio {

class SlideImage;

// The off-screen pictures of the stage (800 x 600, or a film's larger one): A (what a transition
// starts from), B (what it ends on), the output the effects draw into, and the stage memory, a
// device bitmap that keeps the stage as last composed (picture and captions) for repaints. All
// pixel work of the effects happens here; the window only ever receives finished frames.
class StageSurface {
 public:
  enum class Picture { kFrom, kTo };

  // The stage is centred in a window of windowWidth x windowHeight (a smaller window clips it).
  StageSurface(int windowWidth, int windowHeight, int stageWidth = 800, int stageHeight = 600);
  StageSurface(const StageSurface&) = delete;
  StageSurface& operator=(const StageSurface&) = delete;
  ~StageSurface() { ReleaseSurfaces(); }

  // Creates A and B (black), the output and the stage memory (black) for the window's DC.
  // False when any of them could not be made; the surfaces then draw nothing.
  bool CreateBitmaps(HDC windowDc);

  // A = the stage memory as last shown, B = `next` centred on black.
  void CaptureStage(HDC dc, const SlideImage& next);
  // A = `current` centred, B = `next` centred.
  void LoadPair(HDC dc, const SlideImage& current, const SlideImage& next);
  // Draws the image's packed DIB at `width` x `height`, centred on black, into A or B.
  void DrawCentred(HDC dc, const SlideImage& image, int width, int height, Picture target);

  // The effect commands on these surfaces. StepTransition also draws the output to `dc`.
  int BeginTransition(int effect);
  int StepTransition(int effect, HDC dc, int step, int lastStep);
  int EndTransition(int effect);
  int BeginCaption(int effect);
  int StepCaption(int effect, const CaptionGlyph* glyphs, int glyphCount, const Caption* caption,
                  int frame, int frameCount);
  int EndCaption(int effect);

  // Output and stage memory = B (the clean new picture).
  void RestoreStage();
  // B, the output and the stage memory black: an item without a picture.
  void ClearStage();
  // Copies the stage memory to `dc` at the stage position.
  void Present(HDC dc) const;
  // Deletes every bitmap and the stage memory; harmless when already released.
  void ReleaseSurfaces();

  POINT StagePosition() const {
    return {(windowWidth_ - stageWidth_) / 2, (windowHeight_ - stageHeight_) / 2};
  }
  StageGeometry Geometry() const { return {stageWidth_, stageHeight_}; }
  bool HasSurfaces() const { return stageDc_ && fromBits_ && toBits_ && outBits_; }
  const std::uint8_t* FromBits() const { return fromBits_; }
  const std::uint8_t* ToBits() const { return toBits_; }
  const std::uint8_t* OutBits() const { return outBits_; }
  HDC StageDc() const { return stageDc_.get(); }
  EffectLibrary& Effects() { return effects_; }

 private:
  EffectParams StepParams(int step, int lastStep) const;
  void DrawOutput(HDC dc, int x, int y) const;
  std::size_t PictureBytes() const;

  int windowWidth_;
  int windowHeight_;
  int stageWidth_;
  int stageHeight_;
  EffectLibrary effects_;

  GdiObject<HBITMAP> fromDib_;
  GdiObject<HBITMAP> toDib_;
  GdiObject<HBITMAP> outDib_;
  std::uint8_t* fromBits_ = nullptr;
  std::uint8_t* toBits_ = nullptr;
  std::uint8_t* outBits_ = nullptr;
  BITMAPINFOHEADER outHeader_{};
  MemoryDc stageDc_;
  GdiObject<HBITMAP> stageBitmap_;
  HGDIOBJ stageDcInitialBitmap_ = nullptr;
};

}  // namespace lumafolio
