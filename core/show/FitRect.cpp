#include "core/show/FitRect.h"

namespace lumafolio {

Rect FitRect(const Rect& source, const Rect& destination) {
  const int wd = destination.Width();
  const int hd = destination.Height();
  if (source.Width() <= 0 || source.Height() <= 0 || wd <= 0 || hd <= 0) {
    const int x = destination.left + wd / 2;
    const int y = destination.top + hd / 2;
    return {x, y, x, y};
  }
  const double aspect = static_cast<double>(source.Width()) / source.Height();
  if (aspect > static_cast<double>(wd) / hd) {
    const int height = static_cast<int>(wd / aspect);
    const int top = destination.top + (hd - height) / 2;
    return {destination.left, top, destination.left + wd, top + height};
  }
  const int width = static_cast<int>(aspect * hd);
  const int left = destination.left + (wd - width) / 2;
  return {left, destination.top, left + width, destination.top + hd};
}

}  // namespace lumafolio
