#include "platform/ui/sdl_input.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace ui {
namespace {

TEST(KeyMap, LettersDigitsAndNamedKeys) {
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_a, SDL_SCANCODE_A), uint32_t{'A'});
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_z, SDL_SCANCODE_Z), uint32_t{'Z'});
  // A layout that puts 'z' where 'y' is: the symbol counts.
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_z, SDL_SCANCODE_Y), uint32_t{'Z'});
  // A letter key giving a non-Latin symbol falls back to its position.
  EXPECT_EQ(VirtualKeyFromSdl(0x0444, SDL_SCANCODE_A), uint32_t{'A'});
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_0, SDL_SCANCODE_0), uint32_t{'0'});
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_9, SDL_SCANCODE_9), uint32_t{'9'});
  // French layout: the digit row gives symbols without Shift.
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_AMPERSAND, SDL_SCANCODE_1), uint32_t{'1'});
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F1 + i, static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i)),
              VK_F1 + static_cast<uint32_t>(i));
  }
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_F12, SDL_SCANCODE_F12), VK_F12);
  const std::pair<SDL_Scancode, uint32_t> named[] = {
      {SDL_SCANCODE_RETURN, VK_RETURN},   {SDL_SCANCODE_KP_ENTER, VK_RETURN},
      {SDL_SCANCODE_ESCAPE, VK_ESCAPE},   {SDL_SCANCODE_SPACE, VK_SPACE},
      {SDL_SCANCODE_BACKSPACE, VK_BACK},  {SDL_SCANCODE_TAB, VK_TAB},
      {SDL_SCANCODE_LEFT, VK_LEFT},       {SDL_SCANCODE_UP, VK_UP},
      {SDL_SCANCODE_RIGHT, VK_RIGHT},     {SDL_SCANCODE_DOWN, VK_DOWN},
      {SDL_SCANCODE_HOME, VK_HOME},       {SDL_SCANCODE_END, VK_END},
      {SDL_SCANCODE_PAGEUP, VK_PRIOR},    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
      {SDL_SCANCODE_INSERT, VK_INSERT},   {SDL_SCANCODE_DELETE, VK_DELETE},
      {SDL_SCANCODE_LSHIFT, VK_SHIFT},    {SDL_SCANCODE_RSHIFT, VK_SHIFT},
      {SDL_SCANCODE_LCTRL, VK_CONTROL},   {SDL_SCANCODE_RCTRL, VK_CONTROL},
      {SDL_SCANCODE_LALT, VK_MENU},       {SDL_SCANCODE_RALT, VK_MENU},
      {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7}};
  for (auto [scancode, vk] : named) {
    EXPECT_EQ(VirtualKeyFromSdl(SDL_GetKeyFromScancode(scancode), scancode), vk)
        << SDL_GetScancodeName(scancode);
  }
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), VK_UNKNOWN);
}

SDL_Event Key(bool down, SDL_Scancode scancode, SDL_Keycode sym, uint16_t mod = KMOD_NONE) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  return e;
}

std::vector<Message> Translate(const SDL_Event& e) {
  std::vector<Message> out;
  TranslateSdlEvent(e, out);
  return out;
}

TEST(SdlEvents, KeysAndSystemKeys) {
  auto m = Translate(Key(true, SDL_SCANCODE_X, SDLK_x));
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].message, WM_KEYDOWN);
  EXPECT_EQ(m[0].wParam, uint32_t{'X'});
  // Alt+F4 is a system key (the saver window drops it).
  m = Translate(Key(true, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT));
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].message, WM_SYSKEYDOWN);
  EXPECT_EQ(m[0].wParam, VK_F4);
  // Alt alone, either side, with or without its own modifier bit set.
  for (SDL_Scancode alt : {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}) {
    m = Translate(Key(true, alt, SDL_GetKeyFromScancode(alt)));
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].message, WM_SYSKEYDOWN);
    EXPECT_EQ(m[0].wParam, VK_MENU);
  }
  m = Translate(Key(true, SDL_SCANCODE_F10, SDLK_F10));
  EXPECT_EQ(m[0].message, WM_SYSKEYDOWN);
  m = Translate(Key(false, SDL_SCANCODE_RETURN, SDLK_RETURN));
  EXPECT_EQ(m[0].message, WM_KEYUP);
  EXPECT_EQ(m[0].wParam, VK_RETURN);
  // Ctrl is not Alt.
  m = Translate(Key(true, SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL));
  EXPECT_EQ(m[0].message, WM_KEYDOWN);
}

SDL_Event Click(uint8_t button, uint8_t clicks, bool down = true) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.clicks = clicks;
  e.button.x = 12;
  e.button.y = 34;
  return e;
}

TEST(SdlEvents, ClicksAndDoubleClicks) {
  const struct {
    uint8_t button;
    uint32_t down, dbl, up;
  } buttons[] = {{SDL_BUTTON_LEFT, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
                 {SDL_BUTTON_RIGHT, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_RBUTTONUP},
                 {SDL_BUTTON_MIDDLE, WM_MBUTTONDOWN, WM_MBUTTONDBLCLK, WM_MBUTTONUP}};
  for (const auto& b : buttons) {
    EXPECT_EQ(Translate(Click(b.button, 1))[0].message, b.down);
    EXPECT_EQ(Translate(Click(b.button, 2))[0].message, b.dbl);
    EXPECT_EQ(Translate(Click(b.button, 3))[0].message, b.down);
    EXPECT_EQ(Translate(Click(b.button, 4))[0].message, b.dbl);
    EXPECT_EQ(Translate(Click(b.button, 2, false))[0].message, b.up);
  }
  auto m = Translate(Click(SDL_BUTTON_LEFT, 1));
  EXPECT_EQ(m[0].x, 12);
  EXPECT_EQ(m[0].y, 34);
  EXPECT_TRUE(m[0].wParam & MK_LBUTTON);
  EXPECT_TRUE(Translate(Click(SDL_BUTTON_X1, 1)).empty());
}

TEST(SdlEvents, MotionCloseAndOthers) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 7;
  e.motion.y = 9;
  e.motion.state = SDL_BUTTON_RMASK;
  auto m = Translate(e);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].message, WM_MOUSEMOVE);
  EXPECT_EQ(m[0].x, 7);
  EXPECT_EQ(m[0].y, 9);
  EXPECT_EQ(m[0].wParam & MK_RBUTTON, MK_RBUTTON);

  SDL_Event w{};
  w.type = SDL_WINDOWEVENT;
  w.window.event = SDL_WINDOWEVENT_CLOSE;
  m = Translate(w);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].message, WM_CLOSE);
  w.window.event = SDL_WINDOWEVENT_FOCUS_LOST;  // losing focus ends nothing
  EXPECT_TRUE(Translate(w).empty());
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  EXPECT_TRUE(Translate(wheel).empty());
}

TEST(SdlInput, TypedTextBecomesCharactersOfTheCodePage) {
  SDL_Event t{};
  t.type = SDL_TEXTINPUT;
  std::snprintf(t.text.text, sizeof t.text.text, "%s", "a\xc3\xa9\xe2\x82\xac\xe6\x97\xa5!");
  const auto m = Translate(t);
  std::string chars;
  for (const Message& c : m) {
    EXPECT_EQ(c.message, WM_CHAR);
    chars += static_cast<char>(c.wParam);
  }
  EXPECT_EQ(chars, "a\xe9\x80!");  // the CJK character has no byte and is dropped
  EXPECT_EQ(Utf8ToCp1252("\xff\x80x"), "x");
}

}  // namespace
}  // namespace ui
