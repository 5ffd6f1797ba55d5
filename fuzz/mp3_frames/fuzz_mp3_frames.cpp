// The frame search and the formats it yields, then the codec over the start of the data
// with those formats, in small chunks as the playing pass feeds it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/mp3_stream_reader.h"
#include "platform/audio/layer3_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  media::MP3StreamReader reader;
  reader.OpenMemory(data, static_cast<int>(size));
  if (!reader.Scan()) return 0;
  audio::WAVEFORMATEX pcm;
  audio::MPEGLAYER3WAVEFORMAT mp3;
  reader.GetWaveFormats(pcm, mp3);
  std::unique_ptr<audio::AcmStream> stream;
  if (audio::AcmStream::Open(mp3, pcm, 0, &stream) != audio::MMSYSERR_NOERROR) return 0;
  const uint32_t chunk = 4096;
  uint32_t dst = 0;
  stream->Size(chunk, &dst, audio::ACM_STREAMSIZEF_SOURCE);
  std::vector<uint8_t> src(chunk), out(dst);
  audio::ACMSTREAMHEADER h;
  h.pbSrc = src.data();
  h.cbSrcLength = chunk;
  h.pbDst = out.data();
  h.cbDstLength = dst;
  if (stream->PrepareHeader(h, 0) != audio::MMSYSERR_NOERROR) return 0;
  size_t pos = 0;
  for (int calls = 0; pos < size && calls < 64; ++calls) {
    uint32_t flags = pos == 0 ? audio::ACM_STREAMCONVERTF_START : 0;
    h.cbSrcLength = chunk;
    if (h.cbSrcLength >= size - pos) {
      h.cbSrcLength = static_cast<uint32_t>(size - pos);
      flags = audio::ACM_STREAMCONVERTF_END;
    }
    std::copy_n(data + pos, h.cbSrcLength, src.begin());
    if (stream->Convert(h, flags | audio::ACM_STREAMCONVERTF_BLOCKALIGN) != 0) break;
    if (h.cbSrcLengthUsed > h.cbSrcLength || h.cbDstLengthUsed > h.cbDstLength) __builtin_trap();
    if (h.cbSrcLengthUsed == 0 && h.cbDstLengthUsed == 0) break;
    pos += h.cbSrcLengthUsed;
  }
  h.cbSrcLength = chunk;
  stream->UnprepareHeader(h, 0);
  return 0;
}
