// The fades' levels, timing in virtual time and what they leave on screen; the colour
// morph's passes, its end rule and its stop.

#include "transitions/fades.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/image_decoder.h"
#include "recorder.h"

namespace transitions {
namespace {

using testing::kOld;
using testing::MakePicture;
using testing::PicturePixel;
using testing::Recorder;

gfx::Pixel Level(gfx::Pixel p, unsigned v) {
  auto c = [&](int shift) { return static_cast<uint8_t>((((p >> shift) & 0xFF) * v) >> 8); };
  return gfx::MakePixel(c(16), c(8), c(0));
}

// Virtual time that keeps the screen at every sleep; `drawCost` ms pass at every look at
// the tick count, as on a machine that draws slowly.
class FadeClock : public sys::Clock {
 public:
  explicit FadeClock(const gfx::Surface& screen) : screen_(screen) {}
  uint32_t TickCount() override {
    inner.Advance(std::chrono::milliseconds(drawCost));
    return inner.TickCount();
  }
  std::chrono::nanoseconds Elapsed() override { return inner.Elapsed(); }
  sys::SystemTime Now() override { return inner.Now(); }
  int64_t CalendarSeconds() override { return inner.CalendarSeconds(); }
  void Sleep(std::chrono::nanoseconds d) override {
    shots.push_back(screen_);
    inner.Sleep(d);
  }
  bool WaitFor(const sys::Event& e, std::chrono::nanoseconds t) override {
    return inner.WaitFor(e, t);
  }

  sys::VirtualClock inner;
  std::vector<gfx::Surface> shots;
  int drawCost = 0;

 private:
  const gfx::Surface& screen_;
};

class FadePacer : public Pacer {
 public:
  explicit FadePacer(const gfx::Surface& screen) : clock(screen) {}
  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  void Paced(const transitions::PaceStep&) override { ++paces; }
  std::chrono::nanoseconds PresentPeriod() override { return period; }
  sys::Event stop;
  FadeClock clock;
  int paces = 0;
  std::chrono::nanoseconds period{};  // a display showing the screen once a period
};

// A bitmap of bw x bh shown through a rectangle of w x h at (x, y) on a 30 x 20 screen.
struct FadeStage {
  FadeStage(int bw, int bh, int w, int h) : bitmap(MakePicture(bw, bh)), work(w, h), w(w), h(h) {}

  void Run(int32_t effect, int x, int y, int32_t speed, bool withBitmap = true) {
    gfx::Canvas canvas(screen);
    TransitionEngine engine(effect);
    engine.SetPicture(gfx::Rect{0, 0, w, h}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&bitmap);
    if (withBitmap) engine.SetBitmap(&bitmap);
    Point dest{x, y};
    engine.Run(canvas, pacer, dest, speed, 0, 0);
  }
  int64_t ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               const_cast<FadeClock&>(pacer.clock).inner.Elapsed())
        .count();
  }

  gfx::Surface screen{30, 20, kOld};
  gfx::Surface bitmap;
  gfx::Surface work;
  int w, h;
  FadePacer pacer{screen};
};

// Every level of every byte value, in every byte of a pixel, against the brightness
// table built the slow way, at row lengths that leave the vector loops a remainder and
// with garbage in the byte above the colours.
TEST(FadeLevel, MatchesTheBrightnessTableForEveryLevelAndByte) {
  std::vector<std::array<uint8_t, 256>> table(256);
  for (unsigned v = 0; v < 256; ++v)
    for (unsigned c = 0; c < 256; ++c) table[v][c] = static_cast<uint8_t>(c * v / 256);
  for (size_t n : {size_t{256}, size_t{1}, size_t{37}}) {
    std::vector<gfx::Pixel> in(n), out(n);
    for (size_t x = 0; x < n; ++x) {
      const uint32_t c = static_cast<uint32_t>(x * 7 + n) & 0xFF;
      in[x] = (c * 0x01010101u) ^ (static_cast<uint32_t>(x) << 8);
    }
    for (unsigned v = 0; v < 256; ++v) {
      FadeLevel(out.data(), in.data(), n, v);
      for (size_t x = 0; x < n; ++x) {
        const gfx::Pixel p = in[x];
        ASSERT_EQ(out[x], gfx::MakePixel(table[v][(p >> 16) & 0xFF], table[v][(p >> 8) & 0xFF],
                                         table[v][p & 0xFF]))
            << "level " << v << " pixel " << x << " of " << n;
      }
    }
  }
}

