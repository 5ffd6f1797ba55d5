// Rendering the demo show as a user would: the player run as its own process.
//   frames_1080p: PNG frames at 1920 x 1080, 25 fps
//     x_real_time          show seconds per wall second (goal >= 10 on 2 cores)
//     vs_encode_every_frame  the time that encoding every frame one after another at the old
//                          compression level would take (measured here on a frame of the same
//                          render) divided by the whole render's time
//   video_720p: H.264 .mp4 at 1280 x 720, 25 fps
//     x_real_time, file_MB

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gfx/png_writer.h"
#include "support/player_process.h"
#include "support/png_frame.h"

namespace fs = std::filesystem;

namespace {

using Steady = std::chrono::steady_clock;

struct Workspace {
  Workspace() {
    std::string tmpl = (fs::temp_directory_path() / "sp-bench-render-XXXXXX").string();
    dir = mkdtemp(tmpl.data());
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "tmp");
    archive = (dir / "demo.arc").string();
    Run({SP_SCENEPACK, std::string(SP_SOURCE_DIR) + "/demo/show.json", "-o", archive,
         "--archive-only"});
  }
  ~Workspace() { fs::remove_all(dir); }
  bool Run(const std::vector<std::string>& args) {
    pid_t pid = testsupport::SpawnInHome(args, dir.string(), (dir / "stderr.txt").string());
    int st = 0;
    if (pid <= 0 || waitpid(pid, &st, 0) != pid) return false;
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
  }
  fs::path dir;
  std::string archive;
};

double FramesOf(const fs::path& dir) {
  return static_cast<double>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

void BM_FramesExport1080p(benchmark::State& state) {
  Workspace ws;
  double wall = 0, frames = 0;
  fs::path last;
  for (auto _ : state) {
    fs::remove_all(ws.dir / "frames");
    const auto t0 = Steady::now();
    if (!ws.Run({SP_PLAYER, "--headless", "--size", "1920x1080", "--fps", "25", "--quiet",
                 "--archive", ws.archive, "--frames", (ws.dir / "frames").string(), "/s"})) {
      state.SkipWithError("the render failed");
      return;
    }
    wall = std::chrono::duration<double>(Steady::now() - t0).count();
    frames = FramesOf(ws.dir / "frames");
  }
  // Baseline: one frame from the middle of the show encoded as every frame once was.
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06d.png", static_cast<int>(frames / 2));
  auto png = testsupport::ReadPngFrame((ws.dir / "frames" / name).string());
  gfx::Surface surface(png.width, png.height);
  for (int y = 0; y < png.height; ++y) {
    for (int x = 0; x < png.width; ++x) surface.At(x, y) = png.At(x, y);
  }
  std::vector<uint8_t> bytes;
  const auto t0 = Steady::now();
  constexpr int kTimes = 5;
  for (int i = 0; i < kTimes; ++i) gfx::EncodePng(surface, 3, &bytes);
  const double one = std::chrono::duration<double>(Steady::now() - t0).count() / kTimes;
  state.counters["frames"] = frames;
  state.counters["x_real_time"] = frames / 25.0 / wall;
  state.counters["vs_encode_every_frame"] = one * frames / wall;
}
BENCHMARK(BM_FramesExport1080p)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_VideoExport720p(benchmark::State& state) {
  Workspace ws;
  double wall = 0;
  const fs::path out = ws.dir / "demo.mp4";
  for (auto _ : state) {
    fs::remove(out);
    const auto t0 = Steady::now();
    if (!ws.Run({SP_PLAYER, "--headless", "--size", "1280x720", "--fps", "25", "--archive",
                 ws.archive, "--render", out.string(), "/s"})) {
      state.SkipWithError("the render failed");
      return;
    }
    wall = std::chrono::duration<double>(Steady::now() - t0).count();
  }
  std::ifstream err(ws.dir / "stderr.txt");
  std::stringstream text;
  text << err.rdbuf();
  std::smatch m;
  const std::string summary = text.str();
  if (!std::regex_search(summary, m, std::regex("wrote ([0-9]+) frames"))) {
    state.SkipWithError("no summary");
    return;
  }
  state.counters["frames"] = std::stod(m[1]);
  state.counters["x_real_time"] = std::stod(m[1]) / 25.0 / wall;
  state.counters["file_MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_VideoExport720p)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
