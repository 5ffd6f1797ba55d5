#include "transitions/slides.h"

#include <algorithm>

namespace transitions {

namespace {

constexpr int kStrip = 8;

bool Empty(const EffectFrame& f) { return f.Width() <= 0 || f.Height() <= 0; }

// The work picture's (sx, sy, cw, ch) to (dx, dy). Copies to their own place go through
// W, which may hold them back and merge them; the others are drawn in order.
void Wto(EffectFrame& f, int sx, int sy, int cw, int ch, int dx, int dy) {
  if (sx == dx && sy == dy)
    f.W(sx, sy, cw, ch);
  else
    f.Copy(f.Work(), sx, sy, cw, ch, dx, dy);
}

// One pixel per step over j = first .. last, one wait per step.
template <typename Step>
void Straight(EffectFrame& f, int first, int last, Step step) {
  if (Empty(f)) return;
  for (int j = first; j <= last; ++j) {
    step(j);
    f.Pace();
  }
}

// Diagonal progress: the longer side moves faster, both arrive after about min(w, h)
// steps (float32 as the stored shows were timed with).
struct Progress {
  float sx = 1.0f, sy = 1.0f;
};
Progress Steps(int w, int h) {
  Progress p;
  if (h < w)
    p.sx = static_cast<float>(w) / static_cast<float>(h);
  else
    p.sy = static_cast<float>(h) / static_cast<float>(w);
  return p;
}

// A position truncated toward zero and kept within 0 .. end: a value that has run past
// its end would draw the picture shifted, partly outside its rectangle.
int Position(float v, int end) {
  if (!(v > 0.0f)) return 0;
  if (v >= static_cast<float>(end)) return end;
  return static_cast<int>(v);
}

enum class Ending {
  // Rising values stop growing once past their end; a falling value takes its step before
  // the test and counts as done once below 0. The picture is copied whole afterwards.
  Overrun,
  // The loop ends with the step drawn at both ends, so it leaves the whole picture.
  AtEnds,
};

// Runs `step(a, b)` with px rising 0 -> w or falling w -> 0, py likewise against h.
template <typename Step>
void Diagonal(EffectFrame& f, bool xRising, bool yRising, Ending ending, Step step) {
  const int w = f.Width(), h = f.Height();
  if (w <= 0 || h <= 0) return;
  const Progress s = Steps(w, h);
  float px = xRising ? 0.0f : static_cast<float>(w);
  float py = yRising ? 0.0f : static_cast<float>(h);
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  for (;;) {
    const int a = Position(px, w), b = Position(py, h);
    step(a, b);
    if (ending == Ending::AtEnds) {
      if (a == (xRising ? w : 0) && b == (yRising ? h : 0)) break;
      if (xRising) {
        if (!(px > fw)) px += s.sx;
      } else if (!(px < 0.0f)) {
        px -= s.sx;
      }
      if (yRising) {
        if (!(py > fh)) py += s.sy;
      } else if (!(py < 0.0f)) {
        py -= s.sy;
      }
    } else {
      if (xRising && !(px > fw)) px += s.sx;
      if (yRising && !(py > fh)) py += s.sy;
      // The falling value's test comes first and takes its step.
      bool yDone = true, xDone = true;
      if (yRising) {
        yDone = py >= fh;
      } else if (!(py < 0.0f)) {
        py -= s.sy;
        yDone = py < 0.0f;
      }
      if (xRising) {
        xDone = px >= fw;
      } else if (!(px < 0.0f)) {
        px -= s.sx;
        xDone = px < 0.0f;
      }
      if (xDone && yDone) break;
    }
    f.Pace();
  }
  if (ending == Ending::Overrun) f.W(0, 0, w, h);
}

// Quarters move from 0 toward (hw, hh) at the diagonal pace, each capped at its end.
template <typename Step>
void Quarters(EffectFrame& f, Step step) {
  const int w = f.Width(), h = f.Height();
  if (w <= 0 || h <= 0) return;
  const int hw = w / 2, hh = h / 2;
  const Progress s = Steps(w, h);
  float px = 0.0f, py = 0.0f;
  for (;;) {
    const int a = Position(px, hw), b = Position(py, hh);
    step(a, b);
    if (a == hw && b == hh) return;
    px = a < hw ? px + s.sx : static_cast<float>(hw);
    py = b < hh ? py + s.sy : static_cast<float>(hh);
    f.Pace();
  }
}

// Push snakes: 8-pixel strips, each pushing the old strip out; a wait after every j that
// is a multiple of `every`, j counted from each strip's first line.
void PushColumn(EffectFrame& f, const gfx::Surface& snap, int x, bool down, int every) {
  const int h = f.Height();
  for (int j = 0; j <= h; ++j) {
    if (down) {
      Wto(f, x, h - j, kStrip, j, x, 0);
      f.Copy(snap, x, 0, kStrip, h - j, x, j);
    } else {
      Wto(f, x, 0, kStrip, j, x, h - j);
      f.Copy(snap, x, j, kStrip, h - j, x, 0);
    }
    if (j % every == 0) f.Pace();
  }
}
void PushRow(EffectFrame& f, const gfx::Surface& snap, int y, bool right, int every) {
  const int w = f.Width();
  for (int j = 0; j <= w; ++j) {
    if (right) {
      Wto(f, w - j, y, j, kStrip, 0, y);
      f.Copy(snap, 0, y, w - j, kStrip, j, y);
    } else {
      Wto(f, 0, y, j, kStrip, w - j, y);
      f.Copy(snap, j, y, w - j, kStrip, 0, y);
    }
    if (j % every == 0) f.Pace();
  }
}

}  // namespace

void CornersIn(EffectFrame& f) {
  const int w = f.Width(), h = f.Height(), hw = w / 2, hh = h / 2;
  Quarters(f, [&](int a, int b) {
    Wto(f, hw - a, hh - b, a, b, 0, 0);
    Wto(f, hw, hh - b, a, b, 2 * hw - a, 0);
    Wto(f, hw - a, hh, a, b, 0, h - b);
    Wto(f, hw, hh, a, b, w - a, h - b);
    if (a == hw && b == hh) f.W(0, 0, w, h);
  });
}

void QuartersOut(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height(), hw = w / 2, hh = h / 2;
  const int rw = w - hw, rh = h - hh;
  Quarters(f, [&](int a, int b) {
    f.Copy(snap, hw, b, hw - a, hh - b, hw + a, 0);
    Wto(f, rw, hh - b, hw, b, hw, hh - b);
    Wto(f, hw, 0, a, hh - b, hw, 0);

    f.Copy(snap, a, b, hw - a, hh - b, 0, 0);
    Wto(f, hw - a, 0, a, hh, hw - a, 0);
    Wto(f, 0, hh - b, hw - a, b, 0, hh - b);

    f.Copy(snap, a, rh, hw - a, hh - b, 0, hh + b);
    Wto(f, 0, rh, hw, b, 0, hh);
    Wto(f, hw - a, b + rh, a, hh - b, hw - a, hh + b);

    f.Copy(snap, rw, hh, hw - a, hh - b, hw + a, hh + b);
    Wto(f, rw, rh, hw, b, hw, hh);
    Wto(f, rw, b + rh, a, hh - b, hw, hh + b);
  });
  // With an odd width or height the right and bottom quarters are drawn one pixel off
  // and miss the last column or row; the picture must still stand whole at the end.
  if (!Empty(f)) f.W(0, 0, w, h);
}

void CombHorizontal(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, w, [&](int j) {
    for (int b = 0; b <= h / kStrip; ++b) {
      const int y = kStrip * b, band = std::min(kStrip, h - y);
      if (b % 2 == 0)
        Wto(f, w - j, y, j, band, 0, y);
      else
        Wto(f, 0, y, j, band, w - j, y);
    }
  });
}

