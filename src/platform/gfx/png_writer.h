#pragma once
// Frames as PNG files (8-bit RGB).

#include <string>

#include "platform/gfx/surface.h"

namespace gfx {

// Writes the surface to path; on failure returns false with *error set and leaves no
// partial file behind. An empty surface cannot be written.
bool WritePng(const Surface& surface, const std::string& path, std::string* error = nullptr);

}  // namespace gfx
