#include "platform/audio/mixer.h"

#include <SDL.h>

#include <algorithm>
#include <type_traits>

#include "platform/audio/sound_track.h"

namespace audio {

namespace {

void Drain(SDL_AudioStream* stream, std::vector<int16_t>& out) {
  while (true) {
    const int avail = SDL_AudioStreamAvailable(stream);
    if (avail <= 0) return;
    const size_t old = out.size();
    out.resize(old + static_cast<size_t>(avail) / 2);
    const int got = SDL_AudioStreamGet(stream, out.data() + old, avail);
    out.resize(old + static_cast<size_t>(std::max(got, 0)) / 2);
    if (got <= 0) return;
  }
}

// One sample of the formats the players make, as a 16-bit value.
template <uint16_t kFormat>
int32_t SampleAt(const uint8_t* p) {
  if constexpr (kFormat == AUDIO_U8) {
    return (int32_t{p[0]} - 128) * 256;
  } else if constexpr (kFormat == AUDIO_S8) {
    return int32_t{static_cast<int8_t>(p[0])} * 256;
  } else if constexpr (kFormat == AUDIO_S16LSB) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  } else {
    return static_cast<int16_t>(static_cast<uint16_t>((p[0] << 8) | p[1]));
  }
}

// Track frames [from, from + n) of PCM widened to the track rate: each source frame becomes
// `kFactor` frames on the straight line to the next one, the last held. put(k, left, right)
// receives frame from + k.
template <uint16_t kFormat, int kChannels, int kFactor, class Put>
void Widen(const uint8_t* pcm, size_t frames, size_t from, size_t n, Put&& put) {
  constexpr size_t kBytes = SDL_AUDIO_BITSIZE(kFormat) / 8;
  constexpr size_t kFrameBytes = kBytes * kChannels;
  auto frameAt = [&](size_t i, int32_t& l, int32_t& r) {
    const uint8_t* p = pcm + i * kFrameBytes;
    l = SampleAt<kFormat>(p);
    r = kChannels == 2 ? SampleAt<kFormat>(p + kBytes) : l;
  };
  size_t i = from / kFactor;
  int j = static_cast<int>(from % kFactor);
  int32_t l0 = 0, r0 = 0, l1 = 0, r1 = 0;
  if (i < frames) frameAt(i, l0, r0);
  l1 = l0, r1 = r0;
  if (i + 1 < frames) frameAt(i + 1, l1, r1);
  for (size_t k = 0; k < n; ++k) {
    // A factor the compiler knows turns the division into shifts.
    put(k, l0 + (l1 - l0) * j / kFactor, r0 + (r1 - r0) * j / kFactor);
    if (++j == kFactor) {
      j = 0;
      ++i;
      l0 = l1, r0 = r1;
      if (i + 1 < frames) frameAt(i + 1, l1, r1);
    }
  }
}

// Runs fn.template operator()<format, channels, factor>() for the formats the players make
// (8- or 16-bit, mono or stereo, at the track rate, half or a quarter of it); false for any
// other format, which needs a general resampler.
template <class Fn>
bool WithWidening(uint16_t sdlFormat, int channels, int rate, Fn&& fn) {
  if (rate <= 0 || kTrackRate % rate != 0) return false;
  const int factor = kTrackRate / rate;
  auto byFactor = [&]<uint16_t kFormat, int kChannels>() {
    switch (factor) {
      case 1:
        fn.template operator()<kFormat, kChannels, 1>();
        return true;
      case 2:
        fn.template operator()<kFormat, kChannels, 2>();
        return true;
      case 4:
        fn.template operator()<kFormat, kChannels, 4>();
        return true;
      default:
        return false;
    }
  };
  auto byChannels = [&]<uint16_t kFormat>() {
    if (channels == 1) return byFactor.template operator()<kFormat, 1>();
    if (channels == 2) return byFactor.template operator()<kFormat, 2>();
    return false;
  };
  switch (sdlFormat) {
    case AUDIO_U8:
      return byChannels.template operator()<AUDIO_U8>();
    case AUDIO_S8:
      return byChannels.template operator()<AUDIO_S8>();
    case AUDIO_S16LSB:
      return byChannels.template operator()<AUDIO_S16LSB>();
    case AUDIO_S16MSB:
      return byChannels.template operator()<AUDIO_S16MSB>();
    default:
      return false;
  }
}

// The common case without a general resampler. Returns false when the format is not such a
// case.
bool ConvertDividingRate(uint16_t sdlFormat, int channels, int rate, std::span<const uint8_t> pcm,
                         std::vector<int16_t>& out) {
  return WithWidening(
      sdlFormat, channels, rate, [&]<uint16_t kFormat, int kChannels, int kFactor>() {
        const size_t frames = pcm.size() / (SDL_AUDIO_BITSIZE(kFormat) / 8 * kChannels);
        const size_t samples = frames * kFactor * kTrackChannels;
        // Chunks of a stream differ a little in length: room for that keeps a reused buffer's
        // storage instead of taking fresh pages for a slightly longer one.
        if (out.capacity() < samples) out.reserve(samples + samples / 8);
        out.resize(samples);
        int16_t* o = out.data();
        Widen<kFormat, kChannels, kFactor>(pcm.data(), frames, 0, frames * kFactor,
                                           [o](size_t k, int32_t l, int32_t r) {
                                             o[2 * k] = static_cast<int16_t>(l);
                                             o[2 * k + 1] = static_cast<int16_t>(r);
                                           });
      });
}

uint16_t SdlFormatOf(const WAVEFORMATEX& format) {
  return format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
}

}  // namespace

