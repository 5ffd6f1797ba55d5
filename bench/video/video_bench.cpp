// Video clips.
//   play_640x480: a 640x480 clip of 2 s played in real time by the one-shot player onto a
//     1024x768 screen
//     cpu_vs_flat_out   CPU time of the real-time play divided by the CPU time of decoding
//                       and converting the same pictures flat out (goal <= 1.3), each the
//                       second of its kind in the process: what playing adds to the decode
//     first_...         the same for the first of each, which also pays for the fresh
//                       pages of the decoder's pictures (first_*_faults)
//     virtual_play_ms   the same play on a virtual clock: decoding, converting and drawing
//                       without the pauses between pictures (what the drawing adds)
//     *_faults          page faults of each (a fresh page costs microseconds here)
//   render_1280x720: a show of one 3 s 1280x720 clip rendered to PNG frames by the player
//     x_real_time       show seconds per wall second (goal >= 5)
//     x_real_time_cpu   show seconds per second of the player's CPU time (user + system),
//                       which a machine busy with other work does not change
//     x_real_time_few_frames, x_real_time_cpu_few_frames: the same show at 1 frame a second,
//                       so that the clip's decoding and drawing is measured without the PNG
//                       writing of every frame
//   clip_sound_stop: a repeating clip with sound played in real time by the one-shot player
//     on the device without output; the saver's close comes after 0.2 to 0.4 s
//     stop_mean_ms, stop_worst_ms  from the close to the play's return, the clip's thread
//                       ended and its sound off the mixer (goal < 50)
//     silent_after_stop  1 when no voice held sound once the play had returned, every time

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "media/mci_player_window.h"
#include "platform/audio/audio_device.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/video/clip_decoder.h"
#include "support/clip_maker.h"
#include "support/player_process.h"

namespace fs = std::filesystem;

namespace {

using Steady = std::chrono::steady_clock;

long ThreadFaults() {
  rusage ru{};
  getrusage(RUSAGE_THREAD, &ru);
  return ru.ru_minflt;
}

double ThreadCpu() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Moving shapes and a gradient: pictures that cost the decoder what a real clip would.
void Paint(int i, uint32_t* pixels, size_t stride, int w, int h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int cx = x - (w / 2 + static_cast<int>(w / 3 * std::sin(i * 0.1)));
      const int cy = y - h / 2;
      const bool ball = cx * cx + cy * cy < (h / 5) * (h / 5);
      const auto r = static_cast<uint32_t>((x + i * 3) & 0xFF);
      const auto g = static_cast<uint32_t>((y * 2 + i) & 0xFF);
      const auto b = static_cast<uint32_t>(((x ^ y) + i * 5) & 0xFF);
      pixels[static_cast<size_t>(y) * stride + x] = ball ? 0xF0C040 : (r << 16 | g << 8 | b);
    }
  }
}

// With soundRate, a 440 Hz tone all through.
bool MakeClip(const std::string& path, int w, int h, int frames, int soundRate = 0) {
  std::string error;
  return video::WriteClip(
      path, {w, h, 25, frames, 4, soundRate},
      [&](int i, uint32_t* p, size_t stride) { Paint(i, p, stride, w, h); }, &error,
      [&](int64_t first, int16_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i) {
          const double t = static_cast<double>(first + static_cast<int64_t>(i)) / soundRate;
          out[2 * i] = out[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
        }
      });
}

struct Screen : media::ClipScreen {
  audio::AudioDevice* sound = nullptr;
  audio::AudioDevice* ClipSound() override { return sound; }
  gfx::Surface surface{1024, 768};
  gfx::Canvas canvas{surface};
  void DrawClip(int x, int y, const media::ClipPicture& p) override {
    media::DrawClipPicture(canvas, x, y, p);
  }
  void EraseClip(int, int, int, int) override {}
  void ShowCursor(bool) override {}
  void SetBlankCursor() override {}
};

