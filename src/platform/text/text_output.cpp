#include "platform/text/text_output.h"

#include <algorithm>
#include <vector>

namespace text {
namespace {

struct Line {
  std::u32string chars;
  std::vector<const GlyphImage*> glyphs;
  int width = 0;
};

Line Layout(const Font& font, std::string_view bytes) {
  Line line;
  line.chars = font.Decode(bytes);
  font.Glyphs(line.chars, line.glyphs);
  for (const GlyphImage* g : line.glyphs)
    if (g) line.width += g->advance;
  return line;
}

inline uint8_t Mix(uint32_t from, uint32_t to, uint32_t a) {
  return static_cast<uint8_t>((from * (255 - a) + to * a + 127) / 255);
}

// Draws the laid-out line with its cell's top-left at (x, top), inside clip.
void DrawLine(gfx::Canvas& dc, const Font& font, const Line& line, int x, int top,
              const gfx::Rect& clipIn) {
  gfx::Surface& target = dc.Target();
  const gfx::Rect clip = gfx::Intersect(clipIn, gfx::Rect{0, 0, target.Width(), target.Height()});
  const TEXTMETRIC& m = font.Metrics();
  const gfx::Rect cell{x, top, x + line.width, top + m.tmHeight};
  if (dc.GetBkMode() == gfx::OPAQUE) {
    const gfx::Rect fill = gfx::Intersect(cell, clip);
    if (!fill.IsEmpty()) dc.FillRect(fill, dc.GetBkColor());
  }
  if (clip.IsEmpty()) return;
  const gfx::COLORREF color = dc.GetTextColor();
  const gfx::Pixel ink = gfx::PixelFromColorRef(color);
  const uint32_t inkR = gfx::GetRValue(color), inkG = gfx::GetGValue(color),
                 inkB = gfx::GetBValue(color);
  const int baseline = top + m.tmAscent;
  gfx::Rect dirty{};
  int pen = x;
  for (const GlyphImage* g : line.glyphs) {
    if (!g) continue;
    const gfx::Rect box{pen + g->left, baseline - g->top, pen + g->left + g->width,
                        baseline - g->top + g->height};
    const gfx::Rect visible = gfx::Intersect(box, clip);
    pen += g->advance;
    if (visible.IsEmpty()) continue;
    dirty = gfx::Union(dirty, visible);
    for (int y = visible.top; y < visible.bottom; ++y) {
      const uint8_t* cov = g->coverage.data() + static_cast<size_t>(y - box.top) * g->width;
      gfx::Pixel* row = target.Row(y);
      for (int px = visible.left; px < visible.right; ++px) {
        const uint32_t a = cov[px - box.left];
        if (a == 0) continue;
        if (a == 255) {
          row[px] = ink;
          continue;
        }
        const gfx::Pixel d = row[px];
        row[px] = gfx::MakePixel(Mix((d >> 16) & 0xFF, inkR, a), Mix((d >> 8) & 0xFF, inkG, a),
                                 Mix(d & 0xFF, inkB, a));
      }
    }
  }
  if (!dirty.IsEmpty()) dc.MarkDirty(dirty);
  auto rule = [&](int y, int thickness) {
    const gfx::Rect r = gfx::Intersect(gfx::Rect{x, y, x + line.width, y + thickness}, clip);
    if (!r.IsEmpty()) dc.FillRect(r, color);
  };
  if (font.Underline())
    rule(baseline + font.UnderlineOffset() - font.UnderlineThickness() / 2,
         font.UnderlineThickness());
  if (font.StrikeOut())
    rule(baseline - font.StrikeOutOffset() - font.StrikeOutThickness() / 2,
         font.StrikeOutThickness());
}

constexpr gfx::Rect kNoClip{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};

}  // namespace

SIZE GetTextExtentPoint32(const Font& font, std::string_view bytes) {
  return {Layout(font, bytes).width, font.Metrics().tmHeight};
}

void TextOut(gfx::Canvas& dc, const Font& font, int x, int y, std::string_view bytes,
             unsigned align) {
  const Line line = Layout(font, bytes);
  const TEXTMETRIC& m = font.Metrics();
  if ((align & TA_CENTER) == TA_CENTER)
    x -= line.width / 2;
  else if (align & TA_RIGHT)
    x -= line.width;
  if ((align & TA_BASELINE) == TA_BASELINE)
    y -= m.tmAscent;
  else if (align & TA_BOTTOM)
    y -= m.tmHeight;
  DrawLine(dc, font, line, x, y, kNoClip);
}

int DrawText(gfx::Canvas& dc, const Font& font, std::string_view bytes, gfx::Rect& rect,
             unsigned format) {
  std::vector<std::string_view> lines;
  if (format & DT_SINGLELINE) {
    lines.push_back(bytes);
  } else {
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
      if (i < bytes.size() && bytes[i] != '\n') continue;
      size_t end = i;
      if (i < bytes.size() && end > start && bytes[end - 1] == '\r') --end;
      lines.push_back(bytes.substr(start, end - start));
      start = i + 1;
    }
  }
  const int lineHeight = font.Metrics().tmHeight;
  const int height = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (std::string_view l : lines) widest = std::max(widest, GetTextExtentPoint32(font, l).cx);
    rect.right = rect.left + widest;
    rect.bottom = rect.top + height;
    return height;
  }
  const gfx::Rect clip = (format & DT_NOCLIP) ? kNoClip : rect;
  int top = rect.top;
  for (std::string_view l : lines) {
    const Line line = Layout(font, l);
    int x = rect.left;
    if (format & DT_CENTER)
      x = rect.left + (rect.Width() - line.width) / 2;
    else if (format & DT_RIGHT)
      x = rect.right - line.width;
    DrawLine(dc, font, line, x, top, clip);
    top += lineHeight;
  }
  return height;
}

}  // namespace text
