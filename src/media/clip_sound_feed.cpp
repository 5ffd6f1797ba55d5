#include "media/clip_sound_feed.h"

#include <vector>

#include "platform/audio/audio_device.h"
#include "platform/audio/sound_track.h"

namespace media {

ClipSoundFeed::ClipSoundFeed(audio::AudioDevice& device, std::unique_ptr<video::ClipSound> sound)
    : device_(device), sound_(std::move(sound)) {
  voice_ = device_.Voices().Open([this](void*) { Returned(); }, false);
}

ClipSoundFeed::~ClipSoundFeed() {
  {
    std::lock_guard lock(mutex_);
    playing_ = false;
  }
  // Waits for a callback that is running now: none comes after.
  device_.Voices().Close(voice_);
}

void ClipSoundFeed::Start() {
  Stop();
  {
    std::lock_guard lock(mutex_);
    // A second start reads the sound from its beginning again.
    if (started_ && !sound_->Rewind()) return;
    started_ = true;
    playing_ = true;
    ended_ = false;
  }
  FillAhead();
}

void ClipSoundFeed::Stop() {
  {
    std::lock_guard lock(mutex_);
    playing_ = false;
  }
  // The buffers come back through Returned, which queues nothing now.
  device_.Voices().Reset(voice_);
}

void ClipSoundFeed::Returned() { FillAhead(); }

void ClipSoundFeed::FillAhead() {
  std::lock_guard lock(mutex_);
  while (playing_ && !ended_ && device_.Voices().Queued(voice_) < kBuffersAhead) {
    // The storage of a buffer that has played: no fresh pages for every buffer.
    std::vector<int16_t> frames = device_.Voices().TakeSpare();
    frames.resize(kBufferFrames * audio::kTrackChannels);
    const size_t got = sound_->Read(frames.data(), kBufferFrames);
    if (got < kBufferFrames) ended_ = true;
    if (got == 0) break;
    frames.resize(got * audio::kTrackChannels);
    device_.Voices().Queue(voice_, std::move(frames), nullptr, false);
  }
}

}  // namespace media
