#include "platform/audio/wave_sound.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/audio/audio_device.h"
#include "platform/audio/sound_track.h"
#include "platform/sys/clock.h"

namespace audio {
namespace {

std::vector<int16_t> ConvertSdl(const SDL_AudioSpec& format, const Uint8* data, Uint32 length) {
  if (format.freq < 1000 || format.freq > 384000 || format.channels < 1 || format.channels > 8) {
    return {};
  }
  const uint64_t frameBytes =
      static_cast<uint64_t>(SDL_AUDIO_BITSIZE(format.format) / 8) * format.channels;
  if (frameBytes == 0) return {};
  const uint64_t frames = length / frameBytes;
  // Output frames for the track; a long sound is refused before anything is allocated.
  const uint64_t outFrames = frames * kTrackRate / static_cast<uint64_t>(format.freq) + 16;
  if (outFrames > static_cast<uint64_t>(WaveSound::kMaxSeconds) * kTrackRate) return {};
  return ConvertSdlPcm(format.format, format.channels, format.freq,
                       std::span<const uint8_t>(data, frames * frameBytes));
}

// SDL's loader allocates what a chunk declares before it reads: a chunk that claims more
// bytes than the data holds is cut to what is there (in a copy), so a tiny file cannot ask
// for gigabytes.
std::vector<uint8_t> BoundChunkSizes(std::span<const uint8_t> wav) {
  std::vector<uint8_t> copy;
  if (wav.size() < 12) return copy;
  size_t at = 12;
  while (at + 8 <= wav.size()) {
    const uint64_t size = static_cast<uint64_t>(wav[at + 4]) | wav[at + 5] << 8 |
                          wav[at + 6] << 16 | static_cast<uint64_t>(wav[at + 7]) << 24;
    const uint64_t left = wav.size() - at - 8;
    if (size > left) {
      if (copy.empty()) copy.assign(wav.begin(), wav.end());
      for (int i = 0; i < 4; ++i) copy[at + 4 + i] = static_cast<uint8_t>(left >> (8 * i));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return copy;
}

}  // namespace

std::vector<int16_t> WaveSound::Decode(std::span<const uint8_t> wav) {
  // A RIFF WAVE image and nothing else (SDL would also take data without the RIFF header,
  // and size its buffers from whatever it finds there).
  if (wav.size() < 12 || wav.size() > 0x7FFFFFFF || std::memcmp(wav.data(), "RIFF", 4) != 0 ||
      std::memcmp(wav.data() + 8, "WAVE", 4) != 0) {
    return {};
  }
  const std::vector<uint8_t> bounded = BoundChunkSizes(wav);
  if (!bounded.empty()) wav = bounded;
  SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size()));
  if (!rw) return {};
  SDL_AudioSpec format{};
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length)) return {};
  std::vector<int16_t> out = ConvertSdl(format, buffer, length);
  SDL_FreeWAV(buffer);
  return out;
}

WaveSound::~WaveSound() { Stop(); }

bool WaveSound::Play(std::span<const uint8_t> wav, uint32_t flags, sys::Clock& clock) {
  Stop();
  if (!device_) return false;
  std::vector<int16_t> frames = Decode(wav);
  if (frames.empty()) return false;
  const bool async = (flags & SND_ASYNC) != 0;
  auto ended = std::make_shared<sys::Event>();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    voice_ = device_->Voices().Open([ended](void*) { ended->Set(); }, /*streaming=*/false);
    ended_ = ended;
    device_->Voices().Queue(voice_, std::move(frames), nullptr, async && (flags & SND_LOOP));
  }
  if (!async) device_->WaitForSound(clock, *ended);
  return true;
}

void WaveSound::Stop() {
  std::lock_guard lock(mutex_);
  if (voice_) {
    device_->Voices().Close(voice_);
    voice_.reset();
  }
  if (ended_) ended_->Set();
  ended_.reset();
}

void WaveSound::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  Stop();
}

bool WaveSound::Playing() {
  std::lock_guard lock(mutex_);
  return voice_ && device_->Voices().Queued(voice_) > 0;
}

}  // namespace audio
