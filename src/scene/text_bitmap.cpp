// Text pictures rendered into bitmaps, and transparent drawing of them.

#include "scene/text_bitmap.h"

#include <new>

#include "platform/text/text_output.h"
#include "scene/items.h"
#include "transitions/transition_engine.h"

namespace scene {
namespace {

// Text bitmaps are made from stored fonts and texts: a bitmap this large is not attempted.
constexpr int64_t kMaxTextPixels = int64_t{1} << 26;

}  // namespace

text::LOGFONT ToTextLogFont(const LogFont& font) {
  text::LOGFONT lf;
  lf.lfHeight = font.height;
  lf.lfWidth = font.width;
  lf.lfEscapement = font.escapement;
  lf.lfOrientation = font.orientation;
  lf.lfWeight = font.weight;
  lf.lfItalic = font.italic;
  lf.lfUnderline = font.underline;
  lf.lfStrikeOut = font.strikeOut;
  lf.lfCharSet = font.charSet;
  lf.lfOutPrecision = font.outPrecision;
  lf.lfClipPrecision = font.clipPrecision;
  lf.lfQuality = font.quality;
  lf.lfPitchAndFamily = font.pitchAndFamily;
  lf.lfFaceName = font.FaceName();
  return lf;
}

gfx::COLORREF TransparentKey(const PictureItem& picture) {
  return picture.textColor == kSystemWindowColor ? kSystemWindowColor ^ 1 : kSystemWindowColor;
}

bool TextMeasure(const text::Font& font, std::string_view text, gfx::Rect& rectOut) {
  int lines = 1, widest = 0;
  size_t start = 0;
  auto measure = [&](size_t from, size_t to) {
    widest = std::max(widest, text::GetTextExtentPoint32(font, text.substr(from, to - from)).cx);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    ++lines;
    // A CR before the LF is not part of the line; a bare LF ends the line as it is.
    measure(start, i > start && text[i - 1] == '\r' ? i - 1 : i);
    start = i + 1;
  }
  measure(start, text.size());
  const int lineHeight = text::GetTextExtentPoint32(font, "W").cy;
  rectOut = {0, 0, widest, lineHeight * lines};
  return widest != 0 && lines != 0;
}

bool TextBitmap(PictureItem& picture, const std::string& textArg) {
  const std::string& text = textArg.empty() ? picture.text : textArg;
  picture.font.quality |= text::NONANTIALIASED_QUALITY;
  const std::shared_ptr<const text::Font> font = text::Font::Create(ToTextLogFont(picture.font));
  gfx::Rect rect;
  if (!TextMeasure(*font, text, rect)) return false;
  if (rect.Width() > gfx::Surface::kMaxDimension || rect.Height() > gfx::Surface::kMaxDimension ||
      int64_t{rect.Width()} * rect.Height() > kMaxTextPixels)
    return false;
  std::unique_ptr<gfx::Surface> bitmap;
  try {
    bitmap = std::make_unique<gfx::Surface>(rect.Width(), rect.Height());
  } catch (const std::bad_alloc&) {
    return false;
  }
  const gfx::COLORREF background = picture.textOpaque ? picture.backColor : TransparentKey(picture);
  gfx::Canvas dc(*bitmap);
  dc.FillRect(rect, background);
  dc.SetBkColor(background);
  dc.SetTextColor(picture.textColor);
  dc.SetBkMode(picture.textOpaque ? gfx::OPAQUE : gfx::TRANSPARENT);
  text::DrawText(dc, *font, text, rect, text::DT_LEFT | text::DT_TOP);
  picture.bitmap = std::move(bitmap);
  picture.icon.reset();
  return true;
}

void MaskedDraw(gfx::Canvas& dc, const gfx::Surface& bitmap, int x, int y,
                gfx::COLORREF transparentColor) {
  // One pass does what the mask and its AND / OR copies do: the target keeps its pixels
  // where the bitmap has the transparent colour and takes the bitmap's everywhere else.
  dc.DrawTransparent(x, y, bitmap.Width(), bitmap.Height(), bitmap, 0, 0, transparentColor);
}

}  // namespace scene
