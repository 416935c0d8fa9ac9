#include "core/effects/drawing/PageCurl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumafolio::transitions {
namespace {

constexpr double kPi = 3.141592654;

// Below this horizontal share the per-column table would grow past 512 r entries; a direction
// that steep is drawn as if it leaned this little to the side.
constexpr double kMinSlope = 1.0 / 256;

// A per-line column position far outside any picture, so that the integer spans stay in range
// whatever the distance works out to.
constexpr double kFarColumns = 1.0e9;

}  // namespace

double CurlSlope(int dx, int dy) {
  const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
  if (length == 0) return 1.0;
  return std::max(std::abs(dx) / length, kMinSlope);
}

void BuildCurlProfile(double a, double radius, bool soft, CurlProfile* profile) {
  const double r = std::max(radius, 1.0);
  a = std::clamp(a, kMinSlope, 1.0);
  const double r2 = r * r;
  const int last = static_cast<int>(std::floor((soft ? 2 * r : r) / a));

  profile->a = a;
  profile->radius = r;
  profile->soft = soft;
  profile->last = last;
  profile->frontShift.assign(last + 1, 0.0);
  profile->backShift.assign(last + 1, 0.0);
  profile->frontLight.assign(last + 1, 0);
  profile->backLight.assign(last + 1, 0);

  for (int u = last; u >= 1; --u) {
    if (!soft) {
      // The roll touches the page at the fold line and rises behind it: the back is the lower
      // quarter of the cylinder, climbing away from the fold, the front the upper quarter coming
      // back over it. Both show A's page unrolled from the fold line, hence mirrored.
      const double e = a * u;
      const double l = std::max(0.0, 2 * a * e * std::sqrt(std::max(0.0, r2 - e * e)) / r2);
      const double l4 = l * l * l * l;
      const double angle = std::asin(std::min(1.0, e / r));
      profile->frontLight[u] = 32 + static_cast<int>(std::floor(64 * l4));
      profile->backLight[u] = static_cast<int>(std::floor(32 * l4 * l4));
      profile->frontShift[u] = e - r * (kPi - angle);
      profile->backShift[u] = e - r * angle;
    } else {
      // The whole cylinder is seen, its axis r behind the fold line, where it rests on the page.
      // Arcs are counted from the fold line, so the front's includes the flat stretch of r
      // between the fold line and the axis.
      const double v = a * u - r;
      const double z = 1 - 2 * v * v / r2;
      const double rising = std::max(0.0, 2 * a * v * std::sqrt(std::max(0.0, r2 - v * v)) / r2);
      const double zLit = std::max(0.0, z);
      const double p4 = rising * rising * rising * rising;
      const double angle = std::asin(std::clamp(v / r, -1.0, 1.0));
      profile->frontLight[u] = static_cast<int>(std::floor(64 * zLit * zLit * zLit * zLit)) - 32;
      profile->backLight[u] = static_cast<int>(std::floor(32 * p4 * p4));
      profile->frontShift[u] = (v + r) - r * (kPi - angle + 1);
      // Ahead of the axis the page still lies flat under the roll: its back is the page itself.
      profile->backShift[u] = v >= 0 ? (v + r) - r * (angle + 1) : 0.0;
    }
  }
}

void PageCurl::Begin() {
  clamp_.resize(768);
  for (int i = 0; i < 768; ++i) clamp_[i] = static_cast<std::uint8_t>(std::clamp(i - 256, 0, 255));
}

void PageCurl::End() {
  clamp_ = {};
  profile_ = CurlProfile{};
  entries_ = {};
}

void PageCurl::BuildEntries(double nx, double ny, std::size_t stride) {
  const auto rowBytes = static_cast<std::ptrdiff_t>(stride);
  entries_.resize(static_cast<std::size_t>(profile_.last) + 1);
  for (std::size_t u = 0; u < entries_.size(); ++u) {
    RollEntry& entry = entries_[u];
    entry.frontDx = static_cast<int>(std::lround(profile_.frontShift[u] * nx));
    entry.frontDy = static_cast<int>(std::lround(profile_.frontShift[u] * ny));
    entry.backDx = static_cast<int>(std::lround(profile_.backShift[u] * nx));
    entry.backDy = static_cast<int>(std::lround(profile_.backShift[u] * ny));
    entry.frontLight = profile_.frontLight[u];
    entry.backLight = profile_.backLight[u];
    entry.frontOffset = entry.frontDy * rowBytes + entry.frontDx * 3;
    entry.backOffset = entry.backDy * rowBytes + entry.backDx * 3;
  }
}

void PageCurl::DrawQuarters(const StageView& view, const CurlMotion& outward, bool soft, double p) {
  const int midX = view.width / 2;
  const int midY = view.height / 2;  // rows below midY are the bottom quarters on screen
  const int dx = outward.dx;
  const int dy = outward.dy;
  const int r = outward.radius;
  DrawRect(view, CurlRect{0, 0, midX, midY}, CurlMotion{-dx, -dy, r}, soft, p);
  DrawRect(view, CurlRect{0, midY, midX, view.height}, CurlMotion{-dx, dy, r}, soft, p);
  DrawRect(view, CurlRect{midX, 0, view.width, midY}, CurlMotion{dx, -dy, r}, soft, p);
  DrawRect(view, CurlRect{midX, midY, view.width, view.height}, CurlMotion{dx, dy, r}, soft, p);
}

