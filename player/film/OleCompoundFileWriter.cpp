#include <objbase.h>
#include <wrl/client.h>

#include <cstdio>

#include "core/film/CompoundTree.h"
#include "player/film/WideText.h"

namespace lumafolio {
namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD kWriteMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE;

bool WriteChildren(IStorage* parent, const CompoundElement& storage, std::string& error) {
  for (const CompoundElement& child : storage.children) {
    if (!IsValidElementName(child.name)) {
      error = "invalid compound-file element name \"" + child.name + "\"";
      return false;
    }
    const std::wstring name = WidenAnsi(child.name);
    if (child.isStorage) {
      ComPtr<IStorage> sub;
      if (FAILED(parent->CreateStorage(name.c_str(), kWriteMode, 0, 0, &sub)) ||
          !WriteChildren(sub.Get(), child, error)) {
        if (error.empty()) error = "cannot create storage \"" + child.name + "\"";
        return false;
      }
    } else {
      ComPtr<IStream> stream;
      ULONG written = 0;
      if (FAILED(parent->CreateStream(name.c_str(), kWriteMode, 0, 0, &stream)) ||
          FAILED(stream->Write(child.bytes.data(), static_cast<ULONG>(child.bytes.size()),
                               &written)) ||
          written != child.bytes.size()) {
        error = "cannot write stream \"" + child.name + "\"";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool WriteCompoundFile(const CompoundElement& root, const std::string& path, std::string& error) {
  error.clear();
  ComPtr<IStorage> storage;
  if (FAILED(StgCreateDocfile(WidenAnsi(path).c_str(), kWriteMode, 0, &storage))) {
    error = "cannot create " + path;
    return false;
  }
  bool ok = WriteChildren(storage.Get(), root, error) && SUCCEEDED(storage->Commit(STGC_DEFAULT));
  storage.Reset();
  if (!ok) {
    if (error.empty()) error = "cannot write " + path;
    std::remove(path.c_str());
  }
  return ok;
}

}  // namespace lumafolio
