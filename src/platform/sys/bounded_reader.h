#pragma once
// The one reader that every parser of untrusted data uses. It knows how many bytes remain,
// refuses any read or length that exceeds them (before anything is allocated), and names
// the byte order at every call. Reads go through a 4096-byte buffer; large blocks are read
// straight into their destination.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace sys {

// A read past the end of the data, or a source that failed to deliver bytes.
class ReadError : public std::runtime_error {
 public:
  enum class Kind { EndOfData, IoFailure };
  ReadError(Kind kind, uint64_t offset, const std::string& what)
      : std::runtime_error(what), kind_(kind), offset_(offset) {}
  Kind kind() const { return kind_; }
  // Absolute offset in the source where the failing read started.
  uint64_t offset() const { return offset_; }

 private:
  Kind kind_;
  uint64_t offset_;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads up to n bytes at offset; returns the count read (short only at the end or on error).
  virtual size_t ReadAt(uint64_t offset, void* dst, size_t n) = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> data) : data_(data) {}
  uint64_t Size() const override { return data_.size(); }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override;

 private:
  std::span<const uint8_t> data_;
};

// A file opened read-only; the size is taken once at open.
class FileSource final : public ByteSource {
 public:
  FileSource() = default;
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  // Returns false (errno set) when the file cannot be opened or is not a regular file.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

class BoundedReader {
 public:
  static constexpr size_t kBufferSize = 4096;

  // Reads the window [begin, end) of the source; end defaults to the source's size.
  explicit BoundedReader(ByteSource& source, uint64_t begin = 0, uint64_t end = UINT64_MAX);

  uint64_t Position() const { return pos_; }
  uint64_t Begin() const { return begin_; }
  uint64_t End() const { return end_; }
  uint64_t Remaining() const { return end_ - pos_; }

  uint8_t U8();
  uint16_t U16LE();
  uint32_t U32LE();
  int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
  float F32LE();
  uint16_t U16BE();
  uint32_t U32BE();

  // Reads exactly n bytes into dst, or throws without a partial guarantee of dst's content.
  void Read(void* dst, size_t n);
  // Reads n bytes into a new buffer; refuses n beyond the remaining bytes before allocating.
  std::vector<uint8_t> Block(uint64_t n);
  void Skip(uint64_t n);
  // Absolute position within [begin, end].
  void Seek(uint64_t position);
  // Throws EndOfData unless n bytes remain.
  void Require(uint64_t n) const;

 private:
  [[noreturn]] void Fail(ReadError::Kind kind, uint64_t n) const;
  bool Fill();

  ByteSource& source_;
  uint64_t begin_;
  uint64_t end_;
  uint64_t pos_;
  // Buffer holds source bytes [bufStart_, bufStart_ + bufLen_).
  uint8_t buf_[kBufferSize];
  uint64_t bufStart_ = 0;
  size_t bufLen_ = 0;
};

}  // namespace sys
