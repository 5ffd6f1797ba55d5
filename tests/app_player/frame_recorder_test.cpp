#include <gtest/gtest.h>

#include <vector>

#include "app/frame_recorder.h"

namespace {
using namespace std::chrono_literals;

TEST(FrameRecorder, TakesEachFrameAtItsInstantAndStopsAtTheLimit) {
  std::vector<std::pair<int64_t, int64_t>> frames;  // (index, state when taken)
  int64_t state = 0;
  bool limit = false;
  app::FrameRecorder rec(
      10, 1s,
      [&](int64_t k) {
        frames.emplace_back(k, state);
        return true;
      },
      [&] { limit = true; });
  // Drawing at t=0, then a 250 ms wait: frames 0, 1, 2 (0, 100, 200 ms) show state 0.
  rec.OnAdvance(0ms, 250ms);
  state = 1;
  rec.OnAdvance(250ms, 300ms);  // frame at 300 ms not yet: it is taken when time passes it
  state = 2;
  rec.OnAdvance(300ms, 5s);
  EXPECT_TRUE(limit);
  ASSERT_EQ(frames.size(), 10u);
  EXPECT_EQ(frames[2], std::make_pair(int64_t{2}, int64_t{0}));
  EXPECT_EQ(frames[3], std::make_pair(int64_t{3}, int64_t{2}));
  EXPECT_EQ(frames[9].first, 9);
  rec.Finish(5s);
  EXPECT_EQ(frames.size(), 10u);  // nothing beyond the limit
}

TEST(FrameRecorder, FinishTakesTheFrameOfTheLastInstantAndFailuresStopWriting) {
  int written = 0;
  app::FrameRecorder rec(4, 0s, [&](int64_t) { return ++written < 3; }, nullptr);
  rec.Finish(2s);  // instants 0, .25, ... 2.0 would be 9 frames; the third write fails
  EXPECT_TRUE(rec.Failed());
  EXPECT_EQ(written, 3);
  EXPECT_EQ(app::FrameRecorder::FrameName(12), "frame-000012.png");
}

}  // namespace
