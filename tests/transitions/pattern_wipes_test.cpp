// Step order and pacing of the pattern wipes, and that each leaves exactly the picture
// on screen.

#include <gtest/gtest.h>

#include <string>

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

TEST(Rolls, RollRightPacesEverySeventyFifthColumnCountingSkippedOnes) {
  Recorder rec;
  const std::string log = Play(82, 100, 6, rec);
  // R = 10, steps l = 0 ... 109; columns visited: 0 + 1 + ... + 10 for l <= R, then 11
  // a step for the 99 steps after: 1144, so 15 waits.
  EXPECT_EQ(rec.Paces(), 15);
  // Step 2: column 0 in place, column 1 from the mirrored source column 1.
  EXPECT_EQ(log.rfind("C(0,0,1,6) C(0,0,1,6) C(1,0,1,6) C(0,0,1,6) C(2,0,1,6) C(1,0,1,6)", 0), 0u)
      << log;
  // The band at its full width: step 20 (s = 10) mirrors source 19 ... 11 onto 11 ... 19.
  EXPECT_NE(log.find("C(10,0,1,6) C(19,0,1,6) C(18,0,1,6)"), std::string::npos);
  EXPECT_TRUE(EndsWith(log, "C(99,0,1,6)")) << log;
}

TEST(Rolls, RollLeftStartsJustOutsideTheRightEdge) {
  Recorder rec;
  const std::string log = Play(83, 30, 4, rec);
  // Step 1 draws column 30 (outside); step 2 column 30 again and the mirror of 29.
  EXPECT_EQ(log.rfind("C(29,0,1,4)", 0), 0u) << log;
  EXPECT_TRUE(EndsWith(log, "C(0,0,1,4)")) << log;
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

TEST(Rolls, RollInMeetsAtTheMiddle) {
  Recorder rec;
  const std::string log = Play(86, 40, 3, rec);
  // R = 4, steps l = 0 ... 24; columns z and 40 - z together.
  // Step 1: column 0 (and 40, outside); step 2: column 0 again and the mirrors of 1 and 39.
  EXPECT_EQ(log.rfind("C(0,0,1,3) C(0,0,1,3) C(1,0,1,3) C(39,0,1,3) C(0,0,1,3) C(2,0,1,3)", 0), 0u)
      << log;
  EXPECT_TRUE(EndsWith(log, "C(20,0,1,3) C(20,0,1,3)")) << log;
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
    }
  }
}

TEST(PatternWipes, EveryMemberDrawsTheWholePicture) {
  const int sizes[][2] = {{1, 1},   {1, 7},   {7, 1},   {2, 2},    {6, 4},    {5, 5},
                          {16, 16}, {17, 9},  {8, 8},   {9, 33},   {40, 3},   {33, 40},
                          {3, 40},  {64, 48}, {65, 47}, {24, 100}, {100, 24}, {81, 41},
                          {9, 8},   {11, 10}, {13, 6},  {99, 7},   {7, 99},   {121, 63}};
  for (int32_t effect : kFamily)
    for (const auto& size : sizes) {
      Recorder rec;
      Play(effect, size[0], size[1], rec);
    }
}

TEST(PatternWipes, PicturesLargerThanTheScreenAreClipped) {
  for (int32_t effect : kFamily)
    for (auto [x, y] : {std::pair{-7, -5}, std::pair{30, 20}, std::pair{-3, 25}}) {
      Stage stage(50, 40);
      Recorder rec;
      const Point dest = stage.Show(effect, 71, 53, x, y, 0, rec);
      EXPECT_EQ(dest, (Point{x < 0 ? 0 : x, y < 0 ? 0 : y}));
      EXPECT_EQ(stage.Mismatches(x, y), 0) << "effect " << effect << " at " << x << "," << y;
    }
}

TEST(PatternWipes, StopMakesTheRestRunWithoutWaitsAndComplete) {
  for (int32_t effect : kFamily) {
    Stage stage(60, 50);
    Recorder rec;
    rec.stopAfterCopies = 5;
    stage.Show(effect, 45, 33, 4, 6, 0, rec);
    EXPECT_EQ(stage.Mismatches(4, 6), 0) << effect;
    EXPECT_LT(rec.Waits(), rec.Paces()) << effect;
  }
}

TEST(PatternWipes, EveryMemberHasItsTableRow) {
  for (int32_t effect : kFamily) {
    const EffectInfo* row = FindEffect(effect);
    ASSERT_NE(row, nullptr);
    EXPECT_NE(row->run, nullptr) << row->name;
  }
}

}  // namespace
}  // namespace transitions
