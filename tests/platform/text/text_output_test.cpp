#include "platform/text/text_output.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <set>
#include <string>

namespace text {
namespace {

constexpr gfx::COLORREF kRed = gfx::RGB(255, 0, 0);
constexpr gfx::COLORREF kBlue = gfx::RGB(0, 0, 255);
constexpr gfx::COLORREF kWhite = gfx::RGB(255, 255, 255);

std::shared_ptr<const Font> MakeFont(const char* face, int32_t height, uint8_t quality = 3,
                                     uint8_t charSet = 0) {
  LOGFONT lf;
  lf.lfFaceName = face;
  lf.lfHeight = height;
  lf.lfQuality = quality;
  lf.lfCharSet = charSet;
  return Font::Create(lf);
}

std::set<gfx::Pixel> Colours(const gfx::Surface& s, gfx::Rect r) {
  std::set<gfx::Pixel> out;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) out.insert(s.At(x, y));
  return out;
}

// Bounding box of pixels that are not `background`.
gfx::Rect Ink(const gfx::Surface& s, gfx::Pixel background) {
  gfx::Rect r{s.Width(), s.Height(), 0, 0};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.At(x, y) != background) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  return r.IsEmpty() ? gfx::Rect{} : r;
}

TEST(TextOutputTest, ExtentsAddTheAdvancesAndIgnoreControlCharacters) {
  auto font = MakeFont("Arial", -24);
  const SIZE a = GetTextExtentPoint32(*font, "Wa");
  const SIZE b = GetTextExtentPoint32(*font, "ve");
  EXPECT_EQ(GetTextExtentPoint32(*font, "Wave").cx, a.cx + b.cx);
  EXPECT_EQ(a.cy, font->Metrics().tmHeight);
  EXPECT_EQ(GetTextExtentPoint32(*font, "Wa\r\x01").cx, a.cx);
  EXPECT_EQ(GetTextExtentPoint32(*font, "").cx, 0);
  // A byte the code page does not map still takes the missing glyph's room.
  EXPECT_GT(GetTextExtentPoint32(*font, "\x81").cx, 0);
  // Bold and a wider font take more room.
  LOGFONT bold;
  bold.lfFaceName = "Arial";
  bold.lfHeight = -24;
  bold.lfWeight = FW_BOLD;
  EXPECT_GT(GetTextExtentPoint32(*Font::Create(bold), "Wave").cx, a.cx + b.cx);
}

TEST(TextOutputTest, BackgroundModesAndQualities) {
  struct Case {
    int bkMode;
    uint8_t quality;
  } cases[] = {{gfx::OPAQUE, 3}, {gfx::TRANSPARENT, 3}, {gfx::OPAQUE, 0}, {gfx::TRANSPARENT, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bkMode) + " q" + std::to_string(c.quality));
    auto font = MakeFont("Liberation Serif", -30, c.quality);
    gfx::Surface s(200, 60, gfx::PixelFromColorRef(kRed));
    gfx::Canvas dc(s);
    dc.SetBkMode(c.bkMode);
    dc.SetBkColor(kWhite);
    dc.SetTextColor(kBlue);
    TextOut(dc, *font, 10, 5, "Hog");
    const SIZE ext = GetTextExtentPoint32(*font, "Hog");
    const gfx::Rect cell{10, 5, 10 + ext.cx, 5 + ext.cy};
    const std::set<gfx::Pixel> inCell = Colours(s, cell);
    EXPECT_TRUE(inCell.count(gfx::PixelFromColorRef(kBlue)));
    if (c.quality == 3) {
      // Monochrome: nothing but ink and the background (the cell's or the old one).
      const gfx::Pixel back = gfx::PixelFromColorRef(c.bkMode == gfx::OPAQUE ? kWhite : kRed);
      EXPECT_EQ(inCell, (std::set<gfx::Pixel>{gfx::PixelFromColorRef(kBlue), back}));
    } else {
      EXPECT_GT(inCell.size(), 2u);
    }
    // Outside the cell only the glyphs' overhang may have changed, never a fill.
    EXPECT_EQ(Colours(s, {0, 0, 200, 4}), std::set<gfx::Pixel>{gfx::PixelFromColorRef(kRed)});
    EXPECT_EQ(Colours(s, {cell.right + 2, 0, 200, 60}),
              std::set<gfx::Pixel>{gfx::PixelFromColorRef(kRed)});
    EXPECT_EQ(dc.TakeDirty().IsEmpty(), false);
  }
}

// The glyph FreeType itself renders for a code point, from the font's own file at its size.
std::vector<uint8_t> ReferenceGlyph(const Font& font, char32_t c, int ppem, int& w, int& h) {
  FT_Library lib;
  FT_Face face;
  EXPECT_EQ(FT_Init_FreeType(&lib), 0);
  EXPECT_EQ(FT_New_Face(lib, font.File().c_str(), 0, &face), 0);
  FT_Set_Pixel_Sizes(face, 0, ppem);
  FT_Load_Char(face, c, FT_LOAD_TARGET_MONO | FT_LOAD_RENDER);
  const FT_Bitmap& bm = face->glyph->bitmap;
  w = static_cast<int>(bm.width);
  h = static_cast<int>(bm.rows);
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back((bm.buffer[y * bm.pitch + x / 8] >> (7 - x % 8)) & 1);
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return out;
}

