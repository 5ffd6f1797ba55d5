// Every built effect at speed 1000 (no waits) on a 1920 x 1080 picture, the whole
// Run (work picture prepared, then the effect) as a ratio against one full-frame memcpy
// measured in the same run (counter "x_memcpy"). "px_copied" is how many times the
// effect copies each picture pixel; "copies" is its number of copy calls. Copies that no
// wait separates are merged before drawing: "merged" rectangles are left, covering
// "px_drawn" times the picture. The fades and the morph draw their levels and passes
// straight onto the screen, so their copy counters hold only the final copy.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "transitions/effect_table.h"
#include "transitions/fades.h"
#include "transitions/transition_engine.h"

namespace {

constexpr int kW = 1920, kH = 1080;

gfx::Surface RandomSurface() {
  gfx::Surface s(kW, kH);
  std::mt19937 rng(7);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) s.At(x, y) = rng() & 0xFFFFFF;
  return s;
}

// The fastest of many full-frame copies: on a busy machine the ratios then err on the
// side of the effects looking slower.
double MemcpySeconds() {
  static const double seconds = [] {
    gfx::Surface a = RandomSurface(), b(kW, kH);
    const size_t bytes = static_cast<size_t>(kW) * kH * sizeof(gfx::Pixel);
    double best = 1e9;
    for (int i = 0; i < 60; ++i) {
      auto t0 = std::chrono::steady_clock::now();
      std::memcpy(b.Data(), a.Data(), bytes);
      benchmark::ClobberMemory();
      auto t1 = std::chrono::steady_clock::now();
      if (i >= 5) best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
  }();
  return seconds;
}

// Speed 1000: no pace waits.
class NoWaitPacer : public transitions::Pacer {
 public:
  const sys::Event& StopEvent() const override { return stop_; }
  sys::Clock& Clock() override { return clock_; }
  void Paced(const transitions::PaceStep&) override { ++paces; }
  long paces = 0;

 private:
  sys::Event stop_;
  sys::VirtualClock clock_;
};

// Counts what an effect copies, outside the timed runs: every copy, or (merged) the
// rectangles left once the copies no wait separates are merged.
class CountingSink : public transitions::CopySink {
 public:
  explicit CountingSink(bool merged = false) : merged_(merged) {}
  void Copy(gfx::Canvas&, const gfx::Surface&, int, int, int w, int h, int, int) override {
    ++copies;
    pixels += static_cast<double>(w) * h;
  }
  bool TakesBatches() const override { return merged_; }
  long copies = 0;
  double pixels = 0;

 private:
  bool merged_;
};

struct Bench {
  gfx::Surface source = RandomSurface();
  gfx::Surface work{kW, kH};
  gfx::Surface screen{kW, kH};
  gfx::Canvas canvas{screen};

  void Run(int32_t effect, transitions::Pacer& pacer, transitions::CopySink* sink) {
    transitions::TransitionEngine engine(effect);
    engine.SetPicture(gfx::Rect{0, 0, kW, kH}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&source);
    engine.SetBitmap(&source);  // read by the fades only
    engine.SetCopySink(sink);
    transitions::Point dest{0, 0};
    engine.Run(canvas, pacer, dest, 1000, 0, 0);
  }
};

Bench& Shared() {
  static Bench b;
  return b;
}

void BM_Memcpy(benchmark::State& state) {
  Bench& b = Shared();
  const double base = MemcpySeconds();
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::memcpy(b.screen.Data(), b.source.Data(), static_cast<size_t>(kW) * kH * 4);
    benchmark::ClobberMemory();
  }
  auto t1 = std::chrono::steady_clock::now();
  state.counters["x_memcpy"] = std::chrono::duration<double>(t1 - t0).count() /
                               static_cast<double>(state.iterations()) / base;
}

