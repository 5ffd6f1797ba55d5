#include "transitions/dissolves.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <vector>

#include "transitions/random_range.h"

namespace transitions {

namespace {

// The cells still to be drawn, by creation index. Each pick takes the k-th remaining
// cell in creation order, k drawn as the player always drew it; a Fenwick tree of the
// remaining cells finds it without moving the list up.
class CellPicker {
 public:
  // Null when the list cannot be held: the effect then draws nothing.
  static std::optional<CellPicker> Make(int64_t count, RandomRange& random) {
    if (count <= 0 || count > (int64_t{1} << 30)) return std::nullopt;
    try {
      return CellPicker(static_cast<int32_t>(count), random);
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
  }

  int32_t Remaining() const { return remaining_; }

  // Takes one cell out of the list and returns its creation index.
  int32_t Take() {
    const auto n = static_cast<uint32_t>(remaining_);
    random_->SetRange(0, n - 1);  // (0, 0) with one cell left: any draw, replaced by 0
    uint32_t k = random_->Next();
    if (k > n - 1) k = 0;
    // Walk down the tree to the cell with k remaining cells before it; the tree is padded
    // to a power of two, so the walk needs no bounds test and no branch.
    uint32_t pos = 0;
    auto rest = static_cast<int32_t>(k);
    for (uint32_t step = size_ / 2; step > 0; step >>= 1) {
      const int32_t v = tree_[pos + step];
      const bool right = v <= rest;
      pos += right ? step : 0;
      rest -= right ? v : 0;
    }
    for (uint32_t i = pos + 1; i <= size_; i += i & (0U - i)) --tree_[i];
    --remaining_;
    return static_cast<int32_t>(pos);
  }

 private:
  CellPicker(int32_t count, RandomRange& random) : random_(&random), remaining_(count) {
    while (size_ < static_cast<uint32_t>(count)) size_ <<= 1;
    tree_.assign(size_t{size_} + 1, 0);
    for (uint32_t i = 1; i <= size_; ++i) {
      if (i <= static_cast<uint32_t>(count)) tree_[i] += 1;
      const uint32_t parent = i + (i & (0U - i));
      if (parent <= size_) tree_[parent] += tree_[i];
    }
  }

  RandomRange* random_;
  std::vector<int32_t> tree_;  // 1-based; cells beyond the count hold 0
  uint32_t size_ = 1;
  int32_t remaining_;
};

int CeilDiv(int v, int c) { return v <= 0 ? 0 : (v + c - 1) / c; }

// Copies the picture to the screen in square blocks of `block` pixels, in a random order of
// the cells, which run column of blocks by column of blocks, top to bottom. After each block
// `next(f)` paces the effect; false stops it.
template <class Next>
void DissolveInBlocks(EffectFrame& f, int block, Next next) {
  RandomRange random(0, f.Clock());  // seeded from the calendar seconds
  const int w = f.Width(), h = f.Height();
  const int rows = CeilDiv(h, block), cols = CeilDiv(w, block);
  auto picker = CellPicker::Make(int64_t{rows} * cols, random);
  if (!picker) return;
  while (picker->Remaining() > 0) {
    const int32_t i = picker->Take();
    const int x = block * (i / rows), y = block * (i % rows);
    // Straight to the screen: scattered blocks gain nothing from being held back.
    f.Copy(f.Work(), x, y, std::min(block, w - x), std::min(block, h - y), x, y);
    if (!next(f)) return;
  }
}

}  // namespace

void DissolveSmallBlocks(EffectFrame& f) {
  // No waits here, so the stop is looked at after every block.
  DissolveInBlocks(f, 4, [](EffectFrame& e) { return !e.StopRequested(); });
}

void DissolveBlocks(EffectFrame& f) {
  DissolveInBlocks(f, 8, [](EffectFrame& e) {
    e.Pace();
    return true;
  });
}

void RandomRows(EffectFrame& f) {
  RandomRange random(0, f.Clock());  // seeded from the calendar seconds
  if (f.Width() <= 0) return;
  auto picker = CellPicker::Make(f.Height(), random);
  if (!picker) return;
  while (picker->Remaining() > 0) {
    f.W(0, picker->Take(), f.Width(), 1);
    f.Pace();
  }
}

void RandomColumns(EffectFrame& f) {
  RandomRange random(0, f.Clock());  // seeded from the calendar seconds
  if (f.Height() <= 0) return;
  auto picker = CellPicker::Make(f.Width(), random);
  if (!picker) return;
  while (picker->Remaining() > 0) {
    f.W(picker->Take(), 0, 1, f.Height());
    f.Pace();
  }
}

}  // namespace transitions
