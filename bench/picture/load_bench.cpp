// Loading a photo show: 24 JPEGs of 4000 x 3000 (generated here, a few distinct pictures
// repeated) fitted to a 1920 x 1080 screen and prepared as the show's load does, against
// the plain decode of the same files one after another divided by the cores, measured in
// the same run.
//   load_ratio = load time / (sum of plain decodes / cores)   (target <= 1.2)
// LoadPhotoShow/keeping_originals loads the same show without knowing the screen, so every
// picture keeps its own 4000 x 3000 bitmap (as loads did before pictures kept only their
// fitted form).

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/image_decoder.h"
#include "platform/sys/temp_file.h"
#include "scene/items.h"
#include "scene/scene_list.h"

namespace {

using Steady = std::chrono::steady_clock;

// CPU time of the whole process: with other work on the machine the load's threads may not
// get every core, and this tells how much work the load itself does.
double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
constexpr int kWidth = 4000, kHeight = 3000, kPictures = 24, kDistinct = 3;

// Photo-like JPEG bytes: smooth gradients with some texture, `seed` varying them.
std::vector<uint8_t> MakeJpeg(uint32_t seed) {
  std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * 3);
  uint32_t s = seed;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      s = s * 1664525u + 1013904223u;
      uint8_t* d = &p[(static_cast<size_t>(y) * kWidth + x) * 3];
      d[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.003 + y * 0.001 + seed));
      d[1] = static_cast<uint8_t>(128 + 100 * std::cos(y * 0.004 + seed));
      d[2] = static_cast<uint8_t>(((x ^ y) & 0x3F) + (s >> 29));
    }
  const std::string file = sys::CreateTempFile("bench");
  auto out = imaging::OpenTarget(file);
  imaging::WriteJpeg(out, p, kWidth, kHeight, 85, false);
  imaging::CloseTarget(out);
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(file.c_str(), "rb");
  if (f) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  sys::RemoveFile(file);
  return bytes;
}

const std::vector<std::vector<uint8_t>>& Jpegs() {
  static const auto jpegs = [] {
    std::vector<std::vector<uint8_t>> v;
    for (uint32_t i = 0; i < kDistinct; ++i) v.push_back(MakeJpeg(1000 + i));
    return v;
  }();
  return jpegs;
}

// The plain decode of one file, as libjpeg does it alone.
double DecodeSeconds(const std::vector<uint8_t>& bytes) {
  const std::string file = sys::CreateTempFile("bench");
  FILE* f = std::fopen(file.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  const auto t0 = Steady::now();
  auto in = imaging::OpenSource(file);
  int w = 0, h = 0;
  imaging::PixelBuffer px = imaging::ReadJpeg(in, &w, &h, 24);
  imaging::CloseSource(in);
  benchmark::DoNotOptimize(px.data());
  const double s = std::chrono::duration<double>(Steady::now() - t0).count();
  sys::RemoveFile(file);
  return s;
}

void LoadPhotoShow(benchmark::State& state, bool screenKnown) {
  imaging::InitDecoder();
  const auto& jpegs = Jpegs();
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  double load = 0, decode = 0, loadCpu = 0, decodeCpu = 0;
  for (auto _ : state) {
    const double c0 = ProcessCpuSeconds();
    for (int i = 0; i < kPictures; ++i) decode += DecodeSeconds(jpegs[i % kDistinct]);
    decodeCpu += ProcessCpuSeconds() - c0;
    scene::SceneList list;
    list.pictureBudgetPixels = int64_t{kWidth} * kHeight * kPictures;
    if (screenKnown) {
      list.screenWidth = 1920;
      list.screenHeight = 1080;
    }
    for (int i = 0; i < kPictures; ++i) {
      auto item = list.Create(scene::kPictureItem);
      auto& picture = static_cast<scene::PictureItem&>(*item);
      const auto& bytes = jpegs[i % kDistinct];
      picture.data = scene::DataBlock::Of(bytes.data(), bytes.size());
      picture.dataSize = static_cast<int32_t>(bytes.size());
      picture.fitScreen = 1;
      list.Append(std::move(item));
    }
    const auto t0 = Steady::now();
    const double c1 = ProcessCpuSeconds();
    const int failed = scene::PrepareItems(list);
    load += std::chrono::duration<double>(Steady::now() - t0).count();
    loadCpu += ProcessCpuSeconds() - c1;
    if (failed >= 0) {
      state.SkipWithError("a picture did not load");
      return;
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["load_ms"] = load / n * 1e3;
  state.counters["decodes_ms"] = decode / n * 1e3;
  state.counters["cores"] = cores;
  state.counters["load_ratio"] = load / (decode / cores);
  state.counters["load_cpu_ms"] = loadCpu / n * 1e3;
  state.counters["decodes_cpu_ms"] = decodeCpu / n * 1e3;
}
BENCHMARK_CAPTURE(LoadPhotoShow, fitted_at_load, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK_CAPTURE(LoadPhotoShow, keeping_originals, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
