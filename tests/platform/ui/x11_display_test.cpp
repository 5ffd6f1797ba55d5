// The SDL backends on a private X server (Xvfb); skipped where Xvfb is missing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "platform/ui/display.h"
#include "platform/ui/screen_grab.h"
#include "support/x11_host.h"

extern char** environ;

// The GL and D-Bus libraries SDL loads keep a few allocations until exit.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace ui {
namespace {

class XServer : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen",  "0",
                          "800x600x24", "-nolisten",  "tcp",      "-noreset", nullptr};
    // The server's own output would keep the test's output pipe open.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = 0;
      close(fds[0]);
      close(fds[1]);
      GTEST_SKIP() << "Xvfb not available";
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) GTEST_SKIP() << "Xvfb did not start";
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    unsetenv("DISPLAY");
  }
  pid_t pid_ = 0;
  std::string display_;
};

TEST_F(XServer, FullScreenTakesTheDesktopSizeAndHidesTheCursor) {
  DisplayOptions o;
  o.mode = DisplayMode::FullScreen;
  std::string error;
  auto d = Display::Create(o, &error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->Width(), 800);
  EXPECT_EQ(d->Height(), 600);
  EXPECT_FALSE(d->CursorVisible());
  EXPECT_EQ(GetScreenSize().width, 800);
  d.reset();
  // Asked again without a window, the desktop is there; which mode the server reports then
  // varies with its mode list, so only its presence is checked.
  auto desktop = QueryDesktopSize();
  ASSERT_TRUE(desktop);
  EXPECT_GT(desktop->width, 0);
  EXPECT_GT(desktop->height, 0);
}

TEST_F(XServer, EmbeddedDrawsIntoTheHostWindow) {
  testx11::HostWindow host(display_, 200, 150);
  ASSERT_TRUE(host.Ok());

  DisplayOptions o;
  o.mode = DisplayMode::Embedded;
  o.parentWindow = host.Id();
  std::string error;
  auto d = ui::Display::Create(o, &error);
  ASSERT_TRUE(d) << error;
  EXPECT_EQ(d->Width(), 200);
  EXPECT_EQ(d->Height(), 150);
  d->LockScreen().Canvas().FillRect(gfx::Rect{0, 0, 200, 150}, gfx::RGB(0x20, 0x40, 0x80));
  d->PresentNow();

  EXPECT_EQ(host.PixelAt(100, 75), 0x204080u);
  EXPECT_EQ(host.PixelAt(0, 0), 0x204080u);
}

TEST_F(XServer, BadHostWindowIsAnError) {
  DisplayOptions o;
  o.mode = DisplayMode::Embedded;
  o.parentWindow = 0x7FFFFFF;
  std::string error;
  EXPECT_FALSE(ui::Display::Create(o, &error));
}

// Asked before the display opens, the host window's size is the screen the display then
// has on it, and follows the window; no window, or no display, has none.
TEST_F(XServer, AHostWindowsSizeIsKnownBeforeTheDisplayOpens) {
  testx11::HostWindow host(display_, 200, 150);
  ASSERT_TRUE(host.Ok());
  for (const auto& [w, h] : {std::pair{200, 150}, std::pair{333, 77}}) {
    if (w != 200) host.Resize(w, h);
    const std::optional<ScreenSize> asked = QueryHostWindowSize(host.Id());
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->width, w);
    EXPECT_EQ(asked->height, h);
    DisplayOptions o;
    o.mode = DisplayMode::Host;
    o.parentWindow = host.Id();
    std::string error;
    auto d = Display::Create(o, &error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->Width(), asked->width);
    EXPECT_EQ(d->Height(), asked->height);
  }
  const std::optional<ScreenSize> root = QueryHostWindowSize(0);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->width, 800);
  EXPECT_EQ(root->height, 600);
  EXPECT_FALSE(QueryHostWindowSize(0x7FFFFFF));
  setenv("DISPLAY", ":999", 1);
  EXPECT_FALSE(QueryHostWindowSize(host.Id()));
}

TEST_F(XServer, TheScreenGrabShowsWhatWindowsDrewOnTheScreen) {
  testx11::HostWindow other(display_, 300, 200);
  ASSERT_TRUE(other.Ok());
  other.Fill(0, 0, 300, 200, 0x123456);
  other.Fill(10, 20, 50, 40, 0xFF8000);
  std::string error;
  std::optional<gfx::Surface> screen = GrabScreen(&error);
  ASSERT_TRUE(screen) << error;
  ASSERT_EQ(screen->Width(), 800);
  ASSERT_EQ(screen->Height(), 600);
  // The window sits at (0, 0) of the screen.
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) {
      const bool inner = x >= 10 && x < 60 && y >= 20 && y < 60;
      ASSERT_EQ(screen->At(x, y), inner ? 0xFF8000u : 0x123456u) << x << "," << y;
    }
}

TEST_F(XServer, NoOrABadDisplayGivesNoGrab) {
  setenv("DISPLAY", ":999", 1);
  std::string error;
  EXPECT_FALSE(GrabScreen(&error));
  EXPECT_FALSE(error.empty());
  unsetenv("DISPLAY");
  EXPECT_FALSE(GrabScreen(&error));
}

}  // namespace
}  // namespace ui
