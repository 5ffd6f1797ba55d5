#pragma once
// Copies of the work picture to the same place on the screen, held back while nothing can
// see the screen (no pacing wait between them) and drawn together on Flush. They all map
// the work picture the same way, so their order does not matter: copies that touch along
// a shared band merge into one rectangle, and the rest is drawn strip by strip, row by
// row, instead of one narrow column at a time.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/gfx/canvas.h"
#include "transitions/copy_sink.h"

namespace transitions {

class CopyBatch {
 public:
  // The work picture's (0, 0) lies at (x0, y0) on the screen. `sink` null: draw straight
  // onto the screen; else the merged copies go to the sink.
  CopyBatch(gfx::Canvas& screen, const gfx::Surface& work, CopySink* sink, int x0, int y0);

  // The work picture's (sx, sy, cw, ch), clipped to the work picture, to the same place.
  void Push(int sx, int sy, int cw, int ch) {
    if (cw <= 0 || ch <= 0) return;
    const int64_t l = std::max(sx, 0), t = std::max(sy, 0);
    const int64_t r = std::min<int64_t>(int64_t{sx} + cw, workW_);
    const int64_t b = std::min<int64_t>(int64_t{sy} + ch, workH_);
    if (l >= r || t >= b) return;
    const Box n{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b),
                -1};
    // Most copies continue the previous one (a line of a band), or grow the latest box
    // of their top row (the stairs' bands, each one pixel wider per step).
    if (Extend(open_, n)) return;  // never true while no box is open
    const int head = headByTop_[static_cast<size_t>(n.t)];
    if (head >= 0 && Extend(boxes_[static_cast<size_t>(head)], n)) return;
    if (hasOpen_) Close(open_);
    open_ = n;
    hasOpen_ = true;
  }

  void Flush();
  bool Empty() const { return !hasOpen_ && boxes_.empty(); }

 private:
  struct Box {
    int l, t, r, b;
    int next;  // next box with the same top row
  };

  // Grows `o` to hold `n` when their union is a rectangle along a shared band, or when
  // `o` already holds it.
  static bool Extend(Box& o, const Box& n) {
    if (n.t == o.t && n.b == o.b && n.l <= o.r && n.r >= o.l) {
      o.l = std::min(o.l, n.l);
      o.r = std::max(o.r, n.r);
      return true;
    }
    if (n.l == o.l && n.r == o.r && n.t <= o.b && n.b >= o.t) {
      o.t = std::min(o.t, n.t);
      o.b = std::max(o.b, n.b);
      return true;
    }
    return n.l >= o.l && n.r <= o.r && n.t >= o.t && n.b <= o.b;
  }

  void Close(const Box& n);
  void MergeBands();
  void Draw();

  gfx::Canvas& screen_;
  const gfx::Surface& work_;
  CopySink* sink_;
  int x0_, y0_;
  int workW_, workH_;

  static constexpr Box kNone{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
                             std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), -1};
  Box open_ = kNone;
  bool hasOpen_ = false;
  std::vector<Box> boxes_;
  std::vector<int> headByTop_;  // first box of each top row, -1 for none
  std::vector<int> usedTops_;
  std::vector<Box> placed_, runs_;
};

}  // namespace transitions
