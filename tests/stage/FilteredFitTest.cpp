#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/show/StagePicture.h"

namespace lumafolio {
namespace {

// The filter written out in doubles: every destination pixel the normalised sum of the source
// pixels under a triangle as wide as the scale (at least one pixel), separably.
std::vector<std::vector<double>> Weights(int source, int destination) {
  const double scale = static_cast<double>(source) / destination;
  const double support = std::max(1.0, scale);
  std::vector<std::vector<double>> all(static_cast<std::size_t>(destination));
  for (int d = 0; d < destination; ++d) {
    auto& w = all[static_cast<std::size_t>(d)];
    double total = 0;
    for (int s = 0; s < source; ++s) {
      w.push_back(std::max(0.0, 1.0 - std::abs((s + 0.5 - (d + 0.5) * scale) / support)));
      total += w.back();
    }
    for (double& v : w) v /= total;
  }
  return all;
}

// The whole place in doubles, down first then across.
std::vector<double> Reference(const StagePicture& picture, const Rect& place) {
  const auto across = Weights(picture.width, place.Width());
  const auto down = Weights(picture.height, place.Height());
  std::vector<double> result(static_cast<std::size_t>(place.Width() * place.Height() * 3));
  std::vector<double> line(static_cast<std::size_t>(picture.width * 3));
  for (int y = 0; y < place.Height(); ++y) {
    std::fill(line.begin(), line.end(), 0.0);
    for (int sy = 0; sy < picture.height; ++sy) {
      const double w = down[static_cast<std::size_t>(y)][static_cast<std::size_t>(sy)];
      for (std::size_t i = 0; i < line.size(); ++i) line[i] += w * picture.Line(sy)[i];
    }
    for (int x = 0; x < place.Width(); ++x) {
      for (int sx = 0; sx < picture.width; ++sx) {
        const double w = across[static_cast<std::size_t>(x)][static_cast<std::size_t>(sx)];
        for (int c = 0; c < 3; ++c) {
          result[static_cast<std::size_t>((y * place.Width() + x) * 3 + c)] +=
              w * line[static_cast<std::size_t>(sx * 3 + c)];
        }
      }
    }
  }
  return result;
}

StagePicture Noise(int w, int h, unsigned seed) {
  StagePicture picture(w, h);
  std::mt19937 random(seed);
  for (auto& byte : picture.bits) byte = static_cast<std::uint8_t>(random());
  return picture;
}

TEST(FilteredFitTest, MatchesTheFilterInDoublesAndLeavesTheRestOfTheStage) {
  struct Case {
    int sourceWidth, sourceHeight;
    Rect place;
    int stageWidth, stageHeight;
  };
  const Case cases[] = {
      {148, 111, {3, 2, 23, 17}, 27, 19},   // shrunk 7.4 times
      {131, 97, {0, 1, 101, 76}, 101, 77},  // shrunk 1.3 times, odd widths
      {41, 29, {5, 4, 66, 48}, 71, 53},     // enlarged 1.5 times
      {90, 60, {-7, -5, 53, 35}, 45, 23},   // partly off the stage on every side
      {5, 300, {1, 1, 4, 41}, 6, 43},       // narrower than one SIMD block, tall
  };
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.sourceWidth << "x" << c.sourceHeight << " into "
                                      << c.place.Width() << "x" << c.place.Height());
    const StagePicture picture = Noise(c.sourceWidth, c.sourceHeight, seed++);
    const StagePicture before = Noise(c.stageWidth, c.stageHeight, seed++);
    StagePicture stage = before;
    DrawFiltered(picture, c.place, stage);
    const std::vector<double> want = Reference(picture, c.place);
    int worst = 0;
    for (int y = 0; y < stage.height; ++y) {
      for (int x = 0; x < stage.width; ++x) {
        const bool inside =
            x >= c.place.left && x < c.place.right && y >= c.place.top && y < c.place.bottom;
        for (int k = 0; k < 3; ++k) {
          const int got = stage.Line(y)[x * 3 + k];
          if (inside) {
            const double exact = want[static_cast<std::size_t>(
                ((y - c.place.top) * c.place.Width() + x - c.place.left) * 3 + k)];
            worst = std::max(worst, std::abs(got - static_cast<int>(std::lround(exact))));
          } else {
            ASSERT_EQ(got, before.Line(y)[x * 3 + k]) << "outside the place at " << x << "," << y;
          }
        }
      }
    }
    EXPECT_LE(worst, 1);
  }
}

TEST(FilteredFitTest, AUniformPictureStaysExactlyUniform) {
  const std::uint8_t colour[3] = {0, 128, 255};
  StagePicture picture(200, 150);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) std::copy_n(colour, 3, picture.Line(y) + x * 3);
  }
  for (const Rect place : {Rect{0, 0, 27, 20}, Rect{0, 0, 149, 111}, Rect{0, 0, 311, 233}}) {
    StagePicture stage(place.Width(), place.Height());
    DrawFiltered(picture, place, stage);
    for (int y = 0; y < stage.height; ++y) {
      for (int x = 0; x < stage.width; ++x) {
        for (int k = 0; k < 3; ++k) ASSERT_EQ(stage.Line(y)[x * 3 + k], colour[k]);
      }
    }
  }
}

// 1-pixel black and white stripes shrunk 3.7 times: nearest samples pick whole stripes (moiré
// at full contrast), the filter averages them to an even grey. The outermost pixels are left
// out: the 3.7 stripes they cover are truly darker or lighter than half.
TEST(FilteredFitTest, FineStripesShrinkToGreyWithoutMoire) {
  for (const bool acrossStripes : {true, false}) {
    SCOPED_TRACE(acrossStripes ? "vertical stripes" : "horizontal stripes");
    StagePicture picture(370, 333);
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        std::fill_n(picture.Line(y) + x * 3, 3, ((acrossStripes ? x : y) % 2) ? 255 : 0);
      }
    }
    const Rect place{0, 0, 100, 90};
    const auto spread = [&](auto draw) {
      StagePicture stage(place.Width(), place.Height());
      draw(picture, place, stage);
      double mean = 0;
      for (int y = 1; y + 1 < stage.height; ++y) {
        for (int x = 1; x + 1 < stage.width; ++x) mean += stage.Line(y)[x * 3 + 1];
      }
      mean /= (stage.width - 2) * (stage.height - 2);
      double deviation = 0;
      for (int y = 1; y + 1 < stage.height; ++y) {
        for (int x = 1; x + 1 < stage.width; ++x) {
          deviation = std::max(deviation, std::abs(stage.Line(y)[x * 3 + 1] - mean));
        }
      }
      return deviation;
    };
    EXPECT_LT(spread([](auto&... a) { DrawFiltered(a...); }), 8);
    EXPECT_GT(spread([](auto&... a) { DrawNearest(a...); }), 100);
  }
}

}  // namespace
}  // namespace lumafolio
