#pragma once
// The player's string table. Texts are the program's own and are shown exactly as stored.

#include <string>

namespace res {

enum StringId : unsigned {
  IDS_PASSWORD_WRONG = 33000,
  IDS_PASSWORD_MISMATCH = 33001,
  IDS_PASSWORD_CHANGED = 33002,
  IDS_REGISTRY_KEY = 33004,
  IDS_SECTION_SETTINGS = 33006,
  IDS_ENTRY_STANDARD = 33007,
  IDS_ENTRY_MOUSEMOVE = 33008,
  IDS_ENTRY_BUTTONDOWN = 33009,
  IDS_ENTRY_DOUBLECLICK = 33010,
  IDS_ENTRY_KEYDOWN = 33011,
  IDS_ENTRY_ESCAPE = 33012,
  IDS_ENTRY_MUTE = 33013,
  IDS_TEXT_BITMAP_FAILED = 34002,
  IDS_CHOOSE_IMAGE = 34003,
  IDS_DATA_FILE_FAILED = 34014,
  IDS_CHOOSE_MEDIA = 34023,
  IDS_VALUE_SYSINFO = 34024,
  IDS_VALUE_TIMES = 34025,
  IDS_IDENTIFICATION = 34026,
  IDS_MAX_CHARACTERS = 61716,
};

// The text of a string resource; empty for an unknown id (as LoadString gives nothing).
const std::string& LoadString(unsigned id);

}  // namespace res
