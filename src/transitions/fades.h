#pragma once
// Pixel-level transitions: the picture's own bitmap faded up from black or down to black
// by the clock, and the old screen content morphed into the new picture one colour step
// per pass.

#include <array>
#include <cstdint>

#include "transitions/effect_frame.h"

namespace transitions {

// Row v, entry c: (c * v) >> 8. One table read per byte and fade level.
using BrightnessTable = std::array<std::array<uint8_t, 256>, 256>;
void BuildBrightnessTable(BrightnessTable& table);

// Bytes per row of a 24-bit device-independent image `width` pixels wide (rows padded to
// 4 bytes); 0 when width is not positive.
size_t FadeStride(int width);

// One morph pass: every byte of `from` one step toward `to`. True when no pixel (3 bytes)
// still differs from `to` in all three bytes.
bool MorphPass(uint8_t* from, const uint8_t* to, size_t pixels);

void FadeInFromBlack(EffectFrame& f);  // 4
void FadeOutToBlack(EffectFrame& f);   // 65
void ColourMorph(EffectFrame& f);      // 66

}  // namespace transitions
