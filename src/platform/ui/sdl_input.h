#pragma once
// SDL input as window messages: the key table and the event translation of the SDL
// backends, kept apart from the window so tests can feed them synthetic events.

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/messages.h"

namespace ui {

// Windows virtual-key code of a key: letters and digits by the key's symbol (so the
// keyboard layout counts, as with Windows), everything else by its position.
// VK_UNKNOWN for keys without a code.
uint32_t VirtualKeyFromSdl(SDL_Keycode sym, SDL_Scancode scancode);

// Appends the messages one SDL event stands for (none for most events). A second click
// (and every even-numbered one, as Windows starts over after a double-click) becomes the
// double-click message instead of the button-down message. Keys pressed while Alt is
// held, and Alt itself, are system keys (and F10, as on Windows).
// Text typed into a dialog, as Windows-1252 bytes; characters without a code there are dropped.
std::string Utf8ToCp1252(std::string_view utf8);

void TranslateSdlEvent(const SDL_Event& event, std::vector<Message>& out);

}  // namespace ui
