#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/payload/StdioFile.h"
#include "core/show/StageGeometry.h"
#include "player/media/CDib.h"

namespace lumafolio {

// One picture of the film, decoded straight out of the player's own program file at the offset
// that item preparation wrote into the item, and handed to the show as a device bitmap or a
// packed DIB at the display size its owner sets.
class SlideImage {
 public:
  // Opens the program file at `path` (UTF-8; the player passes its own); when that fails every
  // Decode fails.
  explicit SlideImage(const std::string& path);
  SlideImage(const SlideImage&) = delete;
  SlideImage& operator=(const SlideImage&) = delete;

  void Close() { file_.reset(); }

  // `text` is the item's decimal offset of the JPEG ("-1" when there is no picture; anything
  // after the digits is ignored). 1 when the picture was decoded and converted; 0 for no
  // picture, a damaged or unsupported one, or no memory for it, leaving nothing held.
  int Decode(const std::string& text);

  // After Decode: the DIB's size (the frame width rounded up to a multiple of 8, the frame
  // height) until the owner sets the size to draw at.
  int Width() const { return width_; }
  int Height() const { return height_; }
  int SetDisplaySize(int width, int height) {
    width_ = width;
    height_ = height;
    return 1;
  }

  // Sets the size the stage shows the picture at. The classic stage stretches the whole decoded
  // bitmap to it as it draws, with nearest samples, as films have always been shown. A larger
  // stage gets a copy filtered to that size here, on the worker thread that prepares the
  // picture, so that drawing it is a plain copy; the full-resolution bitmap stays for zooming
  // and panning. Without memory for the copy the stage stretches the bitmap as the classic one.
  void FitToStage(const StageGeometry& stage, int width, int height);

  // The fitted copy's rows, when FitToStage made one (none on the classic stage).
  PictureView Fitted() const;

  // A device bitmap of the whole decoded picture on `dc`; the caller owns it. None without a
  // picture.
  HBITMAP MakeBitmap(HDC dc) const;
  // A packed copy (info header, rows, spare bytes) of what the stage draws, the fitted copy
  // where there is one, in fixed global memory; the caller frees it.
  HGLOBAL MakePackedDib() const;
  // Frees the picture. Harmless when nothing is held.
  void Release();

 private:
  StdioFile file_;
  std::unique_ptr<CDib> picture_;
  std::unique_ptr<CDib> fitted_;  // the picture filtered to the display size, on a larger stage
  int width_ = 0;
  int height_ = 0;
};

}  // namespace lumafolio
