// WAV data as the wave-sound call reads it: SDL's loader behind our chunk-size bound, then
// the conversion to the track format.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/audio/wave_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto track = audio::WaveSound::Decode(std::span<const uint8_t>(data, size));
  if (!track.empty()) {
    volatile int16_t last = track.back();
    (void)last;
  }
  return 0;
}
