// Peak memory of decoding one picture with the player's SlideImage, as Windows counts it: the
// process's peak working set and its PeakPagefileUsage (committed private bytes) before and
// after Decode, beside the size of the bitmap the picture becomes. One picture a run, since
// the peaks only grow. Under wine only the working set's peak is a peak: PeakPagefileUsage
// follows the current commit down when memory is freed, so there it shows what the decoded
// picture keeps rather than what its decoding needed.
//
//   slide_memory PICTURE.jpg   (scripts/slide-memory.sh makes a 4000x3000 and an 8192x8192
//                               picture and runs it on each under wine)
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include <cstdio>

#include "core/jpeg/JpegDib.h"
#include "player/media/SlideImage.h"

namespace {

double Megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

PROCESS_MEMORY_COUNTERS Counters() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: slide_memory PICTURE.jpg\n");
    return 2;
  }
  lumafolio::SlideImage image(argv[1]);
  const PROCESS_MEMORY_COUNTERS before = Counters();
  if (image.Decode("0") != 1) {
    std::fprintf(stderr, "%s: not decoded\n", argv[1]);
    return 1;
  }
  const PROCESS_MEMORY_COUNTERS after = Counters();
  const uint32_t bitmap = lumafolio::DibLayoutFor(image.Width(), image.Height()).totalSize;
  std::printf(
      "%dx%d: bitmap %.1f MB; peak working set %.1f MB (+%.1f MB in Decode); "
      "PeakPagefileUsage %.1f MB (+%.1f MB)\n",
      image.Width(), image.Height(), Megabytes(bitmap), Megabytes(after.PeakWorkingSetSize),
      Megabytes(after.PeakWorkingSetSize - before.PeakWorkingSetSize),
      Megabytes(after.PeakPagefileUsage),
      Megabytes(after.PeakPagefileUsage - before.PeakPagefileUsage));
  image.Release();
  image.Close();
  return 0;
}
