// Startup cost of the desktop snapshot and the wallpaper picture on a 1920 x 1080 screen,
// against the least any snapshot costs: the same screen copied and written as one BMP,
// measured in the same loop.
//   startup_ratio = MakeDesktopFiles (both pictures, as the player makes them) / (copy + one
//                   BMP write), wall time
//   cpu_ratio     = the same in the process's processor time (both threads' work)
// Arguments: 0 no wallpaper (plain colour, progressive JPEG), 1 a 256 x 256 BMP tiled,
// 2 a 640 x 480 BMP stretched, 3 a 1920 x 1080 JPEG of noise centred, 4 a 1920 x 1080 JPEG
// of smooth shading centred (as large as a photograph's).

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "desktop/desktop_pictures.h"
#include "imaging/image_decoder.h"
#include "platform/store/registry.h"
#include "platform/ui/display.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;

gfx::Surface Screen() {
  gfx::Surface s(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      s.At(x, y) = gfx::MakePixel(uint8_t(x), uint8_t(y), uint8_t(x ^ y));
  return s;
}

// noise: every byte different from its neighbours, the worst case for JPEG; otherwise
// smooth shading with a little grain, as a photograph's sky and walls are.
void WritePicture(const std::string& path, int w, int h, bool jpeg, bool noise = true) {
  imaging::PixelBuffer pixels = imaging::PixelBuffer::Allocate(size_t(w) * h * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const size_t x = i / 3 % size_t(w), y = i / 3 / size_t(w);
    pixels.data()[i] =
        noise ? uint8_t((i * 7) ^ (i / 4099))
              : uint8_t((x * 255 / w + y * 128 / h + (i % 3) * 40 + (i * 7919 >> 5) % 5));
  }
  auto target = imaging::OpenTarget(path);
  if (jpeg) {
    imaging::WriteJpeg(target, pixels.span(), w, h, 90, false);
  } else {
    imaging::WriteBmp(target, pixels.span(), w, h, 24);
  }
  imaging::CloseTarget(target);
}

double Seconds(Steady::time_point t0) {
  return std::chrono::duration<double>(Steady::now() - t0).count();
}

// The process's processor time: on a shared machine the wall time mostly says how busy the
// others are.
double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void DesktopFilesAtStartup(benchmark::State& state) {
  imaging::InitDecoder();
  ui::SetScreenSize({kWidth, kHeight});
  std::string tmpl = (std::filesystem::temp_directory_path() / "sp_bench_desk_XXXXXX").string();
  const std::string dir = mkdtemp(tmpl.data());
  const gfx::Surface screen = Screen();

  auto store = store::Store::InMemory();
  auto key = store::RegistryKey::Create(*store, store::Root::CurrentUser, "Control Panel\\Desktop");
  const std::string wallpaper = dir + "/wall";
  switch (state.range(0)) {
    case 1:
      WritePicture(wallpaper, 256, 256, false);
      key->WriteString("TileWallpaper", "1");
      break;
    case 2:
      WritePicture(wallpaper, 640, 480, false);
      key->WriteString("WallpaperStyle", "2");
      break;
    case 3:
      WritePicture(wallpaper, kWidth, kHeight, true);
      break;
    case 4:
      WritePicture(wallpaper, kWidth, kHeight, true, /*noise=*/false);
      break;
    default:
      break;
  }
  if (state.range(0) != 0) {
    key->WriteString("Wallpaper", wallpaper);
    if (state.range(0) != 2) key->WriteString("WallpaperStyle", "0");
  }
  desktop::DesktopSources sources;
  sources.store = store.get();
  sources.useDesktopSettings = false;
  sources.grabScreen = [&screen] { return std::optional<gfx::Surface>(screen); };

  double files = 0, baseline = 0, filesCpu = 0, baselineCpu = 0;
  for (auto _ : state) {
    auto t0 = Steady::now();
    double c0 = CpuSeconds();
    {
      gfx::Surface copy = screen;
      auto pixels = imaging::CaptureFromDC(&copy, 0, 0, kWidth, kHeight);
      auto target = imaging::OpenTarget(dir + "/plain.bmp");
      imaging::WriteBmp(target, pixels.span(), kWidth, kHeight, 24);
      imaging::CloseTarget(target);
    }
    baseline += Seconds(t0);
    baselineCpu += CpuSeconds() - c0;
    t0 = Steady::now();
    c0 = CpuSeconds();
    int32_t style = 0;
    desktop::MakeDesktopFiles(dir + "/desktop.bmp", dir + "/wallpaper.bmp", style, sources);
    files += Seconds(t0);
    filesCpu += CpuSeconds() - c0;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["files_ms"] = files / n * 1e3;
  state.counters["baseline_ms"] = baseline / n * 1e3;
  state.counters["startup_ratio"] = files / baseline;
  state.counters["cpu_ratio"] = filesCpu / baselineCpu;
  if (state.range(0) >= 3)
    state.counters["jpeg_kb"] = double(std::filesystem::file_size(wallpaper)) / 1024;
  std::filesystem::remove_all(dir);
}
BENCHMARK(DesktopFilesAtStartup)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
