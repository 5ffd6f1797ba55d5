#pragma once
// Slides and pushes: the new picture slides in over the old one, the old one slides away
// and uncovers it, or the new one pushes the old one out. Members that move the old
// picture draw it from a snapshot of the screen taken when they start.

#include "transitions/effect_frame.h"

namespace transitions {

void CornersIn(EffectFrame& f);                  // 9
void QuartersOut(EffectFrame& f);                // 10
void CombHorizontal(EffectFrame& f);             // 15
void CombVertical(EffectFrame& f);               // 16
void SlideInFromTop(EffectFrame& f);             // 21
void SlideInFromBottom(EffectFrame& f);          // 22
void SlideInFromRight(EffectFrame& f);           // 23
void SlideInFromLeft(EffectFrame& f);            // 24
void SlideInFromTopRight(EffectFrame& f);        // 25
void SlideInFromBottomRight(EffectFrame& f);     // 26
void SlideInFromTopLeft(EffectFrame& f);         // 27
void SlideInFromBottomLeft(EffectFrame& f);      // 28
void UncoverDown(EffectFrame& f);                // 29
void UncoverUp(EffectFrame& f);                  // 30
void UncoverLeft(EffectFrame& f);                // 31
void UncoverRight(EffectFrame& f);               // 32
void UncoverDownLeft(EffectFrame& f);            // 33
void UncoverUpLeft(EffectFrame& f);              // 34
void UncoverDownRight(EffectFrame& f);           // 35
void UncoverUpRight(EffectFrame& f);             // 36
void PushDown(EffectFrame& f);                   // 41
void PushUp(EffectFrame& f);                     // 42
void PushLeft(EffectFrame& f);                   // 43
void PushRight(EffectFrame& f);                  // 44
void PushFromTopRight(EffectFrame& f);           // 45
void PushFromBottomRight(EffectFrame& f);        // 46
void PushFromTopLeft(EffectFrame& f);            // 47
void PushFromBottomLeft(EffectFrame& f);         // 48
void HalvesInVertical(EffectFrame& f);           // 53
void SplitOpenVertical(EffectFrame& f);          // 54
void HalvesInHorizontal(EffectFrame& f);         // 55
void SplitOpenHorizontal(EffectFrame& f);        // 56
void PushSnakeColumnsFromLeft(EffectFrame& f);   // 71
void PushSnakeRowsFromTop(EffectFrame& f);       // 72
void PushSnakeColumnsFromRight(EffectFrame& f);  // 73
void PushSnakeRowsFromBottom(EffectFrame& f);    // 74

}  // namespace transitions
