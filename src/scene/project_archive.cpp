#include "scene/project_archive.h"

#include <algorithm>
#include <vector>

#include "platform/sys/code_page.h"
#include "scene/shift_text.h"

namespace scene {
namespace {

// Runs a reader call and turns its failures into archive errors.
template <typename F>
auto Guard(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const sys::ReadError& e) {
    if (e.kind() == sys::ReadError::Kind::EndOfData) {
      throw ArchiveError(ArchiveError::Cause::EndOfFile, e.offset(), "unexpected end of archive");
    }
    throw ArchiveError(ArchiveError::Cause::ReadFailure, e.offset(), "read failure");
  }
}

}  // namespace

ProjectArchive::ProjectArchive(sys::ByteSource& source, uint64_t begin, uint64_t end)
    : reader_(source, begin, end) {}

int32_t ProjectArchive::ReadInt32() {
  return Guard([&] { return reader_.I32LE(); });
}
uint32_t ProjectArchive::ReadUInt32() {
  return Guard([&] { return reader_.U32LE(); });
}
uint16_t ProjectArchive::ReadUInt16() {
  return Guard([&] { return reader_.U16LE(); });
}
uint8_t ProjectArchive::ReadByte() {
  return Guard([&] { return reader_.U8(); });
}
float ProjectArchive::ReadFloat() {
  return Guard([&] { return reader_.F32LE(); });
}
void ProjectArchive::Read(void* dst, size_t n) {
  Guard([&] { reader_.Read(dst, n); });
}

void ProjectArchive::Fail(ArchiveError::Cause cause, const std::string& what) const {
  throw ArchiveError(cause, reader_.Position(), what);
}
void ProjectArchive::FailAt(ArchiveError::Cause cause, uint64_t offset,
                            const std::string& what) const {
  throw ArchiveError(cause, offset, what);
}

uint64_t ProjectArchive::ReadLengthPrefix(bool& wide) {
  wide = false;
  uint8_t b = ReadByte();
  if (b < 0xFF) return b;
  uint16_t w = ReadUInt16();
  if (w == 0xFFFE) {
    // 16-bit characters: a second prefix follows. A second 0xFFFE is an ordinary length,
    // so the prefix cannot nest.
    wide = true;
    b = ReadByte();
    if (b < 0xFF) return b;
    w = ReadUInt16();
  }
  if (w < 0xFFFF) return w;
  return ReadUInt32();
}

std::string ProjectArchive::ReadString() {
  const uint64_t start = Position();
  bool wide = false;
  uint64_t length = ReadLengthPrefix(wide);
  const uint64_t bytes = wide ? length * 2 : length;  // length < 2^32: no overflow
  if (bytes > Remaining()) {
    FailAt(ArchiveError::Cause::EndOfFile, start,
           "string of " + std::to_string(bytes) + " bytes longer than the archive");
  }
  if (!wide) {
    std::string text(static_cast<size_t>(length), '\0');
    if (length) Read(text.data(), text.size());
    return text;
  }
  std::vector<uint8_t> raw(static_cast<size_t>(bytes));
  if (bytes) Read(raw.data(), raw.size());
  std::vector<char16_t> units(static_cast<size_t>(length));
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  }
  return sys::Utf16ToCp1252(units);
}

std::string ProjectArchive::ReadScrambledString() {
  std::string text = ReadString();
  ShiftText(text.data(), text.size(), true);
  return text;
}

DataBlock ProjectArchive::ReadScrambledBlock(uint64_t n) {
  if (n > Remaining()) {
    Fail(ArchiveError::Cause::EndOfFile,
         "block of " + std::to_string(n) + " bytes longer than the archive");
  }
  DataBlock block = DataBlock::Allocate(static_cast<size_t>(n));
  if (n == 0) return block;
  // The shift depends on the whole length; undo it on each chunk right after reading it.
  const auto d = static_cast<uint8_t>(block.size % 11 + 3);
  constexpr size_t kChunk = 512 * 1024;
  for (size_t done = 0; done < block.size;) {
    const size_t take = std::min(kChunk, block.size - done);
    uint8_t* p = block.bytes.get() + done;
    Read(p, take);
    for (size_t i = 0; i < take; ++i) p[i] = static_cast<uint8_t>(p[i] + d);
    done += take;
  }
  return block;
}

DataBlock ProjectArchive::ReadBlock(uint64_t n) {
  if (n > Remaining()) {
    Fail(ArchiveError::Cause::EndOfFile,
         "block of " + std::to_string(n) + " bytes longer than the archive");
  }
  // Not value-initialised: the read overwrites every byte.
  DataBlock block = DataBlock::Allocate(static_cast<size_t>(n));
  if (n) Read(block.bytes.get(), block.size);
  return block;
}

}  // namespace scene
