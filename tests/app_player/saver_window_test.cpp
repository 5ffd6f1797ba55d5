#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/saver_window.h"

namespace {

using ui::Message;

class FakeHost : public app::SaverWindowHost {
 public:
  std::map<std::string, int32_t> ints;  // "Section/Entry"
  std::map<std::string, std::string> strings;
  uint32_t usePassword = 0;
  bool passwordOk = false;
  int passwordAsked = 0;
  std::vector<Message> posted;
  std::vector<bool> cursor;
  int32_t cursorX = 0, cursorY = 0;
  bool destroyed = false;
  bool destroyNotified = false;
  std::string pendingUrl;
  std::vector<std::pair<gfx::COLORREF, uint32_t>> erased;
  app::SaverWindow* window = nullptr;

  int32_t ProfileInt(const std::string& s, const std::string& e, int32_t d) override {
    auto it = ints.find(s + "/" + e);
    return it == ints.end() ? d : it->second;
  }
  std::string ProfileString(const std::string& s, const std::string& e) override {
    auto it = strings.find(s + "/" + e);
    return it == strings.end() ? "" : it->second;
  }
  uint32_t ScreenSaveUsePassword() override { return usePassword; }
  void Post(const Message& m) override { posted.push_back(m); }
  bool AskPassword(const std::string&) override {
    ++passwordAsked;
    return passwordOk;
  }
  void ShowArrowCursor(bool arrow) override { cursor.push_back(arrow); }
  void CursorPosition(int32_t& x, int32_t& y) override {
    x = cursorX;
    y = cursorY;
  }
  void DestroyWindow() override {
    destroyed = true;
    window->HandleMessage({ui::WM_DESTROY, 0, 0, 0});
  }
  void WindowDestroyed() override { destroyNotified = true; }
  void SetPendingUrl(const std::string& url) override { pendingUrl = url; }
  void EraseBackground(gfx::COLORREF c, uint32_t rop) override { erased.emplace_back(c, rop); }