TEST(FadeIn, FullSpeedRunsEveryLevelAMillisecondApart) {
  FadeStage s(9, 7, 9, 7);
  s.Run(4, 4, 3, 1000);
  // L = 1: level v is drawn, then the clock waits for level v + 1.
  ASSERT_EQ(s.pacer.clock.shots.size(), 256u);
  EXPECT_EQ(s.ElapsedMs(), 255);
  EXPECT_EQ(s.pacer.paces, 0);
  for (unsigned v : {0u, 1u, 100u, 255u}) {
    const gfx::Surface& shot = s.pacer.clock.shots[v];
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x)
        ASSERT_EQ(shot.At(x + 4, y + 3), Level(PicturePixel(x, y), v)) << "level " << v;
    EXPECT_EQ(shot.At(3, 3), kOld);
  }
  // The end: the picture itself.
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(s.screen.At(x + 4, y + 3), PicturePixel(x, y));
  EXPECT_EQ(s.screen.At(13, 3), kOld);
}

TEST(FadeIn, SlowSpeedTakesElevenMillisecondsALevel) {
  FadeStage s(3, 2, 3, 2);
  s.Run(4, 0, 0, 0);
  EXPECT_EQ(s.ElapsedMs(), 255 * 11);
  EXPECT_EQ(s.pacer.clock.shots.size(), 256u);
}

TEST(FadeIn, TickCountWrappingMidwayKeepsTheLevels) {
  FadeStage s(3, 3, 3, 3);
  s.pacer.clock.inner.Advance(std::chrono::milliseconds((int64_t{1} << 32) - 100));
  s.Run(4, 0, 0, 1000);
  EXPECT_EQ(s.pacer.clock.shots.size(), 256u);
  EXPECT_EQ(s.ElapsedMs(), (int64_t{1} << 32) - 100 + 255);
}

TEST(FadeIn, SpeedsBelowZeroFadeAsSlowlyAsZero) {
  FadeStage s(3, 3, 3, 3);
  s.Run(4, 0, 0, -100000);
  EXPECT_EQ(s.ElapsedMs(), 255 * 11);
  FadeStage out(3, 3, 3, 3);
  out.Run(65, 0, 0, INT32_MIN);
  EXPECT_EQ(out.ElapsedMs(), 255 * 12);
}

TEST(FadeIn, SlowDrawingSkipsLevels) {
  FadeStage s(5, 5, 5, 5);
  s.pacer.clock.drawCost = 3;
  s.Run(4, 2, 2, 1000);
  EXPECT_LT(s.pacer.clock.shots.size(), 100u);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(s.screen.At(x + 2, y + 2), PicturePixel(x, y));
}

TEST(FadeIn, BitmapBeyondTheRectangleKeepsTheLastLevel) {
  FadeStage s(12, 8, 10, 6);
  s.Run(4, 1, 1, 1000);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      const gfx::Pixel want = x < 10 && y < 6 ? PicturePixel(x, y) : Level(PicturePixel(x, y), 255);
      EXPECT_EQ(s.screen.At(x + 1, y + 1), want) << x << "," << y;
    }
}

TEST(FadeIn, StopEndsItWhereItStands) {
  FadeStage s(4, 4, 4, 4);
  s.pacer.stop.Set();
  s.Run(4, 0, 0, 1000);
  EXPECT_EQ(s.pacer.clock.shots.size(), 0u);
  EXPECT_EQ(s.ElapsedMs(), 0);
  EXPECT_NE(s.screen.At(3, 3), PicturePixel(3, 3));
}

TEST(FadeOut, FullSpeedTakesTwoMillisecondsALevelAndLeavesBlack) {
  FadeStage s(6, 5, 6, 5);
  s.Run(65, 3, 3, 1000);
  ASSERT_EQ(s.pacer.clock.shots.size(), 256u);
  EXPECT_EQ(s.ElapsedMs(), 255 * 2);
  EXPECT_EQ(s.pacer.clock.shots[0].At(3, 3), Level(PicturePixel(0, 0), 255));
  EXPECT_EQ(s.pacer.clock.shots[255].At(5, 4), 0u);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 3 && x < 9 && y >= 3 && y < 8;
      EXPECT_EQ(s.screen.At(x, y), inside ? 0u : kOld) << x << "," << y;
    }
}

