#pragma once
// Asking for the password, and setting a new one.

#include <string>

#include "platform/ui/dialog.h"

namespace store {
class Profile;
}

namespace app {

// Section and entry of the stored scrambled password.
inline constexpr const char* kPasswordSection = "Password";
inline constexpr const char* kPasswordEntry = "Encrypt";

// Ends with OK only when the typed password scrambles to `stored`.
class PasswordDialog final : public ui::Dialog {
 public:
  explicit PasswordDialog(std::string stored);

 private:
  void OnOK() override;
  std::string stored_;
};

// On OK writes the scrambled new password (empty: no password).
class NewPasswordDialog final : public ui::Dialog {
 public:
  explicit NewPasswordDialog(store::Profile& profile);

 private:
  void OnOK() override;
  store::Profile& profile_;
};

// The framework's length check: false (after saying so) when the edit holds more than
// `limit` characters; the focus then goes to the edit.
bool CheckMaxChars(ui::Dialog& dialog, int id, size_t limit);

}  // namespace app
