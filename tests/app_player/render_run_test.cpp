// Rendering as users run it: shows built with scenepack rendered to PNG frames and to video
// files, read back through FFmpeg's demuxer; refusals, signals and the default limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/player_process.h"
#include "support/png_frame.h"
#include "support/video_probe.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int status = -1;
  std::string err;
};

class RenderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "sp-render-run-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  pid_t Spawn(const std::vector<std::string>& args) {
    return testsupport::SpawnInHome(args, dir_.string(), (dir_ / "stderr.txt").string());
  }
  RunResult Wait(pid_t pid) {
    RunResult r;
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    std::ifstream in(dir_ / "stderr.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
  }
  RunResult Run(const std::vector<std::string>& args) { return Wait(Spawn(args)); }

  std::string Pack(const std::string& items) {
    fs::path manifest = dir_ / "show.json";
    std::ofstream(manifest) << "{\"version\": 4.31, \"items\": [" << items << "]}";
    std::string out = (dir_ / "show.arc").string();
    RunResult r = Run({SP_SCENEPACK, manifest.string(), "-o", out, "--archive-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
  }
  std::vector<std::string> Player(const std::string& arc, const std::string& size,
                                  std::vector<std::string> more) {
    std::vector<std::string> args = {SP_PLAYER, "--headless", "--size", size, "--archive", arc};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back("/s");
    return args;
  }

  fs::path dir_;
};

// 4 s: colours, a line, a loop; the last frame is the one at 4 s.
constexpr const char* kShow = R"(
  {"class": "PauseItem", "pauseMs": 1000},
  {"class": "BackgroundItem", "color": {"color": "#C02020"}},
  {"class": "PauseItem", "pauseMs": 1000},
  {"class": "LoopStartItem"},
  {"class": "BackgroundItem", "color": {"color": "#2040C0"}},
  {"class": "LineItem", "color": {"color": "#20C020"},
   "path": {"x1": 10, "y1": 60, "x2": 150, "y2": 60}},
  {"class": "PauseItem", "pauseMs": 500},
  {"class": "BackgroundItem", "color": {"color": "#E0E0E0"}},
  {"class": "PauseItem", "pauseMs": 500},
  {"class": "LoopEndItem", "repeatCount": 2}
)";

std::string FrameName(int k) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06d.png", k);
  return name;
}

constexpr const char* kEndless = R"(
  {"class": "LoopStartItem"},
  {"class": "BackgroundItem", "color": {"randomColor": 1, "useWindowBackground": 0}},
  {"class": "PauseItem", "pauseMs": 100},
  {"class": "LoopEndItem", "endless": 1})";

