#include "platform/gfx/surface.h"

#include <stdlib.h>
#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace gfx {
namespace {
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeFrom = size_t{4} << 20;
}  // namespace

void* AllocatePixels(size_t bytes) {
  if (bytes < kHugeFrom) return ::operator new(bytes);
  void* p = nullptr;
  if (posix_memalign(&p, kHugePage, bytes) != 0) throw std::bad_alloc();
  // Only whole huge pages: the tail stays in small pages, so the block costs no more memory.
  madvise(p, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  return p;
}

void FreePixels(void* p, size_t bytes) noexcept {
  if (bytes < kHugeFrom)
    ::operator delete(p);
  else
    free(p);
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
