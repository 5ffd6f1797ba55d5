#include "transitions/copy_batch.h"

namespace transitions {

namespace {

// How many boxes of one top row a new box is checked against; the rest of a crowded row
// waits for the merge on Flush.
constexpr int kScan = 16;
// Rows drawn together stay in the cache while every box crossing them is drawn.
constexpr int64_t kStripBytes = 256 * 1024;

bool FitsInt(int64_t v) {
  return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

}  // namespace

CopyBatch::CopyBatch(gfx::Canvas& screen, const gfx::Surface& work, CopySink* sink, int x0, int y0)
    : screen_(screen),
      work_(work),
      sink_(sink),
      x0_(x0),
      y0_(y0),
      workW_(work.Width()),
      workH_(work.Height()),
      headByTop_(static_cast<size_t>(std::max(work.Height(), 0)), -1) {}

// A box that no longer continues the latest copies: merged with a box of the same band
// (stairs grow each band by one pixel per step, interleaved with the other bands), or kept.
void CopyBatch::Close(const Box& n) {
  int& head = headByTop_[static_cast<size_t>(n.t)];
  int id = head;
  for (int k = 0; id >= 0 && k < kScan; ++k) {
    Box& o = boxes_[static_cast<size_t>(id)];
    if (o.t == n.t && Extend(o, n)) return;
    id = o.next;
  }
  if (head < 0) usedTops_.push_back(n.t);
  Box b = n;
  b.next = head;
  head = static_cast<int>(boxes_.size());
  boxes_.push_back(b);
}

// Boxes that touch along a shared band become one, first along rows, then along columns,
// until nothing merges any more (a finished column strip joins the strip beside it).
void CopyBatch::MergeBands() {
  auto merge = [this](auto sameBand, auto touches, auto grow) {
    size_t k = 0;
    for (const Box& b : boxes_) {
      if (k > 0 && sameBand(boxes_[k - 1], b) && touches(boxes_[k - 1], b))
        grow(boxes_[k - 1], b);
      else
        boxes_[k++] = b;
    }
    boxes_.resize(k);
  };
  for (int pass = 0; pass < 8; ++pass) {
    const size_t before = boxes_.size();
    std::sort(boxes_.begin(), boxes_.end(), [](const Box& a, const Box& b) {
      return a.t != b.t ? a.t < b.t : a.b != b.b ? a.b < b.b : a.l < b.l;
    });
    merge([](const Box& a, const Box& b) { return a.t == b.t && a.b == b.b; },
          [](const Box& a, const Box& b) { return b.l <= a.r; },
          [](Box& a, const Box& b) { a.r = std::max(a.r, b.r); });
    std::sort(boxes_.begin(), boxes_.end(), [](const Box& a, const Box& b) {
      return a.l != b.l ? a.l < b.l : a.r != b.r ? a.r < b.r : a.t < b.t;
    });
    merge([](const Box& a, const Box& b) { return a.l == b.l && a.r == b.r; },
          [](const Box& a, const Box& b) { return b.t <= a.b; },
          [](Box& a, const Box& b) { a.b = std::max(a.b, b.b); });
    if (boxes_.size() == before) break;
  }
}

void CopyBatch::Flush() {
  if (hasOpen_) {
    if (boxes_.empty())
      boxes_.push_back(open_);
    else
      Close(open_);
    open_ = kNone;
    hasOpen_ = false;
  }
  if (boxes_.empty()) return;
  if (boxes_.size() > 1) MergeBands();
  Draw();
  boxes_.clear();
  for (int t : usedTops_) headByTop_[static_cast<size_t>(t)] = -1;
  usedTops_.clear();
}

void CopyBatch::Draw() {
  if (sink_) {
    std::sort(boxes_.begin(), boxes_.end(),
              [](const Box& a, const Box& b) { return a.t != b.t ? a.t < b.t : a.l < b.l; });
    for (const Box& b : boxes_) {
      const int64_t dx = int64_t{x0_} + b.l, dy = int64_t{y0_} + b.t;
      if (!FitsInt(dx) || !FitsInt(dy)) continue;  // off every screen
      sink_->Copy(screen_, work_, b.l, b.t, b.r - b.l, b.b - b.t, static_cast<int>(dx),
                  static_cast<int>(dy));
    }
    return;
  }

  // Into screen coordinates; what lies off the screen is left out of the strips, and the
  // canvas clips the rest.
  const gfx::Rect screenRect{0, 0, screen_.Width(), screen_.Height()};
  placed_.clear();
  gfx::Rect bounds{};
  for (const Box& b : boxes_) {
    const int64_t l = int64_t{x0_} + b.l, t = int64_t{y0_} + b.t;
    const int64_t r = int64_t{x0_} + b.r, bo = int64_t{y0_} + b.b;
    if (!FitsInt(l) || !FitsInt(t) || !FitsInt(r) || !FitsInt(bo)) continue;  // off every screen
    const Box c{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(bo),
                -1};
    const gfx::Rect seen = gfx::Intersect(gfx::Rect{c.l, c.t, c.r, c.b}, screenRect);
    if (seen.IsEmpty()) continue;
    placed_.push_back(c);
    bounds = gfx::Union(bounds, seen);
  }
  if (placed_.empty()) return;

  // Rows t..b of a box (screen coordinates).
  auto copyRows = [&](const Box& c, int t, int b) {
    screen_.CopyRect(c.l, t, c.r - c.l, b - t, work_, c.l - x0_, t - y0_);
  };
  if (placed_.size() == 1) {
    copyRows(placed_.front(), placed_.front().t, placed_.front().b);
    return;
  }
  std::sort(placed_.begin(), placed_.end(), [](const Box& a, const Box& b) { return a.l < b.l; });
  const int64_t rowBytes =
      std::max<int64_t>(int64_t{bounds.Width()} * 2 * int64_t{sizeof(gfx::Pixel)}, 1);
  const int strip = static_cast<int>(std::clamp<int64_t>(kStripBytes / rowBytes, 4, 256));
  for (int s0 = bounds.top; s0 < bounds.bottom; s0 += strip) {
    const int s1 = std::min(s0 + strip, bounds.bottom);
    // Boxes crossing the whole strip join into runs; the few that start or end inside it
    // are copied on their own.
    runs_.clear();
    for (const Box& c : placed_) {
      if (c.b <= s0 || c.t >= s1) continue;
      if (c.t <= s0 && c.b >= s1) {
        if (!runs_.empty() && c.l <= runs_.back().r)
          runs_.back().r = std::max(runs_.back().r, c.r);
        else
          runs_.push_back(c);
      } else {
        copyRows(c, std::max(c.t, s0), std::min(c.b, s1));
      }
    }
    for (const Box& run : runs_) copyRows(run, s0, s1);
  }
}

}  // namespace transitions
