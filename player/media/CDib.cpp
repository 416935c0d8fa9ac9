#include "player/media/CDib.h"

#include <cstring>
#include <string>

#include "player/film/WideText.h"
#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

// The application's own message box: the program's name as its title, spelt as the system
// spells it (the ANSI code page may have no letters for it).
void ShowApplicationMessage(const char* text) {
  std::wstring title = WidePath(ProgramPath());
  title = title.substr(title.rfind(L'\\') + 1);  // the whole text when there is no folder
  title = title.substr(0, title.rfind(L'.'));
  MessageBoxW(nullptr, WidenAnsi(text).c_str(), title.c_str(), MB_OK);
}

}  // namespace

CDib::~CDib() {
  if (!memory_) return;
  const HGLOBAL block = GlobalHandle(memory_);
  GlobalUnlock(block);
  GlobalFree(block);
}

bool CDib::AllocateDibMemory() {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size_);
  memory_ = block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
  if (!memory_) {
    if (block) GlobalFree(block);
    ShowApplicationMessage("Unable to allocate DIB memory");
    size_ = 0;
    bitCount_ = 0;
    return false;
  }
  fileHeader_ = reinterpret_cast<BITMAPFILEHEADER*>(memory_);
  infoHeader_ = reinterpret_cast<BITMAPINFOHEADER*>(memory_ + sizeof(BITMAPFILEHEADER));
  bitmapInfo_ = reinterpret_cast<BITMAPINFO*>(memory_ + sizeof(BITMAPFILEHEADER));
  return true;
}

void CDib::SetBits(uint32_t offset, int32_t bitCount) {
  bits_ = memory_ + offset;
  bitCount_ = bitCount;
}

HBITMAP CDib::CreateDeviceBitmap(HDC dc) const {
  if (!memory_ || !bits_) return nullptr;
  return CreateDIBitmap(dc, infoHeader_, CBM_INIT, bits_, bitmapInfo_, DIB_RGB_COLORS);
}

HGLOBAL CDib::CopyPackedDib() const {
  if (!memory_ || size_ < sizeof(BITMAPFILEHEADER)) return nullptr;
  const SIZE_T packedSize = size_ - sizeof(BITMAPFILEHEADER);
  const HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, packedSize);
  if (!block) return nullptr;
  void* packed = GlobalLock(block);
  if (!packed) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(packed, infoHeader_, packedSize);
  GlobalUnlock(block);
  return block;
}

}  // namespace lumafolio
