#include "app/scene_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "app/background.h"
#include "app/saver_window.h"
#include "platform/gfx/canvas.h"
#include "scene/items.h"
#include "scene/scene_list.h"
#include "support/quiet_host.h"

namespace {

using QuietHost = testsupport::QuietHost;

// Counts how often the scene thread lets go of the screen, which it must do to wait.
struct CountingScreen : app::ScreenAccess {
  gfx::Surface surface{64, 48, 0x00FFFFFF};
  int acquired = 0, released = 0;
  bool held = false;
  gfx::Surface& Surface() override { return surface; }
  void Acquire() override {
    EXPECT_FALSE(held);
    held = true;
    ++acquired;
  }
  void Release(const gfx::Rect&) override {
    EXPECT_TRUE(held);
    held = false;
    ++released;
  }
};

struct SceneThreadTest : ::testing::Test {
  QuietHost host;
  app::SaverWindow window{host};
  CountingScreen screen;
  scene::SceneList list;
  sys::VirtualClock clock;

  template <class T>
  T& Add() {
    auto item = list.Create(T().kind);
    T* raw = static_cast<T*>(item.get());
    list.Append(std::move(item));
    raw->index = static_cast<int32_t>(list.size() - 1);
    return *raw;
  }
  std::unique_ptr<app::SceneThread> Make(sys::Clock& c) {
    return std::make_unique<app::SceneThread>(list, window, screen, c, nullptr);
  }
};

TEST_F(SceneThreadTest, EmptyListTurnsTheScreenBlackAndEnds) {
  auto thread = Make(clock);
  thread->Run();
  EXPECT_TRUE(thread->FinishedEvent().IsSet());
  EXPECT_EQ(screen.surface.At(0, 0), 0u);
  EXPECT_EQ(screen.surface.At(63, 47), 0u);
  EXPECT_FALSE(screen.held);
}

TEST_F(SceneThreadTest, DisabledItemsAreSkippedAndTheScreenIsFreeDuringWaits) {
  auto& bg = Add<scene::BackgroundItem>();
  bg.color.color = gfx::RGB(255, 0, 0);
  bg.disabled = 1;
  auto& pause = Add<scene::PauseItem>();
  pause.pause.pauseMs = 250;
  auto thread = Make(clock);
  thread->Run();
  EXPECT_EQ(screen.surface.At(5, 5), 0u);  // the red background never came
  EXPECT_EQ(clock.TickCount(), 250u);
  // Acquired at the start, again after each wait slice (100, 100, 50) and between items.
  EXPECT_GE(screen.acquired, 5);
  EXPECT_EQ(screen.acquired, screen.released);
}

TEST_F(SceneThreadTest, StopEndsALongPauseAndAPacingWaitAtOnce) {
  sys::RealClock real;
  auto& pause = Add<scene::PauseItem>();
  pause.pause.pauseMs = 3'600'000;  // an hour, in 100 ms slices
  auto thread = Make(real);
  thread->Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  thread->Stop();  // must return: the pause looks at the stop event every slice
  EXPECT_TRUE(thread->FinishedEvent().IsSet());

  // A pacing wait of 10^9 units (about three hours) ends as soon as the stop event is set.
  auto paced = Make(real);
  std::thread waiter([&] { paced->Pace(0, 1e9); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  paced->RequestStop();
  waiter.join();
}

TEST_F(SceneThreadTest, PaceWaitsScaleMinusSpeedHundredThousandthsOfASecond) {
  auto thread = Make(clock);
  thread->Pace(900, 1000.0);  // 100 units of 10 us
  EXPECT_EQ(clock.Elapsed().count(), 1'000'000);
  thread->Pace(1000, 1000.0);  // no wait at speed = scale
  thread->Pace(50'000, 100'000.0);
  EXPECT_EQ(clock.Elapsed().count(), 1'000'000 + 500'000'000);
  thread->RequestStop();
  thread->Pace(0, 1000.0);  // stopped: no time passes
  EXPECT_EQ(clock.Elapsed().count(), 501'000'000);
}

TEST_F(SceneThreadTest, LoopsRepeatTheirBodyAndBackgroundsUseTheirRasterOperation) {
  Add<scene::LoopStartItem>();
  auto& bg = Add<scene::BackgroundItem>();
  bg.color.color = gfx::RGB(0, 0, 0x10);
  bg.color.paintMode = 1;  // OR onto the screen
  auto& pause = Add<scene::PauseItem>();
  pause.pause.pauseMs = 10;
  auto& end = Add<scene::LoopEndItem>();
  end.repeat.repeatCount = 3;
  ASSERT_TRUE(end.prepare(list));
  auto thread = Make(clock);
  thread->Run();
  EXPECT_EQ(clock.TickCount(), 30u);  // the body ran three times
  EXPECT_EQ(screen.surface.At(3, 3), gfx::MakePixel(0, 0, 0x10));
  EXPECT_EQ(window.RasterOp(), gfx::SRCPAINT);
}

TEST(Background, BrushOperationsMatchTheSourceOperationsWithASolidSource) {
  EXPECT_EQ(app::BrushRopFor(gfx::SRCCOPY), gfx::PATCOPY);
  EXPECT_EQ(app::BrushRopFor(gfx::SRCPAINT) >> 16, 0xFAu);
  EXPECT_EQ(app::BrushRopFor(gfx::SRCAND) >> 16, 0xA0u);
  gfx::Surface s(4, 1, gfx::MakePixel(0x0F, 0xF0, 0x33));
  gfx::Canvas c(s);
  app::EraseWithBackground(c, gfx::RGB(0xF0, 0x0F, 0x11), gfx::SRCAND);
  EXPECT_EQ(s.At(2, 0), gfx::MakePixel(0x00, 0x00, 0x11));
  app::EraseWithBackground(c, gfx::RGB(0x01, 0x02, 0x04), gfx::SRCPAINT);
  EXPECT_EQ(s.At(0, 0), gfx::MakePixel(0x01, 0x02, 0x15));
}

}  // namespace

// An item that draws one row per step, `step` of real time each, with a pace that waits
// nothing after every step: an effect at full speed.
struct StepsItem final : scene::SceneItem {
  StepsItem() : SceneItem(scene::kCommentItem) {}
  int steps = 0;
  std::chrono::milliseconds step{};
  int play(scene::PlayHost& host, int32_t&) override {
    for (int i = 0; i < steps; ++i) {
      host.Screen().FillRect(gfx::Rect{0, i, 8, i + 1}, gfx::RGB(255, 255, 255));
      std::this_thread::sleep_for(step);
      host.Pace(1000, 1000.0);
    }
    return 0;
  }
  std::unique_ptr<scene::SceneItem> createEmpty() const override {
    return std::make_unique<StepsItem>();
  }
};

// A screen that someone shows every `period` of real time: what it sees at each present.
struct ShownScreen : CountingScreen {
  std::chrono::nanoseconds period{};
  std::vector<gfx::Rect> shown;
  std::vector<int> whiteRows;
  std::chrono::nanoseconds PresentPeriod() const override { return period; }
  void Present(const gfx::Rect& drawn) override {
    Release(drawn);
    shown.push_back(drawn);
    int rows = 0;
    while (rows < surface.Height() && surface.At(0, rows) == 0x00FFFFFF) ++rows;
    whiteRows.push_back(rows);
    Acquire();
  }
};

TEST(SceneThreadPresent, ALongRunOfStepsIsShownAtStepBoundariesOnlyWhenSomeoneLooks) {
  for (auto period : {std::chrono::nanoseconds(0), std::chrono::nanoseconds(4'000'000)}) {
    QuietHost host;
    app::SaverWindow window{host};
    ShownScreen screen;
    screen.period = period;
    scene::SceneList list;
    auto item = std::make_unique<StepsItem>();
    item->steps = 24;
    item->step = std::chrono::milliseconds(1);
    list.Append(std::move(item));
    sys::RealClock clock;
    app::SceneThread thread(list, window, screen, clock, nullptr);
    thread.Run();
    EXPECT_FALSE(screen.held);
    EXPECT_EQ(screen.acquired, screen.released);
    if (period.count() == 0) {
      EXPECT_TRUE(screen.shown.empty());
      continue;
    }
    // 24 ms of drawing held 4 ms at most: shown at least 5 times, never mid-step (the
    // turn to black first, then whole rows), with more rows each time.
    ASSERT_GE(screen.shown.size(), 5u);
    EXPECT_LE(screen.shown.size(), 24u);
    for (size_t i = 0; i < screen.whiteRows.size(); ++i) {
      EXPECT_FALSE(screen.shown[i].IsEmpty());
      if (i > 0) {
        EXPECT_GT(screen.whiteRows[i], screen.whiteRows[i - 1]);
      }
    }
  }
}
