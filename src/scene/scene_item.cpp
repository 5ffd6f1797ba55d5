#include "scene/scene_item.h"

#include "scene/project_archive.h"

namespace scene {

const char* ItemClassName(int32_t kind) {
  static const char* const kNames[kItemKindCount] = {
      "PictureItem",    "ShowPictureItem", "MovePictureItem", "HidePictureItem", "PauseItem",
      "BackgroundItem", "LoopStartItem",   "LoopEndItem",     "LineItem",        "MediaItem",
      "PlayMediaItem",  "StopMediaItem",   "CommentItem",     "LinkItem"};
  return kind >= 0 && kind < kItemKindCount ? kNames[kind] : "";
}

void SceneItem::loadHeader(ProjectArchive& archive) {
  name.load(archive);
  tagValue = archive.ReadInt32();
  disabled = archive.ReadInt32();
}

void SceneItem::assignHeader(const SceneItem& other) {
  name.assign(other.name);
  tagValue = other.tagValue;
  disabled = other.disabled;
}

void SceneItem::assign(const SceneItem& other) {
  if (other.kind == kind) assignHeader(other);
}

void SceneItem::load(ProjectArchive& archive) { loadHeader(archive); }

bool SceneItem::prepare(const SceneList&) { return disabled || name.validate(); }

int SceneItem::play(PlayHost&, int32_t&) { return 1; }

}  // namespace scene
