#include "scenepack/show.h"

#include <type_traits>

namespace scenepack {

namespace {

const auto& kNames = scene::kItemClassNames;

std::string Describe(int item, const std::string& name, const std::string& field,
                     const std::string& message) {
  std::string s;
  if (item >= 0) s = "item " + std::to_string(item) + " (\"" + name + "\"), ";
  if (!field.empty()) s += "field \"" + field + "\": ";
  return s + message;
}

}  // namespace

Item::Item(int32_t itemKind) : kind(itemKind) {
  scene::WithRecordType(
      kind, [&](auto* type) { record.emplace<std::remove_pointer_t<decltype(type)>>(); });
}

const char* KindName(int kind) {
  return kind >= 0 && kind < kKindCount ? kNames[static_cast<size_t>(kind)] : nullptr;
}

int KindOf(const std::string& className) {
  for (size_t k = 0; k < kNames.size(); ++k)
    if (className == kNames[k]) return static_cast<int>(k);
  return -1;
}

ShowError::ShowError(int item, std::string itemName, std::string field, const std::string& message)
    : std::runtime_error(Describe(item, itemName, field, message)),
      item_(item),
      itemName_(std::move(itemName)),
      field_(std::move(field)) {}

}  // namespace scenepack