std::vector<int16_t> ConvertSdlPcm(uint16_t sdlFormat, int channels, int rate,
                                   std::span<const uint8_t> pcm) {
  std::vector<int16_t> out;
  ConvertSdlPcm(sdlFormat, channels, rate, pcm, out);
  return out;
}

void ConvertSdlPcm(uint16_t sdlFormat, int channels, int rate, std::span<const uint8_t> pcm,
                   std::vector<int16_t>& out) {
  out.clear();
  const size_t frameBytes = static_cast<size_t>(SDL_AUDIO_BITSIZE(sdlFormat) / 8 * channels);
  if (frameBytes == 0 || rate <= 0) return;
  const uint64_t frames = pcm.size() / frameBytes;
  // The players' own formats skip SDL's stream, which costs more to set up and flush than
  // a short chunk of sound costs to convert.
  if (ConvertDividingRate(sdlFormat, channels, rate, pcm, out)) return;
  SDL_AudioStream* stream = SDL_NewAudioStream(sdlFormat, static_cast<Uint8>(channels), rate,
                                               AUDIO_S16SYS, kTrackChannels, kTrackRate);
  if (!stream) return;
  bool ok = true;
  // In slices: SDL takes an int length.
  for (size_t at = 0; at < frames * frameBytes && ok; at += 1 << 20) {
    const size_t n = std::min<size_t>(frames * frameBytes - at, 1 << 20);
    ok = SDL_AudioStreamPut(stream, pcm.data() + at, static_cast<int>(n)) == 0;
    if (ok) Drain(stream, out);
  }
  // SDL's resampler keeps back its last few hundred input frames even when flushed:
  // silence pushes them out, and the output is cut to the sound's true length.
  std::vector<uint8_t> silence(1024 * frameBytes, 0);
  if (!SDL_AUDIO_ISSIGNED(sdlFormat)) {
    const int bytes = SDL_AUDIO_BITSIZE(sdlFormat) / 8;
    const int high = SDL_AUDIO_ISBIGENDIAN(sdlFormat) ? 0 : bytes - 1;
    for (size_t i = static_cast<size_t>(high); i < silence.size();
         i += static_cast<size_t>(bytes)) {
      silence[i] = 0x80;
    }
  }
  ok = ok && SDL_AudioStreamPut(stream, silence.data(), static_cast<int>(silence.size())) == 0 &&
       SDL_AudioStreamFlush(stream) == 0;
  if (ok) Drain(stream, out);
  SDL_FreeAudioStream(stream);
  if (!ok) {
    out.clear();
    return;
  }
  const uint64_t length = frames * kTrackRate / static_cast<uint64_t>(rate);
  out.resize(std::min<size_t>(out.size() / kTrackChannels, length) * kTrackChannels);
}

std::vector<int16_t> ConvertToTrack(const WAVEFORMATEX& format, std::span<const uint8_t> pcm) {
  std::vector<int16_t> out;
  ConvertToTrack(format, pcm, out);
  return out;
}

void ConvertToTrack(const WAVEFORMATEX& format, std::span<const uint8_t> pcm,
                    std::vector<int16_t>& out) {
  out.clear();
  if (!IsPlayablePcm(format)) return;
  const size_t whole = pcm.size() / format.nBlockAlign * format.nBlockAlign;
  if (whole == 0) return;
  ConvertSdlPcm(SdlFormatOf(format), format.nChannels, static_cast<int>(format.nSamplesPerSec),
                pcm.first(whole), out);
}

