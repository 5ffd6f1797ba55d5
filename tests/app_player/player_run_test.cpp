// The player as users run it: shows built with scenepack, played headless to frames, ended
// by signals, refused when broken.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
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

#include "support/clip_maker.h"
#include "support/player_process.h"
#include "support/png_frame.h"

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
  auto at = [&](int k) {
    return ReadPng(
        dir_ / "a" /
        ("frame-" + std::string(6 - std::to_string(k).size(), '0') + std::to_string(k) + ".png"));
  };
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
  // The desktop pictures written while the show was read are gone too.
  EXPECT_TRUE(TempNames().empty());
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

// ---- hostile files and surroundings

// A BMP of w x h with rows of varied bytes, as its file holds it.
std::string BmpFile(int w, int h) {
  const int row = (w * 3 + 3) / 4 * 4;
  std::string b = "BM";
  auto put32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  };
  auto put16 = [&b](uint16_t v) {
    b += static_cast<char>(v);
    b += static_cast<char>(v >> 8);
  };
  put32(54 + row * h);
  put32(0);
  put32(54);
  put32(40);
  put32(w);
  put32(h);
  put16(1);
  put16(24);
  for (int i = 0; i < 6; ++i) put32(0);
  for (int i = 0; i < row * h; ++i) b += static_cast<char>(i * 31 + i / 97);
  return b;
}

TEST_F(PlayerRun, AFifoAsArchiveIsRefusedAtOnce) {
  const fs::path fifo = dir_ / "show.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const char* mode : {"--dump", "/s"}) {
    RunResult r = Run({SP_PLAYER, "--headless", "--archive", fifo.string(), mode});
    EXPECT_EQ(r.status, 1) << mode;
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
  }
}

