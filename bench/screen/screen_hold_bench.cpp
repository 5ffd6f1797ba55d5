// How long the scene thread keeps the screen while an effect runs without waits: a push
// (effect 41, about 1,000 full-frame steps at 1920 x 1080) at speed 1000, played by the
// scene thread on a screen that someone shows once a refresh period (60 Hz). Each show
// copies the whole screen, as the display's upload does.
//   hold_max_ms        longest time the screen was held
//   hold_first_ms      the first hold: black screen, work picture prepared, first steps
//   hold_steps_max_ms  longest hold after it, while the push steps (target: 16.7 ms plus
//                      one step)
//   push_ms       the whole push; a step is about push_ms / 1000 of the unshown row
//   hold_median_ms     the middle hold (other work on the machine stretches some holds)
//   shows         times the screen was shown during the push
// The row with period 0 is the screen that nobody shows between waits (frames in virtual
// time): it keeps the screen for the whole push, which is how every screen was before.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "app/saver_window.h"
#include "app/scene_thread.h"
#include "platform/gfx/canvas.h"
#include "scene/play_host.h"
#include "scene/scene_item.h"
#include "scene/scene_list.h"
#include "support/quiet_host.h"
#include "transitions/transition_engine.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kW = 1920, kH = 1080;

using NullHost = testsupport::QuietHost;

// Times every hold; a show copies the screen out as an upload would.
class ShownScreen final : public app::ScreenAccess {
 public:
  explicit ShownScreen(std::chrono::nanoseconds period) : period_(period) {}
  gfx::Surface& Surface() override { return surface; }
  void Acquire() override { since_ = Steady::now(); }
  void Release(const gfx::Rect&) override {
    holds.push_back(std::chrono::duration<double>(Steady::now() - since_).count());
  }
  std::chrono::nanoseconds PresentPeriod() const override { return period_; }
  void Present(const gfx::Rect& drawn) override {
    Release(drawn);
    std::memcpy(shown.Data(), surface.Data(), sizeof(gfx::Pixel) * kW * kH);
    ++shows;
    Acquire();
  }
  gfx::Surface surface{kW, kH}, shown{kW, kH};
  std::vector<double> holds;
  int shows = 0;

 private:
  std::chrono::nanoseconds period_;
  Steady::time_point since_;
};

struct PushItem final : scene::SceneItem {
  PushItem() : SceneItem(scene::kCommentItem) {
    std::mt19937 rng(3);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) picture.At(x, y) = rng() & 0xFFFFFF;
  }
  int play(scene::PlayHost& host, int32_t&) override {
    transitions::TransitionEngine engine(41);
    engine.SetPicture(gfx::Rect{0, 0, kW, kH}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&picture);
    transitions::Point dest{0, 0};
    const auto t0 = Steady::now();
    engine.Run(host.Screen(), host, dest, 1000, 0, 0);
    seconds = std::chrono::duration<double>(Steady::now() - t0).count();
    return 0;
  }
  std::unique_ptr<scene::SceneItem> createEmpty() const override {
    return std::make_unique<PushItem>();
  }
  gfx::Surface picture{kW, kH}, work{kW, kH};
  double seconds = 0;
};

void BM_PushScreenHold(benchmark::State& state) {
  const std::chrono::nanoseconds period(state.range(0));
  NullHost host;
  app::SaverWindow window(host);
  scene::SceneList list;
  auto item = std::make_unique<PushItem>();
  PushItem* push = item.get();
  list.Append(std::move(item));
  sys::RealClock clock;
  double longest = 0, steps = 0, median = 0, first = 0, run = 0;
  int shows = 0;
  for (auto _ : state) {
    ShownScreen screen(period);
    app::SceneThread thread(list, window, screen, clock, nullptr);
    thread.Run();
    // The first hold turns the screen black and prepares the push's work picture before
    // its first step; the steps come after.
    first = std::max(first, screen.holds.front());
    std::sort(screen.holds.begin() + 1, screen.holds.end());
    if (screen.holds.size() > 1) steps = std::max(steps, screen.holds.back());
    longest = std::max({longest, first, steps});
    median = std::max(median, screen.holds[screen.holds.size() / 2]);
    shows += screen.shows;
    run += push->seconds;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["hold_first_ms"] = first * 1e3;
  state.counters["hold_max_ms"] = longest * 1e3;
  state.counters["hold_steps_max_ms"] = steps * 1e3;
  state.counters["hold_median_ms"] = median * 1e3;
  state.counters["push_ms"] = run / n * 1e3;
  state.counters["shows"] = shows / n;
}

BENCHMARK(BM_PushScreenHold)
    ->ArgName("period_ns")
    ->Arg(0)
    ->Arg(16'666'667)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
