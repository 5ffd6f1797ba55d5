#pragma once
// The primitives of a project archive, written: little-endian integers and floats,
// length-prefixed strings in their three length forms (or the 16-bit character form), raw
// blocks, and the scrambling the player undoes when it reads a field back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sys/code_page.h"

namespace scenepack {

// Lowers every byte of a field of n bytes by (n mod 11) + 3, modulo 256.
void Scramble(std::span<uint8_t> bytes);
std::vector<uint8_t> Scrambled(std::string_view bytes);

// Manifests are UTF-8, archives Windows-1252.
using sys::Cp1252ToUtf16;
using sys::Cp1252ToUtf8;
using sys::Utf8ToCp1252;

class ArchiveWriter {
 public:
  // wideStrings: every string goes out in the 16-bit character form.
  explicit ArchiveWriter(bool wideStrings = false) : wide_(wideStrings) {}

  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v);
  void U32(uint32_t v);
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v);
  void Bytes(std::span<const uint8_t> bytes);
  // A string of Windows-1252 bytes, as they are.
  void String(std::string_view bytes);
  // A string whose bytes are stored lowered (the reader raises them by its length).
  void ScrambledString(std::string_view bytes);
  void ScrambledBlock(std::span<const uint8_t> bytes);

  const std::vector<uint8_t>& bytes() const { return out_; }
  std::vector<uint8_t> Take() { return std::move(out_); }
  size_t size() const { return out_.size(); }

 private:
  void LengthPrefix(uint64_t n);

  bool wide_;
  std::vector<uint8_t> out_;
};

}  // namespace scenepack
