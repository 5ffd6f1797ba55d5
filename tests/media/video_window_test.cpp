// The clip windows on virtual time over an in-memory screen: open, size, play, repeat, stop,
// close, the command codes, the cursor count and the media file's deletion.
#include "media/video_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "media/mci_player_window.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "support/clip_maker.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Near;

const std::vector<uint32_t> kColors = {0xD02020, 0x20D020, 0x2020D0};

struct FakeScreen : media::ClipScreen {
  gfx::Surface surface{200, 150, 0};
  gfx::Canvas canvas{surface};
  int draws = 0, cursorCount = 0;
  bool blankCursor = false;
  std::vector<std::chrono::nanoseconds> drawTimes;
  std::vector<gfx::Rect> erased;
  sys::Clock* clock = nullptr;
  void DrawClip(int x, int y, const media::ClipPicture& p) override {
    media::DrawClipPicture(canvas, x, y, p);
    ++draws;
    if (clock) drawTimes.push_back(clock->Elapsed());
  }
  void EraseClip(int x, int y, int w, int h) override { erased.push_back({x, y, x + w, y + h}); }
  void ShowCursor(bool show) override { cursorCount += show ? 1 : -1; }
  void SetBlankCursor() override { blankCursor = true; }
  void ClipWindowArea(const gfx::Rect& area) override { windowArea = area; }
  gfx::Rect windowArea{};
};

struct ClipWindows : ::testing::Test {
  testsupport::ScratchDir dir;
  sys::VirtualClock clock;
  FakeScreen screen;
  std::string clip;  // 32x24, 10 pictures at 25 per second: 400 ms
  void SetUp() override {
    screen.clock = &clock;
    clip = dir.File("Ssd0001.avi");
    ASSERT_TRUE(testsupport::WriteFlatClip(clip, {32, 24, 25, 10}, kColors));
  }
  // Only the clip's rectangle at (x, y) has been drawn.
  void ExpectClipAt(int x, int y) {
    for (int py = 0; py < screen.surface.Height(); ++py)
      for (int px = 0; px < screen.surface.Width(); ++px) {
        const bool inside = px >= x && px < x + 32 && py >= y && py < y + 24;
        const uint32_t p = screen.surface.At(px, py);
        if (inside != (p != 0)) {
          ADD_FAILURE() << "pixel " << px << "," << py << " = " << std::hex << p;
          return;
        }
      }
  }
};

