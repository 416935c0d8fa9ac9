#include "DcPicture.h"

#include <algorithm>

#include "core/jpeg/JpegMarkers.h"

namespace lumafolio::test {

int DcPicture::McusPerRow() const {
  int hMax = 1;
  if (components.size() > 1) {
    for (const auto& c : components) hMax = std::max(hMax, c.h);
  }
  return (width + 8 * hMax - 1) / (8 * hMax);
}

int DcPicture::McuRows() const {
  int vMax = 1;
  if (components.size() > 1) {
    for (const auto& c : components) vMax = std::max(vMax, c.v);
  }
  return (height + 8 * vMax - 1) / (8 * vMax);
}

std::vector<uint8_t> DcPicture::Encode() const {
  JpegStreamWriter w;
  w.Soi();
  w.Dqt(0, UnitQuant());
  w.Dht(0, 0, dcTable);
  w.Dht(1, 0, acTable);
  w.Sof0(width, height, components);
  if (restartInterval) w.Dri(restartInterval);
  std::vector<JpegStreamWriter::ScanComponent> scan;
  for (const auto& c : components) scan.push_back({c.id, 0, 0});
  w.Sos(scan);
  std::vector<int> predictors(components.size(), 0);
  const int mcus = McusPerRow() * McuRows();
  int restarts = 0;
  for (int mcu = 0; mcu < mcus; ++mcu) {
    const int row = mcu / McusPerRow();
    const int column = mcu % McusPerRow();
    for (std::size_t c = 0; c < components.size(); ++c) {
      // A lone component is coded one block per MCU whatever its sampling factors.
      const int h = components.size() == 1 ? 1 : components[c].h;
      const int v = components.size() == 1 ? 1 : components[c].v;
      for (int by = 0; by < v; ++by) {
        for (int bx = 0; bx < h; ++bx) {
          w.DcBlock(dc(static_cast<int>(c), column * h + bx, row * v + by), predictors[c], dcTable,
                    acTable);
        }
      }
    }
    if (restartInterval && (mcu + 1) % restartInterval == 0 && mcu + 1 < mcus) {
      w.FlushBits();
      w.Marker(jpeg_marker::kRst0 + restartNumber(restarts++));
      std::fill(predictors.begin(), predictors.end(), 0);
    }
  }
  w.FlushBits();
  w.Eoi();
  return w.Bytes();
}

}  // namespace lumafolio::test
