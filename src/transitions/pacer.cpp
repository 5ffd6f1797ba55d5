#include "transitions/pacer.h"

#include <cmath>
#include <limits>

namespace transitions {

uint32_t PaceCount(uint32_t speed, double scale, uint32_t calibration) {
  if (!(scale > 0.0)) return 0;
  const double count = (1.0 - speed / scale) * calibration * scale * 0.00001;
  // A negative count (speed above the scale) means no wait rather than a huge one.
  if (!(count >= 1.0)) return 0;
  if (count >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
    return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(count);
}

}  // namespace transitions
