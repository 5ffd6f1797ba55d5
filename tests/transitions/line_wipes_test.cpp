// Step order and pacing of the line and band wipes, and that each leaves exactly the
// picture on screen.

#include <gtest/gtest.h>

#include <string>

#include "recorder.h"
#include "transitions/effect_table.h"

namespace transitions {
namespace {

using testing::Recorder;
using testing::Stage;

constexpr int32_t kFamily[] = {7,  8,  11, 12, 37, 38, 39, 40, 49, 50, 51,
                               52, 57, 58, 59, 60, 67, 68, 69, 70, 75, 76};

// Runs the effect on a screen with a 10-pixel margin round the picture and checks that
// it leaves exactly the picture there.
std::string Play(int32_t effect, int w, int h, Recorder& rec) {
  Stage stage(w + 20, h + 20);
  stage.Show(effect, w, h, 10, 10, 0, rec);
  EXPECT_EQ(stage.Mismatches(10, 10), 0) << "effect " << effect << " " << w << "x" << h;
  return rec.Log();
}

bool EndsWith(const std::string& log, const std::string& tail) {
  return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
}

// True when `needle` occurs in `log` as a run of whole steps.
bool HasRun(const std::string& log, const std::string& needle) {
  return (" " + log + " ").find(" " + needle + " ") != std::string::npos;
}

TEST(Blinds, HorizontalTwentyRowsWaitsForRowsBeyondTheEdge) {
  Recorder rec;
  const std::string log = Play(11, 10, 20, rec);
  EXPECT_EQ(log.rfind("C(0,0,10,1) P C(0,16,10,1) P C(0,1,10,1)", 0), 0u) << log;
  // Pass 5: row 5, then row 21 is skipped but still waited for.
  EXPECT_TRUE(HasRun(log, "C(0,4,10,1) P P C(0,5,10,1) P P C(0,6,10,1)")) << log;
  EXPECT_EQ(rec.Paces(), 32);
  EXPECT_EQ(rec.Copies(), 20);
}

TEST(Blinds, VerticalUsesColumns) {
  Recorder rec;
  const std::string log = Play(12, 17, 3, rec);
  EXPECT_EQ(log.rfind("C(0,0,1,3) P C(16,0,1,3) P C(1,0,1,3) P P", 0), 0u) << log;
  EXPECT_EQ(rec.Paces(), 32);
}

TEST(Boxes, BoxInSixByFourEndsWithoutAFinalWait) {
  Recorder rec;
  const std::string log = Play(7, 6, 4, rec);
  EXPECT_EQ(log,
            "C(0,0,6,1) C(0,0,1,4) P "
            "C(1,1,4,1) C(1,3,4,1) C(1,1,1,2) C(5,1,1,3) P "
            "C(2,2,2,1) C(2,2,2,1) C(4,2,1,1)");
}

TEST(Boxes, BoxOutGrowsFromTheCentre) {
  Recorder rec;
  const std::string log = Play(8, 4, 4, rec);
  EXPECT_EQ(log,
            "C(2,2,1,1) P "
            "C(1,1,2,1) C(1,3,2,1) C(1,1,1,2) C(3,1,1,3) P "
            "C(0,0,4,1) C(0,0,1,4)");
}

TEST(Wipes, ToMiddleVerticalFiveRowsEndsAfterThreeSteps) {
  Recorder rec;
  const std::string log = Play(49, 7, 5, rec);
  EXPECT_EQ(log, "C(0,0,7,1) P C(0,1,7,1) C(0,4,7,1) P C(0,2,7,1) C(0,3,7,1) P");
}

TEST(Wipes, FromMiddleHorizontalEndsWithTheWholePicture) {
  Recorder rec;
  const std::string log = Play(52, 5, 3, rec);
  EXPECT_EQ(log, "C(2,0,1,3) P C(1,0,1,3) C(3,0,1,3) P C(0,0,1,3) P C(0,0,5,3)");
}

TEST(Wipes, StraightWipesPaceOncePerLine) {
  for (int32_t effect : {37, 38}) {
    Recorder rec;
    Play(effect, 9, 13, rec);
    EXPECT_EQ(rec.Paces(), 13) << effect;
    EXPECT_EQ(rec.Copies(), 13) << effect;
  }
  for (int32_t effect : {39, 40}) {
    Recorder rec;
    Play(effect, 9, 13, rec);
    EXPECT_EQ(rec.Paces(), 9) << effect;
  }
  Recorder up;
  EXPECT_EQ(Play(38, 2, 3, up), "C(0,2,2,1) P C(0,1,2,1) P C(0,0,2,1) P");
}

TEST(Wipes, StraightWipesOfAnEmptyPictureNeitherCopyNorWait) {
  for (int32_t effect : {37, 38, 39, 40}) {
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
}

TEST(Snakes, ThirdStripOfSixteenColumnsOnlyPaces) {
  Recorder rec;
  const std::string log = Play(67, 16, 12, rec);
  // Two paces per strip (lines 0 and 10 of 0..12), three strips.
  EXPECT_EQ(rec.Paces(), 6);
  EXPECT_EQ(rec.Copies(), 24);
  for (const auto& s : rec.steps) EXPECT_TRUE(s.pace || s.sx < 16);
  // The second strip runs upwards and ends at row 0; the third only waits.
  EXPECT_TRUE(EndsWith(log, "C(8,0,8,1) P P")) << log;
  EXPECT_EQ(log.rfind("C(0,0,8,1) P C(0,1,8,1)", 0), 0u);
}

TEST(Snakes, FromRightStartsOutsideAndEndsPastTheLeftEdge) {
  Recorder rec;
  Play(69, 17, 4, rec);
  // Strips at 17 (nothing), 9, 1 and -7 (its column 0 only).
  EXPECT_EQ(rec.Paces(), 4);
  EXPECT_EQ(rec.Copies(), 12);
  EXPECT_TRUE(EndsWith(rec.Log(), "C(0,0,1,1)")) << rec.Log();
}

TEST(Stairs, LeftTopFirstBandsStartEightStepsApart) {
  Recorder rec;
  const std::string log = Play(59, 3, 10, rec);
  // n = 2 bands (rows 0-7 and 8-9); the run ends after step z = 8n + w + 1 = 20.
  EXPECT_EQ(rec.Paces(), 20);
  EXPECT_EQ(log.rfind("P C(0,0,1,8) P C(0,0,2,8) P C(0,0,3,8) P P", 0), 0u) << log;
  EXPECT_TRUE(HasRun(log, "C(0,8,1,2)")) << log;
}

TEST(Stairs, BottomFirstStartsWithTheLowestBand) {
  Recorder rec;
  const std::string log = Play(58, 3, 10, rec);
  // d = z - 8(n - b): band 1 starts at z = 8 with width 0, band 0 at z = 16.
  const size_t first = log.find('C');
  EXPECT_EQ(log.substr(first, 10), "C(2,8,1,2)") << log;
  EXPECT_LT(log.find("C(2,8,1,2)"), log.find("C(2,0,1,8)"));
}

TEST(Spiral, SixteenSquareRedrawsShortLinesOnItsSecondTurn) {
  Recorder rec;
  const std::string log = Play(75, 16, 16, rec);
  // Second turn, ring (8, 8, 8, 8): the top side is empty; right, bottom and left sides
  // redraw one line each, then the end test (0 - 16 < 0) ends the effect.
  EXPECT_TRUE(EndsWith(log, "C(0,8,8,1) P C(8,0,1,8) P C(8,8,8,1) P")) << log;
  // First turn: 16 top, 17 right, 17 bottom, 17 left lines, of which the ones at 16
  // fall outside.
  EXPECT_EQ(rec.Copies(), 16 + 16 + 16 + 16 + 3);
}

TEST(Spiral, CounterClockwiseWalksDownTheLeftSideFirst) {
  Recorder rec;
  const std::string log = Play(76, 16, 16, rec);
  EXPECT_EQ(log.rfind("C(0,0,8,1) P C(0,1,8,1) C(0,2,8,1) P", 0), 0u) << log;
}

// Every member leaves exactly the picture in its rectangle and nothing outside it.
TEST(LineWipes, EveryMemberDrawsTheWholePicture) {
  const int sizes[][2] = {{1, 1},   {1, 7},   {7, 1},   {2, 2},    {6, 4},    {5, 5},
                          {16, 16}, {17, 9},  {8, 8},   {9, 33},   {40, 3},   {33, 40},
                          {3, 40},  {64, 48}, {65, 47}, {24, 100}, {100, 24}, {34, 100}};
  for (int32_t effect : kFamily) {
    for (const auto& size : sizes) {
      Recorder rec;
      Play(effect, size[0], size[1], rec);
    }
  }
}

TEST(LineWipes, SpeedDecidesWhetherPacesWait) {
  for (int32_t effect : kFamily) testing::ExpectSpeedDecidesWaits(effect);
}

}  // namespace
}  // namespace transitions
