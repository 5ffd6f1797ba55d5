#pragma once
// The numbered effects as data: number, name and the function that plays it. A row
// without a function belongs to a family that is not built yet; Run shows its picture in
// one copy.

#include <array>
#include <cstdint>
#include <string_view>

#include "transitions/effect_frame.h"

namespace sys {
class Clock;
}

namespace transitions {

using EffectFn = void (*)(EffectFrame&);

// What an effect does with the picture: places it at once, stands for another effect
// chosen at each showing, or brings it on step by step.
enum class EffectKind : uint8_t { kPlacement, kRandom, kTransition };
// Where a placement puts the picture.
enum class Placement : uint8_t { kAtPoint, kTiled, kStretched };

struct EffectInfo {
  int32_t number;
  std::string_view name;
  EffectFn run;               // null: family not built yet
  double paceScale = 1000.0;  // scale of the plain per-step wait
  EffectKind kind = EffectKind::kTransition;
  Placement placement = Placement::kAtPoint;  // placements only
  // Reads the picture's own bitmap level by level on the clock (the fades), rather than
  // copying the prepared picture in steps.
  bool fadesBitmap = false;

  bool Placed() const { return kind == EffectKind::kPlacement; }
  bool Random() const { return kind == EffectKind::kRandom; }
  // Tiled and stretched pictures fill the screen: their work surface, and the area that
  // hiding them erases, is the whole screen.
  bool FillsScreen() const {
    return Placed() && (placement == Placement::kTiled || placement == Placement::kStretched);
  }
  // Whether only the part of the picture on the screen is brought on (the fades draw the
  // whole bitmap, placements copy it whole).
  bool ClipsToScreen() const { return !Placed() && !fadesBitmap; }
};

inline constexpr int32_t kEffectCount = 88;

const std::array<EffectInfo, kEffectCount>& EffectTable();
// The row of `effect`, or null for numbers outside 0 to 87.
const EffectInfo* FindEffect(int32_t effect);
// The row of `effect`; a number outside the table (from a damaged show) gets the traits
// of a transition that draws nothing.
const EffectInfo& EffectTraits(int32_t effect);
// A transition for the random effect, chosen anew at every showing from the clock.
int32_t PickRandomEffect(sys::Clock& clock);

}  // namespace transitions
