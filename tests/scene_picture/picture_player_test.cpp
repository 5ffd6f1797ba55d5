// A picture show built with scenepack and played headless: the frames show the pictures
// where and when the show puts them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"
#include "support/no_files.h"
#include "support/player_process.h"
#include "support/png_frame.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

uint32_t Pat(int x, int y) {
  return (static_cast<uint32_t>(x * 7919 + y * 104729) & 0x7FFFFF) | 0x800000;
}

using Image = testsupport::Frame;
Image ReadPng(const fs::path& path) { return testsupport::ReadPngFrame(path.string()); }

class PicturePlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    imaging::InitDecoder();
    dir_ = fs::temp_directory_path() / ("sp-picture-run-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Run(const std::vector<std::string>& args, std::string* err) {
    const fs::path errFile = dir_ / "stderr.txt";
    pid_t pid = testsupport::SpawnInHome(args, dir_.string(), errFile.string());
    EXPECT_GT(pid, 0) << args[0];
    int st = 0;
    waitpid(pid, &st, 0);
    std::stringstream ss;
    ss << std::ifstream(errFile).rdbuf();
    *err = ss.str();
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }

  void WriteBmp(const std::string& name, int w, int h) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t p = Pat(x, y);
        rgb.insert(rgb.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                               static_cast<uint8_t>(p)});
      }
    auto out = imaging::OpenTarget((dir_ / name).string());
    ASSERT_TRUE(imaging::WriteBmp(out, rgb, w, h));
    imaging::CloseTarget(out);
  }
  Image Frame(int k) const {
    std::string n = std::to_string(k);
    return ReadPng(dir_ / "frames" / ("frame-" + std::string(6 - n.size(), '0') + n + ".png"));
  }

  fs::path dir_;
};

TEST_F(PicturePlayer, PicturesStandWhereAndWhenTheShowPutsThem) {
  WriteBmp("a.bmp", 40, 30);
  WriteBmp("b.bmp", 20, 10);
  std::ofstream(dir_ / "show.json") << R"({"version": 4.31, "items": [
    {"class": "PictureItem", "name": "a", "file": "a.bmp"},
    {"class": "PictureItem", "name": "b", "file": "b.bmp"},
    {"class": "ShowPictureItem", "picture": "a",
     "path": {"x1": 30, "y1": 20, "x2": 30, "y2": 20, "effect": 37, "effectSpeed": 1000}},
    {"class": "PauseItem", "pauseMs": 1000},
    {"class": "ShowPictureItem", "picture": "b", "path": {"modeX1": 2, "modeY1": 2}},
    {"class": "PauseItem", "pauseMs": 500},
    {"class": "HidePictureItem", "picture": "a"},
    {"class": "PauseItem", "pauseMs": 1000}
  ]})";
  std::string err;
  const std::string arc = (dir_ / "show.arc").string();
  ASSERT_EQ(Run({SP_SCENEPACK, (dir_ / "show.json").string(), "-o", arc, "--archive-only"}, &err),
            0)
      << err;
  ASSERT_EQ(Run({SP_PLAYER, "--headless", "--size", "160x120", "--archive", arc, "--frames",
                 (dir_ / "frames").string(), "--fps", "8", "--seconds", "5", "/s"},
                &err),
            0)
      << err;

  // 0.125 s: the wipe (9 ms a row) is under way, its top rows stand, the bottom is still black.
  Image f = Frame(1);
  ASSERT_EQ(f.width, 160);
  EXPECT_EQ(f.At(30, 20), Pat(0, 0));
  EXPECT_EQ(f.At(30, 49), 0u);

  // 0.75 s: the whole picture at (30, 20), nothing beside it.
  f = Frame(6);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(f.At(30 + x, 20 + y), Pat(x, y)) << x << "," << y;
  EXPECT_EQ(f.At(29, 20), 0u);
  EXPECT_EQ(f.At(70, 49), 0u);
  EXPECT_EQ(f.At(140, 110), 0u);

  // 1.5 s: the second picture in the bottom-right corner.
  f = Frame(12);
  EXPECT_EQ(f.At(140, 110), Pat(0, 0));
  EXPECT_EQ(f.At(159, 119), Pat(19, 9));
  EXPECT_EQ(f.At(30, 20), Pat(0, 0));

  // 2 s: the first one hidden, the second still there.
  f = Frame(16);
  EXPECT_EQ(f.At(30, 20), 0u);
  EXPECT_EQ(f.At(69, 49), 0u);
  EXPECT_EQ(f.At(140, 110), Pat(0, 0));
  EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
}

// SIGTERM while the load decodes its pictures on every core: the player ends without a
// word, and leaves no temporary file.
TEST_F(PicturePlayer, SigtermDuringAParallelLoadLeavesNoTemporaryFile) {
  {
    const int w = 2400, h = 1800;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    auto out = imaging::OpenTarget((dir_ / "big.jpg").string());
    ASSERT_TRUE(imaging::WriteJpeg(out, rgb, w, h, 90, false));
    imaging::CloseTarget(out);
  }
  std::string items;
  for (int i = 0; i < 16; ++i)
    items +=
        R"({"class": "PictureItem", "name": "p)" + std::to_string(i) + R"(", "file": "big.jpg"},)";
  std::ofstream(dir_ / "show.json") << R"({"version": 4.31, "items": [)" << items
                                    << R"({"class": "PauseItem", "pauseMs": 100}]})";
  std::string err;
  const std::string arc = (dir_ / "show.arc").string();
  ASSERT_EQ(Run({SP_SCENEPACK, (dir_ / "show.json").string(), "-o", arc, "--archive-only"}, &err),
            0)
      << err;
  const fs::path errFile = dir_ / "stderr.txt";
  const pid_t pid = testsupport::SpawnInHome(
      {SP_PLAYER, "--headless", "--size", "160x120", "--archive", arc, "/s"}, dir_.string(),
      errFile.string());
  ASSERT_GT(pid, 0);
  // The desktop pictures are made just before the load: once they are there, the load of
  // the 16 pictures (seconds in this build) is under way a moment later.
  auto started = [&] {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir_ / "tmp", ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->path().filename() == "wallpaper.bmp") return true;
    return false;
  };
  bool seen = false;
  for (int i = 0; i < 5000 && !(seen = started()); ++i) usleep(1000);
  EXPECT_TRUE(seen);
  usleep(100'000);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int st = 0;
  waitpid(pid, &st, 0);
  std::stringstream ss;
  ss << std::ifstream(errFile).rdbuf();
  EXPECT_EQ(ss.str(), "");
  EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
}

}  // namespace
