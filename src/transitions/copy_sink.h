#pragma once
// Where the copies of a transition go. Production draws straight onto the screen (with
// Canvas::CopyRect); a test installs its own sink to see every step. The engine hands a
// sink only copies that are already clipped to their source surface and not empty.

#include "platform/gfx/canvas.h"

namespace transitions {

class CopySink {
 public:
  virtual ~CopySink() = default;
  virtual void Copy(gfx::Canvas& screen, const gfx::Surface& src, int sx, int sy, int w, int h,
                    int dx, int dy) = 0;
  // True: the sink gets the work picture's copies merged and in no particular order when
  // nothing can see the screen between them. False: every copy, in order.
  virtual bool TakesBatches() const { return false; }
};

}  // namespace transitions
