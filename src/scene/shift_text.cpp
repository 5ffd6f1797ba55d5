#include "scene/shift_text.h"

namespace scene {

size_t ShiftText(uint8_t* buffer, size_t n, bool add) {
  const auto d = static_cast<uint8_t>(n % 11 + 3);
  const auto delta = add ? d : static_cast<uint8_t>(256 - d);
  // Plain loop over bytes: the compiler vectorises it; data blocks are megabytes.
  for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<uint8_t>(buffer[i] + delta);
  return n;
}

}  // namespace scene
