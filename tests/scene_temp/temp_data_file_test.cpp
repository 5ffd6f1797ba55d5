#include "scene/temp_data_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/sys/temp_file.h"
#include "platform/ui/message_box.h"
#include "support/no_files.h"

namespace {

class CapturePresenter final : public ui::MessagePresenter {
 public:
  CapturePresenter() : previous_(ui::SetMessagePresenter(this)) {}
  ~CapturePresenter() override { ui::SetMessagePresenter(previous_); }
  void Show(const std::string& text, ui::MessageIcon) override { shown.push_back(text); }
  std::vector<std::string> shown;

 private:
  ui::MessagePresenter* previous_;
};

// A private TMPDIR for one test.
class ScratchTmpDir {
 public:
  ScratchTmpDir() {
    std::string tmpl = "/tmp/sp_scene_temp_XXXXXX";
    path_ = mkdtemp(tmpl.data()) ? tmpl : "";
    const char* old = getenv("TMPDIR");
    if (old) old_ = old;
    had_ = old != nullptr;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~ScratchTmpDir() {
    if (had_)
      setenv("TMPDIR", old_.c_str(), 1);
    else
      unsetenv("TMPDIR");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  size_t Count() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
  }

 private:
  std::string path_, old_;
  bool had_ = false;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const char kFailText[] = "It cannot be made data file.";

}  // namespace

TEST(WriteTempFile, WritesThePrivateSsdFile) {
  ScratchTmpDir tmp;
  CapturePresenter messages;
  const std::string data = std::string("BM\0\x01\xff", 5) + std::string(100000, 'p');
  std::string name = "stale";
  ASSERT_TRUE(scene::WriteTempFile(data.data(), data.size(), name));
  EXPECT_TRUE(name.starts_with(sys::PrivateTempDirectory() + "Ssd")) << name;
  EXPECT_TRUE(name.starts_with(tmp.path() + "/sceneplayer-")) << name;
  EXPECT_EQ(ReadAll(name), data);
  struct stat st;
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_TRUE(messages.shown.empty());

  std::string second;
  ASSERT_TRUE(scene::WriteTempFile(data.data(), 3, second));
  EXPECT_NE(second, name);
  EXPECT_EQ(ReadAll(second), data.substr(0, 3));
}

TEST(WriteTempFile, ZeroBytesMakeAnEmptyFile) {
  ScratchTmpDir tmp;
  CapturePresenter messages;
  std::string name;
  ASSERT_TRUE(scene::WriteTempFile(nullptr, 0, name));
  ASSERT_FALSE(name.empty());
  EXPECT_TRUE(std::filesystem::exists(name));
  EXPECT_EQ(std::filesystem::file_size(name), 0u);
  EXPECT_TRUE(messages.shown.empty());
}

TEST(WriteTempFile, MissingTempFolderShowsTheMessage) {
  ScratchTmpDir tmp;
  std::string missing = tmp.path() + "/gone";
  setenv("TMPDIR", missing.c_str(), 1);
  CapturePresenter messages;
  std::string name = "stale";
  EXPECT_FALSE(scene::WriteTempFile("abc", 3, name));
  EXPECT_EQ(name, "");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0], kFailText);
  EXPECT_EQ(tmp.Count(), 0u);
}

TEST(WriteTempFile, FailedWriteRemovesTheFileAndShowsTheMessage) {
  ScratchTmpDir tmp;
  // The child may not grow a file past 1 KB, so the write of 64 KB fails after creation.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1024, 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    CapturePresenter messages;
    std::string data(65536, 'd');
    std::string name = "stale";
    bool ok = scene::WriteTempFile(data.data(), data.size(), name);
    int code = ok                               ? 1
               : !name.empty()                  ? 2
               : messages.shown.size() != 1     ? 3
               : messages.shown[0] != kFailText ? 4
                                                : 0;
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(testsupport::HoldsNoFiles(tmp.path())) << "the partial file must be deleted";
}
