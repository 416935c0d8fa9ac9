#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/Simd.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/TilePieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// The square cells and, per cell, the percentage from which it shows B. Cells are listed row of
// cells by row of cells from the bottom of the picture, left to right.
struct CellGrid {
  std::vector<std::uint8_t> thresholds;
  int cell = 0;
  int columns = 0;
  int rows = 0;
  int width = 0;
  int height = 0;
  int variant = 0;
};

// The grid, and the byte mask of one row of cells, reused from step to step.
struct BlocksState {
  CellGrid grid;
  std::vector<std::uint8_t> rowMask;
};

// out = mask ? b : a, byte by byte.
void SelectBytes(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* mask,
                 std::uint8_t* out, std::size_t count) {
  std::size_t i = 0;
#if LUMAFOLIO_SSE2
  for (; i + 16 <= count; i += 16) {
    const __m128i av = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_or_si128(_mm_and_si128(m, bv), _mm_andnot_si128(m, av)));
  }
#endif
  for (; i < count; ++i) out[i] = static_cast<std::uint8_t>((a[i] & ~mask[i]) | (b[i] & mask[i]));
}

void BuildGrid(CellGrid& grid, int width, int height, int variant) {
  grid.cell = TileSizeFor(variant, width, height);
  grid.columns = width / grid.cell;
  grid.rows = height / grid.cell;
  grid.width = width;
  grid.height = height;
  grid.variant = variant;
  grid.thresholds.resize(static_cast<std::size_t>(grid.columns) * grid.rows);
  for (auto& threshold : grid.thresholds) threshold = static_cast<std::uint8_t>(EffectRand() % 100);
}

bool GridFits(const CellGrid& grid, const EffectParams& params) {
  return !grid.thresholds.empty() && grid.width == params.width && grid.height == params.height &&
         grid.variant == params.variant;
}

}  // namespace

// The picture changes cell by cell in random order.
int Blocks(int command, const EffectParams& params, EffectState& state) {
  BlocksState& blocks = state.Get<BlocksState>();
  CellGrid& grid = blocks.grid;
  std::vector<std::uint8_t>& rowMask = blocks.rowMask;
  if (command == kEffectBegin) {
    grid = CellGrid{};
    if (params.width > 0 && params.height > 0) {
      BuildGrid(grid, params.width, params.height, params.variant);
    }
    return 0;
  }
  if (command == kEffectEnd) {
    grid = CellGrid{};
    rowMask = {};
    return 0;
  }
  if (command != kEffectStep) return 0;

  const StageView view(params);
  const int q = Percent(params);
  if (DrawEndPoint(view, q)) return 0;
  // Begin may have run without a picture size, or not at all.
  if (!GridFits(grid, params)) BuildGrid(grid, params.width, params.height, params.variant);

  // One row of cells at a time: a byte mask over the row (0xff where the cell shows B), shared
  // by the cell's lines, selects between A and B.
  rowMask.resize(view.RowBytes());
  const std::size_t cellBytes = static_cast<std::size_t>(grid.cell) * 3;
  for (int cellRow = 0; cellRow < grid.rows; ++cellRow) {
    const std::uint8_t* thresholds =
        grid.thresholds.data() + static_cast<std::size_t>(cellRow) * grid.columns;
    for (int column = 0; column < grid.columns; ++column) {
      std::memset(rowMask.data() + column * cellBytes, q < thresholds[column] ? 0 : 0xff,
                  cellBytes);
    }
    for (int row = cellRow * grid.cell; row < (cellRow + 1) * grid.cell; ++row) {
      SelectBytes(view.FromRow(row), view.ToRow(row), rowMask.data(), view.OutRow(row),
                  view.RowBytes());
    }
  }
  return 0;
}

}  // namespace lumafolio::transitions