// The least any column-order effect can cost: the frame copied column by column, one
// pixel per row, with no clipping or bookkeeping.
void BM_RawColumns(benchmark::State& state) {
  Bench& b = Shared();
  const double base = MemcpySeconds();
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (int x = 0; x < kW; ++x)
      for (int y = 0; y < kH; ++y) b.screen.Row(y)[x] = b.work.Row(y)[x];
    benchmark::ClobberMemory();
  }
  auto t1 = std::chrono::steady_clock::now();
  state.counters["x_memcpy"] = std::chrono::duration<double>(t1 - t0).count() /
                               static_cast<double>(state.iterations()) / base;
}

void BM_Effect(benchmark::State& state) {
  const int32_t effect = static_cast<int32_t>(state.range(0));
  Bench& b = Shared();
  const double base = MemcpySeconds();
  NoWaitPacer pacer;
  CountingSink counter;
  if (effect == 66) b.screen.Fill(0);
  b.Run(effect, pacer, &counter);
  const long paces = pacer.paces;
  CountingSink merged(true);
  b.Run(effect, pacer, &merged);

  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    // The morph's passes depend on the old screen: from black, nearly every pixel of the
    // random picture takes close to 255 of them.
    if (effect == 66) b.screen.Fill(0);
    b.Run(effect, pacer, nullptr);
    benchmark::ClobberMemory();
  }
  auto t1 = std::chrono::steady_clock::now();
  const double per =
      std::chrono::duration<double>(t1 - t0).count() / static_cast<double>(state.iterations());
  const transitions::EffectInfo* row = transitions::FindEffect(effect);
  state.SetLabel(row ? std::string(row->name) : "prepare only");
  state.counters["x_memcpy"] = per / base;
  state.counters["px_copied"] = counter.pixels / (double{kW} * kH);
  state.counters["copies"] = static_cast<double>(counter.copies);
  state.counters["merged"] = static_cast<double>(merged.copies);
  state.counters["px_drawn"] = merged.pixels / (double{kW} * kH);
  state.counters["paces"] = static_cast<double>(paces);
}

// One fade level and one morph pass (step, end-rule look, copy to the screen) on a whole
// frame of range(0) x range(1), against a memcpy of the frame timed in the same loop
// ("x_memcpy" = level or pass time / copy time).
struct Frame {
  Frame(int w, int h) : w(w), h(h), a(w, h), b(w, h), screen(w, h) {
    std::mt19937 rng(11);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        a.At(x, y) = rng() & 0xFFFFFF;
        b.At(x, y) = rng() & 0xFFFFFF;
      }
  }
  double Copy() {
    const auto t0 = std::chrono::steady_clock::now();
    std::memcpy(screen.Data(), a.Data(), static_cast<size_t>(w) * h * sizeof(gfx::Pixel));
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  int w, h;
  gfx::Surface a, b, screen;
};

