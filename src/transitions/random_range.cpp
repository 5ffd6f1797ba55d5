#include "transitions/random_range.h"

#include "platform/sys/clock.h"
#include "platform/sys/crt_rand.h"

namespace transitions {

RandomRange::RandomRange(int32_t seed, sys::Clock& clock) : seed_(seed) {
  if (seed_ == 0) seed_ = static_cast<int32_t>(clock.CalendarSeconds());
  sys::CrtSrand(static_cast<uint32_t>(seed_));
  const int r = sys::CrtRand();
  sys::CrtSrand((static_cast<uint32_t>(seed_) << 8) | static_cast<uint32_t>(r & 0xFF));
}

bool RandomRange::SetRange(uint32_t a, uint32_t b) {
  if (a == 0 && b == 0) {
    lo_ = 0;
    hi_ = 32767;
  } else if (a >= b) {
    return false;
  } else {
    lo_ = a;
    hi_ = b;
  }
  if (lo_ < hi_) scale_ = (static_cast<double>(hi_ - lo_) + 1.0) * 0.00003051850947599719;
  return true;
}

uint32_t RandomRange::Next() {
  const int draw = sys::CrtRand();
  return static_cast<uint32_t>(static_cast<double>(draw) * scale_) + lo_;
}

}  // namespace transitions
