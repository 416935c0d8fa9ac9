#pragma once

#include "core/film/FilmDocument.h"
#include "core/film/FilmStage.h"
#include "core/show/FitRect.h"
#include "core/show/StagePicture.h"

namespace lumafolio {

// The stage every film was made for, and that a film without its own stage plays on.
constexpr int kClassicStageWidth = 800;
constexpr int kClassicStageHeight = 600;

// Where things go on a stage of a given size. A film's captions are placed in 800 x 600
// coordinates; on a larger stage they keep their places relative to the pictures by growing
// with it, around its centre. The player and the renderer both place through this, so a show
// and a render of the same film on the same stage draw the same frames.
class StageGeometry {
 public:
  StageGeometry(int width, int height);
  // The stage `stage` asks for on a screen of `screenWidth` x `screenHeight`: 800 x 600 for a
  // classic film, the screen's own size for a screen film, a film's own size where the screen
  // has room for it and otherwise the largest of its shape that fits.
  static StageGeometry ForFilm(const FilmStage& stage, int screenWidth, int screenHeight);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rect Bounds() const { return {0, 0, width_, height_}; }
  // The 800 x 600 stage, where everything is drawn as it always was.
  bool Classic() const { return width_ == kClassicStageWidth && height_ == kClassicStageHeight; }
  // min(W / 800, H / 600): how much larger than the classic stage this one is.
  double Scale() const { return scale_; }

  // The caption as it stands on this stage: on a larger one its place and font scaled, around
  // the centred 800 x 600 area.
  Caption PlaceCaption(const Caption& caption) const;

  // Where a picture of `width` x `height` (the size the film declares for it) stands.
  Rect PictureRect(int width, int height) const;

  // Draws `decoded` into `place` of `stage`: with the player's nearest samples on the classic
  // stage (byte for byte as films have always shown), with the averaging filter on a larger one.
  void DrawPicture(const PictureView& decoded, const Rect& place, const PictureSpan& stage) const;

 private:
  int width_;
  int height_;
  double scale_;
  int originX_;
  int originY_;
};

}  // namespace lumafolio
