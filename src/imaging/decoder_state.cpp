#include "imaging/decoder_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <list>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/sys/fd_io.h"

namespace imaging {
namespace detail {
namespace {

// The one lock of the decoder: it guards the list of per-thread records and the table of
// live streams.
// Never destroyed, so a thread that ends during process exit can still remove its record.
std::mutex& StateLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::list<ThreadState>& StateList() {
  static auto* records = new std::list<ThreadState>;
  return *records;
}

// Removes the thread's record from the list when the thread ends.
struct StateSlot {
  std::list<ThreadState>::iterator it{};
  bool present = false;
  ~StateSlot() {
    if (!present) return;
    std::lock_guard lock(StateLock());
    StateList().erase(it);
  }
};
thread_local StateSlot tSlot;

std::mutex& StreamLock() { return StateLock(); }
std::unordered_map<uint64_t, std::unique_ptr<Stream>>& StreamTable() {
  static auto* table = new std::unordered_map<uint64_t, std::unique_ptr<Stream>>;
  return *table;
}
uint64_t gNextStreamId = 1;

std::atomic<size_t> gBufferLimit{kMaxBufferBytes};

StreamHandle AddStream(std::unique_ptr<Stream> stream) {
  std::lock_guard lock(StreamLock());
  uint64_t id = gNextStreamId++;
  StreamTable().emplace(id, std::move(stream));
  return StreamHandle{id};
}

std::unique_ptr<Stream> RemoveStream(StreamHandle handle) {
  std::lock_guard lock(StreamLock());
  auto it = StreamTable().find(static_cast<uint64_t>(handle));
  if (it == StreamTable().end()) return nullptr;
  std::unique_ptr<Stream> stream = std::move(it->second);
  StreamTable().erase(it);
  return stream;
}

}  // namespace

ThreadState* CurrentState() {
  if (tSlot.present) return &*tSlot.it;
  try {
    std::lock_guard lock(StateLock());
    StateList().emplace_front();
    tSlot.it = StateList().begin();
    tSlot.present = true;
    return &*tSlot.it;
  } catch (const std::exception&) {
    return nullptr;
  }
}

Call::Call() : state_(CurrentState()) {
  if (state_) ++state_->depth;
}
Call::~Call() {
  if (state_) --state_->depth;
}

Stream::~Stream() {
  if (fd >= 0) ::close(fd);
}

uint64_t Stream::Size() const { return writing ? length : source->Size(); }

size_t Stream::ReadAt(uint64_t offset, void* dst, size_t n) {
  if (writing) return sys::ReadFullAt(fd, offset, dst, n);
  return source->ReadAt(offset, dst, n);
}

bool Stream::Write(const void* data, size_t n) {
  if (!writing) return false;
  const auto* in = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < n) {
    ssize_t put = ::pwrite(fd, in + done, n - done, static_cast<off_t>(position + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      position += done;
      length = std::max(length, position);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  position += n;
  length = std::max(length, position);
  return true;
}

Stream* FindStream(StreamHandle handle) {
  std::lock_guard lock(StreamLock());
  auto it = StreamTable().find(static_cast<uint64_t>(handle));
  return it == StreamTable().end() ? nullptr : it->second.get();
}

size_t BufferLimit() { return gBufferLimit.load(std::memory_order_relaxed); }

PixelBuffer AllocatePixels(int64_t width, int64_t height, int64_t bpp) {
  size_t size = BufferSize(width, height, bpp);
  if (size == 0 || size > BufferLimit()) return {};
  return PixelBuffer::Allocate(size);
}

}  // namespace detail

using detail::Call;
using detail::Stream;

PixelBuffer PixelBuffer::Allocate(size_t size) {
  PixelBuffer buffer;
  if (size == 0) return buffer;
  buffer.data_.reset(static_cast<uint8_t*>(std::calloc(size, 1)));
  if (buffer.data_) buffer.size_ = size;
  return buffer;
}

size_t BufferSize(int64_t width, int64_t height, int64_t bytesPerPixel) {
  if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return 0;
  if (width > kMaxDimension || height > kMaxDimension || bytesPerPixel > 16) return 0;
  // Each factor is below 2^17, so the product stays below 2^51.
  uint64_t size = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                  static_cast<uint64_t>(bytesPerPixel);
  return size > kMaxBufferBytes ? 0 : static_cast<size_t>(size);
}

bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
         width * height <= kMaxPicturePixels;
}

bool DataCanHold(int64_t width, int64_t height, uint64_t dataBytes) {
  if (width <= 0 || height <= 0) return false;
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels <= static_cast<uint64_t>(kFreePixels)) return true;
  // pixels is below 2^34 here whenever it matters; the division keeps it from overflowing.
  return (pixels - 1) / static_cast<uint64_t>(kPixelsPerDataByte) < dataBytes;
}

void InitDecoder() {
  // The locks are function-local statics; touching them here makes them before any thread.
  Call call;
  if (call) call.Set(kOk);
}

int GetLastErrorCode() {
  detail::ThreadState* state = detail::CurrentState();
  return state ? state->lastError : kErrNoState;
}

void SetBufferLimit(size_t bytes) {
  detail::gBufferLimit.store(bytes == 0 || bytes > kMaxBufferBytes ? kMaxBufferBytes : bytes,
                             std::memory_order_relaxed);
}

StreamHandle OpenSource(const std::string& fileName) {
  Call call;
  if (!call) return kNoStream;
  if (fileName.empty()) return call.Fail(kErrOpen, kNoStream);
  try {
    auto file = std::make_unique<sys::FileSource>();
    if (!file->Open(fileName)) return call.Fail(kErrOpen, kNoStream);
    auto stream = std::make_unique<Stream>();
    stream->kind = Stream::Kind::File;
    stream->name = fileName;
    stream->source = std::move(file);
    StreamHandle handle = detail::AddStream(std::move(stream));
    call.Set(kOk);
    return handle;
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, kNoStream);
  }
}

