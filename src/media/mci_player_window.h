#pragma once
// The one-shot clip player of an item that waits: Run plays the clip at (x, y) of the saver
// window at its natural size and returns when it has ended, or when WM_CLOSE (from the UI
// thread, as the saver ends) closed it.

#include <cstdint>
#include <memory>
#include <string>

#include "media/clip_playback.h"
#include "platform/sys/event.h"

namespace sys {
class Clock;
}

namespace media {

inline constexpr int kMciPlayerControlId = 32780;

class MciPlayerWindow {
 public:
  // `clock`: the show's clock as the scene thread waits on it.
  MciPlayerWindow(ClipScreen& screen, sys::Clock& clock) : screen_(screen), clock_(clock) {}
  // Deletes the media file again (a missing file is no error).
  virtual ~MciPlayerWindow();
  MciPlayerWindow(const MciPlayerWindow&) = delete;
  MciPlayerWindow& operator=(const MciPlayerWindow&) = delete;

  void SetMute(bool mute) { mute_ = mute; }
  // loop 1: repeat until closed; -1: once. Blocks until play ends. A failed open is
  // recorded and the empty window is shown; play then fails at once.
  bool Run(int loop, int x, int y, const std::string& fileName);
  // Stop, Close, then delete the media file.
  void Finish();

  bool Open(const std::string& fileName);
  void SizeQuery();
  bool Play(bool repeat);
  bool Stop();
  bool Close();

  // WM_CLOSE, from any thread: a play in progress ends at once (its thread stops and closes
  // the device).
  void PostClose() { closed_.Set(); }

  const std::string& FileName() const { return fileName_; }
  const std::string& LastError() const { return lastError_; }
  uint32_t DeviceId() const { return deviceId_; }
  int NaturalWidth() const { return naturalWidth_; }
  int NaturalHeight() const { return naturalHeight_; }
  bool Visible() const { return visible_; }
  bool Muted() const { return mute_; }
  int X() const { return x_; }
  int Y() const { return y_; }

 private:
  void RecordError(int code);

  ClipScreen& screen_;
  sys::Clock& clock_;
  int naturalHeight_ = 0, naturalWidth_ = 0;
  uint32_t deviceId_ = 0;
  std::string lastError_;
  bool mute_ = false;
  std::string fileName_;
  std::unique_ptr<ClipPlayback> clip_;
  sys::Event closed_;
  bool visible_ = false;
  int x_ = 0, y_ = 0;
};

// Device numbers handed out by the opens of both windows; 0 is none.
uint32_t NextClipDeviceId();

}  // namespace media
