#include "transitions/pattern_wipes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <vector>

namespace transitions {

namespace {

constexpr int kSmallCell = 16;
constexpr int kLargeCell = 40;

// Truncation toward zero of a float product, kept inside the int range (the products
// never leave the picture's few thousand pixels, but a NaN or an edge case must not be
// undefined behaviour).
int Trunc(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483520.0F) return 2147483520;
  if (v <= -2147483520.0F) return -2147483520;
  return static_cast<int>(v);
}

int CeilDiv(int v, int c) { return v <= 0 ? 0 : (v + c - 1) / c; }

// Cells of the grid are numbered j = 0 ... rows x cols - 1. An odd count along the
// numbering makes cells of even and odd j form a checkerboard; cells beyond the picture
// still take part (and wait) but draw nothing.
struct Grid {
  int rows, cols;
  int Cells() const { return rows * cols; }
};
Grid MakeGrid(const EffectFrame& f, int cell, bool oddOnRows) {
  Grid g{CeilDiv(f.Height(), cell), CeilDiv(f.Width(), cell)};
  if ((oddOnRows ? g.rows : g.cols) % 2 == 0) {
    ++g.rows;
    ++g.cols;
  }
  return g;
}

// Columns or rows of the 16-pixel cells filled from their left (top) edge, one line per
// sub-step, first the cells of even j, then those of odd j.
void Checker(EffectFrame& f, bool rowsFirst) {
  const int w = f.Width(), h = f.Height();
  const Grid g = MakeGrid(f, kSmallCell, rowsFirst);
  for (int p = 0; p < 2; ++p)
    for (int k = 0; k < kSmallCell; ++k)
      for (int j = p; j < g.Cells(); j += 2) {
        if (!rowsFirst) {
          const int x = kSmallCell * (j % g.cols), y = kSmallCell * (j / g.cols);
          if (x + k < w && y < h) f.W(x + k, y, 1, std::min(kSmallCell, h - y));
        } else {
          const int x = kSmallCell * (j / g.rows), y = kSmallCell * (j % g.rows);
          if (y + k < h && x < w) f.W(x, y + k, std::min(kSmallCell, w - x), 1);
        }
        f.Pace();
      }
}

// Every other line of every cell, the cells of neighbouring rows (or of a chessboard
// colour) one line apart; the second pass fills the lines between.
void Stagger(EffectFrame& f, bool rowLines) {
  const int w = f.Width(), h = f.Height();
  const Grid g = MakeGrid(f, kSmallCell, false);
  for (int p = 0; p < 2; ++p)
    for (int k = 0; k < kSmallCell; k += 2)
      for (int j = 0; j < g.Cells(); ++j) {
        const int col = j % g.cols, row = j / g.cols;
        const int x = kSmallCell * col, y = kSmallCell * row;
        if (!rowLines) {
          const int e = row % 2 == 0 ? p : 1 - p;
          if (x + k < w && y < h && x + k + e < w)
            f.W(x + k + e, y, 1, std::min(kSmallCell, h - y));
        } else {
          const int e = (col + row) % 2 == 0 ? p : 1 - p;
          if (x < w && y + k < h && y + k + e < h)
            f.W(x, y + k + e, std::min(kSmallCell, w - x), 1);
        }
        f.Pace();
      }
}

float Ratio(const EffectFrame& f) {
  return static_cast<float>(f.Width()) / static_cast<float>(f.Height());
}

// Two triangles from opposite corners, each step redrawing them one row longer.
void Triangles(EffectFrame& f, bool fromBottomLeft) {
  const int w = f.Width(), h = f.Height();
  if (w > 0 && h > 0) {
    const float r = Ratio(f);
    for (int i = 0; i <= h; ++i) {
      for (int z = 0; z <= i && z < h; ++z) {
        const int d = Trunc(static_cast<float>(i - z) * r);
        if (fromBottomLeft) {
          f.W(0, h - 1 - z, d, 1);
          f.W(w - d, z, d, 1);
        } else {
          f.W(w - d, h - 1 - z, d, 1);
          f.W(0, z, d, 1);
        }
      }
      f.Pace();
    }
  }
  // The rounded row lengths can leave pixels along the diagonal.
  f.W(0, 0, w, h);
}

// A band along a diagonal that widens by one pixel a step; it waits every 15th step, at
// half the speed.
void Band(EffectFrame& f, bool anti) {
  const int w = f.Width(), h = f.Height();
  if (w <= 0 || h <= 0) return;
  const float r = Ratio(f);
  const float reach = static_cast<float>(h) * r;
  for (int s = 0;; ++s) {
    for (int y = anti ? 1 : 0; anti ? y <= h : y < h; ++y) {
      const int left = Trunc(static_cast<float>(y) * r) - s / 2;
      const int width = left + s > w ? w - left : s;
      f.W(left, anti ? h - y : y, width, 1);
    }
    if (s % 15 == 0) f.Pace(static_cast<uint32_t>(f.Speed() / 2), 1000.0);
    if (!(reach - static_cast<float>(s / 2) > 0.0F || w >= s)) return;
  }
}

// Two wedges from opposite corners, each at last half the width.
void Wedges(EffectFrame& f, bool fromTop) {
  const int w = f.Width(), h = f.Height();
  if (w <= 0 || h <= 0) return;
  for (int i = 0; i <= w; ++i) {
    const float q = static_cast<float>(i) / static_cast<float>(h);
    for (int z = 0; z <= h; ++z) {
      const int d = i == w ? w / 2 : Trunc(static_cast<float>(z) * q);
      f.W(0, fromTop ? z : h - z, d, 1);
      f.W(w - d, fromTop ? h - z : z, d, 1);
    }
    f.Pace();
  }
  if (w % 2 == 1 && h % 2 == 1) f.W(w / 2 - 1, h / 2 - 5, 3, 11);
  // The slanted edges of the last full step miss pixels of an odd width's middle column
  // (the patch covers only eleven rows of it, and only for odd heights).
  if (w % 2 == 1) f.W(w / 2, 0, 1, h);
}

void PaceTwiceSpeed(EffectFrame& f, int times) {
  for (int n = 0; n < times; ++n) f.Pace(static_cast<uint32_t>(f.Speed()) * 2U, 3000.0);
}

// Rolls: a band in which the picture stands mirrored travels along one axis and leaves
// the picture in place behind it. Positions z count from the band's starting edge;
// `reversed` starts at the far edge (z maps to n - z), `twoBands` adds the band from the
// far edge that meets the first at the middle.
struct Roll {
  bool rows;  // rows travel (down or up); else columns
  bool reversed;
  bool twoBands;
  int lastStep;     // steps l = 0 ... lastStep
  int mirrorLimit;  // mirrored lines only for z below this
  int endLine;      // the last z drawn in place
  int paceEvery;    // wait every n-th line; 0: one wait per step with the rolls' scale
};

// What a roll has drawn since the last wait that lets the screen be seen: for each line,
// the work picture's line it shows last. Every copy of a roll is a whole line, so the
// screen at a wait depends only on that; drawing it then spares the band's lines that the
// next steps draw over before anyone sees them. Runs of lines in place, and mirrored runs
// (source falling by one as the line rises by one), are drawn as one rectangle each.
class RollLines {
 public:
  RollLines(EffectFrame& f, bool rows, int band)
      : f_(f),
        rows_(rows),
        n_(rows ? f.Height() : f.Width()),
        latest_(static_cast<size_t>(n_), -1) {
    if (rows) return;  // rows copy fast one by one
    try {
      scratch_ = gfx::Surface(std::max(band, 1), f.Height());
    } catch (const std::exception&) {  // too large: column by column
      scratch_ = gfx::Surface();
    }
  }

