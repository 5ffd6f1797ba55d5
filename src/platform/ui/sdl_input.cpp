#include "platform/ui/sdl_input.h"

#include "platform/sys/code_page.h"

namespace ui {
namespace {

struct ScancodeKey {
  SDL_Scancode scancode;
  uint32_t vk;
};

// Keys by position; letters and digits are handled before this table.
constexpr ScancodeKey kScancodeKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RGUI, VK_RWIN},
    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102},
};

uint32_t MouseKeyState(uint32_t buttons) {
  uint32_t mk = 0;
  if (buttons & SDL_BUTTON_LMASK) mk |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) mk |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) mk |= MK_MBUTTON;
  SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) mk |= MK_SHIFT;
  if (mod & KMOD_CTRL) mk |= MK_CONTROL;
  return mk;
}

}  // namespace

uint32_t VirtualKeyFromSdl(SDL_Keycode sym, SDL_Scancode scancode) {
  if (sym >= SDLK_a && sym <= SDLK_z) return static_cast<uint32_t>('A' + (sym - SDLK_a));
  if (sym >= SDLK_0 && sym <= SDLK_9) return static_cast<uint32_t>('0' + (sym - SDLK_0));
  // Layouts whose letter keys give other symbols still report the key's position.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
    return static_cast<uint32_t>('A' + (scancode - SDL_SCANCODE_A));
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
    return static_cast<uint32_t>('1' + (scancode - SDL_SCANCODE_1));
  if (scancode == SDL_SCANCODE_0) return '0';
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
    return VK_F1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F1);
  for (const ScancodeKey& k : kScancodeKeys) {
    if (k.scancode == scancode) return k.vk;
  }
  return VK_UNKNOWN;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  // Character by character, so that one the code page lacks drops alone.
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    size_t next = i + 1;
    while (next < utf8.size() && (static_cast<uint8_t>(utf8[next]) & 0xC0) == 0x80) ++next;
    if (auto c = sys::Utf8ToCp1252(utf8.substr(i, next - i))) out += *c;
    i = next;
  }
  return out;
}

void TranslateSdlEvent(const SDL_Event& event, std::vector<Message>& out) {
  switch (event.type) {
    case SDL_MOUSEMOTION: {
      Message m{WM_MOUSEMOVE, MouseKeyState(event.motion.state), event.motion.x, event.motion.y};
      out.push_back(m);
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const SDL_MouseButtonEvent& b = event.button;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      const bool dbl = down && b.clicks >= 2 && b.clicks % 2 == 0;
      uint32_t msg = 0, mask = 0;
      switch (b.button) {
        case SDL_BUTTON_LEFT:
          msg = down ? (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
          mask = SDL_BUTTON_LMASK;
          break;
        case SDL_BUTTON_RIGHT:
          msg = down ? (dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
          mask = SDL_BUTTON_RMASK;
          break;
        case SDL_BUTTON_MIDDLE:
          msg = down ? (dbl ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN) : WM_MBUTTONUP;
          mask = SDL_BUTTON_MMASK;
          break;
        default:
          return;  // extra buttons have no message here
      }
      out.push_back(Message{msg, MouseKeyState(down ? mask : 0), b.x, b.y});
      return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const SDL_Keysym& k = event.key.keysym;
      uint32_t vk = VirtualKeyFromSdl(k.sym, k.scancode);
      const bool alt = (k.mod & KMOD_ALT) != 0 || vk == VK_MENU || vk == VK_F10;
      const bool down = event.type == SDL_KEYDOWN;
      uint32_t msg = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
      uint32_t keyState = 0;
      if (k.mod & KMOD_SHIFT) keyState |= KS_SHIFT;
      if (k.mod & KMOD_CTRL) keyState |= KS_CONTROL;
      if (k.mod & KMOD_ALT) keyState |= KS_ALT;
      out.push_back(Message{msg, vk, 0, 0, keyState});
      return;
    }
    case SDL_TEXTINPUT:
      // Only while a dialog takes text; characters outside Windows-1252 are dropped.
      for (uint8_t c : Utf8ToCp1252(event.text.text)) out.push_back(Message{WM_CHAR, c, 0, 0});
      return;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) out.push_back(Message{WM_CLOSE, 0, 0, 0});
      return;
    case SDL_QUIT:
      // Only the window system's own end-of-session request: the last window closing is
      // reported by its window event, and signals are left to the player.
      out.push_back(Message{WM_CLOSE, 0, 0, 0});
      return;
    default:
      return;
  }
}

}  // namespace ui
