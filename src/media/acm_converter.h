#pragma once
// One conversion stream of the Layer-3 codec with its source and destination buffers.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/layer3_codec.h"
#include "platform/audio/wave_format.h"
#include "platform/sys/large_alloc.h"

namespace media {

class AcmConverter {
 public:
  static constexpr int kSourceSize = 0x20000;
  // Convert modes.
  static constexpr uint32_t kFirstChunk = 0, kMiddleChunk = 1, kLastChunk = 2;

  AcmConverter() = default;
  ~AcmConverter() { Close(); }
  AcmConverter(const AcmConverter&) = delete;
  AcmConverter& operator=(const AcmConverter&) = delete;

  bool Open(const audio::MPEGLAYER3WAVEFORMAT& source, const audio::WAVEFORMATEX& destination);
  bool Prepare();
  bool Convert(uint32_t mode);
  void Close();

  // The flags a mode converts with.
  static uint32_t ConvertFlags(uint32_t mode);

  audio::ACMSTREAMHEADER header;
  int sourceSize = kSourceSize;
  int destinationSize = kSourceSize;
  audio::MMRESULT lastResult = audio::MMSYSERR_NOERROR;

 private:
  std::unique_ptr<audio::AcmStream> stream_;
  sys::LargeVector<uint8_t> source_, destination_;
};

}  // namespace media
