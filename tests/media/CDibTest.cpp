#include <gtest/gtest.h>

#include <cstring>

#include "player/media/CDib.h"

namespace lumafolio {
namespace {

// A 3x2 picture, 24 bits, rows padded to 12 bytes, written as the JPEG conversion writes one.
void FillThreeByTwo(CDib& dib) {
  const uint32_t offBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  dib.SetSize(offBits + 2 * 12);
  ASSERT_TRUE(dib.AllocateDibMemory());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = dib.Size();
  file.bfOffBits = offBits;
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = 3;
  info.biHeight = 2;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::memcpy(dib.Memory(), &file, sizeof file);
  std::memcpy(dib.Memory() + sizeof file, &info, sizeof info);
  uint8_t* rows = dib.Memory() + offBits;
  for (int i = 0; i < 24; ++i) rows[i] = static_cast<uint8_t>(10 * i);
  dib.SetBits(offBits, 24);
}

TEST(CDib, EmptyUntilAllocated) {
  CDib dib;
  EXPECT_EQ(dib.Memory(), nullptr);
  EXPECT_EQ(dib.Size(), 0u);
  EXPECT_EQ(dib.CreateDeviceBitmap(nullptr), nullptr);
  EXPECT_EQ(dib.CopyPackedDib(), nullptr);
}  // and is destroyed without freeing anything

TEST(CDib, PackedCopyStartsAtTheInfoHeader) {
  CDib dib;
  FillThreeByTwo(dib);
  EXPECT_EQ(dib.InfoHeader()->biWidth, 3);
  const HGLOBAL packed = dib.CopyPackedDib();
  ASSERT_NE(packed, nullptr);
  EXPECT_EQ(GlobalSize(packed), dib.Size() - 14);
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(packed));
  uint32_t headerSize = 0;
  std::memcpy(&headerSize, bytes, 4);
  EXPECT_EQ(headerSize, 40u);
  EXPECT_EQ(std::memcmp(bytes + 40, dib.Bits(), 24), 0);  // pixels right after the header
  GlobalUnlock(packed);
  GlobalFree(packed);
}

TEST(CDib, DeviceBitmapHasThePicturesPixels) {
  CDib dib;
  FillThreeByTwo(dib);
  const HDC screen = GetDC(nullptr);
  const HBITMAP bitmap = dib.CreateDeviceBitmap(screen);
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 3);
  EXPECT_EQ(info.bmHeight, 2);
  // Read the pixels back as the same 24-bit bottom-up rows.
  BITMAPINFO format{};
  format.bmiHeader = *dib.InfoHeader();
  uint8_t rows[24] = {};
  EXPECT_EQ(GetDIBits(screen, bitmap, 0, 2, rows, &format, DIB_RGB_COLORS), 2);
  for (int row = 0; row < 2; ++row) {  // the 3 padding bytes of a row carry nothing
    EXPECT_EQ(std::memcmp(rows + 12 * row, dib.Bits() + 12 * row, 9), 0) << row;
  }
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace lumafolio
