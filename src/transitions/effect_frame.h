#pragma once
// What one effect sees while it runs: the prepared work picture, the screen, the
// destination and size of the picture rectangle, the copy primitive and the pacing wait.

#include <cstdint>
#include <optional>

#include "platform/gfx/canvas.h"
#include "transitions/copy_batch.h"
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
    // Hold back W copies while no pacing wait lets anyone see the screen, and draw them
    // merged. Only without a sink, or with one that takes merged copies.
    bool batch = false;
  };
  explicit EffectFrame(const Setup& s);
  // Draws what is held back; the engine flushes before, so this only covers an effect
  // that ends by an exception.
  ~EffectFrame();
  EffectFrame(const EffectFrame&) = delete;
  EffectFrame& operator=(const EffectFrame&) = delete;

  int Width() const { return s_.w; }
  int Height() const { return s_.h; }
  int X0() const { return s_.x0; }
  int Y0() const { return s_.y0; }
  int32_t Speed() const { return s_.speed; }

  // W(sx, sy, cw, ch): the work picture's rectangle to the same place of the destination.
  void W(int sx, int sy, int cw, int ch) {
    if (Abandoned()) return;
    if (batch_)
      batch_->Push(sx, sy, cw, ch);
    else
      Copy(*s_.work, sx, sy, cw, ch, sx, sy);
  }
  // src (sx, sy, cw, ch) to (x0 + dx, y0 + dy). Only the part inside src is drawn, and
  // nothing when cw or ch is 0 or less.
  void Copy(const gfx::Surface& src, int sx, int sy, int cw, int ch, int dx, int dy);

  // One step's wait with the call's speed and the effect's scale.
  void Pace() { Pace(static_cast<uint32_t>(s_.speed), s_.paceScale); }
  void Pace(uint32_t speed, double scale) {
    s_.pacer->Pace(speed, scale, batch_ ? &*batch_ : nullptr);
  }
  // The same in two halves, for a step that draws only what will be seen.
  PaceStep DecidePace(uint32_t speed, double scale) { return s_.pacer->Decide(speed, scale); }
  void Pace(const PaceStep& step) { s_.pacer->Pace(step, batch_ ? &*batch_ : nullptr); }
  // How often the screen is shown at most while drawn without waits (see Pacer).
  std::chrono::nanoseconds PresentPeriod() { return s_.pacer->PresentPeriod(); }
  bool StopRequested() const;
  // Once the saver is being left nobody sees the rest of the effect: its copies are
  // dropped, and the loop runs out through waits that end at once.
  bool Abandoned() {
    if (!abandoned_ && StopRequested()) abandoned_ = true;
    return abandoned_;
  }
  // Waits on the clock let the screen be seen too.
  sys::Clock& Clock() {
    Flush();
    return s_.pacer->Clock();
  }

  // Draws every W copy held back.
  void Flush() {
    if (batch_ && !abandoned_) batch_->Flush();
  }

  // The screen's picture rectangle as it is now, for effects that move the old picture.
  gfx::Surface SnapshotOldScreen();

  // Direct drawing must come after the copies before it.
  gfx::Canvas& Screen() {
    Flush();
    return *s_.screen;
  }
  const gfx::Surface& Work() const { return *s_.work; }
  const gfx::Surface* Bitmap() const { return s_.bitmap; }

 private:
  Setup s_;
  std::optional<CopyBatch> batch_;
  bool abandoned_ = false;
};

}  // namespace transitions
