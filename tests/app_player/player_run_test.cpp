// The player as users run it: shows built with scenepack, played headless to frames, ended
// by signals, refused when broken.
#include <gtest/gtest.h>

#include "support/player_process.h"
#include "support/png_frame.h"
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int status = -1;
  std::string err;
};

class PlayerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sp-run-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs a program with a private config and temp folder; stderr is captured.
  pid_t Spawn(const std::vector<std::string>& args, const fs::path& errFile) {
    pid_t pid = testsupport::SpawnInHome(args, dir_.string(), errFile.string());
    EXPECT_GT(pid, 0) << args[0];
    return pid;
  }
  RunResult Wait(pid_t pid, const fs::path& errFile) {
    RunResult r;
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
  }
  RunResult Run(const std::vector<std::string>& args) {
    fs::path err = dir_ / "stderr.txt";
    return Wait(Spawn(args, err), err);
  }

  // Builds a bare archive from manifest items (JSON array text).
  std::string Pack(const std::string& items, const std::string& name = "show") {
    fs::path manifest = dir_ / (name + ".json");
    std::ofstream(manifest) << "{\"version\": 4.31, \"items\": [" << items << "]}";
    std::string out = (dir_ / (name + ".arc")).string();
    RunResult r = Run({SP_SCENEPACK, manifest.string(), "-o", out, "--archive-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
  }
  RunResult Frames(const std::string& archive, const fs::path& frames, const std::string& fps,
                   const std::string& seconds) {
    return Run({SP_PLAYER, "--headless", "--size", "160x120", "--archive", archive, "--frames",
                frames.string(), "--fps", fps, "--seconds", seconds, "/s"});
  }

  // Names of the files under the private temp folder, at any depth.
  std::set<std::string> TempNames() const {
    std::set<std::string> names;
    for (auto& e : fs::recursive_directory_iterator(dir_ / "tmp"))
      if (e.is_regular_file()) names.insert(e.path().filename().string());
    return names;
  }

  fs::path dir_;
};

using Image = testsupport::Frame;
Image ReadPng(const fs::path& path) { return testsupport::ReadPngFrame(path.string()); }

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

constexpr const char* kColourShow = R"(
  {"class": "PauseItem", "pauseMs": 1000},
  {"class": "BackgroundItem", "color": {"color": "#FF0000"}},
  {"class": "PauseItem", "pauseMs": 1000},
  {"class": "LoopStartItem"},
  {"class": "BackgroundItem", "color": {"color": "#0000FF"}},
  {"class": "LineItem", "color": {"color": "#00FF00"},
   "path": {"x1": 10, "y1": 60, "x2": 150, "y2": 60}},
  {"class": "PauseItem", "pauseMs": 500},
  {"class": "BackgroundItem", "color": {"color": "#FFFFFF"}},
  {"class": "PauseItem", "pauseMs": 500},
  {"class": "LoopEndItem", "repeatCount": 2}
)";

TEST_F(PlayerRun, FramesShowTheScreenAtTheirInstantsAndAreRepeatable) {
  std::string arc = Pack(kColourShow);
  RunResult r = Frames(arc, dir_ / "a", "4", "60");
  ASSERT_EQ(r.status, 0) << r.err;
  // 0-1 s black, 1-2 s red, then twice: blue with a green line 0.5 s, white 0.5 s; the list
  // ends at 4 s and the frame of that instant is the last.
  std::vector<fs::path> frames;
  for (auto& e : fs::directory_iterator(dir_ / "a")) frames.push_back(e.path());
  ASSERT_EQ(frames.size(), 17u);
  auto at = [&](int k) { return ReadPng(dir_ / "a" / ("frame-" + std::string(6 - std::to_string(k).size(), '0') + std::to_string(k) + ".png")); };
  Image f0 = at(0);
  ASSERT_EQ(f0.width, 160);
  ASSERT_EQ(f0.height, 120);
  EXPECT_EQ(f0.At(80, 30), 0x000000u);
  EXPECT_EQ(at(3).At(80, 30), 0x000000u);
  EXPECT_EQ(at(4).At(80, 30), 0xFF0000u);
  Image blue = at(9);
  EXPECT_EQ(blue.At(80, 30), 0x0000FFu);
  EXPECT_EQ(blue.At(80, 60), 0x00FF00u);   // on the line
  EXPECT_EQ(blue.At(150, 60), 0x0000FFu);  // the end point is not drawn
  EXPECT_EQ(at(10).At(80, 60), 0xFFFFFFu);
  EXPECT_EQ(at(12).At(80, 60), 0x00FF00u);  // second pass of the loop
  EXPECT_EQ(at(16).At(80, 60), 0xFFFFFFu);

  ASSERT_EQ(Frames(arc, dir_ / "b", "4", "60").status, 0);
  for (auto& f : frames) EXPECT_EQ(Slurp(f), Slurp(dir_ / "b" / f.filename())) << f;
}

TEST_F(PlayerRun, SecondsEndAnEndlessShowLikeAUserExit) {
  std::string arc = Pack(R"(
    {"class": "LoopStartItem"},
    {"class": "BackgroundItem", "color": {"randomColor": 1, "useWindowBackground": 0}},
    {"class": "PauseItem", "pauseMs": 100},
    {"class": "LoopEndItem", "endless": 1})");
  RunResult r = Frames(arc, dir_ / "f", "10", "2.5");
  ASSERT_EQ(r.status, 0) << r.err;
  size_t n = std::distance(fs::directory_iterator(dir_ / "f"), fs::directory_iterator());
  EXPECT_EQ(n, 25u);
  ASSERT_EQ(Frames(arc, dir_ / "g", "10", "2.5").status, 0);
  for (auto& e : fs::directory_iterator(dir_ / "f")) {
    EXPECT_EQ(Slurp(e.path()), Slurp(dir_ / "g" / e.path().filename()));  // random, yet repeatable
  }
}

