#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/effects/EffectParams.h"
#include "core/effects/drawing/StageView.h"

// The page-curl engine shared by Curl, CurlSoft, CurlQuad and CurlSoftQuad: picture A is rolled
// up on a cylinder that moves across a rectangle of the picture and uncovers B behind it.
namespace lumafolio::transitions {

// Where a roll goes and how thick it is: (dx, dy) with x to the right and y upward on screen,
// and the cylinder's radius in pixels of the classic stage (a larger stage rolls a thicker
// cylinder, see StageScaled).
struct CurlMotion {
  int dx;
  int dy;
  int radius;
};

// A rectangle of the picture in stored coordinates: columns [left, right), rows [bottom, top)
// (rows are stored bottom-up, so `top` is the exclusive upper bound of the rows).
struct CurlRect {
  int left;
  int bottom;
  int right;
  int top;
};

// The per-distance table of one roll. Entry u (1..last; entry 0 is unused) describes the pixel u
// columns behind the fold line along a line of the picture, at distance a * u from it, where a is
// the horizontal share of the unit direction (how far the distance moves per column).
struct CurlProfile {
  double a = 1.0;
  double radius = 1.0;
  bool soft = false;
  int last = 0;
  // How far (in pixels, along the direction, never positive) the page point shown by the roll's
  // front (its upper, outer face) and its back (the inner face) lies from the pixel itself.
  std::vector<double> frontShift;
  std::vector<double> backShift;
  // Brightness added to every channel of the front and the back.
  std::vector<int> frontLight;
  std::vector<int> backLight;
};

// The horizontal share of a direction: |dx| / |(dx, dy)|. A direction with no horizontal part
// would make the per-column table endless, so it is kept at a small minimum.
double CurlSlope(int dx, int dy);

// Fills `profile` for a roll of `radius` at slope `a`: entries up to r / a (hard roll) or 2 r / a
// (soft roll, whose whole cylinder is seen).
void BuildCurlProfile(double a, double radius, bool soft, CurlProfile* profile);

// One roll engine; every record running a curl keeps its own in its state slot, so that one
// record's end never frees another's state.
class PageCurl {
 public:
  // Builds the 768-entry clamping table: index 256 + c + offset gives clamp(c + offset, 0, 255).
  void Begin();
  void End();

  // Draws step `params` of a roll over `rect` into the output: A ahead of the roll, the roll,
  // B behind it. p = 0 leaves A, p = 1 gives B. Touches only `rect` of the three pictures.
  void DrawRect(const StageView& view, const CurlRect& rect, const CurlMotion& motion, bool soft,
                double p);

  // The four quarters of the picture (split at W / 2 and H / 2) rolled at once, each from the
  // centre towards its own outer corner: `outward` gives the top right quarter's direction
  // (dx, dy > 0); the others mirror it.
  void DrawQuarters(const StageView& view, const CurlMotion& outward, bool soft, double p);

  const std::vector<std::uint8_t>& ClampTable() const { return clamp_; }

 private:
  // What a pixel at entry u needs, for one direction and row stride: where the front's and the
  // back's page points lie (columns and rows from the pixel, and the same as a byte offset in A)
  // and their lighting.
  struct RollEntry {
    int frontDx;
    int frontDy;
    int backDx;
    int backDy;
    int frontLight;
    int backLight;
    std::ptrdiff_t frontOffset;
    std::ptrdiff_t backOffset;
  };

  void BuildEntries(double nx, double ny, std::size_t stride);

  std::vector<std::uint8_t> clamp_;
  CurlProfile profile_;
  std::vector<RollEntry> entries_;
};

// A whole-picture roll that takes its direction and radius from a list, one entry per
// transition. The position lives as long as the object (the library's state slot, so the
// library's lifetime) and moves on at every end, so consecutive curls differ.
class ListedCurl {
 public:
  ListedCurl(std::span<const CurlMotion> motions, bool soft) : motions_(motions), soft_(soft) {}

  int Run(int command, const EffectParams& params);

 private:
  PageCurl curl_;
  std::span<const CurlMotion> motions_;
  bool soft_;
  std::size_t position_ = 0;
};

}  // namespace lumafolio::transitions
