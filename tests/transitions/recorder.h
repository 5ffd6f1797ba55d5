#pragma once
// A pacer and copy sink that log every step of a transition, and a small stage (old
// screen, picture, work surface) to run effects on.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "transitions/pacer.h"
#include "transitions/transition_engine.h"

namespace transitions::testing {

inline constexpr gfx::Pixel kOld = 0x000042;

// Picture pixels all have bit 23 set, so they never equal the old screen.
inline gfx::Pixel PicturePixel(int x, int y) {
  return (static_cast<uint32_t>(x * 7919 + y * 104729) & 0x7FFFFF) | 0x800000;
}
inline gfx::Surface MakePicture(int w, int h) {
  gfx::Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.At(x, y) = PicturePixel(x, y);
  return s;
}

struct Step {
  bool pace = false;
  int sx = 0, sy = 0, w = 0, h = 0, dx = 0, dy = 0;  // copies
  uint32_t speed = 0;                                // paces
  double scale = 0;
  bool waited = false;
};

class Recorder : public Pacer, public CopySink {
 public:
  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  void Paced(const PaceStep& step) override {
    Step s;
    s.pace = true;
    s.speed = step.speed;
    s.scale = step.scale;
    s.waited = step.wait.has_value();
    steps.push_back(s);
  }
  void Copy(gfx::Canvas& screen, const gfx::Surface& src, int sx, int sy, int w, int h, int dx,
            int dy) override {
    Step s;
    s.sx = sx;
    s.sy = sy;
    s.w = w;
    s.h = h;
    s.dx = dx;
    s.dy = dy;
    steps.push_back(s);
    screen.CopyRect(dx, dy, w, h, src, sx, sy);
    if (++copies == stopAfterCopies) stop.Set();
  }

  int Paces() const { return Count(true); }
  int Copies() const { return Count(false); }
  int Waits() const {
    int n = 0;
    for (const Step& s : steps) n += s.pace && s.waited;
    return n;
  }
  // "C(sx,sy,w,h)" per copy (source rectangle), "P" per pace, joined by spaces.
  std::string Log() const {
    std::string out;
    for (const Step& s : steps) {
      if (!out.empty()) out += ' ';
      out += s.pace ? std::string("P")
                    : "C(" + std::to_string(s.sx) + "," + std::to_string(s.sy) + "," +
                          std::to_string(s.w) + "," + std::to_string(s.h) + ")";
    }
    return out;
  }

  sys::Event stop;
  sys::VirtualClock clock;
  std::vector<Step> steps;
  int copies = 0;
  int stopAfterCopies = -1;

 private:
  int Count(bool pace) const {
    int n = 0;
    for (const Step& s : steps) n += s.pace == pace;
    return n;
  }
};

// Runs `effect` as the picture item does: a picture of w x h placed at (x, y) on a screen
// of the old colour, clipped to the screen first.
struct Stage {
  Stage(int screenW, int screenH) : screen(screenW, screenH, kOld), canvas(screen) {}

  Point Show(int32_t effect, int w, int h, int x, int y, int32_t speed, Recorder& rec) {
    picture = MakePicture(w, h);
    ClipResult clip = ClipToScreen(0, 0, w, h, x, y, screen.Width(), screen.Height());
    work = gfx::Surface(clip.rect.Width(), clip.rect.Height());
    TransitionEngine engine(effect);
    engine.SetPicture(clip.rect, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&picture);
    engine.SetCopySink(&rec);
    Point dest{x, y};
    if (clip.rect.Width() > 0 && clip.rect.Height() > 0)
      engine.Run(canvas, rec, dest, speed, clip.offsetX, clip.offsetY);
    return dest;
  }

  // Number of screen pixels that differ from the picture placed at (x, y) (old colour
  // outside it).
  int Mismatches(int x, int y) const {
    int bad = 0;
    for (int sy = 0; sy < screen.Height(); ++sy)
      for (int sx = 0; sx < screen.Width(); ++sx) {
        const int px = sx - x, py = sy - y;
        const bool inside = px >= 0 && py >= 0 && px < picture.Width() && py < picture.Height();
        bad += screen.At(sx, sy) != (inside ? picture.At(px, py) : kOld);
      }
    return bad;
  }

  gfx::Surface screen;
  gfx::Canvas canvas;
  gfx::Surface picture;
  gfx::Surface work;
};

// Speed 1000 paces without waiting, speed 0 waits at every pace, and the steps are the
// same; `scale` is the pacing scale every pace of the effect uses (0: not checked).
inline void ExpectSpeedDecidesWaits(int32_t effect, double scale = 1000.0) {
  Stage fast(40, 30);
  Recorder fastRec;
  fast.Show(effect, 21, 13, 3, 4, 1000, fastRec);
  EXPECT_GT(fastRec.Paces(), 0) << effect;
  EXPECT_EQ(fastRec.Waits(), 0) << effect;
  for (const auto& s : fastRec.steps) {
    if (s.pace && scale > 0) {
      EXPECT_EQ(s.scale, scale) << effect;
    }
  }
  Stage slow(40, 30);
  Recorder slowRec;
  slow.Show(effect, 21, 13, 3, 4, 0, slowRec);
  EXPECT_EQ(slowRec.Waits(), slowRec.Paces()) << effect;
  EXPECT_EQ(slowRec.Log(), fastRec.Log()) << effect;
}

// A picture of width or height 0 makes no copy (and, when `noWaits`, no pace either).
inline void ExpectEmptyPictureDrawsNothing(int32_t effect, bool noWaits) {
  for (auto [w, h] : {std::pair{0, 6}, std::pair{6, 0}}) {
    gfx::Surface screen(10, 10), source(6, 6), work(6, 6);
    gfx::Canvas canvas(screen);
    TransitionEngine engine(effect);
    engine.SetPicture(gfx::Rect{0, 0, w, h}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&source);
    Recorder rec;
    engine.SetCopySink(&rec);
    Point dest{1, 1};
    engine.Run(canvas, rec, dest, 0, 0, 0);
    EXPECT_EQ(rec.Copies(), 0) << effect << " " << w << "x" << h;
    if (noWaits) {
      EXPECT_TRUE(rec.steps.empty()) << effect << " " << w << "x" << h;
    }
  }
}

}  // namespace transitions::testing
