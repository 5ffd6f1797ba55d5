#include "platform/store/profile.h"

namespace store {

Profile::Profile(Store& store, std::string_view registryKey, std::string_view appName)
    : store_(store) {
  appPath_ = "Software\\";
  appPath_ += registryKey;
  appPath_ += '\\';
  appPath_ += appName;
}

std::string Profile::SectionPath(std::string_view section) const {
  return appPath_ + "\\" + std::string(section);
}

uint32_t Profile::GetProfileInt(std::string_view section, std::string_view entry,
                                uint32_t defaultValue) const {
  auto key = RegistryKey::Open(store_, Root::CurrentUser, SectionPath(section));
  if (!key) return defaultValue;
  return key->ReadDword(entry).value_or(defaultValue);
}

bool Profile::WriteProfileInt(std::string_view section, std::string_view entry, uint32_t value) {
  auto key = RegistryKey::Create(store_, Root::CurrentUser, SectionPath(section));
  return key && key->WriteDword(entry, value);
}

std::string Profile::GetProfileString(std::string_view section, std::string_view entry,
                                      std::string_view defaultValue) const {
  auto key = RegistryKey::Open(store_, Root::CurrentUser, SectionPath(section));
  if (!key) return std::string(defaultValue);
  auto text = key->ReadString(entry);
  return text ? *text : std::string(defaultValue);
}

bool Profile::WriteProfileString(std::string_view section, std::string_view entry,
                                 std::string_view value) {
  auto key = RegistryKey::Create(store_, Root::CurrentUser, SectionPath(section));
  return key && key->WriteString(entry, value);
}

}  // namespace store
