#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "imaging/image_decoder.h"

namespace {

// Read by rows and scaled on the way, a picture must give the bitmap that scaling all of
// its pixels gives.
void CheckRowRead(imaging::StreamHandle h, const imaging::PixelBuffer& whole, int width, int height,
                  uint8_t salt) {
  const int w = (width > 48 ? 48 : width) + salt % 5;
  const int ht = (height > 40 ? 40 : height) + salt / 5 % 3;
  imaging::PixelBuffer scaled = imaging::PixelBuffer::Allocate(imaging::BufferSize(w, ht, 3));
  if (!scaled || !imaging::ResizePixels(whole.span(), width, height, scaled.span(), w, ht, 3))
    std::abort();
  const auto expect = imaging::PixelsToBitmap(scaled.span(), w, ht);
  imaging::BitmapSink sink([&](int, int) { return std::pair{w, ht}; });
  imaging::SeekSource(h, 0, 0);
  if (!imaging::ReadJpegRows(h, 24, sink)) std::abort();
  const auto made = sink.Take();
  if (!expect || !made) std::abort();
  for (size_t i = 0; i < size_t{1} * w * ht; ++i)
    if (made->Data()[i] != expect->Data()[i]) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool init = [] {
    imaging::InitDecoder();
    // Small pictures keep the fuzzer's memory bounded; the limits are checked all the same.
    imaging::SetBufferLimit(size_t{8} << 20);
    return true;
  }();
  (void)init;
  imaging::StreamHandle h = imaging::OpenMemorySource({data, size});
  int width = 0, height = 0;
  for (int bits : {24, 8}) {
    imaging::SeekSource(h, 0, 0);
    imaging::PixelBuffer pixels = imaging::ReadJpeg(h, &width, &height, bits);
    if (pixels) {
      volatile uint8_t sink = pixels.data()[pixels.size() - 1];
      (void)sink;
      if (bits == 24) CheckRowRead(h, pixels, width, height, size ? data[size - 1] : 0);
    }
  }
  imaging::CloseSource(h);
  return 0;
}