  // Line `at` shows the work picture's line `src` (nothing happens for a line outside).
  void Set(int at, int src) {
    if (at < 0 || at >= n_ || src < 0 || src >= n_) return;
    latest_[static_cast<size_t>(at)] = src;
    lo_ = std::min(lo_, at);
    hi_ = std::max(hi_, at);
  }

  void Wait(uint32_t speed, double scale) {
    // Only a wait that really waits shows the screen.
    if (scale - static_cast<double>(speed) > 0.0 && !f_.StopRequested()) Draw();
    f_.Pace(speed, scale);
  }

  void Draw() {
    for (int at = lo_; at <= hi_;) {
      const int src = latest_[static_cast<size_t>(at)];
      if (src < 0) {
        ++at;
        continue;
      }
      // The longest run from here: in place, or mirrored.
      int len = 1;
      const bool inPlace = src == at;
      while (at + len <= hi_) {
        const int next = latest_[static_cast<size_t>(at + len)];
        if (next < 0 || (inPlace ? next != at + len : next != src - len)) break;
        ++len;
      }
      if (!inPlace && !rows_ && len > scratch_.Width()) len = std::max(scratch_.Width(), 1);
      Line(at, src, len, inPlace);
      for (int i = 0; i < len; ++i) latest_[static_cast<size_t>(at + i)] = -1;
      at += len;
    }
    lo_ = n_;
    hi_ = -1;
  }

