#pragma once
// Writes a video file through FFmpeg's libraries. The container comes from the file name:
// .mp4 and .mkv hold H.264 (libx264, yuv420p) with AAC sound, .webm holds VP9 with Opus.
// Pictures are 32-bit 0x00RRGGBB pixels; each is converted once to the codec's format, and a
// converted picture may be written any number of times (a still screen costs no conversion).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/video/pcm_source.h"

namespace video {

struct EncoderSettings {
  int width = 0;
  int height = 0;
  int fps = 25;
  // Constant rate factor: lower is better and larger. -1 picks the codec's default
  // (23 for H.264, 32 for VP9).
  int crf = -1;
};

// A picture converted to the codec's pixel format; immutable and shareable between threads.
class ConvertedPicture {
 public:
  virtual ~ConvertedPicture() = default;
};

class VideoEncoder {
 public:
  // Creates the file and prepares the codecs. Returns null with *error set when the name has
  // no known container, the size does not suit the codec, or the file cannot be created (in
  // which case nothing is left behind). `audio`, when given, must outlive the encoder.
  static std::unique_ptr<VideoEncoder> Open(const std::string& path,
                                            const EncoderSettings& settings, PcmSource* audio,
                                            std::string* error);
  virtual ~VideoEncoder() = default;

  // Whether the name ends in a container this encoder writes (.mp4, .mkv, .webm).
  static bool KnownContainer(const std::string& path);

  // Converts one picture; any thread, concurrently with other calls to Convert.
  // `stride` is in pixels.
  virtual std::shared_ptr<const ConvertedPicture> Convert(const uint32_t* pixels,
                                                          size_t stride) const = 0;
  // Appends the picture as the next frame, and the sound up to that frame's start (Finish
  // reads the rest, up to the last frame's end). One thread.
  virtual bool Write(const std::shared_ptr<const ConvertedPicture>& picture,
                     std::string* error) = 0;
  // Flushes the codecs and completes the file.
  virtual bool Finish(std::string* error) = 0;
  // Closes without completing and deletes the file.
  virtual void Abandon() = 0;

  // The file being written until Finish renames it to the asked name; empty when none.
  virtual std::string PartialPath() const = 0;
  virtual int64_t FramesWritten() const = 0;
  virtual const char* CodecName() const = 0;
};

}  // namespace video
