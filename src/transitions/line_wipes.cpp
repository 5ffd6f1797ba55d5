#include "transitions/line_wipes.h"

#include <algorithm>

namespace transitions {

namespace {

constexpr int kBand = 8;

// The straight wipes neither copy nor wait for a picture without pixels.
bool Empty(const EffectFrame& f) { return f.Width() <= 0 || f.Height() <= 0; }

// The ring of the spiral walked on the picture as it is, or mirrored at its main diagonal
// (x and y swapped), which turns the clockwise order into the counter-clockwise one.
void Spiral(EffectFrame& f, bool mirrored) {
  const int w = mirrored ? f.Height() : f.Width();
  const int h = mirrored ? f.Width() : f.Height();
  auto W = [&](int x, int y, int cw, int ch) {
    if (mirrored)
      f.W(y, x, ch, cw);
    else
      f.W(x, y, cw, ch);
  };
  auto even = [](int v) { return (v & 1) == 0; };
  int left = 0, top = 0, right = w, bottom = h;
  for (;;) {
    for (int x = left; x < right; ++x) {
      W(x, top, 1, kBand);
      if (even(x)) f.Pace();
    }
    if (bottom >= top) {
      for (int y = top; y <= bottom; ++y) {
        W(right - kBand, y, kBand, 1);
        if (even(y)) f.Pace();
      }
    }
    if (right >= left) {
      for (int k = 0; k <= right - left; ++k) {
        W(right - k, bottom - kBand, 1, kBand);
        if (even(k)) f.Pace();
      }
    }
    if (bottom >= top) {
      for (int k = 0; k <= bottom - top; ++k) {
        W(left, bottom - k, kBand, 1);
        if (even(k)) f.Pace();
      }
    }
    const int oldWidth = right - left;
    left += kBand;
    top += kBand;
    right -= kBand;
    bottom -= kBand;
    if (oldWidth - 2 * kBand < 0 || bottom - top < 0) return;
  }
}

// Bands of 8 rows revealed from one side, each starting 8 steps after its neighbour.
void Stairs(EffectFrame& f, bool fromRight, bool bottomFirst) {
  const int w = f.Width(), h = f.Height();
  const int n = h / kBand + 1;
  for (int z = 0;; ++z) {
    for (int b = 0; b < n; ++b) {
      const int y = kBand * b;
      const int bandHeight = std::min(kBand, h - y);
      const int d = bottomFirst ? z - kBand * (n - b) : z - y;
      const bool shown = bottomFirst ? (d >= 0 && d <= w) : (d > 0 && d <= w);
      if (shown) f.W(fromRight ? w - d : 0, y, d, bandHeight);
    }
    if (z > kBand * n + w) return;
    f.Pace();
  }
}

// One 8-pixel strip of a snake, drawn line by line forwards or backwards; a wait after
// every tenth line, counted from the strip's first.
void SnakeColumn(EffectFrame& f, int x, bool downwards) {
  const int h = f.Height();
  for (int j = 0; j <= h; ++j) {
    f.W(x, downwards ? j : h - j, kBand, 1);
    if (j % 10 == 0) f.Pace();
  }
}
void SnakeRow(EffectFrame& f, int y, bool rightwards) {
  const int w = f.Width();
  for (int j = 0; j <= w; ++j) {
    f.W(rightwards ? j : w - j, y, 1, kBand);
    if (j % 10 == 0) f.Pace();
  }
}

}  // namespace

void BoxIn(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  for (int i = 0;; ++i) {
    f.W(i, i, w - 2 * i, 1);
    if (i >= 1) f.W(i, h - i, w - 2 * i, 1);
    f.W(i, i, 1, h - 2 * i);
    // The right and bottom lines trail the top and left ones by one step.
    if (i >= 1) f.W(w - i, i, 1, h - 2 * i + 1);
    if (h - 2 * i < 1 || w - 2 * i < 1) return;
    f.Pace();
  }
}

void BoxOut(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  const int hw = w / 2, hh = h / 2;
  int y = hh, x = hw, c = w - 2 * hw, r = w - hw;
  for (;;) {
    f.W(x, y, c, 1);
    if (y > 0) f.W(x, h - y, c, 1);
    f.W(x, y, 1, h - 2 * y);
    if (x > 0) {
      int g = h - 2 * y + 1;
      if (y + g > h) g = h - y;
      f.W(r, y, 1, g);
    }
    if (x == 0 && y == 0) return;
    f.Pace();
    if (x > 0) {
      --x;
      c += 2;
      ++r;
    }
    if (y > 0) --y;
  }
}

void BlindsHorizontal(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  for (int k = 0; k < 16; ++k) {
    for (int i = 0; i <= h / 16; ++i) {
      const int row = k + 16 * i;
      if (row < h) f.W(0, row, w, 1);
      f.Pace();  // also for the lines beyond the edge
    }
  }
}

void BlindsVertical(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  for (int k = 0; k < 16; ++k) {
    for (int i = 0; i <= w / 16; ++i) {
      const int col = k + 16 * i;
      if (col < w) f.W(col, 0, 1, h);
      f.Pace();
    }
  }
}

void WipeDown(EffectFrame& f) {
  if (Empty(f)) return;
  for (int j = 0; j < f.Height(); ++j) {
    f.W(0, j, f.Width(), 1);
    f.Pace();
  }
}

void WipeUp(EffectFrame& f) {
  if (Empty(f)) return;
  const int h = f.Height();
  for (int j = 1; j <= h; ++j) {
    f.W(0, h - j, f.Width(), 1);
    f.Pace();
  }
}

void WipeLeft(EffectFrame& f) {
  if (Empty(f)) return;
  const int w = f.Width();
  for (int j = 1; j <= w; ++j) {
    f.W(w - j, 0, 1, f.Height());
    f.Pace();
  }
}

void WipeRight(EffectFrame& f) {
  if (Empty(f)) return;
  for (int j = 0; j < f.Width(); ++j) {
    f.W(j, 0, 1, f.Height());
    f.Pace();
  }
}

// 49 to 52 test for the end after the step's wait, so the last step waits too.
void WipeToMiddleVertical(EffectFrame& f) {
  const int w = f.Width(), h = f.Height();
  for (int k = 0;; ++k) {
    if (k < h) f.W(0, k, w, 1);
    if (k >= 1) f.W(0, h - k, w, 1);
    f.Pace();
    if (h < 2 * k + 2) return;
  }
}

void WipeFromMiddleVertical(EffectFrame& f) {
  const int w = f.Width(), h = f.Height(), hh = h / 2;
  for (int k = 0;; ++k) {
    if (k <= hh) f.W(0, hh - k, w, 1);
    if (hh + k < h) f.W(0, hh + k, w, 1);
    f.Pace();
    if (h < 2 * k + 2) return;
  }
}

void WipeToMiddleHorizontal(EffectFrame& f) {
  const int w = f.Width(), h = f.Height(), hw = w / 2;
  for (int k = 0;; ++k) {
    if (k <= hw) f.W(k, 0, 1, h);
    if (k >= 1) f.W(w - k, 0, 1, h);
    f.Pace();
    if (w < 2 * k + 2) return;
  }
}

void WipeFromMiddleHorizontal(EffectFrame& f) {
  const int w = f.Width(), h = f.Height(), hw = w / 2;
  for (int k = 0;; ++k) {
    if (k >= 1) f.W(hw - k, 0, 1, h);
    if (k < hw) f.W(hw + k, 0, 1, h);
    f.Pace();
    if (w < 2 * k + 2) break;
  }
  // The outermost right column is never reached by the loop.
  f.W(0, 0, w, h);
}

void StairsRightTopFirst(EffectFrame& f) { Stairs(f, true, false); }
void StairsRightBottomFirst(EffectFrame& f) { Stairs(f, true, true); }
void StairsLeftTopFirst(EffectFrame& f) { Stairs(f, false, false); }
void StairsLeftBottomFirst(EffectFrame& f) { Stairs(f, false, true); }

// Strips are not cut at the edge; the copy primitive drops what lies outside.
void SnakeColumnsFromLeft(EffectFrame& f) {
  for (int s = 0; s <= f.Width() / kBand; ++s) SnakeColumn(f, kBand * s, s % 2 == 0);
}

void SnakeRowsFromTop(EffectFrame& f) {
  for (int s = 0; s <= f.Height() / kBand; ++s) SnakeRow(f, kBand * s, s % 2 == 0);
}

void SnakeColumnsFromRight(EffectFrame& f) {
  const int w = f.Width();
  for (int s = 0; s <= w / kBand + 1; ++s) SnakeColumn(f, w - kBand * s, s % 2 == 0);
}

void SnakeRowsFromBottom(EffectFrame& f) {
  const int h = f.Height();
  for (int s = 0; s <= h / kBand + 1; ++s) SnakeRow(f, h - kBand * s, s % 2 == 0);
}

void SpiralClockwise(EffectFrame& f) { Spiral(f, false); }
void SpiralCounterClockwise(EffectFrame& f) { Spiral(f, true); }

}  // namespace transitions
