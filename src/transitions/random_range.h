#pragma once
// Bounded random numbers over the runtime's per-thread generator. Effects, placement and
// timing items draw from it; the sequence must match the stored shows' expectations, so
// the arithmetic is kept exactly as it always was (including the draw that can exceed hi).

#include <cstdint>

namespace sys {
class Clock;
}

namespace transitions {

class RandomRange {
 public:
  // A seed of 0 is replaced by the clock's calendar seconds.
  RandomRange(int32_t seed, sys::Clock& clock);

  // Both 0: the full range 0..32767. a >= b: refused, nothing changes. Unsigned arguments.
  bool SetRange(uint32_t a, uint32_t b);
  // lo .. hi + 1 (hi + 1 only for the draw 32767).
  uint32_t Next();

  uint32_t lo() const { return lo_; }
  uint32_t hi() const { return hi_; }
  int32_t seed() const { return seed_; }
  double scale() const { return scale_; }

 private:
  uint32_t lo_ = 0;
  uint32_t hi_ = 32767;
  int32_t seed_ = 0;
  double scale_ = 1.0;
};

}  // namespace transitions
