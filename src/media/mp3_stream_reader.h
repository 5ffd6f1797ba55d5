#pragma once
// One piece of MP3 data as a seekable memory stream: finds the first MPEG audio frame
// header, decodes it, and gives the two wave formats the conversion needs (MPEG Layer-3
// source, 8-bit PCM target). It does not decode audio or walk the frames.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/wave_format.h"

namespace media {

struct MP3FrameInfo {
  float version = 0;    // 1.0, 2.0 or 2.5
  int16_t layer = 0;    // 1, 2 or 3
  int16_t bitrate = 0;  // kbit/s
  int32_t sampleRate = 0;
  int16_t channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
};

class MP3StreamReader {
 public:
  // Headers are searched at byte offsets 0 to kSearchLimit - 1.
  static constexpr int kSearchLimit = 10240;

  // Attaches the caller's block (not copied; it must outlive the reading).
  bool OpenMemory(const uint8_t* data, int length);
  // Reads the whole file into the stream; false when it cannot be opened or read.
  bool OpenFile(const std::string& fileName);
  // Frame search, then the Xing probe when a frame was found.
  bool Scan();
  bool HasXing() const { return xingPresent_; }
  // The PCM target and the Layer-3 source of the first frame. After a successful Scan.
  void GetWaveFormats(audio::WAVEFORMATEX& pcm, audio::MPEGLAYER3WAVEFORMAT& mp3) const;

  // The stream.
  int64_t Length() const { return static_cast<int64_t>(data_.size()); }
  void Seek(int64_t position) { position_ = position; }
  int64_t Position() const { return position_; }
  // Reads up to n bytes at the position and moves it on; returns the count read.
  size_t Read(uint8_t* dst, size_t n);

  int FirstFrameOffset() const { return firstFrameOffset_; }
  int XingFrameCount() const { return xingFrameCount_; }
  bool HeaderFound() const { return headerFound_; }
  const MP3FrameInfo& FrameInfo() const { return frameInfo_; }

 private:
  bool FindFrame();
  bool ProbeXing();

  std::span<const uint8_t> data_;
  std::vector<uint8_t> owned_;
  int64_t position_ = 0;
  int firstFrameOffset_ = -1;
  int xingFrameCount_ = -1;
  bool headerFound_ = false;
  bool xingPresent_ = false;
  MP3FrameInfo frameInfo_;
};

// The header word's frame fields when it is a usable frame header (sync, no reserved
// version, layer, rate or emphasis, no free-format or bad bitrate); false otherwise.
bool DecodeFrameHeader(uint32_t word, MP3FrameInfo* info);

}  // namespace media
