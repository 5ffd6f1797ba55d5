// Video clips played by media items through the scene thread: placed at the item's point,
// repeating in the background until stopped, waiting exactly their length, their files gone
// after stop, next start and the end of the walk; unplayable clips skipped; a stop of the
// saver ends a waiting clip.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/saver_window.h"
#include "app/scene_thread.h"
#include "platform/sys/temp_file.h"
#include "scene/items.h"
#include "scene/scene_list.h"
#include "support/clip_maker.h"
#include "support/quiet_host.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Near;

const std::vector<uint32_t> kColors = {0xD02020, 0x20D020, 0x2020D0};
constexpr int kW = 32, kH = 24;

struct QuietHost : testsupport::QuietHost {
  void SetTransparentCursorArea(const gfx::Rect& area) override { cursorArea = area; }
  gfx::Rect cursorArea{};  // set and read on the scene thread
};

int ClipFiles() {
  int n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(sys::PrivateTempDirectory(), ec)) {
    if (e.path().filename().string().rfind("Ssd", 0) == 0) ++n;
  }
  return n;
}

struct VideoItems : ::testing::Test {
  QuietHost host;
  app::SaverWindow window{host};
  gfx::Surface surface{200, 150, 0x00FFFFFF};
  app::PlainScreen screen{surface};
  scene::SceneList list;
  sys::VirtualClock clock;
  std::vector<uint8_t> clip;  // ten pictures at 25 per second: 400 ms

  void SetUp() override {
    testsupport::ScratchDir dir;
    ASSERT_TRUE(testsupport::WriteFlatClip(dir.File("c.avi"), {kW, kH, 25, 10}, kColors));
    clip = testsupport::ReadBytes(dir.File("c.avi"));
  }
  template <class T>
  T& Add() {
    auto item = list.Create(T().kind);
    T* raw = static_cast<T*>(item.get());
    list.Append(std::move(item));
    raw->index = static_cast<int32_t>(list.size() - 1);
    return *raw;
  }
  scene::MediaItem& Media(const std::vector<uint8_t>& bytes) {
    auto& m = Add<scene::MediaItem>();
    m.mediaType = 1;
    m.data = scene::DataBlock::Of(bytes.data(), bytes.size());
    m.dataSize = static_cast<int32_t>(bytes.size());
    return m;
  }
  scene::PlayMediaItem& Play(scene::MediaItem& m, int32_t wait, int32_t repeat, int32_t loop,
                             int32_t x, int32_t y) {
    auto& p = Add<scene::PlayMediaItem>();
    p.link.media = &m;
    p.link.options.waitUntilDone = wait;
    p.link.options.repeatCount = repeat;
    p.link.options.loopInBackground = loop;
    p.link.options.videoX = x;
    p.link.options.videoY = y;
    return p;
  }
  void Pause(int ms) { Add<scene::PauseItem>().pause.pauseMs = ms; }
  void Stop(scene::MediaItem& m) { Add<scene::StopMediaItem>().link.media = &m; }
  std::unique_ptr<app::SceneThread> Make(sys::Clock& c) {
    return std::make_unique<app::SceneThread>(list, window, screen, c, nullptr);
  }
  // Only the clip's rectangle at (x, y) differs from black.
  bool OnlyClipAt(int x, int y) const {
    for (int py = 0; py < surface.Height(); ++py)
      for (int px = 0; px < surface.Width(); ++px) {
        const bool inside = px >= x && px < x + kW && py >= y && py < y + kH;
        if (inside != (surface.At(px, py) != 0)) return false;
      }
    return true;
  }
};

struct Sample {
  std::chrono::nanoseconds at;
  uint32_t centre;
  bool onlyClip;
  int files;
  gfx::Rect cursorArea;
};

