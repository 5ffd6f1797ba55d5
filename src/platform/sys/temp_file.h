#pragma once
// Temporary files: names in the temporary folder, and new files made safely (mkstemp, mode
// 0600) so that no other user can read or replace what the player writes there.

#include <string>

namespace sys {

// $TMPDIR when it is an absolute path, else /tmp; always ending in '/'.
std::string TempDirectory();

// This process's own folder inside TempDirectory() (made with mkdtemp, mode 0700, on first
// use), ending in '/'; empty when it cannot be made. Two players never share one, and the
// user's own files in the temporary folder are never touched.
std::string PrivateTempDirectory();

// The private folder followed directly by name (empty when there is no private folder).
std::string TempFilePath(const std::string& name);

// A new, empty, uniquely named file "<private folder><prefix>XXXXXX" (mode 0600), open for
// writing. The exit path knows it from the moment it exists (RemoveOwnTempFiles).
// Move-only; the descriptor closes with the object, the file stays.
class NewTempFile {
 public:
  // Creates the file; check ok() (errno tells why it failed).
  explicit NewTempFile(const std::string& prefix);
  ~NewTempFile() { Close(); }
  NewTempFile(NewTempFile&& other) noexcept;
  NewTempFile& operator=(NewTempFile&&) = delete;
  NewTempFile(const NewTempFile&) = delete;
  NewTempFile& operator=(const NewTempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Writes the whole block (short writes and interrupted calls continue).
  bool WriteAll(const void* data, size_t size);
  // False when the file's last writes could not be completed.
  bool Close();

 private:
  int fd_ = -1;
  std::string path_;
};

// Creates a new empty temporary file and returns its path; empty on failure.
std::string CreateTempFile(const std::string& prefix);

// A file the process made by other means (a partial output beside its final name): the exit
// path removes it like its own temporary files unless it is forgotten first (once complete).
void AdoptTempFile(const std::string& path);
void ForgetTempFile(const std::string& path);

// Deletes a file; true when it is gone (also when it was not there).
bool RemoveFile(const std::string& path);

// Deletes every temporary file this process made and still has, then its private folders
// (only when empty: nothing the process did not make is deleted). Safe from any thread and
// more than once.
void RemoveOwnTempFiles();
// The same for a process that ends right after (a signal's exit) while other threads may
// still be at work (a load decoding pictures): a thread that wants a new temporary file
// from now on waits for the end, so it neither leaves a file behind nor reports a failure.
void EndTempFiles();

}  // namespace sys
