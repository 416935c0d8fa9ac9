#include "player/show/SlideView.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

constexpr int kPanStep = 25;
// Zooming in stops before the doubled bitmap would pass 4096 x 4096 pixels (64 MB at 32 bits).
constexpr std::int64_t kMaxZoomedArea = 16'777'216;
// Zooming out keeps at least 128 x 128 pixels' worth after halving, unless the picture is still
// shown enlarged.
constexpr std::int64_t kMinZoomOutArea = 16'384;

Rect ClientRect(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.left, r.top, r.right, r.bottom};
}

// `width` x `height` centred in `window`, cut to it.
Rect CentredAndClipped(const Rect& window, int width, int height) {
  const int left = window.left + (window.Width() - width) / 2;
  const int top = window.top + (window.Height() - height) / 2;
  return {std::max(left, window.left), std::max(top, window.top),
          std::min(left + width, window.right), std::min(top + height, window.bottom)};
}

}  // namespace

void SlideView::ImageDisposal::operator()(SlideImage* image) const {
  image->Release();
  image->Close();
  delete image;
}

SlideView::BitmapDc::~BitmapDc() {
  // The held bitmap cannot be deleted while selected: put the DC's own one back first.
  if (dc_ && initial_ != nullptr) SelectObject(dc_.get(), initial_);
}

bool SlideView::BitmapDc::Create(HDC dc) {
  MemoryDc memory(dc);
  if (!memory) return false;
  GdiObject<HBITMAP> blank(CreateCompatibleBitmap(dc, 1, 1));
  if (!blank) return false;
  const HGDIOBJ initial = SelectObject(memory.get(), blank.get());
  if (initial == nullptr || initial == HGDI_ERROR) return false;
  // Nothing was held before: the members take over in the order the destructor undoes them.
  dc_ = std::move(memory);
  initial_ = initial;
  held_ = std::move(blank);
  return true;
}

bool SlideView::BitmapDc::Hold(GdiObject<HBITMAP> bitmap) {
  if (!dc_ || !bitmap) return false;
  const HGDIOBJ replaced = SelectObject(dc_.get(), bitmap.get());
  if (replaced == nullptr || replaced == HGDI_ERROR) return false;
  held_ = std::move(bitmap);  // deletes the replaced bitmap, no longer selected
  return true;
}

SlideView::SlideView(HWND owner, std::string programPath)
    : owner_(owner), programPath_(programPath.empty() ? ProgramPath() : std::move(programPath)) {}

SlideView::~SlideView() = default;

bool SlideView::Bind(const FilmItem& item, const Rect& stage) {
  item_ = &item;
  WindowDc window(owner_);
  // The DCs are made once: binding again must not drop the picture on screen.
  if (window && !imageDc_) imageDc_.Create(window.get());
  if (window && !zoomDc_) zoomDc_.Create(window.get());
  window_ = ClientRect(owner_);
  stage_ = stage;
  return imageDc_ && zoomDc_;
}

SlideView::OwnedImage SlideView::NewImage() const {
  return OwnedImage(new SlideImage(programPath_));
}

int SlideView::PrepareImage(const std::string& path, int width, int height, SlideImage** out) {
  next_.reset();
  OwnedImage image = NewImage();
  const int result = image->Decode(path);
  if (result == 0) return result;  // the image is released, closed and deleted here
  // The item's declared size decides the fit: the decoded width is padded to a multiple of 8.
  const Rect fitted = FitRect({0, 0, width, height}, stage_);
  image->FitToStage(StageGeometry(stage_.Width(), stage_.Height()), fitted.Width(),
                    fitted.Height());
  if (out != nullptr) *out = image.get();
  next_ = std::move(image);
  return 1;
}

void SlideView::ShowPrepared(const FilmItem& item, SlideImage** out) {
  item_ = &item;
  previous_ = std::move(current_);  // drops the one that was previous
  current_ = std::move(next_);
  if (out != nullptr) *out = current_.get();

  WindowDc window(owner_);
  GdiObject<HBITMAP> bitmap(current_ ? current_->MakeBitmap(window.get()) : nullptr);
  // Without a picture the image DC gets a blank bitmap, so that no zoom can bring back the
  // picture of an earlier item.
  if (!bitmap) bitmap.reset(CreateCompatibleBitmap(window.get(), 1, 1));
  imageDc_.Hold(std::move(bitmap));
  zoomedReady_ = false;

  visible_ = window_;
  picture_ = {0, 0, item.imageWidth, item.imageHeight};
  display_ = FitRect(picture_, stage_);
  zoom_ = picture_;
  // The presenter's paint handler draws the stage memory; erasing first would only flicker.
  InvalidateRect(owner_, nullptr, FALSE);
}

bool SlideView::PictureExceedsWindow() const {
  return picture_.right > window_.right || picture_.bottom > window_.bottom;
}

