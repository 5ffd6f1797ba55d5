#include "scenepack/archive_writer.h"

#include <cstring>
#include <stdexcept>

namespace scenepack {

void Scramble(std::span<uint8_t> bytes) {
  const auto shift = static_cast<uint8_t>(bytes.size() % 11 + 3);
  for (auto& b : bytes) b = static_cast<uint8_t>(b - shift);
}

std::vector<uint8_t> Scrambled(std::string_view bytes) {
  std::vector<uint8_t> out(bytes.begin(), bytes.end());
  Scramble(out);
  return out;
}

void ArchiveWriter::U16(uint16_t v) {
  out_.push_back(static_cast<uint8_t>(v));
  out_.push_back(static_cast<uint8_t>(v >> 8));
}

void ArchiveWriter::U32(uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ArchiveWriter::F32(float v) {
  uint32_t bits;
  static_assert(sizeof bits == sizeof v);
  std::memcpy(&bits, &v, sizeof bits);
  U32(bits);
}

void ArchiveWriter::Bytes(std::span<const uint8_t> bytes) {
  out_.insert(out_.end(), bytes.begin(), bytes.end());
}

void ArchiveWriter::LengthPrefix(uint64_t n) {
  if (n > UINT32_MAX) throw std::length_error("string longer than 4 GiB");
  if (n < 0xFF) {
    U8(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {
    U8(0xFF);
    U16(static_cast<uint16_t>(n));
  } else {
    U8(0xFF);
    U16(0xFFFF);
    U32(static_cast<uint32_t>(n));
  }
}

void ArchiveWriter::String(std::string_view bytes) {
  if (!wide_) {
    LengthPrefix(bytes.size());
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return;
  }
  U8(0xFF);
  U16(0xFFFE);
  LengthPrefix(bytes.size());
  for (char ch : bytes) U16(Cp1252ToUtf16(static_cast<uint8_t>(ch)));
}

void ArchiveWriter::ScrambledString(std::string_view bytes) {
  const auto lowered = Scrambled(bytes);
  String(std::string_view(reinterpret_cast<const char*>(lowered.data()), lowered.size()));
}

void ArchiveWriter::ScrambledBlock(std::span<const uint8_t> bytes) {
  const size_t at = out_.size();
  Bytes(bytes);
  Scramble(std::span<uint8_t>(out_).subspan(at));
}

}  // namespace scenepack
