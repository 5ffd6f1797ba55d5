#pragma once
// Frames as PNG files (8-bit RGB).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/surface.h"

namespace gfx {

// Writes the surface to path; on failure returns false with *error set and leaves no
// partial file behind. An empty surface cannot be written.
bool WritePng(const Surface& surface, const std::string& path, std::string* error = nullptr);

// The PNG file of the surface in memory. level: zlib's 0 (stored) to 9 (smallest); levels 0
// and 1 use one row filter, trading size for speed, which bulk export wants.
bool EncodePng(const Surface& surface, int level, std::vector<uint8_t>* out,
               std::string* error = nullptr);

}  // namespace gfx
