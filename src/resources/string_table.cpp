#include "resources/string_table.h"

#include <unordered_map>

namespace res {

const std::string& LoadString(unsigned id) {
  static const std::unordered_map<unsigned, std::string> table = {
      {IDS_PASSWORD_WRONG, "The password is not correct."},
      {IDS_PASSWORD_MISMATCH, "The new and confirmed passwords do not match."},
      {IDS_PASSWORD_CHANGED, "The password has been successfully changed."},
      {IDS_REGISTRY_KEY, "Quillmoor\\Screen Saver"},
      {IDS_SECTION_SETTINGS, "Settings"},
      {IDS_ENTRY_STANDARD, "Standard"},
      {IDS_ENTRY_MOUSEMOVE, "MouseMove"},
      {IDS_ENTRY_BUTTONDOWN, "ButtonDown"},
      {IDS_ENTRY_DOUBLECLICK, "DoubleClick"},
      {IDS_ENTRY_KEYDOWN, "KeyDown"},
      {IDS_ENTRY_ESCAPE, "Escape"},
      {IDS_ENTRY_MUTE, "Mute"},
      {IDS_TEXT_BITMAP_FAILED, "\ntext bitmap cannot be made."},
      {IDS_CHOOSE_IMAGE, "You have to choose the image."},
      {IDS_DATA_FILE_FAILED, "It cannot be made data file."},
      {IDS_CHOOSE_MEDIA, "You have to choose the media."},
      {IDS_VALUE_SYSINFO, "SysInfo"},
      {IDS_VALUE_TIMES, "Times"},
      {IDS_IDENTIFICATION, "SceneProject"},
      {IDS_MAX_CHARACTERS, "Please enter no more than %1 characters."},
  };
  static const std::string empty;
  auto it = table.find(id);
  return it == table.end() ? empty : it->second;
}

}  // namespace res
