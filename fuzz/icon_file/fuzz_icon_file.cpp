// Icon and cursor files from anywhere: the directory, BMP and PNG entries.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gfx/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (gfx::IconFileType type : {gfx::IconFileType::Icon, gfx::IconFileType::Cursor}) {
    if (auto icon = gfx::ReadIconFile(bytes, type)) {
      // Touch every pixel so a short surface shows up.
      uint32_t sum = 0;
      for (int y = 0; y < icon->image.Height(); ++y)
        for (int x = 0; x < icon->image.Width(); ++x)
          sum += icon->image.At(x, y) ^ icon->mask.At(x, y);
      if (sum == 0xFFFFFFFFu) return 0;
    }
  }
  return 0;
}