void BM_Play640x480(benchmark::State& state) {
  testsupport::ScratchDir dir;
  const std::string clip = dir.File("clip.avi");
  if (!MakeClip(clip, 640, 480, 50)) {
    state.SkipWithError("no clip");
    return;
  }
  struct Cost {
    double ms = 0;
    long faults = 0;
  };
  // Every picture decoded and converted into a bitmap, one after another.
  auto flatOut = [&] {
    const long f0 = ThreadFaults();
    const double t0 = ThreadCpu();
    video::ClipError error{};
    auto d = video::ClipDecoder::Open(clip, &error);
    std::vector<uint32_t> pixels(640 * 480);
    std::chrono::nanoseconds t{};
    int n = 0;
    while (d && d->NextFrame(pixels.data(), 640, &t)) ++n;
    state.counters["pictures"] = n;
    return Cost{(ThreadCpu() - t0) * 1e3, ThreadFaults() - f0};
  };
  // The one-shot player, drawing at (192, 144).
  int plays = 0;
  auto play = [&](sys::Clock& clock) {
    const std::string copy = dir.File("Ssd000" + std::to_string(++plays) + ".avi");
    fs::copy_file(clip, copy, fs::copy_options::overwrite_existing);
    Screen screen;
    const long f0 = ThreadFaults();
    const double t0 = ThreadCpu();
    media::MciPlayerWindow player(screen, clock);
    player.Run(-1, 192, 144, copy);
    player.Finish();
    return Cost{(ThreadCpu() - t0) * 1e3, ThreadFaults() - f0};
  };
  for (auto _ : state) {
    sys::RealClock real;
    const Cost firstFlat = flatOut(), firstPlay = play(real);
    const Cost flat = flatOut(), played = play(real);
    sys::VirtualClock virt;
    const Cost virtualPlay = play(virt);
    state.counters["first_flat_out_ms"] = firstFlat.ms;
    state.counters["first_play_cpu_ms"] = firstPlay.ms;
    state.counters["first_cpu_vs_flat_out"] = firstPlay.ms / firstFlat.ms;
    state.counters["first_flat_faults"] = static_cast<double>(firstFlat.faults);
    state.counters["first_play_faults"] = static_cast<double>(firstPlay.faults);
    state.counters["flat_out_ms"] = flat.ms;
    state.counters["play_cpu_ms"] = played.ms;
    state.counters["cpu_vs_flat_out"] = played.ms / flat.ms;
    state.counters["flat_faults"] = static_cast<double>(flat.faults);
    state.counters["play_faults"] = static_cast<double>(played.faults);
    state.counters["virtual_play_ms"] = virtualPlay.ms;
    state.counters["virtual_faults"] = static_cast<double>(virtualPlay.faults);
  }
}
BENCHMARK(BM_Play640x480)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_Render1280x720(benchmark::State& state) {
  std::string tmpl = (fs::temp_directory_path() / "sp-bench-video-XXXXXX").string();
  const fs::path dir = mkdtemp(tmpl.data());
  fs::create_directories(dir / "config");
  fs::create_directories(dir / "tmp");
  if (!MakeClip((dir / "clip.avi").string(), 1280, 720, 75)) {
    state.SkipWithError("no clip");
    fs::remove_all(dir);
    return;
  }
  std::ofstream(dir / "show.json") << R"({"version": 4.31, "items": [
    {"class": "MediaItem", "name": "clip", "file": "clip.avi", "mediaType": 1},
    {"class": "PlayMediaItem", "media": "clip", "waitUntilDone": 1, "repeatCount": 1}]})";
  double cpu = 0;
  auto run = [&](const std::vector<std::string>& args) {
    pid_t pid = testsupport::SpawnInHome(args, dir.string(), (dir / "stderr.txt").string());
    int st = 0;
    rusage ru{};
    if (pid <= 0 || wait4(pid, &st, 0, &ru) != pid) return false;
    cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
  };
  const std::string archive = (dir / "show.arc").string();
  if (!run({SP_SCENEPACK, (dir / "show.json").string(), "-o", archive, "--archive-only"})) {
    state.SkipWithError("no show");
    fs::remove_all(dir);
    return;
  }
  for (auto _ : state) {
    for (const char* fps : {"25", "1"}) {
      fs::remove_all(dir / "frames");
      const auto t0 = Steady::now();
      if (!run({SP_PLAYER, "--headless", "--size", "1280x720", "--fps", fps, "--quiet", "--archive",
                archive, "--frames", (dir / "frames").string(), "/s"})) {
        state.SkipWithError("the render failed");
        break;
      }
      const double wall = std::chrono::duration<double>(Steady::now() - t0).count();
      const double frames = static_cast<double>(
          std::distance(fs::directory_iterator(dir / "frames"), fs::directory_iterator()));
      const std::string suffix = std::string(fps) == "25" ? "" : "_few_frames";
      state.counters["frames" + suffix] = frames;
      state.counters["x_real_time" + suffix] = 3.0 / wall;
      state.counters["x_real_time_cpu" + suffix] = 3.0 / cpu;
    }
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_Render1280x720)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_ClipSoundStop(benchmark::State& state) {
  testsupport::ScratchDir dir;
  const std::string clip = dir.File("clip.avi");
  if (!MakeClip(clip, 320, 240, 25, 22050)) {
    state.SkipWithError("no clip");
    return;
  }
  sys::RealClock real;
  auto device = audio::OpenNullAudioDevice(real, nullptr);
  double worst = 0, total = 0;
  int n = 0;
  bool silent = true;
  for (auto _ : state) {
    const std::string copy = dir.File("Ssd" + std::to_string(n) + ".avi");
    std::filesystem::copy_file(clip, copy, std::filesystem::copy_options::overwrite_existing);
    Screen screen;
    screen.sound = device.get();
    media::MciPlayerWindow player(screen, real);
    std::chrono::steady_clock::time_point returned;
    std::thread scene([&] {
      player.Run(0, 0, 0, copy);  // repeats until closed
      returned = std::chrono::steady_clock::now();
      silent = silent && !device->Voices().Active();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200 + 20 * (n % 10)));
    const auto t0 = std::chrono::steady_clock::now();
    player.PostClose();
    scene.join();
    const double ms = std::chrono::duration<double, std::milli>(returned - t0).count();
    worst = std::max(worst, ms);
    total += ms;
    ++n;
    player.Finish();
  }
  state.counters["stop_mean_ms"] = total / n;
  state.counters["stop_worst_ms"] = worst;
  state.counters["silent_after_stop"] = silent ? 1 : 0;
  state.counters["target_ms"] = 50;
}
BENCHMARK(BM_ClipSoundStop)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