// Room for the buffers of a few voices that end in one pull, made here on the owner's thread.
Mixer::Mixer() { pullDone_.reserve(8); }

Mixer::VoiceRef Mixer::Open(DoneFn done, bool streaming) {
  auto v = std::make_shared<Voice>();
  v->done = std::move(done);
  v->streaming = streaming;
  std::lock_guard lock(mutex_);
  voices_.push_back(v);
  return v;
}

void Mixer::Queue(const VoiceRef& voice, std::vector<int16_t> frames, void* tag, bool loop) {
  Buffer b;
  b.length = frames.size() / kTrackChannels;
  b.frames = std::move(frames);
  b.tag = tag;
  // A looping buffer without frames would never end a pull.
  b.loop = loop && b.length > 0;
  Enqueue(voice, std::move(b));
}

bool Mixer::QueueInPlace(const VoiceRef& voice, const WAVEFORMATEX& format,
                         std::span<const uint8_t> pcm, void* tag) {
  if (!IsPlayablePcm(format)) return false;
  Buffer b;
  b.inPlace = {pcm.data(), pcm.size() / format.nBlockAlign, SdlFormatOf(format), format.nChannels,
               static_cast<int>(format.nSamplesPerSec)};
  const bool widened =
      WithWidening(b.inPlace.sdlFormat, b.inPlace.channels, b.inPlace.rate,
                   [&]<uint16_t, int, int kFactor>() { b.length = b.inPlace.frames * kFactor; });
  if (!widened) return false;
  b.tag = tag;
  Enqueue(voice, std::move(b));
  return true;
}

void Mixer::Enqueue(const VoiceRef& voice, Buffer b) {
  std::vector<Returned> done;
  bool newFront = false;
  {
    std::lock_guard lock(mutex_);
    if (voice->closed) return;
    voice->dry = false;
    if (b.length == 0) {
      done.push_back({voice, b.tag});
      ++voice->callbacks;
    } else {
      newFront = voice->queue.empty();
      voice->queue.push_back(std::move(b));
    }
  }
  cv_.notify_all();
  Deliver(done);
  // A buffer behind others moves no boundary: a stream that keeps its next buffer queued
  // does not wake the device each time it queues one.
  if (newFront) Changed();
}

template <class Sample>
void Mixer::MixInto(const Buffer& b, size_t n, Sample* out) {
  // int32_t: added to a mix of several voices; int16_t: the only voice, stored.
  constexpr bool kAdd = std::is_same_v<Sample, int32_t>;
  if (!b.inPlace.pcm) {
    const int16_t* src = b.frames.data() + b.pos * kTrackChannels;
    if constexpr (kAdd) {
      for (size_t i = 0; i < n * kTrackChannels; ++i) out[i] += src[i];
    } else {
      std::copy(src, src + n * kTrackChannels, out);
    }
    return;
  }
  const InPlace& p = b.inPlace;
  WithWidening(p.sdlFormat, p.channels, p.rate,
               [&]<uint16_t kFormat, int kChannels, int kFactor>() {
                 Widen<kFormat, kChannels, kFactor>(p.pcm, p.frames, b.pos, n,
                                                    [out](size_t k, int32_t l, int32_t r) {
                                                      if constexpr (kAdd) {
                                                        out[2 * k] += l;
                                                        out[2 * k + 1] += r;
                                                      } else {
                                                        // Between two samples: within range.
                                                        out[2 * k] = static_cast<int16_t>(l);
                                                        out[2 * k + 1] = static_cast<int16_t>(r);
                                                      }
                                                    });
               });
}

void Mixer::Reset(const VoiceRef& voice) {
  std::vector<Returned> done;
  {
    std::lock_guard lock(mutex_);
    voice->dry = false;
    for (auto& b : voice->queue) {
      done.push_back({voice, b.tag});
      ++voice->callbacks;
      KeepSpare(std::move(b.frames));
    }
    voice->queue.clear();
  }
  cv_.notify_all();
  Deliver(done);
  Changed();
}

void Mixer::Close(const VoiceRef& voice) {
  Reset(voice);
  {
    std::unique_lock lock(mutex_);
    voice->closed = true;
    voice->dry = false;
    cv_.wait(lock, [&] { return voice->callbacks == 0; });
    std::erase(voices_, voice);
  }
  cv_.notify_all();
  Changed();
}

