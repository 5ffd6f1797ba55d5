// Merged copies must leave the screen exactly as the copies one by one do, at the end and
// at every wait that lets the screen be seen.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "recorder.h"
#include "transitions/effect_frame.h"
#include "transitions/effect_table.h"

namespace transitions {
namespace {

using testing::kOld;
using testing::MakePicture;
using testing::PicturePixel;
using testing::Recorder;

// Keeps the screen at every wait that really waits, as the scene thread decides it.
class SnapshotPacer : public Pacer {
 public:
  explicit SnapshotPacer(const gfx::Surface& screen) : screen_(screen) {}
  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  void Paced(const PaceStep& step) override {
    if (step.shown)
      shots.emplace_back(screen_.Data(), screen_.Data() + screen_.Width() * screen_.Height());
    if (++paces == stopAfterPaces) stop.Set();
  }
  bool PresentDue() override { return presentDue; }
  bool presentDue = false;

  sys::Event stop;
  sys::VirtualClock clock;
  std::vector<std::vector<gfx::Pixel>> shots;
  int paces = 0;
  int stopAfterPaces = -1;

 private:
  const gfx::Surface& screen_;
};

// Takes merged copies and counts them.
class BatchSink : public CopySink {
 public:
  void Copy(gfx::Canvas& screen, const gfx::Surface& src, int sx, int sy, int w, int h, int dx,
            int dy) override {
    ++copies;
    screen.CopyRect(dx, dy, w, h, src, sx, sy);
  }
  bool TakesBatches() const override { return true; }
  int copies = 0;
};

struct Outcome {
  std::vector<gfx::Pixel> screen;
  gfx::Rect dirty;
  std::vector<std::vector<gfx::Pixel>> shots;
  int paces = 0;
};

// The picture item's way: clipped to a 50 x 40 screen, drawn at (x, y).
Outcome Play(int32_t effect, int w, int h, int x, int y, int32_t speed, bool batching,
             int stopAfterPaces = -1, CopySink* sink = nullptr) {
  gfx::Surface screen(50, 40, kOld);
  gfx::Canvas canvas(screen);
  gfx::Surface picture = MakePicture(w, h);
  const ClipResult clip = ClipToScreen(0, 0, w, h, x, y, 50, 40);
  gfx::Surface work(clip.rect.Width(), clip.rect.Height());
  TransitionEngine engine(effect);
  engine.SetPicture(clip.rect, 0, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&picture);
  engine.SetCopySink(sink);
  engine.SetCopyBatching(batching);
  SnapshotPacer pacer(screen);
  pacer.stopAfterPaces = stopAfterPaces;
  Point dest{x, y};
  if (!clip.rect.IsEmpty()) engine.Run(canvas, pacer, dest, speed, clip.offsetX, clip.offsetY);
  return {std::vector<gfx::Pixel>(screen.Data(), screen.Data() + 50 * 40), canvas.TakeDirty(),
          std::move(pacer.shots), pacer.paces};
}

void ExpectSame(const Outcome& plain, const Outcome& merged, const std::string& what) {
  EXPECT_TRUE(plain.screen == merged.screen) << what;
  EXPECT_EQ(plain.dirty, merged.dirty) << what;
  EXPECT_EQ(plain.paces, merged.paces) << what;
  ASSERT_EQ(plain.shots.size(), merged.shots.size()) << what;
  for (size_t i = 0; i < plain.shots.size(); ++i)
    ASSERT_TRUE(plain.shots[i] == merged.shots[i]) << what << " wait " << i;
}

std::string Describe(int32_t effect, int w, int h, int x, int y, int32_t speed) {
  return "effect " + std::to_string(effect) + " " + std::to_string(w) + "x" + std::to_string(h) +
         " at " + std::to_string(x) + "," + std::to_string(y) + " speed " + std::to_string(speed);
}

constexpr int kSizes[][2] = {{1, 1},   {1, 7},   {7, 1},  {2, 2},   {5, 5},   {17, 9},
                             {16, 16}, {33, 40}, {9, 33}, {65, 47}, {100, 24}};
// Inside, beyond the left and top edges, beyond the right and bottom ones.
constexpr int kPlaces[][2] = {{3, 2}, {-7, -5}, {30, 20}};

TEST(CopyBatch, WithoutWaitsTheScreenEndsAsWithSingleCopies) {
  for (int32_t effect = 4; effect < kEffectCount; ++effect)
    for (const auto& size : kSizes)
      for (const auto& at : kPlaces) {
        const std::string what = Describe(effect, size[0], size[1], at[0], at[1], 1000);
        const Outcome plain = Play(effect, size[0], size[1], at[0], at[1], 1000, false);
        const Outcome merged = Play(effect, size[0], size[1], at[0], at[1], 1000, true);
        ExpectSame(plain, merged, what);
      }
}

TEST(CopyBatch, EveryRealWaitSeesTheSameScreen) {
  for (int32_t effect = 4; effect < kEffectCount; ++effect)
    for (const auto& size : {std::pair{17, 9}, std::pair{33, 40}, std::pair{65, 47}})
      for (const auto& at : kPlaces)
        for (int32_t speed : {0, 999}) {
          const auto [w, h] = size;
          const std::string what = Describe(effect, w, h, at[0], at[1], speed);
          const Outcome plain = Play(effect, w, h, at[0], at[1], speed, false);
          const Outcome merged = Play(effect, w, h, at[0], at[1], speed, true);
          // Effects with paces must really have waited, or this compares nothing.
          if (plain.paces > 0) {
            EXPECT_EQ(plain.shots.size(), static_cast<size_t>(plain.paces)) << what;
          }
          ExpectSame(plain, merged, what);
        }
}

TEST(CopyBatch, StopMidwayLeavesTheSameScreen) {
  for (int32_t effect = 4; effect < kEffectCount; ++effect)
    for (int stopAfter : {1, 7, 40}) {
      const std::string what =
          Describe(effect, 33, 40, -4, 3, 0) + " stop after " + std::to_string(stopAfter);
      const Outcome plain = Play(effect, 33, 40, -4, 3, 0, false, stopAfter);
      const Outcome merged = Play(effect, 33, 40, -4, 3, 0, true, stopAfter);
      ExpectSame(plain, merged, what);
    }
}

// Merging is what makes the narrow wipes cheap: check it happens.
TEST(CopyBatch, BandsAndStripsMergeIntoFewCopies) {
  struct Case {
    int32_t effect;
    int most;
  };
  // Blinds, straight and symmetric wipes and snakes end as one rectangle; stairs keep a
  // rectangle per band (5 bands of 40 rows); a spiral keeps its ring sides.
  for (const Case c : {Case{11, 1}, Case{12, 1}, Case{39, 1}, Case{40, 1}, Case{51, 1}, Case{52, 1},
                       Case{57, 5}, Case{58, 5}, Case{59, 5}, Case{60, 5}, Case{67, 1}, Case{68, 1},
                       Case{69, 1}, Case{70, 1}, Case{75, 20}}) {
    BatchSink sink;
    const Outcome merged = Play(c.effect, 45, 40, 2, 0, 1000, true, -1, &sink);
    EXPECT_LE(sink.copies, c.most) << c.effect;
    EXPECT_GT(sink.copies, 0) << c.effect;
    ExpectSame(Play(c.effect, 45, 40, 2, 0, 1000, false), merged, std::to_string(c.effect));
  }
}

// Random rectangles, many touching or overlapping, some reaching outside the work
// picture or the screen: merged, they draw what they draw one by one, and mark the same
// dirty area.
TEST(CopyBatch, RandomCopiesDrawAsOneByOne) {
  std::mt19937 rng(11);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  // A wide picture is drawn in several row strips.
  for (const auto& [ww, wh, rounds] : {std::tuple{37, 29, 300}, std::tuple{2100, 40, 60}}) {
    const gfx::Surface work = MakePicture(ww, wh);
    const int sw = ww + 3, sh = 90;
    for (int round = 0; round < rounds; ++round) {
      gfx::Surface a(sw, sh, kOld), b(sw, sh, kOld);
      gfx::Canvas ca(a), cb(b);
      const int x0 = pick(-20, sw - 10), y0 = pick(-20, 70);
      CopyBatch batch(cb, work, nullptr, x0, y0);
      const int n = pick(1, 60);
      for (int i = 0; i < n; ++i) {
        // Thin lines, bands and blocks.
        const int kind = pick(0, 2);
        const int w = kind == 0 ? 1 : pick(-1, kind == 1 ? 8 : ww + 3);
        const int h = kind == 0 ? pick(-1, wh + 6) : kind == 1 ? 1 : pick(-1, wh + 6);
        const int sx = pick(-5, ww + 3), sy = pick(-5, wh + 3);
        const int l = std::max(sx, 0), t = std::max(sy, 0);
        ca.CopyRect(x0 + l, y0 + t, std::min(sx + w, ww) - l, std::min(sy + h, wh) - t, work, l, t);
        batch.Push(sx, sy, w, h);
        if (pick(0, 15) == 0) batch.Flush();
      }
      batch.Flush();
      EXPECT_TRUE(batch.Empty());
      ASSERT_EQ(ca.TakeDirty(), cb.TakeDirty()) << ww << " round " << round;
      ASSERT_TRUE(std::equal(a.Data(), a.Data() + sw * sh, b.Data())) << ww << " round " << round;
    }
  }
}

// A sink that wants every copy still gets every copy in order.
TEST(CopyBatch, RecordingSinksSeeEverySingleCopy) {
  Recorder plain, batched;
  testing::Stage a(40, 40), b(40, 40);
  a.Show(75, 16, 16, 3, 3, 1000, plain);
  b.Show(75, 16, 16, 3, 3, 1000, batched);
  EXPECT_EQ(plain.Log(), batched.Log());
  EXPECT_EQ(batched.Copies(), 16 + 16 + 16 + 16 + 3);
}

struct FrameStage {
  FrameStage() : screen(20, 20, kOld), canvas(screen), work(MakePicture(8, 8)), other(8, 8) {
    other.Fill(0x123456);
    s.screen = &canvas;
    s.work = &work;
    s.pacer = &pacer;
    s.x0 = 2;
    s.y0 = 3;
    s.w = 8;
    s.h = 8;
    s.speed = 1000;
    s.batch = true;
  }
  gfx::Surface screen;
  gfx::Canvas canvas;
  gfx::Surface work, other;
  SnapshotPacer pacer{screen};
  EffectFrame::Setup s;
};

TEST(CopyBatch, OtherDrawingComesAfterTheCopiesBeforeIt) {
  {
    FrameStage st;
    EffectFrame f(st.s);
    f.W(0, 0, 4, 4);
    f.Copy(st.other, 0, 0, 2, 2, 1, 1);  // over the copy just made
    EXPECT_EQ(st.screen.At(3, 4), 0x123456u);
    EXPECT_EQ(st.screen.At(2, 3), PicturePixel(0, 0));
  }
  {
    FrameStage st;
    EffectFrame f(st.s);
    f.W(1, 1, 2, 1);
    const gfx::Surface snap = f.SnapshotOldScreen();
    EXPECT_EQ(snap.At(1, 1), PicturePixel(1, 1));
    EXPECT_EQ(snap.At(0, 0), kOld);
  }
  {
    FrameStage st;
    EffectFrame f(st.s);
    f.W(0, 0, 1, 8);
    EXPECT_EQ(f.Screen().Target().At(2, 10), PicturePixel(0, 7));
  }
}

TEST(CopyBatch, OnlyWaitsThatWaitDrawTheHeldCopies) {
  FrameStage st;
  {
    EffectFrame f(st.s);
    f.W(0, 0, 1, 1);
    f.Pace(1000, 1000.0);  // no wait: nothing need be on screen yet
    f.Pace(1200, 1000.0);
    f.Pace(0, 1000.0);  // waits: the copy must be on screen
    ASSERT_EQ(st.pacer.shots.size(), 1u);
    EXPECT_EQ(st.pacer.shots[0][3 * 20 + 2], PicturePixel(0, 0));
    f.W(1, 0, 1, 1);
    st.pacer.stop.Set();
    f.Pace(0, 1000.0);  // ends at once
    f.W(2, 0, 1, 1);
  }
  // Held or asked for after the stop, copies are dropped: nobody will see them.
  EXPECT_NE(st.screen.At(3, 3), PicturePixel(1, 0));
  EXPECT_NE(st.screen.At(4, 3), PicturePixel(2, 0));
  EXPECT_EQ(st.screen.At(2, 3), PicturePixel(0, 0));
}

// A present due in a run of steps without waits shows what stands at that step.
TEST(CopyBatch, APresentDueDrawsTheHeldCopiesWithoutAWait) {
  FrameStage st;
  EffectFrame f(st.s);
  f.W(0, 0, 1, 1);
  f.Pace(1000, 1000.0);
  EXPECT_TRUE(st.pacer.shots.empty());
  f.W(1, 0, 1, 1);
  st.pacer.presentDue = true;
  f.Pace(1000, 1000.0);
  ASSERT_EQ(st.pacer.shots.size(), 1u);
  EXPECT_EQ(st.pacer.shots[0][3 * 20 + 2], PicturePixel(0, 0));
  EXPECT_EQ(st.pacer.shots[0][3 * 20 + 3], PicturePixel(1, 0));
  st.pacer.presentDue = false;
  f.W(2, 0, 1, 1);
  f.Pace(1000, 1000.0);
  EXPECT_NE(st.screen.At(4, 3), PicturePixel(2, 0));  // held again
}

}  // namespace
}  // namespace transitions
