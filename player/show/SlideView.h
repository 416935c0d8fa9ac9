#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/film/FilmDocument.h"
#include "core/show/FitRect.h"
#include "player/media/SlideImage.h"
#include "player/win32/GdiObjects.h"

namespace lumafolio {

// The picture side of the show: the worker decodes the next picture item into a SlideImage
// fitted to the stage, the show step makes it the current one, and while it is on screen the
// arrow keys pan and the numeric-pad plus and minus keys zoom it. It draws into the window it
// is given, so it needs nothing of the presenter but that window.
class SlideView {
 public:
  // Pictures are decoded out of `programPath` (UTF-8); empty means the running program.
  explicit SlideView(HWND owner, std::string programPath = {});
  SlideView(const SlideView&) = delete;
  SlideView& operator=(const SlideView&) = delete;
  ~SlideView();

  // UI thread, before the worker prepares anything: takes `item` as the current item, makes the
  // two memory DCs (once), reads the window's client rectangle and keeps the stage rectangle
  // that prepared pictures are fitted to. False when the DCs could not be made.
  bool Bind(const FilmItem& item, const Rect& stage);

  // Worker thread, under the presenter's item lock. Decodes the picture at `path` (the decimal
  // offset in the program file) as the next image, sized (and on a larger stage filtered) to fit
  // the stage as a `width` x `height` picture would, and stores it in `*out`. On failure there is
  // no next image, `*out` is untouched and the decoder's result (0) is returned; 1 otherwise.
  int PrepareImage(const std::string& path, int width, int height, SlideImage** out);

  // Worker thread, under the item lock: the next item has no picture (a PowerPoint show, a video
  // without poster), so whatever was prepared before must not be shown for it.
  void DropPrepared() { next_.reset(); }

  // UI thread, under the item lock: the next image becomes the current one (stored in `*out`),
  // the current one the previous, and the previous is dropped; the window is invalidated. With
  // nothing prepared there is no current picture and `*out` becomes null.
  void ShowPrepared(const FilmItem& item, SlideImage** out);

  // UI thread: the arrow keys pan, numeric-pad plus and minus zoom; anything else is ignored,
  // and so is every key while no picture is current.
  void HandleKey(int key);

  // Copies the visible part of the zoomed picture to its display rectangle on `dc`; panning
  // draws this way.
  void DrawZoomed(HDC dc) const;
  // Whether the current picture is shown zoomed or panned rather than as the stage shows it,
  // until the next picture becomes current.
  bool HasOwnView() const { return zoomedReady_; }
  // Paints that view into a paint DC: the visible part of the zoomed picture, black around it.
  void PaintView(HDC dc) const;

  // The file that later pictures are decoded from (tests use their own); under the item lock,
  // since the worker reads it.
  void SetProgramPath(std::string programPath) { programPath_ = std::move(programPath); }

  SlideImage* Current() const { return current_.get(); }
  SlideImage* Previous() const { return previous_.get(); }
  SlideImage* Next() const { return next_.get(); }
  const FilmItem* Item() const { return item_; }
  const Rect& WindowRect() const { return window_; }
  const Rect& StageRect() const { return stage_; }
  const Rect& PictureRect() const { return picture_; }
  const Rect& DisplayRect() const { return display_; }
  const Rect& ZoomRect() const { return zoom_; }
  const Rect& VisibleRect() const { return visible_; }

 private:
  // A SlideImage is dropped the way its owners must drop one: Release, Close, delete.
  struct ImageDisposal {
    void operator()(SlideImage* image) const;
  };
  using OwnedImage = std::unique_ptr<SlideImage, ImageDisposal>;

  // A memory DC that always holds one bitmap of ours, so that a replaced bitmap can be deleted
  // at once; what the DC held when it was made goes back in before both are deleted.
  class BitmapDc {
   public:
    BitmapDc() = default;
    BitmapDc(const BitmapDc&) = delete;
    BitmapDc& operator=(const BitmapDc&) = delete;
    ~BitmapDc();

    // A DC compatible with `dc`, holding a 1 x 1 bitmap compatible with it.
    bool Create(HDC dc);
    // Selects `bitmap` and deletes the one it replaces; false (nothing changed) when `bitmap`
    // is none or cannot be selected.
    bool Hold(GdiObject<HBITMAP> bitmap);
    HDC get() const { return dc_.get(); }
    explicit operator bool() const { return static_cast<bool>(dc_); }

   private:
    MemoryDc dc_;
    HGDIOBJ initial_ = nullptr;
    GdiObject<HBITMAP> held_;
  };

  OwnedImage NewImage() const;
  bool PictureExceedsWindow() const;
  void Pan(int x, int y);
  void ZoomIn();
  void ZoomOut();
  // Draws the whole picture stretched to `width` x `height` into a new zoomed bitmap; false,
  // with the zoom DC unchanged, when the bitmap cannot be made.
  bool RenderZoomed(int width, int height);
  // A zoom step to `width` x `height`: renders it, then sets the zoom, visible and display
  // rectangles. Nothing changes when the bitmap cannot be made.
  bool ApplyZoom(int width, int height, const Rect& visible);

  HWND owner_;
  std::string programPath_;
  const FilmItem* item_ = nullptr;
  OwnedImage current_;
  OwnedImage previous_;
  OwnedImage next_;
  int panX_ = 0;
  int panY_ = 0;
  Rect visible_;
  Rect window_;
  Rect picture_;
  Rect display_;
  Rect zoom_;
  Rect stage_;
  BitmapDc imageDc_;  // the current picture as a device bitmap
  BitmapDc zoomDc_;   // the picture at the zoomed size
  // Whether the zoom DC holds the current picture at the zoom rectangle's size; a new picture
  // leaves the zoomed bitmap of the one before, which must never reach the screen.
  bool zoomedReady_ = false;
};

}  // namespace lumafolio
