#pragma once
// Windows-1252, the player's 8-bit code page: archives may store texts in 16-bit
// characters, and texts leave the player as UTF-8 (terminal, JSON).

#include <cstdint>
#include <span>
#include <string>

namespace scene {

// UTF-16 (little-endian units) to Windows-1252; characters without a mapping become '?'.
// A surrogate pair is one character.
std::string Utf16ToWindows1252(std::span<const char16_t> units);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined pass through as the
// C1 control characters of the same value, so the conversion is lossless.
std::string Windows1252ToUtf8(const std::string& text);

}  // namespace scene
