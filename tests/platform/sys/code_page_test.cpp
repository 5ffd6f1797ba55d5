#include "platform/sys/code_page.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// Every byte goes to UTF-8 and back unchanged; the undefined bytes only through the
// lossless form, which the strict reader refuses.
TEST(CodePage, EveryByteRoundTrips) {
  std::u16string units;
  std::string all;
  for (int i = 1; i < 256; ++i) {
    all += static_cast<char>(i);
    units += sys::Cp1252ToUtf16(static_cast<unsigned char>(i));
  }
  EXPECT_EQ(sys::Utf16ToCp1252(units), all);
  const std::string utf8 = sys::Cp1252ToUtf8(all);
  std::string defined;
  for (char c : all)
    if (c != '\x81' && c != '\x8D' && c != '\x8F' && c != '\x90' && c != '\x9D') defined += c;
  EXPECT_EQ(sys::Utf8ToCp1252(sys::Cp1252ToUtf8(defined)), defined);
  EXPECT_FALSE(sys::Utf8ToCp1252(utf8));  // holds the C1 controls
}

TEST(CodePage, Conversions) {
  struct Case {
    const char* utf8;
    std::optional<std::string> cp1252;
  };
  const Case cases[] = {
      {"abc", "abc"},
      {"\xC3\xA9\xE2\x82\xAC\xE2\x80\xA6\xC3\xBF", "\xE9\x80\x85\xFF"},  // é € … ÿ
      {"\xCE\xA9", std::nullopt},                                        // Ω
      {"\xC2\x81", std::nullopt},          // U+0081 is not a character there
      {"\xF0\x9F\x98\x80", std::nullopt},  // beyond the BMP
      {"\xC3", std::nullopt},              // cut short
      {"\xC0\xAF", std::nullopt},          // overlong
      {"\xFF", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(sys::Utf8ToCp1252(c.utf8), c.cp1252) << c.utf8;

  EXPECT_EQ(sys::Cp1252ToUtf8("A\x80\xE9\x93\x9F"), "A\u20AC\u00E9\u201C\u0178");
  EXPECT_EQ(sys::Cp1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(sys::Cp1252ToUtf8("\x81", sys::Undefined::kReplace), "\uFFFD");
  // A surrogate pair is one character the code page lacks; U+0080 is not the euro byte.
  const std::u16string pair = u"a\U0001F600b\u0080";
  EXPECT_EQ(sys::Utf16ToCp1252(pair), "a?b?");
}

}  // namespace
