// Blits over a 1920 x 1080 screen, each reported as a ratio against memcpy of the same
// bytes measured in the same run (counter "x_memcpy": 1.0 = as fast as memcpy).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>

#include "platform/gfx/canvas.h"

namespace {

constexpr int kW = 1920, kH = 1080;

gfx::Surface RandomSurface() {
  gfx::Surface s(kW, kH);
  std::mt19937 rng(7);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) s.At(x, y) = rng() & 0xFFFFFF;
  return s;
}

// Seconds per memcpy of one screen, measured once per run.
double MemcpySeconds() {
  static const double seconds = [] {
    gfx::Surface a = RandomSurface(), b(kW, kH);
    const size_t bytes = static_cast<size_t>(kW) * kH * sizeof(gfx::Pixel);
    for (int i = 0; i < 5; ++i) std::memcpy(b.Data(), a.Data(), bytes);  // warm up
    constexpr int kReps = 50;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kReps; ++i) {
      std::memcpy(b.Data(), a.Data(), bytes);
      benchmark::ClobberMemory();
    }
    auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count() / kReps;
  }();
  return seconds;
}

template <typename Draw>
void Run(benchmark::State& state, Draw draw) {
  const double base = MemcpySeconds();
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  auto t1 = std::chrono::steady_clock::now();
  double per = std::chrono::duration<double>(t1 - t0).count() / static_cast<double>(state.iterations());
  state.counters["x_memcpy"] = per / base;
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * 4);
}

void BM_Memcpy(benchmark::State& state) {
  gfx::Surface a = RandomSurface(), b(kW, kH);
  Run(state, [&] { std::memcpy(b.Data(), a.Data(), static_cast<size_t>(kW) * kH * 4); });
}

void BM_BitBlt(benchmark::State& state, uint32_t rop) {
  gfx::Surface src = RandomSurface(), dst = RandomSurface();
  gfx::Canvas c(dst);
  Run(state, [&] { c.BitBlt(0, 0, kW, kH, src, 0, 0, rop, gfx::RGB(0x55, 0xAA, 0x33)); });
}

void BM_FillRect(benchmark::State& state) {
  gfx::Surface dst(kW, kH);
  gfx::Canvas c(dst);
  Run(state, [&] { c.FillRect(gfx::Rect{0, 0, kW, kH}, gfx::RGB(1, 2, 3)); });
}

void BM_StretchBlt(benchmark::State& state) {
  gfx::Surface src(1024, 768), dst(kW, kH);
  gfx::Canvas c(dst);
  Run(state, [&] { c.StretchBlt(0, 0, kW, kH, src, 0, 0, 1024, 768, gfx::SRCCOPY); });
}

void BM_DrawTransparent(benchmark::State& state) {
  gfx::Surface src = RandomSurface(), dst(kW, kH);
  gfx::Canvas c(dst);
  Run(state, [&] { c.DrawTransparent(0, 0, kW, kH, src, 0, 0, gfx::RGB(0, 0, 0)); });
}

BENCHMARK(BM_Memcpy);
BENCHMARK_CAPTURE(BM_BitBlt, SRCCOPY, gfx::SRCCOPY);
BENCHMARK_CAPTURE(BM_BitBlt, SRCINVERT, gfx::SRCINVERT);
BENCHMARK_CAPTURE(BM_BitBlt, MERGEPAINT_ternary, gfx::MERGEPAINT);
BENCHMARK_CAPTURE(BM_BitBlt, rop_0xB8_ternary, 0x00B8074Au);
BENCHMARK(BM_FillRect);
BENCHMARK(BM_StretchBlt);
BENCHMARK(BM_DrawTransparent);

}  // namespace

BENCHMARK_MAIN();
