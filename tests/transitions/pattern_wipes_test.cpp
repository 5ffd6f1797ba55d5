// Step order and pacing of the pattern wipes, and that each leaves exactly the picture
// on screen.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "recorder.h"
#include "transitions/effect_table.h"

namespace transitions {
namespace {

using testing::Recorder;
using testing::Stage;

constexpr int32_t kFamily[] = {17, 18, 19, 20, 61, 62, 63, 64, 77, 78,
                               79, 80, 81, 82, 83, 84, 85, 86, 87};

std::string Play(int32_t effect, int w, int h, Recorder& rec, int32_t speed = 0) {
  Stage stage(w + 20, h + 20);
  stage.Show(effect, w, h, 10, 10, speed, rec);
  EXPECT_EQ(stage.Mismatches(10, 10), 0) << "effect " << effect << " " << w << "x" << h;
  return rec.Log();
}

bool EndsWith(const std::string& log, const std::string& tail) {
  return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Checker, ColumnsOnAnEvenColumnCountGrowTheGrid) {
  Recorder rec;
  const std::string log = Play(17, 32, 16, rec);
  // Grid 3 x 2: cells 0, 2, 4 first; 2 and 4 lie outside but still wait.
  EXPECT_EQ(log.rfind("C(0,0,1,16) P P P C(1,0,1,16) P P P", 0), 0u) << log;
  EXPECT_EQ(rec.Paces(), 2 * 16 * 3);
  EXPECT_EQ(rec.Copies(), 32);
  // The second colour: cell 1 at x = 16 only.
  EXPECT_TRUE(EndsWith(log, "C(31,0,1,16) P P P")) << log;
}

TEST(Checker, RowsOnAnOddRowCountKeepTheGrid) {
  Recorder rec;
  const std::string log = Play(18, 10, 48, rec);
  // Three rows, one column: cells 0 and 2, then cell 1.
  EXPECT_EQ(rec.Paces(), 16 * 2 + 16 * 1);
  EXPECT_EQ(log.rfind("C(0,0,10,1) P C(0,32,10,1) P C(0,1,10,1) P", 0), 0u) << log;
  EXPECT_TRUE(EndsWith(log, "C(0,31,10,1) P")) << log;
}

TEST(Stagger, RowsOfCellsStartOneLineApart) {
  Recorder rec;
  const std::string log = Play(19, 20, 20, rec);
  // Grid 3 x 3 (cols 2 made odd); first sub-step: row 0 at x + 0, row 1 at x + 1.
  EXPECT_EQ(log.rfind("C(0,0,1,16) P C(16,0,1,16) P P C(1,16,1,4) P C(17,16,1,4) P P P P P", 0), 0u)
      << log;
  EXPECT_EQ(rec.Paces(), 2 * 8 * 9);
}

TEST(Stagger, RowsFollowTheChessboardColour) {
  Recorder rec;
  const std::string log = Play(20, 20, 20, rec);
  EXPECT_EQ(log.rfind("C(0,0,16,1) P C(16,1,4,1) P P C(0,17,16,1) P C(16,16,4,1) P", 0), 0u) << log;
}

TEST(Diagonals, TrianglesEndWithTheWholePicture) {
  for (int32_t effect : {61, 63}) {
    Recorder rec;
    const std::string log = Play(effect, 12, 5, rec);
    EXPECT_TRUE(EndsWith(log, "P C(0,0,12,5)")) << log;
    EXPECT_EQ(rec.Paces(), 6) << effect;  // steps i = 0 ... h
  }
  Recorder rec;
  const std::string log = Play(61, 4, 4, rec);
  // Step 1: row 3 from the left, row 0 from the right, one pixel each.
  EXPECT_EQ(log.rfind("P C(0,3,1,1) C(3,0,1,1) P C(0,3,2,2)", 0), std::string::npos) << log;
  EXPECT_EQ(log.rfind("P C(0,3,1,1) C(3,0,1,1) P C(0,3,2,1) C(2,0,2,1) C(0,2,1,1) C(3,1,1,1) P", 0),
            0u)
      << log;
}

TEST(Diagonals, BandsWaitEveryFifteenthStepAtHalfSpeed) {
  for (int32_t effect : {62, 64}) {
    Recorder rec;
    Play(effect, 40, 20, rec, 900);
    ASSERT_GT(rec.Paces(), 0);
    for (const auto& s : rec.steps)
      if (s.pace) {
        EXPECT_EQ(s.speed, 450u);
        EXPECT_EQ(s.scale, 1000.0);
      }
    // Steps s = 0 ... 80 (40 rows wide, 2 * 40 reach), waits at 0, 15, ..., 75.
    EXPECT_EQ(rec.Paces(), 6) << effect;
  }
  Recorder rec;
  const std::string log = Play(62, 4, 2, rec);
  // Step 0 draws nothing; step 1 one pixel per row on the diagonal; step 2 starts left
  // of the picture in row 0.
  EXPECT_EQ(log.rfind("P C(0,0,1,1) C(2,1,1,1) C(0,0,1,1) C(1,1,2,1) C(0,0,2,1)", 0), 0u) << log;
  Recorder anti;
  const std::string antiLog = Play(64, 4, 2, anti);
  // Rows from the bottom: y = 1 is row 1 at x 2, y = 2 is row 0 at x 4 (outside).
  EXPECT_EQ(antiLog.rfind("P C(2,1,1,1) C(1,1,2,1) C(3,0,1,1)", 0), 0u) << antiLog;
}

TEST(Wedges, OddSizesGetTheMiddlePatch) {
  Recorder rec;
  const std::string log = Play(77, 9, 7, rec);
  EXPECT_EQ(rec.Paces(), 10);  // i = 0 ... w
  // The last step: 4 columns from each side for every row, then the patch clipped to
  // rows 0 to 6 of columns 3 to 5.
  // The mirror's row for z = h lies below the picture. The middle column follows.
  EXPECT_TRUE(EndsWith(log, "C(0,6,4,1) C(5,1,4,1) C(5,0,4,1) P C(3,0,3,7) C(4,0,1,7)")) << log;
  Recorder even;
  const std::string evenLog = Play(78, 10, 7, even);
  EXPECT_TRUE(EndsWith(evenLog, "C(0,1,5,1) C(5,6,5,1) C(0,0,5,1) P")) << evenLog;
  // Odd width, even height: no patch, but the middle column all the same.
  Recorder tall;
  EXPECT_TRUE(EndsWith(Play(77, 3, 40, tall), "P C(1,0,1,40)")) << tall.Log();
}

TEST(Cells, GrowingSquaresWaitFiveTimesAStepAtDoubleSpeed) {
  Recorder rec;
  const std::string log = Play(79, 90, 30, rec, 1000);
  EXPECT_EQ(rec.Paces(), 21 * 5);
  EXPECT_EQ(rec.Waits(), 21 * 5);  // about 10 ms each
  for (const auto& s : rec.steps)
    if (s.pace) {
      EXPECT_EQ(s.speed, 2000u);
      EXPECT_EQ(s.scale, 3000.0);
    }
  // Grid 3 x 1: step 0 draws nothing, then squares grow at the cells' centres (the third
  // lies beyond the picture).
  EXPECT_EQ(
      log.rfind("P P P P P C(19,19,2,2) C(59,19,2,2) P P P P P C(18,18,4,4) C(58,18,4,4) P", 0), 0u)
      << log;
}

TEST(Cells, FramesAndDiagonalsPaceAsTheirRowsSay) {
  Recorder frames;
  Play(80, 41, 41, frames, 0);
  EXPECT_EQ(frames.Paces(), 21 * 5);
  // The last step: only the centre pixel of each cell (one of them inside the picture).
  EXPECT_TRUE(EndsWith(frames.Log(), "P C(20,20,1,1) P P P P P")) << frames.Log();
  Recorder diag;
  Play(81, 41, 41, diag, 0);
  EXPECT_EQ(diag.Paces(), 81 * 3);
  for (const auto& s : diag.steps)
    if (s.pace) {
      EXPECT_EQ(s.scale, 1000.0);
    }
}

TEST(Cells, EmptyPicturesStillWait) {
  for (int32_t effect : {17, 18, 19, 20, 79, 80, 81})
    for (auto [w, h] : {std::pair{0, 6}, std::pair{6, 0}}) {
      gfx::Surface screen(10, 10), source(6, 6), work(w, h);
      gfx::Canvas canvas(screen);
      TransitionEngine engine(effect);
      engine.SetPicture(gfx::Rect{0, 0, w, h}, 0, gfx::SRCCOPY, nullptr);
      engine.SetWork(&work);
      engine.SetSource(&source);
      Recorder rec;
      engine.SetCopySink(&rec);
      Point dest{1, 1};
      engine.Run(canvas, rec, dest, 0, 0, 0);
      EXPECT_EQ(rec.Copies(), 0) << effect;
      // The grid made odd still has cells along the empty side, and the 40-pixel cells
      // wait per step whatever the cells.
      const bool cells = effect == 18 ? h == 0 : w == 0 || effect >= 79;
      if (cells) {
        EXPECT_GT(rec.Paces(), 0) << effect << " " << w << "x" << h;
      }
      if (effect == 79) {
        EXPECT_EQ(rec.Paces(), 21 * 5);
      }
    }
}

// Keeps the picture's rectangle of the screen at every wait.
class SnapshotRecorder : public Recorder {
 public:
  SnapshotRecorder(const gfx::Surface& screen, int x0, int y0, int w, int h)
      : screen_(screen), x0_(x0), y0_(y0), w_(w), h_(h) {}
  void Paced(const PaceStep& step) override {
    Recorder::Paced(step);
    std::vector<gfx::Pixel> shot;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) shot.push_back(screen_.At(x0_ + x, y0_ + y));
    shots.push_back(std::move(shot));
  }
  std::vector<std::vector<gfx::Pixel>> shots;

