#pragma once
// Effects by the names of the player's effect table, for manifests and the command line.

#include <cstdint>
#include <optional>
#include <string>

namespace scenepack {

// The number of an effect name (letter case aside), or nullopt.
std::optional<int32_t> EffectByName(const std::string& name);
// The name of an effect number, or "" outside the table.
std::string EffectName(int32_t number);
// One line on what the effect does.
std::string EffectSummary(int32_t number);
// Every effect: number, name and summary, one a line.
std::string EffectList();

}  // namespace scenepack
