#include "platform/gfx/surface.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace gfx {

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