TEST_F(RenderRun, VideosHoldTheFramesOfTheSameInstantsAsThePngFrames) {
  const std::string arc = Pack(kShow);
  RunResult r = Run(Player(arc, "160x120", {"--frames", (dir_ / "png").string(), "--fps", "10"}));
  ASSERT_EQ(r.status, 0) << r.err;
  const int frames = 41;  // 0 .. 4 s at 10 fps
  ASSERT_EQ(std::distance(fs::directory_iterator(dir_ / "png"), fs::directory_iterator()), frames);

  struct Case {
    const char* name;
    const char* codec;
  };
  for (const Case c : {Case{"show.mp4", "h264"}, Case{"show.webm", "vp9"}}) {
    SCOPED_TRACE(c.name);
    const fs::path out = dir_ / c.name;
    r = Run(Player(arc, "160x120", {"--render", out.string(), "--fps", "10"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("wrote 41 frames"), std::string::npos) << r.err;
    auto probe = testsupport::ProbeVideo(out.string(), true);
    ASSERT_TRUE(probe.ok);
    const auto* v = probe.Stream(true);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->codec, c.codec);
    EXPECT_EQ(v->width, 160);
    EXPECT_EQ(v->height, 120);
    EXPECT_EQ(v->packets, frames);
    EXPECT_NEAR(v->seconds, frames / 10.0, 0.01);
    ASSERT_EQ(probe.frames.size(), static_cast<size_t>(frames));
    // Lossy codecs: the mean difference per channel stays within 5 of 255 (the 1-pixel line
    // is smeared by the halved chroma resolution), and flat areas
    // away from the line within 8.
    for (int k : {0, 5, 15, 22, 27, 40}) {
      auto png = testsupport::ReadPngFrame((dir_ / "png" / FrameName(k)).string());
      ASSERT_EQ(png.width, 160);
      const auto& rgb = probe.frames[k];
      double sum = 0;
      for (size_t i = 0; i < rgb.size(); ++i) sum += std::abs(rgb[i] - png.rgb[i]);
      EXPECT_LE(sum / static_cast<double>(rgb.size()), 5.0) << "frame " << k;
      for (int y : {10, 100}) {
        for (int x : {10, 80, 150}) {
          const size_t i = (static_cast<size_t>(y) * 160 + x) * 3;
          for (int ch = 0; ch < 3; ++ch) {
            EXPECT_NEAR(rgb[i + ch], png.rgb[i + ch], 8)
                << "frame " << k << " at " << x << "," << y;
          }
        }
      }
    }
  }
  // The same show renders to the same file.
  r = Run(Player(arc, "160x120", {"--render", (dir_ / "again.mp4").string(), "--fps", "10"}));
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream a(dir_ / "show.mp4", std::ios::binary), b(dir_ / "again.mp4", std::ios::binary);
  std::stringstream sa, sb;
  sa << a.rdbuf();
  sb << b.rdbuf();
  EXPECT_TRUE(sa.str() == sb.str());
}

TEST_F(RenderRun, UnwritablePathsFailAtOnceAndOldFramesNeedOverwrite) {
  const std::string arc = Pack(kShow);
  std::ofstream(dir_ / "file") << "x";
  for (const std::vector<std::string>& out :
       {std::vector<std::string>{"--render", (dir_ / "file" / "x.mp4").string()},
        std::vector<std::string>{"--frames", (dir_ / "file" / "frames").string()}}) {
    RunResult r = Run(Player(arc, "160x120", out));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("cannot "), std::string::npos) << r.err;
  }
  std::vector<std::string> left;
  for (auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"config", "file", "show.arc", "show.json", "stderr.txt",
                                            "tmp"}));

  const std::vector<std::string> frames = {"--frames", (dir_ / "f").string(), "--fps", "2"};
  ASSERT_EQ(Run(Player(arc, "32x24", frames)).status, 0);
  RunResult r = Run(Player(arc, "32x24", frames));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--overwrite"), std::string::npos) << r.err;
  auto again = frames;
  again.push_back("--overwrite");
  r = Run(Player(arc, "32x24", again));
  EXPECT_EQ(r.status, 0) << r.err;

  // A frame that cannot be written (a folder stands in its place) ends the render: one
  // message, no summary, exit 1, the frames before it in place.
  fs::create_directories(dir_ / "g" / "frame-000003.png" / "x");
  r = Run(Player(arc, "32x24", {"--frames", (dir_ / "g").string(), "--fps", "2", "--quiet"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find("cannot write frame 3"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "g" / "frame-000002.png"));
  EXPECT_FALSE(fs::exists(dir_ / "g" / "frame-000004.png"));
}

TEST_F(RenderRun, AnEndlessShowStopsAtTheDefaultLimitSaidAtStartAndEnd) {
  const std::string arc = Pack(kEndless);
  RunResult r = Run(Player(arc, "32x24", {"--frames", (dir_ / "f").string(), "--fps", "1"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "f"), fs::directory_iterator()), 600);
  const size_t first = r.err.find("600 s");
  ASSERT_NE(first, std::string::npos) << r.err;
  EXPECT_NE(r.err.find("600 s", first + 1), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos);  // no progress line off a terminal
}

TEST_F(RenderRun, SigtermRemovesAnUnfinishedVideoAndKeepsFramesWritten) {
  const std::string arc = Pack(kEndless);
  const fs::path out = dir_ / "long.mp4";
  // Waits until the render is under way, then ends it with SIGTERM.
  auto interrupt = [&](const std::vector<std::string>& args, auto started) {
    pid_t pid = Spawn(args);
    EXPECT_GT(pid, 0);
    bool going = false;
    for (int i = 0; i < 600 && !going; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      going = started();
    }
    EXPECT_TRUE(going);
    kill(pid, SIGTERM);
    return Wait(pid);
  };
  RunResult r = interrupt(Player(arc, "320x240", {"--render", out.string()}), [&] {
    for (auto& e : fs::directory_iterator(dir_)) {
      if (e.path().extension() == ".part" && e.file_size() > 20000) return true;
    }
    return false;
  });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("stopped by a signal; removed the unfinished"), std::string::npos) << r.err;
  for (auto& e : fs::directory_iterator(dir_)) {
    EXPECT_NE(e.path().extension(), ".part");
    EXPECT_NE(e.path().extension(), ".mp4");
  }

  const fs::path frames = dir_ / "frames";
  r = interrupt(Player(arc, "320x240", {"--frames", frames.string(), "--quiet"}),
                [&] { return fs::exists(frames / FrameName(20)); });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("stopped by a signal"), std::string::npos) << r.err;
  // Every frame written is whole, and they run without a gap.
  size_t n = 0;
  for (auto& e : fs::directory_iterator(frames)) {
    (void)e;
    ++n;
  }
  ASSERT_GT(n, 20u);
  for (size_t k = 0; k < n; ++k) {
    EXPECT_EQ(testsupport::ReadPngFrame((frames / FrameName(static_cast<int>(k))).string()).width,
              320)
        << k;
  }
}

}  // namespace
