#pragma once
// A clip's sound on a voice of the audio device. A few short buffers are queued ahead and
// each one that comes back (on the device's thread, or in virtual time on the thread that
// moves the clock) is replaced by the next piece of the sound, so a clip of any length
// holds only a fraction of a second of it. Stop takes every queued buffer back at once.

#include <cstddef>
#include <memory>
#include <mutex>

#include "platform/audio/mixer.h"
#include "platform/video/clip_sound.h"

namespace audio {
class AudioDevice;
}

namespace media {

class ClipSoundFeed {
 public:
  // About 46 ms of sound a buffer, three queued: a stop is silent within one buffer of
  // the device and the device never waits for the reader.
  static constexpr size_t kBufferFrames = 2048;
  static constexpr size_t kBuffersAhead = 3;

  ClipSoundFeed(audio::AudioDevice& device, std::unique_ptr<video::ClipSound> sound);
  ~ClipSoundFeed();
  ClipSoundFeed(const ClipSoundFeed&) = delete;
  ClipSoundFeed& operator=(const ClipSoundFeed&) = delete;

  // Plays from the start of the sound (any sound playing is stopped first).
  void Start();
  void Stop();

 private:
  // Queues buffers until kBuffersAhead are queued or the sound has ended.
  void FillAhead();
  void Returned();

  audio::AudioDevice& device_;
  audio::Mixer::VoiceRef voice_;
  std::mutex mutex_;  // the reader and the flags; never held while the mixer runs callbacks
  std::unique_ptr<video::ClipSound> sound_;
  bool playing_ = false;
  bool started_ = false;
  bool ended_ = false;
};

}  // namespace media
