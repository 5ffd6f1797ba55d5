#include "scene/media_items.h"

#include "platform/ui/message_box.h"
#include "resources/string_table.h"

namespace scene {

bool MediaItem::prepare(const SceneList&) {
  if (UnusedResource(*this, references)) return true;
  if (data.size > 0) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

bool PlayMediaItem::prepare(const SceneList&) {
  return disabled || (name.validate() && link.validate());
}

bool StopMediaItem::prepare(const SceneList&) {
  return disabled || (name.validate() && link.validate());
}

}  // namespace scene
