// The player as a screen-saver host runs it: on a window the host made, ended by SIGTERM;
// and as a user runs it without any display. Each test has its own X server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "support/player_process.h"
#include "support/tiny_bmp.h"
#include "support/x11_host.h"
#include "support/x_server.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kRed = 0xFF0000;

class HostRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sp-host-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A saver file that paints its whole screen red and stays.
  std::string PackRedSaver() {
    std::ofstream(dir_ / "red.json") << R"({"version": 4.31, "items": [
      {"class": "BackgroundItem", "color": {"color": "#FF0000", "useWindowBackground": 0}},
      {"class": "LoopStartItem"},
      {"class": "PauseItem", "pauseMs": 60000},
      {"class": "LoopEndItem", "endless": 1}]})";
    const std::string out = (dir_ / "red.scr").string();
    EXPECT_EQ(RunToEnd({SP_SCENEPACK, (dir_ / "red.json").string(), "-o", out}, {}), 0) << Err();
    return out;
  }

  pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    pid_t pid = testsupport::SpawnInHome(args, dir_.string(), (dir_ / "err.txt").string(), env);
    EXPECT_GT(pid, 0);
    return pid;
  }
  int WaitExit(pid_t pid) {
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }
  int RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    return WaitExit(Start(args, env));
  }
  // SIGTERM, as the host ends its hack; returns the exit status and how long the end took.
  int Terminate(pid_t pid, std::chrono::milliseconds* took) {
    const auto t0 = SteadyClock::now();
    kill(pid, SIGTERM);
    const int status = WaitExit(pid);
    *took = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t0);
    return status;
  }
  std::string Err() {
    std::ifstream in(dir_ / "err.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_;
};

bool WaitForPixel(const std::function<uint32_t()>& pixel, uint32_t colour,
                  std::chrono::milliseconds timeout) {
  const auto end = SteadyClock::now() + timeout;
  while (SteadyClock::now() < end) {
    if (pixel() == colour) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

std::string Hex(uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

TEST_F(HostRun, DrawsOnlyOnTheHostWindowGivenEachWayFollowsItsSizeAndEndsOnSigterm) {
  testsupport::XServer server;
  if (server.Display().empty()) GTEST_SKIP() << "Xvfb not available";
  const std::string saver = PackRedSaver();
  testx11::Observer observer(server.Display());
  ASSERT_TRUE(observer.Ok());
  const std::string display = "DISPLAY=" + server.Display();

  struct Case {
    const char* how;
    bool resize;
  };
  const Case cases[] = {{"-root with XSCREENSAVER_WINDOW in hex", true},
                        {"--root with XSCREENSAVER_WINDOW in decimal", false},
                        {"-window-id in hex", false},
                        {"--window-id in decimal", true},
                        {"-root alone, on the root window", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    testx11::HostWindow host(server.Display(), 200, 150);
    ASSERT_TRUE(host.Ok());
    const std::vector<uint64_t> before = observer.MappedTopLevels();
    const std::string id = std::to_string(host.Id());
    std::vector<std::string> args = {saver};
    // The sound device's libraries (ALSA through SDL) keep allocations until exit.
    std::vector<std::string> env = {display, "LSAN_OPTIONS=detect_leaks=0"};
    const std::string how = c.how;
    const bool onRoot = how == "-root alone, on the root window";
    if (onRoot) {
      args.push_back("-root");
    } else if (how.rfind("-root", 0) == 0) {
      args.push_back("-root");
      env.push_back("XSCREENSAVER_WINDOW=" + Hex(host.Id()));
    } else if (how.rfind("--root", 0) == 0) {
      args.push_back("--root");
      env.push_back("XSCREENSAVER_WINDOW=" + id);
    } else if (how.rfind("-window-id", 0) == 0) {
      args.insert(args.end(), {"-window-id", Hex(host.Id())});
    } else {
      args.insert(args.end(), {"--window-id", id});
    }
    const pid_t pid = Start(args, env);
    if (onRoot) {
      // The test's own window covers the root's top left corner.
      ASSERT_TRUE(WaitForPixel([&] { return observer.RootPixelAt(799, 599); }, kRed, 20s)) << Err();
      EXPECT_EQ(observer.RootPixelAt(400, 300), kRed);
    } else {
      ASSERT_TRUE(WaitForPixel([&] { return host.PixelAt(199, 149); }, kRed, 20s)) << Err();
      EXPECT_EQ(host.PixelAt(0, 0), kRed);
    }
    if (c.resize) {
      host.Resize(320, 240);
      EXPECT_TRUE(WaitForPixel([&] { return host.PixelAt(319, 239); }, kRed, 10s));
      EXPECT_EQ(host.PixelAt(160, 120), kRed);
    }
    // No window of the player's own came up anywhere.
    EXPECT_EQ(observer.MappedTopLevels(), before);
    std::chrono::milliseconds took{};
    EXPECT_EQ(Terminate(pid, &took), 0) << Err();
    // Generous for a loaded machine; the promise is well under a second.
    EXPECT_LT(took.count(), 5000);
    // Nothing of the player's stays; the sound server's client library keeps a folder of
    // its own there ("pulse-..."), which is not ours to remove.
    for (const auto& e : fs::directory_iterator(dir_ / "tmp")) {
      if (e.path().filename().string().rfind("pulse-", 0) == 0) continue;
      ADD_FAILURE() << "left behind: " << e.path();
    }
  }
}

TEST_F(HostRun, FullScreenOnTwoMonitorsPlaysOnTheFirstUnlessItSpansThem) {
  testsupport::XServer server("1600x600");
  if (server.Display().empty()) GTEST_SKIP() << "Xvfb not available";
  testx11::Observer observer(server.Display());
  ASSERT_TRUE(observer.Ok());
  if (!observer.AddMonitor("LEFT", 0, 0, 800, 600) ||
      !observer.AddMonitor("RIGHT", 800, 0, 800, 600))
    GTEST_SKIP() << "the X server has no RandR 1.5 monitors";
  const std::string saver = PackRedSaver();
  const std::vector<std::string> env = {"DISPLAY=" + server.Display(),
                                        "LSAN_OPTIONS=detect_leaks=0"};
  for (const bool span : {false, true}) {
    SCOPED_TRACE(span ? "--span" : "one monitor");
    std::vector<std::string> args = {saver};
    if (span) args.push_back("--span");
    args.push_back("/s");
    const pid_t pid = Start(args, env);
    ASSERT_TRUE(WaitForPixel([&] { return observer.RootPixelAt(10, 10); }, kRed, 20s)) << Err();
    EXPECT_EQ(observer.RootPixelAt(799, 599), kRed);
    // The other monitor is black, or shows the show too when it spans.
    EXPECT_TRUE(
        WaitForPixel([&] { return observer.RootPixelAt(1590, 590); }, span ? kRed : 0u, 10s));
    EXPECT_EQ(observer.RootPixelAt(800, 300), span ? kRed : 0u);
    std::chrono::milliseconds took{};
    EXPECT_EQ(Terminate(pid, &took), 0) << Err();
  }
}

// A key ends a full-screen show at once, also in the middle of a push at 3840x2160. The bound
// is generous for a loaded machine under the sanitizers; bench/exit measures the real figure.
TEST_F(HostRun, AKeyEndsAPushOnA4kScreen) {
  testsupport::XServer server("3840x2160");
  if (server.Display().empty()) GTEST_SKIP() << "Xvfb not available";
  testx11::Observer observer(server.Display());
  ASSERT_TRUE(observer.Ok());
  // A gradient, scaled to the whole screen by the show.
  testsupport::WriteTinyBmp((dir_ / "a.bmp").string(), 16, 16,
                            [](int x, int y) { return uint32_t(x * 16) << 16 | uint32_t(y * 16); });
  std::ofstream(dir_ / "push.json") << R"({"version": 4.31, "items": [
      {"class": "PictureItem", "name": "a", "file": "a.bmp", "fitScreen": 1},
      {"class": "LoopStartItem"},
      {"class": "ShowPictureItem", "picture": "a", "path": {"effect": 43, "effectSpeed": 300}},
      {"class": "ShowPictureItem", "picture": "a", "path": {"effect": 44, "effectSpeed": 300}},
      {"class": "LoopEndItem", "endless": 1}]})";
  const std::string saver = (dir_ / "push.scr").string();
  ASSERT_EQ(RunToEnd({SP_SCENEPACK, (dir_ / "push.json").string(), "-o", saver}, {}), 0) << Err();

  const std::vector<uint64_t> before = observer.MappedTopLevels();
  const pid_t pid =
      Start({saver, "/s"}, {"DISPLAY=" + server.Display(), "LSAN_OPTIONS=detect_leaks=0"});
  uint64_t ours = 0;
  for (int i = 0; i < 1000 && ours == 0; ++i) {
    for (uint64_t w : observer.MappedTopLevels())
      if (std::find(before.begin(), before.end(), w) == before.end()) ours = w;
    if (ours == 0) std::this_thread::sleep_for(20ms);
  }
  ASSERT_NE(ours, 0u) << Err();
  // Well into the pushes.
  std::this_thread::sleep_for(2s);
  int early = 0;
  ASSERT_EQ(waitpid(pid, &early, WNOHANG), 0) << "ended before the key: " << Err();
  const auto pressed = SteadyClock::now();
  ASSERT_TRUE(observer.PressKey(ours));
  EXPECT_TRUE(observer.WaitUnmapped(ours, 5s));
  const int status = WaitExit(pid);
  const auto ended = SteadyClock::now() - pressed;
  EXPECT_EQ(status, 0) << Err();
  EXPECT_LT(ended, 10s);
}

// The host window's size is known before the load, so pictures fitted to the screen keep
// only their fitted form: big pictures fitted to a small host window cost what the same
// pictures given that size explicitly cost, not their own size, and look the same.
TEST_F(HostRun, PicturesFittedToAHostWindowKeepOnlyTheirFittedForm) {
  testsupport::XServer server;
  if (server.Display().empty()) GTEST_SKIP() << "Xvfb not available";
  constexpr int kW = 2400, kH = 1800;  // 4:3 like the window: fitted exactly
  testsupport::WriteTinyBmp((dir_ / "big.bmp").string(), kW, kH, [](int x, int y) {
    return uint32_t(x * 255 / (kW - 1)) << 16 | uint32_t(y * 255 / (kH - 1)) << 8 | 0x40u;
  });
  auto pack = [&](const std::string& name, const std::string& size) {
    std::string items;
    for (int i = 0; i < 3; ++i)
      items += R"({"class": "PictureItem", "name": "p)" + std::to_string(i) +
               R"(", "file": "big.bmp", )" + size + "},\n";
    std::ofstream(dir_ / (name + ".json")) << R"({"version": 4.31, "items": [)" << items << R"(
      {"class": "LoopStartItem"},
      {"class": "ShowPictureItem", "picture": "p0"}, {"class": "PauseItem", "pauseMs": 200},
      {"class": "ShowPictureItem", "picture": "p1"}, {"class": "PauseItem", "pauseMs": 200},
      {"class": "ShowPictureItem", "picture": "p2"}, {"class": "PauseItem", "pauseMs": 200},
      {"class": "LoopEndItem", "endless": 1}]})";
    const std::string out = (dir_ / (name + ".scr")).string();
    EXPECT_EQ(RunToEnd({SP_SCENEPACK, (dir_ / (name + ".json")).string(), "-o", out}, {}), 0)
        << Err();
    return out;
  };
  const std::string fitted = pack("fitted", R"("fitScreen": 1, "keepAspect": 1)");
  const std::string sized = pack("sized", R"("width": 200, "height": 150)");
  auto peakKb = [](pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0L;
  };
  long peak[2] = {};
  uint32_t seen[2] = {};
  for (int k = 0; k < 2; ++k) {
    testx11::HostWindow host(server.Display(), 200, 150);
    ASSERT_TRUE(host.Ok());
    const pid_t pid = Start({k == 0 ? fitted : sized, "-window-id", Hex(host.Id())},
                            {"DISPLAY=" + server.Display(), "LSAN_OPTIONS=detect_leaks=0"});
    const auto end = SteadyClock::now() + 30s;
    while (host.PixelAt(100, 75) == 0 && SteadyClock::now() < end)
      std::this_thread::sleep_for(20ms);
    seen[k] = host.PixelAt(100, 75);
    // A few showings on.
    std::this_thread::sleep_for(1s);
    peak[k] = peakKb(pid);
    std::chrono::milliseconds took{};
    EXPECT_EQ(Terminate(pid, &took), 0) << Err();
  }
  EXPECT_NE(seen[0], 0u) << Err();
  EXPECT_EQ(seen[0], seen[1]);
  // Kept at their own size the three would hold 52 MB more.
  constexpr long kOwnKb = 3L * kW * kH * 4 / 1024;
  EXPECT_LT(peak[0], peak[1] + kOwnKb / 2) << peak[0] << " kB against " << peak[1] << " kB";
}

