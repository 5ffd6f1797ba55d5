#include "transitions/effect_table.h"

#include "transitions/dissolves.h"
#include "transitions/line_wipes.h"
#include "transitions/pattern_wipes.h"

namespace transitions {

namespace {

// Placements called through Run: the prepared picture at once, no transition.
void PlaceAtOnce(EffectFrame& f) { f.W(0, 0, f.Width(), f.Height()); }

}  // namespace

const std::array<EffectInfo, kEffectCount>& EffectTable() {
  // A null function marks a family that is not built yet.
  static constexpr std::array<EffectInfo, kEffectCount> kTable{{
      {0, "PlacePlain", PlaceAtOnce},
      {1, "PlaceTiled", PlaceAtOnce},
      {2, "PlaceStretched", PlaceAtOnce},
      {3, "RandomEffect", nullptr},
      {4, "FadeInFromBlack", nullptr},
      {5, "DissolveSmallBlocks", DissolveSmallBlocks},
      {6, "DissolveBlocks", DissolveBlocks},
      {7, "BoxIn", BoxIn},
      {8, "BoxOut", BoxOut},
      {9, "CornersIn", nullptr},
      {10, "QuartersOut", nullptr},
      {11, "BlindsHorizontal", BlindsHorizontal},
      {12, "BlindsVertical", BlindsVertical},
      {13, "RandomRows", RandomRows},
      {14, "RandomColumns", RandomColumns},
      {15, "CombHorizontal", nullptr},
      {16, "CombVertical", nullptr},
      {17, "CheckerColumns", CheckerColumns},
      {18, "CheckerRows", CheckerRows},
      {19, "StaggerColumns", StaggerColumns},
      {20, "StaggerRows", StaggerRows},
      {21, "SlideInFromTop", nullptr},
      {22, "SlideInFromBottom", nullptr},
      {23, "SlideInFromRight", nullptr},
      {24, "SlideInFromLeft", nullptr},
      {25, "SlideInFromTopRight", nullptr},
      {26, "SlideInFromBottomRight", nullptr},
      {27, "SlideInFromTopLeft", nullptr},
      {28, "SlideInFromBottomLeft", nullptr},
      {29, "UncoverDown", nullptr},
      {30, "UncoverUp", nullptr},
      {31, "UncoverLeft", nullptr},
      {32, "UncoverRight", nullptr},
      {33, "UncoverDownLeft", nullptr},
      {34, "UncoverUpLeft", nullptr},
      {35, "UncoverDownRight", nullptr},
      {36, "UncoverUpRight", nullptr},
      {37, "WipeDown", WipeDown},
      {38, "WipeUp", WipeUp},
      {39, "WipeLeft", WipeLeft},
      {40, "WipeRight", WipeRight},
      {41, "PushDown", nullptr},
      {42, "PushUp", nullptr},
      {43, "PushLeft", nullptr},
      {44, "PushRight", nullptr},
      {45, "PushFromTopRight", nullptr},
      {46, "PushFromBottomRight", nullptr},
      {47, "PushFromTopLeft", nullptr},
      {48, "PushFromBottomLeft", nullptr},
      {49, "WipeToMiddleVertical", WipeToMiddleVertical},
      {50, "WipeFromMiddleVertical", WipeFromMiddleVertical},
      {51, "WipeToMiddleHorizontal", WipeToMiddleHorizontal},
      {52, "WipeFromMiddleHorizontal", WipeFromMiddleHorizontal},
      {53, "HalvesInVertical", nullptr},
      {54, "SplitOpenVertical", nullptr},
      {55, "HalvesInHorizontal", nullptr},
      {56, "SplitOpenHorizontal", nullptr},
      {57, "StairsRightTopFirst", StairsRightTopFirst},
      {58, "StairsRightBottomFirst", StairsRightBottomFirst},
      {59, "StairsLeftTopFirst", StairsLeftTopFirst},
      {60, "StairsLeftBottomFirst", StairsLeftBottomFirst},
      {61, "TrianglesBottomLeftTopRight", TrianglesBottomLeftTopRight},
      {62, "DiagonalBand", DiagonalBand},
      {63, "TrianglesTopLeftBottomRight", TrianglesTopLeftBottomRight},
      {64, "AntiDiagonalBand", AntiDiagonalBand},
      {65, "FadeOutToBlack", nullptr},
      {66, "ColourMorph", nullptr},
      {67, "SnakeColumnsFromLeft", SnakeColumnsFromLeft},
      {68, "SnakeRowsFromTop", SnakeRowsFromTop},
      {69, "SnakeColumnsFromRight", SnakeColumnsFromRight},
      {70, "SnakeRowsFromBottom", SnakeRowsFromBottom},
      {71, "PushSnakeColumnsFromLeft", nullptr},
      {72, "PushSnakeRowsFromTop", nullptr},
      {73, "PushSnakeColumnsFromRight", nullptr},
      {74, "PushSnakeRowsFromBottom", nullptr},
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

}  // namespace transitions
