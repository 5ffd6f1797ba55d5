#include "platform/ui/sdl_message_presenter.h"

#include <SDL2/SDL.h>

#include "platform/sys/code_page.h"
#include "platform/ui/sdl_hints.h"

namespace ui {

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
  if (SDL_ShowSimpleMessageBox(flags, sys::Cp1252ToUtf8(caption_, sys::Undefined::kReplace).c_str(),
                               sys::Cp1252ToUtf8(body, sys::Undefined::kReplace).c_str(),
                               nullptr) != 0) {
    StderrPresenter().Show(text, icon);
  }
}

}  // namespace ui
