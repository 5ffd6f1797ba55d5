#pragma once
// Internal: the per-thread state records and the table of live streams.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"
#include "platform/sys/bounded_reader.h"

namespace imaging::detail {

struct JpegSettings {
  bool customQuantTables = false;
  unsigned scaleNum = 1;
  unsigned scaleDenom = 1;
  int dctMethod = -1;  // -1: library default
};

struct ThreadState {
  int lastError = 0;
  int depth = 0;
  JpegSettings jpeg;
  std::vector<std::string> readComments;
  std::vector<JpegMarker> readMarkers;
  std::vector<std::string> addComments;
  std::vector<JpegMarker> addMarkers;
};

// The calling thread's record, made on first use; null when it cannot be had.
ThreadState* CurrentState();

// Entry guard of every operation: finds the thread's state and tracks the call depth.
class Call {
 public:
  Call();
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  explicit operator bool() const { return state_ != nullptr; }
  ThreadState& state() { return *state_; }
  // Sets the last error and returns `result`.
  template <typename T>
  T Fail(int code, T result) {
    state_->lastError = code;
    return result;
  }
  void Set(int code) { state_->lastError = code; }

 private:
  ThreadState* state_;
};

// One open stream. Reads go through a ByteSource so that the parsers can use a
// BoundedReader over it.
class Stream final : public sys::ByteSource {
 public:
  enum class Kind { File = 1, Memory = 2 };
  Kind kind = Kind::File;
  bool writing = false;
  std::string name;
  uint64_t position = 0;
  std::unique_ptr<sys::ByteSource> source;  // reading
  int fd = -1;                               // writing
  uint64_t length = 0;                       // bytes in a written file

  ~Stream() override;
  uint64_t Size() const override;
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override;
  // Writes at the position and advances it; false on failure.
  bool Write(const void* data, size_t n);
};

// The live stream for a handle, or null. Streams are not shared between threads.
Stream* FindStream(StreamHandle handle);

size_t BufferLimit();
// A zeroed buffer of width * height * bpp bytes, or empty when over the limits / no memory.
PixelBuffer AllocatePixels(int64_t width, int64_t height, int64_t bpp);

}  // namespace imaging::detail
