#include "scene/temp_data_file.h"

#include "platform/sys/temp_file.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"

namespace scene {

bool WriteTempFile(const void* data, size_t size, std::string& outName) {
  outName.clear();
  sys::NewTempFile file("Ssd");
  if (file.ok()) {
    std::string path = file.path();
    bool written = (size == 0 || file.WriteAll(data, size));
    // A failed close can mean the data never reached the file.
    if (file.Close() && written) {
      outName = std::move(path);
      return true;
    }
    sys::RemoveFile(path);
  }
  ui::ShowMessage(res::LoadString(res::IDS_DATA_FILE_FAILED));
  return false;
}

}  // namespace scene
