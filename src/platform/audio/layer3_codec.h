#pragma once
// The MPEG Layer-3 codec of the conversion manager: MP3 bytes in, PCM of the requested
// format out, reporting the bytes it consumed and produced per call. libmpg123 (feed API)
// decodes and makes the target format itself (forced 8-bit output, 2:1 down-sampling);
// the output format is fixed for the stream's life.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/audio/wave_format.h"

typedef struct mpg123_handle_struct mpg123_handle;

namespace audio {

// acmFormatTagDetails asked for one format tag: MMSYSERR_NOERROR when a codec for it is
// installed.
MMRESULT AcmFormatTagDetails(uint16_t formatTag);

class AcmStream {
 public:
  // acmStreamOpen: MPEG Layer-3 source to 8- or 16-bit PCM with the source's channels at
  // the source rate or half of it; ACMERR_NOTPOSSIBLE for any other pair.
  static MMRESULT Open(const MPEGLAYER3WAVEFORMAT& source, const WAVEFORMATEX& target,
                       uint32_t flags, std::unique_ptr<AcmStream>* out);
  ~AcmStream();
  AcmStream(const AcmStream&) = delete;
  AcmStream& operator=(const AcmStream&) = delete;

  // acmStreamSize from a source length (ACM_STREAMSIZEF_SOURCE): a destination size that
  // holds the usual output of that many bytes; a call that would produce more stops early
  // and reports fewer bytes consumed.
  MMRESULT Size(uint32_t sourceBytes, uint32_t* destinationBytes, uint32_t flags) const;
  MMRESULT PrepareHeader(ACMSTREAMHEADER& header, uint32_t flags);
  // Flags: ACM_STREAMCONVERTF_START (forget earlier data), _BLOCKALIGN (whole frames only;
  // always the case), _END (the last bytes: a partial frame left over is dropped).
  MMRESULT Convert(ACMSTREAMHEADER& header, uint32_t flags);
  // Needs the lengths that were prepared.
  MMRESULT UnprepareHeader(ACMSTREAMHEADER& header, uint32_t flags);

  // Bytes of input the decoder may skip looking for a frame before the data counts as
  // broken.
  static constexpr long kResyncLimit = 16384;

 private:
  AcmStream(const MPEGLAYER3WAVEFORMAT& source, const WAVEFORMATEX& target)
      : source_(source), target_(target) {}
  bool Restart();
  size_t FrameBytes() const;

  MPEGLAYER3WAVEFORMAT source_;
  WAVEFORMATEX target_;
  bool halve_ = false;
  mpg123_handle* handle_ = nullptr;
  bool fresh_ = true;
  size_t owed_ = 0;
  uint32_t preparedSrc_ = 0, preparedDst_ = 0;
};

}  // namespace audio
