#include "media/video_window.h"

#include "media/mci_player_window.h"
#include "platform/sys/clock.h"

namespace media {

bool VideoWindow::Create() {
  screen_.ShowCursor(false);
  std::lock_guard lock(mutex_);
  created_ = true;
  visible_ = false;
  return true;
}

void VideoWindow::SetMute(bool mute) {
  std::lock_guard lock(mutex_);
  mute_ = mute;
}

bool VideoWindow::Muted() {
  std::lock_guard lock(mutex_);
  return mute_;
}

void VideoWindow::SizeQuery() {
  // Without a clip the window keeps the size it had.
  if (!clip_) return;
  naturalWidth_ = clip_->Width();
  naturalHeight_ = clip_->Height();
}

bool VideoWindow::OnCommand(const VideoCommand& command) {
  std::lock_guard lock(mutex_);
  if (!created_) return false;
  switch (command.code) {
    case ID_VIDEO_OPEN: {
      fileName_ = command.fileName;
      // A failed open leaves the previous device in place (closed or not).
      video::ClipError error = video::ClipError::kNone;
      if (auto clip = ClipPlayback::Open(fileName_, &error, screen_.ClipSound())) {
        clip_ = std::move(clip);
        deviceId_ = NextClipDeviceId();
        screen_.SetBlankCursor();
      }
      return true;
    }
    case ID_VIDEO_PLAY:
      SizeQuery();
      windowX_ = positionX_;
      windowY_ = positionY_;
      visible_ = true;
      screen_.ClipWindowArea(
          {windowX_, windowY_, windowX_ + naturalWidth_, windowY_ + naturalHeight_});
      if (deviceId_ != 0 && clip_) {
        if (mute_) clip_->SetAudioOff(true);
        clip_->Start(clock_.Elapsed(), command.lParam == 0);
      }
      return true;
    case ID_VIDEO_STOP:
      if (deviceId_ != 0 && clip_) clip_->Stop();
      return true;
    case ID_VIDEO_CLOSE:
      if (deviceId_ != 0) {
        clip_.reset();
        deviceId_ = 0;
        if (visible_) screen_.EraseClip(windowX_, windowY_, naturalWidth_, naturalHeight_);
        visible_ = false;
        screen_.ClipWindowArea({});
      }
      return true;
    case ID_VIDEO_SETPOS:
      positionX_ = command.x;
      positionY_ = command.y;
      return true;
    default:
      return false;
  }
}

void VideoWindow::OnClose() {
  OnCommand(ID_VIDEO_STOP);
  OnCommand(ID_VIDEO_CLOSE);
  std::lock_guard lock(mutex_);
  if (created_ && visible_) screen_.EraseClip(windowX_, windowY_, naturalWidth_, naturalHeight_);
  created_ = false;
  visible_ = false;
  screen_.ClipWindowArea({});
}

std::optional<std::chrono::nanoseconds> VideoWindow::NextDue() {
  std::lock_guard lock(mutex_);
  if (!clip_ || !visible_) return std::nullopt;
  return clip_->NextDue();
}

void VideoWindow::Advance(std::chrono::nanoseconds now) {
  std::lock_guard lock(mutex_);
  if (clip_ && visible_) clip_->Advance(now, screen_, windowX_, windowY_);
}

std::string VideoWindow::FileName() {
  std::lock_guard lock(mutex_);
  return fileName_;
}
bool VideoWindow::Created() {
  std::lock_guard lock(mutex_);
  return created_;
}
bool VideoWindow::Visible() {
  std::lock_guard lock(mutex_);
  return visible_;
}
bool VideoWindow::Opened() {
  std::lock_guard lock(mutex_);
  return deviceId_ != 0;
}
bool VideoWindow::Playing() {
  std::lock_guard lock(mutex_);
  return clip_ && clip_->Playing();
}
int VideoWindow::X() {
  std::lock_guard lock(mutex_);
  return windowX_;
}
int VideoWindow::Y() {
  std::lock_guard lock(mutex_);
  return windowY_;
}
int VideoWindow::NaturalWidth() {
  std::lock_guard lock(mutex_);
  return naturalWidth_;
}
int VideoWindow::NaturalHeight() {
  std::lock_guard lock(mutex_);
  return naturalHeight_;
}

}  // namespace media
