#include "tools/filmfile/GsfFilmStorage.h"

#include <gsf/gsf.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace lumafolio {
namespace {

// Owns one reference to a GObject.
template <typename T>
class GRef {
 public:
  explicit GRef(T* object = nullptr) : object_(object) {}
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  ~GRef() {
    if (object_) g_object_unref(object_);
  }
  T* get() const { return object_; }
  T* release() { return std::exchange(object_, nullptr); }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_;
};

// Compound-file names compare without regard to case; libgsf's own look-up does not.
bool SameName(const char* a, const std::string& b) {
  return std::equal(b.begin(), b.end(), a, a + std::strlen(a),
                    [](char x, char y) { return g_ascii_toupper(x) == g_ascii_toupper(y); });
}

bool IsStorage(GsfInput* input) {
  return GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0;
}

class GsfStream final : public StorageStream {
 public:
  explicit GsfStream(GsfInput* input) : input_(input) {}
  bool Read(void* buffer, size_t size, size_t& read) override {
    const gsf_off_t remaining = gsf_input_remaining(input_.get());
    const size_t count = std::min(size, static_cast<size_t>(std::max<gsf_off_t>(remaining, 0)));
    read = 0;
    if (count > 0 && !gsf_input_read(input_.get(), count, static_cast<guint8*>(buffer))) {
      return false;
    }
    read = count;
    return true;
  }

 private:
  GRef<GsfInput> input_;
};

class GsfEnumerator final : public StorageEnumerator {
 public:
  explicit GsfEnumerator(GsfInfile* storage) : storage_(storage) {}
  Step Next(StorageElement& element) override {
    if (index_ >= gsf_infile_num_children(storage_)) return Step::kEnd;
    const char* name = gsf_infile_name_by_index(storage_, index_);
    GRef<GsfInput> child(gsf_infile_child_by_index(storage_, index_));
    ++index_;
    if (!name || !child) return Step::kError;
    element.name = name;
    element.kind = IsStorage(child.get()) ? ElementKind::kStorage : ElementKind::kStream;
    return Step::kElement;
  }

 private:
  GsfInfile* storage_;  // owned by the storage node, which outlives its enumerations
  int index_ = 0;
};

class GsfStorageNode final : public StorageNode {
 public:
  explicit GsfStorageNode(GsfInfile* infile) : infile_(infile) {}

  std::unique_ptr<StorageNode> OpenStorage(const std::string& name) override {
    GRef<GsfInput> child(Child(name));
    if (!child || !IsStorage(child.get())) return nullptr;
    return std::make_unique<GsfStorageNode>(GSF_INFILE(child.release()));
  }

  std::unique_ptr<StorageStream> OpenStream(const std::string& name) override {
    GRef<GsfInput> child(Child(name));
    if (!child || IsStorage(child.get())) return nullptr;
    return std::make_unique<GsfStream>(child.release());
  }

  std::unique_ptr<StorageEnumerator> Enumerate() override {
    return std::make_unique<GsfEnumerator>(infile_.get());
  }

 private:
  GsfInput* Child(const std::string& name) {
    const int count = gsf_infile_num_children(infile_.get());
    for (int i = 0; i < count; ++i) {
      const char* childName = gsf_infile_name_by_index(infile_.get(), i);
      if (childName && SameName(childName, name)) {
        return gsf_infile_child_by_index(infile_.get(), i);
      }
    }
    return nullptr;
  }

  GRef<GsfInfile> infile_;
};

}  // namespace

std::unique_ptr<StorageNode> GsfFilmStorage::OpenRoot(const std::string& path) {
  GError* error = nullptr;
  GRef<GsfInput> input(gsf_input_stdio_new(path.c_str(), &error));
  if (error) g_error_free(std::exchange(error, nullptr));
  if (!input) return nullptr;
  GsfInfile* root = gsf_infile_msole_new(input.get(), &error);
  if (error) g_error_free(error);
  if (!root) return nullptr;
  return std::make_unique<GsfStorageNode>(root);
}

}  // namespace lumafolio
