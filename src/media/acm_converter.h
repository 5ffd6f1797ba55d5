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
  // Allocates the source and destination buffers, and in the same block `outputBuffers`
  // buffers of the destination's size for the caller (OutputBuffer, valid until Close). A
  // pass's buffers together come to a megabyte or two: as one block they map as one huge
  // page, where each small page of separate buffers would cost a fault.
  bool Prepare(int outputBuffers = 0);
  uint8_t* OutputBuffer(int i) {
    return block_.data() + sourceSize + static_cast<size_t>(i + 1) * destinationSize;
  }
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
  sys::LargeVector<uint8_t> block_;  // source, destination, the owner's bytes
};

}  // namespace media
