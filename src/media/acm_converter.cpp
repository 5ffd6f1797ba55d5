#include "media/acm_converter.h"

namespace media {

uint32_t AcmConverter::ConvertFlags(uint32_t mode) {
  switch (mode) {
    case kFirstChunk:
      return audio::ACM_STREAMCONVERTF_START | audio::ACM_STREAMCONVERTF_BLOCKALIGN;
    case kMiddleChunk:
      return audio::ACM_STREAMCONVERTF_BLOCKALIGN;
    case kLastChunk:
      return audio::ACM_STREAMCONVERTF_END | audio::ACM_STREAMCONVERTF_BLOCKALIGN;
    default:
      return mode;
  }
}

bool AcmConverter::Open(const audio::MPEGLAYER3WAVEFORMAT& source,
                        const audio::WAVEFORMATEX& destination) {
  Close();
  lastResult =
      audio::AcmStream::Open(source, destination, audio::ACM_STREAMOPENF_NONREALTIME, &stream_);
  return lastResult == audio::MMSYSERR_NOERROR;
}

bool AcmConverter::Prepare(int outputBuffers) {
  if (!stream_) return false;
  uint32_t size = 0;
  lastResult =
      stream_->Size(static_cast<uint32_t>(sourceSize), &size, audio::ACM_STREAMSIZEF_SOURCE);
  if (lastResult != audio::MMSYSERR_NOERROR) return false;
  destinationSize = static_cast<int>(size);
  block_.assign(static_cast<size_t>(sourceSize) + size * (1 + static_cast<size_t>(outputBuffers)),
                0);
  header = audio::ACMSTREAMHEADER{};
  header.pbSrc = block_.data();
  header.cbSrcLength = static_cast<uint32_t>(sourceSize);
  header.pbDst = block_.data() + sourceSize;
  header.cbDstLength = size;
  lastResult = stream_->PrepareHeader(header, 0);
  return lastResult == audio::MMSYSERR_NOERROR;
}

bool AcmConverter::Convert(uint32_t mode) {
  if (!stream_) return false;
  lastResult = stream_->Convert(header, ConvertFlags(mode));
  return lastResult == audio::MMSYSERR_NOERROR;
}

void AcmConverter::Close() {
  if (!stream_) return;
  // Unpreparing needs the lengths that were prepared.
  header.cbSrcLength = static_cast<uint32_t>(sourceSize);
  header.cbDstLength = static_cast<uint32_t>(destinationSize);
  if (header.fdwStatus & audio::ACMSTREAMHEADER_STATUSF_PREPARED) {
    lastResult = stream_->UnprepareHeader(header, 0);
  }
  stream_.reset();
  block_ = {};
  header.pbSrc = nullptr;
  header.pbDst = nullptr;
}

}  // namespace media
