#include "player/film/OleFilmStorage.h"

#include <objbase.h>
#include <wrl/client.h>

#include "core/payload/Utf8Path.h"
#include "player/film/WideText.h"

namespace lumafolio {
namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD kReadMode = STGM_READ | STGM_SHARE_EXCLUSIVE;

class OleStream final : public StorageStream {
 public:
  explicit OleStream(ComPtr<IStream> stream) : stream_(std::move(stream)) {}
  bool Read(void* buffer, size_t size, size_t& read) override {
    ULONG count = 0;
    const HRESULT hr = stream_->Read(buffer, static_cast<ULONG>(size), &count);
    read = count;
    return SUCCEEDED(hr);
  }

 private:
  ComPtr<IStream> stream_;
};

class OleEnumerator final : public StorageEnumerator {
 public:
  explicit OleEnumerator(ComPtr<IEnumSTATSTG> elements) : elements_(std::move(elements)) {}
  Step Next(StorageElement& element) override {
    STATSTG stat{};
    ULONG fetched = 0;
    const HRESULT hr = elements_->Next(1, &stat, &fetched);
    if (hr == S_FALSE || (hr == S_OK && fetched == 0)) return Step::kEnd;
    if (FAILED(hr)) return Step::kError;
    element.name = stat.pwcsName ? NarrowToAnsi(stat.pwcsName) : std::string();
    CoTaskMemFree(stat.pwcsName);
    element.kind = stat.type == STGTY_STREAM    ? ElementKind::kStream
                   : stat.type == STGTY_STORAGE ? ElementKind::kStorage
                                                : ElementKind::kOther;
    return Step::kElement;
  }

 private:
  ComPtr<IEnumSTATSTG> elements_;
};

class OleStorageNode final : public StorageNode {
 public:
  explicit OleStorageNode(ComPtr<IStorage> storage) : storage_(std::move(storage)) {}

  std::unique_ptr<StorageNode> OpenStorage(const std::string& name) override {
    ComPtr<IStorage> child;
    if (FAILED(storage_->OpenStorage(WidenAnsi(name).c_str(), nullptr, kReadMode, nullptr, 0,
                                     &child))) {
      return nullptr;
    }
    return std::make_unique<OleStorageNode>(std::move(child));
  }

  std::unique_ptr<StorageStream> OpenStream(const std::string& name) override {
    ComPtr<IStream> stream;
    if (FAILED(storage_->OpenStream(WidenAnsi(name).c_str(), nullptr, kReadMode, 0, &stream))) {
      return nullptr;
    }
    return std::make_unique<OleStream>(std::move(stream));
  }

  std::unique_ptr<StorageEnumerator> Enumerate() override {
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage_->EnumElements(0, nullptr, 0, &elements))) return nullptr;
    return std::make_unique<OleEnumerator>(std::move(elements));
  }

 private:
  ComPtr<IStorage> storage_;
};

}  // namespace

std::unique_ptr<StorageNode> OleFilmStorage::OpenRoot(const std::string& path) {
  // A path of the player's, in UTF-8: the temporary folder may hold any character.
  const std::optional<std::wstring> wide = WidenUtf8(path);
  if (!wide || StgIsStorageFile(wide->c_str()) != S_OK) return nullptr;
  ComPtr<IStorage> root;
  if (FAILED(StgOpenStorage(wide->c_str(), nullptr, kReadMode, nullptr, 0, &root))) return nullptr;
  return std::make_unique<OleStorageNode>(std::move(root));
}

}  // namespace lumafolio
