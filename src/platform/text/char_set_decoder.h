#pragma once
// The 8-bit text of a font's character set, turned into Unicode for the face.

#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// Character sets of a LOGFONT (lfCharSet), with their Windows values.
inline constexpr uint8_t ANSI_CHARSET = 0;
inline constexpr uint8_t DEFAULT_CHARSET = 1;
inline constexpr uint8_t SYMBOL_CHARSET = 2;
inline constexpr uint8_t MAC_CHARSET = 77;
inline constexpr uint8_t SHIFTJIS_CHARSET = 128;
inline constexpr uint8_t HANGUL_CHARSET = 129;
inline constexpr uint8_t GB2312_CHARSET = 134;
inline constexpr uint8_t CHINESEBIG5_CHARSET = 136;
inline constexpr uint8_t GREEK_CHARSET = 161;
inline constexpr uint8_t TURKISH_CHARSET = 162;
inline constexpr uint8_t VIETNAMESE_CHARSET = 163;
inline constexpr uint8_t HEBREW_CHARSET = 177;
inline constexpr uint8_t ARABIC_CHARSET = 178;
inline constexpr uint8_t BALTIC_CHARSET = 186;
inline constexpr uint8_t RUSSIAN_CHARSET = 204;
inline constexpr uint8_t THAI_CHARSET = 222;
inline constexpr uint8_t EASTEUROPE_CHARSET = 238;
inline constexpr uint8_t OEM_CHARSET = 255;

// Stands for a byte (or byte pair) that the code page does not map: drawn as the face's
// missing glyph.
inline constexpr char32_t kMissingChar = 0xFFFFFFFF;

// The Windows code page of a character set (1252 for ANSI, DEFAULT and unknown sets);
// 0 for SYMBOL, whose bytes are taken as they are.
int CodePageOf(uint8_t charSet);

// Decodes text stored in a code page. Single-byte pages go through a table made once per
// page; the double-byte ones (932, 936, 949, 950) through iconv per call.
class CharSetDecoder {
 public:
  explicit CharSetDecoder(int codePage);
  int CodePage() const { return codePage_; }
  // One code point per character; kMissingChar for what does not convert.
  std::u32string Decode(std::string_view bytes) const;

 private:
  std::u32string DecodeDoubleByte(std::string_view bytes) const;

  int codePage_;
  bool doubleByte_ = false;
  const char32_t* table_ = nullptr;  // 256 entries for single-byte pages
};

// UTF-8 text in a code page: the way text typed on this system is stored for a font of
// that page. A character the page lacks becomes '?' and clears *exact.
std::string EncodeUtf8(std::string_view utf8, int codePage, bool* exact = nullptr);

// A code page's name for iconv.
const char* IconvName(int codePage);

}  // namespace text
