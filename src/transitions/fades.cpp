#include "transitions/fades.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>

#include "imaging/image_decoder.h"
#include "platform/sys/clock.h"

namespace transitions {

void FadeLevel(gfx::Pixel* out, const gfx::Pixel* in, size_t n, unsigned v) {
  // Eight 16-bit lanes of two bytes each, multiplied in place: no widening and narrowing,
  // which makes the plain byte loop twice as slow. A low byte gives (c * v) >> 8 in its
  // own place; a high byte multiplied after a shift down has its result in the high byte.
  // The byte above the colours (every other high byte) is cleared.
  using Lanes = uint16_t __attribute__((vector_size(16)));
  constexpr Lanes kLow = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  constexpr Lanes kHigh = {0xFF00, 0, 0xFF00, 0, 0xFF00, 0, 0xFF00, 0};
  const uint16_t m = static_cast<uint16_t>(v & 0xFF);
  size_t x = 0;
  for (; n - x >= 4; x += 4) {
    Lanes w;
    std::memcpy(&w, in + x, sizeof w);
    const Lanes r = ((w & kLow) * m >> 8) | (((w >> 8) * m) & kHigh);
    std::memcpy(out + x, &r, sizeof r);
  }
  for (; x < n; ++x) {
    const gfx::Pixel p = in[x];
    gfx::Pixel q = 0;
    for (int shift = 0; shift < 24; shift += 8) q |= ((((p >> shift) & 0xFF) * m) >> 8) << shift;
    out[x] = q;
  }
}

bool MorphStep(gfx::Pixel* from, const gfx::Pixel* to, size_t n, bool look) {
  auto* o = reinterpret_cast<uint8_t*>(from);
  const auto* t = reinterpret_cast<const uint8_t*>(to);
  for (size_t i = 0; i < 4 * n; ++i) {
    const uint8_t v = o[i], target = t[i];
    o[i] = static_cast<uint8_t>(v + (v < target) - (v > target));
  }
  if (!look) return false;
  // A whole row at a time, without an early way out, so that this too is vector code.
  unsigned apart = 0;
  for (size_t x = 0; x < n; ++x) {
    const gfx::Pixel d = from[x] ^ to[x];
    apart |= static_cast<unsigned>((d & 0xFF) != 0) & static_cast<unsigned>((d & 0xFF00) != 0) &
             static_cast<unsigned>((d & 0xFF0000) != 0);
  }
  return apart != 0;
}

namespace {

// The part of a rectangle at (x0, y0) of w x h that lies on the surface, in surface
// coordinates; empty when none does.
struct Visible {
  int64_t left, top, right, bottom;
  bool Empty() const { return left >= right || top >= bottom; }
};
Visible Clip(const gfx::Surface& s, int64_t x0, int64_t y0, int64_t w, int64_t h) {
  return Visible{std::max<int64_t>(x0, 0), std::max<int64_t>(y0, 0),
                 std::min<int64_t>(x0 + w, s.Width()), std::min<int64_t>(y0 + h, s.Height())};
}

// One level of the bitmap at its own size onto the screen at the destination, clipped to
// the screen. Rows and columns off the screen are never seen, so they are not computed.
void DrawLevel(EffectFrame& f, const gfx::Surface& bitmap, unsigned v) {
  gfx::Canvas& screen = f.Screen();
  gfx::Surface& s = screen.Target();
  const int64_t x0 = f.X0(), y0 = f.Y0();
  const Visible c = Clip(s, x0, y0, bitmap.Width(), bitmap.Height());
  if (c.Empty()) return;
  const size_t n = static_cast<size_t>(c.right - c.left);
  for (int64_t y = c.top; y < c.bottom; ++y)
    FadeLevel(s.Row(static_cast<int>(y)) + c.left,
              bitmap.Row(static_cast<int>(y - y0)) + (c.left - x0), n, v);
  screen.MarkDirty(gfx::Rect{static_cast<int>(c.left), static_cast<int>(c.top),
                             static_cast<int>(c.right), static_cast<int>(c.bottom)});
}

// Levels 0 to 255 at `perLevel` ms each by the clock; levels are skipped, not delayed,
// when drawing falls behind. `down` runs the table rows from 255 to 0.
bool Fade(EffectFrame& f, int32_t perLevel, int32_t slowest, bool down) {
  const gfx::Surface* bitmap = f.Bitmap();
  if (!bitmap || bitmap->Empty()) return false;
  if (perLevel <= 0) return true;
  // A speed below 0 (from a damaged show) would stretch the fade to hours: it fades as
  // slowly as speed 0.
  const uint32_t L = static_cast<uint32_t>(std::min(perLevel, slowest));
  // A display that shows the screen once a refresh period sees at most one level of every
  // period: only one level in `stride` is drawn, each standing up to a period, so that
  // every present still finds a new one (the last level is always drawn).
  const std::chrono::nanoseconds period = f.PresentPeriod();
  const std::chrono::nanoseconds level = std::chrono::milliseconds(L);
  const uint32_t stride = static_cast<uint32_t>(std::clamp<int64_t>(period / level, 1, 255));
  sys::Clock& clock = f.Clock();
  const uint32_t start = clock.TickCount();
  uint32_t v = 0;
  while (v < 256) {
    // Leaving the saver ends the fade where it stands.
    if (f.Abandoned()) return false;
    DrawLevel(f, *bitmap, down ? 255 - v : v);
    // Level `next` is drawn when the one before it is due.
    const uint32_t next = v == 255 ? 256 : std::min<uint32_t>(v + stride, 255);
    // Measured from the start, so that the tick count may wrap during the fade.
    const uint32_t elapsed = clock.TickCount() - start;
    const uint32_t due = (next - 1) * L;
    if (due < elapsed) {
      v = elapsed / L;
    } else {
      clock.Sleep(std::chrono::milliseconds(due - elapsed));
      v = next;
    }
  }
  return true;
}

}  // namespace

void FadeInFromBlack(EffectFrame& f) {
  if (!Fade(f, 11 - f.Speed() / 100, 11, false)) return;
  f.W(0, 0, f.Width(), f.Height());
}

void FadeOutToBlack(EffectFrame& f) {
  if (!Fade(f, 12 - f.Speed() / 100, 12, true)) return;
  const int64_t x0 = f.X0(), y0 = f.Y0();
  auto clampInt = [](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  f.Screen().FillRect(
      gfx::Rect{f.X0(), f.Y0(), clampInt(x0 + f.Width()), clampInt(y0 + f.Height())},
      gfx::RGB(0, 0, 0));
}

void ColourMorph(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  if (w <= 0 || h <= 0) return;
  // Both pictures in the screen's own layout, so that a pass is one flat byte loop per row
  // and its visible part goes to the screen as a plain row copy. Parts of the rectangle
  // off the screen (or beyond the work picture) start black, and take part in the end
  // rule like the rest.
  std::unique_ptr<gfx::Surface> from, to;
  {
    imaging::PixelBuffer oldPixels =
        imaging::CaptureFromDC(&f.Screen().Target(), f.X0(), f.Y0(), w, h);
    if (!oldPixels) return;
    from = imaging::PixelsToBitmap(oldPixels.span(), w, h);
  }
  {
    imaging::PixelBuffer newPixels = imaging::CaptureFromDC(&f.Work(), 0, 0, w, h);
    if (!newPixels) return;
    to = imaging::PixelsToBitmap(newPixels.span(), w, h);
  }
  if (!from || !to) return;
  gfx::Canvas& screen = f.Screen();
  const int64_t x0 = f.X0(), y0 = f.Y0();
  const Visible c = Clip(screen.Target(), x0, y0, w, h);
  auto drawRow = [&](int y) {
    const int64_t sy = y0 + y;
    if (c.Empty() || sy < c.top || sy >= c.bottom) return;
    std::memcpy(screen.Target().Row(static_cast<int>(sy)) + c.left, from->Row(y) + (c.left - x0),
                static_cast<size_t>(c.right - c.left) * sizeof(gfx::Pixel));
  };
  const gfx::Rect dirty{f.X0(), f.Y0(), static_cast<int>(std::min<int64_t>(x0 + w, INT32_MAX)),
                        static_cast<int>(std::min<int64_t>(y0 + h, INT32_MAX))};
  for (int y = 0; y < h; ++y) drawRow(y);
  screen.MarkDirty(dirty);
  for (;;) {
    // A pass that nobody will see (a display shows the screen only once a refresh period)
    // is stepped and not drawn; the last pass is always drawn.
    const PaceStep step = f.DecidePace(static_cast<uint32_t>(f.Speed()), 1000.0);
    // Row by row: each row is stepped, looked at and copied while it is in the cache.
    bool apart = false;
    for (int y = 0; y < h; ++y) {
      apart |= MorphStep(from->Row(y), to->Row(y), static_cast<size_t>(w), !apart);
      if (step.seen) drawRow(y);
    }
    if (!step.seen && !apart)
      for (int y = 0; y < h; ++y) drawRow(y);
    if (step.seen || !apart) screen.MarkDirty(dirty);
    if (f.StopRequested()) return;
    f.Pace(step);
    if (!apart) return;
  }
}

}  // namespace transitions
