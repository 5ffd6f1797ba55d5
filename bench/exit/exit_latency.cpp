// How fast the player leaves: a key is sent through XTEST while the show draws, and the time
// until its window is unmapped and until the process has ended is measured. The baseline is
// the same measurement for a pause (nothing being drawn), so the ratio shows what drawing costs.
//
//   bench_exit_latency SAVER_FILE [--size WxH] [--after MS] [--runs N]
// Runs its own Xvfb at the size given (default 3840x2160).
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
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
#include <set>
#include <string>
#include <thread>
#include <vector>

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
  const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                        "-nolisten", "tcp", nullptr};
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SAVER_FILE [--size WxH] [--after MS] [--runs N]\n", argv[0]);
    return 2;
  }
  std::string saver = argv[1];
  std::string size = "3840x2160";
  int afterMs = 700, runs = 5;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--size")) size = argv[i + 1];
    if (!std::strcmp(argv[i], "--after")) afterMs = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
  }
  pid_t server = -1;
  const std::string display = StartServer(size, &server);
  if (display.empty()) {
    std::fprintf(stderr, "cannot start Xvfb\n");
    return 1;
  }
  setenv("DISPLAY", display.c_str(), 1);
  Display* x = XOpenDisplay(display.c_str());
  XSetErrorHandler(IgnoreErrors);
  std::vector<Sample> samples;
  for (int i = 0; i < runs; ++i) {
    Sample s = RunOnce(x, saver, afterMs);
    std::printf("run %d: window gone %.1f ms, process ended %.1f ms\n", i, s.unmapMs, s.exitMs);
    samples.push_back(s);
  }
  XCloseDisplay(x);
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  return 0;
}
