// Pixel buffers to and from 32-bit surfaces (the screen and bitmaps compatible with it).

#include <algorithm>
#include <new>
#include <stdexcept>

#include "imaging/decoder_state.h"
#include "imaging/row_scaler.h"

namespace imaging {
namespace {

using detail::Call;

bool PixelsFit(std::span<const uint8_t> pixels, int width, int height) {
  const size_t size = BufferSize(width, height, 3);
  return !pixels.empty() && size != 0 && pixels.size() >= size;
}

void PackRow(const uint8_t* in, gfx::Pixel* out, int width) {
  for (int x = 0; x < width; ++x) out[x] = gfx::MakePixel(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
}

}  // namespace

PixelBuffer CaptureFromDC(const gfx::Surface* dc, int x, int y, int width, int height) {
  Call call;
  if (!call) return {};
  if (!dc || width <= 0 || height <= 0) return call.Fail(kErrArgument, PixelBuffer{});
  PixelBuffer out = detail::AllocatePixels(width, height, 3);
  if (!out) return call.Fail(kErrNoMemory, PixelBuffer{});
  // Parts of the rectangle outside the surface stay black.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + width, dc->Width());
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + height, dc->Height());
  for (int64_t sy = top; sy < bottom; ++sy) {
    const gfx::Pixel* in = dc->Row(static_cast<int>(sy));
    uint8_t* o = out.data() + static_cast<size_t>(sy - y) * width * 3;
    for (int64_t sx = left; sx < right; ++sx) {
      const gfx::Pixel p = in[sx];
      uint8_t* d = o + (sx - x) * 3;
      d[0] = static_cast<uint8_t>(p >> 16);
      d[1] = static_cast<uint8_t>(p >> 8);
      d[2] = static_cast<uint8_t>(p);
    }
  }
  call.Set(kOk);
  return out;
}

PixelBuffer BitmapToPixels(const gfx::Surface* bitmap, int* width, int* height) {
  Call call;
  if (!call) return {};
  if (!width || !height) return call.Fail(kErrArgument, PixelBuffer{});
  *width = 0;
  *height = 0;
  if (!bitmap || bitmap->Empty()) return call.Fail(kErrArgument, PixelBuffer{});
  PixelBuffer out = CaptureFromDC(bitmap, 0, 0, bitmap->Width(), bitmap->Height());
  if (!out) return call.Fail(GetLastErrorCode(), PixelBuffer{});
  *width = bitmap->Width();
  *height = bitmap->Height();
  call.Set(kOk);
  return out;
}

std::unique_ptr<gfx::Surface> PixelsToBitmap(std::span<const uint8_t> pixels, int width,
                                             int height) {
  Call call;
  if (!call) return nullptr;
  if (!PixelsFit(pixels, width, height)) return call.Fail(kErrArgument, nullptr);
  std::unique_ptr<gfx::Surface> bitmap;
  try {
    bitmap = std::make_unique<gfx::Surface>(width, height);
  } catch (const std::exception&) {  // too large for a surface, or no memory
    return call.Fail(kErrCreateDIBitmap, nullptr);
  }
  for (int y = 0; y < height; ++y)
    PackRow(pixels.data() + static_cast<size_t>(y) * width * 3, bitmap->Row(y), width);
  call.Set(kOk);
  return bitmap;
}

BitmapSink::BitmapSink(SizeFor sizeFor) : sizeFor_(std::move(sizeFor)) {}
BitmapSink::~BitmapSink() = default;

bool BitmapSink::Begin(int width, int height) {
  width_ = width;
  height_ = height;
  y_ = 0;
  bitmap_.reset();
  scaler_.reset();
  try {
    const std::optional<std::pair<int, int>> size = sizeFor_(width, height);
    if (!size) return true;
    const auto [w, h] = *size;
    if (!PictureSizeAllowed(w, h) || BufferSize(w, h, 3) == 0 || BufferSize(width, height, 3) == 0)
      return false;
    bitmap_ = std::make_unique<gfx::Surface>(w, h);
    // The same size scales to the very same pixels.
    if (w != width || h != height) {
      scaler_ = std::make_unique<RowScaler>(width, height, w, h, 3);
      row_.resize(static_cast<size_t>(w) * 3);
    }
  } catch (const std::exception&) {  // no memory, or too large for a surface
    bitmap_.reset();
    scaler_.reset();
    return false;
  }
  return true;
}

void BitmapSink::Row(const uint8_t* pixels) {
  if (!bitmap_) return;
  const int h = bitmap_->Height();
  if (!scaler_) {
    if (y_ < h) PackRow(pixels, bitmap_->Row(y_++), width_);
    return;
  }
  scaler_->Push(pixels);
  while (y_ < h && scaler_->Next(row_.data()))
    PackRow(row_.data(), bitmap_->Row(y_++), bitmap_->Width());
}

bool DrawPixels(gfx::Surface* dc, std::span<const uint8_t> pixels, int width, int height, int x,
                int y, int cx, int cy) {
  Call call;
  if (!call) return false;
  if (!dc || !PixelsFit(pixels, width, height)) return call.Fail(kErrArgument, false);
  const int64_t w = std::min(cx, width);
  const int64_t h = std::min(cy, height);
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + w, dc->Width());
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + h, dc->Height());
  for (int64_t dy = top; dy < bottom; ++dy) {
    const uint8_t* in = pixels.data() + static_cast<size_t>(dy - y) * width * 3;
    gfx::Pixel* o = dc->Row(static_cast<int>(dy));
    for (int64_t dx = left; dx < right; ++dx) {
      const uint8_t* s = in + (dx - x) * 3;
      o[dx] = gfx::MakePixel(s[0], s[1], s[2]);
    }
  }
  call.Set(kOk);
  return true;
}

}  // namespace imaging
