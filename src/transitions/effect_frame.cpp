#include "transitions/effect_frame.h"

#include <algorithm>
#include <cstdint>

#include "platform/sys/event.h"

namespace transitions {

EffectFrame::EffectFrame(const Setup& s) : s_(s) {
  // A work picture that is the screen itself would be read while being drawn.
  if (s_.batch && s_.screen && s_.work && &s_.screen->Target() != s_.work &&
      (!s_.sink || s_.sink->TakesBatches()))
    batch_.emplace(*s_.screen, *s_.work, s_.sink, s_.x0, s_.y0);
}

EffectFrame::~EffectFrame() {
  try {
    Flush();
  } catch (...) {  // NOLINT(bugprone-empty-catch): out of memory while unwinding
  }
}

void EffectFrame::Copy(const gfx::Surface& src, int sx, int sy, int cw, int ch, int dx, int dy) {
  // Other sources (snapshots) are drawn in order with the copies before them.
  Flush();
  if (cw <= 0 || ch <= 0 || Abandoned()) return;
  // Clip to the source in 64 bits: edge strips may start far outside it.
  int64_t l = std::max<int64_t>(sx, 0), t = std::max<int64_t>(sy, 0);
  int64_t r = std::min<int64_t>(int64_t{sx} + cw, src.Width());
  int64_t b = std::min<int64_t>(int64_t{sy} + ch, src.Height());
  if (l >= r || t >= b) return;
  const int64_t x = int64_t{s_.x0} + dx + (l - sx), y = int64_t{s_.y0} + dy + (t - sy);
  // A destination beyond the int range lies off every screen.
  if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return;
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  const int il = static_cast<int>(l), it = static_cast<int>(t);
  const int iw = static_cast<int>(r - l), ih = static_cast<int>(b - t);
  if (s_.sink)
    s_.sink->Copy(*s_.screen, src, il, it, iw, ih, ix, iy);
  else
    s_.screen->CopyRect(ix, iy, iw, ih, src, il, it);
}

bool EffectFrame::StopRequested() const { return s_.pacer->StopEvent().IsSet(); }

gfx::Surface EffectFrame::SnapshotOldScreen() {
  Flush();
  gfx::Surface snap(std::max(s_.w, 0), std::max(s_.h, 0));
  gfx::Canvas c(snap);
  c.BitBlt(0, 0, s_.w, s_.h, s_.screen->Target(), s_.x0, s_.y0, gfx::SRCCOPY);
  return snap;
}

}  // namespace transitions
