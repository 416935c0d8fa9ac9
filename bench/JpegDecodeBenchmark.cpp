// Decode + conversion to the bottom-up BGR bitmap, ours against libjpeg-turbo's fastest decode
// (TurboJPEG, fast IDCT, fast upsampling, BGR bottom-up, one thread) of the same files, in
// memory. Prints megapixels per second for both and our time over theirs.
//
//   cmake --preset native-release && cmake --build --preset native-release --target jpeg_bench
//   build/native-release/bench/jpeg_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ReferenceCodec.h"
#include "core/jpeg/JpegDib.h"

namespace {

using lumafolio::test::CorpusPicture;

struct Picture {
  std::string name;
  std::vector<uint8_t> jpeg;
  int width, height;
};

const std::vector<Picture>& Pictures() {
  static const std::vector<Picture> pictures = [] {
    std::vector<Picture> result;
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{4000, 3000}}) {
      for (int h2 : {2, 1}) {
        CorpusPicture p;
        p.width = w;
        p.height = h;
        p.lumaH = p.lumaV = h2;
        p.pattern = lumafolio::test::Pattern::kPhotoLike;
        p.quality = 90;
        result.push_back({std::to_string(w) + "x" + std::to_string(h) + (h2 == 2 ? "_420" : "_444"),
                          lumafolio::test::CompressPicture(p), w, h});
      }
    }
    return result;
  }();
  return pictures;
}

std::map<std::string, double>& Seconds(bool ours) {
  static std::map<std::string, double> times[2];
  return times[ours];
}

void Ours(benchmark::State& state, const Picture* picture) {
  std::vector<uint8_t> dib;
  for (auto _ : state) {
    if (!lumafolio::DecodeJpegToDib(picture->jpeg, dib)) state.SkipWithError("refused");
    benchmark::DoNotOptimize(dib.data());
  }
  state.counters["MP/s"] = benchmark::Counter(double(picture->width) * picture->height / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void Turbo(benchmark::State& state, const Picture* picture) {
  lumafolio::test::ReferenceImage image;
  for (auto _ : state) {
    if (!lumafolio::test::DecodeWithTurbo(picture->jpeg, false, image))
      state.SkipWithError("refused");
    benchmark::DoNotOptimize(image.bgr.data());
  }
  state.counters["MP/s"] = benchmark::Counter(double(picture->width) * picture->height / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

// Collects the per-iteration times to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.benchmark_name();
      const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      const bool ours = name.rfind("ours/", 0) == 0;
      Seconds(ours)[name.substr(name.find('/') + 1)] = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  for (const Picture& picture : Pictures()) {
    benchmark::RegisterBenchmark(("ours/" + picture.name).c_str(), Ours, &picture)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("turbo/" + picture.name).c_str(), Turbo, &picture)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-16s %10s %10s %8s\n", "picture", "ours MP/s", "turbo MP/s", "ratio");
  for (const Picture& picture : Pictures()) {
    const double ours = Seconds(true)[picture.name];
    const double turbo = Seconds(false)[picture.name];
    if (ours <= 0 || turbo <= 0) continue;
    const double mp = double(picture.width) * picture.height / 1e6;
    std::printf("%-16s %10.1f %10.1f %8.2f  (our time / theirs; target <= 1.25)\n",
                picture.name.c_str(), mp / ours, mp / turbo, ours / turbo);
  }
  // Peak memory of one 4000x3000 decode, in a fresh measurement: the process's high-water mark
  // after decoding only that picture is dominated by its planes and bitmap.
  for (const Picture& picture : Pictures()) {
    if (picture.width != 4000 || picture.name.find("444") == std::string::npos) continue;
    lumafolio::JpegDecoder decoder(picture.jpeg);
    decoder.ParseMarkers();
    std::size_t planes = 0;
    for (const auto& c : decoder.Components()) planes += c.plane.size();
    const auto layout = lumafolio::DibLayoutFor(decoder.Width(), decoder.Height());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s: planes %.1f MB + bitmap %.1f MB = %.1f MB held; process peak RSS %.1f MB\n",
                picture.name.c_str(), planes / 1e6, layout.totalSize / 1e6,
                (planes + layout.totalSize) / 1e6, usage.ru_maxrss / 1e3);
  }
  return 0;
}
