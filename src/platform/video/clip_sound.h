#pragma once
// Reads the sound of a video clip: the clip's first playable sound stream, decoded by
// FFmpeg and converted by libswresample to interleaved signed 16-bit stereo at the rate the
// caller plays. The file is opened with the same guards as the pictures (local, AVI only,
// stream count capped); a clip without sound, or with none FFmpeg decodes, has no reader.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/video/clip_decoder.h"

namespace video {

class ClipSound {
 public:
  // Null when the clip has no sound that can be played at `rate` (8000 to 192000 Hz).
  static std::unique_ptr<ClipSound> Open(const std::string& path, int rate,
                                         const ClipLimits& limits = {});
  virtual ~ClipSound() = default;

  // Fills out[0 .. 2 * frames) with the next stereo frames and gives how many it filled:
  // `frames` until the sound ends, fewer at its end, 0 after it.
  virtual size_t Read(int16_t* out, size_t frames) = 0;
  // Back to the start of the sound; false when the clip cannot be read again.
  virtual bool Rewind() = 0;
};

}  // namespace video
