// Step order, pacing and the old picture's moves of the slides and pushes, and that each
// leaves exactly the picture on screen.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recorder.h"
#include "transitions/effect_table.h"

namespace transitions {
namespace {

using testing::MakePicture;
using testing::PicturePixel;
using testing::Recorder;
using testing::Stage;

constexpr int32_t kFamily[] = {9,  10, 15, 16, 21, 22, 23, 24, 25, 26, 27, 28,
                               29, 30, 31, 32, 33, 34, 35, 36, 41, 42, 43, 44,
                               45, 46, 47, 48, 53, 54, 55, 56, 71, 72, 73, 74};

std::string Play(int32_t effect, int w, int h, Recorder& rec) {
  Stage stage(w + 20, h + 20);
  stage.Show(effect, w, h, 10, 10, 0, rec);
  EXPECT_EQ(stage.Mismatches(10, 10), 0) << "effect " << effect << " " << w << "x" << h;
  return rec.Log();
}

bool EndsWith(const std::string& log, const std::string& tail) {
  return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
}

// An old screen that differs from pixel to pixel, so that its moves can be seen.
gfx::Pixel OldPixel(int x, int y) { return static_cast<uint32_t>(x * 31 + y * 977) & 0x7FFFFF; }

// Keeps the screen at every pace.
class ShotRecorder : public Recorder {
 public:
  explicit ShotRecorder(const gfx::Surface& screen) : screen_(screen) {}
  void Paced(const PaceStep& step) override {
    Recorder::Paced(step);
    shots.push_back(screen_);
  }
  std::vector<gfx::Surface> shots;

 private:
  const gfx::Surface& screen_;
};

// The picture of w x h at (2, 2) of a patterned old screen; the screen at every pace.
struct Moves {
  Moves(int32_t effect, int w, int h) : screen(w + 4, h + 4), rec(screen) {
    for (int y = 0; y < screen.Height(); ++y)
      for (int x = 0; x < screen.Width(); ++x) screen.At(x, y) = OldPixel(x, y);
    gfx::Canvas canvas(screen);
    gfx::Surface picture = MakePicture(w, h), work(w, h);
    TransitionEngine engine(effect);
    engine.SetPicture(gfx::Rect{0, 0, w, h}, 0, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&picture);
    engine.SetCopySink(&rec);
    Point dest{2, 2};
    engine.Run(canvas, rec, dest, 0, 0, 0);
  }
  // Picture pixel (x, y) of shot `i`.
  gfx::Pixel At(size_t i, int x, int y) const { return rec.shots.at(i).At(x + 2, y + 2); }
  gfx::Pixel Old(int x, int y) const { return OldPixel(x + 2, y + 2); }

  gfx::Surface screen;
  ShotRecorder rec;
};

TEST(Pushes, PushDownThreeRowsTakesFourSteps) {
  Moves m(41, 5, 3);
  ASSERT_EQ(m.rec.shots.size(), 4u);
  for (int j = 0; j <= 3; ++j)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        // New rows h - j .. h - 1 on top, the old picture moved down by j.
        const gfx::Pixel want = y < j ? PicturePixel(x, 3 - j + y) : m.Old(x, y - j);
        EXPECT_EQ(m.At(static_cast<size_t>(j), x, y), want)
            << "step " << j << " at " << x << "," << y;
      }
}

TEST(Pushes, PushLeftMovesTheOldPictureLeft) {
  Moves m(43, 4, 2);
  ASSERT_EQ(m.rec.shots.size(), 5u);
  // Step 1: the old columns 1..3 at 0..2, the new column 0 at the right edge.
  EXPECT_EQ(m.At(1, 0, 1), m.Old(1, 1));
  EXPECT_EQ(m.At(1, 2, 0), m.Old(3, 0));
  EXPECT_EQ(m.At(1, 3, 0), PicturePixel(0, 0));
}

TEST(Uncover, DownShowsOneMoreNewRowEachStep) {
  Moves m(29, 4, 3);
  ASSERT_EQ(m.rec.shots.size(), 3u);
  for (int j = 1; j <= 3; ++j)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        const gfx::Pixel want = y < j ? PicturePixel(x, y) : m.Old(x, y - j);
        EXPECT_EQ(m.At(static_cast<size_t>(j - 1), x, y), want) << "step " << j;
      }
}

TEST(Uncover, RightUncoversColumnsInPlace) {
  Recorder rec;
  const std::string log = Play(32, 3, 2, rec);
  // Snapshot copies are logged too: the old picture moved right, then the new column.
  EXPECT_EQ(log, "C(0,0,2,2) C(0,0,1,2) P C(0,0,1,2) C(1,0,1,2) P C(2,0,1,2) P");
}

TEST(Slides, FromTopAndFromRightMoveOnePixelPerStep) {
  Recorder top;
  EXPECT_EQ(Play(21, 2, 2, top), "P C(0,1,2,1) P C(0,0,2,2) P");
  Recorder right;
  Play(23, 7, 3, right);
  EXPECT_EQ(right.Paces(), 8);
  EXPECT_EQ(right.Copies(), 7);
}

