// The player's sound end to end: a show with music and a wave sound rendered to frames in
// virtual time with --audio-out; the tones are measured where the show puts them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/store/profile.h"
#include "platform/store/registry.h"
#include "support/player_process.h"
#include "support/tone.h"
#include "support/video_probe.h"

namespace fs = std::filesystem;

namespace {

using testsupport::MeasureHz;
using testsupport::Rms;
constexpr int kRate = 44100;
size_t F(double s) { return static_cast<size_t>(s * kRate); }

class SoundRun : public ::testing::Test {
 public:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sp-sound-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Run(const std::vector<std::string>& args, std::string* err = nullptr) {
    const fs::path errFile = dir_ / "stderr.txt";
    pid_t pid = testsupport::SpawnInHome(args, dir_.string(), errFile.string());
    EXPECT_GT(pid, 0);
    int st = 0;
    waitpid(pid, &st, 0);
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    if (err) *err = ss.str();
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }
  std::string Pack(const std::string& items) {
    const fs::path manifest = dir_ / "show.json";
    std::ofstream(manifest) << "{\"version\": 4.31, \"items\": [" << items << "]}";
    const std::string out = (dir_ / "show.arc").string();
    std::string err;
    EXPECT_EQ(Run({SP_SCENEPACK, manifest.string(), "-o", out, "--archive-only"}, &err), 0) << err;
    return out;
  }
  fs::path dir_;
};

// Music starts after a one-second pause, loops until its stop item two seconds later; a
// second later a wave sound plays once while the show waits for it.
std::string SoundShow(SoundRun& t, const fs::path& dir) {
  const std::string mp3 = std::string(SP_SOURCE_DIR) + "/tests/media/data/tone440-44k-stereo.mp3";
  const auto wav = testsupport::SineWav(1000, 0.5, 22050, 1, 16);
  std::ofstream(dir / "beep.wav", std::ios::binary)
      .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  return t.Pack(R"({"class": "MediaItem", "name": "music", "file": ")" + mp3 +
                R"(", "mediaType": 2},
         {"class": "MediaItem", "name": "beep", "file": ")" +
                (dir / "beep.wav").string() +
                R"(", "mediaType": 0},
         {"class": "PauseItem", "name": "quiet", "pauseMs": 1000},
         {"class": "PlayMediaItem", "name": "music", "media": "music", "loopInBackground": 1},
         {"class": "PauseItem", "name": "listen", "pauseMs": 2000},
         {"class": "StopMediaItem", "name": "stop", "media": "music"},
         {"class": "PauseItem", "name": "quiet again", "pauseMs": 1000},
         {"class": "PlayMediaItem", "name": "beep", "media": "beep", "waitUntilDone": 1},
         {"class": "PauseItem", "name": "end", "pauseMs": 500})");
}

TEST_F(SoundRun, TonesAppearAtTheirShowTimeAndStopWithTheStopItem) {
  const std::string archive = SoundShow(*this, dir_);
  const fs::path out = dir_ / "show.wav";
  std::string err;
  ASSERT_EQ(Run({SP_PLAYER, "--headless", "--size", "64x48", "--archive", archive, "--frames",
                 (dir_ / "frames").string(), "--fps", "4", "--audio-out", out.string(), "/s"},
                &err),
            0)
      << err;
  const auto track = testsupport::ReadTrackWav(out.string());
  // The track lasts as long as the show: 1 + 2 + 1 + 0.5 + 0.5 s.
  EXPECT_NEAR(static_cast<double>(track.size() / 2) / kRate, 5.0, 0.01);
  EXPECT_LT(Rms(track, 0, F(0.99)), 1);
  // The piece is 1.045 s long and loops: both passes sound at 440 Hz.
  EXPECT_NEAR(MeasureHz(track, F(1.05), F(1.95), kRate), 440, 4);
  EXPECT_NEAR(MeasureHz(track, F(2.1), F(2.95), kRate), 440, 4);
  EXPECT_GT(Rms(track, F(2.8), F(2.99)), 3000);
  EXPECT_LT(Rms(track, F(3.01), F(3.99)), 1);
  EXPECT_NEAR(MeasureHz(track, F(4.01), F(4.49), kRate), 1000, 10);
  EXPECT_LT(Rms(track, F(4.51), track.size() / 2), 1);
  // Pictures and sound line up: 5 s at 4 frames per second.
  size_t frames = 0;
  for (auto& e : fs::directory_iterator(dir_ / "frames")) frames += e.is_regular_file();
  EXPECT_EQ(frames, 21u);
}

