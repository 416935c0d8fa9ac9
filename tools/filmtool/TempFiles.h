#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace lumafolio {

// A fresh private folder under the system's temporary folder, removed with its contents.
class TempDirectory {
 public:
  TempDirectory();  // throws std::runtime_error
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// An output file written under a temporary name in its destination's folder and renamed into
// place by Commit. Until then the destination is untouched, and a run that fails on the way
// removes the temporary file: no partial output is ever left behind.
class PendingFile {
 public:
  explicit PendingFile(const std::filesystem::path& destination);  // throws std::runtime_error
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  void Write(std::span<const uint8_t> bytes);
  // Appends `size` bytes of the file at `path`; throws when it holds a different number of bytes.
  void Append(const std::filesystem::path& path, int64_t size);
  void Flush();  // so that the file can be read back before it is committed
  int64_t Size() const { return size_; }
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Closes the file and moves it to the destination with the given permission bits.
  void Commit(std::filesystem::perms permissions);

 private:
  [[noreturn]] void Fail(const std::string& what) const;

  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  std::FILE* file_ = nullptr;
  int64_t size_ = 0;
  bool committed_ = false;
};

// Throws std::runtime_error ("cannot read PATH: ...") unless `path` names a regular file (after
// symbolic links). Reading a folder, a device such as /dev/zero or a pipe would fail late with a
// misleading message, or never end.
void CheckRegularFile(const std::filesystem::path& path);

// The whole file, or std::runtime_error naming it. Only regular files are read.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

// `size` bytes from `offset`, or the rest of the file when `size` is negative; std::runtime_error
// naming the file when it holds fewer.
std::vector<uint8_t> ReadRange(const std::string& path, int64_t offset, int64_t size);

}  // namespace lumafolio
