#include "scene/scene_item.h"

#include "platform/sys/code_page.h"
#include "scene/project_archive.h"

namespace scene {

const char* ItemClassName(int32_t kind) {
  return kind >= 0 && kind < kItemKindCount ? kItemClassNames[static_cast<size_t>(kind)] : "";
}

std::string SceneItem::describe(size_t position) const {
  std::string s = "item " + std::to_string(position) + " (" + className() + " \"" +
                  sys::Cp1252ToUtf8(name.text, sys::Undefined::kReplace) + "\"";
  const std::string file = sourceFileName();
  if (!file.empty()) s += ", file \"" + sys::Cp1252ToUtf8(file, sys::Undefined::kReplace) + "\"";
  return s + ")";
}

void SceneItem::loadHeader(ProjectArchive& archive) {
  name.load(archive);
  tagValue = archive.ReadInt32();
  disabled = archive.ReadInt32();
}

void SceneItem::load(ProjectArchive& archive) { loadHeader(archive); }

bool SceneItem::prepare(const SceneList&) { return disabled || name.validate(); }

int SceneItem::play(PlayHost&, int32_t&) { return 1; }

bool UnusedResource(const SceneItem& resource, const std::vector<SceneItem*>& references) {
  if (!resource.disabled) return false;
  for (const SceneItem* holder : references) {
    if (!holder->isDisabled()) return false;
  }
  return true;
}

}  // namespace scene
