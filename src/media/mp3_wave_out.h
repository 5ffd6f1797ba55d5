#pragma once
// One playing pass over an MP3 piece: the codec converts it chunk by chunk into two output
// buffers that take turns on the wave device, until the piece has played or the stop event
// is set.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/acm_converter.h"
#include "media/mp3_stream_reader.h"
#include "platform/audio/wave_format.h"
#include "platform/audio/wave_out.h"
#include "platform/sys/event.h"
#include "platform/sys/large_alloc.h"

namespace audio {
class AudioDevice;
}

namespace media {

// How a piece is played. The default is what the formats say: 8-bit, MPEG-1 rates halved.
struct SoundQuality {
  bool full = false;  // the source rate in 16 bits
};

class MP3WaveOut {
 public:
  MP3WaveOut(audio::AudioDevice* device, SoundQuality quality, sys::Event& finished,
             sys::Event& started, sys::Event& stop)
      : device_(device), quality_(quality), finished_(finished), started_(started), stop_(stop) {}
  MP3WaveOut(const MP3WaveOut&) = delete;
  MP3WaveOut& operator=(const MP3WaveOut&) = delete;

  bool PlayMemory(const uint8_t* data, int length);
  bool PlayFile(const std::string& fileName);
  // One pass; `xing` changes nothing.
  bool Play(bool xing);

  // Ends the pass's wait for the device; called after the stop event was set.
  void Wake() { bufferDone_.Set(); }
  // Lets show time go on after the pass's last buffer came back (see AudioDevice::Hold).
  void ReleaseHold();

  // The formats of the last pass.
  const audio::WAVEFORMATEX& TargetFormat() const { return target_; }
  int OutputBufferSize() const { return outputBufferSize_; }
  // Chunks converted in the last pass, and the flags of each (for tests).
  const std::vector<uint32_t>& ConvertModes() const { return modes_; }

 private:
  bool FillAndWrite();
  bool CloseOutput();
  void DeviceCallback(uint32_t message);

  audio::AudioDevice* device_;
  SoundQuality quality_;
  std::atomic<int> queued_{0};
  std::atomic<bool> holding_{false};
  bool endOfData_ = false;
  sys::Event bufferDone_;
  sys::Event& finished_;
  sys::Event& started_;
  sys::Event& stop_;
  AcmConverter conversion_;
  MP3StreamReader reader_;
  int bufferIndex_ = 0;
  int outputBufferSize_ = 0;
  int64_t readPosition_ = 0;
  audio::WAVEFORMATEX target_;
  audio::MPEGLAYER3WAVEFORMAT source_;
  std::unique_ptr<audio::WaveOut> device_out_;
  audio::WAVEHDR headers_[2];
  uint8_t* buffers_[2] = {};  // in the converter's block
  std::vector<uint32_t> modes_;
};

}  // namespace media
