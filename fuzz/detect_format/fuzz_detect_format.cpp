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
  int code = imaging::DetectFormat(h);
  // Memory streams have no name, so the TGA rule never applies.
  if (code < imaging::kFormatNone || code > imaging::kFormatWbmp) __builtin_trap();
  imaging::CloseSource(h);
  return 0;
}
