#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// Row spans of angular sectors about the picture's centre, shared by the clock and the fan.
// A sector is cut row by row into pixel spans from the tangents of its two bounding rays, so a
// step costs a few divisions per row and plain copies per pixel. Spans are decided on pixel
// centres with half-open tests on the rays, so two sectors that share a ray never both take a
// pixel and never both leave one out: quarters drawn one after another meet without a seam.
namespace lumafolio::transitions::sectors {

// Degrees to radians as the transitions have always converted them (slightly above pi / 180).
inline constexpr double kRadiansPerDegree = 0.017453333333333335;

// A direction from the centre, x to the right and y upward as seen on screen; not normalised.
struct Ray {
  double x;
  double y;
};

// The ray `degrees` clockwise from twelve o'clock. It is built from the whole quarter and the
// tangent of the angle inside it, so the four axes are exact (no cos(90) = 6e-17 residue that
// would let a whole row leak across an axis).
inline Ray ClockwiseRay(int degrees) {
  const int d = ((degrees % 360) + 360) % 360;
  const double t = std::tan((d % 90) * kRadiansPerDegree);
  switch (d / 90) {
    case 0:
      return {t, 1.0};  // twelve towards three
    case 1:
      return {1.0, -t};  // three towards six
    case 2:
      return {-t, -1.0};  // six towards nine
    default:
      return {-1.0, t};  // nine towards twelve
  }
}

// A run of columns [first, end) of one row.
struct Span {
  int first;
  int end;
};

// The columns of a row whose pixel centres lie clockwise of `ray` or on it. The row is `dy`
// above the centre (pixel centre minus centre); the centre's column coordinate is `cx`. The
// answer is a half-row: [first, width) or [0, end), or all or nothing when the ray runs along
// the row.
inline Span ClockwiseOf(const Ray& ray, double dy, double cx, int width) {
  // A point (dx, dy) is clockwise of the ray when ray.x * dy - ray.y * dx <= 0.
  if (ray.y == 0.0) {
    return ray.x * dy <= 0.0 ? Span{0, width} : Span{0, 0};
  }
  // Boundary column position (pixel centre x + 0.5 = cx + v), kept inside a safe range before
  // it becomes an integer.
  const double v = std::clamp(cx + ray.x * dy / ray.y - 0.5, -1.0, width + 1.0);
  if (ray.y > 0.0) {
    // dx >= v: the first column whose centre is at or right of the crossing.
    return Span{std::clamp(static_cast<int>(std::ceil(v)), 0, width), width};
  }
  // dx <= v: every column up to the crossing.
  return Span{0, std::clamp(static_cast<int>(std::floor(v)) + 1, 0, width)};
}

// The complement of a half-row from ClockwiseOf.
inline Span Complement(const Span& half, int width) {
  if (half.first >= half.end) return Span{0, width};
  if (half.first == 0 && half.end == width) return Span{0, 0};
  return half.first == 0 ? Span{half.end, width} : Span{0, half.first};
}

// The columns of a row inside the wedge swept clockwise from `from` to `to` (less than 180
// degrees apart): clockwise of `from` or on it, and strictly counter-clockwise of `to`.
inline Span WedgeRow(const Ray& from, const Ray& to, double dy, double cx, int width) {
  const Span a = ClockwiseOf(from, dy, cx, width);
  const Span b = Complement(ClockwiseOf(to, dy, cx, width), width);
  const int first = std::max(a.first, b.first);
  const int end = std::min(a.end, b.end);
  return first < end ? Span{first, end} : Span{0, 0};
}

// A sector swept clockwise from `fromDegrees` through `widthDegrees` (0 to 360), as wedges of at
// most 90 degrees appended to `from` and `to`; a wedge boundary falls on every whole quarter
// counted from `fromDegrees`. Returns the new number of wedges.
inline int AddClockwiseSector(int fromDegrees, int widthDegrees, Ray* from, Ray* to, int count) {
  for (int done = 0; done < widthDegrees; done += 90) {
    const int end = std::min(done + 90, widthDegrees);
    from[count] = ClockwiseRay(fromDegrees + done);
    to[count] = ClockwiseRay(fromDegrees + end);
    ++count;
  }
  return count;
}

// Writes one row of the output: `picked` in the spans (overlaps are taken once), `rest`
// elsewhere. Sorts the spans in place.
inline void ComposeRow(std::uint8_t* out, const std::uint8_t* rest, const std::uint8_t* picked,
                       int width, Span* spans, int count) {
  // A handful of spans at most: insertion sort (std::sort's unrolled paths also trip g++'s
  // array-bounds warning on small fixed arrays).
  for (int i = 1; i < count; ++i) {
    const Span span = spans[i];
    int j = i;
    for (; j > 0 && spans[j - 1].first > span.first; --j) spans[j] = spans[j - 1];
    spans[j] = span;
  }
  int cursor = 0;
  for (int i = 0; i < count; ++i) {
    const int first = std::max(spans[i].first, cursor);
    const int end = spans[i].end;
    if (first >= end) continue;
    std::memcpy(out + cursor * 3, rest + cursor * 3, static_cast<std::size_t>(first - cursor) * 3);
    std::memcpy(out + first * 3, picked + first * 3, static_cast<std::size_t>(end - first) * 3);
    cursor = end;
  }
  std::memcpy(out + cursor * 3, rest + cursor * 3, static_cast<std::size_t>(width - cursor) * 3);
}

}  // namespace lumafolio::transitions::sectors
