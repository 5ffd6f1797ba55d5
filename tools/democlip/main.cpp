// Writes the demo show's video clip: three seconds of a ball bouncing over moving colour
// bands, 320x240 at 25 pictures a second, as an AVI file. Its sound is silent but for a
// 660 Hz tone from 1 s to 2 s of the clip, which renders of the demo can be measured by.
//   democlip OUT.avi

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/video/clip_writer.h"

namespace {

constexpr int kSoundRate = 22050;
constexpr double kToneHz = 660, kToneFrom = 1.0, kToneTo = 2.0;

// Stereo frames [first, first + n): the tone with 5 ms ramps at its ends, else silence.
void PaintTone(int64_t first, int16_t* out, size_t n) {
  constexpr double kPi = 3.14159265358979323846;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(first + static_cast<int64_t>(i)) / kSoundRate;
    double v = 0;
    if (t >= kToneFrom && t < kToneTo) {
      const double ramp = std::min({1.0, (t - kToneFrom) / 0.005, (kToneTo - t) / 0.005});
      v = 0.3 * ramp * std::sin(2 * kPi * kToneHz * (t - kToneFrom));
    }
    out[2 * i] = out[2 * i + 1] = static_cast<int16_t>(std::lround(v * 32767));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: democlip OUT.avi\n");
    return 2;
  }
  const video::ClipSpec params{320, 240, 25, 75, 3, kSoundRate};
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
  if (!video::WriteClip(argv[1], params, paint, &error, PaintTone)) {
    std::fprintf(stderr, "democlip: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
