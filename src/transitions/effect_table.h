#pragma once
// The numbered effects as data: number, name and the function that plays it. A row
// without a function belongs to a family that is not built yet; Run shows its picture in
// one copy.

#include <array>
#include <cstdint>
#include <string_view>

#include "transitions/effect_frame.h"

namespace transitions {

using EffectFn = void (*)(EffectFrame&);

struct EffectInfo {
  int32_t number;
  std::string_view name;
  EffectFn run;               // null: family not built yet
  double paceScale = 1000.0;  // scale of the plain per-step wait
};

inline constexpr int32_t kEffectCount = 88;

const std::array<EffectInfo, kEffectCount>& EffectTable();
// The row of `effect`, or null for numbers outside 0 to 87.
const EffectInfo* FindEffect(int32_t effect);

}  // namespace transitions
