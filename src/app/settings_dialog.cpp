#include "app/settings_dialog.h"

#include "platform/store/profile.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"

namespace app {

namespace {
const std::string& Section() { return res::LoadString(res::IDS_SECTION_SETTINGS); }
const std::string& Entry(unsigned id) { return res::LoadString(id); }
// Each exit entry's check box is its string id minus 32002.
constexpr int kEntryToControl = 32002;
}  // namespace

SettingsDialog::SettingsDialog(store::Profile& profile)
    : ui::Dialog(*res::FindDialogTemplate(res::IDD_SETTINGS)), profile_(profile) {}

void SettingsDialog::EnableExitBoxes(bool enabled) {
  for (unsigned id = res::IDS_ENTRY_MOUSEMOVE; id <= res::IDS_ENTRY_ESCAPE; ++id) {
    EnableControl(static_cast<int>(id) - kEntryToControl, enabled);
  }
}

void SettingsDialog::OnInitDialog() {
  if (profile_.GetProfileInt(Section(), Entry(res::IDS_ENTRY_STANDARD), 1) == 1) {
    CheckRadioButton(res::IDC_STANDARD, res::IDC_CUSTOM, res::IDC_STANDARD);
    EnableExitBoxes(false);
  } else {
    CheckRadioButton(res::IDC_STANDARD, res::IDC_CUSTOM, res::IDC_CUSTOM);
  }
  for (unsigned id = res::IDS_ENTRY_MOUSEMOVE; id <= res::IDS_ENTRY_ESCAPE; ++id) {
    CheckDlgButton(static_cast<int>(id) - kEntryToControl,
                   profile_.GetProfileInt(Section(), Entry(id), 0) != 0);
  }
  CheckDlgButton(res::IDC_MUTE,
                 profile_.GetProfileInt(Section(), Entry(res::IDS_ENTRY_MUTE), 0) != 0);
}

void SettingsDialog::OnCommand(int id) {
  if (id == res::IDC_STANDARD) EnableExitBoxes(false);
  if (id == res::IDC_CUSTOM) EnableExitBoxes(true);
}

void SettingsDialog::OnOK() {
  int checked = 0;
  for (unsigned id = res::IDS_ENTRY_MOUSEMOVE; id <= res::IDS_ENTRY_ESCAPE; ++id) {
    if (IsChecked(static_cast<int>(id) - kEntryToControl)) ++checked;
  }
  // Custom settings with nothing chosen are the standard settings.
  if (checked == 0 && !IsChecked(res::IDC_STANDARD)) {
    CheckRadioButton(res::IDC_STANDARD, res::IDC_CUSTOM, res::IDC_STANDARD);
  }
  const bool standard = IsChecked(res::IDC_STANDARD);
  // Failed writes are not reported: the dialog closes all the same.
  profile_.WriteProfileInt(Section(), Entry(res::IDS_ENTRY_STANDARD), standard ? 1 : 0);
  for (unsigned id = res::IDS_ENTRY_MOUSEMOVE; id <= res::IDS_ENTRY_ESCAPE; ++id) {
    const bool on = !standard && IsChecked(static_cast<int>(id) - kEntryToControl);
    profile_.WriteProfileInt(Section(), Entry(id), on ? 1 : 0);
  }
  profile_.WriteProfileInt(Section(), Entry(res::IDS_ENTRY_MUTE), IsChecked(res::IDC_MUTE) ? 1 : 0);
  EndDialog(ui::IDOK);
}

}  // namespace app
