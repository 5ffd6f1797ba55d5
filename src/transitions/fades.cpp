#include "transitions/fades.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>

#include "imaging/image_decoder.h"
#include "platform/sys/clock.h"

namespace transitions {

void BuildBrightnessTable(BrightnessTable& table) {
  for (unsigned v = 0; v < 256; ++v)
    for (unsigned c = 0; c < 256; ++c) table[v][c] = static_cast<uint8_t>((c * v) >> 8);
}

size_t FadeStride(int width) {
  if (width <= 0) return 0;
  return ((static_cast<size_t>(width) * 24 + 31) / 8) & ~size_t{3};
}

bool MorphPass(uint8_t* from, const uint8_t* to, size_t pixels) {
  // Blocks small enough to stay in the cache: the bytes are stepped in one flat loop that
  // the compiler vectorises, then the block is searched for a pixel still apart in all
  // three bytes, until one is found; after that no pixel needs to be looked at.
  constexpr size_t kBlock = 4096;
  bool apart = false;
  for (size_t first = 0; first < pixels; first += kBlock) {
    const size_t n = std::min(kBlock, pixels - first);
    uint8_t* o = from + 3 * first;
    const uint8_t* t = to + 3 * first;
    for (size_t i = 0; i < 3 * n; ++i) {
      const uint8_t v = o[i], target = t[i];
      o[i] = static_cast<uint8_t>(v + (v < target) - (v > target));
    }
    for (size_t p = 0; p < n && !apart; ++p)
      apart = o[3 * p] != t[3 * p] && o[3 * p + 1] != t[3 * p + 1] && o[3 * p + 2] != t[3 * p + 2];
  }
  return !apart;
}

namespace {

// A 24-bit copy of the picture's bitmap: rows top-down, bytes B, G, R, each row padded to
// 4 bytes (the padding is zero and goes through the table like the pixels).
struct FadeImage {
  int width = 0, height = 0;
  size_t stride = 0, size = 0;
  std::unique_ptr<uint8_t[]> a, b;  // the picture; one level's output
};

// Null when there is no bitmap or a buffer cannot be had: the fade then draws nothing.
std::unique_ptr<FadeImage> ReadBitmap(const gfx::Surface* bitmap) {
  if (!bitmap || bitmap->Empty()) return nullptr;
  auto img = std::make_unique<FadeImage>();
  img->width = bitmap->Width();
  img->height = bitmap->Height();
  img->stride = FadeStride(img->width);
  // Both sides are capped by the surface's largest dimension, far from overflow.
  img->size = img->stride * static_cast<size_t>(img->height);
  img->a.reset(new (std::nothrow) uint8_t[img->size]());
  if (!img->a) return nullptr;
  img->b.reset(new (std::nothrow) uint8_t[img->size]);
  if (!img->b) return nullptr;
  for (int y = 0; y < img->height; ++y) {
    const gfx::Pixel* in = bitmap->Row(y);
    uint8_t* out = img->a.get() + static_cast<size_t>(y) * img->stride;
    for (int x = 0; x < img->width; ++x) {
      out[3 * x] = static_cast<uint8_t>(in[x]);
      out[3 * x + 1] = static_cast<uint8_t>(in[x] >> 8);
      out[3 * x + 2] = static_cast<uint8_t>(in[x] >> 16);
    }
  }
  return img;
}

// One level through table row `row` into B and onto the screen at the destination, at the
// bitmap's own size, clipped to the screen, in one pass per row (each byte read and looked
// up once). Rows off the screen are never seen, so they are not computed.
void DrawLevel(EffectFrame& f, FadeImage& img, const std::array<uint8_t, 256>& row) {
  gfx::Canvas& screen = f.Screen();
  gfx::Surface& s = screen.Target();
  const int64_t x0 = f.X0(), y0 = f.Y0();
  const int64_t left = std::max<int64_t>(x0, 0);
  const int64_t right = std::min<int64_t>(x0 + img.width, s.Width());
  const int64_t top = std::max<int64_t>(y0, 0);
  const int64_t bottom = std::min<int64_t>(y0 + img.height, s.Height());
  if (left >= right || top >= bottom) return;
  const uint8_t* table = row.data();
  const size_t first = static_cast<size_t>(left - x0), last = static_cast<size_t>(right - x0);
  for (int64_t y = top; y < bottom; ++y) {
    const size_t offset = static_cast<size_t>(y - y0) * img.stride;
    const uint8_t* a = img.a.get() + offset;
    uint8_t* b = img.b.get() + offset;
    gfx::Pixel* out = s.Row(static_cast<int>(y)) + left;
    // Bytes left of the screen and the row's padding only go into B.
    for (size_t i = 0; i < 3 * first; ++i) b[i] = table[a[i]];
    for (size_t x = first; x < last; ++x) {
      const uint8_t* p = a + 3 * x;
      uint8_t* q = b + 3 * x;
      const uint8_t blue = table[p[0]], green = table[p[1]], red = table[p[2]];
      q[0] = blue;
      q[1] = green;
      q[2] = red;
      *out++ = gfx::MakePixel(red, green, blue);
    }
    for (size_t i = 3 * last; i < img.stride; ++i) b[i] = table[a[i]];
  }
  screen.MarkDirty(gfx::Rect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                             static_cast<int>(bottom)});
}

// Levels 0 to 255 at `perLevel` ms each by the clock; levels are skipped, not delayed,
// when drawing falls behind. `down` runs the table rows from 255 to 0.
bool Fade(EffectFrame& f, int32_t perLevel, int32_t slowest, bool down) {
  const std::unique_ptr<BrightnessTable> table(new (std::nothrow) BrightnessTable);
  if (!table) return false;
  BuildBrightnessTable(*table);
  const std::unique_ptr<FadeImage> img = ReadBitmap(f.Bitmap());
  if (!img) return false;
  if (perLevel <= 0) return true;
  // A speed below 0 (from a damaged show) would stretch the fade to hours: it fades as
  // slowly as speed 0.
  const uint32_t L = static_cast<uint32_t>(std::min(perLevel, slowest));
  sys::Clock& clock = f.Clock();
  const uint32_t start = clock.TickCount();
  uint32_t v = 0;
  while (v < 256) {
    // Leaving the saver ends the fade where it stands.
    if (f.Abandoned()) return false;
    DrawLevel(f, *img, (*table)[down ? 255 - v : v]);
    // Measured from the start, so that the tick count may wrap during the fade.
    const uint32_t elapsed = clock.TickCount() - start;
    const uint32_t due = v * L;
    if (due < elapsed) {
      v = elapsed / L;
    } else {
      clock.Sleep(std::chrono::milliseconds(due - elapsed));
      ++v;
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
  imaging::PixelBuffer oldPixels =
      imaging::CaptureFromDC(&f.Screen().Target(), f.X0(), f.Y0(), w, h);
  imaging::PixelBuffer newPixels = imaging::CaptureFromDC(&f.Work(), 0, 0, w, h);
  if (!oldPixels || !newPixels) return;
  const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
  auto draw = [&] {
    gfx::Canvas& screen = f.Screen();
    imaging::DrawPixels(&screen.Target(), oldPixels.span(), w, h, f.X0(), f.Y0(), w, h);
    const int64_t r = int64_t{f.X0()} + w, b = int64_t{f.Y0()} + h;
    screen.MarkDirty(gfx::Rect{f.X0(), f.Y0(), static_cast<int>(std::min<int64_t>(r, INT32_MAX)),
                               static_cast<int>(std::min<int64_t>(b, INT32_MAX))});
  };
  draw();
  for (;;) {
    const bool done = MorphPass(oldPixels.data(), newPixels.data(), pixels);
    draw();
    if (f.StopRequested()) return;
    f.Pace(static_cast<uint32_t>(f.Speed()), 1000.0);
    if (done) return;
  }
}

}  // namespace transitions
