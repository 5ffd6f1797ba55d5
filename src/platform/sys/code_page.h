#pragma once
// Windows-1252, the player's 8-bit code page, to and from the Unicode forms: archives may
// store texts in 16-bit characters, texts leave the player as UTF-8 (terminal, JSON, SDL)
// and scenepack reads them as UTF-8 from its manifests.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sys {

// The UTF-16 unit a byte stands for. The five bytes the code page leaves undefined stand
// for the C1 control characters of the same value, so text survives the round trip.
char16_t Cp1252ToUtf16(unsigned char byte);

// How a byte the code page leaves undefined is written: as its C1 control character
// (lossless, for data) or as U+FFFD (for text a person reads).
enum class Undefined { kKeepAsC1, kReplace };
std::string Cp1252ToUtf8(std::string_view cp1252, Undefined undefined = Undefined::kKeepAsC1);

// UTF-16 (little-endian units) to Windows-1252; characters without a byte become '?'.
// A surrogate pair is one character.
std::string Utf16ToCp1252(std::span<const char16_t> units);

// Strict UTF-8 to Windows-1252: nullopt when the text is not valid UTF-8 or holds a
// character the code page cannot store (the C1 controls included).
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

void AppendUtf8(std::string& out, char32_t c);

}  // namespace sys