void PageCurl::DrawRect(const StageView& view, const CurlRect& rect, const CurlMotion& motion,
                        bool soft, double p) {
  const int width = rect.right - rect.left;
  const int height = rect.top - rect.bottom;
  if (width <= 0 || height <= 0) return;
  if (clamp_.size() != 768) Begin();  // a step without begin builds its table on demand

  // The unit direction, with the same horizontal share the table is built for.
  const double a = CurlSlope(motion.dx, motion.dy);
  const double nx = motion.dx < 0 ? -a : a;
  const double ny = (motion.dy < 0 ? -1.0 : 1.0) * std::sqrt(std::max(0.0, 1 - a * a));
  const double r = std::max(StageScaled(motion.radius, view.width, view.height), 1);
  BuildCurlProfile(a, r, soft, &profile_);
  BuildEntries(nx, ny, view.stride);
  const int last = profile_.last;

  // Distances are measured along the direction from the rectangle's near corner (the one the
  // roll leaves from); the fold line reaches the far corner plus the roll's width at p = 1.
  const double nearX = nx >= 0 ? rect.left : rect.right;
  const double nearY = ny >= 0 ? rect.bottom : rect.top;
  const double extent = width * std::abs(nx) + height * std::abs(ny);
  const double fold = p * (extent + 2 * r);
  // Rolling right, the distance behind the fold line shrinks column by column; rolling left it
  // grows. Entry u of a column is u0 - column (right) or u0 + column (left), counted in the rect.
  const bool rightward = nx >= 0;

  const std::uint8_t* clamp = clamp_.data() + 256;
  const RollEntry* entries = entries_.data();
  const auto columnCount = static_cast<unsigned>(width);
  const auto rowCount = static_cast<unsigned>(height);
  const int entryStep = rightward ? -1 : 1;  // how u moves from one column to the next

  for (int row = rect.bottom; row < rect.top; ++row) {
    // Pixel centres: the first column of the rect on this line.
    const double distance = (rect.left + 0.5 - nearX) * nx + (row + 0.5 - nearY) * ny;
    const double columns = std::clamp((fold - distance) / a, -kFarColumns, kFarColumns);
    const long long u0 = static_cast<long long>(std::ceil(columns));

    // Column spans (relative to rect.left) of A ahead, the roll, and B behind.
    long long rollBegin;
    long long rollEnd;
    if (rightward) {
      rollBegin = u0 - last;  // columns before this are more than `last` behind: B
      rollEnd = u0;           // from here on the pixel is on or ahead of the fold line: A
    } else {
      rollBegin = 1 - u0;
      rollEnd = 1 - u0 + last;
    }
    const int begin = static_cast<int>(std::clamp<long long>(rollBegin, 0, width));
    const int end = static_cast<int>(std::clamp<long long>(rollEnd, begin, width));

    std::uint8_t* out = view.OutRow(row) + static_cast<std::size_t>(rect.left) * 3;
    const std::uint8_t* from = view.FromRow(row) + static_cast<std::size_t>(rect.left) * 3;
    const std::uint8_t* to = view.ToRow(row) + static_cast<std::size_t>(rect.left) * 3;
    // Left of the roll lies what it has passed (B) when it rolls right, what it has still to
    // reach (A) when it rolls left.
    const std::uint8_t* leftPart = rightward ? to : from;
    const std::uint8_t* rightPart = rightward ? from : to;
    if (begin > 0) std::memcpy(out, leftPart, static_cast<std::size_t>(begin) * 3);
    if (end < width) {
      std::memcpy(out + static_cast<std::size_t>(end) * 3,
                  rightPart + static_cast<std::size_t>(end) * 3,
                  static_cast<std::size_t>(width - end) * 3);
    }

    // The roll: the front where the page reaches that far, else the back, else (the page has
    // run out: its edge is past) B. Source positions are checked in rect coordinates, so a roll
    // never reads outside its own rectangle.
    if (begin == end) continue;
    const int rowInRect = row - rect.bottom;
    const RollEntry* entry = entries + (u0 + static_cast<long long>(entryStep) * begin);
    for (int i = begin; i < end; ++i, entry += entryStep) {
      std::uint8_t* o = out + static_cast<std::size_t>(i) * 3;
      std::ptrdiff_t offset;
      int light;
      if (static_cast<unsigned>(i + entry->frontDx) < columnCount &&
          static_cast<unsigned>(rowInRect + entry->frontDy) < rowCount) {
        offset = entry->frontOffset;
        light = entry->frontLight;
      } else if (static_cast<unsigned>(i + entry->backDx) < columnCount &&
                 static_cast<unsigned>(rowInRect + entry->backDy) < rowCount) {
        offset = entry->backOffset;
        light = entry->backLight;
      } else {
        const std::uint8_t* b = to + static_cast<std::size_t>(i) * 3;
        o[0] = b[0];
        o[1] = b[1];
        o[2] = b[2];
        continue;
      }
      const std::uint8_t* s = from + static_cast<std::ptrdiff_t>(i) * 3 + offset;
      o[0] = clamp[s[0] + light];
      o[1] = clamp[s[1] + light];
      o[2] = clamp[s[2] + light];
    }
  }
}

int ListedCurl::Run(int command, const EffectParams& params) {
  if (command == kEffectBegin) {
    curl_.Begin();
  } else if (command == kEffectEnd) {
    curl_.End();
    position_ = (position_ + 1) % motions_.size();
  } else if (command == kEffectStep) {
    const StageView view(params);
    curl_.DrawRect(view, CurlRect{0, 0, view.width, view.height}, motions_[position_], soft_,
                   Progress(params));
  }
  return 0;
}

}  // namespace lumafolio::transitions
