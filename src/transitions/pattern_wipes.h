#pragma once
// Pattern wipes: the new picture is revealed in place from the work picture in an order
// that follows a pattern (checkerboards, diagonals, wedges, repeated cells, rolls).

#include "transitions/effect_frame.h"

namespace transitions {

void CheckerColumns(EffectFrame& f);               // 17
void CheckerRows(EffectFrame& f);                  // 18
void StaggerColumns(EffectFrame& f);               // 19
void StaggerRows(EffectFrame& f);                  // 20
void TrianglesBottomLeftTopRight(EffectFrame& f);  // 61
void DiagonalBand(EffectFrame& f);                 // 62
void TrianglesTopLeftBottomRight(EffectFrame& f);  // 63
void AntiDiagonalBand(EffectFrame& f);             // 64
void WedgesFromTop(EffectFrame& f);                // 77
void WedgesFromBottom(EffectFrame& f);             // 78
void GrowingSquares(EffectFrame& f);               // 79
void ShrinkingFrames(EffectFrame& f);              // 80
void CellDiagonals(EffectFrame& f);                // 81
void RollRight(EffectFrame& f);                    // 82
void RollLeft(EffectFrame& f);                     // 83
void RollDown(EffectFrame& f);                     // 84
void RollUp(EffectFrame& f);                       // 85
void RollInHorizontal(EffectFrame& f);             // 86
void RollInVertical(EffectFrame& f);               // 87

}  // namespace transitions
