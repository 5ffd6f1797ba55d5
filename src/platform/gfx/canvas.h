#pragma once
// A device context over a 32-bit surface: solid fills, blits with raster operations,
// stretching and pen lines, always clipped to the target (and to the source for blits).
// Drawing marks the touched area dirty so the display presents only what changed.

#include <cstdint>

#include "platform/gfx/surface.h"

namespace gfx {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect&) const = default;
};

// Overlap of a and b; empty (all zero) when they do not meet.
Rect Intersect(const Rect& a, const Rect& b);
// Smallest rectangle holding both; an empty operand is ignored.
Rect Union(const Rect& a, const Rect& b);

// Raster operations, with their Windows values.
inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr uint32_t SRCPAINT = 0x00EE0086;
inline constexpr uint32_t SRCAND = 0x008800C6;
inline constexpr uint32_t SRCINVERT = 0x00660046;
inline constexpr uint32_t SRCERASE = 0x00440328;
inline constexpr uint32_t NOTSRCCOPY = 0x00330008;
inline constexpr uint32_t NOTSRCERASE = 0x001100A6;
inline constexpr uint32_t MERGECOPY = 0x00C000CA;
inline constexpr uint32_t MERGEPAINT = 0x00BB0226;
inline constexpr uint32_t PATCOPY = 0x00F00021;
inline constexpr uint32_t PATPAINT = 0x00FB0A09;
inline constexpr uint32_t PATINVERT = 0x005A0049;
inline constexpr uint32_t DSTINVERT = 0x00550009;
inline constexpr uint32_t BLACKNESS = 0x00000042;
inline constexpr uint32_t WHITENESS = 0x00FF0062;

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_DOT = 2;
inline constexpr int PS_DASHDOT = 3;
inline constexpr int PS_DASHDOTDOT = 4;
inline constexpr int PS_NULL = 5;
inline constexpr int PS_INSIDEFRAME = 6;

// Background modes: how the gaps of styled lines and the cells of text are drawn.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// What a ternary raster operation (its operation index, bits 16..23) reads.
constexpr bool RopUsesSource(uint32_t rop) { return (((rop >> 18) ^ (rop >> 16)) & 0x33) != 0; }
constexpr bool RopUsesPattern(uint32_t rop) { return (((rop >> 20) ^ (rop >> 16)) & 0x0F) != 0; }
constexpr bool RopUsesDest(uint32_t rop) { return (((rop >> 17) ^ (rop >> 16)) & 0x55) != 0; }
// The operation applied to one pixel: bit i of the index is the result for
// pattern = bit 2 of i, source = bit 1, destination = bit 0, taken bitwise.
Pixel ApplyRop(uint32_t rop, Pixel pattern, Pixel source, Pixel dest);

struct Pen {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

class Canvas {
 public:
  explicit Canvas(Surface& target);

  Surface& Target() { return target_; }
  int Width() const { return target_.Width(); }
  int Height() const { return target_.Height(); }

  // Fills r with a solid brush (PatBlt with PATCOPY).
  void FillRect(const Rect& r, COLORREF color);
  // Any raster operation that uses the destination and a solid brush only.
  void PatBlt(const Rect& r, COLORREF brush, uint32_t rop);
  // Copies src (sx, sy, w, h) to (x, y); any ternary raster operation (brush for the
  // operations that use a pattern). Parts outside src or the target are not drawn.
  void BitBlt(int x, int y, int w, int h, const Surface& src, int sx, int sy, uint32_t rop,
              COLORREF brush = 0);
  // BitBlt with SRCCOPY: the one plain copy every copy path shares. Clipped to src and the
  // target; within one surface the rows are walked away from the overlap.
  void CopyRect(int x, int y, int w, int h, const Surface& src, int sx, int sy);
  // Copies a w x h picture held in rows of `stride` pixels (a decoder's own buffer) to
  // (x, y), SRCCOPY, clipped to the target: CopyRect's copy for a buffer of no surface.
  void CopyPixels(int x, int y, int w, int h, const Pixel* src, size_t stride);
  // Stretches src (sx, sy, sw, sh) onto (x, y, w, h), nearest pixel (COLORONCOLOR).
  void StretchBlt(int x, int y, int w, int h, const Surface& src, int sx, int sy, int sw, int sh,
                  uint32_t rop);
  // MoveTo(x1, y1), LineTo(x2, y2): the end point is not drawn. Pens of width <= 1 are
  // cosmetic (styles dash, dot, ...; the gaps take the background colour in OPAQUE mode);
  // wider pens draw a solid line of that width with round ends.
  void DrawLine(int x1, int y1, int x2, int y2, const Pen& pen);

  // Copies src (sx, sy, w, h) to (x, y), leaving out every pixel of colour key.
  void DrawTransparent(int x, int y, int w, int h, const Surface& src, int sx, int sy,
                       COLORREF key);
  // Fills r with copies of tile, the tile's (0, 0) lying at (originX, originY).
  void TileBlt(const Rect& r, const Surface& tile, int originX, int originY);

  // Device context state, with the defaults of a fresh context.
  void SetBkMode(int mode) { bkMode_ = mode; }
  int GetBkMode() const { return bkMode_; }
  void SetBkColor(COLORREF c) { bkColor_ = c; }
  COLORREF GetBkColor() const { return bkColor_; }
  void SetTextColor(COLORREF c) { textColor_ = c; }
  COLORREF GetTextColor() const { return textColor_; }

  // Union of everything drawn since the last TakeDirty(); empty when nothing was.
  Rect TakeDirty();
  void MarkDirty(const Rect& r);

 private:
  Surface& target_;
  Rect dirty_{};
  int bkMode_ = OPAQUE;
  COLORREF bkColor_ = RGB(255, 255, 255);
  COLORREF textColor_ = RGB(0, 0, 0);
};

}  // namespace gfx
