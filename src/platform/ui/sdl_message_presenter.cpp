#include "platform/ui/sdl_message_presenter.h"

#include <SDL2/SDL.h>

#include "platform/ui/sdl_hints.h"

namespace ui {

std::string Cp1252ToUtf8(const std::string& text) {
  static const char16_t high[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (unsigned char c : text) {
    char32_t cp = c < 0x80 ? c : (c < 0xA0 ? high[c - 0x80] : c);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

void SdlMessagePresenter::Show(const std::string& text, MessageIcon icon) {
  uint32_t flags = SDL_MESSAGEBOX_INFORMATION;
  if (icon == MessageIcon::Stop) flags = SDL_MESSAGEBOX_ERROR;
  if (icon == MessageIcon::Exclamation) flags = SDL_MESSAGEBOX_WARNING;
  // Windows line ends would show as two breaks.
  std::string body;
  for (char c : text) {
    if (c != '\r') body += c;
  }
  ConfigureSdlHints();
  // No owner window: SDL wants the owner's thread, and messages come from any thread.
  if (SDL_ShowSimpleMessageBox(flags, Cp1252ToUtf8(caption_).c_str(),
                               Cp1252ToUtf8(body).c_str(), nullptr) != 0) {
    StderrPresenter().Show(text, icon);
  }
}

}  // namespace ui
