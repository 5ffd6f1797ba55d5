#pragma once
// Line and band wipes: the new picture is revealed in place along lines or bands in a
// fixed order, copied from the work picture only.

#include "transitions/effect_frame.h"

namespace transitions {

void BoxIn(EffectFrame& f);                     // 7
void BoxOut(EffectFrame& f);                    // 8
void BlindsHorizontal(EffectFrame& f);          // 11
void BlindsVertical(EffectFrame& f);            // 12
void WipeDown(EffectFrame& f);                  // 37
void WipeUp(EffectFrame& f);                    // 38
void WipeLeft(EffectFrame& f);                  // 39
void WipeRight(EffectFrame& f);                 // 40
void WipeToMiddleVertical(EffectFrame& f);      // 49
void WipeFromMiddleVertical(EffectFrame& f);    // 50
void WipeToMiddleHorizontal(EffectFrame& f);    // 51
void WipeFromMiddleHorizontal(EffectFrame& f);  // 52
void StairsRightTopFirst(EffectFrame& f);       // 57
void StairsRightBottomFirst(EffectFrame& f);    // 58
void StairsLeftTopFirst(EffectFrame& f);        // 59
void StairsLeftBottomFirst(EffectFrame& f);     // 60
void SnakeColumnsFromLeft(EffectFrame& f);      // 67
void SnakeRowsFromTop(EffectFrame& f);          // 68
void SnakeColumnsFromRight(EffectFrame& f);     // 69
void SnakeRowsFromBottom(EffectFrame& f);       // 70
void SpiralClockwise(EffectFrame& f);           // 75
void SpiralCounterClockwise(EffectFrame& f);    // 76

}  // namespace transitions
