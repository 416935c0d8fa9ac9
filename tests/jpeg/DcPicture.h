#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "JpegStreamWriter.h"

namespace lumafolio::test {

// A picture whose blocks hold DC values only, so that every decoded sample is known exactly:
// block (bx, by) of component c decodes to DcOnlySample(dc(c, bx, by)) in all its 64 samples.
struct DcPicture {
  int width = 16;
  int height = 16;
  std::vector<JpegStreamWriter::FrameComponent> components = {{1, 1, 1, 0}};
  std::function<int(int component, int bx, int by)> dc = [](int, int, int) { return 0; };
  int restartInterval = 0;
  // The number m of the n-th restart marker (default: n mod 8).
  std::function<int(int n)> restartNumber = [](int n) { return n % 8; };
  HuffmanTable dcTable = FlatDcTable();
  HuffmanTable acTable = FlatAcTable();

  // SOI, DQT, DHT, SOF0, optional DRI, SOS, the scan, EOI.
  std::vector<uint8_t> Encode() const;
  // The frame's MCU grid, as the decoder must compute it.
  int McusPerRow() const;
  int McuRows() const;
};

}  // namespace lumafolio::test