// A display that shows the screen once a refresh period sees one level a period at most:
// only those levels are drawn, at their own times, the last one always; the fade takes as
// long as ever and ends the same.
TEST(Fades, ADisplayGetsOneLevelARefreshPeriod) {
  struct Case {
    int32_t effect, speed;
    std::chrono::nanoseconds period;
    unsigned stride;  // levels apart
  };
  using std::chrono::microseconds;
  for (const Case& c :
       {Case{4, 1000, microseconds(16'667), 16}, Case{65, 1000, microseconds(16'667), 8},
        Case{4, 600, microseconds(16'667), 3}, Case{4, 0, microseconds(16'667), 1},
        Case{4, 1000, microseconds(500), 1}, Case{65, 1000, microseconds(0), 1},
        Case{4, 1000, std::chrono::hours(1), 255}}) {
    SCOPED_TRACE(::testing::Message() << "effect " << c.effect << " speed " << c.speed << " period "
                                      << c.period.count() << " ns");
    FadeStage s(6, 5, 6, 5);
    s.pacer.period = c.period;
    s.Run(c.effect, 3, 3, c.speed);
    std::vector<unsigned> levels;
    for (unsigned v = 0; v < 255; v += c.stride) levels.push_back(v);
    levels.push_back(255);
    ASSERT_EQ(s.pacer.clock.shots.size(), levels.size());
    const int64_t perLevel = (c.effect == 4 ? 11 : 12) - c.speed / 100;
    EXPECT_EQ(s.ElapsedMs(), 255 * perLevel);
    for (size_t k = 0; k < levels.size(); ++k) {
      const unsigned v = c.effect == 4 ? levels[k] : 255 - levels[k];
      ASSERT_EQ(s.pacer.clock.shots[k].At(4, 5), Level(PicturePixel(1, 2), v)) << "shot " << k;
    }
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x)
        EXPECT_EQ(s.screen.At(x + 3, y + 3), c.effect == 4 ? PicturePixel(x, y) : 0u);
  }
}

TEST(FadeOut, BlackFillCoversTheRectangleNotTheBitmap) {
  FadeStage s(6, 4, 10, 6);
  s.Run(65, 2, 2, 1000);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 2 && x < 12 && y >= 2 && y < 8;
      EXPECT_EQ(s.screen.At(x, y), inside ? 0u : kOld) << x << "," << y;
    }
}

TEST(Fades, WithoutABitmapNothingIsDrawn) {
  for (int32_t effect : {4, 65}) {
    FadeStage s(5, 5, 5, 5);
    s.Run(effect, 2, 2, 1000, false);
    EXPECT_TRUE(s.pacer.clock.shots.empty()) << effect;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) ASSERT_EQ(s.screen.At(x, y), kOld) << effect;
  }
}

TEST(Fades, NoLevelTimeSkipsStraightToTheEnd) {
  // L = 0 at speed 1100 (fade in) and 1200 (fade out); below 0 further up.
  for (int32_t speed : {1100, 5000}) {
    FadeStage in(5, 5, 5, 5);
    in.Run(4, 2, 2, speed);
    EXPECT_TRUE(in.pacer.clock.shots.empty());
    EXPECT_EQ(in.screen.At(6, 6), PicturePixel(4, 4));
  }
  for (int32_t speed : {1200, 5000}) {
    FadeStage out(5, 5, 5, 5);
    out.Run(65, 2, 2, speed);
    EXPECT_TRUE(out.pacer.clock.shots.empty());
    EXPECT_EQ(out.screen.At(6, 6), 0u);
    EXPECT_EQ(out.screen.At(7, 7), kOld);
  }
}

TEST(Fades, PartlyOffScreenIsClipped) {
  FadeStage s(8, 8, 8, 8);
  s.Run(4, -3, 15, 1000);
  EXPECT_EQ(s.screen.At(0, 15), PicturePixel(3, 0));
  EXPECT_EQ(s.screen.At(4, 19), PicturePixel(7, 4));
  EXPECT_EQ(s.screen.At(5, 15), kOld);
  FadeStage out(8, 8, 8, 8);
  out.Run(65, 25, -2, 1000);
  EXPECT_EQ(out.screen.At(29, 0), 0u);
  EXPECT_EQ(out.screen.At(29, 6), kOld);
}