// A waiting play lasts exactly the clip (ten pictures of 40 ms), draws each picture at its
// time at (x, y), and Finish deletes the file.
TEST_F(ClipWindows, OneShotPlayerPlaysTheClipOnceAndDeletesIt) {
  struct Case {
    int x, y;
    bool mute;
  } cases[] = {{0, 0, false}, {50, 70, true}, {180, 140, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    ASSERT_TRUE(testsupport::WriteFlatClip(clip, {32, 24, 25, 10}, kColors));
    screen.surface.Fill(0);
    screen.drawTimes.clear();
    const auto start = clock.Elapsed();
    {
      media::MciPlayerWindow player(screen, clock);
      player.SetMute(c.mute);
      EXPECT_TRUE(player.Run(-1, c.x, c.y, clip));
      EXPECT_EQ(clock.Elapsed() - start, 400ms);
      EXPECT_EQ(player.NaturalWidth(), 32);
      EXPECT_EQ(player.NaturalHeight(), 24);
      EXPECT_EQ(player.X(), c.x);
      EXPECT_TRUE(player.Visible());
      EXPECT_EQ(player.Muted(), c.mute);
      EXPECT_TRUE(player.LastError().empty());
      EXPECT_TRUE(std::filesystem::exists(clip));
      player.Finish();
      EXPECT_FALSE(std::filesystem::exists(clip));
      EXPECT_FALSE(player.Stop());  // closed: no device
    }
    // Gone from the screen, the window leaves its place to the background.
    ASSERT_EQ(screen.erased.size(), 1u);
    EXPECT_EQ(screen.erased[0], (gfx::Rect{c.x, c.y, c.x + 32, c.y + 24}));
    screen.erased.clear();
    ASSERT_EQ(screen.drawTimes.size(), 10u);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(screen.drawTimes[i] - start, 40ms * i);
    if (c.x == 180) continue;  // partly off the screen
    ExpectClipAt(c.x, c.y);
    EXPECT_TRUE(Near(screen.surface.At(c.x + 5, c.y + 5), kColors[9 % 3]));
  }
  EXPECT_EQ(screen.cursorCount, -3);  // each Run hides the cursor once
}

// A file that cannot be opened: no time passes, the error is kept, the file still goes.
TEST_F(ClipWindows, OneShotPlayerWithAnUnplayableFileReturnsAtOnce) {
  testsupport::WriteBytes(clip, {'n', 'o', 't', ' ', 'a', ' ', 'c', 'l', 'i', 'p'});
  media::MciPlayerWindow player(screen, clock);
  EXPECT_FALSE(player.Run(-1, 10, 10, clip));
  EXPECT_EQ(clock.Elapsed(), 0ns);
  EXPECT_FALSE(player.LastError().empty());
  EXPECT_EQ(player.DeviceId(), 0u);
  EXPECT_EQ(screen.draws, 0);
  player.Finish();
  EXPECT_FALSE(std::filesystem::exists(clip));
}

// A repeating one-shot play holds its caller until WM_CLOSE comes from another thread; the
// destructor deletes the file even without Finish.
TEST_F(ClipWindows, RepeatingOneShotPlayEndsOnClose) {
  {
    media::MciPlayerWindow player(screen, clock);
    clock.SetObserver([&](auto, auto to) {
      if (to >= 3s) player.PostClose();
    });
    EXPECT_TRUE(player.Run(1, 0, 0, clip));
    clock.SetObserver(nullptr);
    EXPECT_GE(clock.Elapsed(), 3s);
    EXPECT_LT(clock.Elapsed(), 3s + 50ms);
    EXPECT_GE(screen.draws, 70);  // 7.5 passes of ten pictures
  }
  EXPECT_FALSE(std::filesystem::exists(clip));
}

// The background window answers its five codes (also before any open) and leaves others to
// the default routing; a play with lParam 0 repeats until stopped, with 1 plays once.
TEST_F(ClipWindows, BackgroundWindowCommands) {
  media::VideoWindow window(screen, clock);
  EXPECT_FALSE(window.OnCommand(media::ID_VIDEO_STOP));  // not created yet
  EXPECT_TRUE(window.Create());
  EXPECT_EQ(screen.cursorCount, -1);
  for (uint32_t code : {media::ID_VIDEO_STOP, media::ID_VIDEO_CLOSE}) {
    EXPECT_TRUE(window.OnCommand(code));
  }
  for (uint32_t code : {0u, 101u, 111u, 150u, 0x10000u + media::ID_VIDEO_STOP}) {
    EXPECT_FALSE(window.OnCommand(code)) << code;
  }
  EXPECT_FALSE(window.Visible());
  EXPECT_FALSE(window.NextDue());

  // Drives the window as the scene thread's waits do, for `length` of show time.
  auto run = [&](std::chrono::nanoseconds length) {
    const auto end = clock.Elapsed() + length;
    while (auto due = window.NextDue()) {
      if (*due >= end) break;
      clock.Advance(*due - clock.Elapsed());
      window.Advance(clock.Elapsed());
    }
    clock.Advance(end - clock.Elapsed());
  };
  struct Case {
    intptr_t lParam;
    int expectedDraws;
  } cases[] = {{0, 30}, {1, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lParam);
    screen.draws = 0;
    screen.surface.Fill(0);
    EXPECT_TRUE(window.OnCommand(media::VideoCommand::Open(clip)));
    EXPECT_TRUE(screen.blankCursor);
    EXPECT_TRUE(window.OnCommand(media::VideoCommand::SetPos(40, 30)));
    EXPECT_TRUE(window.OnCommand({media::ID_VIDEO_PLAY, c.lParam}));
    EXPECT_TRUE(window.Visible());
    EXPECT_EQ(window.NaturalWidth(), 32);
    EXPECT_EQ(window.X(), 40);
    // The transparent cursor covers the shown window.
    EXPECT_EQ(screen.windowArea, (gfx::Rect{40, 30, 72, 54}));
    run(1200ms);  // three passes
    EXPECT_EQ(screen.draws, c.expectedDraws);
    EXPECT_EQ(window.Playing(), c.lParam == 0);
    ExpectClipAt(40, 30);
    EXPECT_TRUE(window.OnCommand(media::ID_VIDEO_STOP));
    EXPECT_FALSE(window.NextDue());
    run(400ms);
    EXPECT_EQ(screen.draws, c.expectedDraws);
    EXPECT_TRUE(window.Visible());  // stopped, still shown
    EXPECT_TRUE(screen.erased.empty());
    EXPECT_TRUE(window.OnCommand(media::ID_VIDEO_CLOSE));
    EXPECT_FALSE(window.Visible());
    EXPECT_FALSE(window.Opened());
    EXPECT_EQ(screen.windowArea, gfx::Rect{});
    ASSERT_EQ(screen.erased.size(), 1u);
    EXPECT_EQ(screen.erased[0], (gfx::Rect{40, 30, 72, 54}));
    screen.erased.clear();
  }
  // An open that fails leaves the window closed: a play then shows the empty window only.
  testsupport::WriteBytes(clip, {'x'});
  EXPECT_TRUE(window.OnCommand(media::VideoCommand::Open(clip)));
  EXPECT_FALSE(window.Opened());
  EXPECT_TRUE(window.OnCommand({media::ID_VIDEO_PLAY, 0}));
  EXPECT_FALSE(window.NextDue());
  // A close without a device does not hide the window.
  EXPECT_TRUE(window.OnCommand(media::ID_VIDEO_CLOSE));
  EXPECT_TRUE(window.Visible());
  window.OnClose();
  EXPECT_FALSE(window.Created());
  EXPECT_FALSE(window.OnCommand(media::VideoCommand::Open(clip)));
}

}  // namespace
