#include "core/effects/drawing/DrumRoll.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/TilePieces.h"

namespace lumafolio::transitions {
namespace {

// What strip j (a column of the horizontal roll, a line of the vertical one) shows: strip j of
// the old or the new picture, foreshortened for drum position x (0 = facing the viewer).
struct DrumStrip {
  bool fromNew;
  int x;
};

// `length` strips along the roll, `travel` = 3 length q / 100 of them passed so far. The turn
// goes through three phases: the old picture bends from its far end until it is all on the
// drum, then the seam between the two pictures crosses, then the new picture unbends.
DrumStrip StripAt(int j, int length, int travel) {
  if (travel <= length) {
    const int flat = length - travel;
    return {false, j < flat ? 0 : j - flat};
  }
  if (travel <= 2 * length) {
    const int m = travel - length;
    if (j < length - m) return {false, m + j};
    return {true, 2 * length - m - j};  // new strip length - k turns at x = length + k - m
  }
  const int bent = 3 * length - travel;
  return {true, j < bent ? bent - j : 0};
}

// How many lines (pixels) of its `across` a strip loses at drum position x: 2 floor((across /
// 2) x^2 / length^2). x never exceeds length, so the loss never exceeds `across`. In 64 bits,
// as x^2 times the picture's size does not fit 32 for large stages.
int Shortening(int x, int length, int across) {
  const std::int64_t loss = std::int64_t{across / 2} * x * x / (std::int64_t{length} * length);
  return static_cast<int>(2 * loss);
}

// The sampling of a strip squeezed from `full` to `kept` pixels, stepped one output pixel at a
// time without a division: source index floor((2 i + 1) full / (2 kept)), the nearest one to
// the centre of output pixel i.
struct EvenSampler {
  EvenSampler(int full, int kept)
      : index(full / (2 * kept)),
        remainder(full % (2 * kept)),
        whole(full / kept),
        part((2 * full) % (2 * kept)),
        divisor(2 * kept) {}

  void Advance() {
    index += whole;
    remainder += part;
    if (remainder >= divisor) {
      remainder -= divisor;
      ++index;
    }
  }

  int index;
  int remainder;
  int whole;
  int part;
  int divisor;
};

// The loss (see Shortening) at every drum position 0 to `length`, found without a division:
// floor(half x^2 / length^2) only climbs with x, by at most `half` in all, so each value is
// reached by stepping the previous one up.
void FillShortenings(std::vector<int>& losses, int length, int across) {
  losses.resize(static_cast<std::size_t>(length) + 1);
  const std::int64_t half = across / 2;
  const std::int64_t square = std::int64_t{length} * length;
  std::int64_t quotient = 0;
  std::int64_t nextBound = square;  // (quotient + 1) length^2
  for (int x = 0; x <= length; ++x) {
    const std::int64_t numerator = half * x * x;
    while (numerator >= nextBound) {
      ++quotient;
      nextBound += square;
    }
    losses[static_cast<std::size_t>(x)] = static_cast<int>(2 * quotient);
  }
}

// The same even sampling in 32.32 fixed point, one addition a pixel: with the start biased up
// by kept + 1 units the truncated step never lets the position fall below the exact value, and
// the exact value's fraction stays at least 1 / (2 kept) short of the next whole pixel, far
// more than the bias, so every index comes out exact while kept stays below 2^15.
struct FixedSampler {
  static bool Exact(int kept) { return kept < (1 << 15); }

  FixedSampler(int full, int kept)
      : position((std::uint64_t{static_cast<std::uint32_t>(full)} << 31) /
                     static_cast<std::uint32_t>(kept) +
                 static_cast<std::uint32_t>(kept) + 1),
        step((std::uint64_t{static_cast<std::uint32_t>(full)} << 32) /
             static_cast<std::uint32_t>(kept)) {}

  std::size_t Index() const { return static_cast<std::size_t>(position >> 32); }