// The morph of a w x h picture of colour `to` over an old screen of colour `from`.
struct MorphStage {
  MorphStage(gfx::Pixel from, gfx::Pixel to, int w, int h)
      : screen(20, 20, from), picture(w, h, to), work(w, h) {}
  void Run(int32_t speed = 0) {
    gfx::Canvas canvas(screen);
    TransitionEngine engine(66);
    engine.SetPicture(gfx::Rect{0, 0, picture.Width(), picture.Height()}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&picture);
    engine.SetCopySink(&rec);
    Point dest{3, 4};
    engine.Run(canvas, rec, dest, speed, 0, 0);
    dirty = canvas.TakeDirty();
  }
  gfx::Surface screen, picture, work;
  Recorder rec;
  gfx::Rect dirty;
};

TEST(Morph, StepMovesEveryByteAndLooksForAPixelApartInAllThree) {
  std::vector<gfx::Pixel> from{gfx::MakePixel(5, 5, 5), 0};
  const std::vector<gfx::Pixel> to{gfx::MakePixel(5, 6, 7), gfx::MakePixel(2, 2, 2)};
  EXPECT_TRUE(MorphStep(from.data(), to.data(), 2, true));
  EXPECT_EQ(from[0], gfx::MakePixel(5, 6, 6));
  EXPECT_EQ(from[1], gfx::MakePixel(1, 1, 1));
  EXPECT_FALSE(MorphStep(from.data(), to.data(), 2, true));
  std::vector<gfx::Pixel> down{gfx::MakePixel(9, 9, 9)};
  const std::vector<gfx::Pixel> zero{gfx::MakePixel(0, 0, 8)};
  EXPECT_FALSE(MorphStep(down.data(), zero.data(), 1, true));
  EXPECT_EQ(down[0], gfx::MakePixel(8, 8, 8));
  // Not looking: the bytes still move.
  EXPECT_FALSE(MorphStep(down.data(), zero.data(), 1, false));
  EXPECT_EQ(down[0], gfx::MakePixel(7, 7, 8));
}

// Random rows, long and short, against a byte-by-byte step and an early-out search.
TEST(Morph, StepMatchesAPlainStepOnRandomRows) {
  std::mt19937 rng(5);
  for (size_t n : {size_t{1}, size_t{3}, size_t{17}, size_t{1000}}) {
    for (int round = 0; round < 50; ++round) {
      std::vector<gfx::Pixel> from(n), to(n);
      for (size_t x = 0; x < n; ++x) {
        from[x] = rng() & 0xFFFFFF;
        // Mostly close, so that some rows end with no pixel apart.
        to[x] = round % 2 ? (from[x] ^ (rng() & 0x010101)) : rng() & 0xFFFFFF;
      }
      std::vector<gfx::Pixel> want = from;
      for (gfx::Pixel& p : want) {
        const gfx::Pixel t = to[static_cast<size_t>(&p - want.data())];
        gfx::Pixel q = 0;
        for (int shift : {0, 8, 16}) {
          const int a = static_cast<int>((p >> shift) & 0xFF),
                    b = static_cast<int>((t >> shift) & 0xFF);
          q |= static_cast<gfx::Pixel>(a < b ? a + 1 : a > b ? a - 1 : a) << shift;
        }
        p = q;
      }
      bool wantApart = false;
      for (size_t x = 0; x < n && !wantApart; ++x)
        wantApart = ((want[x] ^ to[x]) & 0xFF) && ((want[x] ^ to[x]) & 0xFF00) &&
                    ((want[x] ^ to[x]) & 0xFF0000);
      EXPECT_EQ(MorphStep(from.data(), to.data(), n, true), wantApart) << n;
      ASSERT_EQ(from, want) << n;
    }
  }
}

TEST(Morph, IdenticalPicturesTakeOnePassAndOnePace) {
  MorphStage m(gfx::MakePixel(1, 2, 3), gfx::MakePixel(1, 2, 3), 6, 5);
  m.Run();
  EXPECT_EQ(m.rec.Paces(), 1);
  EXPECT_EQ(m.rec.Copies(), 0);
  EXPECT_EQ(m.screen.At(3, 4), gfx::MakePixel(1, 2, 3));
  EXPECT_EQ(m.dirty, (gfx::Rect{3, 4, 9, 9}));
}

