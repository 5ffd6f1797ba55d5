#include "transitions/copy_sink.h"

#include <algorithm>
#include <cstdint>

namespace transitions {

namespace {
constexpr int kNarrow = 8;
}  // namespace

void BlitCopy(gfx::Canvas& screen, const gfx::Surface& src, int sx, int sy, int w, int h, int dx,
              int dy) {
  gfx::Surface& dst = screen.Target();
  if (w > kNarrow || &src == &dst) {
    screen.BitBlt(dx, dy, w, h, src, sx, sy, gfx::SRCCOPY);
    return;
  }
  // Clip both rectangles in 64 bits, as the blit does.
  const int64_t l = std::max({int64_t{0}, int64_t{dx}, int64_t{dx} - sx});
  const int64_t t = std::max({int64_t{0}, int64_t{dy}, int64_t{dy} - sy});
  const int64_t r =
      std::min({int64_t{dst.Width()}, int64_t{dx} + w, int64_t{dx} - sx + src.Width()});
  const int64_t b =
      std::min({int64_t{dst.Height()}, int64_t{dy} + h, int64_t{dy} - sy + src.Height()});
  if (l >= r || t >= b) return;
  const int n = static_cast<int>(r - l);
  const int srcX = static_cast<int>(l - dx + sx);
  const size_t srcStride = src.Stride(), dstStride = dst.Stride();
  const gfx::Pixel* s = src.Row(static_cast<int>(t - dy + sy)) + srcX;
  gfx::Pixel* d = dst.Row(static_cast<int>(t)) + l;
  const int rows = static_cast<int>(b - t);
  // Fixed widths keep the per-row work to plain moves.
  if (n == 1) {
    for (int i = 0; i < rows; ++i, s += srcStride, d += dstStride) *d = *s;
  } else if (n == kNarrow) {
    for (int i = 0; i < rows; ++i, s += srcStride, d += dstStride) std::copy_n(s, kNarrow, d);
  } else {
    for (int i = 0; i < rows; ++i, s += srcStride, d += dstStride) std::copy_n(s, n, d);
  }
  screen.MarkDirty(gfx::Rect{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r),
                             static_cast<int>(b)});
}

}  // namespace transitions