// A clip started without waiting repeats (loopInBackground 0 or 1) at its point until the
// stop item, each picture showing from its time on; its file lives exactly as long, and
// then the background shows again where it was.
TEST_F(VideoItems, BackgroundClipRepeatsAtItsPointUntilStopped) {
  for (int32_t loop : {0, 1}) {
    SCOPED_TRACE(loop);
    list.Clear();
    auto& m = Media(clip);
    Play(m, 0, 1, loop, 60, 40);
    Pause(1000);
    Stop(m);
    Pause(300);
    std::vector<Sample> samples;
    clock.SetObserver([&](auto from, auto) {
      samples.push_back({from, surface.At(60 + kW / 2, 40 + kH / 2), OnlyClipAt(60, 40),
                         ClipFiles(), host.cursorArea});
    });
    const auto start = clock.Elapsed();
    Make(clock)->Run();
    clock.SetObserver(nullptr);
    ASSERT_FALSE(samples.empty());
    int pictures = 0;
    for (const Sample& s : samples) {
      const auto t = s.at - start;
      SCOPED_TRACE(t.count());
      if (t < 1000ms) {
        const auto picture = (t % 400ms) / 40ms;
        EXPECT_TRUE(Near(s.centre, kColors[picture % 3]));
        EXPECT_TRUE(s.onlyClip);
        EXPECT_EQ(s.files, 1);
        // The mouse is invisible over the clip's window, and only there.
        EXPECT_EQ(s.cursorArea, (gfx::Rect{60, 40, 60 + kW, 40 + kH}));
        ++pictures;
      } else {
        EXPECT_EQ(s.files, 0);
        EXPECT_EQ(s.cursorArea, gfx::Rect{});
        EXPECT_EQ(s.centre, 0u);  // closed: the background shows again
      }
    }
    EXPECT_GE(pictures, 25);  // every picture of two and a half passes
    EXPECT_EQ(ClipFiles(), 0);
  }
}

// A waiting clip holds the walk for exactly its length per repetition; the next start
// deletes the previous file and the end of the walk the last one.
TEST_F(VideoItems, WaitingClipHoldsTheWalkForItsLength) {
  for (int32_t repeat : {0, 1, 3}) {
    SCOPED_TRACE(repeat);
    list.Clear();
    auto& m = Media(clip);
    Play(m, 1, repeat, 0, 0, 0);
    Pause(100);
    Play(m, 0, 1, 0, 100, 100);  // a background start, left running at the end
    Pause(100);
    int maxFiles = 0;
    clock.SetObserver([&](auto, auto) { maxFiles = std::max(maxFiles, ClipFiles()); });
    const auto start = clock.Elapsed();
    Make(clock)->Run();
    clock.SetObserver(nullptr);
    EXPECT_EQ(clock.Elapsed() - start, 400ms * repeat + 200ms);
    EXPECT_EQ(maxFiles, 1);
    EXPECT_EQ(ClipFiles(), 0);
  }
}

// Clips that cannot be played show nothing and take no time; the show goes on.
TEST_F(VideoItems, UnplayableClipsAreSkipped) {
  std::vector<uint8_t> truncated(clip.begin(), clip.begin() + 60);
  std::vector<uint8_t> noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 31 + 7);
  const std::vector<uint8_t> wave = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& bytes : {truncated, noise, wave, testsupport::TinyAvi(16, 16, 1)}) {
    list.Clear();
    auto& m = Media(bytes);
    Play(m, 1, 2, 0, 10, 10);
    Play(m, 0, 1, 0, 10, 10);
    Pause(100);
    auto& bg = Add<scene::BackgroundItem>();
    bg.color.color = gfx::RGB(0, 0, 255);
    const auto start = clock.Elapsed();
    Make(clock)->Run();
    EXPECT_EQ(clock.Elapsed() - start, 100ms);
    EXPECT_EQ(surface.At(15, 15), 0x0000FFu);  // the background item after them ran
    EXPECT_EQ(ClipFiles(), 0);
  }
}

// A stop of the saver ends a clip that the walk waits for (real time), and its file goes.
TEST_F(VideoItems, SaverStopEndsAWaitingClip) {
  testsupport::ScratchDir dir;
  ASSERT_TRUE(testsupport::WriteFlatClip(dir.File("long.avi"), {kW, kH, 5, 50}, kColors));
  auto& m = Media(testsupport::ReadBytes(dir.File("long.avi")));  // ten seconds
  Play(m, 1, 1, 0, 0, 0);
  Play(m, 1, 0, 0, 0, 0);
  sys::RealClock real;
  auto thread = Make(real);
  thread->Start();
  while (ClipFiles() == 0) std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(200ms);
  const auto before = std::chrono::steady_clock::now();
  thread->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  EXPECT_TRUE(thread->FinishedEvent().IsSet());
  EXPECT_EQ(ClipFiles(), 0);
  EXPECT_LT(thread->ClipCursorCount(), 0);
}

}  // namespace