 private:
  void Line(int at, int src, int len, bool inPlace) {
    const int w = f_.Width(), h = f_.Height();
    if (inPlace) {
      if (rows_)
        f_.W(0, at, w, len);
      else
        f_.W(at, 0, len, h);
    } else if (rows_) {
      for (int i = 0; i < len; ++i) f_.Copy(f_.Work(), 0, src - i, w, 1, 0, at + i);
    } else if (scratch_.Width() < len) {
      for (int i = 0; i < len; ++i) f_.Copy(f_.Work(), src - i, 0, 1, h, at + i, 0);
    } else {
      const gfx::Surface& work = f_.Work();
      const int height = std::min(scratch_.Height(), work.Height());
      for (int y = 0; y < height; ++y) {
        const gfx::Pixel* from = work.Row(y) + src;
        gfx::Pixel* to = scratch_.Row(y);
        for (int i = 0; i < len; ++i) to[i] = from[-i];
      }
      f_.Copy(scratch_, 0, 0, len, height, at, 0);
    }
  }

  EffectFrame& f_;
  bool rows_;
  int n_;
  std::vector<int> latest_;  // -1: nothing new
  int lo_ = INT32_MAX, hi_ = -1;
  gfx::Surface scratch_;
};

void RunRoll(EffectFrame& f, const Roll& roll, int n) {
  const int band = static_cast<int>(static_cast<double>(n) * 0.1);
  const double stepScale = ((1100 - f.Speed()) / 1000 + 2) * 1000.0;
  RollLines lines(f, roll.rows, band);
  auto line = [&](int z, int src) {
    lines.Set(roll.reversed ? n - z : z, roll.reversed ? n - src : src);
    if (roll.twoBands) lines.Set(n - z, n - src);
  };
  int last = 0, drawn = -1;
  long long count = 0;
  for (int l = 0; l <= roll.lastStep; ++l) {
    const int s = std::max(l - band, 0);
    for (int z = last; z < l; ++z) {
      if (z <= s) {
        line(z, z);
        last = drawn = z;
      } else if (z < roll.mirrorLimit) {
        line(z, s + l - z);
      }
      ++count;
      if (roll.paceEvery > 0 && count % roll.paceEvery == 0)
        lines.Wait(static_cast<uint32_t>(f.Speed()), 1000.0);
    }
    if (roll.paceEvery == 0) lines.Wait(static_cast<uint32_t>(f.Speed()), stepScale);
  }
  // Without a band (fewer than 10 lines) the steps end one line short of the far edge.
  for (int z = drawn + 1; z <= roll.endLine; ++z) line(z, z);
  lines.Draw();
}

void RollAlong(EffectFrame& f, bool rows, bool reversed) {
  const int n = rows ? f.Height() : f.Width();
  if (f.Width() <= 0 || f.Height() <= 0) return;
  const int band = static_cast<int>(static_cast<double>(n) * 0.1);
  // Starting from the far edge, the first line is n itself, just outside: one more step.
  const Roll roll{.rows = rows,
                  .reversed = reversed,
                  .twoBands = false,
                  .lastStep = band + n - 1 + (reversed ? 1 : 0),
                  .mirrorLimit = n,
                  .endLine = reversed ? n : n - 1,
                  .paceEvery = rows ? 0 : 75};
  RunRoll(f, roll, n);
}

void RollIn(EffectFrame& f, bool rows) {
  const int n = rows ? f.Height() : f.Width();
  if (f.Width() <= 0 || f.Height() <= 0) return;
  const int band = static_cast<int>(static_cast<double>(n) * 0.1);
  const Roll roll{.rows = rows,
                  .reversed = false,
                  .twoBands = true,
                  .lastStep = band + n / 2,
                  .mirrorLimit = n / 2,
                  .endLine = n / 2,
                  .paceEvery = rows ? 0 : 50};
  RunRoll(f, roll, n);
}

}  // namespace

