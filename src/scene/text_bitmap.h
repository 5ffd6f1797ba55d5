#pragma once
// Text pictures: rendering a picture's text into its bitmap, measuring multi-line text,
// drawing a bitmap with one transparent colour, and typing a text out letter by letter.

#include <string>
#include <string_view>

#include "platform/gfx/canvas.h"
#include "platform/text/font.h"

namespace scene {

class PictureItem;
class PlayHost;
struct LogFont;

// The system window colour: the background of a text picture that is not opaque, and so
// the colour that drawing it leaves out.
inline constexpr gfx::COLORREF kSystemWindowColor = gfx::RGB(255, 255, 255);

text::LOGFONT ToTextLogFont(const LogFont& font);

// The colour left out when a transparent text picture is drawn: the window colour, unless
// the text itself has that colour (white text would vanish), then one step beside it.
gfx::COLORREF TransparentKey(const PictureItem& picture);

// Renders `text` (the picture's own text when empty) into the picture's bitmap: one line
// per CR LF, left and top aligned, monochrome. False for an empty text or when the bitmap
// cannot be made.
bool TextBitmap(PictureItem& picture, const std::string& text);

// (0, 0, widest line, lines x line height) of the text in the font; false when the width
// or the number of lines is zero.
bool TextMeasure(const text::Font& font, std::string_view text, gfx::Rect& rectOut);

// Draws the bitmap at (x, y), leaving out every pixel of transparentColor.
void MaskedDraw(gfx::Canvas& dc, const gfx::Surface& bitmap, int x, int y,
                gfx::COLORREF transparentColor);

// Shows a text picture one more letter at a time, textSpeed milliseconds apart from 2000,
// until the text is complete or the scene thread is told to stop.
void TypeOut(PictureItem& picture, PlayHost& host);

}  // namespace scene
