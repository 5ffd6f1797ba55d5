#include "transitions/effect_table.h"

#include "platform/sys/clock.h"
#include "transitions/dissolves.h"
#include "transitions/fades.h"
#include "transitions/line_wipes.h"
#include "transitions/pattern_wipes.h"
#include "transitions/random_range.h"
#include "transitions/slides.h"

namespace transitions {

namespace {

// Placements called through Run: the prepared picture at once, no transition.
void PlaceAtOnce(EffectFrame& f) { f.W(0, 0, f.Width(), f.Height()); }

}  // namespace

const std::array<EffectInfo, kEffectCount>& EffectTable() {
  // A null function marks a family that is not built yet.
  static constexpr std::array<EffectInfo, kEffectCount> kTable{{
      {0, "PlacePlain", PlaceAtOnce, 1000.0, EffectKind::kPlacement, Placement::kAtPoint},
      {1, "PlaceTiled", PlaceAtOnce, 1000.0, EffectKind::kPlacement, Placement::kTiled},
      {2, "PlaceStretched", PlaceAtOnce, 1000.0, EffectKind::kPlacement, Placement::kStretched},
      {3, "RandomEffect", nullptr, 1000.0, EffectKind::kRandom},
      {4, "FadeInFromBlack", FadeInFromBlack, 1000.0, EffectKind::kTransition, Placement::kAtPoint,
       true},
      {5, "DissolveSmallBlocks", DissolveSmallBlocks},
      {6, "DissolveBlocks", DissolveBlocks},
      {7, "BoxIn", BoxIn},
      {8, "BoxOut", BoxOut},
      {9, "CornersIn", CornersIn},
      {10, "QuartersOut", QuartersOut},
      {11, "BlindsHorizontal", BlindsHorizontal},
      {12, "BlindsVertical", BlindsVertical},
      {13, "RandomRows", RandomRows},
      {14, "RandomColumns", RandomColumns},
      {15, "CombHorizontal", CombHorizontal},
      {16, "CombVertical", CombVertical},
      {17, "CheckerColumns", CheckerColumns},
      {18, "CheckerRows", CheckerRows},
      {19, "StaggerColumns", StaggerColumns},
      {20, "StaggerRows", StaggerRows},
      {21, "SlideInFromTop", SlideInFromTop},
      {22, "SlideInFromBottom", SlideInFromBottom},
      {23, "SlideInFromRight", SlideInFromRight},
      {24, "SlideInFromLeft", SlideInFromLeft},
      {25, "SlideInFromTopRight", SlideInFromTopRight},
      {26, "SlideInFromBottomRight", SlideInFromBottomRight},
      {27, "SlideInFromTopLeft", SlideInFromTopLeft},
      {28, "SlideInFromBottomLeft", SlideInFromBottomLeft},
      {29, "UncoverDown", UncoverDown},
      {30, "UncoverUp", UncoverUp},
      {31, "UncoverLeft", UncoverLeft},
      {32, "UncoverRight", UncoverRight},
      {33, "UncoverDownLeft", UncoverDownLeft},
      {34, "UncoverUpLeft", UncoverUpLeft},
      {35, "UncoverDownRight", UncoverDownRight},
      {36, "UncoverUpRight", UncoverUpRight},
      {37, "WipeDown", WipeDown},
      {38, "WipeUp", WipeUp},
      {39, "WipeLeft", WipeLeft},
      {40, "WipeRight", WipeRight},
      {41, "PushDown", PushDown},
      {42, "PushUp", PushUp},
      {43, "PushLeft", PushLeft},
      {44, "PushRight", PushRight},
      {45, "PushFromTopRight", PushFromTopRight},
      {46, "PushFromBottomRight", PushFromBottomRight},
      {47, "PushFromTopLeft", PushFromTopLeft},
      {48, "PushFromBottomLeft", PushFromBottomLeft},
      {49, "WipeToMiddleVertical", WipeToMiddleVertical},
      {50, "WipeFromMiddleVertical", WipeFromMiddleVertical},
      {51, "WipeToMiddleHorizontal", WipeToMiddleHorizontal},
      {52, "WipeFromMiddleHorizontal", WipeFromMiddleHorizontal},
      {53, "HalvesInVertical", HalvesInVertical},
      {54, "SplitOpenVertical", SplitOpenVertical},
      {55, "HalvesInHorizontal", HalvesInHorizontal},
      {56, "SplitOpenHorizontal", SplitOpenHorizontal},
      {57, "StairsRightTopFirst", StairsRightTopFirst},
      {58, "StairsRightBottomFirst", StairsRightBottomFirst},
      {59, "StairsLeftTopFirst", StairsLeftTopFirst},
      {60, "StairsLeftBottomFirst", StairsLeftBottomFirst},
      {61, "TrianglesBottomLeftTopRight", TrianglesBottomLeftTopRight},
      {62, "DiagonalBand", DiagonalBand},
      {63, "TrianglesTopLeftBottomRight", TrianglesTopLeftBottomRight},
      {64, "AntiDiagonalBand", AntiDiagonalBand},
      {65, "FadeOutToBlack", FadeOutToBlack, 1000.0, EffectKind::kTransition, Placement::kAtPoint,
       true},
      {66, "ColourMorph", ColourMorph},
      {67, "SnakeColumnsFromLeft", SnakeColumnsFromLeft},
      {68, "SnakeRowsFromTop", SnakeRowsFromTop},
      {69, "SnakeColumnsFromRight", SnakeColumnsFromRight},
      {70, "SnakeRowsFromBottom", SnakeRowsFromBottom},
      {71, "PushSnakeColumnsFromLeft", PushSnakeColumnsFromLeft},
      {72, "PushSnakeRowsFromTop", PushSnakeRowsFromTop},
      {73, "PushSnakeColumnsFromRight", PushSnakeColumnsFromRight},
      {74, "PushSnakeRowsFromBottom", PushSnakeRowsFromBottom},
      {75, "SpiralClockwise", SpiralClockwise},
      {76, "SpiralCounterClockwise", SpiralCounterClockwise},
      {77, "WedgesFromTop", WedgesFromTop},
      {78, "WedgesFromBottom", WedgesFromBottom},
      {79, "GrowingSquares", GrowingSquares},
      {80, "ShrinkingFrames", ShrinkingFrames},
      {81, "CellDiagonals", CellDiagonals},
      {82, "RollRight", RollRight},
      {83, "RollLeft", RollLeft},
      {84, "RollDown", RollDown},
      {85, "RollUp", RollUp},
      {86, "RollInHorizontal", RollInHorizontal},
      {87, "RollInVertical", RollInVertical},
  }};
  return kTable;
}

const EffectInfo* FindEffect(int32_t effect) {
  if (effect < 0 || effect >= kEffectCount) return nullptr;
  return &EffectTable()[static_cast<size_t>(effect)];
}

int32_t PickRandomEffect(sys::Clock& clock) {
  const uint32_t seed = ((clock.TickCount() & 0xFFFFu) << 16) |
                        (static_cast<uint32_t>(clock.Now().milliseconds) & 0xFFFFu);
  RandomRange random(static_cast<int32_t>(seed), clock);
  random.SetRange(3, 88);
  uint32_t value = 0;
  do {
    value = random.Next();
  } while (value < 4 || value > 87);
  return static_cast<int32_t>(value);
}

const EffectInfo& EffectTraits(int32_t effect) {
  static constexpr EffectInfo kUnknown{-1, "", nullptr};
  const EffectInfo* row = FindEffect(effect);
  return row ? *row : kUnknown;
}

}  // namespace transitions
