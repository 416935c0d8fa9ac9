// What the player's worker does to a large photo before it can show it: decode, then fit it to
// the stage. A 24-megapixel photo (6000x4000, quality 90, 4:2:0, made here with libjpeg-turbo
// from a generated scene with grain and fine detail; or the JPEG named by
// LUMAFOLIO_BENCH_JPEG) fitted to a 1920x1080 and a 3840x2160 stage with the averaging filter,
// and to the classic 800x600 stage with nearest samples. Prints each step, the totals, their
// ratio to the classic path and the largest memory a fit allocates.
//
//   scripts/stage-prepare-bench.sh   (a Release build: build/native-release)
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/jpeg/JpegDib.h"
#include "core/show/StageGeometry.h"

// Every allocation of the process counted, to tell how much a fit takes on top of what it
// is given (the benchmark runs on one thread). Not inlined: GCC would pair the malloc and free
// inside them with the callers' new and delete and take them for mismatched.
namespace {
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  liveBytes += malloc_usable_size(p);
  peakBytes = std::max(peakBytes, liveBytes);
  return p;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  liveBytes -= malloc_usable_size(p);
  std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using lumafolio::PictureView;
using lumafolio::StageGeometry;
using lumafolio::StagePicture;

// A scene of smooth light, large shapes with sharp edges, fine diagonal texture and grain,
// which a camera's JPEG of a landscape resembles in what the decoder has to do.
std::vector<std::uint8_t> PhotoLike(int width, int height) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  std::uint32_t noise = 12345;
  std::size_t at = 0;
  for (int y = 0; y < height; ++y) {
    const double fy = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
      const double fx = static_cast<double>(x) / width;
      noise = noise * 1664525u + 1013904223u;
      const int grain = static_cast<int>(noise >> 27) - 16;
      const int texture = ((x * 3 + y * 5) % 7) * 4 + ((x ^ y) & 8);
      const bool shape = ((x / 731) + (y / 517)) % 3 == 0;
      const double light = 90 + 80 * fx - 60 * fy;
      const int base = static_cast<int>(light) + (shape ? 50 : 0) + texture + grain;
      const int values[3] = {base + static_cast<int>(40 * fy), base,
                             base - static_cast<int>(50 * fy)};
      for (const int v : values) rgb[at++] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    }
  }
  return rgb;
}

struct Photo {
  std::vector<std::uint8_t> jpeg;
  std::vector<std::uint8_t> dib;  // decoded once, for the fits alone
  PictureView view;
};

const Photo& ThePhoto() {
  static const Photo photo = [] {
    Photo p;
    if (const char* path = std::getenv("LUMAFOLIO_BENCH_JPEG")) {
      std::ifstream file(path, std::ios::binary);
      p.jpeg.assign(std::istreambuf_iterator<char>(file), {});
    } else {
      constexpr int kWidth = 6000, kHeight = 4000;
      const std::vector<std::uint8_t> rgb = PhotoLike(kWidth, kHeight);
      tjhandle tj = tjInitCompress();
      unsigned char* out = nullptr;
      unsigned long size = 0;
      if (tjCompress2(tj, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size, TJSAMP_420, 90,
                      0) != 0) {
        std::fprintf(stderr, "compressing the photo: %s\n", tjGetErrorStr2(tj));
        std::exit(1);
      }
      p.jpeg.assign(out, out + size);
      tjFree(out);
      tjDestroy(tj);
    }
    std::string reason;
    if (!lumafolio::DecodeJpegToDib(p.jpeg, p.dib, &reason)) {
      std::fprintf(stderr, "decoding the photo: %s\n", reason.c_str());
      std::exit(1);
    }
    lumafolio::JpegDecoder decoder(p.jpeg);
    decoder.ParseMarkers();
    const auto layout = lumafolio::DibLayoutFor(decoder.Width(), decoder.Height());
    p.view = {decoder.Width(), decoder.Height(), layout.rowSize,
              p.dib.data() + lumafolio::kDibHeaderSize};
    return p;
  }();
  return photo;
}

