#pragma once
// The wave-sound call (PlaySound with a memory image): one sound at a time, played
// synchronously, asynchronously or looping, stopped by a call without a sound. SDL's WAV
// loader reads the data (PCM of 8 to 32 bits, float, ADPCM, A-law, mu-law); data it
// refuses plays nothing.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/sys/event.h"

namespace sys {
class Clock;
}

namespace audio {

class AudioDevice;

class WaveSound {
 public:
  // Without a device nothing plays.
  explicit WaveSound(AudioDevice* device) : device_(device) {}
  ~WaveSound();
  WaveSound(const WaveSound&) = delete;
  WaveSound& operator=(const WaveSound&) = delete;

  // PlaySound(data, SND_MEMORY | flags): stops the sound playing now, then plays this one;
  // without SND_ASYNC it returns when the sound has ended or was stopped (waiting on
  // `clock`). False when nothing plays.
  bool Play(std::span<const uint8_t> wav, uint32_t flags, sys::Clock& clock);
  // PlaySound(NULL): any thread; also ends a synchronous Play.
  void Stop();
  // Stop, and play nothing from now on (the show is ending: a sound started after its
  // last stop would outlive it).
  void Close();
  // Whether a sound is queued now.
  bool Playing();

  // The data in the track format (16-bit stereo, 44100 Hz), or empty when it is not a WAV
  // that can be played or would play longer than kMaxSeconds.
  static std::vector<int16_t> Decode(std::span<const uint8_t> wav);
  static constexpr int kMaxSeconds = 600;

 private:
  AudioDevice* device_;
  std::mutex mutex_;
  Mixer::VoiceRef voice_;
  std::shared_ptr<sys::Event> ended_;
  bool closed_ = false;
};

}  // namespace audio
