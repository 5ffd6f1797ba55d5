#include "resources/dialog_templates.h"

namespace res {
namespace {

using ui::ControlKind;
using ui::DialogItem;
using ui::DialogTemplate;
constexpr uint32_t kButton = ui::WS_TABSTOP;
constexpr uint32_t kEdit = ui::ES_PASSWORD | ui::ES_AUTOHSCROLL | ui::WS_BORDER | ui::WS_TABSTOP;

const DialogTemplate kNewPassword{
    IDD_NEW_PASSWORD,
    "New password",
    192,
    63,
    "MS Sans Serif",
    8,
    ui::DS_MODALFRAME | ui::WS_POPUP | ui::WS_CAPTION,
    {
        DialogItem{ui::IDC_STATIC, ControlKind::Static, "&Password", 7, 7, 42, 8, 0},
        DialogItem{IDC_NEW_PASSWORD, ControlKind::Edit, "", 7, 16, 103, 13, kEdit},
        DialogItem{ui::IDC_STATIC, ControlKind::Static, "&Confirm", 7, 35, 37, 8, 0},
        DialogItem{IDC_CONFIRM, ControlKind::Edit, "", 7, 44, 103, 13, kEdit},
        DialogItem{ui::IDOK, ControlKind::DefPushButton, "OK", 135, 7, 50, 14, kButton},
        DialogItem{ui::IDCANCEL, ControlKind::PushButton, "Cancel", 135, 24, 50, 14, kButton},
    }};

const DialogTemplate kPassword{
    IDD_PASSWORD,
    "Password",
    192,
    46,
    "MS Sans Serif",
    8,
    ui::DS_MODALFRAME | ui::WS_POPUP | ui::WS_CAPTION | ui::WS_SYSMENU,
    {
        DialogItem{ui::IDC_STATIC, ControlKind::Static, "&Password", 7, 7, 49, 8, 0},
        DialogItem{IDC_PASSWORD, ControlKind::Edit, "", 7, 16, 103, 13, kEdit},
        DialogItem{ui::IDOK, ControlKind::DefPushButton, "OK", 135, 7, 50, 14, kButton},
        DialogItem{ui::IDCANCEL, ControlKind::PushButton, "Cancel", 135, 24, 50, 14, kButton},
    }};

const DialogTemplate kSettings{
    IDD_SETTINGS,
    "Settings",
    136,
    140,
    "MS Sans Serif",
    8,
    ui::DS_MODALFRAME | ui::WS_POPUP | ui::WS_CAPTION | ui::WS_SYSMENU,
    {
        DialogItem{ui::IDOK, ControlKind::DefPushButton, "OK", 79, 119, 50, 14, kButton},
        DialogItem{ui::IDCANCEL, ControlKind::PushButton, "Cancel", 28, 119, 50, 14, kButton},
        DialogItem{1007, ControlKind::AutoCheckBox, "On Mouse &Click", 43, 49, 66, 10, kButton},
        DialogItem{1008, ControlKind::AutoCheckBox, "On &Double Click", 43, 61, 66, 10, kButton},
        DialogItem{1009, ControlKind::AutoCheckBox, "On &Key Pressed", 43, 72, 66, 10, kButton},
        DialogItem{1010, ControlKind::AutoCheckBox, "On Esca&pe", 43, 83, 66, 10, kButton},
        DialogItem{ui::IDC_STATIC, ControlKind::GroupBox, "Exit", 26, 29, 103, 67, 0},
        DialogItem{1006, ControlKind::AutoCheckBox, "On Mouse &Move", 43, 38, 66, 10, kButton},
        DialogItem{IDC_MUTE, ControlKind::AutoCheckBox, "&Mute screen saver", 7, 100, 105, 10,
                   kButton},
        DialogItem{IDC_STANDARD, ControlKind::AutoRadioButton, "&Standard exit settings", 7, 7, 83,
                   10, ui::WS_GROUP | ui::WS_TABSTOP},
        DialogItem{IDC_CUSTOM, ControlKind::AutoRadioButton, "&Custom exit settings", 7, 18, 78, 10,
                   0},
        DialogItem{ui::IDC_STATIC, ControlKind::EtchedHorz, "", 7, 114, 122, 1, 0},
    }};

}  // namespace

const ui::DialogTemplate* FindDialogTemplate(int id) {
  switch (id) {
    case IDD_NEW_PASSWORD:
      return &kNewPassword;
    case IDD_PASSWORD:
      return &kPassword;
    case IDD_SETTINGS:
      return &kSettings;
    default:
      return nullptr;
  }
}

}  // namespace res
