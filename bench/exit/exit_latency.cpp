// How fast the player leaves: a key is sent through XTEST while a push runs full screen, and
// the time until its window is unmapped and until the process has ended is measured, on a
// private Xvfb of 1920x1080 and of 3840x2160. The baseline is the same exit during a pause,
// where nothing is drawn; the counters give the push's times as ratios of it.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/tiny_bmp.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

pid_t Spawn(const std::vector<std::string>& args, bool quiet) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (quiet) {
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

// Starts Xvfb with a screen of `size`; returns its display name.
std::string StartServer(const std::string& size, pid_t* pid) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  std::string fd = std::to_string(fds[1]);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  std::string screen = size + "x24";
  const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                        screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
  if (posix_spawnp(pid, "Xvfb", &fa, nullptr, const_cast<char**>(argv), environ) != 0) *pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  std::string number;
  char c;
  while (*pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  return number.empty() ? "" : ":" + number;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

std::set<Window> Children(Display* x) {
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  std::set<Window> out;
  if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &kids, &n)) {
    out.insert(kids, kids + n);
    XFree(kids);
  }
  return out;
}

bool Viewable(Display* x, Window w) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(x, w, &a)) return false;
  return a.map_state == IsViewable;
}

struct Sample {
  double unmapMs = -1, exitMs = -1;
};

// One run: start the player full screen, wait for its window, wait `after` ms, press a key.
Sample RunOnce(Display* x, const std::string& saver, int afterMs) {
  Sample s;
  const std::set<Window> before = Children(x);
  pid_t pid = Spawn({saver, "/s"}, true);
  if (pid <= 0) return s;
  Window ours = 0;
  for (int i = 0; i < 6000 && !ours; ++i) {
    for (Window w : Children(x)) {
      if (!before.count(w) && Viewable(x, w)) ours = w;
    }
    if (!ours) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!ours) {
    std::fprintf(stderr, "no window appeared\n");
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return s;
  }
  // The toolkit may replace its first window while it sets up: take the one shown now.
  std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
  for (Window w : Children(x)) {
    if (!before.count(w) && Viewable(x, w)) ours = w;
  }
  XSetInputFocus(x, ours, RevertToPointerRoot, CurrentTime);
  const KeyCode key = XKeysymToKeycode(x, XStringToKeysym("space"));
  const Clock::time_point t0 = Clock::now();
  XTestFakeKeyEvent(x, key, True, CurrentTime);
  XTestFakeKeyEvent(x, key, False, CurrentTime);
  XFlush(x);
  bool exited = false;
  int status = 0;
  while (Ms(Clock::now() - t0) < 60000) {
    if (s.unmapMs < 0 && !Viewable(x, ours)) s.unmapMs = Ms(Clock::now() - t0);
    if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      s.exitMs = Ms(Clock::now() - t0);
      if (s.unmapMs < 0) s.unmapMs = s.exitMs;
    }
    if (exited && s.unmapMs >= 0) break;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (!exited) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return s;
}

// Saver files in a private folder: pushes back and forth, and a long pause.
struct Shows {
  std::filesystem::path dir;
  std::string push, pause;
  Shows() {
    char tmpl[] = "/tmp/sp-exit-bench-XXXXXX";
    dir = mkdtemp(tmpl);
    // 64x48, scaled by the show to the whole screen.
    testsupport::WriteTinyBmp((dir / "a.bmp").string(), 64, 48, [](int x, int y) {
      return uint32_t(255 - x * 4) << 16 | uint32_t(y * 5) << 8 | uint32_t(x * 4);
    });
    std::ofstream(dir / "push.json") << R"({"version": 4.31, "items": [
      {"class": "PictureItem", "name": "a", "file": "a.bmp", "fitScreen": 1},
      {"class": "LoopStartItem"},
      {"class": "ShowPictureItem", "picture": "a", "path": {"effect": 43, "effectSpeed": 300}},
      {"class": "ShowPictureItem", "picture": "a", "path": {"effect": 44, "effectSpeed": 300}},
      {"class": "LoopEndItem", "endless": 1}]})";
    std::ofstream(dir / "pause.json") << R"({"version": 4.31, "items": [
      {"class": "PauseItem", "pauseMs": 600000}]})";
    push = Pack("push");
    pause = Pack("pause");
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  }
  ~Shows() { std::filesystem::remove_all(dir); }
  std::string Pack(const std::string& name) {
    const std::string out = (dir / (name + ".scr")).string();
    pid_t pid = Spawn({SP_SCENEPACK, (dir / (name + ".json")).string(), "-o", out}, false);
    int st = 0;
    waitpid(pid, &st, 0);
    return out;
  }
};

Shows& TheShows() {
  static Shows shows;
  return shows;
}

struct Server {
  pid_t pid = -1;
  std::string display;
  Display* x = nullptr;
  ~Server() {
    if (x) XCloseDisplay(x);
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};
Server& ServerOfSize(const std::string& size) {
  static std::map<std::string, Server> servers;
  Server& s = servers[size];
  if (s.display.empty()) {
    s.display = StartServer(size, &s.pid);
    if (!s.display.empty()) {
      s.x = XOpenDisplay(s.display.c_str());
      XSetErrorHandler(IgnoreErrors);
    }
  }
  return s;
}

void Measure(benchmark::State& state, bool push) {
  const std::string size = state.range(0) == 1080 ? "1920x1080" : "3840x2160";
  Server& server = ServerOfSize(size);
  if (!server.x) {
    state.SkipWithError("cannot start Xvfb");
    return;
  }
  setenv("DISPLAY", server.display.c_str(), 1);
  const std::string& saver = push ? TheShows().push : TheShows().pause;
  std::vector<double> unmap, exit;
  for (auto _ : state) {
    // Well into the show: the picture is prepared and a push is under way.
    const Sample s = RunOnce(server.x, saver, 1500);
    if (s.unmapMs < 0 || s.exitMs < 0) {
      state.SkipWithError("the player did not end within a minute");
      return;
    }
    if (std::getenv("SP_BENCH_VERBOSE"))
      std::fprintf(stderr, "window gone %.1f ms, ended %.1f ms\n", s.unmapMs, s.exitMs);
    unmap.push_back(s.unmapMs);
    exit.push_back(s.exitMs);
    state.SetIterationTime(s.exitMs / 1000.0);
  }
  auto worst = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  state.counters["window_gone_ms_max"] = worst(unmap);
  state.counters["window_gone_ms_median"] = median(unmap);
  state.counters["ended_ms_max"] = worst(exit);
  state.counters["ended_ms_median"] = median(exit);
  static std::map<int64_t, double> pauseExit;
  if (!push) pauseExit[state.range(0)] = worst(exit);
  if (push && pauseExit.count(state.range(0))) {
    state.counters["ended_vs_pause"] = worst(exit) / pauseExit[state.range(0)];
  }
}

void BM_ExitDuringPause(benchmark::State& state) { Measure(state, false); }
void BM_ExitDuringPush(benchmark::State& state) { Measure(state, true); }

BENCHMARK(BM_ExitDuringPause)
    ->Arg(1080)
    ->Arg(2160)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExitDuringPush)
    ->Arg(1080)
    ->Arg(2160)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
