#pragma once
// Sound handed to an encoder: interleaved signed 16-bit stereo at a fixed rate, read in the
// order of show time.

#include <cstddef>
#include <cstdint>

namespace video {

class PcmSource {
 public:
  virtual ~PcmSource() = default;
  // Samples per second per channel.
  virtual int SampleRate() const = 0;
  // Fills out[0 .. 2 * frames) with the next `frames` stereo frames of show time; silence
  // where nothing plays. Called from one thread at a time, never for show time that the
  // show has not yet reached (the encoder reads up to the start of the frame it writes).
  virtual void Read(int16_t* out, size_t frames) = 0;
};

}  // namespace video
