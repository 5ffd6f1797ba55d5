#pragma once
// Reads the pictures of a video clip through FFmpeg's libraries. Clips come from show files
// anyone may have made, so only a local file is opened, only as AVI, with caps on the
// picture size and the stream count; any codec FFmpeg decodes is taken. Pictures come out at
// the clip's own size as 32-bit 0x00RRGGBB pixels (libswscale), with their time stamps.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace video {

struct ClipLimits {
  int maxWidth = 4096;
  int maxHeight = 4096;
  int maxStreams = 16;
  // A gap between two pictures longer than this is taken as this long, so a stray time
  // stamp cannot hold a waiting show for hours.
  std::chrono::nanoseconds maxFrameGap = std::chrono::seconds(5);
};

// Why an open failed, as codes with texts of their own (ClipErrorText).
enum class ClipError {
  kNone = 0,
  kCannotOpen = 1,  // missing, unreadable, or not a file
  kNotAvi = 2,      // not an AVI file, or a damaged one
  kNoVideo = 3,     // no video stream, or none FFmpeg decodes
  kTooLarge = 4,    // picture size or stream count above the limits
  kOutOfMemory = 5,
};

// The text of an error code; "Error code not known." for any other value.
std::string ClipErrorText(int code);

class ClipDecoder {
 public:
  // Null with *error (and *text, a detail for logs) when the file cannot be played.
  static std::unique_ptr<ClipDecoder> Open(const std::string& path, ClipError* error,
                                           std::string* detail = nullptr,
                                           const ClipLimits& limits = {});
  virtual ~ClipDecoder() = default;

  // The natural size: the source rectangle of the clip.
  virtual int Width() const = 0;
  virtual int Height() const = 0;

  // Decodes the next picture into `pixels` (Width() x Height(), `stride` pixels a row) and
  // gives its time from the start of the clip. False at the end of the clip (or at the
  // first error: the rest of a damaged clip is dropped).
  virtual bool NextFrame(uint32_t* pixels, size_t stride, std::chrono::nanoseconds* time) = 0;
  // The same in two steps, so that a player converts only the pictures it shows, when it
  // shows them: DecodeNext holds the next picture as decoded and gives its time;
  // ConvertHeld converts the held picture into rows of the decoder's own (Width() x
  // Height() pixels, *stride a row), valid until the next ConvertHeld or Rewind. Null when
  // the held picture cannot be converted, or none is held.
  virtual bool DecodeNext(std::chrono::nanoseconds* time) = 0;
  virtual const uint32_t* ConvertHeld(size_t* stride) = 0;
  // Converts the held picture into `pixels` (Width() x Height(), `stride` pixels a row),
  // writing nothing outside them: straight there where the converter can, else through
  // ConvertHeld's rows. False as ConvertHeld would give null.
  virtual bool ConvertHeldInto(uint32_t* pixels, size_t stride) = 0;
  // How long the last picture stays (from the clip's frame rate), for the end of a pass.
  virtual std::chrono::nanoseconds FrameDuration() const = 0;
  // Back to the first picture; false when the clip cannot be read again.
  virtual bool Rewind() = 0;
};

}  // namespace video