void CombVertical(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, h, [&](int j) {
    for (int b = 0; b <= w / kStrip; ++b) {
      const int x = kStrip * b, band = std::min(kStrip, w - x);
      if (b % 2 == 0)
        Wto(f, x, h - j, band, j, x, 0);
      else
        Wto(f, x, 0, band, j, x, h - j);
    }
  });
}

void SlideInFromTop(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, h, [&](int j) { Wto(f, 0, h - j, w, j, 0, 0); });
}
void SlideInFromBottom(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, h, [&](int j) { Wto(f, 0, 0, w, j, 0, h - j); });
}
void SlideInFromRight(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, w, [&](int j) { Wto(f, 0, 0, j, h, w - j, 0); });
}
void SlideInFromLeft(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, w, [&](int j) { Wto(f, w - j, 0, j, h, 0, 0); });
}

void SlideInFromTopRight(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Diagonal(f, false, true, Ending::Overrun,
           [&](int a, int b) { Wto(f, 0, h - b, w - a, b, a, 0); });
}
void SlideInFromBottomRight(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Diagonal(f, false, false, Ending::AtEnds,
           [&](int a, int b) { Wto(f, 0, 0, w - a, h - b, a, b); });
}
void SlideInFromTopLeft(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, true, Ending::Overrun, [&](int a, int b) { Wto(f, w - a, h - b, a, b, 0, 0); });
}
void SlideInFromBottomLeft(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, false, Ending::Overrun,
           [&](int a, int b) { Wto(f, w - a, 0, a, h - b, 0, b); });
}

