// Scripted input: what each line means, what is refused, and how the player times it.
#include "platform/ui/input_script.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

std::vector<ui::Message> Play(const std::string& text,
                              const ui::InputPlayer::Locator& locate = nullptr) {
  std::string error;
  auto script = ui::ParseInputScript(text, &error);
  EXPECT_TRUE(script) << error;
  if (!script) return {};
  const auto t0 = std::chrono::steady_clock::time_point{};
  ui::InputPlayer player(std::move(*script), t0);
  std::vector<ui::Message> out;
  ui::Message m;
  std::string warning;
  while (player.TakeNext(t0 + std::chrono::hours(10000), locate, m, &warning)) out.push_back(m);
  return out;
}

bool Same(const std::vector<ui::Message>& a, const std::vector<ui::Message>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].message != b[i].message || a[i].wParam != b[i].wParam || a[i].x != b[i].x ||
        a[i].y != b[i].y || a[i].keyState != b[i].keyState)
      return false;
  }
  return true;
}

TEST(InputScript, EachEventBecomesTheMessagesAUserWouldMake) {
  using M = ui::Message;
  struct Case {
    const char* line;
    std::vector<ui::Message> want;
  } cases[] = {
      {"key Tab", {M{ui::WM_KEYDOWN, ui::VK_TAB}, M{ui::WM_KEYUP, ui::VK_TAB}}},
      {"  KEY shift+tab  ",
       {M{ui::WM_KEYDOWN, ui::VK_TAB, 0, 0, ui::KS_SHIFT},
        M{ui::WM_KEYUP, ui::VK_TAB, 0, 0, ui::KS_SHIFT}}},
      {"key Alt+c",
       {M{ui::WM_SYSKEYDOWN, 'C', 0, 0, ui::KS_ALT}, M{ui::WM_SYSKEYUP, 'C', 0, 0, ui::KS_ALT}}},
      {"key F12", {M{ui::WM_KEYDOWN, ui::VK_F12}, M{ui::WM_KEYUP, ui::VK_F12}}},
      {"key alt", {M{ui::WM_SYSKEYDOWN, ui::VK_MENU}, M{ui::WM_SYSKEYUP, ui::VK_MENU}}},
      {"key 7", {M{ui::WM_KEYDOWN, '7'}, M{ui::WM_KEYUP, '7'}}},
      {"text a b", {M{ui::WM_CHAR, 'a'}, M{ui::WM_CHAR, ' '}, M{ui::WM_CHAR, 'b'}}},
      {"text \xe9", {M{ui::WM_CHAR, 0xE9}}},
      {"move 3 -4", {M{ui::WM_MOUSEMOVE, 0, 3, -4}}},
      {"click 10 20",
       {M{ui::WM_MOUSEMOVE, 0, 10, 20}, M{ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, 10, 20},
        M{ui::WM_LBUTTONUP, 0, 10, 20}}},
      {"rclick 1 2",
       {M{ui::WM_MOUSEMOVE, 0, 1, 2}, M{ui::WM_RBUTTONDOWN, ui::MK_RBUTTON, 1, 2},
        M{ui::WM_RBUTTONUP, 0, 1, 2}}},
      {"dblclick 1 2",
       {M{ui::WM_MOUSEMOVE, 0, 1, 2}, M{ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, 1, 2},
        M{ui::WM_LBUTTONUP, 0, 1, 2}, M{ui::WM_LBUTTONDBLCLK, ui::MK_LBUTTON, 1, 2},
        M{ui::WM_LBUTTONUP, 0, 1, 2}}},
      {"# comment\n\r\n  \nwait 0", {}},
  };
  for (const Case& c : cases) EXPECT_TRUE(Same(Play(c.line), c.want)) << c.line;
}