StreamHandle OpenMemorySource(std::span<const uint8_t> data) {
  Call call;
  if (!call) return kNoStream;
  try {
    auto stream = std::make_unique<Stream>();
    stream->kind = Stream::Kind::Memory;
    stream->source = std::make_unique<sys::MemorySource>(data);
    StreamHandle handle = detail::AddStream(std::move(stream));
    call.Set(kOk);
    return handle;
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, kNoStream);
  }
}

StreamHandle OpenTarget(const std::string& fileName) {
  Call call;
  if (!call) return kNoStream;
  if (fileName.empty()) return call.Fail(kErrOpen, kNoStream);
  try {
    auto stream = std::make_unique<Stream>();
    stream->fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (stream->fd < 0) return call.Fail(kErrOpen, kNoStream);
    stream->kind = Stream::Kind::File;
    stream->writing = true;
    stream->name = fileName;
    StreamHandle handle = detail::AddStream(std::move(stream));
    call.Set(kOk);
    return handle;
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, kNoStream);
  }
}

bool SeekSource(StreamHandle handle, int64_t offset, int origin) {
  Call call;
  if (!call) return false;
  Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, false);
  int64_t base = 0;
  switch (origin) {
    case 0:
      base = 0;
      break;
    case 1:
      base = static_cast<int64_t>(stream->position);
      break;
    case 2:
      base = static_cast<int64_t>(stream->Size());
      break;
    default:
      return call.Fail(kErrArgument, false);
  }
  if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
    return call.Fail(kErrArgument, false);
  stream->position = static_cast<uint64_t>(base + offset);
  call.Set(kOk);
  return true;
}

int64_t CloseSource(StreamHandle handle) {
  Call call;
  if (!call) return 0;
  std::unique_ptr<Stream> stream = detail::RemoveStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, int64_t{0});
  call.Set(kOk);
  return static_cast<int64_t>(stream->position);
}

int64_t CloseTarget(StreamHandle handle) {
  Call call;
  if (!call) return 0;
  std::unique_ptr<Stream> stream = detail::RemoveStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, int64_t{0});
  int64_t length = static_cast<int64_t>(stream->writing ? stream->length : stream->Size());
  if (stream->fd >= 0) {
    int rc = ::close(stream->fd);
    stream->fd = -1;
    if (rc != 0) return call.Fail(kErrWrite, int64_t{0});
  }
  call.Set(kOk);
  return length;
}

std::vector<std::string> LastJpegComments() {
  Call call;
  if (!call) return {};
  call.Set(kOk);
  return call.state().readComments;
}
std::vector<JpegMarker> LastJpegMarkers() {
  Call call;
  if (!call) return {};
  call.Set(kOk);
  return call.state().readMarkers;
}
void SetJpegCommentsToAdd(std::vector<std::string> comments) {
  Call call;
  if (!call) return;
  call.state().addComments = std::move(comments);
  call.Set(kOk);
}
void SetJpegMarkersToAdd(std::vector<JpegMarker> markers) {
  Call call;
  if (!call) return;
  call.state().addMarkers = std::move(markers);
  call.Set(kOk);
}

}  // namespace imaging
