#pragma once
// The archive stores texts, font blocks and data blocks shifted down by (n mod 11) + 3;
// ShiftText undoes (add = true) or applies (add = false) that shift in place.

#include <cstddef>
#include <cstdint>

namespace scene {

size_t ShiftText(uint8_t* buffer, size_t n, bool add);
inline size_t ShiftText(char* buffer, size_t n, bool add) {
  return ShiftText(reinterpret_cast<uint8_t*>(buffer), n, add);
}

}  // namespace scene
