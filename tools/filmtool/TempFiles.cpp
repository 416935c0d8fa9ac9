#include "tools/filmtool/TempFiles.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "core/payload/StdioFile.h"

namespace lumafolio {

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "filmtool-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    throw std::runtime_error("cannot create a temporary folder: " +
                             std::string(std::strerror(errno)));
  }
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

PendingFile::PendingFile(const std::filesystem::path& destination) : destination_(destination) {
  std::filesystem::path folder = destination.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + destination.filename().string() + ".XXXXXX")).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) {
    throw std::runtime_error("cannot create " + destination.string() + ": " + std::strerror(errno));
  }
  temporary_ = pattern;
  file_ = fdopen(descriptor, "wb");
  if (!file_) {
    const int error = errno;
    close(descriptor);
    std::filesystem::remove(temporary_);
    throw std::runtime_error("cannot write " + destination.string() + ": " + std::strerror(error));
  }
}

PendingFile::~PendingFile() {
  if (file_) std::fclose(file_);
  if (!committed_) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
}

void PendingFile::Fail(const std::string& what) const {
  throw std::runtime_error("cannot write " + destination_.string() + ": " + what);
}

void PendingFile::Write(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    Fail(std::strerror(errno));
  }
  size_ += static_cast<int64_t>(bytes.size());
}

void PendingFile::Append(const std::filesystem::path& path, int64_t size) {
  std::FILE* source = std::fopen(path.c_str(), "rb");
  if (!source) {
    throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
  }
  std::vector<uint8_t> buffer(1 << 16);
  int64_t copied = 0;
  size_t count;
  // One byte more than expected is enough to see that the file changed size.
  while (copied <= size) {
    const auto want = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(buffer.size()), size + 1 - copied));
    if ((count = std::fread(buffer.data(), 1, want, source)) == 0) break;
    Write({buffer.data(), count});
    copied += static_cast<int64_t>(count);
  }
  const int error = std::ferror(source) ? errno : 0;
  std::fclose(source);
  if (error) throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(error));
  // The film names the file by its size, taken earlier: a file that changed since would shift
  // every later offset of the payload.
  if (copied != size) {
    throw std::runtime_error(path.string() + " changed while the film was being written");
  }
}

void PendingFile::Flush() {
  if (std::fflush(file_) != 0) Fail(std::strerror(errno));
}

void PendingFile::Commit(std::filesystem::perms permissions) {
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) Fail(std::strerror(errno));
  std::error_code error;
  std::filesystem::permissions(temporary_, permissions, error);
  if (!error) std::filesystem::rename(temporary_, destination_, error);
  if (error) Fail(error.message());
  committed_ = true;
}

void CheckRegularFile(const std::filesystem::path& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
  }
  if (S_ISDIR(status.st_mode)) {
    throw std::runtime_error("cannot read " + path.string() + ": it is a folder");
  }
  if (!S_ISREG(status.st_mode)) {
    throw std::runtime_error("cannot read " + path.string() +
                             ": it is not a regular file (a device, a pipe or a socket)");
  }
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  CheckRegularFile(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad())
    throw std::runtime_error("cannot read " + path.string() + ": " + std::strerror(errno));
  return bytes;
}

std::vector<uint8_t> ReadRange(const std::string& path, int64_t offset, int64_t size) {
  CheckRegularFile(path);
  const StdioFile file = OpenStdioFile(path.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  if (fseeko(file.get(), 0, SEEK_END) != 0) {
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  }
  const int64_t fileSize = ftello(file.get());
  if (offset > fileSize) {
    throw std::runtime_error("offset " + std::to_string(offset) + " lies past the end of " + path +
                             " (" + std::to_string(fileSize) + " bytes)");
  }
  if (size < 0) size = fileSize - offset;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (fseeko(file.get(), offset, SEEK_SET) != 0 ||
      std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    throw std::runtime_error("cannot read " + path + ": " +
                             (std::ferror(file.get()) ? std::strerror(errno) : "it ends early"));
  }
  return bytes;
}

}  // namespace lumafolio
