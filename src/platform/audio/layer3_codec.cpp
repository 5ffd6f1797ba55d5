#include "platform/audio/layer3_codec.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace audio {
namespace {

bool StandardRate(uint32_t rate) {
  for (uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
    if (r == rate) return true;
  }
  return false;
}

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

// Input is fed in slices so that decoding can stop when the destination is full.
constexpr size_t kFeedSlice = 2048;

}  // namespace

MMRESULT AcmFormatTagDetails(uint16_t formatTag) {
  if (formatTag != WAVE_FORMAT_MPEGLAYER3) return ACMERR_NOTPOSSIBLE;
  InitOnce();
  int err = MPG123_OK;
  mpg123_handle* h = mpg123_new(nullptr, &err);
  if (!h) return ACMERR_NOTPOSSIBLE;
  mpg123_delete(h);
  return MMSYSERR_NOERROR;
}

MMRESULT AcmStream::Open(const MPEGLAYER3WAVEFORMAT& source, const WAVEFORMATEX& target, uint32_t,
                         std::unique_ptr<AcmStream>* out) {
  if (!out) return MMSYSERR_INVALPARAM;
  const WAVEFORMATEX& s = source.wfx;
  if (s.wFormatTag != WAVE_FORMAT_MPEGLAYER3 || (s.nChannels != 1 && s.nChannels != 2) ||
      !StandardRate(s.nSamplesPerSec) || s.nAvgBytesPerSec == 0) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (!IsPlayablePcm(target) || target.nChannels != s.nChannels) return ACMERR_NOTPOSSIBLE;
  const bool halve = target.nSamplesPerSec * 2 == s.nSamplesPerSec;
  if (!halve && target.nSamplesPerSec != s.nSamplesPerSec) return ACMERR_NOTPOSSIBLE;
  std::unique_ptr<AcmStream> stream(new AcmStream(source, target));
  stream->halve_ = halve;
  if (!stream->Restart()) return ACMERR_NOTPOSSIBLE;
  *out = std::move(stream);
  return MMSYSERR_NOERROR;
}

AcmStream::~AcmStream() {
  if (handle_) mpg123_delete(handle_);
}

bool AcmStream::Restart() {
  InitOnce();
  if (handle_) mpg123_delete(handle_);
  int err = MPG123_OK;
  handle_ = mpg123_new(nullptr, &err);
  if (!handle_) return false;
  const bool mono = target_.nChannels == 1;
  long flags = MPG123_QUIET | (mono ? MPG123_FORCE_MONO : MPG123_FORCE_STEREO);
  if (target_.wBitsPerSample == 8) flags |= MPG123_FORCE_8BIT;
  const int enc = target_.wBitsPerSample == 8 ? MPG123_ENC_UNSIGNED_8 : MPG123_ENC_SIGNED_16;
  bool ok = mpg123_param(handle_, MPG123_FLAGS, flags, 0) == MPG123_OK &&
            mpg123_param(handle_, MPG123_DOWN_SAMPLE, halve_ ? 1 : 0, 0) == MPG123_OK &&
            mpg123_param(handle_, MPG123_RESYNC_LIMIT, kResyncLimit, 0) == MPG123_OK &&
            mpg123_format_none(handle_) == MPG123_OK &&
            mpg123_format(handle_, static_cast<long>(target_.nSamplesPerSec),
                          mono ? MPG123_MONO : MPG123_STEREO, enc) == MPG123_OK &&
            mpg123_open_feed(handle_) == MPG123_OK;
  if (!ok) {
    mpg123_delete(handle_);
    handle_ = nullptr;
  }
  fresh_ = true;
  owed_ = 0;
  return ok;
}

size_t AcmStream::FrameBytes() const {
  // One decoded frame: at most 1152 samples per channel in the fixed output format
  // (mpg123_outblock allows for formats this stream never makes).
  return 1152u * target_.nBlockAlign;
}

