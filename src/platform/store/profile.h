#pragma once
// The application profile: integers and strings per section, kept in the registry stand-in
// under HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>, so each
// application name has settings of its own. Missing or mistyped values read as the
// caller's default.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/store/registry.h"

namespace store {

class Profile {
 public:
  // registryKey: the company/product part, e.g. "Quillmoor\Screen Saver".
  Profile(Store& store, std::string_view registryKey, std::string_view appName);

  // The key that holds a section's values (relative to HKEY_CURRENT_USER).
  std::string SectionPath(std::string_view section) const;

  uint32_t GetProfileInt(std::string_view section, std::string_view entry,
                         uint32_t defaultValue) const;
  bool WriteProfileInt(std::string_view section, std::string_view entry, uint32_t value);
  std::string GetProfileString(std::string_view section, std::string_view entry,
                               std::string_view defaultValue = {}) const;
  bool WriteProfileString(std::string_view section, std::string_view entry, std::string_view value);

 private:
  Store& store_;
  std::string appPath_;
};

}  // namespace store
