#pragma once
// The waveOut device: open with a PCM format, prepare and write buffers, get each buffer
// back through the callback (WOM_DONE, on the device's thread), reset and close return
// every buffer. The callback may only do quick work (count, set an event), as waveOut
// callbacks must.

#include <atomic>
#include <functional>
#include <memory>

#include "platform/audio/mixer.h"
#include "platform/audio/wave_format.h"

namespace audio {

class AudioDevice;

class WaveOut {
 public:
  // (message, header): WOM_DONE with the returned header.
  using Callback = std::function<void(uint32_t message, WAVEHDR* header)>;

  // waveOutOpen. Without a device (no output) MMSYSERR_NODRIVER, with a format that is not
  // 8- or 16-bit PCM WAVERR_BADFORMAT. A null callback opens without one (a probe).
  static MMRESULT Open(AudioDevice* device, const WAVEFORMATEX& format, Callback callback,
                       std::unique_ptr<WaveOut>* out);
  ~WaveOut();
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  MMRESULT PrepareHeader(WAVEHDR& header);
  // WAVERR_STILLPLAYING while the buffer is queued.
  MMRESULT UnprepareHeader(WAVEHDR& header);
  // The buffer's bytes are taken at once; the header comes back when they have played.
  MMRESULT Write(WAVEHDR& header);
  MMRESULT Reset();
  // Reset, then no more callbacks. Also done by the destructor.
  MMRESULT Close();

 private:
  WaveOut(AudioDevice& device, const WAVEFORMATEX& format, Callback callback);
  void Returned(WAVEHDR* header);

  AudioDevice* device_;
  WAVEFORMATEX format_;
  Callback callback_;
  Mixer::VoiceRef voice_;
  std::atomic<bool> silent_{false};
};

}  // namespace audio
