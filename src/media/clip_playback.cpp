#include "media/clip_playback.h"

#include <utility>

#include "media/clip_sound_feed.h"
#include "platform/audio/sound_track.h"

namespace media {

std::unique_ptr<ClipPlayback> ClipPlayback::Open(const std::string& path, video::ClipError* error,
                                                 audio::AudioDevice* device) {
  auto decoder = video::ClipDecoder::Open(path, error);
  if (!decoder) return nullptr;
  // A clip without sound, or with a sound that cannot be read, plays its pictures alone.
  std::unique_ptr<video::ClipSound> sound;
  if (device) sound = video::ClipSound::Open(path, audio::kTrackRate);
  return std::make_unique<ClipPlayback>(std::move(decoder), device, std::move(sound));
}

ClipPlayback::ClipPlayback(std::unique_ptr<video::ClipDecoder> decoder, audio::AudioDevice* device,
                           std::unique_ptr<video::ClipSound> sound)
    : decoder_(std::move(decoder)) {
  if (device && sound) feed_ = std::make_unique<ClipSoundFeed>(*device, std::move(sound));
}

ClipPlayback::~ClipPlayback() = default;

void ClipPlayback::Stop() {
  playing_ = false;
  StopSound();
}

void ClipPlayback::SetAudioOff(bool off) {
  audioOff_ = off;
  if (off) StopSound();
}

void ClipPlayback::StartSound() {
  if (feed_ && !audioOff_) feed_->Start();
}

void ClipPlayback::StopSound() {
  if (feed_) feed_->Stop();
}

bool ClipPlayback::DecodeNext() {
  havePending_ = decoder_->DecodeNext(&pendingTime_);
  if (havePending_) passHadPictures_ = true;
  return havePending_;
}

void ClipPlayback::Start(std::chrono::nanoseconds now, bool repeat) {
  repeat_ = repeat;
  passStart_ = now;
  lastTime_ = {};
  passHadPictures_ = false;
  havePending_ = false;
  // A second start reads from the first picture again.
  playing_ = (!started_ || decoder_->Rewind()) && DecodeNext();
  started_ = true;
  if (playing_) {
    StartSound();
  } else {
    StopSound();
  }
}

std::optional<std::chrono::nanoseconds> ClipPlayback::NextDue() const {
  if (!playing_) return std::nullopt;
  if (havePending_) return passStart_ + pendingTime_;
  // The last picture stays for one picture's time: then the pass ends.
  return passStart_ + lastTime_ + decoder_->FrameDuration();
}

void DrawClipPicture(gfx::Canvas& canvas, int x, int y, const ClipPicture& picture) {
  gfx::Surface& screen = canvas.Target();
  const int w = picture.Width(), h = picture.Height();
  if (x >= 0 && y >= 0 && w <= screen.Width() - x && h <= screen.Height() - y) {
    // Even a conversion that fails part way may have written rows.
    picture.WriteTo(screen.Row(y) + x, screen.Stride());
    canvas.MarkDirty({x, y, x + w, y + h});
    return;
  }
  size_t stride = 0;
  if (const gfx::Pixel* rows = picture.Rows(&stride)) canvas.CopyPixels(x, y, w, h, rows, stride);
}

void ClipPlayback::Advance(std::chrono::nanoseconds now, ClipScreen& screen, int x, int y) {
  while (playing_) {
    const auto due = NextDue();
    if (!due || *due > now) break;
    if (havePending_) {
      // Converted as it falls due, before the next is decoded over it.
      screen.DrawClip(x, y, ClipPicture(*decoder_));
      lastTime_ = pendingTime_;
      DecodeNext();
      continue;
    }
    const std::chrono::nanoseconds end = *due;
    // A pass that showed nothing would repeat without time passing.
    if (!repeat_ || !passHadPictures_ || !decoder_->Rewind()) {
      Stop();
      break;
    }
    passStart_ = end;
    lastTime_ = {};
    passHadPictures_ = false;
    if (DecodeNext()) {
      StartSound();
    } else {
      Stop();
    }
  }
}

}  // namespace media
