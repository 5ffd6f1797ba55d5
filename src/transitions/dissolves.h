#pragma once
// Random dissolves: the new picture is revealed in place, one block, row or column at a
// time, in an order drawn from the show's random generator.

#include "transitions/effect_frame.h"

namespace transitions {

void DissolveSmallBlocks(EffectFrame& f);  // 5
void DissolveBlocks(EffectFrame& f);       // 6
void RandomRows(EffectFrame& f);           // 13
void RandomColumns(EffectFrame& f);        // 14

}  // namespace transitions