TEST(InputScript, ControlClicksAskWhereTheControlIs) {
  auto locate = [](int id) -> std::optional<std::pair<int32_t, int32_t>> {
    if (id == 1007) return std::make_pair(40, 50);
    return std::nullopt;
  };
  const auto got = Play("click 1007\nclick 99\nkey Enter", locate);
  ASSERT_EQ(got.size(), 5u);  // move, down, up; nothing for 99; Enter down, up
  EXPECT_EQ(got[1].message, ui::WM_LBUTTONDOWN);
  EXPECT_EQ(got[1].x, 40);
  EXPECT_EQ(got[1].y, 50);
  EXPECT_EQ(got[3].wParam, ui::VK_RETURN);
}

TEST(InputScript, BadLinesAreRefusedWithTheirNumber) {
  const char* bad[] = {
      "key",      "key Tab Tab", "key Hyper+A", "key NoSuchKey", "key Shift+",
      "click",    "click 1 2 3", "move 1",      "move x 2",      "move 99999 1",
      "wait",     "wait -1",     "wait 3600.5", "wait 1e308",    "wait nan",
      "wait inf", "wait 1s",     "text",        "jump 1",        "click 1.5",
  };
  for (const char* line : bad) {
    std::string error;
    EXPECT_FALSE(ui::ParseInputScript(std::string("key Tab\n") + line, &error)) << line;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(ui::ParseInputScript(std::string(ui::kMaxInputScriptLine + 1, 'k'), &error));
  EXPECT_NE(error.find("too long"), std::string::npos);
  EXPECT_TRUE(ui::ParseInputScript("wait 3600\ntext " + std::string(4000, 'x'), &error)) << error;
}

TEST(InputScript, AFileLargerThanTheLimitIsRefusedUnread) {
  char dir[] = "/tmp/sp-input-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string path = std::string(dir) + "/big.txt";
  {
    std::ofstream out(path);
    for (size_t n = 0; n <= ui::kMaxInputScriptBytes; n += 8) out << "key Tab\n";
  }
  std::string error;
  EXPECT_FALSE(ui::LoadInputScript(path, &error));
  EXPECT_NE(error.find("larger"), std::string::npos) << error;
  EXPECT_FALSE(ui::LoadInputScript(std::string(dir) + "/missing.txt", &error));
  std::filesystem::remove_all(dir);
}

TEST(InputScript, WaitsDelayTheEventsAfterThem) {
  std::string error;
  auto script = ui::ParseInputScript("key A\nwait 0.5\nwait 0.25\nkey B\nwait 1\n", &error);
  ASSERT_TRUE(script) << error;
  const auto t0 = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  ui::InputPlayer player(std::move(*script), t0);
  ui::Message m;
  ASSERT_TRUE(player.TakeNext(t0, nullptr, m, nullptr));
  EXPECT_EQ(m.wParam, 'A');
  ASSERT_TRUE(player.TakeNext(t0, nullptr, m, nullptr));  // A's key-up, due with it
  EXPECT_EQ(*player.NextDue(), t0 + std::chrono::milliseconds(750));
  EXPECT_FALSE(player.TakeNext(t0 + std::chrono::milliseconds(749), nullptr, m, nullptr));
  ASSERT_TRUE(player.TakeNext(t0 + std::chrono::milliseconds(750), nullptr, m, nullptr));
  EXPECT_EQ(m.wParam, 'B');
  ASSERT_TRUE(player.TakeNext(t0 + std::chrono::milliseconds(750), nullptr, m, nullptr));
  EXPECT_TRUE(player.Done());  // a trailing wait holds nothing back
  EXPECT_FALSE(player.NextDue());

  // Unstarted, the waits count from the first look at the script.
  auto again = ui::ParseInputScript("wait 2\nkey A\n", &error);
  ASSERT_TRUE(again);
  ui::InputPlayer later(std::move(*again));
  EXPECT_EQ(*later.NextDue(), std::chrono::steady_clock::time_point{});
  EXPECT_FALSE(later.TakeNext(t0, nullptr, m, nullptr));
  later.Start(t0 + std::chrono::hours(5));  // already running: no new start
  EXPECT_EQ(*later.NextDue(), t0 + std::chrono::seconds(2));
  EXPECT_TRUE(later.TakeNext(t0 + std::chrono::seconds(2), nullptr, m, nullptr));
}

}  // namespace