void SlideView::HandleKey(int key) {
  if (!current_) return;
  switch (key) {
    case VK_LEFT:
      if (PictureExceedsWindow()) Pan(panX_ + kPanStep, panY_);
      break;
    case VK_UP:
      if (PictureExceedsWindow()) Pan(panX_, panY_ + kPanStep);
      break;
    case VK_RIGHT:
      if (PictureExceedsWindow()) Pan(panX_ - kPanStep, panY_);
      break;
    case VK_DOWN:
      if (PictureExceedsWindow()) Pan(panX_, panY_ - kPanStep);
      break;
    case VK_ADD:
      ZoomIn();
      break;
    case VK_SUBTRACT:
      ZoomOut();
      break;
    default:
      break;
  }
}

void SlideView::Pan(int x, int y) {
  // Only the change of the pan position matters; moving it left shows more of the left side.
  const int dx = panX_ - x;
  const int dy = panY_ - y;
  panX_ = x;
  panY_ = y;
  visible_.left += dx;
  visible_.right += dx;
  visible_.top += dy;
  visible_.bottom += dy;

  const int zoomedWidth = zoom_.Width();
  const int zoomedHeight = zoom_.Height();
  if (visible_.left < 0) {
    visible_.left = display_.left;
    visible_.right = display_.right;
  }
  if (visible_.right > zoomedWidth) {
    visible_.right = zoomedWidth;
    visible_.left = display_.left + zoomedWidth - display_.right;
  }
  if (visible_.top < 0) {
    visible_.top = display_.top;
    visible_.bottom = display_.bottom;
  }
  if (visible_.bottom > zoomedHeight) {
    visible_.bottom = zoomedHeight;
    visible_.top = display_.top + zoomedHeight - display_.bottom;
  }

  // A picture panned before any zoom step has no zoomed bitmap yet: draw it at the zoom size.
  if (!zoomedReady_ && !RenderZoomed(zoomedWidth, zoomedHeight)) return;
  WindowDc window(owner_);
  if (window) DrawZoomed(window.get());
}

void SlideView::DrawZoomed(HDC dc) const {
  if (!zoomedReady_) return;
  BitBlt(dc, display_.left, display_.top, display_.Width(), display_.Height(), zoomDc_.get(),
         visible_.left, visible_.top, SRCCOPY);
}

void SlideView::PaintView(HDC dc) const {
  if (!zoomedReady_) return;
  const int saved = SaveDC(dc);
  ExcludeClipRect(dc, display_.left, display_.top, display_.right, display_.bottom);
  const RECT all{window_.left, window_.top, window_.right, window_.bottom};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  RestoreDC(dc, saved);
  DrawZoomed(dc);
}

bool SlideView::RenderZoomed(int width, int height) {
  if (width <= 0 || height <= 0 || !zoomDc_) return false;
  WindowDc window(owner_);
  if (!window) return false;
  if (!zoomDc_.Hold(GdiObject<HBITMAP>(CreateCompatibleBitmap(window.get(), width, height)))) {
    return false;
  }
  // Shrinking drops whole rows and columns rather than AND-ing them into a darker picture.
  SetStretchBltMode(zoomDc_.get(), COLORONCOLOR);
  StretchBlt(zoomDc_.get(), 0, 0, width, height, imageDc_.get(), picture_.left, picture_.top,
             picture_.Width(), picture_.Height(), SRCCOPY);
  zoomedReady_ = true;
  return true;
}

bool SlideView::ApplyZoom(int width, int height, const Rect& visible) {
  if (!RenderZoomed(width, height)) return false;
  zoom_ = {0, 0, width, height};
  visible_ = visible;
  display_ = CentredAndClipped(window_, width, height);
  // Overflowing in one direction only: panning starts from the displayed band.
  if ((width > window_.Width()) != (height > window_.Height())) visible_ = display_;
  return true;
}

void SlideView::ZoomIn() {
  // The limit is tested before doubling, so a 2048 x 2048 zoom still doubles once more.
  if (4 * std::int64_t{zoom_.Width()} * zoom_.Height() > kMaxZoomedArea) return;
  ApplyZoom(zoom_.Width() * 2, zoom_.Height() * 2, window_);
  InvalidateRect(owner_, nullptr, FALSE);
}

void SlideView::ZoomOut() {
  const int width = zoom_.Width();
  const int height = zoom_.Height();
  if (std::int64_t{width} * height / 4 < kMinZoomOutArea && width <= picture_.Width()) return;
  const int halfWidth = width / 2;
  const int halfHeight = height / 2;
  const Rect visible = halfWidth < picture_.Width() && halfHeight < picture_.Height()
                           ? picture_
                           : Rect{0, 0, halfWidth, halfHeight};
  ApplyZoom(halfWidth, halfHeight, visible);
  InvalidateRect(owner_, nullptr, FALSE);
}

}  // namespace lumafolio
