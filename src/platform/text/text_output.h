#pragma once
// Text on a device context: extents, TextOut and DrawText over a canvas, drawn with the
// canvas's text colour, background colour and background mode.

#include <string_view>

#include "platform/gfx/canvas.h"
#include "platform/text/font.h"

namespace text {

struct SIZE {
  int cx = 0, cy = 0;
  bool operator==(const SIZE&) const = default;
};

// TextOut alignment (SetTextAlign), with the Windows values.
inline constexpr unsigned TA_LEFT = 0;
inline constexpr unsigned TA_TOP = 0;
inline constexpr unsigned TA_RIGHT = 2;
inline constexpr unsigned TA_CENTER = 6;
inline constexpr unsigned TA_BOTTOM = 8;
inline constexpr unsigned TA_BASELINE = 24;

// DrawText formats.
inline constexpr unsigned DT_LEFT = 0;
inline constexpr unsigned DT_TOP = 0;
inline constexpr unsigned DT_CENTER = 1;
inline constexpr unsigned DT_RIGHT = 2;
inline constexpr unsigned DT_SINGLELINE = 0x20;
inline constexpr unsigned DT_NOCLIP = 0x100;
inline constexpr unsigned DT_CALCRECT = 0x400;

// Width of the text's advances and the font's cell height; line breaks are not looked at.
SIZE GetTextExtentPoint32(const Font& font, std::string_view bytes);

// One line at (x, y) by the alignment; in OPAQUE mode its cell is filled with the
// background colour first.
void TextOut(gfx::Canvas& dc, const Font& font, int x, int y, std::string_view bytes,
             unsigned align = TA_LEFT | TA_TOP);

// Lines broken at LF and CR LF, one cell height apart, from rect's top, clipped to rect
// unless DT_NOCLIP. DT_CALCRECT only sets rect's right and bottom to what the text needs.
// Returns the height of the text.
int DrawText(gfx::Canvas& dc, const Font& font, std::string_view bytes, gfx::Rect& rect,
             unsigned format = DT_LEFT | DT_TOP);

}  // namespace text
