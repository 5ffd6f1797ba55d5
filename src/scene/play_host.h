#pragma once
// What a scene item reaches while it plays: the scene thread's services (stop event, clock,
// pacing) and the saver window's (its device context, background, link, mute flag).
// The scene thread implements it; tests use fakes.

#include <cstdint>
#include <string>

#include "platform/gfx/surface.h"
#include "transitions/pacer.h"

namespace sys {
class Clock;
class Event;
}  // namespace sys
namespace gfx {
class Canvas;
}
namespace media {
class MP3Player;
class VideoWindow;
class MciPlayerWindow;
class ClipScreen;
}  // namespace media
namespace audio {
class WaveSound;
}

namespace scene {

// The scene thread's stop event, clock and pacing wait come from transitions::Pacer, so the
// host is handed to the transition engine as it is.
class PlayHost : public transitions::Pacer {
 public:
  // Scene thread.
  virtual void PauseCheck() = 0;

  // The saver window's client device context (the screen).
  virtual gfx::Canvas& Screen() = 0;

  // Saver window.
  virtual void Repaint(gfx::COLORREF color, uint32_t rasterOp) = 0;
  virtual gfx::COLORREF BackgroundColor() const = 0;
  virtual bool Muted() const = 0;
  virtual void SetActiveLink(const std::string& url, int32_t linkMode) = 0;
  virtual void ClearActiveLink() = 0;

  // The desktop snapshot and the wallpaper picture taken at startup (files that may be
  // missing).
  virtual std::string DesktopPath() const = 0;
  virtual std::string WallpaperPath() const = 0;

  // The scene thread's MP3 player and the wave-sound call; none: no sound plays.
  virtual media::MP3Player* Mp3Player() { return nullptr; }
  virtual audio::WaveSound* WaveSounds() { return nullptr; }
  // The scene thread's video window, where clips are drawn, and the slot of the one-shot
  // player (set while an item waits for its clip, so that a stop of the saver reaches it);
  // no video window: no clip plays.
  virtual media::VideoWindow* Video() { return nullptr; }
  virtual media::ClipScreen* ClipTarget() { return nullptr; }
  virtual void SetCurrentPlayer(media::MciPlayerWindow*) {}

  // The per-saver application profile (section, entry, default).
  virtual int32_t ProfileInt(const std::string& section, const std::string& entry,
                             int32_t defaultValue) = 0;
};

}  // namespace scene
