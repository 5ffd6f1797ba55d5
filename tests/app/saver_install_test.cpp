// Listing a saver in ~/.xscreensaver and taking it out again.
#include "app/saver_install.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/player_process.h"

namespace fs = std::filesystem;

namespace {

// As the host's settings tool writes the file (shortened).
constexpr const char* kWritten =
    "# XScreenSaver Preferences File\n"
    "timeout:\t0:10:00\n"
    "mode:\t\trandom\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
    "-\t\t\t\txflame -root\t\t\t\t    \\n\\\n"
    "\n"
    "pointerHysteresis:\t10\n";

TEST(SaverList, AddedFirstOnceAndRemovedToTheByte) {
  const std::string cmd = "/home/u/.local/lib/sceneplayer/sunset -root";
  struct Case {
    const char* what;
    std::string settings;
  };
  const Case cases[] = {
      {"a list as the settings tool writes it", kWritten},
      {"no list at all", "timeout:\t0:10:00\n"},
      {"an empty one-line list", "programs:\nmode:\tone\n"},
      {"a one-line list", "programs: maze -root\nmode:\tone\n"},
      {"no final newline", "mode: one\nprograms:\t\\\n  maze -root \\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto added = app::AddProgram(c.settings, "sunset", cmd);
    ASSERT_TRUE(added);
    EXPECT_NE(added->find("\"sunset\"  " + cmd), std::string::npos) << *added;
    // What was there is still there.
    EXPECT_NE(added->find(c.settings.substr(0, c.settings.find('\n'))), std::string::npos);
    // The list still ends where it ended: no continuation runs into the next resource.
    EXPECT_EQ(added->find("\\\nmode"), std::string::npos) << *added;
    EXPECT_EQ(added->find("\\\npointerHysteresis"), std::string::npos) << *added;
    EXPECT_FALSE(app::AddProgram(*added, "sunset", cmd)) << "listed twice";
    auto removed = app::RemoveProgram(*added, cmd);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->find(cmd), std::string::npos);
    EXPECT_FALSE(app::RemoveProgram(*removed, cmd));
    if (c.settings.find("programs:\t") != std::string::npos) {
      EXPECT_EQ(*removed, c.settings);  // a list with continuation lines comes back exactly
    }
  }
  // Ours goes first, ahead of the host's own entries.
  auto added = app::AddProgram(kWritten, "sunset", cmd);
  EXPECT_LT(added->find("sunset"), added->find("maze"));
}

TEST(SaverList, NamesAreFileNames) {
  for (const char* good : {"sunset", "My_Show-2.1"}) EXPECT_TRUE(app::ValidSaverName(good));
  for (const char* bad : {"", ".hidden", "a/b", "..", "a b", "x\"y", "new\nline"}) {
    EXPECT_FALSE(app::ValidSaverName(bad)) << bad;
  }
}

// The user's way: the player's own options on a home of their own.
TEST(SaverList, InstallAndUninstallLeaveTheSettingsAsTheyWere) {
  char tmpl[] = "/tmp/sp-install-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path home = tmpl;
  fs::create_directories(home / "config");
  fs::create_directories(home / "tmp");
  auto run = [&](std::vector<std::string> args) {
    pid_t pid = testsupport::SpawnInHome(args, home.string(), (home / "err.txt").string());
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  };
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  std::ofstream(home / "show.json") << R"({"version": 4.31, "items": [{"class": "PauseItem"}]})";
  const std::string saver = (home / "Show.scr").string();
  ASSERT_EQ(run({SP_SCENEPACK, (home / "show.json").string(), "-o", saver}), 0);
  std::ofstream(home / ".xscreensaver", std::ios::binary) << kWritten;

  ASSERT_EQ(run({SP_PLAYER, "--install-saver", saver, "--name", "sunset"}), 0)
      << slurp(home / "err.txt");
  const fs::path installed = home / ".local/lib/sceneplayer/sunset";
  EXPECT_EQ(slurp(installed), slurp(saver));
  EXPECT_TRUE((fs::status(installed).permissions() & fs::perms::owner_exec) != fs::perms::none);
  const std::string listed = slurp(home / ".xscreensaver");
  EXPECT_NE(listed.find(installed.string() + " -root"), std::string::npos) << listed;
  EXPECT_EQ(slurp(home / ".xscreensaver.sceneplayer-backup"), kWritten);
  // Again: nothing listed twice.
  ASSERT_EQ(run({SP_PLAYER, "--install-saver", saver, "--name", "sunset"}), 0);
  EXPECT_EQ(slurp(home / ".xscreensaver"), listed);

  ASSERT_EQ(run({SP_PLAYER, "--uninstall-saver", "sunset"}), 0) << slurp(home / "err.txt");
  EXPECT_EQ(slurp(home / ".xscreensaver"), kWritten);
  EXPECT_FALSE(fs::exists(installed));
  EXPECT_EQ(run({SP_PLAYER, "--uninstall-saver", "sunset"}), 1);
  // Not a saver file: refused, nothing written.
  EXPECT_EQ(run({SP_PLAYER, "--install-saver", (home / "show.json").string()}), 1);
  EXPECT_EQ(slurp(home / ".xscreensaver"), kWritten);

  // Without settings of their own, the file is made with ours as the one saver.
  fs::remove(home / ".xscreensaver");
  ASSERT_EQ(run({SP_PLAYER, "--install-saver", saver}), 0);
  const std::string made = slurp(home / ".xscreensaver");
  EXPECT_NE(made.find("\"Show\"  " + (home / ".local/lib/sceneplayer/Show").string() + " -root"),
            std::string::npos)
      << made;
  EXPECT_NE(made.find("mode:\t\tone"), std::string::npos);
  fs::remove_all(home);
}

}  // namespace
