// Every transition through a full 100-step run on the 800 x 600 stage, each step timed next to
// a baseline pass that reads A and B and writes O once (their byte average: the memory-bandwidth
// floor of any effect). Prints per effect the median step, the median baseline measured in the
// same run, their ratio, and the median time of begin (tables, height maps, random offsets).
//
//   cmake --preset native-release && cmake --build --preset native-release --target
//   transition_bench build/native-release/bench/transition_bench
#include <emmintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/effects/EffectLibrary.h"
#include "core/effects/drawing/StageView.h"
#include "tools/filmtool/EffectNames.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kLastStep = 100;
constexpr int kBeginRuns = 5;

double Microseconds(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BaselinePass(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* o, std::size_t n) {
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i), _mm_avg_epu8(x, y));
  }
  for (; i < n; ++i) o[i] = static_cast<std::uint8_t>((a[i] + b[i] + 1) / 2);
}

// Pictures with detail everywhere, so no effect meets a uniform shortcut.
std::vector<std::uint8_t> Picture(int seed) {
  std::vector<std::uint8_t> bytes(lumafolio::transitions::RowStride(kWidth) * kHeight);
  std::uint32_t state = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<std::uint8_t>((i / 3 % kWidth) + (state >> 28));
  }
  return bytes;
}

}  // namespace

int main() {
  using namespace lumafolio;
  const std::vector<std::uint8_t> from = Picture(1);
  const std::vector<std::uint8_t> to = Picture(2);
  std::vector<std::uint8_t> out(from.size());

  EffectLibrary library;
  std::printf("%-18s %5s %10s %10s %7s %9s\n", "effect", "index", "step us", "base us", "ratio",
              "begin ms");
  std::vector<double> ratios;
  double worstBegin = 0;
  for (int index = 0; index < kRandomTransitionIndex; ++index) {
    EffectParams params;
    params.fromBits = from.data();
    params.toBits = to.data();
    params.outBits = out.data();
    params.width = kWidth;
    params.height = kHeight;
    params.lastStep = kLastStep;
    // Begin's time is the median of a few begin-end cycles: one alone is at the mercy of
    // whatever else the machine does in those milliseconds.
    std::vector<double> begins;
    for (int run = 0; run < kBeginRuns; ++run) {
      if (run > 0) library.RunTransitionEffect(index, kEffectEnd, nullptr);
      const auto beginStart = Clock::now();
      library.RunTransitionEffect(index, kEffectBegin, &params);
      begins.push_back(Microseconds(Clock::now() - beginStart) / 1000);
    }
    const double beginMs = Median(begins);
    std::vector<double> steps;
    std::vector<double> baselines;
    for (int step = 0; step <= kLastStep; ++step) {
      params.step = step;
      const auto t0 = Clock::now();
      library.RunTransitionEffect(index, kEffectStep, &params);
      const auto t1 = Clock::now();
      BaselinePass(from.data(), to.data(), out.data(), out.size());
      const auto t2 = Clock::now();
      steps.push_back(Microseconds(t1 - t0));
      baselines.push_back(Microseconds(t2 - t1));
    }
    library.RunTransitionEffect(index, kEffectEnd, nullptr);
    const double step = Median(steps);
    const double base = Median(baselines);
    ratios.push_back(step / base);
    worstBegin = std::max(worstBegin, beginMs);
    std::printf("%-18s %5d %10.1f %10.1f %7.2f %9.2f\n", TransitionName(index), index, step, base,
                step / base, beginMs);
  }
  std::printf("median ratio %.2f, largest ratio %.2f, slowest begin %.2f ms\n", Median(ratios),
              *std::max_element(ratios.begin(), ratios.end()), worstBegin);
  return 0;
}
