#pragma once
// Erasing the saver window: the background colour combined with the screen by the raster
// operation stored with it (plain copy, OR, AND), as a solid brush over the whole window.

#include <cstdint>

#include "platform/gfx/canvas.h"

namespace app {

// The brush operation that does to the screen what `rasterOp` would do with a solid
// source of the colour (SRCPAINT -> D|P, SRCAND -> D&P, SRCCOPY -> P, ...).
uint32_t BrushRopFor(uint32_t rasterOp);

void EraseWithBackground(gfx::Canvas& canvas, gfx::COLORREF color, uint32_t rasterOp);

}  // namespace app
