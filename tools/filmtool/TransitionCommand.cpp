#include "tools/filmtool/TransitionCommand.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/StageView.h"
#include "core/jpeg/JpegDib.h"
#include "core/show/FitRect.h"
#include "core/show/StagePicture.h"
#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/JpegRewrite.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

constexpr int kStageWidth = 800;
constexpr int kStageHeight = 600;

int ParseEffect(const std::string& effect) {
  int index = -1;
  const char* end = effect.data() + effect.size();
  if (auto [ptr, ec] = std::from_chars(effect.data(), end, index);
      ec == std::errc() && ptr == end) {
    if (index >= 0 && index < kTransitionCount) return index;
    throw std::runtime_error("transition index " + effect + " is outside 0.." +
                             std::to_string(kTransitionCount - 1));
  }
  if (auto named = TransitionFromName(effect)) return *named;
  throw std::runtime_error("unknown transition \"" + effect + "\"");
}

// Holds the seed for the effects' clock while a transition renders: the routines that reseed
// from the clock then draw the same frames on every run.
unsigned renderClock = 1;
std::clock_t RenderClock() { return static_cast<std::clock_t>(renderClock); }

std::string FrameName(int step) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%03d.png", step);
  return name;
}

}  // namespace

BgrPicture DecodePlayerPicture(std::vector<std::uint8_t> data, const std::string& name) {
  BgrPicture picture;
  if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    // What `build` would refuse is refused here in its words; a progressive picture is shown as
    // its baseline rewrite, which is what a film would carry.
    const PlayerPicture checked = PreparePlayerPicture(std::move(data), name);
    std::vector<std::uint8_t> dib;
    std::string reason;
    if (!DecodeJpegToDib(checked.bytes, dib, &reason)) {
      throw std::runtime_error("the player's decoder refuses " + name + ": " + reason);
    }
    const DibLayout layout = DibLayoutFor(checked.width, checked.height);
    picture.width = static_cast<int>(layout.width);
    picture.height = static_cast<int>(layout.height);
    picture.stride = layout.rowSize;
    picture.bytes.assign(dib.begin() + kDibHeaderSize,
                         dib.begin() + kDibHeaderSize + layout.rowSize * layout.height);
    picture.rewritten = checked.rewritten;
    picture.dib = std::move(dib);
    return picture;
  }
  static constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G'};
  if (data.size() < 4 ||
      !std::equal(std::begin(kPngSignature), std::end(kPngSignature), data.begin())) {
    throw std::runtime_error(name + " is neither a JPEG nor a PNG file");
  }
  const RgbImage rgb = ReadPng(name);
  picture.width = rgb.width;
  picture.height = rgb.height;
  picture.stride = transitions::RowStride(rgb.width);
  picture.bytes.assign(picture.stride * static_cast<std::size_t>(rgb.height), 0);
  for (int line = 0; line < rgb.height; ++line) {
    const std::uint8_t* source = rgb.rgb.data() + static_cast<std::size_t>(line) * rgb.width * 3;
    std::uint8_t* target =
        picture.bytes.data() + static_cast<std::size_t>(rgb.height - 1 - line) * picture.stride;
    for (int x = 0; x < rgb.width; ++x) {
      target[x * 3] = source[x * 3 + 2];
      target[x * 3 + 1] = source[x * 3 + 1];
      target[x * 3 + 2] = source[x * 3];
    }
  }
  return picture;
}

std::vector<std::uint8_t> FitToStage(const BgrPicture& picture, int width, int height) {
  StagePicture source;
  source.width = picture.width;
  source.height = picture.height;
  source.bits = picture.bytes;
  StagePicture stage(width, height);
  DrawNearest(source, FitRect({0, 0, picture.width, picture.height}, {0, 0, width, height}), stage);
  return std::move(stage.bits);
}

std::vector<std::uint8_t> LoadStagePicture(const std::string& path, int width, int height) {
  return FitToStage(DecodePlayerPicture(ReadWholeFile(path), path), width, height);
}

