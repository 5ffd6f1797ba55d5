#include "platform/sys/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "platform/sys/fd_io.h"

namespace sys {
namespace {

// What the exit path must remove. Never destroyed: the signal watcher may still use it while
// static objects are being destroyed.
struct OwnFiles {
  std::mutex mutex;
  std::map<std::string, std::string> folders;  // temporary folder -> our folder in it
  std::set<std::string> files;
};
OwnFiles& Own() {
  static auto* own = new OwnFiles;
  return *own;
}

// The caller holds Own().mutex.
std::string FolderLocked() {
  const std::string base = TempDirectory();
  auto& folders = Own().folders;
  if (auto it = folders.find(base); it != folders.end()) {
    // Someone may have emptied the temporary folder meanwhile: then make a new one.
    struct stat st {};
    if (lstat(it->second.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid())
      return it->second;
    folders.erase(it);
  }
  std::string name = base + "sceneplayer-XXXXXX";
  if (!mkdtemp(name.data())) return {};
  name += '/';
  folders.emplace(base, name);
  return name;
}

// The caller holds Own().mutex.
void RemoveLocked() {
  for (const std::string& file : Own().files) unlink(file.c_str());
  Own().files.clear();
  for (const auto& [base, folder] : Own().folders) rmdir(folder.c_str());
  Own().folders.clear();
}
}  // namespace

std::string TempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string out = (dir && dir[0] == '/') ? dir : "/tmp";
  if (out.back() != '/') out += '/';
  return out;
}

std::string PrivateTempDirectory() {
  std::lock_guard lock(Own().mutex);
  return FolderLocked();
}

std::string TempFilePath(const std::string& name) {
  std::string folder = PrivateTempDirectory();
  return folder.empty() ? folder : folder + name;
}

NewTempFile::NewTempFile(const std::string& prefix) {
  // Made and recorded under one lock, so an exit that starts meanwhile finds the file.
  std::lock_guard lock(Own().mutex);
  const std::string folder = FolderLocked();
  if (folder.empty()) return;
  std::string name = folder + prefix + "XXXXXX";
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return;
  Own().files.insert(name);
  path_ = std::move(name);
  // mkstemp gives 0600 already; make sure of it whatever the C library does.
  fchmod(fd_, 0600);
}

NewTempFile::NewTempFile(NewTempFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

bool NewTempFile::WriteAll(const void* data, size_t size) {
  return fd_ >= 0 && WriteFull(fd_, data, size);
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

void AdoptTempFile(const std::string& path) {
  std::lock_guard lock(Own().mutex);
  Own().files.insert(path);
}

void ForgetTempFile(const std::string& path) {
  std::lock_guard lock(Own().mutex);
  Own().files.erase(path);
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return false;
  std::lock_guard lock(Own().mutex);
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  Own().files.erase(path);
  return true;
}

void EndTempFiles() {
  // Never unlocked: the process ends next.
  Own().mutex.lock();
  RemoveLocked();
}

void RemoveOwnTempFiles() {
  std::lock_guard lock(Own().mutex);
  RemoveLocked();
}

}  // namespace sys
