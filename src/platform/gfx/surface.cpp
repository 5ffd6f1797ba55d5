#include "platform/gfx/surface.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "platform/sys/large_alloc.h"

namespace gfx {
namespace {
// From a screen's size up; smaller bitmaps come and go with every step of a move, and the
// heap hands the same memory back to them without any fault.
constexpr size_t kLargeFrom = size_t{4} << 20;
}  // namespace

void* AllocatePixels(size_t bytes) {
  return bytes < kLargeFrom ? ::operator new(bytes) : sys::AllocateLarge(bytes);
}

void FreePixels(void* p, size_t bytes) noexcept {
  if (bytes < kLargeFrom)
    ::operator delete(p);
  else
    sys::FreeLarge(p, bytes);
}

Surface::Surface(int width, int height, Pixel fill) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width > kMaxDimension || height > kMaxDimension) {
    throw std::length_error("surface too large");
  }
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
}

void Surface::Fill(Pixel p) { std::fill(pixels_.begin(), pixels_.end(), p); }

}  // namespace gfx
