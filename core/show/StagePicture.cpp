#include "core/show/StagePicture.h"

#include <algorithm>
#include <cmath>

namespace lumafolio {
namespace {

// The taps of a separable resampling filter for one destination coordinate: source indexes
// from `first`, with weights in 1/2^14 that add up to exactly 2^14.
struct Taps {
  int first = 0;
  std::vector<std::int32_t> weights;
};

constexpr int kWeightBits = 14;

std::vector<Taps> FilterTaps(int sourceSize, int destinationSize) {
  std::vector<Taps> all(static_cast<std::size_t>(destinationSize));
  const double scale = static_cast<double>(sourceSize) / destinationSize;
  const double support = std::max(1.0, scale);  // the filter's half width in source pixels
  for (int d = 0; d < destinationSize; ++d) {
    const double centre = (d + 0.5) * scale;
    const int first = std::max(0, static_cast<int>(std::floor(centre - support)));
    const int last = std::min(sourceSize - 1, static_cast<int>(std::ceil(centre + support)));
    std::vector<double> raw;
    double total = 0;
    for (int s = first; s <= last; ++s) {
      const double w = std::max(0.0, 1.0 - std::abs((s + 0.5 - centre) / support));
      raw.push_back(w);
      total += w;
    }
    Taps& taps = all[static_cast<std::size_t>(d)];
    taps.first = first;
    std::int32_t given = 0;
    std::size_t heaviest = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const auto w = static_cast<std::int32_t>(std::lround(raw[i] / total * (1 << kWeightBits)));
      taps.weights.push_back(w);
      given += w;
      if (raw[i] > raw[heaviest]) heaviest = i;
    }
    taps.weights[heaviest] += (1 << kWeightBits) - given;  // rounding goes to the heaviest tap
  }
  return all;
}

std::uint8_t Clamp8(std::int32_t value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

}  // namespace

StagePicture::StagePicture(int w, int h) : width(w), height(h) {
  bits.assign(Stride() * static_cast<std::size_t>(h), 0);
}

void DrawNearest(const PictureView& picture, const Rect& place, const PictureSpan& stage) {
  if (picture.width <= 0 || picture.height <= 0 || place.Width() <= 0 || place.Height() <= 0) {
    return;
  }
  const int top = std::max(place.top, 0);
  const int bottom = std::min(place.bottom, stage.height);
  const int left = std::max(place.left, 0);
  const int right = std::min(place.right, stage.width);
  if (place.Width() == picture.width && place.Height() == picture.height) {
    // At its own size every pixel is its own nearest sample: rows are copied as they are.
    for (int line = top; line < bottom; ++line) {
      std::copy_n(picture.Line(line - place.top) + static_cast<std::size_t>(left - place.left) * 3,
                  static_cast<std::size_t>(std::max(right - left, 0)) * 3,
                  stage.Line(line) + static_cast<std::size_t>(left) * 3);
    }
    return;
  }
  for (int line = top; line < bottom; ++line) {
    const auto sourceLine = static_cast<int>(static_cast<long long>(line - place.top) *
                                             picture.height / place.Height());
    const std::uint8_t* source = picture.Line(sourceLine);
    std::uint8_t* target = stage.Line(line);
    for (int x = left; x < right; ++x) {
      const auto sourceX =
          static_cast<int>(static_cast<long long>(x - place.left) * picture.width / place.Width());
      std::copy_n(source + static_cast<std::size_t>(sourceX) * 3, 3,
                  target + static_cast<std::size_t>(x) * 3);
    }
  }
}

void DrawFiltered(const PictureView& picture, const Rect& place, const PictureSpan& stage) {
  if (picture.width <= 0 || picture.height <= 0 || place.Width() <= 0 || place.Height() <= 0) {
    return;
  }
  const std::vector<Taps> across = FilterTaps(picture.width, place.Width());
  const std::vector<Taps> down = FilterTaps(picture.height, place.Height());
  // Across first, into rows of 32-bit sums still scaled by 2^14 (top-down), then down.
  const int width = place.Width();
  std::vector<std::int32_t> rows(static_cast<std::size_t>(width) * 3 *
                                 static_cast<std::size_t>(picture.height));
  for (int line = 0; line < picture.height; ++line) {
    const std::uint8_t* source = picture.Line(line);
    std::int32_t* row = rows.data() + static_cast<std::size_t>(line) * width * 3;
    for (int x = 0; x < width; ++x) {
      const Taps& taps = across[static_cast<std::size_t>(x)];
      std::int32_t b = 0, g = 0, r = 0;
      const std::uint8_t* p = source + static_cast<std::size_t>(taps.first) * 3;
      for (const std::int32_t w : taps.weights) {
        b += p[0] * w;
        g += p[1] * w;
        r += p[2] * w;
        p += 3;
      }
      row[x * 3] = b;
      row[x * 3 + 1] = g;
      row[x * 3 + 2] = r;
    }
  }
  const int top = std::max(place.top, 0);
  const int bottom = std::min(place.bottom, stage.height);
  const int left = std::max(place.left, 0);
  const int right = std::min(place.right, stage.width);
  std::vector<std::int64_t> sums(static_cast<std::size_t>(width) * 3);
  constexpr std::int64_t kHalf = std::int64_t{1} << (2 * kWeightBits - 1);
  for (int line = top; line < bottom; ++line) {
    const Taps& taps = down[static_cast<std::size_t>(line - place.top)];
    std::fill(sums.begin(), sums.end(), 0);
    for (std::size_t i = 0; i < taps.weights.size(); ++i) {
      const std::int32_t* row = rows.data() + (static_cast<std::size_t>(taps.first) + i) *
                                                  static_cast<std::size_t>(width) * 3;
      const std::int64_t w = taps.weights[i];
      for (std::size_t c = 0; c < sums.size(); ++c) sums[c] += row[c] * w;
    }
    std::uint8_t* target = stage.Line(line);
    for (int x = left; x < right; ++x) {
      for (int c = 0; c < 3; ++c) {
        const std::int64_t value =
            (sums[static_cast<std::size_t>((x - place.left) * 3 + c)] + kHalf) >> (2 * kWeightBits);
        target[x * 3 + c] = Clamp8(static_cast<std::int32_t>(value));
      }
    }
  }
}

}  // namespace lumafolio
