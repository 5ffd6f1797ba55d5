#include "app/caption_scroller.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/sys/clock.h"
#include "platform/ui/display.h"

namespace app {
namespace {

std::unique_ptr<ui::Display> Headless(int w, int h) {
  ui::DisplayOptions o;
  o.mode = ui::DisplayMode::Headless;
  o.width = w;
  o.height = h;
  std::string error;
  return ui::Display::Create(o, &error);
}

// Rows of the screen that hold caption ink (anything not black).
int InkRows(ui::Display& d, int x0, int x1) {
  auto lock = d.LockScreen();
  int rows = 0;
  for (int y = 0; y < lock.Surface().Height(); ++y) {
    bool ink = false;
    for (int x = x0; x < x1 && !ink; ++x) ink = lock.Surface().At(x, y) != 0;
    rows += ink;
  }
  return rows;
}

TEST(CaptionScrollerTest, SizeAndPlace) {
  struct Case {
    const char* name;
    int letters;
    int w, h;
  } cases[] = {{"Aquarium", 8, 300, 200},
               {"X", 1, 160, 120},
               {"", 0, 300, 200},
               {"Köln", 4, 300, 200},
               {"Zero", 4, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto display = Headless(std::max(c.w, 1), std::max(c.h, 1));
    ASSERT_NE(display, nullptr);
    sys::VirtualClock clock;
    CaptionScroller s(*display, 97, c.name, clock);
    const text::TEXTMETRIC& m = s.font->Metrics();
    EXPECT_EQ(s.height, c.letters * m.tmHeight + 1);
    EXPECT_EQ(s.Image().Height(), c.letters * m.tmHeight + 1);
    EXPECT_EQ(s.width, 2 * m.tmMaxCharWidth);
    EXPECT_EQ(s.x, 97 + (display->Width() - s.width - 97) / 2);
    EXPECT_EQ(s.y, display->Height());
  }
}

TEST(CaptionScrollerTest, ScrollsUpOnePixelAPassAndRestartsBelowOnceGone) {
  auto display = Headless(300, 200);
  sys::VirtualClock clock;
  CaptionScroller s(*display, 97, "Aquarium", clock);
  // Every letter stands on a line of its own: 8 lines with ink.
  int lettersWithInk = 0;
  for (int line = 0; line < 8; ++line) {
    bool ink = false;
    for (int y = line * s.font->Metrics().tmHeight; y < (line + 1) * s.font->Metrics().tmHeight;
         ++y)
      for (int x = 0; x < s.width; ++x) ink = ink || s.Image().At(x, y) != 0;
    lettersWithInk += ink;
  }
  EXPECT_EQ(lettersWithInk, 8);

  for (int cycle = 0; cycle < 2; ++cycle) {
    // From the bottom edge until the bottom of the caption has passed the top.
    const int passes = 200 + s.height;
    for (int i = 1; i < passes; ++i) {
      ASSERT_TRUE(s.Step()) << i;
      ASSERT_EQ(s.y, 200 - i);
      if (i == 150) {
        EXPECT_GT(InkRows(*display, s.x, s.x + s.width), 50);
      }
    }
    EXPECT_FALSE(s.Step());
    EXPECT_EQ(s.y, 200);
    // The last pass drew it wholly above the window: the black bottom row wiped the rest.
    EXPECT_EQ(InkRows(*display, 0, 300), 0);
  }
}

TEST(CaptionScrollerTest, ThreadDrawsUntilStopped) {
  auto display = Headless(300, 120);
  sys::RealClock clock;
  CaptionScroller s(*display, 97, "Preview", clock);
  s.Start();
  // 20 ms a pixel: within a second the caption has come into view.
  for (int i = 0; i < 200 && InkRows(*display, s.x, s.x + s.width) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(InkRows(*display, s.x, s.x + s.width), 0);
  EXPECT_EQ(InkRows(*display, 0, s.x), 0);  // the logo's side is not touched
  const auto begin = std::chrono::steady_clock::now();
  s.Stop();
  EXPECT_TRUE(s.finishedEvent.IsSet());
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace app
