#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "stage/EffectRandom.h"
#include "stage/transitions/StageView.h"
#include "stage/transitions/TilePieces.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// One 2 x 2 piece: where it flies to at the height of the scatter (in pixels, scaled by
// u / 1024 on the way) and the step, in 256ths of the way, from which it shows the new picture.
struct ScatterPiece {
  std::int32_t dx;
  std::int32_t dy;
  std::int32_t threshold;
};

struct ScatterState {
  int width = 0;
  int height = 0;
  // Row by row from the bottom left; a picture with an odd side has one-pixel pieces along its
  // right or top edge.
  std::vector<ScatterPiece> pieces;
};

ScatterState state;

// A piece's offset along one axis of `size` pixels, for the piece starting at `position`. A
// random pivot near the middle is drawn; the piece flies toward it and past it, at most as far
// as the pivot lies from the opposite edge, so it never leaves the picture entirely. Ranges that
// are empty on a picture one pixel wide give 0 instead of a modulo by zero.
std::int32_t AxisOffset(int position, int size) {
  const int half = size / 2;
  const int pivot = RandBelow(half) - size / 4;
  const int fromCentre = position - half;
  if (fromCentre > pivot) return -RandBelow(pivot + half);
  if (fromCentre < pivot) return RandBelow(half - pivot);
  return 0;
}

void Build(int width, int height) {
  state.width = width;
  state.height = height;
  const int columns = (width + 1) / 2;
  const int rows = (height + 1) / 2;
  state.pieces.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  EffectSrandFromClock();
  std::size_t i = 0;
  for (int pieceRow = 0; pieceRow < rows; ++pieceRow) {
    for (int pieceColumn = 0; pieceColumn < columns; ++pieceColumn, ++i) {
      ScatterPiece& piece = state.pieces[i];
      piece.threshold = EffectRand() % 255 + 1;
      piece.dx = AxisOffset(pieceColumn * 2, width);
      piece.dy = AxisOffset(pieceRow * 2, height);
    }
  }
}

void Free() {
  std::vector<ScatterPiece>().swap(state.pieces);
  state.width = state.height = 0;
}

// How far the pieces are out, 0 at both ends and about 808 / 1024 of their offsets in the
// middle: the curve g of p lingers around the middle, so the pieces hang apart for a while.
int Spread(double p) {
  double g = p;
  if (p > 0.3 && p < 0.5) {
    g = p - 2.4 * (p - 0.3) * (p - 0.3);
  } else if (p >= 0.5 && p < 0.7) {
    g = 1.0 - ((1.0 - p) - 2.4 * (0.7 - p) * (0.7 - p));
  }
  return static_cast<int>(std::floor((0.5 - std::fabs(g - 0.5)) * 2000.0));
}

void Draw(const EffectParams& params) {
  const StageView view(params);
  const double p = Progress(params);
  const int u = Spread(p);
  const int shown = static_cast<int>(std::floor(p * 256.0));
  if (u == 0 && shown == 0) {  // every piece in place, none turned yet
    view.CopyFrom();
    return;
  }
  if (u == 0 && shown >= 255) {
    view.CopyTo();
    return;
  }
  view.ClearToBlack();
  const int columns = (view.width + 1) / 2;
  const int rows = (view.height + 1) / 2;
  for (int pieceRow = 0; pieceRow < rows; ++pieceRow) {
    const int y = pieceRow * 2;
    const int h = view.height - y < 2 ? 1 : 2;
    const ScatterPiece* pieces = state.pieces.data() + static_cast<std::size_t>(pieceRow) * columns;
    const std::size_t sourceRow = static_cast<std::size_t>(y) * view.stride;
    for (int c = 0; c < columns; ++c) {
      const int x = c * 2;
      const int w = view.width - x < 2 ? 1 : 2;
      const std::uint8_t* source = shown >= pieces[c].threshold ? view.to : view.from;
      const int toX = x + ((u * pieces[c].dx) >> 10);
      const int toY = y + ((u * pieces[c].dy) >> 10);
      if (w == 2 && h == 2 && toX >= 0 && toX + 2 <= view.width && toY >= 0 &&
          toY + 2 <= view.height) {
        CopySquare<2>(view.OutRow(toY) + static_cast<std::size_t>(toX) * 3,
                      source + sourceRow + static_cast<std::size_t>(x) * 3, view.stride, 2);
      } else {
        CopyBlockClipped(view, source, x, y, toX, toY, w, h);
      }
    }
  }
}

}  // namespace

// The old picture falls apart into 2 x 2 pieces that fly out over black and come back together
// as the new one, each piece turning over at its own random moment.
int Scatter(int command, const EffectParams& params) {
  if (command == kEffectBegin) {
    // Begin may come without a picture size; the first step then builds the pieces.
    if (params.width > 0 && params.height > 0) {
      Build(params.width, params.height);
    } else {
      Free();
    }
    return 0;
  }
  if (command == kEffectEnd) {
    Free();
    return 0;
  }
  if (state.pieces.empty() || state.width != params.width || state.height != params.height) {
    Build(params.width, params.height);
  }
  Draw(params);
  return 0;
}

}  // namespace lumafolio::transitions
