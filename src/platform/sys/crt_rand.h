#pragma once
// The C runtime's rand()/srand() of the original platform, reproduced exactly: stored
// passwords and every random choice of a show depend on this sequence. The state is per
// thread, as in that runtime.

#include <cstdint>

namespace sys {

constexpr int kCrtRandMax = 0x7FFF;

void CrtSrand(uint32_t seed);
int CrtRand();

}  // namespace sys
