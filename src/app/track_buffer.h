#pragma once
// The show's mixed sound on its way from the sound device to a video render: the device
// writes the track in show order, the encoder reads it in show order, each at its own pace.
// Frames are placed by their position in the track, so a read that comes before the sound
// of that time was mixed gets silence there instead of shifting what follows.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

#include "platform/audio/sound_track.h"
#include "platform/video/pcm_source.h"

namespace app {

class TrackBuffer final : public audio::TrackSink, public video::PcmSource {
 public:
  // `also` (may be null) receives every block too, e.g. the --audio-out file.
  explicit TrackBuffer(audio::TrackSink* also = nullptr) : also_(also) {}
  void SetAlso(audio::TrackSink* also) { also_ = also; }

  void Write(int64_t firstFrame, std::span<const int16_t> interleaved) override {
    if (also_) also_->Write(firstFrame, interleaved);
    std::lock_guard lock(mutex_);
    const int64_t frames = static_cast<int64_t>(interleaved.size()) / audio::kTrackChannels;
    // Whatever the encoder has already passed is dropped; a gap up to the block is silence.
    int64_t skip = std::max<int64_t>(0, readFrame_ - firstFrame);
    const int64_t bufferedEnd = readFrame_ + static_cast<int64_t>(samples_.size()) / 2;
    if (firstFrame + skip > bufferedEnd) samples_.resize(2 * (firstFrame + skip - readFrame_), 0);
    for (int64_t f = skip; f < frames; ++f) {
      const int64_t at = firstFrame + f - readFrame_;
      if (2 * at >= static_cast<int64_t>(samples_.size())) {
        samples_.push_back(interleaved[2 * f]);
        samples_.push_back(interleaved[2 * f + 1]);
      } else {  // a block over frames already held: the later block wins
        samples_[2 * at] = interleaved[2 * f];
        samples_[2 * at + 1] = interleaved[2 * f + 1];
      }
    }
  }

  int SampleRate() const override { return audio::kTrackRate; }

  void Read(int16_t* out, size_t frames) override {
    std::lock_guard lock(mutex_);
    const size_t have = std::min(samples_.size(), 2 * frames);
    std::copy_n(samples_.begin(), have, out);
    std::fill(out + have, out + 2 * frames, int16_t{0});
    samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(have));
    readFrame_ += static_cast<int64_t>(frames);
  }

 private:
  audio::TrackSink* also_;
  std::mutex mutex_;
  std::deque<int16_t> samples_;  // interleaved stereo from readFrame_ on
  int64_t readFrame_ = 0;
};

}  // namespace app
