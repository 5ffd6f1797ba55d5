// The configure and change-password modes and the password at the end of a show, run as a
// user runs them: headless, driven by input scripts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/scramble_password.h"
#include "platform/store/profile.h"
#include "platform/store/registry.h"
#include "platform/ui/dialog.h"
#include "resources/dialog_templates.h"
#include "support/player_process.h"
#include "support/png_frame.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int status = -1;
  std::string err;
  double seconds = 0;
};

class DialogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sp-dialog-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir_ = tmpl;
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  RunResult Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    const fs::path err = dir_ / "stderr.txt";
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = testsupport::SpawnInHome(args, dir_.string(), err.string(), env);
    EXPECT_GT(pid, 0);
    RunResult r;
    int st = 0;
    waitpid(pid, &st, 0);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    std::ifstream in(err);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
  }
  std::string Script(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p) << text;
    return p.string();
  }
  RunResult Dialog(const std::string& mode, const std::string& script,
                   const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {SP_PLAYER, "--headless", "--input", Script("in.txt", script)};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(mode);
    return Run(args);
  }
  // The player's own settings, as it stored them.
  uint32_t Setting(const char* entry) {
    auto store = store::Store::OpenFiles((dir_ / "config" / "sceneplayer").string());
    store::Profile profile(*store, "Quillmoor\\Screen Saver", "sceneplayer");
    return profile.GetProfileInt("Settings", entry, 99);
  }
  std::string StoredPassword() {
    auto store = store::Store::OpenFiles((dir_ / "config" / "sceneplayer").string());
    store::Profile profile(*store, "Quillmoor\\Screen Saver", "sceneplayer");
    return profile.GetProfileString("Password", "Encrypt", "(none)");
  }
  std::string Show(const std::string& first = "") {
    const fs::path manifest = dir_ / "show.json";
    std::ofstream(manifest) << R"({"version": 4.31, "items": [)" << first << R"(
        {"class": "BackgroundItem", "color": {"color": "#0000FF"}},
        {"class": "PauseItem", "pauseMs": 60000}]})";
    const std::string out = (dir_ / "show.arc").string();
    RunResult r = Run({SP_SCENEPACK, manifest.string(), "-o", out, "--archive-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
  }
  RunResult PlayShow(const std::string& script, const std::string& seconds) {
    return Run({SP_PLAYER, "--headless", "--size", "320x240", "--archive", Show(), "--seconds",
                seconds, "--input", Script("show.txt", script), "/s"});
  }

  fs::path dir_;
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(DialogRun, ConfigureStoresWhatTheScriptChoseAndDrawsEachChange) {
  const fs::path frames = dir_ / "frames";
  // Tab follows the template's order: "On Esca&pe", then "On Mouse &Move" (after the group
  // box), then "&Mute screen saver".
  RunResult r =
      Dialog("/c", "click 1014\nclick 1006\nkey Alt+P\nkey Tab\nkey Tab\nkey Space\nkey Enter\n",
             {"--frames", frames.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Setting("Standard"), 0u);
  EXPECT_EQ(Setting("MouseMove"), 1u);
  EXPECT_EQ(Setting("Escape"), 1u);
  EXPECT_EQ(Setting("Mute"), 1u);
  EXPECT_EQ(Setting("KeyDown"), 0u);
  // A frame at the start and after every change, each the dialog with its frame.
  std::vector<fs::path> files;
  for (auto& e : fs::directory_iterator(frames)) files.push_back(e.path());
  EXPECT_GE(files.size(), 7u);
  ui::Dialog reference(*res::FindDialogTemplate(res::IDD_SETTINGS));
  const auto first = testsupport::ReadPngFrame(files.front().string());
  EXPECT_EQ(first.width, reference.FramedWidth());
  EXPECT_EQ(first.height, reference.FramedHeight());
}

TEST_F(DialogRun, ConfigureWithoutInputEndsAsCancelAndStoresNothing) {
  RunResult r = Run({SP_PLAYER, "--headless", "/c:1234"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Run({SP_PLAYER, "--headless"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Setting("Standard"), 99u);
}

TEST_F(DialogRun, ChangePasswordAsksForTheOldOneFirst) {
  RunResult r = Dialog("/a", "text pw1\nkey Tab\ntext pw1\nkey Enter\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("The password has been successfully changed."), std::string::npos) << r.err;
  EXPECT_EQ(StoredPassword(), app::ScramblePassword("pw1"));

  // A wrong old password keeps the old one; Cancel ends the mode.
  r = Dialog("/a", "text PW1\nkey Enter\nclick 2\ntext new\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(r.err, "The password is not correct."), 1u) << r.err;
  EXPECT_EQ(Count(r.err, "successfully"), 0u) << r.err;
  EXPECT_EQ(StoredPassword(), app::ScramblePassword("pw1"));

  // Mismatched new passwords are refused; an empty pair removes the protection.
  r = Dialog("/a",
             "text pw1\nkey Enter\ntext a\nkey Tab\ntext b\nkey Enter\n"
             "key Alt+P\nkey Backspace\nkey Alt+C\nkey Backspace\nkey Enter\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(r.err, "do not match"), 1u) << r.err;
  EXPECT_EQ(Count(r.err, "successfully changed"), 1u) << r.err;
  EXPECT_EQ(StoredPassword(), "");
}

TEST_F(DialogRun, BadScriptsAndDesktopValuesAreRefused) {
  RunResult r = Dialog("/c", "key Tab\nwait 99999\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
  r = Run({SP_PLAYER, "--headless", "--input", (dir_ / "missing").string(), "/c"});
  EXPECT_EQ(r.status, 2) << r.err;
  r = Run({SP_PLAYER, "--set-desktop", "Wallpaper=1"});
  EXPECT_EQ(r.status, 2) << r.err;
  r = Run({SP_PLAYER, "--set-desktop", "ScreenSaveUsePassword=1"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(DialogRun, CloseRequestAsksForThePasswordOnlyWhenTheDesktopSaysSo) {
  ASSERT_EQ(Dialog("/a", "text pw1\nkey Tab\ntext pw1\nkey Enter\n").status, 0);

  // Switch off: the second mouse position ends the show at once.
  RunResult r = PlayShow("wait 0.3\nmove 10 10\nmove 20 20\n", "20");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.seconds, 10);
  EXPECT_EQ(Count(r.err, "not correct"), 0u) << r.err;

  // Switch on: a wrong password keeps the show and asks again; the right one ends it.
  ASSERT_EQ(Run({SP_PLAYER, "--set-desktop", "ScreenSaveUsePassword=1"}).status, 0);
  r = PlayShow(
      "wait 0.3\nmove 10 10\nmove 20 20\ntext bad\nkey Enter\nkey Escape\n"
      "wait 0.3\nmove 40 40\ntext pw\nkey Enter\ntext pw1\nkey Enter\n",
      "20");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.seconds, 10);
  EXPECT_EQ(Count(r.err, "The password is not correct."), 2u) << r.err;

  // Nobody answers: the show goes on until its time is up.
  r = PlayShow("wait 0.3\nmove 10 10\nmove 20 20\ntext bad\nkey Enter\n", "2");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GE(r.seconds, 1.9);
  EXPECT_EQ(Count(r.err, "not correct"), 1u) << r.err;

  // An empty new password removes the protection: the next close ends at once.
  ASSERT_EQ(Dialog("/a", "text pw1\nkey Enter\nkey Enter\n").status, 0);
  r = PlayShow("wait 0.3\nmove 10 10\nmove 20 20\n", "20");
  EXPECT_LT(r.seconds, 10);
  EXPECT_EQ(Count(r.err, "not correct"), 0u) << r.err;
}

TEST_F(DialogRun, LinkKeysTypedIntoAShowOpenTheLinkWhenItEnds) {
  // Custom settings with Escape only: the link's key does not end the show.
  ASSERT_EQ(Dialog("/c", "click 1014\nclick 1010\nkey Enter\n").status, 0);
  fs::create_directories(dir_ / "bin");
  const fs::path opened = dir_ / "opened.txt";
  {
    std::ofstream tool(dir_ / "bin" / "xdg-open");
    tool << "#!/bin/sh\necho \"$1\" > " << opened.string() << ".part && mv " << opened.string()
         << ".part " << opened.string() << "\n";
  }
  fs::permissions(dir_ / "bin" / "xdg-open", fs::perms::owner_all);
  const std::string arc =
      Show(R"({"class": "LinkItem", "url": "https://example.org/a", "linkMode": 1},)");
  const std::vector<std::string> env = {"PATH=" + (dir_ / "bin").string() + ":/usr/bin:/bin"};
  // Enter is not this link's key: nothing is opened.
  RunResult r = Run({SP_PLAYER, "--headless", "--size", "64x48", "--archive", arc, "--seconds",
                     "20", "--input", Script("k1.txt", "wait 0.5\nkey Enter\nkey Escape\n"), "/s"},
                    env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.seconds, 10);
  usleep(500000);
  EXPECT_FALSE(fs::exists(opened));
  r = Run({SP_PLAYER, "--headless", "--size", "64x48", "--archive", arc, "--seconds", "20",
           "--input", Script("k2.txt", "wait 0.5\nkey F12\nwait 0.2\nkey Escape\n"), "/s"},
          env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.seconds, 10);
  // The opener runs on its own after the player; give it a moment.
  for (int i = 0; i < 100 && !fs::exists(opened); ++i) usleep(50000);
  std::ifstream in(opened);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "https://example.org/a");
}

TEST_F(DialogRun, CustomExitSettingsChosenInTheDialogRuleTheShow) {
  ASSERT_EQ(Dialog("/c", "click 1014\nclick 1010\nkey Enter\n").status, 0);
  ASSERT_EQ(Setting("Standard"), 0u);
  ASSERT_EQ(Setting("Escape"), 1u);
  const std::string others =
      "wait 0.3\nmove 10 10\nmove 20 20\nclick 5 5\ndblclick 6 6\nkey A\nkey Alt\nkey Enter\n";
  // Only Escape ends it: everything else leaves it to its time.
  RunResult r = PlayShow(others, "3");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_GE(r.seconds, 2.9);
  r = PlayShow(others + "key Escape\n", "20");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_LT(r.seconds, 10);
}

}  // namespace
