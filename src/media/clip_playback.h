#pragma once
// One clip playing at a place of the screen: pictures decoded one ahead, shown when the
// show's clock reaches their time. Whoever waits on the clock drives it (NextDue, Advance),
// so a clip keeps to real time in a window and to virtual time in a render alike.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/gfx/canvas.h"
#include "platform/gfx/surface.h"
#include "platform/video/clip_decoder.h"
#include "platform/video/clip_sound.h"

namespace audio {
class AudioDevice;
}

namespace media {

class ClipSoundFeed;

// A clip's picture as its decoder holds it, converted to the screen's pixels where it is
// drawn.
class ClipPicture {
 public:
  explicit ClipPicture(video::ClipDecoder& decoder) : decoder_(decoder) {}
  int Width() const { return decoder_.Width(); }
  int Height() const { return decoder_.Height(); }
  // Into Width() x Height() pixels of the caller's, `stride` a row; false when the picture
  // cannot be converted.
  bool WriteTo(gfx::Pixel* pixels, size_t stride) const {
    return decoder_.ConvertHeldInto(pixels, stride);
  }
  // Into rows of the decoder's own (*stride pixels a row); null as above.
  const gfx::Pixel* Rows(size_t* stride) const { return decoder_.ConvertHeld(stride); }

 private:
  video::ClipDecoder& decoder_;
};

// Draws the picture at (x, y) of the canvas, clipped to it: converted straight into the
// canvas's bitmap when it lies wholly on it.
void DrawClipPicture(gfx::Canvas& canvas, int x, int y, const ClipPicture& picture);

// Where clips are drawn: the saver window's screen and its cursor.
class ClipScreen {
 public:
  virtual ~ClipScreen() = default;
  // Draws the picture at (x, y) of the screen (clipped to it). The thread that drives the
  // clip, holding no screen lock.
  virtual void DrawClip(int x, int y, const ClipPicture& picture) = 0;
  // A clip window left the screen: what it covered shows the saver window's background
  // again (its erase). Any thread; only the scene thread's calls draw, the others come as
  // the show ends.
  virtual void EraseClip(int x, int y, int width, int height) = 0;
  // ShowCursor: the display count of the cursor.
  virtual void ShowCursor(bool show) = 0;
  // The window's cursor becomes the transparent one.
  virtual void SetBlankCursor() = 0;
  // The background clip's window shows over `area` (empty: it is hidden). Its cursor, once
  // set to the transparent one, hides the mouse over it.
  virtual void ClipWindowArea(const gfx::Rect&) {}
  // Where the clips' sound goes; null: clips play silently.
  virtual audio::AudioDevice* ClipSound() { return nullptr; }
};

class ClipPlayback {
 public:
  // Null with *error when the file cannot be played. With a device the clip's sound (if it
  // has one) plays there beside the pictures.
  static std::unique_ptr<ClipPlayback> Open(const std::string& path, video::ClipError* error,
                                            audio::AudioDevice* device = nullptr);
  explicit ClipPlayback(std::unique_ptr<video::ClipDecoder> decoder,
                        audio::AudioDevice* device = nullptr,
                        std::unique_ptr<video::ClipSound> sound = nullptr);
  ~ClipPlayback();
  ClipPlayback(const ClipPlayback&) = delete;
  ClipPlayback& operator=(const ClipPlayback&) = delete;

  int Width() const { return decoder_->Width(); }
  int Height() const { return decoder_->Height(); }

  // Starts at show time `now`; `repeat`: the clip starts again at the end of each pass.
  void Start(std::chrono::nanoseconds now, bool repeat);
  void Stop();
  bool Playing() const { return playing_; }
  // Audio off (true) or on: takes effect at once and for the following starts.
  void SetAudioOff(bool off);
  bool HasSound() const { return feed_ != nullptr; }
  // When something happens next (a picture, the end of a pass); none when not playing.
  std::optional<std::chrono::nanoseconds> NextDue() const;
  // Catches up to show time `now`: each picture that is due is drawn in turn, converted
  // from the decoder's picture as it is drawn, so the newest shows. Ends a pass (repeating
  // or stopping) when its time has come.
  void Advance(std::chrono::nanoseconds now, ClipScreen& screen, int x, int y);

 private:
  // Decodes the next picture (held by the decoder); false at the end of the pass.
  bool DecodeNext();
  // The sound of a pass starts with its first picture and ends with it.
  void StartSound();
  void StopSound();

  std::unique_ptr<video::ClipDecoder> decoder_;
  std::unique_ptr<ClipSoundFeed> feed_;
  bool audioOff_ = false;
  std::chrono::nanoseconds pendingTime_{0}, lastTime_{0}, passStart_{0};
  bool havePending_ = false;
  bool passHadPictures_ = false;
  bool repeat_ = false;
  bool started_ = false;
  bool playing_ = false;
};

}  // namespace media
