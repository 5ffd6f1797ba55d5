#pragma once
// What one effect sees while it runs: the prepared work picture, the screen, the
// destination and size of the picture rectangle, the copy primitive and the pacing wait.

#include <cstdint>

#include "platform/gfx/canvas.h"
#include "transitions/copy_sink.h"
#include "transitions/pacer.h"

namespace transitions {

struct EffectInfo;

class EffectFrame {
 public:
  struct Setup {
    gfx::Canvas* screen = nullptr;
    const gfx::Surface* work = nullptr;
    const gfx::Surface* bitmap = nullptr;  // effects 4 and 65 only
    Pacer* pacer = nullptr;
    CopySink* sink = nullptr;  // null: copy straight onto the screen
    int x0 = 0, y0 = 0;        // destination of the picture's top-left corner
    int w = 0, h = 0;          // picture rectangle
    int32_t speed = 0;
    double paceScale = 1000.0;
  };
  explicit EffectFrame(const Setup& s) : s_(s) {}

  int Width() const { return s_.w; }
  int Height() const { return s_.h; }
  int X0() const { return s_.x0; }
  int Y0() const { return s_.y0; }
  int32_t Speed() const { return s_.speed; }

  // W(sx, sy, cw, ch): the work picture's rectangle to the same place of the destination.
  void W(int sx, int sy, int cw, int ch) { Copy(*s_.work, sx, sy, cw, ch, sx, sy); }
  // src (sx, sy, cw, ch) to (x0 + dx, y0 + dy). Only the part inside src is drawn, and
  // nothing when cw or ch is 0 or less.
  void Copy(const gfx::Surface& src, int sx, int sy, int cw, int ch, int dx, int dy);

  // One step's wait with the call's speed and the effect's scale.
  void Pace() { s_.pacer->Pace(static_cast<uint32_t>(s_.speed), s_.paceScale); }
  void Pace(uint32_t speed, double scale) { s_.pacer->Pace(speed, scale); }
  bool StopRequested() const;
  sys::Clock& Clock() { return s_.pacer->Clock(); }

  // The screen's picture rectangle as it is now, for effects that move the old picture.
  gfx::Surface SnapshotOldScreen() const;

  gfx::Canvas& Screen() { return *s_.screen; }
  const gfx::Surface& Work() const { return *s_.work; }
  const gfx::Surface* Bitmap() const { return s_.bitmap; }

 private:
  Setup s_;
};

}  // namespace transitions
