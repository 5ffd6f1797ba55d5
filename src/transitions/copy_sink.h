#pragma once
// Where the copies of a transition go. Production draws straight onto the screen; a test
// installs its own sink to see every step. The engine hands a sink only copies that are
// already clipped to their source surface and not empty.

#include "platform/gfx/canvas.h"

namespace transitions {

// Plain copy of src (sx, sy, w, h) to the screen at (dx, dy); the screen clips.
inline void BlitCopy(gfx::Canvas& screen, const gfx::Surface& src, int sx, int sy, int w, int h,
                     int dx, int dy) {
  screen.BitBlt(dx, dy, w, h, src, sx, sy, gfx::SRCCOPY);
}

class CopySink {
 public:
  virtual ~CopySink() = default;
  virtual void Copy(gfx::Canvas& screen, const gfx::Surface& src, int sx, int sy, int w, int h,
                    int dx, int dy) = 0;
};

}  // namespace transitions
