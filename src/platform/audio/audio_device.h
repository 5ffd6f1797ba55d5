#pragma once
// Where the player's sound goes. One device per run, chosen like the display backends:
// SDL audio when there is a display or a sound server, a null device that keeps real time
// for --headless, and a virtual-time device for --frames that plays buffers at their
// nominal rate on the VirtualClock. Every device mixes its voices into the track format
// and, when given a SoundTrack, pushes what it played there in show time.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/audio/mixer.h"

namespace sys {
class Clock;
class Event;
class VirtualClock;
}  // namespace sys

namespace audio {

class SoundTrack;

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  Mixer& Voices() { return mixer_; }
  // Waits until `event` is set by the sound: blocks in real time, or moves virtual time on
  // in small steps (through `clock`, which is the waiting thread's clock) until it is.
  virtual void WaitForSound(sys::Clock& clock, const sys::Event& event) = 0;
  // In virtual time a started piece must have its first buffer queued before show time
  // moves on, or it would start late.
  virtual bool Virtual() const { return false; }
  // A streaming owner holds the device while it works at one instant of show time (its
  // last buffer came back; it closes, reopens or reports the end). A virtual-time device
  // does not move show time on while held; real devices ignore it.
  virtual void Hold() {}
  virtual void Release() {}

 protected:
  Mixer mixer_;
};

// Where a sound output could be found. Asking the sound libraries on a machine without one
// makes them print their failures on the terminal.
struct SoundOutputPlaces {
  const char* driverChoice = nullptr;  // SDL_AUDIODRIVER: the user chose
  const char* pulseServer = nullptr;   // PULSE_SERVER
  std::string runtimeDir;              // XDG_RUNTIME_DIR: a sound server's sockets
  std::string systemRuntimeDir = "/run";
  std::string soundDevices = "/dev/snd";  // a card's playback devices (pcmC0D0p)
  static SoundOutputPlaces OfThisMachine();
};
bool SoundOutputPresent(const SoundOutputPlaces& places);

// SDL audio; nullptr (with the reason) when there is no sound output or SDL cannot open it.
std::unique_ptr<AudioDevice> OpenSdlAudioDevice(sys::Clock& showClock, SoundTrack* track,
                                                std::string* error);
// Consumes buffers at their nominal rate in real time and plays nothing.
std::unique_ptr<AudioDevice> OpenNullAudioDevice(sys::Clock& showClock, SoundTrack* track);
// Consumes buffers as the virtual clock advances. The caller forwards every advance of the
// clock to OnAdvance (the clock has one observer, which the frame recorder shares).
class VirtualAudioDevice final : public AudioDevice {
 public:
  explicit VirtualAudioDevice(SoundTrack* track) : track_(track) {}
  void WaitForSound(sys::Clock& clock, const sys::Event& event) override;
  bool Virtual() const override { return true; }
  void Hold() override;
  void Release() override;
  // Plays [from, to) of show time.
  void OnAdvance(std::chrono::nanoseconds from, std::chrono::nanoseconds to);

 private:
  void Settle();
  SoundTrack* track_;
  std::mutex holdMutex_;
  std::condition_variable holdCv_;
  int holds_ = 0;
  int64_t position_ = 0;  // track frames played
};

}  // namespace audio
