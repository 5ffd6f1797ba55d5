#include "platform/ui/display.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/ui/sdl_message_presenter.h"

namespace ui {
namespace {

using std::chrono::milliseconds;

std::unique_ptr<Display> Headless(int w = 64, int h = 48) {
  DisplayOptions o;
  o.mode = DisplayMode::Headless;
  o.width = w;
  o.height = h;
  std::string error;
  auto d = Display::Create(o, &error);
  EXPECT_TRUE(d) << error;
  return d;
}

TEST(Display, HeadlessScreenAndDirtyArea) {
  auto d = Headless(64, 48);
  ASSERT_TRUE(d);
  EXPECT_FALSE(d->HasWindow());
  EXPECT_FALSE(d->AwaitPresent(std::chrono::hours(1)));  // nobody presents: no wait
  EXPECT_EQ(d->Width(), 64);
  EXPECT_EQ(d->Height(), 48);
  EXPECT_TRUE(d->PeekDirty().IsEmpty());
  {
    auto lock = d->LockScreen();
    lock.Canvas().FillRect(gfx::Rect{10, 10, 20, 20}, gfx::RGB(255, 0, 0));
  }
  {
    auto lock = d->LockScreen();
    // A fresh device context each time.
    EXPECT_EQ(lock.Canvas().GetBkMode(), gfx::OPAQUE);
    lock.Canvas().SetBkMode(gfx::TRANSPARENT);
    lock.Canvas().FillRect(gfx::Rect{60, 40, 100, 100}, 0);
    EXPECT_EQ(lock.Surface().At(15, 15), 0xFF0000u);
  }
  EXPECT_EQ(d->PeekDirty(), (gfx::Rect{10, 10, 64, 48}));
  EXPECT_EQ(d->LockScreen().Canvas().GetBkMode(), gfx::OPAQUE);
  EXPECT_EQ(d->TakeDirty(), (gfx::Rect{10, 10, 64, 48}));
  EXPECT_TRUE(d->PeekDirty().IsEmpty());
  // A lock moved elsewhere still reports what it drew, once.
  {
    auto first = d->LockScreen();
    auto moved = std::move(first);
    moved.Canvas().FillRect(gfx::Rect{0, 0, 2, 2}, 0);
  }
  EXPECT_EQ(d->TakeDirty(), (gfx::Rect{0, 0, 2, 2}));
}

TEST(Display, InvalidSizesAreRefused) {
  for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {40000, 10}}) {
    DisplayOptions o;
    o.width = w;
    o.height = h;
    std::string error;
    EXPECT_FALSE(Display::Create(o, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(Display, ScreenSizeFollowsTheOpenDisplay) {
  SetScreenSize(ScreenSize{1024, 768});
  EXPECT_EQ(GetScreenSize().width, 1024);
  {
    auto d = Headless(320, 200);
    EXPECT_EQ(GetScreenSize().width, 320);
    EXPECT_EQ(GetScreenSize().height, 200);
  }
  EXPECT_EQ(GetScreenSize().width, 1024);
  EXPECT_EQ(GetScreenSize().height, 768);
}

TEST(Display, ParseSize) {
  EXPECT_EQ(ParseSize("1024x768")->width, 1024);
  EXPECT_EQ(ParseSize("640X480")->height, 480);
  for (const char* bad : {"", "x", "1024", "1024x", "x768", "0x10", "10x0", "-5x5", "+5x5", "5x5x5",
                          "99999x5", "5 x5", "5x99999999999999999999"}) {
    EXPECT_FALSE(ParseSize(bad)) << bad;
  }
}

TEST(MessageQueue, TimedWaitWithoutMessagesTimesOut) {
  auto d = Headless();
  Message m;
  EXPECT_FALSE(d->GetMessage(m, milliseconds(0)));
  EXPECT_FALSE(d->GetMessage(m, milliseconds(20)));
}

TEST(MessageQueue, MessagesComeInOrder) {
  auto d = Headless();
  d->PostMessage(Message{WM_KEYDOWN, VK_ESCAPE, 0, 0});
  d->PostMessage(Message{WM_MOUSEMOVE, 0, 3, 4});
  Message m;
  ASSERT_TRUE(d->GetMessage(m, milliseconds(0)));
  EXPECT_EQ(m.message, WM_KEYDOWN);
  EXPECT_EQ(m.wParam, VK_ESCAPE);
  ASSERT_TRUE(d->GetMessage(m, milliseconds(0)));
  EXPECT_EQ(m.message, WM_MOUSEMOVE);
  EXPECT_EQ(m.x, 3);
  EXPECT_EQ(m.y, 4);
  EXPECT_FALSE(d->GetMessage(m, milliseconds(0)));
}

TEST(MessageQueue, PostFromAnotherThreadWakesAnEndlessWait) {
  auto d = Headless();
  std::atomic<bool> drawing{true};
  // Another thread draws all the time; that must not disturb the wait.
  std::thread painter([&] {
    while (drawing) d->LockScreen().Canvas().FillRect(gfx::Rect{0, 0, 8, 8}, 1);
  });
  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(30));
    d->PostMessage(Message{WM_CLOSE, 0, 0, 0});
  });
  Message m;
  ASSERT_TRUE(d->GetMessage(m, Display::kInfinite));
  EXPECT_EQ(m.message, WM_CLOSE);
  poster.join();
  drawing = false;
  painter.join();
}

TEST(MessageQueue, ManyPostersLoseNothing) {
  auto d = Headless();
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i)
        d->PostMessage(Message{WM_USER, static_cast<uint32_t>(t), i, 0});
    });
  }
  std::vector<int> last(kThreads, -1);
  Message m;
  for (int n = 0; n < kThreads * kEach; ++n) {
    ASSERT_TRUE(d->GetMessage(m, Display::kInfinite));
    // Each thread's messages keep their order.
    EXPECT_EQ(m.x, last[m.wParam] + 1);
    last[m.wParam] = m.x;
  }
  for (auto& t : posters) t.join();
  EXPECT_FALSE(d->GetMessage(m, milliseconds(0)));
}

