#include "platform/video/video_encoder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/video_probe.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "sp-video-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  fs::path operator/(const std::string& name) const { return fs::path(path_) / name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A 440 Hz tone, so the sound track has something to encode.
class ToneSource final : public video::PcmSource {
 public:
  explicit ToneSource(int rate) : rate_(rate) {}
  int SampleRate() const override { return rate_; }
  void Read(int16_t* out, size_t frames) override {
    if (read_ + static_cast<int64_t>(frames) > reached) ranAhead = true;
    for (size_t i = 0; i < frames; ++i, ++t_) {
      const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * t_ / rate_));
      out[2 * i] = out[2 * i + 1] = v;
    }
    read_ += frames;
  }
  int64_t FramesRead() const { return read_; }
  // Sound frames of the show time reached so far; reading past them is running ahead.
  int64_t reached = INT64_MAX;
  bool ranAhead = false;

 private:
  int rate_;
  int64_t t_ = 0, read_ = 0;
};

constexpr int kW = 160, kH = 120, kFps = 10;

// Frame k: four flat bands whose colours change every 5 frames.
std::vector<uint32_t> Picture(int k) {
  static const uint32_t palette[] = {0xC02020, 0x20C020, 0x2020C0, 0xE0E0E0,
                                     0x101010, 0xC0C020, 0x20C0C0, 0x808080};
  std::vector<uint32_t> px(kW * kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) px[y * kW + x] = palette[(x / 40 + k / 5) % 8];
  }
  return px;
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Writes `frames` frames; with `reuse`, a frame equal to the previous one is the previous
// converted picture written again, else every frame is converted anew.
bool Encode(const std::string& path, int frames, bool reuse, ToneSource* audio,
            std::string* error) {
  video::EncoderSettings settings{kW, kH, kFps, -1};
  auto encoder = video::VideoEncoder::Open(path, settings, audio, error);
  if (!encoder) return false;
  std::shared_ptr<const video::ConvertedPicture> last;
  for (int k = 0; k < frames; ++k) {
    if (!reuse || k % 5 == 0) {
      auto px = Picture(k);
      last = encoder->Convert(px.data(), kW);
    }
    // Frame k is written once the show has reached its instant.
    if (audio) audio->reached = int64_t{k} * audio->SampleRate() / kFps;
    if (!last || !encoder->Write(last, error)) return false;
  }
  if (audio) audio->reached = INT64_MAX;
  return encoder->Finish(error);
}

TEST(VideoEncoder, EachContainerHoldsItsCodecsFramesAndSound) {
  struct Case {
    const char* name;
    const char* format;  // as the demuxer names it
    const char* video;
    const char* audio;
  };
  const Case cases[] = {{"a.mp4", "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac"},
                        {"a.mkv", "matroska,webm", "h264", "aac"},
                        {"a.webm", "matroska,webm", "vp9", "opus"}};
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ToneSource tone(44100);
    std::string error;
    ASSERT_TRUE(Encode((dir / c.name).string(), 20, true, &tone, &error)) << error;
    EXPECT_EQ(tone.FramesRead(), 2 * 44100);  // exactly the video's 2 s, no more
    EXPECT_FALSE(tone.ranAhead);
    auto probe = testsupport::ProbeVideo((dir / c.name).string(), true);
    ASSERT_TRUE(probe.ok);
    EXPECT_EQ(probe.format, c.format);
    const auto* v = probe.Stream(true);
    const auto* a = probe.Stream(false);
    ASSERT_TRUE(v && a);
    EXPECT_EQ(v->codec, c.video);
    EXPECT_EQ(a->codec, c.audio);
    EXPECT_EQ(v->width, kW);
    EXPECT_EQ(v->height, kH);
    EXPECT_EQ(v->packets, 20);
    EXPECT_NEAR(v->seconds, 2.0, 0.01);
    EXPECT_NEAR(a->seconds, 2.0, 0.05);  // whole codec frames and the codec's priming
    // Lossy, but the flat bands keep their colours: within 6 of 255 in the middle of each.
    ASSERT_EQ(probe.frames.size(), 20u);
    for (int k : {0, 7, 19}) {
      const auto want = Picture(k);
      for (int x : {20, 60, 100, 140}) {
        const uint8_t* got = &probe.frames[k][(60 * kW + x) * 3];
        const uint32_t w = want[60 * kW + x];
        EXPECT_NEAR(got[0], (w >> 16) & 0xFF, 6) << "frame " << k << " x " << x;
        EXPECT_NEAR(got[1], (w >> 8) & 0xFF, 6) << "frame " << k << " x " << x;
        EXPECT_NEAR(got[2], w & 0xFF, 6) << "frame " << k << " x " << x;
      }
    }
  }
  // Complete files only: no unfinished file is left beside them.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST(VideoEncoder, ReusedPicturesGiveTheSameFileAsConvertingEveryFrame) {
  TempDir dir;
  for (const char* name : {"r.mp4", "r.webm"}) {
    SCOPED_TRACE(name);
    std::string error;
    const std::string a = (dir / (std::string("reused-") + name)).string();
    const std::string b = (dir / (std::string("full-") + name)).string();
    const std::string c = (dir / (std::string("again-") + name)).string();
    ASSERT_TRUE(Encode(a, 15, true, nullptr, &error)) << error;
    ASSERT_TRUE(Encode(b, 15, false, nullptr, &error)) << error;
    ASSERT_TRUE(Encode(c, 15, true, nullptr, &error)) << error;
    EXPECT_EQ(Slurp(a), Slurp(b));
    EXPECT_EQ(Slurp(a), Slurp(c));  // and the same on every run
  }
}

TEST(VideoEncoder, RefusesWhatItCannotWriteAndLeavesNothingBehind) {
  TempDir dir;
  std::ofstream(dir / "plain") << "x";
  struct Case {
    std::string path;
    int w, h;
    const char* says;
  };
  const Case cases[] = {
      {(dir / "plain" / "x.mp4").string(), kW, kH, "cannot create"},
      {(dir / "missing" / "x.webm").string(), kW, kH, "cannot create"},
      {(dir / "x.avi").string(), kW, kH, ".mp4, .mkv or .webm"},
      {(dir / "odd.mp4").string(), 161, 120, "even width and height"},
  };
  for (const auto& c : cases) {
    std::string error;
    auto encoder = video::VideoEncoder::Open(c.path, {c.w, c.h, kFps, -1}, nullptr, &error);
    EXPECT_FALSE(encoder) << c.path;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
  // Abandoning a file half written removes it too.
  {
    std::string error;
    auto encoder =
        video::VideoEncoder::Open((dir / "gone.mp4").string(), {kW, kH, kFps, -1}, nullptr, &error);
    ASSERT_TRUE(encoder) << error;
    auto px = Picture(0);
    ASSERT_TRUE(encoder->Write(encoder->Convert(px.data(), kW), &error)) << error;
    EXPECT_TRUE(fs::exists(encoder->PartialPath()));
    encoder->Abandon();
  }
  std::vector<std::string> left;
  for (auto& e : fs::directory_iterator(dir.Path())) left.push_back(e.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"plain"});
}

}  // namespace
