#pragma once
// What a transition needs from the thread it runs on: the stop event, the clock and the
// calibrated pacing wait. The scene thread implements it; tests record the calls.

#include <cstdint>

namespace sys {
class Clock;
class Event;
}  // namespace sys

namespace transitions {

class Pacer {
 public:
  virtual ~Pacer() = default;
  virtual const sys::Event& StopEvent() const = 0;
  virtual sys::Clock& Clock() = 0;
  // Waits about (scale - speed) x 10 us; ends at once when the stop event is set.
  virtual void Pace(uint32_t speed, double scale) = 0;
  // True when a pace that waits nothing will still let the screen be shown (a refresh
  // period of drawing without waits has passed): what is held back must be drawn first.
  virtual bool PresentDue() { return false; }
};

// Number of stop-event polls one pacing wait makes on a machine that polls `calibration`
// times a second: trunc((1 - speed / scale) * calibration * scale * 1e-5). A speed at or
// above the scale, a non-positive scale or a non-finite result gives 0 (no wait).
uint32_t PaceCount(uint32_t speed, double scale, uint32_t calibration);

}  // namespace transitions
