#pragma once
// The player's dialog resources: 102 (new password), 103 (password), 133 (settings).

#include "platform/ui/dialog_template.h"

namespace res {

inline constexpr int IDD_NEW_PASSWORD = 102;
inline constexpr int IDD_PASSWORD = 103;
inline constexpr int IDD_SETTINGS = 133;

// Control identifiers the dialogs' code uses.
inline constexpr int IDC_PASSWORD = 1000;
inline constexpr int IDC_CONFIRM = 1001;
inline constexpr int IDC_NEW_PASSWORD = 1002;
inline constexpr int IDC_MUTE = 1004;
inline constexpr int IDC_MOUSE_MOVE = 1006;  // 1006..1010: string id minus 32002
inline constexpr int IDC_ESCAPE = 1010;
inline constexpr int IDC_STANDARD = 1013;
inline constexpr int IDC_CUSTOM = 1014;

// The template of a dialog resource; nullptr for an unknown id.
const ui::DialogTemplate* FindDialogTemplate(int id);

}  // namespace res
