#include "platform/shell/browser.h"

#include <gtest/gtest.h>

using shell::CleanBrowserCommand;

TEST(BrowserCommand, QuotedPathWithAnOptionGivesThePathAlone) {
  EXPECT_EQ(CleanBrowserCommand("\"C:\\Program Files\\Internet\\BROWSE.EXE\" -nohome"),
            "c:\\program files\\internet\\browse.exe");
  EXPECT_EQ(CleanBrowserCommand("  \"\"C:\\B\\Web.exe\"\" \"%1\""), "c:\\b\\web.exe");
  // Blanks inside the quotes after the opening mark are dropped too, as the cleaning runs.
  EXPECT_EQ(CleanBrowserCommand("\" C:\\b.exe\""), "c:\\b.exe");
}

TEST(BrowserCommand, UnquotedCommandIsCutAfterExe) {
  EXPECT_EQ(CleanBrowserCommand("C:\\PROGRA~1\\WEB\\WEB.EXE -nohome %1"),
            "c:\\progra~1\\web\\web.exe");
  EXPECT_EQ(CleanBrowserCommand("c:\\a.exe.bak\\b.exe"), "c:\\a.exe");
  EXPECT_EQ(CleanBrowserCommand("\tc:\\x\\y.ExE,1"), "c:\\x\\y.exe");
}

TEST(BrowserCommand, TextWithoutExeIsKeptLowered) {
  EXPECT_EQ(CleanBrowserCommand("/usr/bin/Firefox %u"), "/usr/bin/firefox %u");
  EXPECT_EQ(CleanBrowserCommand(""), "");
  EXPECT_EQ(CleanBrowserCommand("\"\"\""), "");
  EXPECT_EQ(CleanBrowserCommand("   "), "");
  // Only ASCII letters are lowered; code-page bytes stay.
  EXPECT_EQ(CleanBrowserCommand("\xC4PP.EXE"), "\xC4pp.exe");
}

namespace {
void SetDefault(store::Store& s, const std::string& path, const std::string& value) {
  auto key = store::RegistryKey::Create(s, store::Root::ClassesRoot, path);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->WriteString("", value));
}
}  // namespace

TEST(BrowserPath, FollowsTheDefaultVerb) {
  auto s = store::Store::InMemory();
  EXPECT_EQ(shell::DefaultBrowserPath(*s), "");
  EXPECT_EQ(shell::OpenCommandBrowserPath(*s), "");

  SetDefault(*s, "HTTP\\shell", "Browse");
  EXPECT_EQ(shell::DefaultBrowserPath(*s), "") << "verb without a command key";
  SetDefault(*s, "http\\shell\\browse\\command", "\"C:\\Web\\Surf.exe\" -url \"%1\"");
  SetDefault(*s, "HTTP\\shell\\open\\command", "C:\\Other\\Open.exe %1");
  EXPECT_EQ(shell::DefaultBrowserPath(*s), "c:\\web\\surf.exe");
  EXPECT_EQ(shell::OpenCommandBrowserPath(*s), "c:\\other\\open.exe");

  // The verb key holds text, not a number; other types count as missing.
  auto verbKey = store::RegistryKey::Open(*s, store::Root::ClassesRoot, "HTTP\\shell");
  ASSERT_TRUE(verbKey->WriteDword("", 1));
  EXPECT_EQ(shell::DefaultBrowserPath(*s), "");
  ASSERT_TRUE(verbKey->WriteString("", ""));
  EXPECT_EQ(shell::DefaultBrowserPath(*s), "") << "an empty verb names no command key";
}

TEST(BrowserPath, ValuesLongerThanTheBufferAreMissing) {
  auto s = store::Store::InMemory();
  SetDefault(*s, "HTTP\\shell\\open\\command", "C:\\" + std::string(252, 'a') + ".exe");  // 259
  EXPECT_EQ(shell::OpenCommandBrowserPath(*s).size(), 259u);
  SetDefault(*s, "HTTP\\shell\\open\\command", "C:\\" + std::string(253, 'a') + ".exe");  // 260
  EXPECT_EQ(shell::OpenCommandBrowserPath(*s), "");
}
