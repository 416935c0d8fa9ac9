// Writes the fuzzer's seed corpus: small pictures of every layout from libjpeg-turbo's
// compressor (all subsamplings, grey, restart intervals, standard and optimised tables).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ReferenceCodec.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jpeg_fuzz_seeds FOLDER\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  using lumafolio::test::Pattern;
  unsigned seed = 1;
  for (auto [w, h] : {std::pair{8, 8}, std::pair{17, 9}, std::pair{40, 33}, std::pair{64, 48}}) {
    for (int s = 0; s < 4; ++s) {
      for (Pattern pattern : {Pattern::kEdges, Pattern::kText, Pattern::kPhotoLike}) {
        lumafolio::test::CorpusPicture p;
        p.width = w;
        p.height = h;
        p.lumaH = s == 1 || s == 2 ? 2 : 1;
        p.lumaV = s == 2 ? 2 : 1;
        p.components = s == 3 ? 1 : 3;
        p.pattern = pattern;
        p.quality = 50 + static_cast<int>(seed * 13 % 51);
        p.restartInterval = seed % 3 == 0 ? 0 : static_cast<int>(seed % 4);
        p.optimizeCoding = seed % 2;
        p.seed = seed++;
        const auto jpeg = lumafolio::test::CompressPicture(p);
        std::ofstream(std::filesystem::path(argv[1]) / (p.Name() + ".jpg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
      }
    }
  }
  return 0;
}
