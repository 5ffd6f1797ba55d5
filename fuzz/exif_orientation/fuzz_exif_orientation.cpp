#include <cstddef>
#include <cstdint>
#include <vector>

#include "scenepack/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto found = scenepack::FindExifOrientation({data, size});
  if (found) {
    if (found->value < 1 || found->value > 8 || found->offset + 2 > size) __builtin_trap();
    // Resetting it in place must find the same spot again.
    std::vector<uint8_t> copy(data, data + size);
    scenepack::SetExifOrientation(copy, *found, 1);
    const auto again = scenepack::FindExifOrientation(copy);
    if (!again || again->value != 1 || again->offset != found->offset) __builtin_trap();
  }
  return 0;
}
