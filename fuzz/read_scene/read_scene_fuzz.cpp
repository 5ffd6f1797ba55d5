// Any byte string as a project archive: must load or be refused, never crash or hang.

#include <cstddef>
#include <cstdint>

#include "platform/sys/bounded_reader.h"
#include "platform/ui/message_box.h"
#include "scene/project_archive.h"
#include "scene/scene_list.h"

namespace {

class Silent final : public ui::MessagePresenter {
 public:
  void Show(const std::string&, ui::MessageIcon) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Silent silent;
  ui::SetMessagePresenter(&silent);
  sys::MemorySource source({data, size});
  scene::ProjectArchive archive(source);
  scene::SceneList list;
  try {
    archive.ReadInt32();
  } catch (const scene::ArchiveError&) {
    return 0;
  }
  scene::ReadScene(archive, list);
  return 0;
}
