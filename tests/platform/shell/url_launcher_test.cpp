#include "platform/shell/url_launcher.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// Records what would be started instead of starting it.
class RecordingLauncher {
 public:
  explicit RecordingLauncher(bool result = true) {
    previous_ = shell::SetUrlLauncher([this, result](const std::vector<std::string>& argv) {
      calls.push_back(argv);
      return result;
    });
  }
  ~RecordingLauncher() { shell::SetUrlLauncher(previous_); }
  std::vector<std::vector<std::string>> calls;

 private:
  shell::Launcher previous_;
};

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 1000; ++i) {
    if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

TEST(OpenUrl, HandsWebAndMailAddressesToXdgOpen) {
  RecordingLauncher launcher;
  const char* good[] = {
      "http://example.org/",        "HTTPS://example.org/a?b=c&d",   "Ftp://host/f",
      "mailto:someone@example.org", "MailTo:a@b?subject=hi%20there", "http:"};
  for (const char* url : good) {
    launcher.calls.clear();
    EXPECT_TRUE(shell::OpenUrl(url)) << url;
    ASSERT_EQ(launcher.calls.size(), 1u) << url;
    EXPECT_EQ(launcher.calls[0], (std::vector<std::string>{"xdg-open", url}));
  }
}

TEST(OpenUrl, RefusesEverythingElse) {
  RecordingLauncher launcher;
  const char* bad[] = {
      "file:///etc/passwd", "FILE:/home/u/.ssh/id_rsa", "javascript:alert(1)", "smb://server/share",
      "ssh://host", "httpx://example.org", "shttp://example.org", "//example.org/", "example.org",
      "/usr/bin/xterm", "-e http://example.org", " http://example.org", "http://exa\nmple.org",
      "http://example.org/\x7f", "mailto:a@b?attach=/home/u/.ssh/id_rsa",
      "mailto:a@b?subject=x&ATTACHMENT=%2Fetc%2Fpasswd",
      // Parameter names written with percent escapes, once or twice over,
      // and a query mark written as one.
      "mailto:a@b.c?%61ttach=/etc/passwd", "mailto:a@b.c?subject=x&%41%54%54%41%43%48=/etc/passwd",
      "mailto:a@b.c?%2561ttach=/etc/passwd", "mailto:a@b.c%3Fattach=/etc/passwd",
      "mailto:a@b.c?subject=%1B%5D0;x%07", ""};
  for (const char* url : bad) EXPECT_FALSE(shell::OpenUrl(url)) << url;
  EXPECT_FALSE(shell::OpenUrl(std::string("http://a\0b", 10)));
  EXPECT_TRUE(launcher.calls.empty());
}

TEST(OpenUrl, ReportsALauncherThatFails) {
  RecordingLauncher launcher(false);
  EXPECT_FALSE(shell::OpenUrl("http://example.org/"));
  EXPECT_EQ(launcher.calls.size(), 1u);
}

TEST(SpawnDetached, RunsTheProgramWithItsArgumentsAndLeavesNoChild) {
  std::string dir = "/tmp/sp_spawn_XXXXXX";
  ASSERT_TRUE(mkdtemp(dir.data()));
  std::string out = dir + "/out";
  // The argument arrives as one word, untouched by any shell.
  ASSERT_TRUE(shell::SpawnDetached(
      {"/bin/sh", "-c", "printf '%s' \"$1\" > \"$2\"", "sh", "a b;$(rm -rf x)'\"", out}));
  ASSERT_TRUE(WaitForFile(out));
  std::ifstream in(out);
  std::string got((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(got, "a b;$(rm -rf x)'\"");
  // The middle process was reaped and the program belongs to init, not to us.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  std::filesystem::remove_all(dir);
}

TEST(SpawnDetached, ReportsProgramsThatCannotRun) {
  EXPECT_FALSE(shell::SpawnDetached({}));
  EXPECT_FALSE(shell::SpawnDetached({"sp-no-such-program-anywhere"}));
  EXPECT_FALSE(shell::SpawnDetached({"/nonexistent/dir/prog"}));
  // Found but not executable: the failed exec is reported back.
  std::string dir = "/tmp/sp_spawn_XXXXXX";
  ASSERT_TRUE(mkdtemp(dir.data()));
  std::string file = dir + "/not-a-program";
  std::ofstream(file) << "plain text";
  EXPECT_FALSE(shell::SpawnDetached({file}));
  std::filesystem::remove_all(dir);
  EXPECT_TRUE(shell::SpawnDetached({"true"})) << "found through PATH";
}
