// The engine's frame: work picture, offsets, placements, screen clipping, the copy
// primitive, pacing and interruption, and the effect table.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "platform/sys/clock.h"
#include "recorder.h"
#include "transitions/effect_frame.h"
#include "transitions/effect_table.h"
#include "transitions/transition_engine.h"

namespace transitions {
namespace {

using testing::kOld;
using testing::MakePicture;
using testing::PicturePixel;
using testing::Recorder;
using testing::Stage;

constexpr gfx::COLORREF kBrush = gfx::RGB(10, 20, 30);
constexpr gfx::Pixel kBrushPixel = gfx::PixelFromColorRef(kBrush);

TEST(ClipToScreen, CutsThePictureAtEachEdge) {
  ClipResult inside = ClipToScreen(0, 0, 30, 20, 5, 6, 100, 80);
  EXPECT_EQ(inside.offsetX, 0);
  EXPECT_EQ(inside.offsetY, 0);
  EXPECT_EQ(inside.rect, (gfx::Rect{5, 6, 35, 26}));

  ClipResult leftTop = ClipToScreen(0, 0, 30, 20, -12, -4, 100, 80);
  EXPECT_EQ(leftTop.offsetX, 12);
  EXPECT_EQ(leftTop.offsetY, 4);
  EXPECT_EQ(leftTop.rect, (gfx::Rect{0, 0, 18, 16}));

  ClipResult rightBottom = ClipToScreen(0, 0, 30, 20, 90, 70, 100, 80);
  EXPECT_EQ(rightBottom.rect, (gfx::Rect{90, 70, 100, 80}));

  // Larger than the screen on both sides.
  ClipResult both = ClipToScreen(0, 0, 300, 200, -10, -10, 100, 80);
  EXPECT_EQ(both.rect, (gfx::Rect{0, 0, 100, 80}));
}

TEST(ClipToScreen, PictureWhollyOffScreenIsEmpty) {
  EXPECT_TRUE(ClipToScreen(0, 0, 30, 20, -40, 0, 100, 80).rect.IsEmpty());
  EXPECT_TRUE(ClipToScreen(0, 0, 30, 20, 0, 90, 100, 80).rect.IsEmpty());
  EXPECT_EQ(ClipToScreen(0, 0, 30, 20, -40, 0, 100, 80).rect.Width(), 0);
  // Extreme positions do not overflow.
  ClipResult far = ClipToScreen(0, 0, 30, 20, INT32_MIN, INT32_MAX, 100, 80);
  EXPECT_TRUE(far.rect.IsEmpty());
}

TEST(Run, PreparesTheWorkPictureFromTheOffsets) {
  gfx::Surface screen(10, 10, kOld);
  gfx::Canvas canvas(screen);
  gfx::Surface source = MakePicture(6, 5);
  gfx::Surface work(8, 7);
  TransitionEngine engine(200);  // beyond the table: prepare only
  engine.SetPicture(gfx::Rect{0, 0, 8, 7}, kBrush, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&source);
  Recorder rec;
  Point dest{3, 4};
  engine.Run(canvas, rec, dest, 0, 2, 1);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inSource = x + 2 < 6 && y + 1 < 5;
      EXPECT_EQ(work.At(x, y), inSource ? PicturePixel(x + 2, y + 1) : kBrushPixel)
          << x << "," << y;
    }
  // Both offsets set: the destination moves to the screen corner; nothing is drawn.
  EXPECT_EQ(dest, (Point{0, 0}));
  EXPECT_TRUE(rec.steps.empty());
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(screen.At(x, y), kOld);
}

TEST(Run, OnlyTheOffsetAxisMovesTheDestination) {
  Stage stage(50, 40);
  Recorder rec;
  EXPECT_EQ(stage.Show(37, 20, 10, 12, -3, 1000, rec), (Point{12, 0}));
  EXPECT_EQ(stage.Mismatches(12, -3), 0);
}

TEST(Run, NumbersOutsideTheTableDrawNothing) {
  for (int32_t effect : {88, 89, 1000, -1}) {
    Stage stage(20, 20);
    Recorder rec;
    stage.Show(effect, 8, 8, 2, 2, 0, rec);
    EXPECT_TRUE(rec.steps.empty()) << effect;
    EXPECT_EQ(stage.work.At(7, 7), PicturePixel(7, 7)) << effect;  // prepared all the same
    EXPECT_EQ(stage.screen.At(2, 2), kOld) << effect;
  }
}

// The placements and the random number (resolved before the engine runs) have no effect
// function of their own: Run shows the prepared picture in one copy.
TEST(Run, RowsWithoutAnEffectShowThePictureInOneCopy) {
  for (int32_t effect = 0; effect < kEffectCount; ++effect) {
    if (FindEffect(effect)->run && effect > 2) continue;
    Stage stage(30, 30);
    Recorder rec;
    stage.Show(effect, 11, 9, 4, 5, 0, rec);
    EXPECT_EQ(rec.Log(), "C(0,0,11,9)") << effect;
    EXPECT_EQ(stage.Mismatches(4, 5), 0) << effect;
  }
}

TEST(Run, WithoutASinkCopiesStraightOntoTheScreen) {
  for (int32_t effect = 0; effect < kEffectCount; ++effect) {
    gfx::Surface screen(40, 30, kOld), source = MakePicture(45, 13), work(38, 13);
    gfx::Canvas canvas(screen);
    ClipResult clip = ClipToScreen(0, 0, 45, 13, -7, 17, 40, 30);
    ASSERT_EQ(clip.rect, (gfx::Rect{0, 17, 38, 30}));
    TransitionEngine engine(effect);
    engine.SetPicture(clip.rect, kBrush, gfx::SRCCOPY, nullptr);
    engine.SetWork(&work);
    engine.SetSource(&source);
    Recorder pacer;
    Point dest{-7, 17};
    engine.Run(canvas, pacer, dest, 1000, clip.offsetX, clip.offsetY);
    int bad = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        bad += screen.At(x, y) != (y >= 17 && x < 38 ? PicturePixel(x + 7, y - 17) : kOld);
    // Effects 4 and 65 need the picture's bitmap, which is not given here; the morph (66)
    // stops once every pixel has one colour byte in place.
    if (effect != 4 && effect != 65 && effect != 66) {
      EXPECT_EQ(bad, 0) << effect;
    }
  }
}

TEST(Run, LeftEdgeWithWipeDownDrawsOnlyTheVisiblePart) {
  Stage stage(100, 50);
  Recorder rec;
  const Point dest = stage.Show(37, 40, 10, -15, 5, 0, rec);
  EXPECT_EQ(dest, (Point{0, 5}));
  ASSERT_EQ(rec.Copies(), 10);
  for (const auto& s : rec.steps) {
    if (s.pace) continue;
    EXPECT_EQ(s.w, 25);  // the 25 visible columns
    EXPECT_EQ(s.dx, 0);
  }
  EXPECT_EQ(stage.Mismatches(-15, 5), 0);
}

TEST(Run, StopDuringWipeDownAbandonsTheRestWithoutWaiting) {
  Stage stage(40, 40);
  Recorder rec;
  rec.stopAfterCopies = 10;
  stage.Show(37, 30, 30, 5, 5, 0, rec);
  EXPECT_EQ(rec.Copies(), 10);  // nobody sees the rest: nothing more is drawn
  EXPECT_EQ(rec.Paces(), 30);
  EXPECT_EQ(rec.Waits(), 9);  // the waits before the stop; the rest end at once
  EXPECT_EQ(stage.Mismatches(5, 5), 20 * 30);
}

TEST(CopyPrimitive, ClipsTheSourceAndSkipsEmptySizes) {
  gfx::Surface screen(20, 20, kOld);
  gfx::Canvas canvas(screen);
  gfx::Surface work = MakePicture(6, 4);
  Recorder rec;
  EffectFrame::Setup s;
  s.screen = &canvas;
  s.work = &work;
  s.pacer = &rec;
  s.sink = &rec;
  s.x0 = 5;
  s.y0 = 7;
  s.w = 6;
  s.h = 4;
  EffectFrame f(s);
  f.W(-3, 2, 5, 9);                // reaches left of and below the work picture
  f.W(2, 0, 0, 3);                 // empty
  f.W(1, 1, 3, -1);                // negative
  f.W(6, 0, 4, 4);                 // wholly right of it
  f.W(0, -8, 2, 4);                // wholly above it
  f.Copy(work, 4, 3, 9, 9, 0, 0);  // another source, placed explicitly
  EXPECT_EQ(rec.Log(), "C(0,2,2,2) C(4,3,2,1)");
  EXPECT_EQ(rec.steps[0].dx, 5);
  EXPECT_EQ(rec.steps[0].dy, 9);
  EXPECT_EQ(rec.steps[1].dx, 5);
  EXPECT_EQ(rec.steps[1].dy, 7);
  EXPECT_EQ(screen.At(5, 9), PicturePixel(0, 2));
  EXPECT_EQ(screen.At(4, 9), kOld);
}

TEST(CopyPrimitive, SnapshotHoldsTheOldScreen) {
  gfx::Surface screen = MakePicture(30, 20);
  gfx::Canvas canvas(screen);
  gfx::Surface work(5, 5);
  Recorder rec;
  EffectFrame::Setup s;
  s.screen = &canvas;
  s.work = &work;
  s.pacer = &rec;
  s.x0 = 26;  // reaches past the screen's right edge
  s.y0 = 3;
  s.w = 6;
  s.h = 4;
  EffectFrame f(s);
  gfx::Surface snap = f.SnapshotOldScreen();
  ASSERT_EQ(snap.Width(), 6);
  ASSERT_EQ(snap.Height(), 4);
  EXPECT_EQ(snap.At(0, 0), PicturePixel(26, 3));
  EXPECT_EQ(snap.At(3, 3), PicturePixel(29, 6));
  EXPECT_EQ(snap.At(4, 0), 0u);
}

TEST(Icon, MaskAndTransparentColourKeepTheBackground) {
  Icon masked;
  masked.image = gfx::Surface(4, 2, 0);
  masked.mask = gfx::Surface(4, 2, 0xFFFFFF);
  for (int y = 0; y < 2; ++y)
    for (int x = 2; x < 4; ++x) {
      masked.image.At(x, y) = 0xFF0000;
      masked.mask.At(x, y) = 0;
    }
  Icon keyed;
  keyed.image = gfx::Surface(4, 2, 0x00FF00);
  keyed.image.At(0, 0) = 0xFF0000;
  keyed.transparent = gfx::RGB(0, 255, 0);

  for (const Icon* icon : {&masked, &keyed}) {
    gfx::Surface source(4, 2, 0x123456), work(4, 2);
    gfx::Surface screen(8, 8, kOld);
    gfx::Canvas canvas(screen);
    TransitionEngine engine(37);
    engine.SetPicture(gfx::Rect{0, 0, 4, 2}, kBrush, gfx::SRCCOPY, icon);
    engine.SetWork(&work);
    engine.SetSource(&source);
    Recorder rec;
    Point dest{1, 1};
    engine.Run(canvas, rec, dest, 1000, 0, 0);
    if (icon == &masked) {
      EXPECT_EQ(screen.At(1, 1), kBrushPixel);
      EXPECT_EQ(screen.At(3, 2), 0xFF0000u);
    } else {
      EXPECT_EQ(screen.At(1, 1), 0xFF0000u);
      EXPECT_EQ(screen.At(2, 1), kBrushPixel);
    }
  }
}

TEST(Placement, PlainAtTheExplicitRectangleOrThePosition) {
  gfx::Surface source = MakePicture(5, 4), work(5, 4);
  TransitionEngine engine(0);
  engine.SetPicture(gfx::Rect{0, 0, 5, 4}, kBrush, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&source);
  engine.PreparePlacement(30, 20);

  gfx::Surface screen(30, 20, kOld);
  gfx::Canvas canvas(screen);
  engine.DrawPlaced(canvas, nullptr, Point{7, 3});
  EXPECT_EQ(screen.At(7, 3), PicturePixel(0, 0));
  EXPECT_EQ(screen.At(11, 6), PicturePixel(4, 3));
  EXPECT_EQ(screen.At(12, 6), kOld);

  const gfx::Rect at{20, 10, 25, 14};
  engine.DrawPlaced(canvas, &at, Point{7, 3});
  EXPECT_EQ(screen.At(20, 10), PicturePixel(0, 0));
}

TEST(Placement, TiledHundredSquareOnA1024Screen) {
  gfx::Surface source = MakePicture(100, 100);
  gfx::Surface work(1024, 768);
  TransitionEngine engine(1);
  engine.SetPicture(gfx::Rect{0, 0, 100, 100}, kBrush, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&source);
  engine.PreparePlacement(1024, 768);
  gfx::Surface screen(1024, 768, kOld);
  gfx::Canvas canvas(screen);
  engine.DrawPlaced(canvas, nullptr, Point{500, 500});
  // 11 columns (the last cut at 1024) by 8 rows (the last cut at 768).
  int bad = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) bad += screen.At(x, y) != PicturePixel(x % 100, y % 100);
  EXPECT_EQ(bad, 0);
}