struct Stage {
  const char* name;
  int width, height;
};
constexpr Stage kStages[] = {
    {"800x600", 800, 600}, {"1920x1080", 1920, 1080}, {"3840x2160", 3840, 2160}};

void Decode(benchmark::State& state) {
  const Photo& photo = ThePhoto();
  std::vector<std::uint8_t> dib;
  for (auto _ : state) {
    if (!lumafolio::DecodeJpegToDib(photo.jpeg, dib)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(dib.data());
  }
}

// Fits the decoded photo to `stage`; with `decode`, decodes it first as the worker does.
void Prepare(benchmark::State& state, const Stage* stage, bool decode) {
  const Photo& photo = ThePhoto();
  const StageGeometry geometry(stage->width, stage->height);
  const lumafolio::Rect place = geometry.PictureRect(photo.view.width, photo.view.height);
  StagePicture target(stage->width, stage->height);
  std::vector<std::uint8_t> dib;
  for (auto _ : state) {
    PictureView view = photo.view;
    if (decode) {
      if (!lumafolio::DecodeJpegToDib(photo.jpeg, dib)) state.SkipWithError("refused");
      view.bits = dib.data() + lumafolio::kDibHeaderSize;
    }
    geometry.DrawPicture(view, place, target.Span());
    benchmark::DoNotOptimize(target.bits.data());
  }
  state.SetLabel(std::to_string(place.Width()) + "x" + std::to_string(place.Height()));
}

// Seconds per iteration, on the clock and of the process's time (the machine may be shared).
struct Times {
  double real = 0, cpu = 0;
};
std::map<std::string, Times> seconds;

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions, the mean of them.
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
      seconds[run.run_name.function_name] = {run.GetAdjustedRealTime() / 1e3,  // in ms
                                             run.GetAdjustedCPUTime() / 1e3};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// The most a fit of the decoded photo to `stage` allocates at once.
double FitPeakMegabytes(const Stage& stage) {
  const Photo& photo = ThePhoto();
  const StageGeometry geometry(stage.width, stage.height);
  StagePicture target(stage.width, stage.height);
  const std::size_t before = liveBytes;
  peakBytes = liveBytes;
  geometry.DrawPicture(photo.view, geometry.PictureRect(photo.view.width, photo.view.height),
                       target.Span());
  return static_cast<double>(peakBytes - before) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("decode", Decode)->Unit(benchmark::kMillisecond);
  for (const Stage& stage : kStages) {
    benchmark::RegisterBenchmark((std::string("fit/") + stage.name).c_str(), Prepare, &stage, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("decode+fit/") + stage.name).c_str(), Prepare, &stage,
                                 true)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  ThePhoto();  // made and decoded before any timing
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const Photo& photo = ThePhoto();
  const auto ms = [](const Times& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f (%.1f)", t.real * 1e3, t.cpu * 1e3);
    return std::string(text);
  };
  std::printf("\nphoto %dx%d, %.1f MB of JPEG; decode alone %s ms (cpu in brackets)\n",
              photo.view.width, photo.view.height, photo.jpeg.size() / 1e6,
              ms(seconds["decode"]).c_str());
  std::printf("%-10s %-10s %14s %16s %11s %12s\n", "stage", "picture", "fit ms", "decode+fit ms",
              "vs classic", "fit peak MB");
  const Times classic = seconds["decode+fit/800x600"];
  for (const Stage& stage : kStages) {
    const StageGeometry geometry(stage.width, stage.height);
    const lumafolio::Rect place = geometry.PictureRect(photo.view.width, photo.view.height);
    const Times fit = seconds[std::string("fit/") + stage.name];
    const Times total = seconds[std::string("decode+fit/") + stage.name];
    std::printf("%-10s %4dx%-5d %14s %16s %5.2f (%.2f) %12.2f\n", stage.name, place.Width(),
                place.Height(), ms(fit).c_str(), ms(total).c_str(),
                classic.real > 0 ? total.real / classic.real : 0.0,
                classic.cpu > 0 ? total.cpu / classic.cpu : 0.0, FitPeakMegabytes(stage));
  }
  return 0;
}
