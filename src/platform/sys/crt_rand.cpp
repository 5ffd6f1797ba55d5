#include "platform/sys/crt_rand.h"

namespace sys {
namespace {
thread_local uint32_t state = 1;
}

void CrtSrand(uint32_t seed) { state = seed; }

int CrtRand() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

}  // namespace sys
