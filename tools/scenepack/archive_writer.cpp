#include "scenepack/archive_writer.h"

#include <array>
#include <cstring>
#include <stdexcept>

namespace scenepack {

namespace {

// 0x80..0x9F of Windows-1252; 0 marks the five unassigned bytes.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

void Scramble(std::span<uint8_t> bytes) {
  const auto shift = static_cast<uint8_t>(bytes.size() % 11 + 3);
  for (auto& b : bytes) b = static_cast<uint8_t>(b - shift);
}

std::vector<uint8_t> Scrambled(std::string_view bytes) {
  std::vector<uint8_t> out(bytes.begin(), bytes.end());
  Scramble(out);
  return out;
}

char16_t Cp1252ToUtf16(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0 && kHigh[byte - 0x80] != 0) return kHigh[byte - 0x80];
  return byte;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  for (char ch : cp1252) AppendUtf8(out, Cp1252ToUtf16(static_cast<uint8_t>(ch)));
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<uint8_t>(utf8[i]);
    char32_t c;
    size_t len;
    if (b0 < 0x80) {
      c = b0;
      len = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = b0 & 0x1F;
      len = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      c = b0 & 0x0F;
      len = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      c = b0 & 0x07;
      len = 4;
    } else {
      return std::nullopt;
    }
    if (i + len > utf8.size()) return std::nullopt;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<uint8_t>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[len]) return std::nullopt;  // overlong form
    i += len;
    // Only characters that round-trip: the C1 controls stay unassigned here.
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    bool found = false;
    for (size_t k = 0; k < kHigh.size(); ++k) {
      if (kHigh[k] != 0 && kHigh[k] == c) {
        out += static_cast<char>(0x80 + k);
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
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
