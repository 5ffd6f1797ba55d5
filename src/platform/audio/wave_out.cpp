#include "platform/audio/wave_out.h"

#include "platform/audio/audio_device.h"

namespace audio {

MMRESULT WaveOut::Open(AudioDevice* device, const WAVEFORMATEX& format, Callback callback,
                       std::unique_ptr<WaveOut>* out) {
  if (!device) return MMSYSERR_NODRIVER;
  if (!IsPlayablePcm(format)) return WAVERR_BADFORMAT;
  if (!out) return MMSYSERR_INVALPARAM;
  out->reset(new WaveOut(*device, format, std::move(callback)));
  return MMSYSERR_NOERROR;
}

WaveOut::WaveOut(AudioDevice& device, const WAVEFORMATEX& format, Callback callback)
    : device_(&device), format_(format), callback_(std::move(callback)) {
  voice_ = device_->Voices().Open([this](void* tag) { Returned(static_cast<WAVEHDR*>(tag)); },
                                  /*streaming=*/true);
}

WaveOut::~WaveOut() {
  // The owner may be half gone: buffers still queued are dropped without callbacks.
  silent_ = true;
  if (voice_) {
    device_->Voices().Close(voice_);
    voice_.reset();
  }
}

void WaveOut::Returned(WAVEHDR* header) {
  header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  if (!silent_ && callback_) callback_(WOM_DONE, header);
}

MMRESULT WaveOut::PrepareHeader(WAVEHDR& header) {
  if (!voice_) return MMSYSERR_INVALPARAM;
  if (!header.lpData && header.dwBufferLength) return MMSYSERR_INVALPARAM;
  header.dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOut::UnprepareHeader(WAVEHDR& header) {
  if (!voice_) return MMSYSERR_INVALPARAM;
  if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOut::Write(WAVEHDR& header) {
  if (!voice_) return MMSYSERR_INVALPARAM;
  if (!(header.dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  std::span<const uint8_t> bytes(header.lpData, header.dwBufferLength);
  // The buffer is the caller's and unchanged until it comes back: played where it lies.
  if (device_->Voices().QueueInPlace(voice_, format_, bytes, &header)) return MMSYSERR_NOERROR;
  std::vector<int16_t> frames = device_->Voices().TakeSpare();
  ConvertToTrack(format_, bytes, frames);
  device_->Voices().Queue(voice_, std::move(frames), &header, /*loop=*/false);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOut::Reset() {
  if (!voice_) return MMSYSERR_INVALPARAM;
  device_->Voices().Reset(voice_);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOut::Close() {
  if (!voice_) return MMSYSERR_INVALPARAM;
  device_->Voices().Close(voice_);
  voice_.reset();
  if (callback_) callback_(WOM_CLOSE, nullptr);
  return MMSYSERR_NOERROR;
}

}  // namespace audio
