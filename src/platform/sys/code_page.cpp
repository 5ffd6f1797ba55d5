#include "platform/sys/code_page.h"

#include <array>

namespace sys {
namespace {

// Code points of the bytes 0x80 to 0x9F; zero marks the undefined ones.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsUndefined(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 && !kHigh[byte - 0x80]; }

// The byte of a code point the code page can store, or -1.
int ByteOf(char32_t c, bool acceptC1) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  if (c >= 0x80 && c < 0xA0) return acceptC1 && IsUndefined(static_cast<unsigned char>(c)) ? c : -1;
  for (size_t k = 0; k < kHigh.size(); ++k)
    if (kHigh[k] != 0 && kHigh[k] == c) return static_cast<int>(0x80 + k);
  return -1;
}

}  // namespace

char16_t Cp1252ToUtf16(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0 && kHigh[byte - 0x80] != 0) return kHigh[byte - 0x80];
  return byte;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Cp1252ToUtf8(std::string_view cp1252, Undefined undefined) {
  std::string out;
  out.reserve(cp1252.size());
  for (char ch : cp1252) {
    const auto byte = static_cast<unsigned char>(ch);
    AppendUtf8(out, undefined == Undefined::kReplace && IsUndefined(byte) ? char16_t{0xFFFD}
                                                                          : Cp1252ToUtf16(byte));
  }
  return out;
}

std::string Utf16ToCp1252(std::span<const char16_t> units) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;  // outside the code page either way
      out += '?';
      continue;
    }
    const int byte = ByteOf(u, true);
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    char32_t c;
    size_t len;
    if (b0 < 0x80) {
      c = b0, len = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = b0 & 0x1F, len = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      c = b0 & 0x0F, len = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      c = b0 & 0x07, len = 4;
    } else {
      return std::nullopt;
    }
    if (i + len > utf8.size()) return std::nullopt;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[len]) return std::nullopt;  // overlong form
    i += len;
    // Only characters that round-trip: the C1 controls stay unassigned here.
    const int byte = ByteOf(c, false);
    if (byte < 0) return std::nullopt;
    out += static_cast<char>(byte);
  }
  return out;
}

}  // namespace sys
