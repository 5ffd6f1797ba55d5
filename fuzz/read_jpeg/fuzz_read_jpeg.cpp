#include <cstddef>
#include <cstdint>

#include "imaging/image_decoder.h"

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
    }
  }
  imaging::CloseSource(h);
  return 0;
}
