#include "scene/scene_item.h"

#include "scene/project_archive.h"

namespace scene {

const char* ItemClassName(int32_t kind) {
  return kind >= 0 && kind < kItemKindCount ? kItemClassNames[static_cast<size_t>(kind)] : "";
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
