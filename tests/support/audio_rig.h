#pragma once
// A virtual-time audio device whose track is kept in memory, for tests.

#include <chrono>
#include <mutex>
#include <span>
#include <vector>

#include "platform/audio/audio_device.h"
#include "platform/audio/sound_track.h"
#include "platform/sys/clock.h"

namespace testsupport {

class MemoryTrackSink final : public audio::TrackSink {
 public:
  void Write(int64_t, std::span<const int16_t> s) override {
    std::lock_guard lock(mutex);
    samples.insert(samples.end(), s.begin(), s.end());
  }
  std::mutex mutex;
  std::vector<int16_t> samples;
};

struct VirtualAudioRig {
  VirtualAudioRig() {
    clock.SetObserver([this](auto from, auto to) { device.OnAdvance(from, to); });
  }
  ~VirtualAudioRig() { clock.SetObserver(nullptr); }
  // The track up to now.
  std::vector<int16_t> Track() {
    track.PadTo(audio::TrackFrameAt(clock.Elapsed()));
    std::lock_guard lock(sink.mutex);
    return sink.samples;
  }
  void Advance(double seconds) {
    clock.Advance(std::chrono::nanoseconds(static_cast<int64_t>(seconds * 1e9)));
  }
  static size_t Frame(double seconds) { return static_cast<size_t>(seconds * audio::kTrackRate); }

  sys::VirtualClock clock;
  MemoryTrackSink sink;
  audio::SoundTrack track{sink};
  audio::VirtualAudioDevice device{&track};
};

}  // namespace testsupport