MMRESULT AcmStream::Size(uint32_t sourceBytes, uint32_t* destinationBytes, uint32_t flags) const {
  if (!destinationBytes || flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALPARAM;
  // The source's play time at its stated byte rate, a quarter more for lower-rate frames,
  // and room for a few whole frames (1152 samples each at most).
  const uint64_t frameBytes = FrameBytes();
  uint64_t out = static_cast<uint64_t>(sourceBytes) * target_.nAvgBytesPerSec /
                     source_.wfx.nAvgBytesPerSec * 5 / 4 +
                 4 * frameBytes;
  out = std::min<uint64_t>(out, 64ull << 20);
  out -= out % target_.nBlockAlign;
  *destinationBytes = static_cast<uint32_t>(out);
  return MMSYSERR_NOERROR;
}

MMRESULT AcmStream::PrepareHeader(ACMSTREAMHEADER& h, uint32_t) {
  if (h.cbStruct < 84 || !h.pbSrc || !h.pbDst) return MMSYSERR_INVALPARAM;
  if (h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) return MMSYSERR_INVALPARAM;
  h.fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
  preparedSrc_ = h.cbSrcLength;
  preparedDst_ = h.cbDstLength;
  return MMSYSERR_NOERROR;
}

MMRESULT AcmStream::UnprepareHeader(ACMSTREAMHEADER& h, uint32_t) {
  if (!(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (h.cbSrcLength != preparedSrc_ || h.cbDstLength != preparedDst_) return MMSYSERR_INVALPARAM;
  h.fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT AcmStream::Convert(ACMSTREAMHEADER& h, uint32_t flags) {
  if (!(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (h.cbSrcLength > preparedSrc_ || h.cbDstLength > preparedDst_) return MMSYSERR_INVALPARAM;
  if ((flags & ACM_STREAMCONVERTF_START) && !fresh_ && !Restart()) return ACMERR_NOTPOSSIBLE;
  if (!handle_) return ACMERR_NOTPOSSIBLE;
  fresh_ = false;
  h.fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  h.cbSrcLengthUsed = 0;
  h.cbDstLengthUsed = 0;

  const size_t frameMax = FrameBytes();
  if (h.cbDstLength < frameMax) return MMSYSERR_INVALPARAM;
  // Bytes that an earlier call took but did not count, being sent again now.
  size_t fed = std::min<size_t>(owed_, h.cbSrcLength);
  size_t lastSlice = fed;
  owed_ = 0;
  size_t produced = 0;
  bool full = false;
  MMRESULT result = MMSYSERR_NOERROR;
  int idle = 0;  // calls in a row that neither fed nor produced
  while (true) {
    if (h.cbDstLength - produced < frameMax) {
      full = true;
      break;
    }
    off_t num = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    const int r = mpg123_decode_frame(handle_, &num, &audio, &bytes);
    if (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
      if (r == MPG123_NEW_FORMAT) {
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(handle_, &rate, &channels, &encoding);
        if (static_cast<uint32_t>(rate) != target_.nSamplesPerSec ||
            channels != target_.nChannels) {
          result = ACMERR_NOTPOSSIBLE;
          break;
        }
      }
      if (bytes > 0 && audio) {
        bytes = std::min(bytes, static_cast<size_t>(h.cbDstLength) - produced);
        std::memcpy(h.pbDst + produced, audio, bytes);
        produced += bytes;
        idle = 0;
      } else if (++idle > 10000) {
        result = ACMERR_NOTPOSSIBLE;
        break;
      }
      continue;
    }
    if (r == MPG123_NEED_MORE) {
      if (fed >= h.cbSrcLength) break;
      const size_t n = std::min(kFeedSlice, h.cbSrcLength - fed);
      if (mpg123_feed(handle_, h.pbSrc + fed, n) != MPG123_OK) {
        result = ACMERR_NOTPOSSIBLE;
        break;
      }
      fed += n;
      lastSlice = n;
      idle = 0;
      continue;
    }
    if (r == MPG123_DONE) break;
    // Data that no resync can make sense of, or an output format it cannot make.
    result = ACMERR_NOTPOSSIBLE;
    break;
  }
  if (full) {
    // Whole frames of the last slice may still wait inside the decoder: that slice is not
    // counted, and skipped when the caller hands it over again.
    owed_ = lastSlice;
    fed -= lastSlice;
  }
  h.cbSrcLengthUsed = static_cast<uint32_t>(fed);
  h.cbDstLengthUsed = static_cast<uint32_t>(produced);
  h.fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  if (result == MMSYSERR_NOERROR && (flags & ACM_STREAMCONVERTF_END) && !full &&
      fed == h.cbSrcLength) {
    // What is left is a partial frame; the next conversion starts afresh.
    if (!Restart()) result = ACMERR_NOTPOSSIBLE;
  }
  return result;
}

}  // namespace audio
