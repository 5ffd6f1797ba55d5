#pragma once
// Plays the show's MP3 music: one MP3Thread per piece, started and stopped here.

#include <cstdint>
#include <memory>
#include <mutex>

#include "media/mp3_thread.h"
#include "platform/sys/event.h"

namespace audio {
class AudioDevice;
}
namespace sys {
class Clock;
}

namespace media {

class MP3Player {
 public:
  // Without a device nothing plays. `clock` is the clock a waiting Start waits on.
  MP3Player(audio::AudioDevice* device, sys::Clock& clock, SoundQuality quality = {})
      : device_(device), clock_(clock), quality_(quality) {}
  ~MP3Player() { Close(); }
  MP3Player(const MP3Player&) = delete;
  MP3Player& operator=(const MP3Player&) = delete;

  // Stops the piece playing now, then plays `data` (length -1: none) on a new thread; with
  // wait, returns when the first pass has ended (or a Stop ended it).
  void Start(const uint8_t* data, int length, bool wait, bool loop);
  // When it returns no music plays any more and the thread has ended.
  void Stop();
  // Stop, and refuse every later Start: the show is ending, and a piece started after its
  // last Stop would outlive it (or hold a waiting scene thread for ever).
  void Close();

  void SetQuality(SoundQuality quality) { quality_ = quality; }
  bool Playing() const { return thread_ != nullptr; }
  const sys::Event& FinishedEvent() const { return finished_; }
  const sys::Event& StartedEvent() const { return started_; }
  // The thread object (tests look at its passes).
  const MP3Thread* Thread() const { return thread_.get(); }

 private:
  bool CodecPresent() const;
  void StopLocked();

  audio::AudioDevice* device_;
  sys::Clock& clock_;
  SoundQuality quality_;
  sys::Event stop_, finished_, started_;
  std::unique_ptr<MP3Thread> thread_;
  std::mutex mutex_;  // Start and Stop do not overlap
  bool closed_ = false;
};

}  // namespace media
