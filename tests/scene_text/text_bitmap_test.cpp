#include "scene/text_bitmap.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/text/text_output.h"
#include "scene/items.h"

namespace scene {
namespace {

std::shared_ptr<const text::Font> Arial16() {
  text::LOGFONT lf;
  lf.lfFaceName = "Arial";
  lf.lfHeight = -16;
  lf.lfQuality = text::NONANTIALIASED_QUALITY;
  return text::Font::Create(lf);
}

int Width(const text::Font& font, const char* s) { return text::GetTextExtentPoint32(font, s).cx; }

TEST(TextMeasureTest, LinesAndWidths) {
  auto font = Arial16();
  const int lh = text::GetTextExtentPoint32(*font, "W").cy;
  const int longer = Width(*font, "a longer line"), ab = Width(*font, "ab");
  struct Case {
    const char* text;
    bool ok;
    gfx::Rect rect;
  } cases[] = {
      {"ab", true, {0, 0, ab, lh}},
      {"ab\r\na longer line", true, {0, 0, longer, 2 * lh}},
      {"a longer line\r\nab", true, {0, 0, longer, 2 * lh}},
      // A bare LF ends its line with every letter measured.
      {"a longer line\nab", true, {0, 0, longer, 2 * lh}},
      {"ab\n", true, {0, 0, ab, 2 * lh}},
      {"ab\r\n", true, {0, 0, ab, 2 * lh}},
      {"ab\r\n\r\n\r\n", true, {0, 0, ab, 4 * lh}},
      {"", false, {0, 0, 0, lh}},
      {"\r\n", false, {0, 0, 0, 2 * lh}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    gfx::Rect r{9, 9, 9, 9};
    EXPECT_EQ(TextMeasure(*font, c.text, r), c.ok);
    EXPECT_EQ(r, c.rect);
  }
}

std::unique_ptr<PictureItem> TextPicture(const char* text, int32_t opaque,
                                         gfx::COLORREF ink = gfx::RGB(200, 0, 0)) {
  auto p = std::make_unique<PictureItem>();
  p->source = 1;
  p->text = text;
  p->textOpaque = opaque;
  p->textColor = ink;
  p->backColor = gfx::RGB(0, 0, 90);
  p->font.height = -24;
  p->font.quality = 4;  // asks for smoothing; text bitmaps are monochrome anyway
  return p;
}

std::set<gfx::Pixel> Colours(const gfx::Surface& s) {
  std::set<gfx::Pixel> out;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) out.insert(s.At(x, y));
  return out;
}

TEST(TextBitmapTest, BitmapsHoldTextAndBackgroundOnly) {
  struct Case {
    int32_t opaque;
    gfx::COLORREF ink;
    gfx::COLORREF background;
  } cases[] = {
      {1, gfx::RGB(200, 0, 0), gfx::RGB(0, 0, 90)},
      {0, gfx::RGB(200, 0, 0), kSystemWindowColor},
      // White text on the window colour would vanish when drawn transparently.
      {0, kSystemWindowColor, kSystemWindowColor ^ 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opaque);
    auto pPtr = TextPicture("Hello\r\nWorld!", c.opaque, c.ink);
    PictureItem& p = *pPtr;
    ASSERT_TRUE(TextBitmap(p, ""));
    ASSERT_NE(p.bitmap, nullptr);
    gfx::Rect expected;
    ASSERT_TRUE(TextMeasure(*text::Font::Create(ToTextLogFont(p.font)), p.text, expected));
    EXPECT_EQ(p.bitmap->Width(), expected.Width());
    EXPECT_EQ(p.bitmap->Height(), expected.Height());
    EXPECT_EQ(p.font.quality, 7);  // quality 3 was OR-ed into the stored font
    EXPECT_EQ(Colours(*p.bitmap), (std::set<gfx::Pixel>{gfx::PixelFromColorRef(c.ink),
                                                        gfx::PixelFromColorRef(c.background)}));
    if (!c.opaque) {
      EXPECT_EQ(TransparentKey(p), c.background);
    }
    // A prefix makes a smaller bitmap.
    ASSERT_TRUE(TextBitmap(p, "He"));
    EXPECT_LT(p.bitmap->Width(), expected.Width());
  }
  auto emptyPtr = TextPicture("", 1);
  PictureItem& empty = *emptyPtr;
  EXPECT_FALSE(TextBitmap(empty, ""));
  EXPECT_EQ(empty.bitmap, nullptr);
  auto breaksPtr = TextPicture("\r\n\r\n", 1);
  PictureItem& breaks = *breaksPtr;
  EXPECT_FALSE(TextBitmap(breaks, ""));
  // A stored font far too large for a bitmap fails instead of allocating gigabytes.
  auto hugePtr = TextPicture("A very long line of huge letters", 1);
  PictureItem& huge = *hugePtr;
  huge.font.height = -30000;
  EXPECT_FALSE(TextBitmap(huge, ""));
}

TEST(TextBitmapTest, TransparentTextKeepsThePictureWhereItHasNoInk) {
  for (gfx::COLORREF ink : {gfx::RGB(200, 0, 0), kSystemWindowColor, gfx::RGB(0, 0, 0)}) {
    SCOPED_TRACE(ink);
    auto pPtr = TextPicture("Over the picture\r\ntwo lines", 0, ink);
    PictureItem& p = *pPtr;
    ASSERT_TRUE(TextBitmap(p, ""));
    gfx::Surface screen(400, 120);
    std::mt19937 rng(7);
    for (int y = 0; y < screen.Height(); ++y)
      for (int x = 0; x < screen.Width(); ++x) screen.At(x, y) = rng() & 0xFFFFFF;
    const gfx::Surface before = screen;
    gfx::Canvas dc(screen);
    const int ox = 30, oy = 20;
    MaskedDraw(dc, *p.bitmap, ox, oy, TransparentKey(p));
    int inked = 0;
    for (int y = 0; y < screen.Height(); ++y)
      for (int x = 0; x < screen.Width(); ++x) {
        const bool inside =
            x >= ox && y >= oy && x < ox + p.bitmap->Width() && y < oy + p.bitmap->Height();
        const bool ink =
            inside && p.bitmap->At(x - ox, y - oy) != gfx::PixelFromColorRef(TransparentKey(p));
        if (ink) {
          ++inked;
          ASSERT_EQ(screen.At(x, y), gfx::PixelFromColorRef(p.textColor)) << x << "," << y;
        } else {
          ASSERT_EQ(screen.At(x, y), before.At(x, y)) << x << "," << y;
        }
      }
    EXPECT_GT(inked, 100);
  }
}

TEST(TextBitmapTest, CodePageOfTheFontChoosesTheLetters) {
  // The same bytes in 1251 and 1252 are different letters and so different bitmaps; in
  // 1251 they are the letters a Cyrillic text typed in UTF-8 encodes to.
  auto cyrillicPtr = TextPicture("\xCF\xF0\xE8\xE2\xE5\xF2", 1);
  PictureItem& cyrillic = *cyrillicPtr;
  cyrillic.font.charSet = 204;
  auto latinPtr = TextPicture("\xCF\xF0\xE8\xE2\xE5\xF2", 1);
  PictureItem& latin = *latinPtr;
  ASSERT_TRUE(TextBitmap(cyrillic, ""));
  ASSERT_TRUE(TextBitmap(latin, ""));
  EXPECT_EQ(text::EncodeUtf8("Привет", 1251), cyrillic.text);
  const bool same =
      cyrillic.bitmap->Width() == latin.bitmap->Width() &&
      std::equal(cyrillic.bitmap->Data(),
                 cyrillic.bitmap->Data() + cyrillic.bitmap->Width() * cyrillic.bitmap->Height(),
                 latin.bitmap->Data());
  EXPECT_FALSE(same);
}

}  // namespace
}  // namespace scene
