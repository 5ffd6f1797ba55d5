#include "app/password_dialog.h"

#include "app/scramble_password.h"
#include "platform/store/profile.h"
#include "platform/ui/message_box.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"

namespace app {

bool CheckMaxChars(ui::Dialog& dialog, int id, size_t limit) {
  if (dialog.GetDlgItemText(id).size() <= limit) return true;
  std::string text = res::LoadString(res::IDS_MAX_CHARACTERS);
  if (auto at = text.find("%1"); at != std::string::npos) {
    text.replace(at, 2, std::to_string(limit));
  }
  ui::ShowMessage(text, ui::MessageIcon::Exclamation);
  dialog.GotoDlgCtrl(id);
  return false;
}

PasswordDialog::PasswordDialog(std::string stored)
    : ui::Dialog(*res::FindDialogTemplate(res::IDD_PASSWORD)), stored_(std::move(stored)) {}

void PasswordDialog::OnOK() {
  if (!CheckMaxChars(*this, res::IDC_PASSWORD, kMaxPasswordLength)) return;
  if (ScramblePassword(GetDlgItemText(res::IDC_PASSWORD)) == stored_) {
    EndDialog(ui::IDOK);
    return;
  }
  SetDlgItemText(res::IDC_PASSWORD, "");
  ui::ShowMessage(res::LoadString(res::IDS_PASSWORD_WRONG), ui::MessageIcon::Exclamation);
  GotoDlgCtrl(res::IDC_PASSWORD);
}

NewPasswordDialog::NewPasswordDialog(store::Profile& profile)
    : ui::Dialog(*res::FindDialogTemplate(res::IDD_NEW_PASSWORD)), profile_(profile) {}

void NewPasswordDialog::OnOK() {
  if (!CheckMaxChars(*this, res::IDC_NEW_PASSWORD, kMaxPasswordLength) ||
      !CheckMaxChars(*this, res::IDC_CONFIRM, kMaxPasswordLength)) {
    return;
  }
  const std::string password = GetDlgItemText(res::IDC_NEW_PASSWORD);
  if (password != GetDlgItemText(res::IDC_CONFIRM)) {
    ui::ShowMessage(res::LoadString(res::IDS_PASSWORD_MISMATCH), ui::MessageIcon::Exclamation);
    return;
  }
  // An empty password removes the protection; a failed write is not reported.
  profile_.WriteProfileString(kPasswordSection, kPasswordEntry, ScramblePassword(password));
  ui::ShowMessage(res::LoadString(res::IDS_PASSWORD_CHANGED), ui::MessageIcon::Information);
  EndDialog(ui::IDOK);
}

}  // namespace app
