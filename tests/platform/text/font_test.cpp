#include "platform/text/font.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text/char_set_decoder.h"

namespace text {
namespace {

LOGFONT Lf(const char* face, int32_t height = -20, uint8_t pitchAndFamily = 0) {
  LOGFONT lf;
  lf.lfFaceName = face;
  lf.lfHeight = height;
  lf.lfPitchAndFamily = pitchAndFamily;
  return lf;
}

TEST(FontTest, WindowsFacesAndMissingFacesResolveToFreeFaces) {
  struct Case {
    const char* face;
    uint8_t pitchAndFamily;
    const char* family;
  } cases[] = {
      {"Arial", 0, "Liberation Sans"},
      {"arial ", 0, "Liberation Sans"},
      {"Times New Roman", 0, "Liberation Serif"},
      {"Courier New", 0, "Liberation Mono"},
      {"MS Sans Serif", 0, "Liberation Sans"},
      {"MS Shell Dlg", 0, "Liberation Sans"},
      {"DejaVu Serif", 0, "DejaVu Serif"},
      {"No Such Face 123", 0, "Liberation Sans"},
      {"No Such Face 123", FF_ROMAN, "Liberation Serif"},
      {"No Such Face 123", FIXED_PITCH | FF_SWISS, "Liberation Mono"},
      {"", FF_MODERN, "Liberation Mono"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.face);
    auto font = Font::Create(Lf(c.face, -20, c.pitchAndFamily));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Family(), c.family);
    EXPECT_FALSE(font->File().empty());
    EXPECT_GT(font->Metrics().tmHeight, 0);
  }
}

TEST(FontTest, HeightsFollowWindowsSizing) {
  for (const char* face : {"Arial", "Times New Roman", "Courier New", "DejaVu Sans"}) {
    for (int32_t h : {8, 11, 13, 24, 40, 97}) {
      SCOPED_TRACE(std::string(face) + " " + std::to_string(h));
      // Negative: the character (em) height, the cell adds the internal leading.
      const TEXTMETRIC em = Font::Create(Lf(face, -h))->Metrics();
      EXPECT_EQ(em.tmHeight - em.tmInternalLeading, h);
      EXPECT_EQ(em.tmHeight, em.tmAscent + em.tmDescent);
      // Positive: the cell height.
      const TEXTMETRIC cell = Font::Create(Lf(face, h))->Metrics();
      EXPECT_NEAR(cell.tmHeight, h, 1);
      EXPECT_LE(cell.tmAveCharWidth, cell.tmMaxCharWidth);
    }
  }
  // 0 is a default size, huge sizes are bounded.
  EXPECT_GT(Font::Create(Lf("Arial", 0))->Metrics().tmHeight, 8);
  EXPECT_LE(Font::Create(Lf("Arial", INT32_MIN))->Metrics().tmHeight, 2 * 4096);
}

TEST(FontTest, WidthSetsTheAverageCharacterWidth) {
  for (int32_t w : {4, 10, 30}) {
    LOGFONT lf = Lf("Arial", -24);
    lf.lfWidth = w;
    EXPECT_NEAR(Font::Create(lf)->Metrics().tmAveCharWidth, w, 1) << w;
  }
}

TEST(FontTest, EqualLogFontsShareOneFont) {
  EXPECT_EQ(Font::Create(Lf("Arial")), Font::Create(Lf("Arial")));
  EXPECT_NE(Font::Create(Lf("Arial")), Font::Create(Lf("Arial", -21)));
}

TEST(CharSetDecoderTest, EveryCharSetDecodesItsCodePage) {
  struct Case {
    uint8_t charSet;
    int codePage;
    std::string bytes;
    std::u32string expected;
  } cases[] = {
      {ANSI_CHARSET, 1252,
       "Gr\xFC\xDF"
       "e \x80",
       U"Grüße €"},
      {DEFAULT_CHARSET, 1252, "\xE9", U"é"},
      {RUSSIAN_CHARSET, 1251, "\xCF\xF0\xE8\xE2\xE5\xF2", U"Привет"},
      {EASTEUROPE_CHARSET, 1250, "\x8A\xB9", U"Šą"},
      {GREEK_CHARSET, 1253, "\xC1\xE2", U"Αβ"},
      {TURKISH_CHARSET, 1254, "\xD0\xFD", U"Ğı"},
      {HEBREW_CHARSET, 1255, "\xE0\xE1", U"אב"},
      {ARABIC_CHARSET, 1256, "\xC7", U"ا"},
      {BALTIC_CHARSET, 1257, "\xC0", U"Ą"},
      {THAI_CHARSET, 874, "\xA1", U"ก"},
      {OEM_CHARSET, 437, "\x82\xC4", U"é─"},
      {SHIFTJIS_CHARSET, 932,
       "\x82\xA0"
       "a",
       U"あa"},
      {GB2312_CHARSET, 936, "\xC4\xE3", U"你"},
      {HANGUL_CHARSET, 949, "\xB0\xA1", U"가"},
      {CHINESEBIG5_CHARSET, 950, "\xA4\x40", U"一"},
      {SYMBOL_CHARSET, 0, "A\xB7", U"A\u00B7"},
      // Bytes the code page leaves undefined, a lead byte without its trail byte, a lead
      // byte followed by a byte that cannot trail it: each is one missing glyph.
      {ANSI_CHARSET,
       1252,
       "a\x81"
       "b",
       {U'a', kMissingChar, U'b'}},
      {RUSSIAN_CHARSET, 1251, "\x98", {kMissingChar}},
      {SHIFTJIS_CHARSET, 932, "a\x82", {U'a', kMissingChar}},
      {SHIFTJIS_CHARSET,
       932,
       "\x82\x20"
       "b",
       {kMissingChar, U' ', U'b'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(CodePageOf(c.charSet), c.codePage);
    EXPECT_EQ(CharSetDecoder(c.codePage).Decode(c.bytes), c.expected);
  }
}

}  // namespace
}  // namespace text
