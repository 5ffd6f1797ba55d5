#include "media/mp3_wave_out.h"

#include <algorithm>
#include <cstring>

#include "platform/audio/audio_device.h"

namespace media {

bool MP3WaveOut::PlayMemory(const uint8_t* data, int length) {
  reader_.OpenMemory(data, length);
  if (!reader_.Scan()) return false;
  return Play(reader_.HasXing());
}

bool MP3WaveOut::PlayFile(const std::string& fileName) {
  if (!reader_.OpenFile(fileName)) return false;
  if (!reader_.Scan()) return false;
  return Play(reader_.HasXing());
}

void MP3WaveOut::DeviceCallback(uint32_t message) {
  if (message != audio::WOM_DONE) return;
  // With nothing left to play, show time waits until this pass has reacted (virtual time).
  if (queued_.fetch_sub(1) == 1 && !holding_.exchange(true)) device_->Hold();
  bufferDone_.Set();
}

void MP3WaveOut::ReleaseHold() {
  if (holding_.exchange(false)) device_->Release();
}

bool MP3WaveOut::Play(bool) {
  endOfData_ = false;
  bufferIndex_ = 0;
  readPosition_ = 0;
  modes_.clear();
  reader_.GetWaveFormats(target_, source_);
  if (quality_.full) {
    target_ = audio::PcmFormat(source_.wfx.nChannels, source_.wfx.nSamplesPerSec, 16);
  }
  // A piece shorter than a chunk is read in one chunk either way; sized to the piece, its
  // buffers stay as small as it is, even when its header declares the lowest bitrate.
  conversion_.sourceSize =
      static_cast<int>(std::clamp<int64_t>(reader_.Length(), 1, AcmConverter::kSourceSize));
  if (!conversion_.Open(source_, target_) || !conversion_.Prepare(/*outputBuffers=*/2)) {
    conversion_.Close();
    return false;
  }
  outputBufferSize_ = conversion_.destinationSize;
  if (audio::WaveOut::Open(
          device_, target_, [this](uint32_t message, audio::WAVEHDR*) { DeviceCallback(message); },
          &device_out_) != audio::MMSYSERR_NOERROR) {
    conversion_.Close();
    return false;
  }
  for (int i = 0; i < 2; ++i) {
    buffers_[i] = conversion_.OutputBuffer(i);
    headers_[i] = audio::WAVEHDR{};
  }
  queued_ = 0;
  bufferDone_.Reset();
  // The device lets go of the output buffers before the converter frees them.
  auto fail = [this] {
    CloseOutput();
    conversion_.Close();
    return false;
  };
  if (!FillAndWrite()) return fail();
  started_.Set();
  while (!stop_.IsSet()) {
    // (A) Both buffers may be out: then only a returned one is filled.
    if (!endOfData_ && queued_.load() < 2 && !FillAndWrite()) return fail();
    bool refill = false;
    while (!refill) {
      // (B) Whoever sets the stop event wakes this wait too (Wake).
      if (queued_.load() > 0) ReleaseHold();
      while (!bufferDone_.IsSet() && !stop_.IsSet()) bufferDone_.Wait();
      if (stop_.IsSet()) break;
      // Cleared before the count is read, so a buffer that comes back later sets it again
      // and the wait cannot spin on a stale signal while the last buffer plays.
      bufferDone_.Reset();
      if (queued_.load() != 0) {
        refill = true;
      } else if (!endOfData_) {
        if (!FillAndWrite()) return fail();
      } else {
        break;
      }
    }
    if (!refill) break;
  }
  const bool closed = CloseOutput();
  conversion_.Close();
  if (!closed) return false;
  finished_.Set();
  return true;
}

bool MP3WaveOut::FillAndWrite() {
  audio::WAVEHDR& header = headers_[bufferIndex_];
  if ((header.dwFlags & audio::WHDR_PREPARED) &&
      device_out_->UnprepareHeader(header) != audio::MMSYSERR_NOERROR) {
    return false;
  }
  const int64_t total = reader_.Length();
  uint32_t mode = readPosition_ == 0 ? AcmConverter::kFirstChunk : AcmConverter::kMiddleChunk;
  audio::ACMSTREAMHEADER& acm = conversion_.header;
  acm.cbSrcLength = static_cast<uint32_t>(conversion_.sourceSize);
  if (static_cast<int64_t>(acm.cbSrcLength) >= total - readPosition_) {
    acm.cbSrcLength = static_cast<uint32_t>(total - readPosition_);
    mode = AcmConverter::kLastChunk;
  }
  reader_.Seek(readPosition_);
  reader_.Read(acm.pbSrc, acm.cbSrcLength);
  modes_.push_back(AcmConverter::ConvertFlags(mode));
  if (!conversion_.Convert(mode)) return false;
  // A partial frame at the end of a chunk is read again with the next one.
  readPosition_ += acm.cbSrcLengthUsed;
  const uint32_t n =
      std::min<uint32_t>(acm.cbDstLengthUsed, static_cast<uint32_t>(outputBufferSize_));
  std::memcpy(buffers_[bufferIndex_], acm.pbDst, n);
  if (readPosition_ >= total) endOfData_ = true;
  header.lpData = buffers_[bufferIndex_];
  header.dwBufferLength = n;
  if (device_out_->PrepareHeader(header) != audio::MMSYSERR_NOERROR) return false;
  // Counted before the write, so a buffer that comes back at once is not counted twice.
  queued_.fetch_add(1);
  if (device_out_->Write(header) != audio::MMSYSERR_NOERROR) {
    queued_.fetch_sub(1);
    return false;
  }
  bufferIndex_ = (bufferIndex_ + 1) % 2;
  return true;
}

bool MP3WaveOut::CloseOutput() {
  if (!device_out_) return true;
  bool ok = device_out_->Reset() == audio::MMSYSERR_NOERROR;
  for (int i = 0; i < 2 && ok; ++i) {
    if ((headers_[i].dwFlags & audio::WHDR_PREPARED) &&
        device_out_->UnprepareHeader(headers_[i]) != audio::MMSYSERR_NOERROR) {
      ok = false;
    }
    buffers_[i] = nullptr;
  }
  ok = device_out_->Close() == audio::MMSYSERR_NOERROR && ok;
  device_out_.reset();
  return ok;
}

}  // namespace media
