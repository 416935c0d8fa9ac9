#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace lumafolio::fuzz {

// The targets that read files (the tools read films by path) write each input to a file of their
// own, made once per process under the temporary folder and removed when the process ends.
class TempFile {
 public:
  explicit TempFile(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) std::abort();
    close(descriptor);
    path_ = pattern;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { std::remove(path_.c_str()); }

  const std::string& path() const { return path_; }

  bool Write(const uint8_t* data, size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (!file) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
  }

 private:
  std::string path_;
};

// A fresh folder under the temporary folder, removed with its contents.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace lumafolio::fuzz