  int Closes() const {
    int n = 0;
    for (auto& m : posted) n += m.message == ui::WM_CLOSE;
    return n;
  }
};

struct SaverWindowTest : ::testing::Test {
  FakeHost host;
  app::SaverWindow window{host};
  SaverWindowTest() {
    host.window = &window;
    window.OnCreate();
  }
  void Custom(std::initializer_list<const char*> on) {
    host.ints["Settings/Standard"] = 0;
    for (auto* e : on) host.ints[std::string("Settings/") + e] = 1;
  }
  void Send(uint32_t msg, uint32_t w = 0, int x = 0, int y = 0) {
    window.HandleMessage({msg, w, x, y});
  }
};

TEST_F(SaverWindowTest, StandardSettingsEndOnEveryKindOfInputButTheFirstMouseMove) {
  Send(ui::WM_MOUSEMOVE, 0, 100, 100);  // only the reference
  Send(ui::WM_MOUSEMOVE, 0, 100, 100);  // no movement
  EXPECT_EQ(host.Closes(), 0);
  Send(ui::WM_MOUSEMOVE, 0, 101, 100);
  EXPECT_EQ(host.Closes(), 1);
  Send(ui::WM_LBUTTONDOWN);
  Send(ui::WM_RBUTTONDBLCLK);
  Send(ui::WM_KEYDOWN, 'A');
  Send(ui::WM_SYSKEYDOWN, ui::VK_MENU);  // Alt alone counts as a key press
  EXPECT_EQ(host.Closes(), 5);
  Send(ui::WM_SYSKEYDOWN, ui::VK_F4);  // Alt+F4 is dropped
  EXPECT_EQ(host.Closes(), 5);
}

TEST_F(SaverWindowTest, CustomSettingsEndOnlyOnTheChosenInput) {
  Custom({"Escape"});
  Send(ui::WM_MOUSEMOVE, 0, 1, 1);
  Send(ui::WM_MOUSEMOVE, 0, 50, 50);
  Send(ui::WM_LBUTTONDOWN);
  Send(ui::WM_KEYDOWN, 'Q');
  EXPECT_EQ(host.Closes(), 0);
  Send(ui::WM_KEYDOWN, ui::VK_ESCAPE);
  EXPECT_EQ(host.Closes(), 1);

  host.ints["Settings/DoubleClick"] = 1;  // read anew at every event
  Send(ui::WM_MBUTTONDBLCLK);
  EXPECT_EQ(host.Closes(), 2);
}

TEST_F(SaverWindowTest, LinkKeysStoreTheAddressEvenWhenKeysDoNotEndTheSaver) {
  Custom({});
  window.SetActiveLink("https://example.org/", 3);
  Send(ui::WM_KEYDOWN, 'X');
  EXPECT_EQ(host.pendingUrl, "");
  for (uint32_t key : {ui::VK_RETURN, ui::VK_F12, ui::VK_SPACE}) {
    host.pendingUrl.clear();
    Send(ui::WM_KEYDOWN, key);
    EXPECT_EQ(host.pendingUrl, "https://example.org/") << key;
  }
  EXPECT_EQ(host.Closes(), 0);

  window.SetActiveLink("http://a/", 1);
  host.pendingUrl.clear();
  Send(ui::WM_KEYDOWN, ui::VK_RETURN);
  EXPECT_EQ(host.pendingUrl, "");
  window.ClearActiveLink();
  Send(ui::WM_KEYDOWN, ui::VK_F12);
  EXPECT_EQ(host.pendingUrl, "");
  EXPECT_EQ(window.LinkMode(), -1);
}

TEST_F(SaverWindowTest, CloseWithoutPasswordDestroysAndStopsOnce) {
  Send(ui::WM_CLOSE);
  EXPECT_TRUE(host.destroyed);
  EXPECT_TRUE(host.destroyNotified);
  EXPECT_EQ(host.passwordAsked, 0);
  EXPECT_TRUE(window.Destroyed());
}

TEST_F(SaverWindowTest, WrongPasswordKeepsTheSaverAndRestsTheMouse) {
  host.usePassword = 1;
  host.strings["Password/Encrypt"] = "xstored";
  host.cursorX = 40;
  host.cursorY = 60;
  Send(ui::WM_MOUSEMOVE, 0, 0, 0);
  Send(ui::WM_CLOSE);
  EXPECT_EQ(host.passwordAsked, 1);
  EXPECT_FALSE(host.destroyed);
  ASSERT_GE(host.cursor.size(), 3u);
  EXPECT_TRUE(host.cursor[host.cursor.size() - 2]);  // arrow while asking
  EXPECT_FALSE(host.cursor.back());                  // hidden again
  Send(ui::WM_MOUSEMOVE, 0, 40, 60);  // the mouse rests where it was: no new close
  EXPECT_EQ(host.Closes(), 0);
  host.passwordOk = true;
  Send(ui::WM_CLOSE);
  EXPECT_TRUE(host.destroyed);
}

TEST_F(SaverWindowTest, PasswordIsNotAskedUnlessBothSwitchAndStoredValueExist) {
  host.usePassword = 1;  // nothing stored
  Send(ui::WM_CLOSE);
  EXPECT_EQ(host.passwordAsked, 0);
  EXPECT_TRUE(host.destroyed);
}

TEST_F(SaverWindowTest, RepaintKeepsColourAndRasterOpForErasing) {
  window.Repaint(0x00123456, 0x00EE0086);
  Send(ui::WM_ERASEBKGND);
  ASSERT_EQ(host.erased.size(), 1u);  // Repaint leaves the erasing to the screen's holder
  EXPECT_EQ(host.erased[0], std::make_pair(gfx::COLORREF{0x00123456}, uint32_t{0x00EE0086}));
  EXPECT_EQ(window.BackgroundColor(), 0x00123456u);
}

TEST(SaverWindowMute, MuteIsReadAtCreation) {
  FakeHost host;
  host.ints["Settings/Mute"] = 7;
  app::SaverWindow w(host);
  host.window = &w;
  w.OnCreate();
  EXPECT_TRUE(w.Muted());
  EXPECT_FALSE(host.cursor.back());
}

}  // namespace
