#include "media/clip_playback.h"

#include <utility>

namespace media {

std::unique_ptr<ClipPlayback> ClipPlayback::Open(const std::string& path, video::ClipError* error) {
  auto decoder = video::ClipDecoder::Open(path, error);
  if (!decoder) return nullptr;
  return std::make_unique<ClipPlayback>(std::move(decoder));
}

ClipPlayback::ClipPlayback(std::unique_ptr<video::ClipDecoder> decoder)
    : decoder_(std::move(decoder)),
      shown_(decoder_->Width(), decoder_->Height()),
      pending_(decoder_->Width(), decoder_->Height()) {}

bool ClipPlayback::DecodeNext() {
  havePending_ = decoder_->NextFrame(pending_.Data(), pending_.Stride(), &pendingTime_);
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
}

std::optional<std::chrono::nanoseconds> ClipPlayback::NextDue() const {
  if (!playing_) return std::nullopt;
  if (havePending_) return passStart_ + pendingTime_;
  // The last picture stays for one picture's time: then the pass ends.
  return passStart_ + lastTime_ + decoder_->FrameDuration();
}

void ClipPlayback::Advance(std::chrono::nanoseconds now, ClipScreen& screen, int x, int y) {
  bool fresh = false;
  while (playing_) {
    const auto due = NextDue();
    if (!due || *due > now) break;
    if (havePending_) {
      std::swap(shown_, pending_);
      lastTime_ = pendingTime_;
      fresh = true;
      DecodeNext();
      continue;
    }
    const std::chrono::nanoseconds end = *due;
    // A pass that showed nothing would repeat without time passing.
    if (!repeat_ || !passHadPictures_ || !decoder_->Rewind()) {
      playing_ = false;
      break;
    }
    passStart_ = end;
    lastTime_ = {};
    passHadPictures_ = false;
    if (!DecodeNext()) playing_ = false;
  }
  if (fresh) screen.DrawClip(x, y, shown_);
}

}  // namespace media
