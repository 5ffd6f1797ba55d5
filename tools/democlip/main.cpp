// Writes the demo show's video clip: three seconds of a ball bouncing over moving colour
// bands, 320x240 at 25 pictures a second, as an AVI file.
//   democlip OUT.avi

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/video/clip_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: democlip OUT.avi\n");
    return 2;
  }
  const video::ClipSpec params{320, 240, 25, 75, 3};
  const auto paint = [&](int i, uint32_t* pixels, size_t stride) {
    const double t = i / 25.0;
    const double bx = 160 + 120 * std::sin(t * 2.1), by = 200 - 150 * std::abs(std::sin(t * 3.3));
    for (int y = 0; y < params.height; ++y) {
      for (int x = 0; x < params.width; ++x) {
        const int band = ((x + i * 4) / 40) % 4;
        const uint32_t colors[4] = {0x203060, 0x2f4f8f, 0x3c6e9e, 0x27466e};
        uint32_t p = colors[band];
        const double dx = x - bx, dy = y - by;
        if (dx * dx + dy * dy < 28 * 28) p = 0xf0c040;
        if (y >= 230) p = 0x102040;
        pixels[static_cast<size_t>(y) * stride + x] = p;
      }
    }
  };
  std::string error;
  if (!video::WriteClip(argv[1], params, paint, &error)) {
    std::fprintf(stderr, "democlip: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
