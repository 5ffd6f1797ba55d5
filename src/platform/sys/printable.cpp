#include "platform/sys/printable.h"

#include <cstdio>

namespace sys {

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto escape = [&out](unsigned char c) {
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02X", c);
    out += code;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      escape(c);
      escape(static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace sys
