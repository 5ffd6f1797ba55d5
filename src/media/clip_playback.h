#pragma once
// One clip playing at a place of the screen: pictures decoded one ahead, shown when the
// show's clock reaches their time. Whoever waits on the clock drives it (NextDue, Advance),
// so a clip keeps to real time in a window and to virtual time in a render alike.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/gfx/surface.h"
#include "platform/video/clip_decoder.h"

namespace media {

// Where clips are drawn: the saver window's screen and its cursor.
class ClipScreen {
 public:
  virtual ~ClipScreen() = default;
  // Copies the picture to (x, y) of the screen (clipped to it). The thread that drives the
  // clip, holding no screen lock.
  virtual void DrawClip(int x, int y, const gfx::Surface& picture) = 0;
  // A clip window left the screen: what it covered shows the saver window's background
  // again (its erase). Any thread; only the scene thread's calls draw, the others come as
  // the show ends.
  virtual void EraseClip(int x, int y, int width, int height) = 0;
  // ShowCursor: the display count of the cursor.
  virtual void ShowCursor(bool show) = 0;
  // The window's cursor becomes the transparent one.
  virtual void SetBlankCursor() = 0;
};

class ClipPlayback {
 public:
  // Null with *error when the file cannot be played.
  static std::unique_ptr<ClipPlayback> Open(const std::string& path, video::ClipError* error);
  explicit ClipPlayback(std::unique_ptr<video::ClipDecoder> decoder);

  int Width() const { return decoder_->Width(); }
  int Height() const { return decoder_->Height(); }

  // Starts at show time `now`; `repeat`: the clip starts again at the end of each pass.
  void Start(std::chrono::nanoseconds now, bool repeat);
  void Stop() { playing_ = false; }
  bool Playing() const { return playing_; }
  // When something happens next (a picture, the end of a pass); none when not playing.
  std::optional<std::chrono::nanoseconds> NextDue() const;
  // Catches up to show time `now`: pictures that are late are decoded and not drawn, the
  // newest one is drawn. Ends a pass (repeating or stopping) when its time has come.
  void Advance(std::chrono::nanoseconds now, ClipScreen& screen, int x, int y);

 private:
  // Decodes the next picture into pending_; false at the end of the pass.
  bool DecodeNext();

  std::unique_ptr<video::ClipDecoder> decoder_;
  gfx::Surface shown_, pending_;
  std::chrono::nanoseconds pendingTime_{0}, lastTime_{0}, passStart_{0};
  bool havePending_ = false;
  bool passHadPictures_ = false;
  bool repeat_ = false;
  bool started_ = false;
  bool playing_ = false;
};

}  // namespace media
