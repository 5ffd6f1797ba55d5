#include "platform/sys/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace sys {

std::string TempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string out = (dir && dir[0] == '/') ? dir : "/tmp";
  if (out.back() != '/') out += '/';
  return out;
}

std::string TempFilePath(const std::string& name) { return TempDirectory() + name; }

NewTempFile::NewTempFile(const std::string& prefix) {
  std::string name = TempDirectory() + prefix + "XXXXXX";
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return;
  path_ = std::move(name);
  // mkstemp gives 0600 already; make sure of it whatever the C library does.
  fchmod(fd_, 0600);
}

NewTempFile::NewTempFile(NewTempFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

bool NewTempFile::WriteAll(const void* data, size_t size) {
  if (fd_ < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t w = write(fd_, p, size);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    size -= static_cast<size_t>(w);
  }
  return true;
}

bool NewTempFile::Close() {
  if (fd_ < 0) return true;
  // close() is not retried on EINTR: the descriptor is gone either way on Linux.
  return close(std::exchange(fd_, -1)) == 0;
}

std::string CreateTempFile(const std::string& prefix) {
  NewTempFile file(prefix);
  if (!file.ok()) return {};
  std::string path = file.path();
  if (!file.Close()) {
    RemoveFile(path);
    return {};
  }
  return path;
}

bool RemoveFile(const std::string& path) {
  return !path.empty() && (unlink(path.c_str()) == 0 || errno == ENOENT);
}

}  // namespace sys
