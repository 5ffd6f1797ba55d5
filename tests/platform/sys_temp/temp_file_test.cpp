#include "platform/sys/temp_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

// Points TMPDIR somewhere for the life of the object.
class TmpDirOverride {
 public:
  explicit TmpDirOverride(const char* value) {
    const char* old = getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      setenv("TMPDIR", value, 1);
    else
      unsetenv("TMPDIR");
  }
  ~TmpDirOverride() {
    if (had_)
      setenv("TMPDIR", old_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

 private:
  bool had_ = false;
  std::string old_;
};

class ScratchTmp {
 public:
  ScratchTmp() {
    std::string tmpl = "/tmp/sp_temp_XXXXXX";
    path_ = mkdtemp(tmpl.data()) ? tmpl : "";
  }
  ~ScratchTmp() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  size_t Count() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
  }

 private:
  std::string path_;
};

}  // namespace

TEST(TempFile, DirectoryComesFromTmpdirWithATrailingSlash) {
  {
    TmpDirOverride env("/var/spool/x");
    EXPECT_EQ(sys::TempDirectory(), "/var/spool/x/");
  }
  {
    TmpDirOverride env("/var/spool/x/");
    EXPECT_EQ(sys::TempDirectory(), "/var/spool/x/");
  }
  for (const char* fallback : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    TmpDirOverride env(fallback);
    EXPECT_EQ(sys::TempDirectory(), "/tmp/") << (fallback ? fallback : "(unset)");
  }
}

TEST(TempFile, CreatesUniquePrivateEmptyFiles) {
  ScratchTmp dir;
  TmpDirOverride env(dir.path().c_str());
  mode_t oldMask = umask(0);  // the mode must not depend on the caller's umask
  std::string a = sys::CreateTempFile("Ssd");
  std::string b = sys::CreateTempFile("Ssd");
  umask(oldMask);
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  const std::string own = sys::PrivateTempDirectory();
  EXPECT_TRUE(own.starts_with(dir.path() + "/sceneplayer-")) << own;
  EXPECT_TRUE(a.starts_with(own + "Ssd"));
  EXPECT_EQ(a.size(), own.size() + 3 + 6);
  struct stat folder;
  ASSERT_EQ(stat(own.c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 07777, 0700u);
  struct stat st;
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_size, 0);

  EXPECT_TRUE(sys::RemoveFile(a));
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_TRUE(sys::RemoveFile(a)) << "already gone counts as removed";
  EXPECT_FALSE(sys::RemoveFile(""));
  EXPECT_TRUE(sys::RemoveFile(b));
  sys::RemoveOwnTempFiles();
  EXPECT_EQ(dir.Count(), 0u);
}

TEST(TempFile, ExitRemovesOnlyWhatTheProcessMade) {
  ScratchTmp dir;
  TmpDirOverride env(dir.path().c_str());
  // The user's own files, under the names the player uses.
  for (const char* name : {"desktop.bmp", "wallpaper.bmp", "SsdAAAAAA"})
    std::ofstream(dir.path() + "/" + name) << "mine";
  const std::string desktop = sys::TempFilePath("desktop.bmp");
  EXPECT_NE(desktop, dir.path() + "/desktop.bmp");
  EXPECT_TRUE(desktop.ends_with("/desktop.bmp"));
  sys::NewTempFile kept("Ssd");  // still open and written when the exit comes
  ASSERT_TRUE(kept.ok());
  ASSERT_TRUE(kept.WriteAll("data", 4));
  std::string made = sys::CreateTempFile("Ssd");
  ASSERT_FALSE(made.empty());
  // Another process's folder of the same kind is not ours either.
  std::filesystem::create_directory(dir.path() + "/sceneplayer-other");
  std::ofstream(dir.path() + "/sceneplayer-other/desktop.bmp") << "theirs";

  sys::RemoveOwnTempFiles();
  EXPECT_FALSE(std::filesystem::exists(kept.path()));
  EXPECT_FALSE(std::filesystem::exists(made));
  EXPECT_EQ(dir.Count(), 4u);  // the user's three and the other folder; ours is gone
  for (const char* name : {"desktop.bmp", "wallpaper.bmp", "SsdAAAAAA"})
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/" + name)) << name;
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/sceneplayer-other/desktop.bmp"));
}

TEST(TempFile, WritesLargeBlocksWhole) {
  ScratchTmp dir;
  TmpDirOverride env(dir.path().c_str());
  std::string data(3 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + (i >> 9));
  sys::NewTempFile file("blk");
  ASSERT_TRUE(file.ok());
  ASSERT_TRUE(file.WriteAll(data.data(), data.size()));
  ASSERT_TRUE(file.Close());
  std::ifstream in(file.path(), std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == data);
}

TEST(TempFile, FailsInAMissingFolder) {
  ScratchTmp dir;
  std::string missing = dir.path() + "/does/not/exist";
  TmpDirOverride env(missing.c_str());
  EXPECT_EQ(sys::CreateTempFile("Ssd"), "");
  sys::NewTempFile file("Ssd");
  EXPECT_FALSE(file.ok());
  EXPECT_FALSE(file.WriteAll("x", 1));
  EXPECT_EQ(dir.Count(), 0u);
}

// A signal's exit removes what is there, and a thread still at work (a load decoding
// pictures) makes no new file after it. In a child process: it is for good.
TEST(TempFile, AnEndingProcessMakesNoNewFiles) {
  ScratchTmp dir;
  TmpDirOverride env(dir.path().c_str());
  EXPECT_EXIT(
      {
        sys::NewTempFile before("Ssd");
        sys::EndTempFiles();
        std::thread late([] { sys::NewTempFile after("Ssd"); });
        late.detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        _exit(before.ok() && dir.Count() == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
