#include "transitions/pacer.h"

#include <algorithm>

#include "platform/sys/event.h"
#include "transitions/copy_batch.h"

namespace transitions {

std::optional<std::chrono::nanoseconds> PaceWait(uint32_t speed, double scale) {
  const double units = scale - static_cast<double>(speed);
  if (!(units > 0.0)) return std::nullopt;
  // A year is as good as for ever (the stop event ends it) and keeps inside 64 bits.
  constexpr double kLongest = 365.0 * 24 * 3600 * 1e9;
  return std::chrono::nanoseconds(static_cast<int64_t>(std::min(units * 10'000.0, kLongest)));
}

PaceStep Pacer::Decide(uint32_t speed, double scale) {
  PaceStep step;
  step.speed = speed;
  step.scale = scale;
  if (!StopEvent().IsSet()) {
    step.wait = PaceWait(speed, scale);
    // A wait lets the screen be seen (presented, or a frame taken), and so does a long run
    // of steps without waits.
    step.shown = step.wait || PresentDue();
  }
  step.seen = step.shown || PresentPeriod().count() <= 0;
  return step;
}

void Pacer::Pace(const PaceStep& step, CopyBatch* held) {
  if (step.shown && held) held->Flush();
  Paced(step);
}

}  // namespace transitions