TEST_F(PlayerRun, SigtermEndsARealTimeShowCleanly) {
  std::string arc = Pack(R"(
    {"class": "LinkItem", "url": "https://example.org/", "linkMode": 3},
    {"class": "LoopStartItem"},
    {"class": "PauseItem", "pauseMs": 5000},
    {"class": "LoopEndItem", "endless": 1})");
  fs::path err = dir_ / "err.txt";
  pid_t pid = Spawn({SP_PLAYER, "--headless", "--archive", arc, "/s"}, err);
  // Wait until the player has measured and stored its calibration (about a second, longer on
  // a loaded machine), so the signal lands in the show itself.
  const fs::path settings = dir_ / "config" / "sceneplayer" / "HKEY_CURRENT_USER.reg";
  for (int i = 0; i < 600 && Slurp(settings).find("Times") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // The desktop snapshot and the wallpaper picture exist while the show runs.
  EXPECT_EQ(TempNames(), (std::set<std::string>{"desktop.bmp", "wallpaper.bmp"}));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  RunResult r = Wait(pid, err);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
  // The calibration was stored in the shared key.
  EXPECT_NE(Slurp(settings).find("Times"), std::string::npos);
}

TEST_F(PlayerRun, PicturesOfTheDesktopAndTheWallpaperShowWhatStartupWrote) {
  // The player's own wallpaper setting: a tiled picture, and a desktop colour.
  fs::copy_file(fs::path(SP_SOURCE_DIR) / "demo" / "tile.bmp", dir_ / "wall.bmp");
  fs::create_directories(dir_ / "config" / "sceneplayer");
  std::ofstream(dir_ / "config" / "sceneplayer" / "HKEY_CURRENT_USER.reg")
      << "sceneplayer registry 1\n[Control Panel\\Desktop]\n\"Wallpaper\"=\""
      << (dir_ / "wall.bmp").string()
      << "\"\n\"WallpaperStyle\"=\"0\"\n\"TileWallpaper\"=\"1\"\n"
         "[Control Panel\\Colors]\n\"Background\"=\"10 20 30\"\n";
  fs::copy_file(fs::path(SP_SOURCE_DIR) / "demo" / "tile.bmp", dir_ / "own.bmp");
  std::string arc = Pack(R"(
    {"class": "PictureItem", "name": "desk", "file": "own.bmp", "imageOrigin": 2},
    {"class": "PictureItem", "name": "wall", "file": "own.bmp", "imageOrigin": 3},
    {"class": "ShowPictureItem", "picture": "desk", "path": {"effect": 0}},
    {"class": "PauseItem", "pauseMs": 1000},
    {"class": "ShowPictureItem", "picture": "wall", "path": {"effect": 41, "effectSpeed": 1000}},
    {"class": "PauseItem", "pauseMs": 1000})");
  RunResult r = Frames(arc, dir_ / "f", "2", "60");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<fs::path> frames;
  for (auto& e : fs::directory_iterator(dir_ / "f")) frames.push_back(e.path());
  std::sort(frames.begin(), frames.end());
  ASSERT_GE(frames.size(), 3u);
  // Headless, the snapshot is a screen of the desktop colour.
  Image desk = ReadPng(frames[1]);
  for (int y = 0; y < 120; y += 7)
    for (int x = 0; x < 160; x += 5) ASSERT_EQ(desk.At(x, y), 0x0A141Eu) << x << "," << y;
  // The wallpaper tiles across the screen: the tile's own pixels, repeated every 96 x 72.
  Image wall = ReadPng(frames.back());
  for (int y = 0; y < 48; y += 3)
    for (int x = 0; x < 64; x += 3) {
      ASSERT_EQ(wall.At(x + 96, y), wall.At(x, y)) << x << "," << y;
      ASSERT_EQ(wall.At(x, y + 72), wall.At(x, y)) << x << "," << y;
    }
  EXPECT_NE(wall.At(10, 10), 0x0A141Eu);
  // Both files are gone at the end.
  EXPECT_TRUE(TempNames().empty());
}

TEST_F(PlayerRun, BrokenOrMissingShowsAreRefusedWithOneLine) {
  std::ofstream(dir_ / "junk.arc") << "not an archive at all";
  RunResult r = Run({SP_PLAYER, "--headless", "--archive", (dir_ / "junk.arc").string(), "/s"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("sceneplayer: "), std::string::npos);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  // The bare player has no show appended.
  EXPECT_EQ(Run({SP_PLAYER, "--headless", "/s"}).status, 1);
  // Switches that select nothing end at once, successfully.
  EXPECT_EQ(Run({SP_PLAYER, "sx"}).status, 0);
  EXPECT_EQ(Run({SP_PLAYER, "/"}).status, 0);
  EXPECT_EQ(Run({SP_PLAYER, "--size", "0x5", "/s"}).status, 2);
}

TEST_F(PlayerRun, PreviewRunsHeadlessUntilItsTimeIsUp) {
  RunResult r = Run({SP_PLAYER, "--headless", "--seconds", "0.2", "/p", "0"});
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
