#pragma once

namespace lumafolio {

// A rectangle in the GDI sense: right and bottom excluded.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// The largest rectangle of `source`'s aspect ratio inside `destination`, centred in it: a wider
// picture fills the width and is centred vertically, any other fills the height. Pictures are
// scaled up as well as down. A source without area gets an empty rectangle at the centre.
Rect FitRect(const Rect& source, const Rect& destination);

}  // namespace lumafolio