TEST(Placement, TiledScreenWidePictureAndEmptyPicture) {
  gfx::Surface source = MakePicture(1024, 300);
  gfx::Surface work(1024, 768);
  TransitionEngine engine(1);
  engine.SetPicture(gfx::Rect{0, 0, 1024, 300}, kBrush, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&source);
  engine.PreparePlacement(1024, 768);
  EXPECT_EQ(work.At(1023, 767), PicturePixel(1023, 167));

  // A picture without pixels has no tiles: the brush only, and no division by zero.
  gfx::Surface none;
  TransitionEngine empty(1);
  empty.SetPicture(gfx::Rect{0, 0, 0, 0}, kBrush, gfx::SRCCOPY, nullptr);
  empty.SetWork(&work);
  empty.SetSource(&none);
  empty.PreparePlacement(1024, 768);
  EXPECT_EQ(work.At(0, 0), kBrushPixel);
  EXPECT_EQ(work.At(1023, 767), kBrushPixel);
}

TEST(Placement, StretchedFillsTheScreen) {
  gfx::Surface source(2, 2);
  source.At(0, 0) = 1;
  source.At(1, 0) = 2;
  source.At(0, 1) = 3;
  source.At(1, 1) = 4;
  gfx::Surface work(6, 4);
  TransitionEngine engine(2);
  engine.SetPicture(gfx::Rect{0, 0, 2, 2}, kBrush, gfx::SRCCOPY, nullptr);
  engine.SetWork(&work);
  engine.SetSource(&source);
  engine.PreparePlacement(6, 4);
  gfx::Surface screen(6, 4, kOld);
  gfx::Canvas canvas(screen);
  engine.DrawPlaced(canvas, nullptr, Point{3, 3});
  EXPECT_EQ(screen.At(0, 0), 1u);
  EXPECT_EQ(screen.At(5, 0), 2u);
  EXPECT_EQ(screen.At(0, 3), 3u);
  EXPECT_EQ(screen.At(5, 3), 4u);
}