// A video render carries the same sound as its track, at the same show times, and
// --audio-out beside it still gets the WAV.
TEST_F(SoundRun, AVideoRenderCarriesTheShowsSound) {
  const std::string archive = SoundShow(*this, dir_);
  const fs::path video = dir_ / "show.mkv", out = dir_ / "show.wav";
  std::string err;
  ASSERT_EQ(Run({SP_PLAYER, "--headless", "--size", "64x48", "--archive", archive, "--render",
                 video.string(), "--fps", "4", "--audio-out", out.string(), "/s"},
                &err),
            0)
      << err;
  EXPECT_NEAR(static_cast<double>(testsupport::ReadTrackWav(out.string()).size() / 2) / kRate, 5.0,
              0.01);
  int rate = 0;
  const auto track = testsupport::DecodeSoundStereo(video.string(), &rate);
  ASSERT_EQ(rate, kRate);
  // The sound lasts as long as the pictures: the last frame (at 5 s) shows for 1/4 s.
  EXPECT_NEAR(static_cast<double>(track.size() / 2) / kRate, 5.25, 0.1);
  // Lossy coding: silence is near silence, tones keep their pitch.
  EXPECT_LT(Rms(track, F(0.1), F(0.9)), 30);
  EXPECT_NEAR(MeasureHz(track, F(1.1), F(1.9), kRate), 440, 4);
  EXPECT_GT(Rms(track, F(2.5), F(2.9)), 3000);
  EXPECT_LT(Rms(track, F(3.2), F(3.9)), 30);
  EXPECT_NEAR(MeasureHz(track, F(4.05), F(4.45), kRate), 1000, 10);
}

// The demo clip's sound (a 660 Hz tone from 1 s to 2 s of the clip) in a render: played
// once while the show waits (from 1 s), then repeating in the background (from 4 s) until
// its stop item at 5.5 s cuts the tone half way; the show's Mute setting silences both.
TEST_F(SoundRun, ClipSoundFollowsTheClipInARender) {
  const std::string clip = std::string(SP_SOURCE_DIR) + "/demo/clip.avi";
  const std::string archive =
      Pack(R"({"class": "MediaItem", "name": "clip", "file": ")" + clip + R"(", "mediaType": 1},
         {"class": "PauseItem", "name": "quiet", "pauseMs": 1000},
         {"class": "PlayMediaItem", "name": "once", "media": "clip", "waitUntilDone": 1},
         {"class": "PlayMediaItem", "name": "again", "media": "clip", "loopInBackground": 1},
         {"class": "PauseItem", "name": "listen", "pauseMs": 1500},
         {"class": "StopMediaItem", "name": "stop", "media": "clip"},
         {"class": "PauseItem", "name": "end", "pauseMs": 1000})");
  for (const bool mute : {false, true}) {
    SCOPED_TRACE(mute ? "muted" : "with sound");
    if (mute) {
      auto store = store::Store::OpenFiles((dir_ / "config" / "sceneplayer").string());
      store::Profile profile(*store, "Quillmoor\\Screen Saver", "sceneplayer");
      ASSERT_TRUE(profile.WriteProfileInt("Settings", "Mute", 1));
    }
    const fs::path out = dir_ / (mute ? "muted.wav" : "show.wav");
    const std::string frames = (dir_ / (mute ? "muted-frames" : "frames")).string();
    const std::vector<std::string> args = {
        SP_PLAYER, "--headless", "--size", "320x240",     "--archive",  archive, "--frames",
        frames,    "--fps",      "4",      "--audio-out", out.string(), "/s"};
    std::string err;
    ASSERT_EQ(Run(args, &err), 0) << err;
    const auto track = testsupport::ReadTrackWav(out.string());
    EXPECT_NEAR(static_cast<double>(track.size() / 2) / kRate, 6.5, 0.01);
    if (mute) {
      EXPECT_LT(Rms(track, 0, track.size() / 2), 1);
      continue;
    }
    EXPECT_LT(Rms(track, 0, F(1.99)), 1);
    EXPECT_NEAR(MeasureHz(track, F(2.02), F(2.98), kRate), 660, 4);
    EXPECT_GT(Rms(track, F(2.1), F(2.9)), 5000);
    EXPECT_LT(Rms(track, F(3.01), F(4.99)), 1);
    EXPECT_NEAR(MeasureHz(track, F(5.02), F(5.48), kRate), 660, 6);
    EXPECT_LT(Rms(track, F(5.51), track.size() / 2), 1);
  }
}

// A SIGTERM during a waiting, endlessly repeated piece in real time ends the player within
// a second.
TEST_F(SoundRun, SigtermEndsAWaitingPieceAtOnce) {
  const std::string mp3 = std::string(SP_SOURCE_DIR) + "/tests/media/data/tone440-44k-stereo.mp3";
  const std::string archive =
      Pack(R"({"class": "MediaItem", "name": "music", "file": ")" + mp3 + R"(", "mediaType": 2},
         {"class": "PlayMediaItem", "name": "music", "media": "music", "waitUntilDone": 1,
          "endless": 1})");
  const fs::path errFile = dir_ / "stderr.txt";
  pid_t pid = testsupport::SpawnInHome(
      {SP_PLAYER, "--headless", "--size", "64x48", "--archive", archive, "/s"}, dir_.string(),
      errFile.string());
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const auto t0 = std::chrono::steady_clock::now();
  kill(pid, SIGTERM);
  int st = 0;
  waitpid(pid, &st, 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_TRUE(WIFEXITED(st)) << st;
  EXPECT_EQ(WEXITSTATUS(st), 0);
  // A player that ignored the stop would play on for ever (ctest's time-out tells); the time
  // it took is printed, not asserted.
  std::fprintf(stderr, "exit after SIGTERM took %.3f s\n", seconds);
}

}  // namespace
