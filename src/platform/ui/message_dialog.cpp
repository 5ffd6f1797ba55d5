#include "platform/ui/message_dialog.h"

#include <algorithm>

#include "platform/text/text_output.h"

namespace ui {

DialogTemplate MessageBoxTemplate(const std::string& caption, const std::string& text,
                                  MessageIcon icon) {
  DialogTemplate t;
  t.caption = caption;
  t.fontFace = "MS Sans Serif";
  t.pointSize = 8;
  t.style = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  const auto font = text::Font::Create(DialogFont(t));
  const BaseUnits u = DialogBaseUnits(*font);
  // Laid out in pixels, then put in dialog units (rounded up so nothing is cut).
  auto dx = [&](int px) { return (px * 4 + u.x - 1) / u.x; };
  auto dy = [&](int px) { return (px * 8 + u.y - 1) / u.y; };
  std::string shown;
  for (char c : text) {
    if (c != '\r') shown += c;
  }
  int lines = 1, widest = 0;
  size_t start = 0;
  while (true) {
    const size_t end = shown.find('\n', start);
    const std::string line = shown.substr(start, end == std::string::npos ? end : end - start);
    widest = std::max(widest, text::GetTextExtentPoint32(*font, line).cx);
    if (end == std::string::npos) break;
    ++lines;
    start = end + 1;
  }
  const int lineH = font->Metrics().tmHeight;
  const bool hasIcon = icon != MessageIcon::None;
  const int textX = hasIcon ? 11 + 32 + 12 : 11;
  const int textH = lines * lineH;
  const int top = hasIcon ? 11 + std::max(0, (32 - textH) / 2) : 11;
  const int contentBottom = std::max(hasIcon ? 11 + 32 : 0, top + textH);
  const int width = std::max(textX + widest + 11, 75 + 22);
  const int buttonY = contentBottom + 12;
  t.cx = dx(width);
  t.cy = dy(buttonY + 23 + 11);
  if (hasIcon) {
    const char* kind = icon == MessageIcon::Information ? "i"
                       : icon == MessageIcon::Stop      ? "x"
                                                        : "!";
    t.items.push_back(
        DialogItem{IDC_STATIC, ControlKind::Icon, kind, dx(11), dy(11), dx(32), dy(32), 0});
  }
  // One static per line: a static control draws one line.
  start = 0;
  for (int i = 0; i < lines; ++i) {
    const size_t end = shown.find('\n', start);
    std::string line = shown.substr(start, end == std::string::npos ? end : end - start);
    // Ampersands are shown as they are, not as mnemonics.
    std::string esc;
    for (char c : line) esc += c == '&' ? std::string("&&") : std::string(1, c);
    t.items.push_back(DialogItem{IDC_STATIC, ControlKind::Static, esc, dx(textX),
                                 dy(top + i * lineH), dx(widest + 2), dy(lineH), 0});
    start = end == std::string::npos ? shown.size() : end + 1;
  }
  t.items.push_back(DialogItem{IDOK, ControlKind::DefPushButton, "OK", dx((width - 75) / 2),
                               dy(buttonY), 50, 14, WS_TABSTOP});
  return t;
}

}  // namespace ui
