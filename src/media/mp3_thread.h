#pragma once
// The thread that plays one MP3 piece, once or until stopped.

#include <cstdint>
#include <string>
#include <thread>

#include "media/mp3_wave_out.h"
#include "platform/sys/event.h"

namespace media {

class MP3Thread {
 public:
  static constexpr const char* kRuntimeClassName = "CMP3Thread";

  MP3Thread(audio::AudioDevice* device, SoundQuality quality, sys::Event& finished,
            sys::Event& started, sys::Event& stop, const uint8_t* data, int length, bool loop)
      : pass(device, quality, finished, started, stop),
        data(data),
        length(length),
        loop(loop),
        finished_(finished),
        started_(started),
        stop_(stop) {}
  ~MP3Thread() { Join(); }
  MP3Thread(const MP3Thread&) = delete;
  MP3Thread& operator=(const MP3Thread&) = delete;

  void Start();
  // Wakes a pass that waits for the device (after the stop event was set).
  void Wake() { pass.Wake(); }
  void Join();
  // The thread body (tests call it directly).
  void Run();

  MP3WaveOut pass;
  std::string fileName;
  const uint8_t* data = nullptr;
  int length = -1;
  bool loop = false;
  bool failed = false;
  int passes = 0;  // passes run (for tests)

 private:
  sys::Event& finished_;
  sys::Event& started_;
  sys::Event& stop_;
  std::thread thread_;
};

}  // namespace media