  std::uint64_t position;
  std::uint64_t step;
};

// A run of neighbouring columns that share a picture and a foreshortening: they sample the
// same source line at every output line, so each line of the run is one span copy.
struct ColumnRun {
  std::size_t offset;  // byte offset of the run's first pixel in a row
  std::size_t bytes;
  const std::uint8_t* source;
  int top;   // first output row (from the bottom) of the shortened columns
  int kept;  // rows left of the columns, from `top` up; 0 when the columns are seen edge-on
  // Rows at either edge the run leaves black: `top` of them at each end, or all of them.
  int Reach(int height) const { return kept > 0 ? top : height; }
};

// Copies a run's `kept` lines down the output, `from` and `to` pointing at its bottom one in the
// source picture and the output. The run's lines are the sampler's, all inside the picture.
// Runs far out on the drum are mostly a few pixels wide: those widths move as fixed copies.
template <std::size_t kBytes>
void CopyRunLines(std::uint8_t* to, const std::uint8_t* from, std::size_t stride, int kept,
                  FixedSampler sampler, std::size_t bytes) {
  for (int line = 0; line < kept; ++line, to += stride, sampler.position += sampler.step) {
    const std::uint8_t* source = from + sampler.Index() * stride;
    if constexpr (kBytes > 0) {
      std::memcpy(to, source, kBytes);
    } else {
      CopySpan(to, source, bytes);
    }
  }
}

void CopyRun(const ColumnRun& run, std::uint8_t* to, std::size_t stride, int height) {
  const std::uint8_t* from = run.source + run.offset;
  if (!FixedSampler::Exact(run.kept)) {
    EvenSampler sampler(height, run.kept);
    for (int line = 0; line < run.kept; ++line, to += stride, sampler.Advance()) {
      CopySpan(to, from + static_cast<std::size_t>(sampler.index) * stride, run.bytes);
    }
    return;
  }
  const FixedSampler sampler(height, run.kept);
  switch (run.bytes) {
    case 3:
      return CopyRunLines<3>(to, from, stride, run.kept, sampler, run.bytes);
    case 6:
      return CopyRunLines<6>(to, from, stride, run.kept, sampler, run.bytes);
    case 9:
      return CopyRunLines<9>(to, from, stride, run.kept, sampler, run.bytes);
    case 12:
      return CopyRunLines<12>(to, from, stride, run.kept, sampler, run.bytes);
    default:
      return CopyRunLines<0>(to, from, stride, run.kept, sampler, run.bytes);
  }
}

// Clears what no run covers, with the rows' padding, and nothing else, so that each covered
// pixel is written once. A row d rows from the nearer edge (top or bottom) is black in exactly
// the runs that reach further than d. Along the roll the loss climbs to the most turned-away
// strip and falls after it, so those runs form one range, which narrows as d grows; a roll
// that broke that shape is cleared whole instead.
void ClearUncovered(const StageView& view, const std::vector<ColumnRun>& runs) {
  const int height = view.height;
  const std::size_t count = runs.size();
  std::size_t peak = 0;
  for (std::size_t k = 1; k < count; ++k) {
    if (runs[k].Reach(height) > runs[peak].Reach(height)) peak = k;
  }
  for (std::size_t k = 1; k < count; ++k) {
    const int change = runs[k].Reach(height) - runs[k - 1].Reach(height);
    if (k <= peak ? change < 0 : change > 0) {
      view.ClearToBlack();
      return;
    }
  }
  const std::size_t rowBytes = view.RowBytes();
  std::size_t first = 0;     // the range of black runs
  std::size_t last = count;  // one past its end
  for (int d = 0; 2 * d < height; ++d) {
    while (first < peak && runs[first].Reach(height) <= d) ++first;
    while (last > peak + 1 && runs[last - 1].Reach(height) <= d) --last;
    std::size_t black = rowBytes;
    std::size_t blackEnd = rowBytes;
    if (runs[peak].Reach(height) > d) {
      black = runs[first].offset;
      blackEnd = runs[last - 1].offset + runs[last - 1].bytes;
    }
    for (const int row : {d, height - 1 - d}) {
      std::uint8_t* out = view.OutRow(row);
      if (blackEnd == rowBytes) {
        std::memset(out + black, 0, view.stride - black);
      } else {
        std::memset(out + black, 0, blackEnd - black);
        std::memset(out + rowBytes, 0, view.stride - rowBytes);
      }
    }
  }
}

// Working tables, kept between steps to spare their allocations.
struct DrumTables {
  std::vector<int> columnLosses;
  std::vector<ColumnRun> columnRuns;
};

// Each output column keeps a centred stretch of its source column, so the picture is drawn run
// by run down the columns, each run's sampler stepping in registers from line to line; only
// the black the runs leave is cleared, so every pixel is written once.
void DrawColumns(DrumTables& tables, const StageView& view, int travel) {
  const int width = view.width;
  const int height = view.height;
  std::vector<int>& columnLosses = tables.columnLosses;
  FillShortenings(columnLosses, width, height);
  std::vector<ColumnRun>& runs = tables.columnRuns;
  runs.clear();
  int j = 0;
  while (j < width) {
    const DrumStrip strip = StripAt(j, width, travel);
    const int loss = columnLosses[static_cast<std::size_t>(strip.x)];
    int end = j + 1;
    while (end < width) {
      const DrumStrip next = StripAt(end, width, travel);
      if (next.fromNew != strip.fromNew || columnLosses[static_cast<std::size_t>(next.x)] != loss)
        break;
      ++end;
    }
    const int kept = height - loss;
    runs.push_back({static_cast<std::size_t>(j) * 3, static_cast<std::size_t>(end - j) * 3,
                    strip.fromNew ? view.to : view.from, kept > 0 ? loss / 2 : 0,
                    kept > 0 ? kept : 0});
    j = end;
  }

  ClearUncovered(view, runs);
  for (const ColumnRun& run : runs) {
    if (run.kept > 0) CopyRun(run, view.OutRow(run.top) + run.offset, view.stride, height);
  }
}

// Copies the `kept` pixels of a line of `full` pixels squeezed evenly (the same source pixels
// as EvenSampler and FixedSampler pick) to `to`. Each pixel moves as one 4-byte word whose last
// byte the next pixel overwrites; the last pixel moves on its own, and no earlier one samples
// the line's last pixel, so no word reads past the line.
void SqueezeLine(std::uint8_t* to, const std::uint8_t* from, int full, int kept) {
  if (!FixedSampler::Exact(kept)) {
    EvenSampler sampler(full, kept);
    for (int i = 0; i < kept; ++i, to += 3, sampler.Advance()) {
      std::memcpy(to, from + static_cast<std::size_t>(sampler.index) * 3, 3);
    }
    return;
  }
  FixedSampler sampler(full, kept);
  for (int i = 0; i + 1 < kept; ++i, to += 3, sampler.position += sampler.step) {
    std::uint32_t pixel;
    std::memcpy(&pixel, from + sampler.Index() * 3, 4);
    std::memcpy(to, &pixel, 4);
  }
  std::memcpy(to, from + sampler.Index() * 3, 3);
}

void DrawLines(const StageView& view, int travel) {
  const int width = view.width;
  const int height = view.height;
  for (int row = 0; row < height; ++row) {
    const DrumStrip strip = StripAt(row, height, travel);
    const int loss = Shortening(strip.x, height, width);
    const std::uint8_t* from = strip.fromNew ? view.ToRow(row) : view.FromRow(row);
    std::uint8_t* out = view.OutRow(row);
    if (loss == 0) {
      std::memcpy(out, from, view.RowBytes());
      continue;
    }
    const int left = loss / 2;
    const int kept = width - loss;
    if (kept <= 0) {  // seen edge-on: nothing of the line is left
      std::memset(out, 0, view.RowBytes());
      continue;
    }
    std::memset(out, 0, static_cast<std::size_t>(left) * 3);
    std::memset(out + static_cast<std::size_t>(left + kept) * 3, 0,
                static_cast<std::size_t>(width - left - kept) * 3);
    SqueezeLine(out + static_cast<std::size_t>(left) * 3, from, width, kept);
  }
}

}  // namespace

void DrawDrumRoll(const EffectParams& params, bool vertical, EffectState& state) {
  const StageView view(params);
  const int q = Percent(params);
  if (q <= 0) {
    view.CopyFrom();
    return;
  }
  if (q >= 100) {
    view.CopyTo();
    return;
  }
  const int length = vertical ? view.height : view.width;
  const int travel = static_cast<int>(std::int64_t{length} * q * 3 / 100);
  if (vertical) {
    DrawLines(view, travel);
  } else {
    DrawColumns(state.Get<DrumTables>(), view, travel);
  }
}

}  // namespace lumafolio::transitions
