#include "core/show/StageGeometry.h"

#include <algorithm>
#include <cmath>

namespace lumafolio {

StageGeometry::StageGeometry(int width, int height)
    : width_(width),
      height_(height),
      scale_(std::min(static_cast<double>(width) / kClassicStageWidth,
                      static_cast<double>(height) / kClassicStageHeight)),
      originX_(static_cast<int>(std::lround((width - kClassicStageWidth * scale_) / 2))),
      originY_(static_cast<int>(std::lround((height - kClassicStageHeight * scale_) / 2))) {}

StageGeometry StageGeometry::ForFilm(const FilmStage& stage, int screenWidth, int screenHeight) {
  switch (stage.kind) {
    case FilmStage::Kind::kScreen:
      if (screenWidth > 0 && screenHeight > 0) return {screenWidth, screenHeight};
      break;
    case FilmStage::Kind::kSized:
      if (stage.width <= screenWidth && stage.height <= screenHeight) {
        return {stage.width, stage.height};
      }
      if (screenWidth > 0 && screenHeight > 0) {
        const Rect fitted =
            FitRect({0, 0, stage.width, stage.height}, {0, 0, screenWidth, screenHeight});
        if (fitted.Width() > 0 && fitted.Height() > 0) return {fitted.Width(), fitted.Height()};
      }
      break;
    case FilmStage::Kind::kClassic:
      break;
  }
  return {kClassicStageWidth, kClassicStageHeight};
}

Caption StageGeometry::PlaceCaption(const Caption& caption) const {
  if (Classic()) return caption;
  Caption placed = caption;
  placed.left = originX_ + static_cast<int>(std::lround(caption.left * scale_));
  placed.top = originY_ + static_cast<int>(std::lround(caption.top * scale_));
  placed.font.height = static_cast<std::int32_t>(std::lround(caption.font.height * scale_));
  placed.font.width = static_cast<std::int32_t>(std::lround(caption.font.width * scale_));
  return placed;
}

Rect StageGeometry::PictureRect(int width, int height) const {
  return FitRect({0, 0, width, height}, Bounds());
}

void StageGeometry::DrawPicture(const PictureView& decoded, const Rect& place,
                                const PictureSpan& stage) const {
  if (Classic()) {
    DrawNearest(decoded, place, stage);
  } else {
    DrawFiltered(decoded, place, stage);
  }
}

}  // namespace lumafolio
