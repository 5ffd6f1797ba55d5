#include "platform/audio/audio_device.h"

#include <SDL.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/sound_track.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"

namespace audio {
namespace {

// How long a device in virtual time waits for a streaming voice's owner to queue its next
// buffer (the owner answers in microseconds; this only bounds a stuck owner).
constexpr auto kSettleLimit = std::chrono::milliseconds(2000);
// Virtual time steps while a thread waits for a sound to end.
constexpr auto kVirtualWaitStep = std::chrono::milliseconds(2);

class SdlAudioDevice final : public AudioDevice {
 public:
  SdlAudioDevice(sys::Clock& clock, SoundTrack* track) : clock_(clock), track_(track) {}
  ~SdlAudioDevice() override {
    if (device_) SDL_CloseAudioDevice(device_);
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool Open(std::string* error) {
    if (!SoundOutputPresent(SoundOutputPlaces::OfThisMachine())) {
      if (error) *error = "no sound output";
      return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      if (error) *error = SDL_GetError();
      return false;
    }
    initialised_ = true;
    SDL_AudioSpec want{};
    want.freq = kTrackRate;
    want.format = AUDIO_S16SYS;
    want.channels = kTrackChannels;
    want.samples = 1024;
    want.callback = &SdlAudioDevice::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      if (error) *error = SDL_GetError();
      return false;
    }
    start_ = TrackFrameAt(clock_.Elapsed());
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void WaitForSound(sys::Clock&, const sys::Event& event) override { event.Wait(); }

 private:
  static void Callback(void* self, Uint8* stream, int len) {
    auto* d = static_cast<SdlAudioDevice*>(self);
    const int64_t frames = len / (2 * kTrackChannels);
    auto* out = reinterpret_cast<int16_t*>(stream);
    d->mixer_.Pull(frames, out);
    if (d->track_) {
      d->track_->Push(d->start_ + d->played_,
                      std::span<const int16_t>(out, static_cast<size_t>(frames) * kTrackChannels));
    }
    d->played_ += frames;
  }

  sys::Clock& clock_;
  SoundTrack* track_;
  SDL_AudioDeviceID device_ = 0;
  bool initialised_ = false;
  int64_t start_ = 0;
  int64_t played_ = 0;
};

// Real time without an output: a thread takes each buffer off its voice when its nominal
// play time has passed, sleeping until the next buffer end or the next change.
class NullAudioDevice final : public AudioDevice {
 public:
  NullAudioDevice(sys::Clock& clock, SoundTrack* track) : clock_(clock), track_(track) {
    position_ = TrackFrameAt(clock_.Elapsed());
    mixer_.SetOnChange([this] {
      {
        std::lock_guard lock(mutex_);
        changed_ = true;
      }
      cv_.notify_all();
    });
    thread_ = std::thread([this] { Run(); });
  }
  ~NullAudioDevice() override {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
    mixer_.SetOnChange(nullptr);
  }
  void WaitForSound(sys::Clock&, const sys::Event& event) override { event.Wait(); }

 private:
  void Run() {
    std::vector<int16_t> block;
    std::unique_lock lock(mutex_);
    while (!quit_) {
      changed_ = false;
      lock.unlock();
      const int64_t now = TrackFrameAt(clock_.Elapsed());
      int64_t boundary = mixer_.FramesToNextBoundary();
      if (boundary < 0) {
        // Nothing plays: time passes in silence.
        position_ = std::max(position_, now);
        lock.lock();
        cv_.wait(lock, [&] { return quit_ || changed_; });
        continue;
      }
      const int64_t due = std::min(now - position_, boundary);
      if (due > 0) {
        if (track_) {
          block.resize(static_cast<size_t>(due) * kTrackChannels);  // every frame is pulled
          mixer_.Pull(due, block.data());
          track_->Push(position_, block);
        } else {
          mixer_.Pull(due, nullptr);  // nobody hears it: no mix
        }
        position_ += due;
        lock.lock();
        continue;
      }
      // Sleep until the first buffer ends; while a track is written, at most half a second,
      // so that it advances.
      const int64_t wake =
          position_ + (track_ ? std::min<int64_t>(boundary, kTrackRate / 2) : boundary);
      const auto wait = TrackTimeOf(wake) - clock_.Elapsed();
      lock.lock();
      if (wait.count() > 0) cv_.wait_for(lock, wait, [&] { return quit_ || changed_; });
    }
  }

