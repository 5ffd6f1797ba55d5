#pragma once
// Writes short AVI clips (MPEG-4 part 2 pictures, optionally 16-bit PCM stereo sound) from
// 32-bit 0x00RRGGBB pictures: the demo's clip and the clips that tests, benchmarks and the
// fuzz corpus play.

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
  // Samples per second of the sound stream; 0: the clip has no sound.
  int soundRate = 0;
};

// Fills picture `index` (width x height, `stride` pixels a row).
using PaintFrame = std::function<void(int index, uint32_t* pixels, size_t stride)>;

// Fills the stereo frames [first, first + frames) of the sound, interleaved, in out.
using PaintSound = std::function<void(int64_t first, int16_t* out, size_t frames)>;

// False with *error when the clip cannot be written (nothing is left behind then).
// The sound (with params.soundRate set) lasts as long as the pictures.
bool WriteClip(const std::string& path, const ClipSpec& params, const PaintFrame& paint,
               std::string* error, const PaintSound& sound = {});

}  // namespace video