TEST(Halves, VerticalRunsToHalfPlusOneThenCopiesTheWhole) {
  Recorder rec;
  const std::string log = Play(53, 3, 5, rec);
  // hh = 2: steps j = 0 .. 3, four paces, then the whole picture.
  EXPECT_EQ(rec.Paces(), 4);
  EXPECT_TRUE(EndsWith(log, "P C(0,0,3,5)")) << log;
}

TEST(Halves, SplitOpenMovesTheOldHalvesApart) {
  Moves m(54, 3, 6);
  // hh = 3, m = 4: steps j = 0 .. 4.
  ASSERT_EQ(m.rec.shots.size(), 5u);
  // Step 1: old rows 1..3 at the top, new row 3 at 3, the old lower part one row down.
  EXPECT_EQ(m.At(1, 0, 0), m.Old(0, 1));
  EXPECT_EQ(m.At(1, 0, 2), m.Old(0, 3));
  EXPECT_EQ(m.At(1, 1, 3), PicturePixel(1, 3));
  EXPECT_EQ(m.At(1, 2, 5), m.Old(2, 4));
}

TEST(Combs, SixteenRowsLeaveTheThirdBandEmpty) {
  Recorder rec;
  Play(15, 5, 16, rec);
  // j = 0 .. 5; bands 0 and 1 copy from j = 1 on, band 2 has no rows.
  EXPECT_EQ(rec.Paces(), 6);
  EXPECT_EQ(rec.Copies(), 10);
  Recorder vertical;
  const std::string log = Play(16, 10, 2, vertical);
  // Columns 0-7 from the top, 8-9 from the bottom.
  EXPECT_EQ(log.rfind("P C(0,1,8,1) C(8,0,2,1) P", 0), 0u) << log;
}

TEST(Corners, InFiveByFourDrawsTheLastColumnOnlyAtTheEnd) {
  Moves m(9, 5, 4);
  ASSERT_FALSE(m.rec.shots.empty());
  // The top-right quarter ends at 2 hw = 4; column 4 of the top rows waits for the end.
  for (const gfx::Surface& shot : m.rec.shots) {
    EXPECT_EQ(shot.At(4 + 2, 0 + 2), m.Old(4, 0));
    EXPECT_EQ(shot.At(4 + 2, 1 + 2), m.Old(4, 1));
  }
  EXPECT_TRUE(EndsWith(m.rec.Log(), "C(0,0,5,4)")) << m.rec.Log();
}

