// The random dissolves: cells, the order drawn from the generator, pacing, and the early
// end of the small blocks when the saver stops.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "recorder.h"
#include "transitions/effect_table.h"
#include "transitions/random_range.h"

namespace transitions {
namespace {

using testing::Recorder;
using testing::Stage;

using Rect = std::tuple<int, int, int, int>;

std::vector<Rect> CopiedRects(const Recorder& rec) {
  std::vector<Rect> out;
  for (const auto& s : rec.steps)
    if (!s.pace) out.emplace_back(s.sx, s.sy, s.w, s.h);
  return out;
}

// The order as the player picks it: a plain list in creation order, the k-th remaining
// element taken out every step.
std::vector<int> PlainOrder(int count, sys::Clock& clock) {
  RandomRange random(0, clock);
  std::vector<int> cells(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) cells[static_cast<size_t>(i)] = i;
  std::vector<int> order;
  while (!cells.empty()) {
    const auto n = static_cast<uint32_t>(cells.size());
    random.SetRange(0, n - 1);
    uint32_t k = random.Next();
    if (k > n - 1) k = 0;
    order.push_back(cells[k]);
    cells.erase(cells.begin() + k);
  }
  return order;
}

TEST(Dissolve, SmallBlocksCoverTenBySixInSixBlocksWithoutWaits) {
  Stage stage(30, 30);
  Recorder rec;
  stage.Show(5, 10, 6, 3, 4, 0, rec);
  EXPECT_EQ(stage.Mismatches(3, 4), 0);
  EXPECT_EQ(rec.Paces(), 0);
  const std::vector<Rect> got = CopiedRects(rec);
  const std::set<Rect> blocks(got.begin(), got.end());
  EXPECT_EQ(got.size(), 6u);
  EXPECT_EQ(
      blocks,
      (std::set<Rect>{
          {0, 0, 4, 4}, {0, 4, 4, 2}, {4, 0, 4, 4}, {4, 4, 4, 2}, {8, 0, 2, 4}, {8, 4, 2, 2}}));
}

TEST(Dissolve, BlocksOfSeventeenBySixteen) {
  Stage stage(30, 30);
  Recorder rec;
  stage.Show(6, 17, 16, 0, 0, 0, rec);
  EXPECT_EQ(stage.Mismatches(0, 0), 0);
  EXPECT_EQ(rec.Paces(), 6);
  EXPECT_EQ(rec.Copies(), 6);
  const std::vector<Rect> got = CopiedRects(rec);
  EXPECT_NE(std::find(got.begin(), got.end(), Rect{16, 8, 1, 8}), got.end());
  // A wait after every block.
  for (size_t i = 0; i < rec.steps.size(); ++i) EXPECT_EQ(rec.steps[i].pace, i % 2 == 1);
}

// The order must be the one the plain list gives for the same seed, cell by cell.
TEST(Dissolve, OrderFollowsTheGeneratorAsAPlainListWould) {
  struct Case {
    int32_t effect;
    int w, h;
  };
  for (const Case c : {Case{5, 37, 23}, Case{6, 70, 45}, Case{13, 9, 300}, Case{14, 500, 3}}) {
    Stage stage(c.w + 4, c.h + 4);
    Recorder rec;
    stage.Show(c.effect, c.w, c.h, 2, 2, 0, rec);
    EXPECT_EQ(stage.Mismatches(2, 2), 0) << c.effect;

    sys::VirtualClock clock;  // the same calendar seconds as the recorder's
    const int block = c.effect == 5 ? 4 : 8;
    const int rows = (c.h + block - 1) / block, cols = (c.w + block - 1) / block;
    const int count = c.effect == 13 ? c.h : c.effect == 14 ? c.w : rows * cols;
    std::vector<Rect> want;
    for (int i : PlainOrder(count, clock)) {
      if (c.effect == 13) {
        want.emplace_back(0, i, c.w, 1);
      } else if (c.effect == 14) {
        want.emplace_back(i, 0, 1, c.h);
      } else {
        const int x = block * (i / rows), y = block * (i % rows);
        want.emplace_back(x, y, std::min(block, c.w - x), std::min(block, c.h - y));
      }
    }
    EXPECT_EQ(CopiedRects(rec), want) << c.effect;
    EXPECT_EQ(rec.Paces(), c.effect == 5 ? 0 : count) << c.effect;
  }
}

TEST(Dissolve, ASingleCellIsTaken) {
  for (int32_t effect : {5, 6, 13, 14}) {
    Stage stage(5, 5);
    Recorder rec;
    stage.Show(effect, 1, 1, 2, 2, 0, rec);
    EXPECT_EQ(rec.Log(), effect == 5 ? "C(0,0,1,1)" : "C(0,0,1,1) P") << effect;
    EXPECT_EQ(stage.Mismatches(2, 2), 0);
  }
}

TEST(Dissolve, SmallBlocksEndAtOnceWhenTheSaverStops) {
  Stage stage(50, 50);
  Recorder rec;
  rec.stop.Set();
  stage.Show(5, 40, 40, 5, 5, 0, rec);
  EXPECT_EQ(rec.Copies(), 0);
  EXPECT_EQ(stage.Mismatches(5, 5), 40 * 40);

  Stage midway(50, 50);
  Recorder later;
  later.stopAfterCopies = 30;
  midway.Show(5, 40, 40, 5, 5, 0, later);
  EXPECT_EQ(later.Copies(), 30);
  EXPECT_EQ(midway.Mismatches(5, 5), 40 * 40 - 30 * 16);
}

TEST(Dissolve, PacedMembersDrawNothingMoreWhenTheSaverStops) {
  for (int32_t effect : {6, 13, 14}) {
    Stage stage(50, 50);
    Recorder rec;
    rec.stopAfterCopies = 3;
    stage.Show(effect, 33, 21, 5, 5, 0, rec);
    EXPECT_EQ(rec.Copies(), 3) << effect;
    EXPECT_GT(stage.Mismatches(5, 5), 0) << effect;
    EXPECT_EQ(rec.Waits(), 2) << effect;
  }
}

TEST(Dissolve, EmptyPicturesNeitherCopyNorWait) {
  for (int32_t effect : {5, 6, 13, 14})
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
      EXPECT_TRUE(rec.steps.empty()) << effect << " " << w << "x" << h;
    }
}

TEST(Dissolve, EveryMemberDrawsTheWholePictureAndClips) {
  for (int32_t effect : {5, 6, 13, 14}) {
    for (auto [w, h] : {std::pair{1, 7}, std::pair{7, 1}, std::pair{5, 5}, std::pair{17, 9},
                        std::pair{64, 48}, std::pair{65, 47}}) {
      Stage stage(w + 6, h + 6);
      Recorder rec;
      stage.Show(effect, w, h, 3, 3, 1000, rec);
      EXPECT_EQ(stage.Mismatches(3, 3), 0) << effect << " " << w << "x" << h;
      EXPECT_EQ(rec.Waits(), 0);
    }
    for (auto [x, y] : {std::pair{-7, -5}, std::pair{30, 20}}) {
      Stage stage(50, 40);
      Recorder rec;
      stage.Show(effect, 71, 53, x, y, 0, rec);
      EXPECT_EQ(stage.Mismatches(x, y), 0) << effect << " at " << x << "," << y;
    }
    EXPECT_NE(FindEffect(effect)->run, nullptr);
  }
}

}  // namespace
}  // namespace transitions