  sys::Clock& clock_;
  SoundTrack* track_;
  int64_t position_ = 0;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool quit_ = false;
  bool changed_ = false;
  std::thread thread_;
};

}  // namespace

SoundOutputPlaces SoundOutputPlaces::OfThisMachine() {
  SoundOutputPlaces p;
  p.driverChoice = std::getenv("SDL_AUDIODRIVER");
  p.pulseServer = std::getenv("PULSE_SERVER");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  p.runtimeDir = runtime && *runtime ? runtime : "/run/user/" + std::to_string(::getuid());
  return p;
}

bool SoundOutputPresent(const SoundOutputPlaces& places) {
  namespace fs = std::filesystem;
  auto set = [](const char* v) { return v && *v; };
  if (set(places.driverChoice) || set(places.pulseServer)) return true;
  std::error_code ec;
  // A sound server's socket (PulseAudio, or PipeWire, which also serves PulseAudio clients).
  for (const std::string* dir : {&places.runtimeDir, &places.systemRuntimeDir}) {
    if (dir->empty()) continue;
    for (const char* socket : {"pulse/native", "pipewire-0"}) {
      if (fs::exists(fs::path(*dir) / socket, ec)) return true;
    }
  }
  // A card's playback device: pcmC<card>D<device>p.
  for (fs::directory_iterator it(places.soundDevices, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("pcmC", 0) == 0 && name.back() == 'p') return true;
  }
  return false;
}

std::unique_ptr<AudioDevice> OpenSdlAudioDevice(sys::Clock& showClock, SoundTrack* track,
                                                std::string* error) {
  auto d = std::make_unique<SdlAudioDevice>(showClock, track);
  if (!d->Open(error)) return nullptr;
  return d;
}

std::unique_ptr<AudioDevice> OpenNullAudioDevice(sys::Clock& showClock, SoundTrack* track) {
  return std::make_unique<NullAudioDevice>(showClock, track);
}

void VirtualAudioDevice::WaitForSound(sys::Clock& clock, const sys::Event& event) {
  while (!event.IsSet()) clock.WaitFor(event, kVirtualWaitStep);
}

void VirtualAudioDevice::Hold() {
  std::lock_guard lock(holdMutex_);
  ++holds_;
}

void VirtualAudioDevice::Release() {
  {
    std::lock_guard lock(holdMutex_);
    if (holds_ > 0) --holds_;
  }
  holdCv_.notify_all();
}

void VirtualAudioDevice::Settle() {
  // A streaming owner gets to queue its next buffer, or finish, at the instant its last
  // one ended.
  if (mixer_.Dry()) mixer_.WaitNotDry(kSettleLimit);
  std::unique_lock lock(holdMutex_);
  holdCv_.wait_for(lock, kSettleLimit, [&] { return holds_ == 0; });
}

void VirtualAudioDevice::OnAdvance(std::chrono::nanoseconds, std::chrono::nanoseconds to) {
  const int64_t target = TrackFrameAt(to);
  std::vector<int16_t> block;
  Settle();
  while (position_ < target) {
    int64_t boundary = mixer_.FramesToNextBoundary();
    if (boundary < 0) {
      position_ = target;
      break;
    }
    const int64_t n = std::min(target - position_, boundary);
    block.resize(static_cast<size_t>(n) * kTrackChannels);  // every frame is pulled
    mixer_.Pull(n, block.data());
    if (track_) track_->Push(position_, block);
    position_ += n;
    Settle();
  }
}

}  // namespace audio