TEST(Corners, QuartersOutOfAnOddPictureEndsWhole) {
  Moves m(10, 7, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(m.screen.At(x + 2, y + 2), PicturePixel(x, y));
  // The first step of an even picture shows only the old one.
  Moves even(10, 8, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(even.At(0, x, y), even.Old(x, y)) << x << "," << y;
}

// Counts steps without drawing: large pictures stay cheap.
class NullSink : public CopySink {
 public:
  void Copy(gfx::Canvas&, const gfx::Surface&, int, int, int, int, int, int) override { ++copies; }
  int copies = 0;
};

int DiagonalPaces(int32_t effect, int w, int h) {
  gfx::Surface screen(w, h), source(w, h), work(w, h);
  gfx::Canvas canvas(screen);
  TransitionEngine engine(effect);
  engine.SetPicture(gfx::Rect{0, 0, w, h}, 0, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&source);
  NullSink sink;
  engine.SetCopySink(&sink);
  Recorder rec;
  Point dest{0, 0};
  engine.Run(canvas, rec, dest, 1000, 0, 0);
  return rec.Paces();
}

TEST(Diagonals, PushFromTopRightOnEightHundredBySixHundredTakesAboutSixHundredSteps) {
  const int paces = DiagonalPaces(45, 800, 600);
  EXPECT_GE(paces, 598);
  EXPECT_LE(paces, 602);
  // A tall picture: the vertical side moves faster.
  const int tall = DiagonalPaces(45, 300, 900);
  EXPECT_GE(tall, 298);
  EXPECT_LE(tall, 302);
  for (int32_t effect : {25, 26, 27, 28, 33, 34, 35, 36, 46, 47, 48}) {
    const int n = DiagonalPaces(effect, 800, 600);
    EXPECT_GE(n, 598) << effect;
    EXPECT_LE(n, 602) << effect;
  }
}

TEST(Diagonals, PushFromTopRightEndsWithTheWholePicture) {
  Recorder rec;
  const std::string log = Play(45, 9, 4, rec);
  EXPECT_TRUE(EndsWith(log, "C(0,0,9,4)")) << log;
  // Its first step: nothing new yet, the old picture where it was.
  EXPECT_EQ(log.rfind("C(0,0,9,4) P", 0), 0u) << log;
}

TEST(Diagonals, SecondStepMovesBothPicturesByTheProgress) {
  // 9 x 4: sx = 2.25, sy = 1, so the second step has a = 2, b = 1.
  Moves push(47, 9, 4);
  ASSERT_GE(push.rec.shots.size(), 2u);
  EXPECT_EQ(push.At(1, 0, 0), PicturePixel(7, 3));  // the new corner enters at the top left
  EXPECT_EQ(push.At(1, 1, 0), PicturePixel(8, 3));
  EXPECT_EQ(push.At(1, 2 + 3, 1 + 2), push.Old(3, 2));  // the old picture moved by (2, 1)
  Moves uncover(35, 9, 4);
  ASSERT_GE(uncover.rec.shots.size(), 2u);
  EXPECT_EQ(uncover.At(1, 8, 0), PicturePixel(8, 0));  // the new top row in place
  EXPECT_EQ(uncover.At(1, 1, 3), PicturePixel(1, 3));  // and the new left columns
  EXPECT_EQ(uncover.At(1, 2 + 4, 1 + 1), uncover.Old(4, 1));
}

TEST(Diagonals, NoStepDrawsOutsideTheRectangle) {
  // Thin and skewed pictures make the float progress overshoot its ends.
  for (int32_t effect : kFamily)
    for (auto [w, h] : {std::pair{7, 3}, std::pair{3, 7}, std::pair{31, 2}, std::pair{2, 31}}) {
      Moves m(effect, w, h);
      for (size_t i = 0; i < m.rec.shots.size(); ++i)
        for (int y = 0; y < h + 4; ++y)
          for (int x = 0; x < w + 4; ++x) {
            const bool inside = x >= 2 && y >= 2 && x < w + 2 && y < h + 2;
            if (!inside) {
              ASSERT_EQ(m.rec.shots[i].At(x, y), OldPixel(x, y))
                  << "effect " << effect << " " << w << "x" << h << " step " << i;
            }
          }
    }
}

TEST(Snakes, PushColumnsFromLeftPacesEveryTenthLine) {
  Recorder rec;
  Play(71, 16, 12, rec);
  // Strips at 0, 8 and 16 (nothing to draw), lines 0 .. 12: waits at 0 and 10.
  EXPECT_EQ(rec.Paces(), 6);
}

TEST(Snakes, PushColumnsFromRightPacesEveryNinthLine) {
  Recorder rec;
  Play(73, 17, 9, rec);
  // Strips at 17, 9, 1 and -7; lines 0 .. 9: waits at 0 and 9.
  EXPECT_EQ(rec.Paces(), 8);
}

TEST(Snakes, PushRowsFromTopAlternateSides) {
  Moves m(72, 4, 10);
  // Band 0 comes in from the left and pushes the old band right.
  EXPECT_EQ(m.rec.Log().rfind("C(0,0,4,8) P C(3,0,1,8) C(0,0,3,8) C(2,0,2,8)", 0), 0u)
      << m.rec.Log();
  // The wait at the second band's first line: band 0 new, band 1 still old.
  EXPECT_EQ(m.At(1, 3, 7), PicturePixel(3, 7));
  EXPECT_EQ(m.At(1, 0, 8), m.Old(0, 8));
}

TEST(SlidesAndPushes, EveryMemberDrawsTheWholePicture) {
  const int sizes[][2] = {{1, 1},   {1, 7},   {7, 1},   {2, 2},    {6, 4},   {5, 5},
                          {16, 16}, {17, 9},  {8, 8},   {9, 33},   {40, 3},  {33, 40},
                          {3, 40},  {64, 48}, {65, 47}, {24, 100}, {100, 24}};
  for (int32_t effect : kFamily)
    for (const auto& size : sizes) {
      Recorder rec;
      Play(effect, size[0], size[1], rec);
    }
}

TEST(SlidesAndPushes, SpeedDecidesWhetherPacesWait) {
  for (int32_t effect : kFamily) testing::ExpectSpeedDecidesWaits(effect);
}

TEST(SlidesAndPushes, StopMidwayDrawsNothingMore) {
  for (int32_t effect : kFamily) {
    Stage stage(40, 30);
    Recorder rec;
    rec.stopAfterCopies = 5;
    stage.Show(effect, 21, 13, 3, 4, 0, rec);
    EXPECT_EQ(rec.Copies(), 5) << effect;
    EXPECT_GT(stage.Mismatches(3, 4), 0) << effect;
    EXPECT_LT(rec.Waits(), rec.Paces()) << effect;
  }
}

TEST(SlidesAndPushes, EmptyPicturesNeitherCopyNorWait) {
  for (int32_t effect : kFamily) testing::ExpectEmptyPictureDrawsNothing(effect, /*noWaits=*/true);
}

TEST(SlidesAndPushes, EveryMemberHasItsTableRow) {
  for (int32_t effect : kFamily) {
    const EffectInfo* row = FindEffect(effect);
    ASSERT_NE(row, nullptr);
    EXPECT_NE(row->run, nullptr) << row->name;
    EXPECT_EQ(row->paceScale, 1000.0) << row->name;
  }
}

}  // namespace
}  // namespace transitions