 private:
  const gfx::Surface& screen_;
  int x0_, y0_, w_, h_;
};

// The column rolls told column by column: one copy per column, the band's columns taken
// from the mirrored source column; the picture area at every wait.
std::vector<std::vector<gfx::Pixel>> ColumnRollByColumns(int32_t effect, int w, int h) {
  std::vector<gfx::Pixel> area(static_cast<size_t>(w) * h, testing::kOld);
  auto column = [&](int to, int from) {
    if (to < 0 || to >= w || from < 0 || from >= w) return;
    for (int y = 0; y < h; ++y)
      area[static_cast<size_t>(y) * w + to] = testing::PicturePixel(from, y);
  };
  const int band = static_cast<int>(w * 0.1);
  const bool left = effect == 83, both = effect == 86;
  const int steps = both ? band + w / 2 : band + w - 1 + (left ? 1 : 0);
  const int limit = both ? w / 2 : w, every = both ? 50 : 75;
  std::vector<std::vector<gfx::Pixel>> shots;
  int last = 0;
  long count = 0;
  for (int l = 0; l <= steps; ++l) {
    const int s = std::max(l - band, 0);
    for (int z = last; z < l; ++z) {
      const bool inPlace = z <= s;
      if (!inPlace && z >= limit) {
      } else {
        const int src = inPlace ? z : s + l - z;
        column(left ? w - z : z, left ? w - src : src);
        if (both) column(w - z, w - src);
        if (inPlace) last = z;
      }
      if (++count % every == 0) shots.push_back(area);
    }
  }
  return shots;
}

TEST(Rolls, ColumnRollsShowTheMirroredBandAtEveryWait) {
  for (int32_t effect : {82, 83, 86})
    for (auto [w, h] : {std::pair{100, 6}, std::pair{231, 5}, std::pair{40, 3}}) {
      Stage stage(w + 4, h + 4);
      SnapshotRecorder rec(stage.screen, 2, 2, w, h);
      stage.Show(effect, w, h, 2, 2, 0, rec);
      EXPECT_EQ(stage.Mismatches(2, 2), 0);
      const auto want = ColumnRollByColumns(effect, w, h);
      ASSERT_EQ(rec.shots.size(), want.size()) << effect << " " << w;
      for (size_t i = 0; i < want.size(); ++i)
        ASSERT_TRUE(rec.shots[i] == want[i]) << effect << " " << w << " wait " << i;
    }
  // R = 10 on 100 columns: 110 steps; the pacing counts skipped columns too: 0 + 1 + ...
  // + 10 columns for l <= R, then 11 a step for the 99 steps after, 1144 in all.
  Stage stage(104, 10);
  SnapshotRecorder rec(stage.screen, 2, 2, 100, 6);
  stage.Show(82, 100, 6, 2, 2, 0, rec);
  EXPECT_EQ(rec.Paces(), 1144 / 75);
  // Wait 7 comes at column count 600, in step 60 (s = 50) after column 54: columns to 50
  // in place, 51 to 54 mirrored in this step (source 110 - z), 55 to 58 still from step
  // 59 (source 108 - z), 59 not reached yet.
  const auto& shot = rec.shots[7];
  EXPECT_EQ(shot[50], testing::PicturePixel(50, 0));
  EXPECT_EQ(shot[51], testing::PicturePixel(59, 0));
  EXPECT_EQ(shot[54], testing::PicturePixel(56, 0));
  EXPECT_EQ(shot[55], testing::PicturePixel(53, 0));
  EXPECT_EQ(shot[59], testing::kOld);
}

TEST(Rolls, RowRollsWaitOncePerStepWithTheSpeedScale) {
  for (auto [effect, steps] :
       {std::pair{84, 20 + 2}, std::pair{85, 20 + 2 + 1}, std::pair{87, 2 + 10 + 1}}) {
    for (auto [speed, scale] : {std::pair{100, 3000.0}, std::pair{101, 2000.0},
                                std::pair{0, 3000.0}, std::pair{1000, 2000.0}}) {
      Recorder rec;
      Play(effect, 7, 20, rec, speed);
      EXPECT_EQ(rec.Paces(), steps) << effect;
      for (const auto& s : rec.steps)
        if (s.pace) {
          EXPECT_EQ(s.scale, scale) << effect << " speed " << speed;
          EXPECT_EQ(s.speed, static_cast<uint32_t>(speed));
        }
    }
  }
}

// Fewer than ten lines leave no band: the steps stop one line short, which is drawn last.
TEST(Rolls, NarrowPicturesEndComplete) {
  for (int32_t effect : {82, 83, 84, 85, 86, 87})
    for (int n : {1, 2, 5, 9}) {
      Recorder a, b;
      Play(effect, n, 3, a);
      Play(effect, 3, n, b);
    }
}

TEST(PatternWipes, DiagonalsAndRollsOfAnEmptyPictureDrawNothing) {
  for (int32_t effect : {61, 62, 63, 64, 77, 78, 82, 83, 84, 85, 86, 87}) {
    testing::ExpectEmptyPictureDrawsNothing(effect, /*noWaits=*/false);
  }
}

TEST(PatternWipes, EveryMemberDrawsTheWholePicture) {
  const int sizes[][2] = {{1, 1},   {1, 7},   {7, 1},   {2, 2},    {6, 4},    {5, 5},
                          {16, 16}, {17, 9},  {8, 8},   {9, 33},   {40, 3},   {33, 40},
                          {3, 40},  {64, 48}, {65, 47}, {24, 100}, {100, 24}, {81, 41},
                          {9, 8},   {11, 10}, {13, 6},  {99, 7},   {7, 99},   {121, 63}};
  for (int32_t effect : kFamily)
    for (const auto& size : sizes)
      for (int32_t speed : {0, 1000}) {  // every wait shows the screen, or none
        Recorder rec;
        Play(effect, size[0], size[1], rec, speed);
      }
}

TEST(PatternWipes, StopMakesTheRestRunWithoutWaitsOrDrawing) {
  for (int32_t effect : kFamily) {
    Stage stage(60, 50);
    Recorder rec;
    rec.stopAfterCopies = 5;
    stage.Show(effect, 45, 33, 4, 6, 0, rec);
    EXPECT_EQ(rec.Copies(), 5) << effect;
    EXPECT_LT(rec.Waits(), rec.Paces()) << effect;
  }
}

}  // namespace
}  // namespace transitions