TEST(Run, EveryTransitionClipsAPictureLargerThanTheScreen) {
  for (int32_t effect = 4; effect < kEffectCount; ++effect) {
    // The fades read the picture's bitmap, which the stage does not give; the morph stops
    // once every pixel has one colour byte in place.
    if (effect == 4 || effect == 65 || effect == 66) continue;
    // Beyond the left and top edges, the right and bottom ones, and the left and bottom.
    for (auto [x, y] : {std::pair{-7, -5}, std::pair{30, 20}, std::pair{-3, 25}}) {
      Stage stage(50, 40);
      Recorder rec;
      const Point dest = stage.Show(effect, 71, 53, x, y, 0, rec);
      EXPECT_EQ(dest, (Point{x < 0 ? 0 : x, y < 0 ? 0 : y}));
      EXPECT_EQ(stage.Mismatches(x, y), 0) << "effect " << effect << " at " << x << "," << y;
    }
  }
}

TEST(EffectTable, EveryTransitionNumberHasItsFunction) {
  for (int32_t effect = 4; effect < kEffectCount; ++effect) {
    EXPECT_NE(FindEffect(effect)->run, nullptr) << FindEffect(effect)->name;
  }
  EXPECT_EQ(FindEffect(3)->run, nullptr);  // resolved by the caller
}