TEST(TextOutputTest, CodePageBytesDrawTheirOwnGlyphs) {
  // The same byte is a Cyrillic letter in 1251 and a Latin one in 1252; each must come
  // out as FreeType draws that letter.
  struct Case {
    uint8_t charSet;
    const char* byte;
    char32_t letter;
  } cases[] = {{204, "\xC6", U'Ж'}, {0, "\xC6", U'Æ'}, {161, "\xD3", U'Σ'}, {238, "\xD8", U'Ř'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.charSet));
    auto font = MakeFont("Arial", -32, 3, c.charSet);
    gfx::Surface s(64, 64, 0xFFFFFF);
    gfx::Canvas dc(s);
    dc.SetBkMode(gfx::TRANSPARENT);
    TextOut(dc, *font, 8, 8, c.byte);
    const gfx::Rect ink = Ink(s, 0xFFFFFF);
    int w = 0, h = 0;
    const std::vector<uint8_t> ref = ReferenceGlyph(*font, c.letter, 32, w, h);
    ASSERT_EQ(ink.Width(), w);
    ASSERT_EQ(ink.Height(), h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(s.At(ink.left + x, ink.top + y) == 0, ref[y * w + x] == 1) << x << "," << y;
  }
}

TEST(TextOutputTest, DrawTextBreaksAtLineFeedsAndCrLf) {
  auto font = MakeFont("Arial", -16);
  const int lh = font->Metrics().tmHeight;
  const int wide = GetTextExtentPoint32(*font, "a wide line").cx;
  const int narrow = GetTextExtentPoint32(*font, "ab").cx;
  struct Case {
    std::string text;
    int width, lines;
  } cases[] = {
      {"ab", narrow, 1},
      {"ab\r\na wide line", wide, 2},
      {"a wide line\nab", wide, 2},
      {"ab\r\n", narrow, 2},
      {"\r\n\r\n", 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    gfx::Surface s(300, 100, 0xFFFFFF);
    gfx::Canvas dc(s);
    gfx::Rect r{5, 7, 5, 7};
    EXPECT_EQ(DrawText(dc, *font, c.text, r, DT_CALCRECT), c.lines * lh);
    EXPECT_EQ(r, (gfx::Rect{5, 7, 5 + c.width, 7 + c.lines * lh}));
    EXPECT_TRUE(dc.TakeDirty().IsEmpty());  // measuring draws nothing
    dc.SetBkMode(gfx::TRANSPARENT);
    DrawText(dc, *font, c.text, r);
    const gfx::Rect ink = Ink(s, 0xFFFFFF);
    // Ink stays inside the rectangle, and the last line with letters is drawn.
    if (c.width > 0) {
      EXPECT_EQ(gfx::Intersect(ink, r), ink);
      EXPECT_GT(ink.bottom, r.top + (c.text.find('\n') < 3 ? lh : 0));
    } else {
      EXPECT_TRUE(ink.IsEmpty());
    }
  }
}

TEST(TextOutputTest, AlignmentUnderlineStrikeoutAndClipping) {
  LOGFONT lf;
  lf.lfFaceName = "Arial";
  lf.lfHeight = -20;
  lf.lfQuality = 3;
  auto plain = Font::Create(lf);
  lf.lfUnderline = 1;
  auto underlined = Font::Create(lf);
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 1;
  auto struck = Font::Create(lf);
  const SIZE ext = GetTextExtentPoint32(*plain, "xx");

  // Centred: the cell straddles x.
  gfx::Surface s(200, 50, 0xFFFFFF);
  gfx::Canvas dc(s);
  dc.SetBkColor(kRed);
  TextOut(dc, *plain, 100, 10, "xx", TA_CENTER | TA_TOP);
  EXPECT_EQ(Ink(s, 0xFFFFFF),
            (gfx::Rect{100 - ext.cx / 2, 10, 100 - ext.cx / 2 + ext.cx, 10 + ext.cy}));

  // A rule runs the whole width through the cell: below the baseline for the underline,
  // above it for the strikeout.
  for (const auto& [font, below] : {std::pair{underlined, true}, std::pair{struck, false}}) {
    gfx::Surface t(100, 50, 0xFFFFFF);
    gfx::Canvas tc(t);
    tc.SetBkMode(gfx::TRANSPARENT);
    TextOut(tc, *font, 0, 0, "  ");  // spaces: only the rule has ink
    const gfx::Rect ink = Ink(t, 0xFFFFFF);
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.right, GetTextExtentPoint32(*font, "  ").cx);
    EXPECT_EQ(ink.top >= font->Metrics().tmAscent, below);
  }

  // Text partly or wholly outside the surface is cut, never written out of bounds.
  for (int x : {-1000, -15, 190, 5000})
    for (int y : {-1000, -10, 45, 5000}) TextOut(dc, *plain, x, y, "Clipped text");
  gfx::Rect r{-50, -50, 30, 30};
  DrawText(dc, *plain, "one\r\ntwo\r\nthree", r);
}

}  // namespace
}  // namespace text