void UncoverDown(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 1, h, [&](int j) {
    f.Copy(snap, 0, 0, w, h - j, 0, j);
    f.W(0, j - 1, w, 1);
  });
}
void UncoverUp(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 1, h, [&](int j) {
    f.Copy(snap, 0, j, w, h - j, 0, 0);
    f.W(0, h - j, w, 1);
  });
}
void UncoverLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 1, w, [&](int j) {
    f.Copy(snap, j, 0, w - j, h, 0, 0);
    f.W(w - j, 0, 1, h);
  });
}
void UncoverRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 1, w, [&](int j) {
    f.Copy(snap, 0, 0, w - j, h, j, 0);
    f.W(j - 1, 0, 1, h);
  });
}

void UncoverDownLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, false, Ending::AtEnds, [&](int a, int b) {
    f.Copy(snap, a, 0, w - a, b, 0, h - b);
    f.W(0, 0, w, h - b);
    f.W(w - a, h - b, a, b);
  });
}
void UncoverUpLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, false, Ending::AtEnds, [&](int a, int b) {
    f.Copy(snap, a, h - b, w - a, b, 0, 0);
    f.W(w - a, 0, a, h);
    f.W(0, b, w - a, h - b);
  });
}
void UncoverDownRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, true, Ending::AtEnds, [&](int a, int b) {
    f.Copy(snap, 0, 0, w - a, h - b, a, b);
    f.W(0, 0, w, b);
    f.W(0, b, a, h - b);
  });
}
void UncoverUpRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, false, Ending::AtEnds, [&](int a, int b) {
    f.Copy(snap, 0, h - b, w - a, b, a, 0);
    f.W(0, b, w, h - b);
    f.W(0, 0, a, b);
  });
}

void PushDown(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, h, [&](int j) {
    Wto(f, 0, h - j, w, j, 0, 0);
    f.Copy(snap, 0, 0, w, h - j, 0, j);
  });
}
void PushUp(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, h, [&](int j) {
    Wto(f, 0, 0, w, j, 0, h - j);
    f.Copy(snap, 0, j, w, h - j, 0, 0);
  });
}
void PushLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, w, [&](int j) {
    Wto(f, 0, 0, j, h, w - j, 0);
    f.Copy(snap, j, 0, w - j, h, 0, 0);
  });
}
void PushRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Straight(f, 0, w, [&](int j) {
    Wto(f, w - j, 0, j, h, 0, 0);
    f.Copy(snap, 0, 0, w - j, h, j, 0);
  });
}

void PushFromTopRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, false, Ending::Overrun, [&](int a, int b) {
    Wto(f, 0, b, a, h - b, w - a, 0);
    f.Copy(snap, a, 0, w - a, h - b, 0, 0);
    f.Copy(snap, w - a, 0, a, b, w - a, h - b);
    f.Copy(snap, a, 0, w - a, b, 0, h - b);
  });
}
void PushFromBottomRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, false, Ending::Overrun, [&](int a, int b) {
    Wto(f, 0, 0, a, h - b, w - a, b);
    f.Copy(snap, a, h - b, w - a, b, 0, 0);
    f.Copy(snap, a, b, w - a, h - b, 0, b);
    f.Copy(snap, w - a, h - b, a, b, w - a, 0);
  });
}
void PushFromTopLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, true, Ending::Overrun, [&](int a, int b) {
    Wto(f, w - a, h - b, a, b, 0, 0);
    f.Copy(snap, 0, 0, w - a, h - b, a, b);
    f.Copy(snap, 0, 0, w - a, b, a, 0);
    f.Copy(snap, 0, 0, a, h - b, 0, b);
  });
}
void PushFromBottomLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height();
  Diagonal(f, true, true, Ending::Overrun, [&](int a, int b) {
    Wto(f, w - a, 0, a, b, 0, h - b);
    f.Copy(snap, 0, b, w - a, h - b, a, 0);
    f.Copy(snap, 0, b, a, h - b, 0, 0);
    f.Copy(snap, 0, h - b, w - a, b, a, h - b);
  });
}

void HalvesInVertical(EffectFrame& f) {
  const int w = f.Width(), h = f.Height(), hh = h / 2;
  Straight(f, 0, hh + 1, [&](int j) {
    Wto(f, 0, hh - j, w, j, 0, 0);
    Wto(f, 0, hh, w, j, 0, h - j);
  });
  if (!Empty(f)) f.W(0, 0, w, h);
}
void HalvesInHorizontal(EffectFrame& f) {
  const int w = f.Width(), h = f.Height(), hw = w / 2;
  Straight(f, 0, hw + 1, [&](int j) {
    Wto(f, hw - j, 0, j, h, 0, 0);
    Wto(f, hw, 0, j, h, w - j, 0);
  });
  if (!Empty(f)) f.W(0, 0, w, h);
}

void SplitOpenVertical(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height(), hh = h / 2, m = hh + 1;
  Straight(f, 0, m, [&](int j) {
    f.Copy(snap, 0, j, w, m - j, 0, 0);
    f.W(0, m - j, w, 1);
    if (h >= j + m) {
      const int e = h < 2 * m ? h - j - m : m - j;
      f.Copy(snap, 0, m, w, e, 0, j + m);
      f.W(0, hh + j, w, 1);
    }
  });
}
void SplitOpenHorizontal(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  const int w = f.Width(), h = f.Height(), hw = w / 2, m = hw + 1;
  Straight(f, 0, m, [&](int j) {
    f.Copy(snap, j, 0, m - j, h, 0, 0);
    f.W(m - j, 0, 1, h);
    if (w >= j + m) {
      const int e = w < 2 * m ? w - j - m : m - j;
      f.Copy(snap, m, 0, e, h, j + m, 0);
      f.W(hw + j, 0, 1, h);
    }
  });
}

void PushSnakeColumnsFromLeft(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  if (Empty(f)) return;
  for (int s = 0; s <= f.Width() / kStrip; ++s) PushColumn(f, snap, kStrip * s, s % 2 == 0, 10);
}
void PushSnakeRowsFromTop(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  if (Empty(f)) return;
  for (int s = 0; s <= f.Height() / kStrip; ++s) PushRow(f, snap, kStrip * s, s % 2 == 0, 10);
}
void PushSnakeColumnsFromRight(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  if (Empty(f)) return;
  const int w = f.Width();
  for (int s = 0; s <= w / kStrip + 1; ++s) PushColumn(f, snap, w - kStrip * s, s % 2 == 0, 9);
}
void PushSnakeRowsFromBottom(EffectFrame& f) {
  gfx::Surface snap = f.SnapshotOldScreen();
  if (Empty(f)) return;
  const int h = f.Height();
  for (int s = 0; s <= h / kStrip + 1; ++s) PushRow(f, snap, h - kStrip * s, s % 2 == 0, 10);
}

}  // namespace transitions