TEST(Cursor, CountAndResourceDecideVisibility) {
  auto d = Headless();
  EXPECT_TRUE(d->CursorVisible());  // arrow, count 0
  d->SetCursor(kBlankCursor);
  EXPECT_FALSE(d->CursorVisible());
  d->SetCursor(kArrowCursor);
  EXPECT_EQ(d->ShowCursor(false), -1);
  EXPECT_FALSE(d->CursorVisible());
  EXPECT_EQ(d->ShowCursor(true), 0);
  EXPECT_TRUE(d->CursorVisible());
}

// A clip's transparent cursor hides the pointer over its area only, never over a dialog
// that lies above it, and only while the window's own cursor would show.
TEST(Cursor, TransparentAreaHidesThePointerOverItOnly) {
  struct Step {
    const char* what;
    std::function<void(Display&)> act;
    bool visible;
  };
  auto move = [](int x, int y) {
    return [x, y](Display& d) {
      d.PostMessage({WM_MOUSEMOVE, 0, x, y, 0});
      Message m;
      ASSERT_TRUE(d.GetMessage(m, milliseconds(0)));
    };
  };
  gfx::Surface dialog(20, 10, 0xC0C0C0);
  const std::vector<Step> steps = {
      {"pointer outside, no area", move(5, 5), true},
      {"area set away from the pointer",
       [](Display& d) {
         d.SetBlankCursorArea({10, 10, 40, 30});
       },
       true},
      {"pointer enters the area", move(10, 10), false},
      {"pointer on the area's far edge", move(39, 29), false},
      {"pointer just past it", move(40, 29), true},
      {"back inside", move(20, 20), false},
      {"a dialog opens over the pointer", [&](Display& d) { d.SetOverlay(dialog, 15, 15); }, true},
      {"pointer inside the area beside the dialog", move(12, 12), false},
      {"over the dialog again", move(20, 20), true},
      {"the dialog closes", [](Display& d) { d.ClearOverlay(); }, false},
      {"the area goes", [](Display& d) { d.SetBlankCursorArea({}); }, true},
      {"a new area under the resting pointer",
       [](Display& d) {
         d.SetBlankCursorArea({0, 0, 64, 48});
       },
       false},
  };
  auto d = Headless();
  ASSERT_TRUE(d);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(*d);
    EXPECT_EQ(d->CursorVisible(), step.visible);
  }
  // The window's own hidden cursor stays hidden outside the area.
  d->SetBlankCursorArea({});
  d->SetCursor(kBlankCursor);
  EXPECT_FALSE(d->CursorVisible());
}

