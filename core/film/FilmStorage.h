#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace lumafolio {

// The small slice of structured storage (OLE compound files) that reading a film needs.
// The player reads through ole32; the tools read through libgsf. Both answer the same
// questions the same way, so the reader above them is written once.

enum class ElementKind { kStream, kStorage, kOther };

struct StorageElement {
  std::string name;  // in the system code page
  ElementKind kind = ElementKind::kOther;
};

class StorageStream {
 public:
  virtual ~StorageStream() = default;
  // Reads up to `size` bytes; returns false on a read error, else stores the count read.
  virtual bool Read(void* buffer, size_t size, size_t& read) = 0;
};

class StorageEnumerator {
 public:
  enum class Step { kElement, kEnd, kError };
  virtual ~StorageEnumerator() = default;
  virtual Step Next(StorageElement& element) = 0;
};

class StorageNode {
 public:
  virtual ~StorageNode() = default;
  // Name look-up ignores case, as compound files do. Null when there is no such element.
  virtual std::unique_ptr<StorageNode> OpenStorage(const std::string& name) = 0;
  virtual std::unique_ptr<StorageStream> OpenStream(const std::string& name) = 0;
  // Null when the elements cannot be listed.
  virtual std::unique_ptr<StorageEnumerator> Enumerate() = 0;
};

class FilmStorage {
 public:
  virtual ~FilmStorage() = default;
  // The root storage of the compound file at `path`, opened for reading; null when the file
  // is not a compound file or cannot be opened.
  virtual std::unique_ptr<StorageNode> OpenRoot(const std::string& path) = 0;
};

}  // namespace lumafolio
