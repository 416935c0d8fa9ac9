#include "fuzz/ScriptedStorage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lumafolio::fuzz {
namespace {

constexpr int kMaxDepth = 4;
constexpr int kMaxElements = 4096;

// The names a film uses, '#' standing for a number; the lower-case ones try the look-up's
// indifference to case.
constexpr std::array<const char*, 8> kNames = {"LOOP",     "AUTOPLAY", "FILMLINK#", "FILMITEM",
                                               "TEXTLIST", "TEXT#",    "filmlink#", "Text#"};
// The film's record sizes (4, 356, 1328) and their neighbours.
constexpr std::array<size_t, 12> kSizes = {0, 1, 3, 4, 5, 8, 355, 356, 357, 1327, 1328, 1329};
constexpr uint8_t kRawName = 0x80;
constexpr uint8_t kCodedSize = 0xFF;

class Parser {
 public:
  explicit Parser(FuzzInput& input) : input_(input) {}

  void Tree(ScriptedElement& storage, int depth) {
    const int count = input_.Byte();
    for (int i = 0; i < count && !input_.Empty() && elements_ < kMaxElements; ++i) {
      ++elements_;
      storage.children.push_back(Node(depth));
    }
  }

 private:
  ScriptedElement Node(int depth) {
    ScriptedElement element;
    const uint8_t head = input_.Byte();
    const int kind = head & 3;
    element.kind = kind == 0   ? ElementKind::kStream
                   : kind == 2 ? ElementKind::kOther
                               : ElementKind::kStorage;
    element.name = Name();
    const int fault = head >> 2;
    if (fault == 1) element.failOpen = true;
    if (element.kind == ElementKind::kStream) {
      if (fault == 2) element.failRead = true;
      if (fault >= 3) element.readLimit = static_cast<size_t>(fault - 2);
      size_t size = input_.Byte();
      size = size < kSizes.size() ? kSizes[size] : input_.Le16();
      element.bytes = input_.Bytes(std::min<size_t>(input_.Le16(), size));
      element.bytes.resize(size, input_.Byte());
    } else if (element.kind == ElementKind::kStorage) {
      if (fault == 2) element.failEnumerate = true;
      if (fault >= 3) element.errorAt = fault - 3;
      if (depth < kMaxDepth) Tree(element, depth + 1);
    }
    return element;
  }

  std::string Name() {
    const uint8_t code = input_.Byte();
    if (code >= kRawName) return input_.Text(code & 0x3F);
    std::string name = kNames[code % kNames.size()];
    if (name.back() == '#') {
      name.pop_back();
      name += std::to_string(input_.Byte());
    }
    return name;
  }

  FuzzInput& input_;
  int elements_ = 0;
};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
           return upper(x) == upper(y);
         });
}

class Stream final : public StorageStream {
 public:
  explicit Stream(const ScriptedElement& element) : element_(element) {}
  bool Read(void* buffer, size_t size, size_t& read) override {
    read = 0;
    if (element_.failRead) return false;
    size_t count = std::min(size, element_.bytes.size() - at_);
    if (element_.readLimit) count = std::min(count, element_.readLimit);
    if (count) std::memcpy(buffer, element_.bytes.data() + at_, count);
    at_ += count;
    read = count;
    return true;
  }

 private:
  const ScriptedElement& element_;
  size_t at_ = 0;
};

class Enumerator final : public StorageEnumerator {
 public:
  explicit Enumerator(const ScriptedElement& storage) : storage_(storage) {}
  Step Next(StorageElement& element) override {
    if (static_cast<int>(index_) == storage_.errorAt) return Step::kError;
    if (index_ >= storage_.children.size()) return Step::kEnd;
    const ScriptedElement& child = storage_.children[index_++];
    element.name = child.name;
    element.kind = child.kind;
    return Step::kElement;
  }

 private:
  const ScriptedElement& storage_;
  size_t index_ = 0;
};

class Node final : public StorageNode {
 public:
  explicit Node(const ScriptedElement& storage) : storage_(storage) {}

  std::unique_ptr<StorageNode> OpenStorage(const std::string& name) override {
    const ScriptedElement* child = Find(name);
    if (!child || child->kind != ElementKind::kStorage) return nullptr;
    return std::make_unique<Node>(*child);
  }
  std::unique_ptr<StorageStream> OpenStream(const std::string& name) override {
    const ScriptedElement* child = Find(name);
    if (!child || child->kind != ElementKind::kStream) return nullptr;
    return std::make_unique<Stream>(*child);
  }
  std::unique_ptr<StorageEnumerator> Enumerate() override {
    if (storage_.failEnumerate) return nullptr;
    return std::make_unique<Enumerator>(storage_);
  }

 private:
  // The first element of that name, whatever its kind, as a compound file's look-up finds it.
  const ScriptedElement* Find(const std::string& name) const {
    for (const ScriptedElement& child : storage_.children) {
      if (SameIgnoringCase(child.name, name)) return child.failOpen ? nullptr : &child;
    }
    return nullptr;
  }

  const ScriptedElement& storage_;
};

void Put16(std::vector<uint8_t>& out, size_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void EncodeName(std::vector<uint8_t>& out, const std::string& name) {
  for (size_t code = 0; code < kNames.size(); ++code) {
    std::string prefix = kNames[code];
    const bool numbered = prefix.back() == '#';
    if (numbered) prefix.pop_back();
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    if (!numbered && rest.empty()) {
      out.push_back(static_cast<uint8_t>(code));
      return;
    }
    if (numbered && !rest.empty() && rest.size() <= 3 &&
        rest.find_first_not_of("0123456789") == std::string::npos && std::stoi(rest) < 256 &&
        std::to_string(std::stoi(rest)) == rest) {
      out.push_back(static_cast<uint8_t>(code));
      out.push_back(static_cast<uint8_t>(std::stoi(rest)));
      return;
    }
  }
  const size_t length = std::min<size_t>(name.size(), 0x3F);
  out.push_back(static_cast<uint8_t>(kRawName | length));
  out.insert(out.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
}

void EncodeTree(std::vector<uint8_t>& out, const CompoundElement& storage) {
  out.push_back(static_cast<uint8_t>(std::min<size_t>(storage.children.size(), 255)));
  for (size_t i = 0; i < storage.children.size() && i < 255; ++i) {
    const CompoundElement& child = storage.children[i];
    out.push_back(child.isStorage ? 1 : 0);
    EncodeName(out, child.name);
    if (child.isStorage) {
      EncodeTree(out, child);
      continue;
    }
    const size_t size = std::min<size_t>(child.bytes.size(), 0xFFFF);
    const auto known = std::find(kSizes.begin(), kSizes.end(), size);
    if (known != kSizes.end()) {
      out.push_back(static_cast<uint8_t>(known - kSizes.begin()));
    } else {
      out.push_back(kCodedSize);
      Put16(out, size);
    }
    Put16(out, size);
    out.insert(out.end(), child.bytes.begin(),
               child.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    out.push_back(0);
  }
}

}  // namespace

ScriptedElement ParseScript(FuzzInput& input) {
  ScriptedElement root;
  root.name = "Root Entry";
  Parser(input).Tree(root, 0);
  return root;
}

std::vector<uint8_t> EncodeScript(const CompoundElement& root) {
  std::vector<uint8_t> out;
  EncodeTree(out, root);
  return out;
}

std::unique_ptr<StorageNode> ScriptedFilmStorage::OpenRoot(const std::string&) {
  return std::make_unique<Node>(root_);
}

}  // namespace lumafolio::fuzz