TEST(EffectTable, HoldsEveryNumberOnceWithItsName) {
  const auto& table = EffectTable();
  std::set<std::string_view> names;
  for (int32_t i = 0; i < kEffectCount; ++i) {
    EXPECT_EQ(table[static_cast<size_t>(i)].number, i);
    EXPECT_EQ(FindEffect(i), &table[static_cast<size_t>(i)]);
    names.insert(table[static_cast<size_t>(i)].name);
  }
  EXPECT_EQ(names.size(), 88u);
  EXPECT_EQ(FindEffect(7)->name, "BoxIn");
  EXPECT_EQ(FindEffect(66)->name, "ColourMorph");
  EXPECT_EQ(FindEffect(87)->name, "RollInVertical");
  EXPECT_EQ(FindEffect(88), nullptr);
  EXPECT_EQ(FindEffect(-1), nullptr);
}

// What callers ask of a row instead of comparing numbers: the random choice always lands
// on a transition that draws, and a number from a damaged show is a transition that draws
// nothing and keeps to the screen.
TEST(EffectTable, TraitsAnswerTheCallersQuestions) {
  sys::VirtualClock clock;
  std::set<int32_t> chosen;
  for (int i = 0; i < 2000; ++i) {
    clock.Advance(std::chrono::milliseconds(7));
    const int32_t effect = PickRandomEffect(clock);
    const EffectInfo& row = EffectTraits(effect);
    ASSERT_EQ(row.number, effect);
    EXPECT_EQ(row.kind, EffectKind::kTransition);
    EXPECT_NE(row.run, nullptr);
    chosen.insert(effect);
  }
  EXPECT_GT(chosen.size(), 60u);  // spread over the transitions, not stuck on a few
  for (int32_t damaged : {-1, 88, 1 << 30}) {
    const EffectInfo& row = EffectTraits(damaged);
    EXPECT_EQ(row.run, nullptr);
    EXPECT_FALSE(row.Placed() || row.Random() || row.FillsScreen());
    EXPECT_TRUE(row.ClipsToScreen());
  }
  int placements = 0, fillers = 0, randoms = 0;
  for (const EffectInfo& row : EffectTable()) {
    placements += row.Placed();
    fillers += row.FillsScreen();
    randoms += row.Random();
    if (row.fadesBitmap) {
      EXPECT_EQ(row.kind, EffectKind::kTransition) << row.name;
    }
  }
  EXPECT_EQ(placements, 3);
  EXPECT_EQ(fillers, 2);
  EXPECT_EQ(randoms, 1);
}

}  // namespace
}  // namespace transitions
