#include "platform/sys/bounded_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/sys/fd_io.h"

namespace sys {

size_t MemorySource::ReadAt(uint64_t offset, void* dst, size_t n) {
  if (offset >= data_.size()) return 0;
  size_t count = static_cast<size_t>(std::min<uint64_t>(n, data_.size() - offset));
  std::memcpy(dst, data_.data() + offset, count);
  return count;
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileSource::Open(const std::string& path) {
  if (fd_ >= 0) ::close(fd_);
  // Without blocking: opening a FIFO for reading would wait for a writer forever.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) return false;
  struct stat st {};
  errno = 0;
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    int saved = errno == 0 ? EINVAL : errno;
    if (S_ISDIR(st.st_mode)) saved = EISDIR;
    ::close(fd_);
    fd_ = -1;
    errno = saved;
    return false;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

size_t FileSource::ReadAt(uint64_t offset, void* dst, size_t n) {
  return ReadFullAt(fd_, offset, dst, n);
}

BoundedReader::BoundedReader(ByteSource& source, uint64_t begin, uint64_t end) : source_(source) {
  uint64_t size = source.Size();
  end_ = std::min(end, size);
  begin_ = std::min(begin, end_);
  pos_ = begin_;
}

void BoundedReader::Fail(ReadError::Kind kind, uint64_t n) const {
  std::string what = kind == ReadError::Kind::EndOfData
                         ? "unexpected end of data reading " + std::to_string(n) +
                               " bytes at offset " + std::to_string(pos_)
                         : "read error at offset " + std::to_string(pos_);
  throw ReadError(kind, pos_, what);
}

void BoundedReader::Require(uint64_t n) const {
  if (n > Remaining()) Fail(ReadError::Kind::EndOfData, n);
}

bool BoundedReader::Fill() {
  bufStart_ = pos_;
  size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, end_ - pos_));
  bufLen_ = source_.ReadAt(pos_, buf_, want);
  return bufLen_ == want;
}

void BoundedReader::Read(void* dst, size_t n) {
  Require(n);
  auto* out = static_cast<uint8_t*>(dst);
  while (n > 0) {
    if (pos_ >= bufStart_ && pos_ < bufStart_ + bufLen_) {
      size_t off = static_cast<size_t>(pos_ - bufStart_);
      size_t take = std::min(n, bufLen_ - off);
      std::memcpy(out, buf_ + off, take);
      out += take;
      pos_ += take;
      n -= take;
      continue;
    }
    if (n >= kBufferSize) {
      // Large blocks go straight to their destination.
      if (source_.ReadAt(pos_, out, n) != n) Fail(ReadError::Kind::IoFailure, n);
      pos_ += n;
      return;
    }
    if (!Fill() && bufLen_ < n) Fail(ReadError::Kind::IoFailure, n);
  }
}

uint8_t BoundedReader::U8() {
  uint8_t b;
  Read(&b, 1);
  return b;
}

uint16_t BoundedReader::U16LE() {
  uint8_t b[2];
  Read(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t BoundedReader::U32LE() {
  uint8_t b[4];
  Read(b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint16_t BoundedReader::U16BE() {
  uint8_t b[2];
  Read(b, 2);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t BoundedReader::U32BE() {
  uint8_t b[4];
  Read(b, 4);
  return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
         (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

float BoundedReader::F32LE() {
  uint32_t bits = U32LE();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::vector<uint8_t> BoundedReader::Block(uint64_t n) {
  Require(n);
  std::vector<uint8_t> out(static_cast<size_t>(n));
  if (n) Read(out.data(), static_cast<size_t>(n));
  return out;
}

void BoundedReader::Skip(uint64_t n) {
  Require(n);
  pos_ += n;
}

void BoundedReader::Seek(uint64_t position) {
  if (position < begin_ || position > end_) {
    throw ReadError(ReadError::Kind::EndOfData, position,
                    "seek outside the data to offset " + std::to_string(position));
  }
  pos_ = position;
}

}  // namespace sys
