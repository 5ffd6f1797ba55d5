#include "platform/shell/shell.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

TEST(Shell, DirectoryOfKeepsTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(shell::DirectoryOf("/usr/lib/sceneplayer/show.scr"), "/usr/lib/sceneplayer/");
  EXPECT_EQ(shell::DirectoryOf("C:\\Program Files\\Browser\\b.exe"),
            "C:\\Program Files\\Browser\\");
  EXPECT_EQ(shell::DirectoryOf("mixed/dir\\file"), "mixed/dir\\");
  EXPECT_EQ(shell::DirectoryOf("mixed\\dir/file"), "mixed\\dir/");
  EXPECT_EQ(shell::DirectoryOf("/"), "/");
  EXPECT_EQ(shell::DirectoryOf("dir/"), "dir/");
  EXPECT_EQ(shell::DirectoryOf("bare.exe"), "");
  EXPECT_EQ(shell::DirectoryOf(""), "");
  // Windows-1252 bytes are single characters: no lead byte can swallow a separator.
  EXPECT_EQ(shell::DirectoryOf("a\x81\\b"), "a\x81\\");
}

TEST(Shell, FileExistsOnlyForFiles) {
  std::string dir = "/tmp/sp_shell_XXXXXX";
  ASSERT_TRUE(mkdtemp(dir.data()));
  std::string file = dir + "/present";
  std::ofstream(file) << "x";
  EXPECT_TRUE(shell::FileExists(file));
  EXPECT_FALSE(shell::FileExists(dir + "/absent"));
  EXPECT_FALSE(shell::FileExists(dir)) << "a folder is not a file";
  EXPECT_FALSE(shell::FileExists(""));
  std::filesystem::remove_all(dir);
}

TEST(Shell, DisplayNameDropsFolderAndExtension) {
  EXPECT_EQ(shell::DisplayName("/home/u/shows/Summer Show.scr"), "Summer Show");
  EXPECT_EQ(shell::DisplayName("/opt/sceneplayer"), "sceneplayer");
  EXPECT_EQ(shell::DisplayName("archive.tar.gz"), "archive.tar");
  EXPECT_EQ(shell::DisplayName("/x/.hidden"), ".hidden");
  EXPECT_EQ(shell::DisplayName("/x.d/show"), "show");
}

TEST(Shell, PlatformClassIsNoneOfTheOldFamilies) { EXPECT_EQ(shell::GetPlatformClass(), 0); }
