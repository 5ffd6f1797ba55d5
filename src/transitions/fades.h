#pragma once
// Pixel-level transitions: the picture's own bitmap faded up from black or down to black
// by the clock, and the old screen content morphed into the new picture one colour step
// per pass.

#include <cstddef>
#include <cstdint>

#include "transitions/effect_frame.h"

namespace transitions {

// One fade level of n screen pixels: each colour byte c becomes (c * v) >> 8 (v up to 255),
// the byte above the colours 0. Vector code: a level costs about as much as copying the
// pixels.
void FadeLevel(gfx::Pixel* out, const gfx::Pixel* in, size_t n, unsigned v);

// One morph step of n screen pixels: every colour byte of `from` one step toward `to`.
// With `look`, true when some pixel still differs from `to` in all three colour bytes.
bool MorphStep(gfx::Pixel* from, const gfx::Pixel* to, size_t n, bool look);

void FadeInFromBlack(EffectFrame& f);  // 4
void FadeOutToBlack(EffectFrame& f);   // 65
void ColourMorph(EffectFrame& f);      // 66

}  // namespace transitions
