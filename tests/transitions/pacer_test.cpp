#include "transitions/pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "transitions/copy_batch.h"

namespace transitions {
namespace {

// Pacing as a calibrated busy poll of the stop event: `calibration` polls a second, this
// many of them: trunc((1 - speed / scale) * calibration * scale * 1e-5).
uint32_t PaceCount(uint32_t speed, double scale, uint32_t calibration) {
  if (!(scale > 0.0)) return 0;
  const double count = (1.0 - speed / scale) * calibration * scale * 0.00001;
  if (!(count >= 1.0)) return 0;
  if (count >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
    return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(count);
}
constexpr uint32_t kPollsPerSecond = 1'000'000;

// Notes each decided pace, and whether the copy held back was on the screen by then.
class NotingPacer : public Pacer {
 public:
  explicit NotingPacer(const gfx::Surface& screen) : screen_(screen) {}
  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  bool PresentDue() override { return presentDue; }
  void Paced(const PaceStep& s) override {
    step = s;
    drawnBefore = screen_.At(1, 1) == 0x123456;
  }

  sys::Event stop;
  sys::VirtualClock clock;
  bool presentDue = false;
  std::optional<PaceStep> step;
  bool drawnBefore = false;

 private:
  const gfx::Surface& screen_;
};

// Every speed against every scale, stopped or not, with a present due or not: the wait is
// the one the calibrated poll made (to within a poll), and the copies held back are drawn
// exactly when the screen will be seen.
TEST(Pace, DecisionMatchesTheCalibratedPoll) {
  const uint32_t speeds[] = {0, 1, 500, 999, 1000, 1001, 2999, 99'999, 4'294'967'295u};
  const double scales[] = {1000.0,       3000.0, 100'000.0,
                           1000.5,       0.0,    -7.0,
                           std::nan(""), 1e300,  std::numeric_limits<double>::infinity()};
  for (uint32_t speed : speeds)
    for (double scale : scales)
      for (bool stopped : {false, true})
        for (bool presentDue : {false, true}) {
          gfx::Surface screen(4, 4), work(4, 4, 0x123456);
          gfx::Canvas canvas(screen);
          CopyBatch batch(canvas, work, nullptr, 0, 0);
          batch.Push(0, 0, 4, 4);
          NotingPacer pacer(screen);
          pacer.presentDue = presentDue;
          if (stopped) pacer.stop.Set();
          pacer.Pace(speed, scale, &batch);

          const uint32_t polls = PaceCount(speed, scale, kPollsPerSecond);
          const bool waits = !stopped && polls > 0;
          const bool seen = !stopped && (polls > 0 || presentDue);
          SCOPED_TRACE(::testing::Message()
                       << "speed " << speed << " scale " << scale << (stopped ? " stopped" : "")
                       << (presentDue ? " present due" : ""));
          ASSERT_TRUE(pacer.step);
          EXPECT_EQ(pacer.step->speed, speed);
          EXPECT_EQ(pacer.step->wait.has_value(), waits);
          EXPECT_EQ(pacer.step->shown, seen);
          EXPECT_EQ(pacer.drawnBefore, seen);
          EXPECT_EQ(batch.Empty(), seen);
          if (waits && polls < 1'000'000'000u) {
            const int64_t pollNs = 1'000'000'000 / kPollsPerSecond;
            EXPECT_NEAR(static_cast<double>(pacer.step->wait->count()),
                        static_cast<double>(polls) * pollNs, static_cast<double>(pollNs));
          }
          if (waits && polls == std::numeric_limits<uint32_t>::max()) {
            EXPECT_GE(*pacer.step->wait, std::chrono::hours(24));  // longer than any show
          }
        }
}

}  // namespace
}  // namespace transitions
