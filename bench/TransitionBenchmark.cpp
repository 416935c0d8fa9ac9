// Every transition through a full 100-step run on stages of several sizes (the classic
// 800 x 600, full HD and 4K by default), each step timed next to a baseline pass that reads A and
// B and writes O once (their byte average: the memory-bandwidth floor of any effect). Prints per
// effect and size the median step in milliseconds and its ratio to the median baseline measured
// in the same run; then per size the median and worst effect, the slowest single step, and the
// slowest begin (tables, height maps, random offsets). A step must fit well inside one 60 Hz
// refresh (16.7 ms) on the stage the film plays on.
//
//   cmake --preset native-release && cmake --build --preset native-release --target
//   transition_bench && build/native-release/bench/transition_bench [WxH ...]
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
constexpr int kLastStep = 100;
constexpr int kBeginRuns = 5;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
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

struct Size {
  int width;
  int height;
};

// Pictures with detail everywhere, so no effect meets a uniform shortcut.
std::vector<std::uint8_t> Picture(Size size, int seed) {
  std::vector<std::uint8_t> bytes(lumafolio::transitions::RowStride(size.width) *
                                  static_cast<std::size_t>(size.height));
  std::uint32_t state = static_cast<std::uint32_t>(seed) * 2654435761u + 1;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] =
        static_cast<std::uint8_t>((i / 3 % static_cast<std::size_t>(size.width)) + (state >> 28));
  }
  return bytes;
}

// One size's pictures and output.
struct Stage {
  explicit Stage(Size s) : size(s), from(Picture(s, 1)), to(Picture(s, 2)), out(from.size()) {}
  Size size;
  std::vector<std::uint8_t> from;
  std::vector<std::uint8_t> to;
  std::vector<std::uint8_t> out;
};

struct Timing {
  double stepMs;     // median step
  double slowestMs;  // slowest step of the run
  int slowestStep;   // and which one it was
  double baseMs;     // median baseline pass, measured alongside
  double beginMs;    // median begin
};

Timing TimeTransition(lumafolio::EffectLibrary& library, int index, Stage& stage, int lastStep) {
  using namespace lumafolio;
  EffectParams params;
  params.fromBits = stage.from.data();
  params.toBits = stage.to.data();
  params.outBits = stage.out.data();
  params.width = stage.size.width;
  params.height = stage.size.height;
  params.lastStep = lastStep;
  // Begin's time is the median of a few begin-end cycles: one alone is at the mercy of
  // whatever else the machine does in those milliseconds.
  std::vector<double> begins;
  for (int run = 0; run < kBeginRuns; ++run) {
    if (run > 0) library.RunTransitionEffect(index, kEffectEnd, nullptr);
    const auto beginStart = Clock::now();
    library.RunTransitionEffect(index, kEffectBegin, &params);
    begins.push_back(Milliseconds(Clock::now() - beginStart));
  }
  std::vector<double> steps;
  std::vector<double> baselines;
  for (int step = 0; step <= lastStep; ++step) {
    params.step = step;
    const auto t0 = Clock::now();
    library.RunTransitionEffect(index, kEffectStep, &params);
    const auto t1 = Clock::now();
    BaselinePass(stage.from.data(), stage.to.data(), stage.out.data(), stage.out.size());
    const auto t2 = Clock::now();
    steps.push_back(Milliseconds(t1 - t0));
    baselines.push_back(Milliseconds(t2 - t1));
  }
  library.RunTransitionEffect(index, kEffectEnd, nullptr);
  const auto slowest = std::max_element(steps.begin(), steps.end());
  return {Median(steps), *slowest, static_cast<int>(slowest - steps.begin()), Median(baselines),
          Median(begins)};
}

bool ParseSize(const char* text, Size* size) {
  char x = 0;
  return std::sscanf(text, "%d%c%d", &size->width, &x, &size->height) == 3 && x == 'x' &&
         size->width > 0 && size->height > 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lumafolio;
  std::vector<Size> sizes;
  for (int i = 1; i < argc; ++i) {
    Size size{};
    if (!ParseSize(argv[i], &size)) {
      std::fprintf(stderr,
                   "usage: transition_bench [WxH ...] (default 800x600 1920x1080 3840x2160)\n");
      return 2;
    }
    sizes.push_back(size);
  }
  if (sizes.empty()) sizes = {{800, 600}, {1920, 1080}, {3840, 2160}};
  std::vector<Stage> stages(sizes.begin(), sizes.end());

  std::printf("%-18s %5s", "ms per step", "index");
  for (const Size& size : sizes) {
    char heading[32];
    std::snprintf(heading, sizeof heading, "%dx%d", size.width, size.height);
    std::printf(" %11s %5s", heading, "ratio");
  }
  std::printf("\n");

  EffectLibrary library;
  const std::size_t count = sizes.size();
  std::vector<std::vector<double>> medians(count), ratios(count);
  std::vector<double> slowestStep(count, 0), slowestBegin(count, 0), baselines(count, 0);
  std::vector<int> worst(count, 0);
  std::vector<int> slowestIndex(count, 0), slowestAt(count, 0);
  for (int index = 0; index < kRandomTransitionIndex; ++index) {
    std::printf("%-18s %5d", TransitionName(index), index);
    for (std::size_t s = 0; s < count; ++s) {
      const Timing t = TimeTransition(library, index, stages[s], kLastStep);
      if (medians[s].empty() ||
          t.stepMs > *std::max_element(medians[s].begin(), medians[s].end())) {
        worst[s] = index;
      }
      medians[s].push_back(t.stepMs);
      ratios[s].push_back(t.stepMs / t.baseMs);
      if (t.slowestMs > slowestStep[s]) {
        slowestStep[s] = t.slowestMs;
        slowestIndex[s] = index;
        slowestAt[s] = t.slowestStep;
      }
      slowestBegin[s] = std::max(slowestBegin[s], t.beginMs);
      baselines[s] += t.baseMs / kRandomTransitionIndex;
      std::printf(" %11.2f %5.1f", t.stepMs, t.stepMs / t.baseMs);
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  for (std::size_t s = 0; s < count; ++s) {
    std::printf(
        "%dx%d: median %.2f ms, worst %.2f ms (%s), slowest single step %.2f ms (%s, step %d), "
        "baseline %.2f ms; "
        "ratio median %.1f, largest %.1f; slowest begin %.1f ms\n",
        sizes[s].width, sizes[s].height, Median(medians[s]),
        *std::max_element(medians[s].begin(), medians[s].end()), TransitionName(worst[s]),
        slowestStep[s], TransitionName(slowestIndex[s]), slowestAt[s], baselines[s],
        Median(ratios[s]), *std::max_element(ratios[s].begin(), ratios[s].end()), slowestBegin[s]);
  }
  return 0;
}
