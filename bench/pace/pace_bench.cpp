// Accuracy and CPU cost of the pacing wait against sleep_for, and the CPU time a real-time
// show of pauses and colour changes takes.
#include <benchmark/benchmark.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/saver_window.h"
#include "app/scene_thread.h"
#include "scene/scene_list.h"
#include "support/quiet_host.h"

namespace {

using Clock = std::chrono::steady_clock;

using NullHost = testsupport::QuietHost;

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct Stats {
  double meanErrorUs = 0, p99ErrorUs = 0, cpuShare = 0;
};

template <class Wait>
Stats Measure(int waits, std::chrono::nanoseconds target, Wait wait) {
  std::vector<double> errors;
  errors.reserve(waits);
  double cpu0 = ThreadCpuSeconds();
  auto wall0 = Clock::now();
  for (int i = 0; i < waits; ++i) {
    auto t0 = Clock::now();
    wait();
    auto took = Clock::now() - t0;
    errors.push_back(std::abs(std::chrono::duration<double, std::micro>(took - target).count()));
  }
  double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  double cpu = ThreadCpuSeconds() - cpu0;
  std::sort(errors.begin(), errors.end());
  Stats s;
  for (double e : errors) s.meanErrorUs += e;
  s.meanErrorUs /= errors.size();
  s.p99ErrorUs = errors[errors.size() * 99 / 100];
  s.cpuShare = cpu / wall;
  return s;
}

// Pace(speed, 1000) waits (1000 - speed) x 10 us: 100 us, 1 ms and 10 ms below.
void BM_PaceVsSleepFor(benchmark::State& state) {
  const uint32_t units = static_cast<uint32_t>(state.range(0));
  const int waits = units >= 1000 ? 200 : 1000;
  NullHost host;
  app::SaverWindow window(host);
  gfx::Surface surface(8, 8);
  app::PlainScreen screen(surface);
  scene::SceneList list;
  sys::RealClock clock;
  app::SceneThread thread(list, window, screen, clock, nullptr);
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);  // as the scene thread runs
  const auto target = std::chrono::nanoseconds(units * 10'000LL);
  Stats pace, sleep;
  for (auto _ : state) {
    pace = Measure(waits, target, [&] {
      // Scale 100000 keeps 100 us, 1 ms and 10 ms within one call.
      thread.Pace(static_cast<uint32_t>(100000 - units), 100000.0);
    });
    sleep = Measure(waits, target, [&] { std::this_thread::sleep_for(target); });
  }
  state.counters["pace_mean_err_us"] = pace.meanErrorUs;
  state.counters["pace_p99_err_us"] = pace.p99ErrorUs;
  state.counters["pace_cpu_share"] = pace.cpuShare;
  state.counters["sleep_mean_err_us"] = sleep.meanErrorUs;
  state.counters["sleep_p99_err_us"] = sleep.p99ErrorUs;
  state.counters["sleep_cpu_share"] = sleep.cpuShare;
  state.counters["p99_ratio_pace_to_sleep"] = pace.p99ErrorUs / std::max(sleep.p99ErrorUs, 1e-9);
}
BENCHMARK(BM_PaceVsSleepFor)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

#if defined(SP_PLAYER) && defined(SP_SCENEPACK)
// A real-time show of pauses and colour changes, headless, for SP_SHOW_SECONDS (30 by
// default): the player's CPU time as a share of one core, against an idle `sleep` of the
// same length in the same run.
double ChildCpuShare(const std::vector<std::string>& args, double seconds) {
  auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    freopen("/dev/null", "w", stderr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  (void)seconds;
  double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
               usage.ru_stime.tv_usec * 1e-6;
  return cpu / wall;
}

void BM_RealTimeShowCpu(benchmark::State& state) {
  namespace fs = std::filesystem;
  const double seconds =
      std::getenv("SP_SHOW_SECONDS") ? std::atof(std::getenv("SP_SHOW_SECONDS")) : 30;
  fs::path dir = fs::temp_directory_path() / ("sp-bench-pace-" + std::to_string(getpid()));
  fs::create_directories(dir / "config");
  std::ofstream(dir / "show.json") << R"({"items": [
    {"class": "LoopStartItem"},
    {"class": "BackgroundItem", "color": {"color": "#203040"}},
    {"class": "PauseItem", "pauseMs": 250},
    {"class": "BackgroundItem", "color": {"randomColor": 1}},
    {"class": "PauseItem", "pauseMs": 750},
    {"class": "LoopEndItem", "endless": 1}]})";
  std::string arc = (dir / "show.arc").string();
  std::system((std::string(SP_SCENEPACK) + " " + (dir / "show.json").string() + " -o " + arc +
               " --archive-only")
                  .c_str());
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  double player = 0, idle = 0;
  const std::string secs = std::to_string(seconds);
  for (auto _ : state) {
    // A first run stores the calibration, so the measured run is the show alone.
    ChildCpuShare({SP_PLAYER, "--headless", "--seconds", "0.1", "--archive", arc, "/s"}, 0.1);
    player = ChildCpuShare({SP_PLAYER, "--headless", "--seconds", secs, "--archive", arc, "/s"},
                           seconds);
    idle = ChildCpuShare({"/bin/sleep", secs}, seconds);
  }
  state.counters["show_seconds"] = seconds;
  state.counters["player_cpu_percent_of_core"] = player * 100;
  state.counters["sleep_cpu_percent_of_core"] = idle * 100;
  fs::remove_all(dir);
}
BENCHMARK(BM_RealTimeShowCpu)->Iterations(1)->Unit(benchmark::kSecond);
#endif

}  // namespace

BENCHMARK_MAIN();