TEST_F(PlayerRun, ExitSignalsEndADumpStuckOnItsOutput) {
  // Far more JSON than a pipe holds.
  std::string items = R"({"class": "CommentItem", "comment": "first"})";
  for (int i = 0; i < 3000; ++i) items += R"(, {"class": "CommentItem", "comment": "more"})";
  std::string arc = Pack(items);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    // stdout is a pipe nobody reads: the dump blocks in its writes until the signal comes.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    const std::string player = SP_PLAYER;
    std::vector<char*> argv = {const_cast<char*>(player.c_str()), const_cast<char*>("--archive"),
                               arc.data(), const_cast<char*>("--dump"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    // The first bytes of the dump: the player is past its start, its signal watcher runs.
    char first = 0;
    ASSERT_EQ(read(out[0], &first, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(kill(pid, sig), 0);
    int st = 0;
    pid_t done = 0;
    for (int i = 0; i < 100 && done == 0; ++i) {  // 5 s at most
      done = waitpid(pid, &st, WNOHANG);
      if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
    }
    close(out[0]);
    EXPECT_EQ(done, pid) << "signal " << sig << " did not end --dump";
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 128 + sig) << "signal " << sig;
  }
}

TEST_F(PlayerRun, AHeldSettingsLockIsWaitedForABoundedTime) {
  std::string arc = Pack(R"({"class": "PauseItem", "pauseMs": 200})");
  fs::create_directories(dir_ / "config" / "sceneplayer");
  const fs::path lockFile = dir_ / "config" / "sceneplayer" / "HKEY_CURRENT_USER.reg.lock";
  int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  // A real-time show measures and stores its calibration: that store is locked.
  const auto start = std::chrono::steady_clock::now();
  RunResult r = Run({SP_PLAYER, "--headless", "--archive", arc, "--seconds", "0.5", "/s"});
  const auto took = std::chrono::steady_clock::now() - start;
  close(fd);
  EXPECT_EQ(r.status, 0) << r.err;
  size_t said = 0;
  for (size_t at = r.err.find("is locked"); at != std::string::npos;
       at = r.err.find("is locked", at + 1))
    ++said;
  EXPECT_EQ(said, 1u) << r.err;
  EXPECT_LT(took, std::chrono::seconds(60)) << "the lock was waited for without bound";
  EXPECT_FALSE(fs::exists(dir_ / "config" / "sceneplayer" / "HKEY_CURRENT_USER.reg"));
}

TEST_F(PlayerRun, ExitSignalsDuringALoadLeaveNoTemporaryFile) {
  std::ofstream(dir_ / "big.bmp", std::ios::binary) << BmpFile(700, 500);
  std::string items;
  for (int i = 0; i < 16; ++i) {
    items +=
        R"({"class": "PictureItem", "name": "p)" + std::to_string(i) + R"(", "file": "big.bmp"},)";
  }
  std::string arc = Pack(items + R"({"class": "ShowPictureItem", "picture": "p0"})");
  for (int delayMs : {30, 120, 300, 700}) {
    fs::path err = dir_ / "err.txt";
    pid_t pid = Spawn({SP_PLAYER, "--headless", "--size", "160x120", "--archive", arc, "--frames",
                       (dir_ / "f").string(), "--seconds", "5", "/s"},
                      err);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    kill(pid, SIGTERM);
    Wait(pid, err);
    std::vector<std::string> left;
    for (auto& e : fs::recursive_directory_iterator(dir_ / "tmp")) left.push_back(e.path());
    EXPECT_TRUE(left.empty()) << "after " << delayMs << " ms: " << left.front();
    fs::remove_all(dir_ / "tmp");
    fs::create_directories(dir_ / "tmp");
  }
}

TEST_F(PlayerRun, TheUsersFilesInTheTemporaryFolderSurvive) {
  std::ofstream(dir_ / "pic.bmp", std::ios::binary) << BmpFile(20, 10);
  std::string arc = Pack(R"({"class": "PictureItem", "name": "p", "file": "pic.bmp"},
                            {"class": "ShowPictureItem", "picture": "p"})");
  for (const char* name : {"desktop.bmp", "wallpaper.bmp", "Ssd123456"})
    std::ofstream(dir_ / "tmp" / name) << "the user's";
  ASSERT_EQ(Frames(arc, dir_ / "f", "5", "1").status, 0);
  size_t count = 0;
  for (auto& e : fs::directory_iterator(dir_ / "tmp")) {
    ++count;
    EXPECT_EQ(Slurp(e.path()), "the user's") << e.path();
  }
  EXPECT_EQ(count, 3u);
}

TEST_F(PlayerRun, ShowsThatSpendNoTimeStillEndWithTheirSeconds) {
  // Each spins without ever waiting; --seconds must end each, at the same frames every run.
  const char* shows[] = {
      R"({"class": "LoopStartItem"}, {"class": "CommentItem"},
         {"class": "LoopEndItem", "endless": 1})",
      R"({"class": "LoopStartItem"}, {"class": "CommentItem"},
         {"class": "LoopEndItem", "repeatCount": 2147483647})",
      R"({"class": "LoopStartItem"}, {"class": "BackgroundItem", "color": {"color": "#00FF00"}},
         {"class": "LoopEndItem", "endless": 1})",
  };
  std::ofstream(dir_ / "pic.bmp", std::ios::binary) << BmpFile(8, 8);
  // A free move that never arrives: its comparison kinds are unknown.
  const std::string move = R"({"class": "PictureItem", "name": "p", "file": "pic.bmp"},
      {"class": "MovePictureItem", "picture": "p", "path": {"freeMotion": 1, "dx": 1, "dy": 1,
       "compareX": 7, "compareY": 7, "modeX1": 5, "modeY1": 5, "modeX2": 5, "modeY2": 5}})";
  int n = 0;
  for (const std::string& items :
       {std::string(shows[0]), std::string(shows[1]), std::string(shows[2]), move}) {
    std::string arc = Pack(items, "spin" + std::to_string(n));
    const fs::path a = dir_ / ("a" + std::to_string(n)), b = dir_ / ("b" + std::to_string(n));
    RunResult r = Frames(arc, a, "10", "0.5");
    ASSERT_EQ(r.status, 0) << items << r.err;
    std::vector<fs::path> frames;
    for (auto& e : fs::directory_iterator(a)) frames.push_back(e.path());
    EXPECT_EQ(frames.size(), 5u) << items;
    ASSERT_EQ(Frames(arc, b, "10", "0.5").status, 0);
    for (auto& f : frames) EXPECT_EQ(Slurp(f), Slurp(b / f.filename())) << items << f;
    ++n;
  }
}

}  // namespace

