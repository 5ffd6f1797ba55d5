// Showing a big photo: a 4000 x 3000 JPEG shown with fitScreen on a 1920 x 1080 screen,
// timed from the start of `show` to its first copy onto the screen, against the plain
// decode of the same JPEG measured in the same loop.
//   first_copy_ratio = time to first copy / decode time   (lower is better)
// The first copy is stamped at the first pacing wait, which follows it directly (WipeDown
// copies one row, then waits); a placement (effect 0) draws in one copy, so its whole
// `show` is timed.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "scene/items.h"
#include "scene/play_host.h"
#include "scene/scene_list.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kWidth = 4000, kHeight = 3000;

class BenchHost final : public scene::PlayHost {
 public:
  BenchHost() : surface(1920, 1080), canvas(surface) {}
  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  void Paced(const transitions::PaceStep&) override {
    if (!firstPace) firstPace = Steady::now();
  }
  void PauseCheck() override {}
  gfx::Canvas& Screen() override { return canvas; }
  void Repaint(gfx::COLORREF, uint32_t) override {}
  gfx::COLORREF BackgroundColor() const override { return 0; }
  bool Muted() const override { return true; }
  void SetActiveLink(const std::string&, int32_t) override {}
  void ClearActiveLink() override {}
  int32_t ProfileInt(const std::string&, const std::string&, int32_t d) override { return d; }
  std::string DesktopPath() const override { return {}; }
  std::string WallpaperPath() const override { return {}; }

  sys::RealClock clock;
  sys::Event stop;
  gfx::Surface surface;
  gfx::Canvas canvas;
  std::optional<Steady::time_point> firstPace;
};

// A photo-like JPEG: smooth gradients with some texture.
const std::string& JpegFile() {
  static const std::string path = [] {
    std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t s = 12345;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        s = s * 1664525u + 1013904223u;
        uint8_t* d = &p[(static_cast<size_t>(y) * kWidth + x) * 3];
        d[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.003 + y * 0.001));
        d[1] = static_cast<uint8_t>(128 + 100 * std::cos(y * 0.004));
        d[2] = static_cast<uint8_t>(((x ^ y) & 0x3F) + (s >> 29));
      }
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("sp-picture-bench-" + std::to_string(getpid()) + ".jpg"))
                                 .string();
    auto out = imaging::OpenTarget(file);
    imaging::WriteJpeg(out, p, kWidth, kHeight, 85, false);
    imaging::CloseTarget(out);
    return file;
  }();
  static const struct Remove {
    ~Remove() { std::filesystem::remove(path); }
  } remove;
  return path;
}

double DecodeSeconds() {
  const auto t0 = Steady::now();
  auto in = imaging::OpenSource(JpegFile());
  imaging::DetectFormat(in);
  imaging::SeekSource(in, 0, 0);
  int w = 0, h = 0;
  imaging::PixelBuffer px = imaging::ReadJpeg(in, &w, &h, 24);
  imaging::CloseSource(in);
  benchmark::DoNotOptimize(px.data());
  return std::chrono::duration<double>(Steady::now() - t0).count();
}

// The part of `show` that scales: read back, resize, make a bitmap again.
double RescaleSeconds(const gfx::Surface& bitmap, int w, int h) {
  const auto t0 = Steady::now();
  int sw = 0, sh = 0;
  imaging::PixelBuffer px = imaging::BitmapToPixels(&bitmap, &sw, &sh);
  imaging::PixelBuffer out = imaging::PixelBuffer::Allocate(imaging::BufferSize(w, h, 3));
  imaging::ResizePixels(px.span(), sw, sh, out.span(), w, h, 3);
  auto scaled = imaging::PixelsToBitmap(out.span(), w, h);
  benchmark::DoNotOptimize(scaled.get());
  return std::chrono::duration<double>(Steady::now() - t0).count();
}

void ShowBigJpeg(benchmark::State& state) {
  const int32_t effect = static_cast<int32_t>(state.range(0));
  imaging::InitDecoder();
  scene::SceneList list;
  scene::PictureItem picture;
  {
    std::ifstream in(JpegFile(), std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    picture.data =
        scene::DataBlock::Of(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    picture.dataSize = static_cast<int32_t>(bytes.size());
  }
  if (!picture.prepare(list)) {
    state.SkipWithError("the JPEG did not load");
    return;
  }
  picture.fitScreen = 1;
  picture.currentPath.effect = effect;
  picture.currentPath.effectSpeed = 100;  // speed 1000: waits of zero length
  BenchHost host;

  double decode = 0, first = 0, total = 0, scaling = 0;
  for (auto _ : state) {
    decode += DecodeSeconds();
    scaling += RescaleSeconds(*picture.bitmap, 1920, 1080);
    host.firstPace.reset();
    const auto t0 = Steady::now();
    picture.show(host.canvas, host, nullptr);
    const auto t1 = Steady::now();
    first += std::chrono::duration<double>(host.firstPace.value_or(t1) - t0).count();
    total += std::chrono::duration<double>(t1 - t0).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["decode_ms"] = decode / n * 1e3;
  state.counters["first_copy_ms"] = first / n * 1e3;
  state.counters["show_ms"] = total / n * 1e3;
  state.counters["first_copy_ratio"] = first / decode;
  state.counters["of_which_rescale_ms"] = scaling / n * 1e3;
}
BENCHMARK(ShowBigJpeg)->Arg(0)->Arg(37)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