TEST(Morph, OneFarByteIsLeftWhereTheFirstPassPutIt) {
  MorphStage m(gfx::MakePixel(220, 50, 60), gfx::MakePixel(220, 50, 60), 4, 4);
  m.screen.At(3 + 1, 4 + 2) = gfx::MakePixel(20, 50, 60);
  m.Run();
  EXPECT_EQ(m.rec.Paces(), 1);
  EXPECT_EQ(m.screen.At(4, 6), gfx::MakePixel(21, 50, 60));
}

TEST(Morph, RunsUntilEveryPixelHasOneByteInPlace) {
  MorphStage m(0, gfx::MakePixel(10, 20, 30), 7, 3);
  m.Run(1000);
  EXPECT_EQ(m.rec.Paces(), 10);
  EXPECT_EQ(m.rec.Waits(), 0);
  for (const testing::Step& s : m.rec.steps) EXPECT_EQ(s.scale, 1000.0);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 3 && x < 10 && y >= 4 && y < 7;
      EXPECT_EQ(m.screen.At(x, y), inside ? gfx::MakePixel(10, 10, 10) : 0u) << x << "," << y;
    }
}

// The screen as each pace finds it, with a display that shows it every third pace of a run
// without waits.
class PresentingRecorder : public testing::Recorder {
 public:
  PresentingRecorder(const gfx::Surface& screen, std::chrono::nanoseconds period)
      : screen_(screen), period_(period) {}
  bool PresentDue() override { return ++asked_ % 3 == 0; }
  std::chrono::nanoseconds PresentPeriod() override { return period_; }
  void Paced(const PaceStep& step) override {
    Recorder::Paced(step);
    atPace.push_back(screen_.At(5, 5));
    shown.push_back(step.shown);
  }
  std::vector<gfx::Pixel> atPace;
  std::vector<bool> shown;

 private:
  const gfx::Surface& screen_;
  std::chrono::nanoseconds period_;
  int asked_ = 0;
};

// Passes that only a display's presents could show are drawn when one is due, and the last
// one always; without such a display (frames in show time) every pass is drawn.
TEST(Morph, PassesNobodySeesAreNotDrawn) {
  for (const auto period : {std::chrono::nanoseconds(0), std::chrono::nanoseconds(16'666'667)}) {
    gfx::Surface screen(20, 20, 0), picture(7, 3, gfx::MakePixel(10, 20, 30)), work(7, 3);
    PresentingRecorder rec(screen, period);
    gfx::Canvas canvas(screen);
    TransitionEngine engine(66);
    engine.SetPicture(gfx::Rect{0, 0, 7, 3}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&picture);
    engine.SetCopySink(&rec);
    Point dest{3, 4};
    engine.Run(canvas, rec, dest, 1000, 0, 0);
    ASSERT_EQ(rec.atPace.size(), 10u);
    uint8_t drawn = 0;  // pass k leaves (k, k, k)
    for (uint8_t k = 1; k <= 10; ++k) {
      const bool seen = period.count() == 0 || rec.shown[k - 1u] || k == 10;
      if (seen) drawn = k;
      EXPECT_EQ(rec.atPace[k - 1u], gfx::MakePixel(drawn, drawn, drawn))
          << "pass " << int{k} << " period " << period.count();
    }
    EXPECT_EQ(screen.At(9, 6), gfx::MakePixel(10, 10, 10));
  }
}

TEST(Morph, StopEndsAfterThePassWithoutAWait) {
  MorphStage m(0, gfx::MakePixel(10, 20, 30), 5, 5);
  m.rec.stop.Set();
  m.Run();
  EXPECT_EQ(m.rec.Paces(), 0);
  EXPECT_EQ(m.screen.At(3, 4), gfx::MakePixel(1, 1, 1));
}

TEST(Morph, NoBufferMeansNothingDrawn) {
  imaging::SetBufferLimit(16);
  MorphStage m(0, gfx::MakePixel(10, 20, 30), 5, 5);
  m.Run();
  imaging::SetBufferLimit(0);
  EXPECT_EQ(m.rec.Paces(), 0);
  EXPECT_EQ(m.screen.At(3, 4), 0u);
  EXPECT_TRUE(m.dirty.IsEmpty());
}

}  // namespace
}  // namespace transitions
