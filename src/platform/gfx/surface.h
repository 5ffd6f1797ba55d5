#pragma once
// 32-bit surfaces: the screen, every bitmap "compatible with the screen" and every memory
// device context draws into one of these. Pixels are 0x00RRGGBB in native order (bytes
// B, G, R, X in memory, as a 32-bit DIB).

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/sys/large_alloc.h"

namespace gfx {

using Pixel = uint32_t;
// A Windows COLORREF: 0x00BBGGRR.
using COLORREF = uint32_t;

constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

constexpr Pixel MakePixel(uint8_t r, uint8_t g, uint8_t b) {
  return (static_cast<Pixel>(r) << 16) | (static_cast<Pixel>(g) << 8) | b;
}
constexpr Pixel PixelFromColorRef(COLORREF c) {
  return MakePixel(GetRValue(c), GetGValue(c), GetBValue(c));
}
constexpr COLORREF ColorRefFromPixel(Pixel p) {
  return RGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
}

class Surface {
 public:
  // Largest width or height of any surface (long thin pictures reach it); keeps
  // width * height * 4 far from overflow.
  static constexpr int kMaxDimension = 65535;
  // Largest width or height of a screen.
  static constexpr int kMaxScreenDimension = 32767;

  Surface() = default;
  // Negative sizes are taken as 0; sizes above kMaxDimension throw std::length_error.
  Surface(int width, int height, Pixel fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  // Pixels per row.
  size_t Stride() const { return static_cast<size_t>(width_); }

  Pixel* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * Stride(); }
  const Pixel* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * Stride(); }
  Pixel& At(int x, int y) { return Row(y)[x]; }
  Pixel At(int x, int y) const { return Row(y)[x]; }
  Pixel* Data() { return pixels_.data(); }
  const Pixel* Data() const { return pixels_.data(); }

  void Fill(Pixel p);

 private:
  int width_ = 0;
  int height_ = 0;
  // Large blocks (platform/sys/large_alloc.h) from a screen's size up: every fresh 4 KiB
  // page costs a fault, and a picture's bitmap has thousands of them. Smaller bitmaps come
  // and go with every step of a move, and the heap hands them the same memory again.
  sys::LargeVector<Pixel, size_t{4} << 20> pixels_;
};

}  // namespace gfx
