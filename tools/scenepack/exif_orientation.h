#pragma once
// The orientation a camera recorded in a JPEG's Exif block (APP1), read without trusting a
// single length: every offset is checked against the segment that holds it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace scenepack {

struct ExifOrientation {
  // 1 upright, 2 mirrored, 3 upside down, 4 flipped, 5 transposed, 6 turned 90° clockwise
  // to stand, 7 transversed, 8 turned 90° counter-clockwise to stand.
  int value = 1;
  // Where the 16-bit value sits in the file, so it can be reset in place.
  size_t offset = 0;
  bool bigEndian = false;
};

// The orientation of the first Exif block before the picture data, or nullopt when the
// file holds none (or holds one that cannot be read).
std::optional<ExifOrientation> FindExifOrientation(std::span<const uint8_t> jpeg);

// Writes `value` over a found orientation.
void SetExifOrientation(std::span<uint8_t> jpeg, const ExifOrientation& where, int value);

}  // namespace scenepack