RgbImage StageToRgb(const std::uint8_t* bits, int width, int height) {
  RgbImage image{width, height,
                 std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  const std::size_t stride = transitions::RowStride(width);
  for (int line = 0; line < height; ++line) {
    const std::uint8_t* row = bits + static_cast<std::size_t>(height - 1 - line) * stride;
    std::uint8_t* target = image.rgb.data() + static_cast<std::size_t>(line) * width * 3;
    for (int x = 0; x < width; ++x) {
      target[x * 3] = row[x * 3 + 2];
      target[x * 3 + 1] = row[x * 3 + 1];
      target[x * 3 + 2] = row[x * 3];
    }
  }
  return image;
}

RgbImage ContactSheet(const std::vector<RgbImage>& frames, int columns, int shrink) {
  if (frames.empty()) throw std::runtime_error("no frames for a contact sheet");
  constexpr int kGap = 4;
  const int cellWidth = frames[0].width / shrink;
  const int cellHeight = frames[0].height / shrink;
  const int count = static_cast<int>(frames.size());
  columns = std::clamp(columns, 1, count);
  const int rows = (count + columns - 1) / columns;
  RgbImage sheet;
  sheet.width = columns * cellWidth + (columns + 1) * kGap;
  sheet.height = rows * cellHeight + (rows + 1) * kGap;
  sheet.rgb.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 3, 48);
  for (int i = 0; i < count; ++i) {
    const RgbImage& frame = frames[static_cast<std::size_t>(i)];
    const int left = kGap + (i % columns) * (cellWidth + kGap);
    const int top = kGap + (i / columns) * (cellHeight + kGap);
    for (int y = 0; y < cellHeight; ++y) {
      for (int x = 0; x < cellWidth; ++x) {
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int dy = 0; dy < shrink; ++dy) {
            for (int dx = 0; dx < shrink; ++dx) {
              sum += frame.rgb[(static_cast<std::size_t>(y * shrink + dy) * frame.width +
                                static_cast<std::size_t>(x * shrink + dx)) *
                                   3 +
                               c];
            }
          }
          sheet.rgb[(static_cast<std::size_t>(top + y) * sheet.width +
                     static_cast<std::size_t>(left + x)) *
                        3 +
                    c] = static_cast<std::uint8_t>(sum / (shrink * shrink));
        }
      }
    }
  }
  return sheet;
}

void RenderTransition(const TransitionOptions& options, std::ostream& log) {
  const int index = ParseEffect(options.effect);
  if (options.steps < 1 || options.steps > 1000) {
    throw std::runtime_error("--steps must lie in 1..1000");
  }
  if (options.framesDir.empty() && options.sheet.empty()) {
    throw std::runtime_error("nothing to write: pass --frames DIR or --sheet OUT.png");
  }
  std::vector<std::uint8_t> from = LoadStagePicture(options.from, kStageWidth, kStageHeight);
  std::vector<std::uint8_t> to = LoadStagePicture(options.to, kStageWidth, kStageHeight);
  // Some effects leave their first frame unwritten; the player's output then still holds the
  // picture on screen, which is A.
  std::vector<std::uint8_t> out = from;
  if (!options.framesDir.empty()) std::filesystem::create_directories(options.framesDir);

  renderClock = options.seed;
  SetEffectClock(RenderClock);
  EffectSrand(options.seed);
  EffectLibrary library;
  EffectParams params;
  params.fromBits = from.data();
  params.toBits = to.data();
  params.outBits = out.data();
  params.width = kStageWidth;
  params.height = kStageHeight;
  params.lastStep = 100;
  std::vector<RgbImage> frames;
  try {
    library.RunTransitionEffect(index, kEffectBegin, &params);
    params.lastStep = options.steps;
    for (int step = 0; step <= options.steps; ++step) {
      params.step = step;
      library.RunTransitionEffect(index, kEffectStep, &params);
      RgbImage frame = StageToRgb(out.data(), kStageWidth, kStageHeight);
      if (!options.framesDir.empty()) {
        WritePng((std::filesystem::path(options.framesDir) / FrameName(step)).string(), frame);
      }
      if (!options.sheet.empty()) frames.push_back(std::move(frame));
    }
    library.RunTransitionEffect(index, kEffectEnd, nullptr);
  } catch (...) {
    SetEffectClock(nullptr);
    throw;
  }
  SetEffectClock(nullptr);
  if (!options.sheet.empty()) WritePng(options.sheet, ContactSheet(frames, 6, 4));
  log << TransitionName(index) << " (" << index << "): " << options.steps + 1 << " frames";
  if (!options.framesDir.empty()) log << " in " << options.framesDir;
  if (!options.sheet.empty())
    log << (options.framesDir.empty() ? " on " : ", sheet ") << options.sheet;
  log << "\n";
}

}  // namespace lumafolio
