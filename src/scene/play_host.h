#pragma once
// What a scene item reaches while it plays: the scene thread's services (stop event, clock,
// pacing) and the saver window's (its device context, background, link, mute flag).
// The scene thread implements it; tests use fakes.

#include <cstdint>
#include <string>

#include "platform/gfx/surface.h"

namespace sys {
class Clock;
class Event;
}  // namespace sys
namespace gfx {
class Canvas;
}

namespace scene {

class PlayHost {
 public:
  virtual ~PlayHost() = default;

  // Scene thread.
  virtual const sys::Event& StopEvent() const = 0;
  virtual sys::Clock& Clock() = 0;
  // Waits about (scale - speed) x 10 us; ends at once when the stop event is set.
  virtual void Pace(uint32_t speed, double scale) = 0;
  virtual void PauseCheck() = 0;

  // The saver window's client device context (the screen).
  virtual gfx::Canvas& Screen() = 0;

  // Saver window.
  virtual void Repaint(gfx::COLORREF color, uint32_t rasterOp) = 0;
  virtual gfx::COLORREF BackgroundColor() const = 0;
  virtual bool Muted() const = 0;
  virtual void SetActiveLink(const std::string& url, int32_t linkMode) = 0;
  virtual void ClearActiveLink() = 0;

  // The per-saver application profile (section, entry, default).
  virtual int32_t ProfileInt(const std::string& section, const std::string& entry,
                             int32_t defaultValue) = 0;
};

}  // namespace scene
