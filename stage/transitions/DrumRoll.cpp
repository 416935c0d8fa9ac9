#include "stage/transitions/DrumRoll.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "stage/transitions/StageView.h"
#include "stage/transitions/TilePieces.h"

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

// A run of neighbouring columns that share a picture and a foreshortening: they sample the
// same source line at every output line, so each line of the run is one span copy.
struct ColumnRun {
  int first;
  int end;
  const std::uint8_t* source;
  int top;  // first output row (from the bottom) of the shortened columns
  int kept;
  EvenSampler sampler;
};

void DrawColumns(const StageView& view, int travel) {
  const int width = view.width;
  const int height = view.height;
  std::vector<ColumnRun> runs;
  int j = 0;
  while (j < width) {
    const DrumStrip strip = StripAt(j, width, travel);
    const int loss = Shortening(strip.x, width, height);
    int end = j + 1;
    while (end < width) {
      const DrumStrip next = StripAt(end, width, travel);
      if (next.fromNew != strip.fromNew || Shortening(next.x, width, height) != loss) break;
      ++end;
    }
    const int kept = height - loss;
    if (kept > 0) {
      runs.push_back(
          {j, end, strip.fromNew ? view.to : view.from, loss / 2, kept, EvenSampler(height, kept)});
    }
    j = end;
  }

  view.ClearToBlack();
  // Run by run down the picture: neighbouring runs read nearly the same source lines, which
  // are then still in the cache; line by line across all runs every span would miss.
  for (ColumnRun& run : runs) {
    const std::size_t offset = static_cast<std::size_t>(run.first) * 3;
    const std::size_t bytes = static_cast<std::size_t>(run.end - run.first) * 3;
    for (int row = run.top; row < run.top + run.kept; ++row) {
      const std::uint8_t* from =
          run.source + static_cast<std::size_t>(run.sampler.index) * view.stride;
      CopySpan(view.OutRow(row) + offset, from + offset, bytes);
      run.sampler.Advance();
    }
  }
}

// Copies the `kept` pixels of a line of `full` pixels squeezed evenly (the same source pixels
// as EvenSampler picks) to `to`. The source index is kept in 32.32 fixed point: with the start
// biased up by kept + 1 units the truncated step never lets it fall below the exact value, and
// the exact value's fraction stays at least 1 / (2 kept) short of the next whole pixel, far
// more than the bias, so every index comes out exact while kept stays below 2^15. Each pixel
// moves as one 4-byte word whose last byte the next pixel overwrites; the last pixel moves on
// its own, and no earlier one samples the line's last pixel, so no word reads past the line.
void SqueezeLine(std::uint8_t* to, const std::uint8_t* from, int full, int kept) {
  if (kept >= (1 << 15)) {
    EvenSampler sampler(full, kept);
    for (int i = 0; i < kept; ++i, to += 3, sampler.Advance()) {
      std::memcpy(to, from + static_cast<std::size_t>(sampler.index) * 3, 3);
    }
    return;
  }
  const std::uint64_t step =
      (std::uint64_t{static_cast<std::uint32_t>(full)} << 32) / static_cast<std::uint32_t>(kept);
  std::uint64_t position =
      (std::uint64_t{static_cast<std::uint32_t>(full)} << 31) / static_cast<std::uint32_t>(kept) +
      static_cast<std::uint32_t>(kept) + 1;
  for (int i = 0; i + 1 < kept; ++i, to += 3, position += step) {
    std::uint32_t pixel;
    std::memcpy(&pixel, from + (position >> 32) * 3, 4);
    std::memcpy(to, &pixel, 4);
  }
  std::memcpy(to, from + (position >> 32) * 3, 3);
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

void DrawDrumRoll(const EffectParams& params, bool vertical) {
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
    DrawColumns(view, travel);
  }
}

}  // namespace lumafolio::transitions
