#pragma once
// What a transition needs from the thread it runs on: the stop event, the clock and the
// pacing wait. Every pace is decided here, once; the scene thread carries the decision
// out, tests record it.

#include <chrono>
#include <cstdint>
#include <optional>

namespace sys {
class Clock;
class Event;
}  // namespace sys

namespace transitions {

class CopyBatch;

// The wait of one pace at `speed` on a scale of `scale`: (scale - speed) x 10 us, none
// when the speed is at or above the scale (or the scale is not a number).
std::optional<std::chrono::nanoseconds> PaceWait(uint32_t speed, double scale);

// One pace as decided.
struct PaceStep {
  uint32_t speed = 0;
  double scale = 0;
  // None: the pace waits nothing (none at this speed, or the stop event is set).
  std::optional<std::chrono::nanoseconds> wait;
  // The screen is seen at this pace: it waits, or a refresh period of drawing without
  // waits has passed and the screen is shown now.
  bool shown = false;
  // What is drawn before this pace can be seen: the screen is shown at it, or the screen
  // is looked at otherwise than by a display's presents (frames taken at instants of show
  // time see every drawing that some wait ends).
  bool seen = true;
};

class Pacer {
 public:
  virtual ~Pacer() = default;
  virtual const sys::Event& StopEvent() const = 0;
  virtual sys::Clock& Clock() = 0;
  // One pacing step. The copies `held` back are drawn first when the step lets the
  // screen be seen.
  void Pace(uint32_t speed, double scale, CopyBatch* held = nullptr) {
    Pace(Decide(speed, scale), held);
  }
  // The pace Pace(speed, scale) takes now, decided and not yet carried out: a step may
  // leave undrawn what nobody will see, then carry it out.
  PaceStep Decide(uint32_t speed, double scale);
  void Pace(const PaceStep& step, CopyBatch* held = nullptr);
  // True when a pace that waits nothing will still let the screen be shown (a refresh
  // period of drawing without waits has passed).
  virtual bool PresentDue() { return false; }
  // How often a display shows the screen at most, when only its presents show it; zero
  // when the screen is seen otherwise (frames at instants of show time, tests).
  virtual std::chrono::nanoseconds PresentPeriod() { return {}; }

 protected:
  // Carries a decided pace out: waits `step.wait` (ended at once by the stop event), or
  // goes on at once and shows the screen when `step.shown`.
  virtual void Paced(const PaceStep& step) = 0;
};

}  // namespace transitions