namespace {

using namespace std::chrono_literals;

class PlayerVideo : public PlayerRun {
 protected:
  // A clip of `frames` flat pictures at `fps` in the test's folder, for the manifest.
  void MakeClip(const std::string& name, int fps, int frames) {
    ASSERT_TRUE(testsupport::WriteFlatClip((dir_ / name).string(), {32, 24, fps, frames},
                                           {0xD02020, 0x20D020, 0x2020D0}));
  }
};

// In frames the clip shows at (videoX, videoY) and nowhere else, from its start for its
// length, picture by picture; then its place is the background again.
TEST_F(PlayerVideo, WaitingClipAppearsInTheFramesAtItsPlaceAndTime) {
  MakeClip("clip.avi", 25, 10);
  std::string arc = Pack(R"(
    {"class": "MediaItem", "name": "clip", "file": "clip.avi", "mediaType": 1},
    {"class": "PauseItem", "pauseMs": 400},
    {"class": "PlayMediaItem", "media": "clip", "waitUntilDone": 1, "repeatCount": 1,
     "videoX": 50, "videoY": 40},
    {"class": "PauseItem", "pauseMs": 400})");
  RunResult r = Frames(arc, dir_ / "f", "25", "1.2");
  ASSERT_EQ(r.status, 0) << r.err;
  const uint32_t colors[3] = {0xD02020, 0x20D020, 0x2020D0};
  for (int k = 0; k < 30; ++k) {
    SCOPED_TRACE(k);
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", k);
    Image f = ReadPng(dir_ / "f" / name);
    ASSERT_EQ(f.width, 160);
    const bool playing = k >= 10 && k < 20;  // 400 ms to 800 ms
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) {
        const bool inside = playing && x >= 50 && x < 82 && y >= 40 && y < 64;
        if (inside != (f.At(x, y) != 0)) {
          ADD_FAILURE() << x << "," << y << " " << std::hex << f.At(x, y);
          return;
        }
      }
    if (playing) {
      EXPECT_TRUE(testsupport::Near(f.At(66, 52), colors[(k - 10) % 3]));
    }
  }
  EXPECT_TRUE(TempNames().empty());
}

// SIGTERM while the walk waits for a long clip ends the player within a second, its files
// gone.
TEST_F(PlayerVideo, SigtermEndsAWaitingClip) {
  MakeClip("long.avi", 2, 40);  // twenty seconds
  std::string arc = Pack(R"(
    {"class": "MediaItem", "name": "clip", "file": "long.avi", "mediaType": 1},
    {"class": "PlayMediaItem", "media": "clip", "waitUntilDone": 1, "endless": 1})");
  fs::path err = dir_ / "err.txt";
  pid_t pid = Spawn({SP_PLAYER, "--headless", "--size", "160x120", "--archive", arc, "/s"}, err);
  auto clipFile = [&] {
    for (const auto& n : TempNames()) {
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".avi") == 0) return true;
    }
    return false;
  };
  for (int i = 0; i < 600 && !clipFile(); ++i) std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(clipFile());
  std::this_thread::sleep_for(300ms);
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  RunResult r = Wait(pid, err);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(TempNames().empty());
}

}  // namespace