template <typename Pass>
void RunAgainstMemcpy(benchmark::State& state, Frame& f, Pass pass) {
  double copy = 1e9, best = 1e9;
  for (auto _ : state) {
    copy = std::min(copy, f.Copy());
    const auto t0 = std::chrono::steady_clock::now();
    pass();
    benchmark::ClobberMemory();
    best = std::min(best,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  // Fastest of each, so that a busy machine does not favour either side.
  state.counters["memcpy_ms"] = copy * 1e3;
  state.counters["pass_ms"] = best * 1e3;
  state.counters["x_memcpy"] = best / copy;
}

void BM_FadeLevel(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  unsigned v = 0;
  RunAgainstMemcpy(state, f, [&] {
    for (int y = 0; y < f.h; ++y)
      transitions::FadeLevel(f.screen.Row(y), f.a.Row(y), static_cast<size_t>(f.w), v);
    v = (v + 1) & 0xFF;
  });
}

void BM_MorphPass(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  gfx::Surface from = f.a;
  RunAgainstMemcpy(state, f, [&] {
    bool apart = false;
    for (int y = 0; y < f.h; ++y) {
      apart |= transitions::MorphStep(from.Row(y), f.b.Row(y), static_cast<size_t>(f.w), !apart);
      std::memcpy(f.screen.Row(y), from.Row(y), static_cast<size_t>(f.w) * sizeof(gfx::Pixel));
    }
    benchmark::DoNotOptimize(apart);
  });
}

// Speed 1000 as the scene thread paces it for a display that shows the screen once a
// refresh period (60 Hz), in show time as virtual as NoWaitPacer's: levels and passes
// that no present can show are not drawn.
class DisplayPacer : public NoWaitPacer {
 public:
  bool PresentDue() override { return std::chrono::steady_clock::now() - shown_ >= kPeriod; }
  std::chrono::nanoseconds PresentPeriod() override { return kPeriod; }
  void Paced(const transitions::PaceStep& step) override {
    NoWaitPacer::Paced(step);
    if (step.shown) shown_ = std::chrono::steady_clock::now();
  }

 private:
  static constexpr std::chrono::nanoseconds kPeriod{16'666'667};
  std::chrono::steady_clock::time_point shown_ = std::chrono::steady_clock::now();
};

// The fades and the morph with such a display, against drawing every level and pass in
// the same run ("x_every_level" = time with the display / time drawing everything).
void BM_SeenLevels(benchmark::State& state) {
  const int32_t effect = static_cast<int32_t>(state.range(0));
  Bench& b = Shared();
  double every = 0, seen = 0;
  for (auto _ : state) {
    for (bool display : {false, true}) {
      NoWaitPacer all;
      DisplayPacer shown;
      if (effect == 66) b.screen.Fill(0);
      const auto t0 = std::chrono::steady_clock::now();
      b.Run(effect, display ? static_cast<transitions::Pacer&>(shown) : all, nullptr);
      benchmark::ClobberMemory();
      (display ? seen : every) +=
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
  }
  const double n = static_cast<double>(state.iterations());
  const transitions::EffectInfo* row = transitions::FindEffect(effect);
  state.SetLabel(row ? std::string(row->name) : "");
  state.counters["every_level_ms"] = every / n * 1e3;
  state.counters["display_ms"] = seen / n * 1e3;
  state.counters["x_every_level"] = seen / every;
}

BENCHMARK(BM_SeenLevels)
    ->ArgName("effect")
    ->Arg(4)
    ->Arg(65)
    ->Arg(66)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_FadeLevel)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MorphPass)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawColumns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Effect)
    ->ArgName("effect")
    ->Arg(88)  // beyond the table: the work picture is prepared, nothing drawn
    ->Args({7})
    ->Args({8})
    ->Args({11})
    ->Args({12})
    ->Args({37})
    ->Args({38})
    ->Args({39})
    ->Args({40})
    ->Args({49})
    ->Args({50})
    ->Args({51})
    ->Args({52})
    ->Args({57})
    ->Args({58})
    ->Args({59})
    ->Args({60})
    ->Args({67})
    ->Args({68})
    ->Args({69})
    ->Args({70})
    ->Args({75})
    ->Args({76})
    ->Args({5})
    ->Args({6})
    ->Args({13})
    ->Args({14})
    ->Args({17})
    ->Args({18})
    ->Args({19})
    ->Args({20})
    ->Args({61})
    ->Args({62})
    ->Args({63})
    ->Args({64})
    ->Args({77})
    ->Args({78})
    ->Args({79})
    ->Args({80})
    ->Args({81})
    ->Args({82})
    ->Args({83})
    ->Args({84})
    ->Args({85})
    ->Args({86})
    ->Args({87})
    ->Args({4})
    ->Args({9})
    ->Args({10})
    ->Args({15})
    ->Args({16})
    ->Args({21})
    ->Args({22})
    ->Args({23})
    ->Args({24})
    ->Args({25})
    ->Args({26})
    ->Args({27})
    ->Args({28})
    ->Args({29})
    ->Args({30})
    ->Args({31})
    ->Args({32})
    ->Args({33})
    ->Args({34})
    ->Args({35})
    ->Args({36})
    ->Args({41})
    ->Args({42})
    ->Args({43})
    ->Args({44})
    ->Args({45})
    ->Args({46})
    ->Args({47})
    ->Args({48})
    ->Args({53})
    ->Args({54})
    ->Args({55})
    ->Args({56})
    ->Args({65})
    ->Args({66})
    ->Args({71})
    ->Args({72})
    ->Args({73})
    ->Args({74})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
