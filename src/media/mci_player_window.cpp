#include "media/mci_player_window.h"

#include <atomic>

#include "platform/sys/clock.h"
#include "platform/sys/temp_file.h"
#include "platform/video/clip_decoder.h"

namespace media {

uint32_t NextClipDeviceId() {
  static std::atomic<uint32_t> next{1};
  uint32_t id = next.fetch_add(1);
  return id != 0 ? id : next.fetch_add(1);
}

MciPlayerWindow::~MciPlayerWindow() {
  if (visible_) screen_.EraseClip(x_, y_, naturalWidth_, naturalHeight_);
  if (!fileName_.empty()) sys::RemoveFile(fileName_);
}

void MciPlayerWindow::RecordError(int code) { lastError_ = video::ClipErrorText(code); }

bool MciPlayerWindow::Run(int loop, int x, int y, const std::string& fileName) {
  fileName_ = fileName;
  Open(fileName);
  // The window takes the clip's natural size at (x, y); the mouse is hidden over it.
  x_ = x;
  y_ = y;
  screen_.ShowCursor(false);
  visible_ = true;
  return Play(loop != -1);
}

void MciPlayerWindow::Finish() {
  Stop();
  Close();
  if (!fileName_.empty()) sys::RemoveFile(fileName_);
}

bool MciPlayerWindow::Open(const std::string& fileName) {
  video::ClipError error = video::ClipError::kNone;
  auto clip = ClipPlayback::Open(fileName, &error, screen_.ClipSound());
  if (!clip) {
    RecordError(static_cast<int>(error));
    return false;
  }
  clip_ = std::move(clip);
  deviceId_ = NextClipDeviceId();
  SizeQuery();
  return true;
}

void MciPlayerWindow::SizeQuery() {
  if (!clip_) return;
  naturalWidth_ = clip_->Width();
  naturalHeight_ = clip_->Height();
  x_ = 0;
  y_ = 0;
}

bool MciPlayerWindow::Play(bool repeat) {
  if (deviceId_ == 0 || !clip_) return false;
  // Audio off (MCI_SET_AUDIO_ALL, MCI_SET_OFF) before the play.
  if (mute_) clip_->SetAudioOff(true);
  clip_->Start(clock_.Elapsed(), repeat);
  while (!closed_.IsSet()) {
    const auto due = clip_->NextDue();
    if (!due) break;
    const auto now = clock_.Elapsed();
    if (*due > now && clock_.WaitFor(closed_, *due - now)) break;
    clip_->Advance(clock_.Elapsed(), screen_, x_, y_);
  }
  // A closed window takes its device's play with it: no more pictures, no more sound.
  if (closed_.IsSet()) clip_->Stop();
  return true;
}

bool MciPlayerWindow::Stop() {
  if (deviceId_ == 0) return false;
  if (clip_) clip_->Stop();
  return true;
}

bool MciPlayerWindow::Close() {
  if (deviceId_ == 0) return false;
  clip_.reset();
  deviceId_ = 0;
  return true;
}

}  // namespace media
