#pragma once
// Writes short AVI clips (MPEG-4 part 2 pictures, no sound) from 32-bit 0x00RRGGBB pictures:
// the demo's clip and the clips that tests, benchmarks and the fuzz corpus play.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace video {

struct ClipSpec {
  int width = 64;
  int height = 48;
  int fps = 25;
  int frames = 25;
  // Quantiser 2 (best) to 31; low values keep flat colours close to what was drawn.
  int quality = 2;
};

// Fills picture `index` (width x height, `stride` pixels a row).
using PaintFrame = std::function<void(int index, uint32_t* pixels, size_t stride)>;

// False with *error when the clip cannot be written (nothing is left behind then).
bool WriteClip(const std::string& path, const ClipSpec& params, const PaintFrame& paint,
               std::string* error);

}  // namespace video