TEST_F(HostRun, BadHostWindowIdsAreRefused) {
  testsupport::XServer server;
  if (server.Display().empty()) GTEST_SKIP() << "Xvfb not available";
  const std::string saver = PackRedSaver();
  const std::string display = "DISPLAY=" + server.Display();
  // Not a number, and a well-formed id that names no window.
  EXPECT_EQ(RunToEnd({saver, "-window-id", "0xZZ"}, {display}), 2);
  EXPECT_EQ(RunToEnd({saver, "-root"}, {display, "XSCREENSAVER_WINDOW=window"}), 1);
  EXPECT_NE(Err().find("XSCREENSAVER_WINDOW"), std::string::npos) << Err();
  EXPECT_EQ(RunToEnd({saver, "--window-id", "0x1fffff0"}, {display}), 1);
  EXPECT_NE(Err().find("host window"), std::string::npos) << Err();
}

TEST_F(HostRun, WithoutADisplayItSaysSoInsteadOfPlayingInvisibly) {
  const std::string saver = PackRedSaver();
  for (const std::string display : {"", ":1999"}) {
    // D-Bus, loaded for the desktop's settings, keeps a few allocations until exit.
    std::vector<std::string> env = {"LSAN_OPTIONS=detect_leaks=0"};
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    for (const char* mode : {"/s", "-root"}) {
      SCOPED_TRACE(display + " " + mode);
      EXPECT_EQ(RunToEnd({saver, mode}, env), 1);
      const std::string err = Err();
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      EXPECT_NE(err.find(display.empty() ? "DISPLAY is not set" : "'" + display + "'"),
                std::string::npos)
          << err;
    }
  }
  // Asked for, the invisible run is fine.
  EXPECT_EQ(RunToEnd({saver, "--headless", "--seconds", "0.1", "/s"}, {}), 0) << Err();
}

}  // namespace
