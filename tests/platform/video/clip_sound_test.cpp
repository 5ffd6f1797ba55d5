// The sound of clips written by the project's own writer reads back at the player's rate
// with its pitch and length, again after a rewind; clips without a playable sound stream
// have no sound reader, whatever their header declares.
#include "platform/video/clip_sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/clip_maker.h"
#include "support/tone.h"

namespace {

using testsupport::ScratchDir;

std::vector<int16_t> ReadAll(video::ClipSound& s) {
  std::vector<int16_t> all, block(2 * 1000);
  size_t got = 0;
  while ((got = s.Read(block.data(), 1000)) > 0) {
    all.insert(all.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(2 * got));
    if (got < 1000) {
      EXPECT_EQ(s.Read(block.data(), 1000), 0u);
    }
  }
  return all;
}

bool WriteToneClip(const std::string& path, int rate, double hz, int frames) {
  std::string error;
  return video::WriteClip(
      path, {32, 24, 25, frames, 2, rate},
      [](int, uint32_t* pixels, size_t stride) {
        for (int y = 0; y < 24; ++y)
          for (int x = 0; x < 32; ++x) pixels[static_cast<size_t>(y) * stride + x] = 0;
      },
      &error,
      [&](int64_t first, int16_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i) {
          const double t = static_cast<double>(first + static_cast<int64_t>(i)) / rate;
          // Left and right differ: the channels are kept apart.
          out[2 * i] = static_cast<int16_t>(std::lround(9000 * std::sin(2 * M_PI * hz * t)));
          out[2 * i + 1] = static_cast<int16_t>(out[2 * i] / 2);
        }
      });
}

TEST(ClipSound, ReadsBackAtThePlayersRate) {
  struct Case {
    int clipRate, playRate;
    double hz;
  };
  for (const Case c : {Case{22050, 44100, 1000}, Case{44100, 44100, 440}, Case{48000, 44100, 700},
                       Case{8000, 44100, 300}}) {
    SCOPED_TRACE(testing::Message() << c.clipRate << " Hz clip, " << c.hz << " Hz tone");
    ScratchDir dir;
    const std::string path = dir.File("tone.avi");
    ASSERT_TRUE(WriteToneClip(path, c.clipRate, c.hz, 20));  // 0.8 s
    auto sound = video::ClipSound::Open(path, c.playRate);
    ASSERT_TRUE(sound);
    const auto first = ReadAll(*sound);
    EXPECT_NEAR(static_cast<double>(first.size() / 2) / c.playRate, 0.8, 0.01);
    const size_t n = first.size() / 2;
    EXPECT_NEAR(testsupport::MeasureHz(first, n / 10, n - n / 10, c.playRate), c.hz, c.hz / 100);
    double left = 0, right = 0;
    for (size_t i = n / 10; i < n - n / 10; ++i) {
      left += std::abs(first[2 * i]);
      right += std::abs(first[2 * i + 1]);
    }
    EXPECT_NEAR(right / left, 0.5, 0.02);
    ASSERT_TRUE(sound->Rewind());
    EXPECT_EQ(ReadAll(*sound), first);
  }
}

// An AVI whose one sound stream declares `channels` channels at `rate` (PCM) and holds no
// data: what a hostile file may declare without holding anything.
std::vector<uint8_t> TinySoundAvi(uint16_t channels, uint32_t rate) {
  return testsupport::TinyAviWith(1, 0, 0, [&](testsupport::RiffBytes& r) {
    const size_t strl = r.Begin("LIST");
    r.tag("strl");
    r.tag("strh");
    r.u32(56);
    r.tag("auds");
    r.u32(0);
    r.u32(0);
    r.u16(0);
    r.u16(0);
    for (uint32_t v : {0u, 1u, rate, 0u, 0xFFFFFFFFu, 0u, 0u, 4u}) r.u32(v);
    for (int i = 0; i < 4; ++i) r.u16(0);
    r.tag("strf");
    r.u32(16);
    r.u16(1);  // PCM
    r.u16(channels);
    r.u32(rate);
    r.u32(rate * 4);
    r.u16(static_cast<uint16_t>(channels * 2));
    r.u16(16);
    r.End(strl);
  });
}

TEST(ClipSound, ClipsWithoutPlayableSoundHaveNoReader) {
  ScratchDir dir;
  const std::string silent = dir.File("silent.avi");
  ASSERT_TRUE(testsupport::WriteFlatClip(silent, {32, 24, 25, 5}, {0x808080}));
  EXPECT_FALSE(video::ClipSound::Open(silent, 44100));
  EXPECT_FALSE(video::ClipSound::Open(dir.File("missing.avi"), 44100));
  // Huge declared rates and channel counts are refused before anything is set up for them;
  // a stream that declares a sane format but holds nothing reads as empty.
  struct Case {
    uint16_t channels;
    uint32_t rate;
    bool opens;
  };
  for (const Case c : {Case{2, 0xFFFFFFFFu, false}, Case{65535, 44100, false}, Case{2, 1, false},
                       Case{2, 44100, true}}) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate);
    const std::string path = dir.File("tiny.avi");
    testsupport::WriteBytes(path, TinySoundAvi(c.channels, c.rate));
    auto sound = video::ClipSound::Open(path, 44100);
    EXPECT_EQ(sound != nullptr, c.opens);
    if (sound) {
      std::vector<int16_t> block(2 * 512);
      EXPECT_EQ(sound->Read(block.data(), 512), 0u);
    }
  }
  // A rate the player does not play at.
  ASSERT_TRUE(WriteToneClip(dir.File("tone.avi"), 22050, 500, 5));
  EXPECT_FALSE(video::ClipSound::Open(dir.File("tone.avi"), 100));
}

}  // namespace
