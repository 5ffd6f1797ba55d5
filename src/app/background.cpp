#include "app/background.h"

namespace app {

uint32_t BrushRopFor(uint32_t rasterOp) {
  // Ternary operation index: bit (p << 2 | s << 1 | d) of the index byte. Putting the brush
  // where the source was gives the same result for s = p whatever the source bit.
  const uint32_t index = (rasterOp >> 16) & 0xFF;
  uint32_t out = 0;
  for (uint32_t p = 0; p < 2; ++p) {
    for (uint32_t d = 0; d < 2; ++d) {
      uint32_t bit = (index >> ((p << 2) | (p << 1) | d)) & 1;
      for (uint32_t s = 0; s < 2; ++s) out |= bit << ((p << 2) | (s << 1) | d);
    }
  }
  // Known operations keep their full code; others get the index with a zero low word,
  // which the canvas reads by its index byte.
  switch (out) {
    case 0xF0: return gfx::PATCOPY;
    case 0xFA: return 0x00FA0089;  // DPo
    case 0xA0: return 0x00A000C9;  // DPa
    case 0x5A: return gfx::PATINVERT;
    default: return out << 16;
  }
}

void EraseWithBackground(gfx::Canvas& canvas, gfx::COLORREF color, uint32_t rasterOp) {
  canvas.PatBlt(gfx::Rect{0, 0, canvas.Width(), canvas.Height()}, color, BrushRopFor(rasterOp));
}

}  // namespace app
