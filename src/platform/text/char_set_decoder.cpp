#include "platform/text/char_set_decoder.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

namespace text {
namespace {

using Table = std::array<char32_t, 256>;

bool IsDoubleByte(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

class Iconv {
 public:
  explicit Iconv(int codePage) : cd_(iconv_open("UTF-32LE", IconvName(codePage))) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of in as forms whole characters; returns the number of code points
  // written to out (at most outCount), advancing in and inLeft. errno tells why it stopped.
  size_t Convert(const char*& in, size_t& inLeft, char32_t* out, size_t outCount) {
    char* inPtr = const_cast<char*>(in);
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = outCount * sizeof(char32_t);
    errno = 0;
    iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
    in = inPtr;
    // Some pages (1255, 1258) hold a base letter back for a combining mark that may
    // follow; at the end of the input it is let out.
    if (inLeft == 0 && errno == 0) iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    return outCount - outLeft / sizeof(char32_t);
  }
  void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t cd_;
};

char32_t FromLittleEndian(char32_t c) {
  const auto* b = reinterpret_cast<const unsigned char*>(&c);
  return static_cast<char32_t>(b[0]) | (static_cast<char32_t>(b[1]) << 8) |
         (static_cast<char32_t>(b[2]) << 16) | (static_cast<char32_t>(b[3]) << 24);
}

std::unique_ptr<Table> MakeTable(int codePage) {
  auto table = std::make_unique<Table>();
  if (codePage == 0) {
    for (int b = 0; b < 256; ++b) (*table)[b] = static_cast<char32_t>(b);
    return table;
  }
  Iconv cd(codePage);
  for (int b = 0; b < 256; ++b) {
    char32_t cp = kMissingChar;
    if (cd.ok()) {
      const char byte = static_cast<char>(b);
      const char* in = &byte;
      size_t inLeft = 1;
      char32_t out = 0;
      cd.Reset();
      if (cd.Convert(in, inLeft, &out, 1) == 1) cp = FromLittleEndian(out);
    } else if (b < 0x80) {
      cp = static_cast<char32_t>(b);  // without iconv at least ASCII stands
    }
    (*table)[b] = cp;
  }
  return table;
}

const char32_t* TableFor(int codePage) {
  static std::mutex mutex;
  static std::map<int, std::unique_ptr<Table>> tables;
  std::lock_guard lock(mutex);
  std::unique_ptr<Table>& slot = tables[codePage];
  if (!slot) slot = MakeTable(codePage);
  return slot->data();
}

}  // namespace

int CodePageOf(uint8_t charSet) {
  switch (charSet) {
    case SYMBOL_CHARSET:
      return 0;
    case MAC_CHARSET:
      return 10000;
    case SHIFTJIS_CHARSET:
      return 932;
    case HANGUL_CHARSET:
      return 949;
    case GB2312_CHARSET:
      return 936;
    case CHINESEBIG5_CHARSET:
      return 950;
    case GREEK_CHARSET:
      return 1253;
    case TURKISH_CHARSET:
      return 1254;
    case VIETNAMESE_CHARSET:
      return 1258;
    case HEBREW_CHARSET:
      return 1255;
    case ARABIC_CHARSET:
      return 1256;
    case BALTIC_CHARSET:
      return 1257;
    case RUSSIAN_CHARSET:
      return 1251;
    case THAI_CHARSET:
      return 874;
    case EASTEUROPE_CHARSET:
      return 1250;
    case OEM_CHARSET:
      return 437;
    default:
      return 1252;
  }
}

const char* IconvName(int codePage) {
  switch (codePage) {
    case 437:
      return "CP437";
    case 874:
      return "CP874";
    case 932:
      return "CP932";
    case 936:
      return "CP936";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    case 10000:
      return "MACINTOSH";
    default:
      return "CP1252";
  }
}

CharSetDecoder::CharSetDecoder(int codePage) : codePage_(codePage) {
  doubleByte_ = IsDoubleByte(codePage);
  if (!doubleByte_) table_ = TableFor(codePage);
}

std::u32string CharSetDecoder::Decode(std::string_view bytes) const {
  if (doubleByte_) return DecodeDoubleByte(bytes);
  std::u32string out(bytes.size(), U'\0');
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = table_[static_cast<unsigned char>(bytes[i])];
  return out;
}

std::u32string CharSetDecoder::DecodeDoubleByte(std::string_view bytes) const {
  std::u32string out;
  out.reserve(bytes.size());
  Iconv cd(codePage_);
  if (!cd.ok()) {
    for (unsigned char b : bytes) out += b < 0x80 ? static_cast<char32_t>(b) : kMissingChar;
    return out;
  }
  const char* in = bytes.data();
  size_t inLeft = bytes.size();
  char32_t buffer[256];
  while (inLeft > 0) {
    const size_t n = cd.Convert(in, inLeft, buffer, std::size(buffer));
    for (size_t i = 0; i < n; ++i) out += FromLittleEndian(buffer[i]);
    if (inLeft == 0) break;
    if (errno == E2BIG) continue;
    // EILSEQ or a lead byte cut off at the end (EINVAL): that byte is a missing glyph
    // and the next one starts afresh.
    out += kMissingChar;
    ++in;
    --inLeft;
    cd.Reset();
  }
  return out;
}

namespace {

// Code points of UTF-8 text; a malformed sequence is one U+FFFD per byte.
std::u32string DecodeUtf8(std::string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = n > 0 && i + n <= s.size();
    for (int k = 1; ok && k < n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out += U'\uFFFD';
      ++i;
      continue;
    }
    out += cp;
    i += n;
  }
  return out;
}

}  // namespace

std::string EncodeUtf8(std::string_view utf8, int codePage, bool* exact) {
  if (exact) *exact = true;
  std::string out;
  if (IsDoubleByte(codePage)) {
    iconv_t cd = iconv_open(IconvName(codePage), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      if (exact) *exact = false;
      return out;
    }
    for (char32_t cp : DecodeUtf8(utf8)) {
      // One character at a time, so a character the page lacks is just one '?'.
      char in[4], buffer[8];
      size_t n = 0;
      if (cp < 0x80) {
        in[n++] = static_cast<char>(cp);
      } else if (cp < 0x800) {
        in[n++] = static_cast<char>(0xC0 | (cp >> 6));
        in[n++] = static_cast<char>(0x80 | (cp & 0x3F));
      } else if (cp < 0x10000) {
        in[n++] = static_cast<char>(0xE0 | (cp >> 12));
        in[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        in[n++] = static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        in[n++] = static_cast<char>(0xF0 | (cp >> 18));
        in[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        in[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        in[n++] = static_cast<char>(0x80 | (cp & 0x3F));
      }
      char* inPtr = in;
      char* outPtr = buffer;
      size_t inLeft = n, outLeft = sizeof buffer;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        out += '?';
        if (exact) *exact = false;
      } else {
        out.append(buffer, sizeof buffer - outLeft);
      }
    }
    iconv_close(cd);
    return out;
  }
  const char32_t* table = TableFor(codePage);
  for (char32_t cp : DecodeUtf8(utf8)) {
    int byte = -1;
    for (int b = 0; b < 256 && byte < 0; ++b)
      if (table[b] == cp) byte = b;
    if (byte < 0) {
      out += '?';
      if (exact) *exact = false;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace text
