#include "scenepack/effect_names.h"

#include <cctype>
#include <cstdio>

#include "transitions/effect_table.h"

namespace scenepack {

std::optional<int32_t> EffectByName(const std::string& name) {
  for (const auto& row : transitions::EffectTable()) {
    if (row.name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(name[i])) ==
             std::tolower(static_cast<unsigned char>(row.name[i]));
    if (same) return row.number;
  }
  return std::nullopt;
}

std::string EffectName(int32_t number) {
  const auto* row = transitions::FindEffect(number);
  return row ? std::string(row->name) : std::string();
}

std::string EffectSummary(int32_t number) {
  const auto* row = transitions::FindEffect(number);
  if (!row) return "";
  using transitions::Placement;
  if (row->Random()) return "a transition chosen at random each time the picture shows";
  if (row->Placed()) {
    switch (row->placement) {
      case Placement::kTiled:
        return "the picture at once, tiled over the screen";
      case Placement::kStretched:
        return "the picture at once, stretched over the screen";
      default:
        return "the picture at once, at its place";
    }
  }
  // The table's names say what the transitions do: "SlideInFromTopRight" is a slide in
  // from the top right.
  std::string words;
  for (char c : row->name) {
    if (std::isupper(static_cast<unsigned char>(c)) && !words.empty()) words += ' ';
    words += static_cast<char>(words.empty() ? c : std::tolower(static_cast<unsigned char>(c)));
  }
  return words;
}

std::string EffectList() {
  std::string out;
  for (const auto& row : transitions::EffectTable()) {
    char line[160];
    std::snprintf(line, sizeof line, "%2d  %-28s %s\n", row.number, std::string(row.name).c_str(),
                  EffectSummary(row.number).c_str());
    out += line;
  }
  return out;
}

}  // namespace scenepack
