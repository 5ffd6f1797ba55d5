#pragma once
// The loading side of the project archive: little-endian primitives, length-prefixed
// strings in all their forms and raw blocks, read through the bounded reader. Every
// failure is an ArchiveError that carries the byte offset where the failing read began.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/sys/bounded_reader.h"
#include "scene/records.h"

namespace scene {

class ArchiveError : public std::runtime_error {
 public:
  // The archive layer's causes; BadSchema keeps its historical code 7.
  enum class Cause { ReadFailure = 1, EndOfFile = 3, BadSchema = 7 };
  ArchiveError(Cause cause, uint64_t offset, const std::string& what)
      : std::runtime_error(what), cause_(cause), offset_(offset) {}
  Cause cause() const { return cause_; }
  int code() const { return static_cast<int>(cause_); }
  uint64_t offset() const { return offset_; }

 private:
  Cause cause_;
  uint64_t offset_;
};

class ProjectArchive {
 public:
  // Reads source[begin, end) through a 4096-byte buffer.
  explicit ProjectArchive(sys::ByteSource& source, uint64_t begin = 0, uint64_t end = UINT64_MAX);

  uint64_t Position() const { return reader_.Position(); }
  uint64_t Begin() const { return reader_.Begin(); }
  uint64_t Remaining() const { return reader_.Remaining(); }

  // The version the archive's header declared (0 until it was read); item records compare
  // it with their layout thresholds.
  float Version() const { return version_; }
  void SetVersion(float version) { version_ = version; }

  int32_t ReadInt32();
  uint32_t ReadUInt32();
  uint16_t ReadUInt16();
  uint8_t ReadByte();
  float ReadFloat();
  void Read(void* dst, size_t n);
  // A string in any of its length forms; 16-bit strings are converted to Windows-1252.
  std::string ReadString();
  // A string whose bytes are stored shifted (see ShiftText).
  std::string ReadScrambledString();
  // n raw bytes; n is checked against the bytes left before anything is allocated.
  DataBlock ReadBlock(uint64_t n);
  // A block stored shifted, restored while it is read (chunk by chunk, still in cache).
  DataBlock ReadScrambledBlock(uint64_t n);

  [[noreturn]] void Fail(ArchiveError::Cause cause, const std::string& what) const;
  [[noreturn]] void FailAt(ArchiveError::Cause cause, uint64_t offset,
                           const std::string& what) const;

 private:
  uint64_t ReadLengthPrefix(bool& wide);

  sys::BoundedReader reader_;
  float version_ = 0.0f;
};

}  // namespace scene
