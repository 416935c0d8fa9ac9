#include "tools/filmfile/GsfFilmStorage.h"

#include <gsf/gsf.h>

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

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
  GRef(GRef&& other) noexcept : object_(other.release()) {}
  T* get() const { return object_; }
  T* release() { return std::exchange(object_, nullptr); }
  void reset(T* object) {
    if (object_) g_object_unref(object_);
    object_ = object;
  }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_;
};

// Compound-file names compare without regard to case; libgsf's own look-up does not.
std::string FoldCase(std::string name) {
  for (char& c : name) c = g_ascii_toupper(c);
  return name;
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

// A storage with its elements opened once, in libgsf's order. libgsf keeps a storage's elements
// in a linked list and finds one by index or by name only by walking that list from its head
// (its count, too, walks the whole list), so asking it afresh for every item of a film costs a
// walk of n elements per item; here the list is walked once and every later question is an
// index or a map look-up.
class GsfStorageNode final : public StorageNode {
 public:
  explicit GsfStorageNode(GsfInfile* infile) : infile_(infile) {
    const int count = gsf_infile_num_children(infile_.get());
    children_.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
      Child& child = children_.emplace_back();
      child.input.reset(gsf_infile_child_by_index(infile_.get(), i));
      // A child libgsf cannot open (a damaged stream) still has its name.
      const char* name = child.input ? gsf_input_name(child.input.get())
                                     : gsf_infile_name_by_index(infile_.get(), i);
      child.name = name ? name : "";
      child.isStorage = child.input && IsStorage(child.input.get());
      // The first of two names that differ only in case wins, as a walk from the start would.
      byName_.emplace(FoldCase(child.name), static_cast<size_t>(i));
    }
  }

  std::unique_ptr<StorageNode> OpenStorage(const std::string& name) override {
    const Child* child = Find(name);
    if (!child || !child->isStorage) return nullptr;
    // A storage holds no read position, so the one opened above can be shared.
    g_object_ref(child->input.get());
    return std::make_unique<GsfStorageNode>(GSF_INFILE(child->input.get()));
  }

  std::unique_ptr<StorageStream> OpenStream(const std::string& name) override {
    const Child* child = Find(name);
    if (!child || !child->input || child->isStorage) return nullptr;
    // Each stream opened reads from its start: a duplicate of its own (libgsf makes it from
    // the element itself, without a walk).
    GsfInput* stream = gsf_input_dup(child->input.get(), nullptr);
    if (!stream) return nullptr;
    return std::make_unique<GsfStream>(stream);
  }

  std::unique_ptr<StorageEnumerator> Enumerate() override;

  struct Child {
    std::string name;
    GRef<GsfInput> input;  // null when libgsf could not open it
    bool isStorage = false;
  };
  const std::vector<Child>& Children() const { return children_; }

 private:
  const Child* Find(const std::string& name) const {
    const auto found = byName_.find(FoldCase(name));
    return found == byName_.end() ? nullptr : &children_[found->second];
  }

  GRef<GsfInfile> infile_;
  std::vector<Child> children_;
  std::unordered_map<std::string, size_t> byName_;
};

class GsfEnumerator final : public StorageEnumerator {
 public:
  explicit GsfEnumerator(const GsfStorageNode& storage) : storage_(storage) {}
  Step Next(StorageElement& element) override {
    if (index_ >= storage_.Children().size()) return Step::kEnd;
    const GsfStorageNode::Child& child = storage_.Children()[index_++];
    if (!child.input) return Step::kError;
    element.name = child.name;
    element.kind = child.isStorage ? ElementKind::kStorage : ElementKind::kStream;
    return Step::kElement;
  }

 private:
  const GsfStorageNode& storage_;  // outlives its enumerations
  size_t index_ = 0;
};

std::unique_ptr<StorageEnumerator> GsfStorageNode::Enumerate() {
  return std::make_unique<GsfEnumerator>(*this);
}

}  // namespace

std::unique_ptr<StorageNode> GsfFilmStorage::OpenRoot(const std::string& path) {
  // libgsf's reasons for refusing a file join its complaints.
  auto keep = [this](GError*& error) {
    if (!error) return;
    messages_.Add("libgsf", error->message);
    g_error_free(std::exchange(error, nullptr));
  };
  GError* error = nullptr;
  GRef<GsfInput> input(gsf_input_stdio_new(path.c_str(), &error));
  keep(error);
  if (!input) return nullptr;
  GsfInfile* root = gsf_infile_msole_new(input.get(), &error);
  keep(error);
  if (!root) return nullptr;
  return std::make_unique<GsfStorageNode>(root);
}

}  // namespace lumafolio