// The SDL window backend on SDL's dummy video driver: no X server needed.
class SdlDummy : public ::testing::Test {
 protected:
  void SetUp() override {
    DisplayOptions o;
    o.videoDriver = "dummy";
    o.mode = DisplayMode::Window;
    o.width = 80;
    o.height = 60;
    std::string error;
    display_ = Display::Create(o, &error);
    if (!display_) GTEST_SKIP() << "no SDL video: " << error;
  }
  void TearDown() override {
    display_.reset();
    unsetenv("SDL_VIDEODRIVER");
  }
  std::unique_ptr<Display> display_;
};

TEST_F(SdlDummy, WindowDrawsPresentsAndWakes) {
  EXPECT_TRUE(display_->HasWindow());
  EXPECT_EQ(display_->Width(), 80);
  EXPECT_EQ(display_->Height(), 60);
  EXPECT_TRUE(SDL_GetHintBoolean(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, SDL_FALSE));
  EXPECT_TRUE(SDL_GetHintBoolean(SDL_HINT_NO_SIGNAL_HANDLERS, SDL_FALSE));
  EXPECT_TRUE(SDL_IsScreenSaverEnabled());
  display_->LockScreen().Canvas().FillRect(gfx::Rect{0, 0, 80, 60}, gfx::RGB(1, 2, 3));
  EXPECT_FALSE(display_->PeekDirty().IsEmpty());
  display_->PresentNow();
  EXPECT_TRUE(display_->PeekDirty().IsEmpty());

  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(30));
    display_->PostMessage(Message{WM_CLOSE, 0, 0, 0});
  });
  Message m;
  ASSERT_TRUE(display_->GetMessage(m, Display::kInfinite));
  EXPECT_EQ(m.message, WM_CLOSE);
  poster.join();

  // Input from the window system arrives as messages.
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  e.key.keysym.sym = SDLK_ESCAPE;
  SDL_PushEvent(&e);
  ASSERT_TRUE(display_->GetMessage(m, milliseconds(1000)));
  EXPECT_EQ(m.message, WM_KEYDOWN);
  EXPECT_EQ(m.wParam, VK_ESCAPE);
}

TEST_F(SdlDummy, DrawingFromAnotherThreadIsPresentedByTheWait) {
  std::thread painter([&] {
    display_->LockScreen().Canvas().FillRect(gfx::Rect{5, 5, 10, 10}, 0);
  });
  painter.join();
  EXPECT_FALSE(display_->PeekDirty().IsEmpty());
  Message m;
  // The wait wakes for the frame and presents it, then times out.
  EXPECT_FALSE(display_->GetMessage(m, milliseconds(200)));
  EXPECT_TRUE(display_->PeekDirty().IsEmpty());
}

// A drawing thread that lets go of the screen in the middle of its work gets it shown by
// the UI thread's wait, and waits no longer than that for it.
TEST_F(SdlDummy, AwaitPresentIsAnsweredByTheWaitingUiThread) {
  std::atomic<bool> done{false};
  std::thread painter([&] {
    for (int i = 0; i < 3; ++i) {
      display_->LockScreen().Canvas().FillRect(gfx::Rect{i, 0, i + 1, 1}, 0);
      EXPECT_TRUE(display_->AwaitPresent(std::chrono::seconds(30))) << i;
      EXPECT_TRUE(display_->PeekDirty().IsEmpty()) << i;
    }
    done = true;
    display_->PostMessage(Message{WM_CLOSE, 0, 0, 0});
  });
  Message m;
  while (!done) display_->GetMessage(m, milliseconds(100));
  painter.join();
}

}  // namespace
}  // namespace ui
