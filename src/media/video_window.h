#pragma once
// The persistent clip window of the scene thread, for items that do not wait: they send it
// commands and go on while the clip repeats in the background. Commands run on the caller's
// thread under the window's lock; the scene thread drives the pictures from its waits
// (NextDue, Advance).

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "media/clip_playback.h"

namespace sys {
class Clock;
}

namespace media {

inline constexpr uint32_t ID_VIDEO_OPEN = 100;
inline constexpr uint32_t ID_VIDEO_PLAY = 110;
inline constexpr uint32_t ID_VIDEO_STOP = 120;
inline constexpr uint32_t ID_VIDEO_CLOSE = 130;
inline constexpr uint32_t ID_VIDEO_SETPOS = 140;
inline constexpr int kVideoWindowControlId = 75000;

// A WM_COMMAND for the window: the code, lParam as a number (ID_VIDEO_PLAY) and what the
// pointer of the others points at.
struct VideoCommand {
  VideoCommand(uint32_t commandCode, intptr_t param = 0) : code(commandCode), lParam(param) {}
  static VideoCommand Open(std::string name) {
    VideoCommand c(ID_VIDEO_OPEN);
    c.fileName = std::move(name);
    return c;
  }
  static VideoCommand SetPos(int32_t px, int32_t py) {
    VideoCommand c(ID_VIDEO_SETPOS);
    c.x = px;
    c.y = py;
    return c;
  }

  uint32_t code = 0;
  intptr_t lParam = 0;
  std::string fileName;  // ID_VIDEO_OPEN
  int32_t x = 0, y = 0;  // ID_VIDEO_SETPOS
};

class VideoWindow {
 public:
  VideoWindow(ClipScreen& screen, sys::Clock& clock) : screen_(screen), clock_(clock) {}
  VideoWindow(const VideoWindow&) = delete;
  VideoWindow& operator=(const VideoWindow&) = delete;

  // Hides the cursor once and creates the (hidden) window.
  bool Create();
  // WM_COMMAND: true (TRUE) for the window's own codes, false for any other code (the
  // default routing, which handles none of them).
  bool OnCommand(const VideoCommand& command);
  // WM_CLOSE: the window is destroyed, which stops and closes the clip.
  void OnClose();

  // The scene thread's waits: when the clip needs drawing next, and the drawing.
  std::optional<std::chrono::nanoseconds> NextDue();
  void Advance(std::chrono::nanoseconds now);

  // The name of the last ID_VIDEO_OPEN (its file is deleted by the callers).
  std::string FileName();
  bool Created();
  bool Visible();
  bool Opened();
  bool Playing();
  // The show's Mute setting: when set, the clip's audio is switched off before each play.
  void SetMute(bool mute);
  bool Muted();
  int X();
  int Y();
  int NaturalWidth();
  int NaturalHeight();

 private:
  void SizeQuery();

  ClipScreen& screen_;
  sys::Clock& clock_;
  std::mutex mutex_;
  bool mute_ = false;
  std::string fileName_;
  uint32_t deviceId_ = 0;
  std::unique_ptr<ClipPlayback> clip_;
  int naturalWidth_ = 0, naturalHeight_ = 0;
  int positionX_ = 0, positionY_ = 0;
  int windowX_ = 0, windowY_ = 0;
  bool created_ = false, visible_ = false;
};

}  // namespace media
