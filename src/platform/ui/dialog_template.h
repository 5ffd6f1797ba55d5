#pragma once
// Dialog templates: what a dialog resource holds. Positions and sizes are in dialog units,
// turned into pixels by the dialog font's base units when the dialog is made.

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// Window and control styles, with their Windows values.
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_GROUP = 0x00020000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_DISABLED = 0x08000000;
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t DS_MODALFRAME = 0x80;
inline constexpr uint32_t ES_PASSWORD = 0x20;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x80;

// Control identifiers of the standard buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

enum class ControlKind {
  PushButton,
  DefPushButton,
  AutoCheckBox,
  AutoRadioButton,
  GroupBox,
  Static,      // left-aligned text; '&' marks the mnemonic
  Edit,        // one line
  EtchedHorz,  // etched horizontal line
  Icon,        // a 32 x 32 message icon: text "!" exclamation, "i" information, "x" stop
};

struct DialogItem {
  int id = IDC_STATIC;
  ControlKind kind = ControlKind::Static;
  std::string text;  // Windows-1252
  int x = 0, y = 0, cx = 0, cy = 0;
  uint32_t style = 0;  // WS_TABSTOP, WS_GROUP, ES_* ...
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  int cx = 0, cy = 0;
  std::string fontFace;
  int pointSize = 8;
  uint32_t style = 0;
  std::vector<DialogItem> items;
};

}  // namespace ui