std::vector<int16_t> Mixer::TakeSpare() {
  std::lock_guard lock(mutex_);
  if (spares_.empty()) return {};
  std::vector<int16_t> v = std::move(spares_.back());
  spares_.pop_back();
  return v;
}

void Mixer::KeepSpare(std::vector<int16_t>&& frames) {
  // Enough for the double buffering of a stream and a sound beside it.
  // A long wave sound's storage is not worth keeping.
  constexpr size_t kSpares = 4, kLargestSpare = size_t{3} << 19;
  if (spares_.size() >= kSpares || frames.capacity() == 0 || frames.capacity() > kLargestSpare)
    return;
  frames.clear();
  spares_.push_back(std::move(frames));
}

size_t Mixer::Queued(const VoiceRef& voice) {
  std::lock_guard lock(mutex_);
  return voice->queue.size();
}

bool Mixer::Active() {
  std::lock_guard lock(mutex_);
  for (auto& v : voices_) {
    if (!v->queue.empty()) return true;
  }
  return false;
}

int64_t Mixer::FramesToNextBoundary() {
  std::lock_guard lock(mutex_);
  int64_t best = -1;
  for (auto& v : voices_) {
    if (v->queue.empty()) continue;
    const Buffer& b = v->queue.front();
    int64_t left = static_cast<int64_t>(b.Frames() - b.pos);
    if (best < 0 || left < best) best = left;
  }
  return best;
}

void Mixer::Pull(int64_t frames, int16_t* out) {
  const size_t wanted = static_cast<size_t>(frames);
  // Kept between pulls: the device's thread then does not allocate, which for a fresh thread
  // first means a heap arena of its own.
  std::vector<Returned>& done = pullDone_;
  done.clear();
  {
    std::lock_guard lock(mutex_);
    const auto playing = std::count_if(voices_.begin(), voices_.end(),
                                       [](const VoiceRef& v) { return !v->queue.empty(); });
    // Plays the voice's buffers into out from frame 0; returns the frames written.
    auto play = [&](const VoiceRef& ref, auto* into) {
      Voice& v = *ref;
      size_t at = 0;
      while (at < wanted && !v.queue.empty()) {
        Buffer& b = v.queue.front();
        size_t take = std::min(wanted - at, b.Frames() - b.pos);
        if (into) MixInto(b, take, into + at * kTrackChannels);
        b.pos += take;
        at += take;
        if (b.pos == b.Frames()) {
          if (b.loop) {
            b.pos = 0;
            continue;
          }
          done.push_back({ref, b.tag});
          ++v.callbacks;
          KeepSpare(std::move(b.frames));
          v.queue.pop_front();
          if (v.queue.empty() && v.streaming) v.dry = true;
        }
      }
      return at;
    };
    if (!out) {
      for (auto& v : voices_) play(v, out);
    } else if (playing <= 1) {
      // One voice, as a stream mostly plays alone: its frames go straight out.
      size_t at = 0;
      for (auto& v : voices_) {
        if (!v->queue.empty()) at = play(v, out);
      }
      std::fill(out + at * kTrackChannels, out + wanted * kTrackChannels, int16_t{0});
    } else {
      // Kept between pulls: a fresh block of this size would be new pages every time.
      std::vector<int32_t>& acc = pullBuffer_;
      acc.assign(wanted * kTrackChannels, 0);
      for (auto& v : voices_) play(v, acc.data());
      for (size_t i = 0; i < acc.size(); ++i) {
        out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
      }
    }
  }
  Deliver(done);
  done.clear();  // the voices are not held
}

void Mixer::Deliver(std::vector<Returned>& done) {
  for (auto& r : done) {
    if (r.voice->done) r.voice->done(r.tag);
    {
      std::lock_guard lock(mutex_);
      --r.voice->callbacks;
    }
    cv_.notify_all();
  }
}

bool Mixer::Dry() {
  std::lock_guard lock(mutex_);
  for (auto& v : voices_) {
    if (v->dry) return true;
  }
  return false;
}

void Mixer::WaitNotDry(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  cv_.wait_for(lock, limit, [&] {
    for (auto& v : voices_) {
      if (v->dry) return false;
    }
    return true;
  });
}

void Mixer::SetOnChange(std::function<void()> onChange) {
  std::lock_guard lock(mutex_);
  onChange_ = std::move(onChange);
}

void Mixer::Changed() {
  std::function<void()> f;
  {
    std::lock_guard lock(mutex_);
    f = onChange_;
  }
  if (f) f();
}

}  // namespace audio