void CheckerColumns(EffectFrame& f) { Checker(f, false); }
void CheckerRows(EffectFrame& f) { Checker(f, true); }
void StaggerColumns(EffectFrame& f) { Stagger(f, false); }
void StaggerRows(EffectFrame& f) { Stagger(f, true); }

void TrianglesBottomLeftTopRight(EffectFrame& f) { Triangles(f, true); }
void TrianglesTopLeftBottomRight(EffectFrame& f) { Triangles(f, false); }
void DiagonalBand(EffectFrame& f) { Band(f, false); }
void AntiDiagonalBand(EffectFrame& f) { Band(f, true); }
void WedgesFromTop(EffectFrame& f) { Wedges(f, true); }
void WedgesFromBottom(EffectFrame& f) { Wedges(f, false); }

void GrowingSquares(EffectFrame& f) {
  const Grid g = MakeGrid(f, kLargeCell, false);
  for (int t = 0; t <= kLargeCell / 2; ++t) {
    for (int j = 0; j < g.Cells(); ++j) {
      const int cx = kLargeCell * (j % g.cols), cy = kLargeCell * (j / g.cols);
      f.W(cx + 20 - t, cy + 20 - t, 2 * t, 2 * t);
    }
    PaceTwiceSpeed(f, 5);
  }
}

void ShrinkingFrames(EffectFrame& f) {
  const Grid g = MakeGrid(f, kLargeCell, false);
  for (int t = kLargeCell / 2; t >= 0; --t) {
    for (int j = 0; j < g.Cells(); ++j) {
      const int x = kLargeCell * (j % g.cols) + 20 - t, y = kLargeCell * (j / g.cols) + 20 - t;
      f.W(x, y, 2 * t, 1);
      f.W(x, y + 2 * t, 2 * t, 1);
      f.W(x, y, 1, 2 * t);
      f.W(x + 2 * t, y, 1, 2 * t + 1);
    }
    PaceTwiceSpeed(f, 5);
  }
}

void CellDiagonals(EffectFrame& f) {
  const Grid g = MakeGrid(f, kLargeCell, false);
  for (int t = 0; t <= 2 * kLargeCell; ++t) {
    for (int j = 0; j < g.Cells(); ++j) {
      const int cx = kLargeCell * (j % g.cols), cy = kLargeCell * (j / g.cols);
      for (int k = 0; k < t; ++k)
        f.W(cx, cy + std::min(k, kLargeCell), std::min(kLargeCell, t - k), 1);
    }
    for (int n = 0; n < 3; ++n) f.Pace();
  }
}

void RollRight(EffectFrame& f) { RollAlong(f, false, false); }
void RollLeft(EffectFrame& f) { RollAlong(f, false, true); }
void RollDown(EffectFrame& f) { RollAlong(f, true, false); }
void RollUp(EffectFrame& f) { RollAlong(f, true, true); }
void RollInHorizontal(EffectFrame& f) { RollIn(f, false); }
void RollInVertical(EffectFrame& f) { RollIn(f, true); }

}  // namespace transitions
