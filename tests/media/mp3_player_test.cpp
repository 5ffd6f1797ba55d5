#include "media/mp3_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "media/acm_converter.h"
#include "platform/audio/audio_device.h"
#include "support/audio_rig.h"
#include "support/tone.h"

namespace {

using testsupport::MeasureHz;
using testsupport::Rms;
using testsupport::VirtualAudioRig;
constexpr int kRate = audio::kTrackRate;

std::vector<uint8_t> Fixture(const char* name, int copies = 1) {
  auto one = testsupport::ReadFileBytes(std::string(SP_SOURCE_DIR) + "/tests/media/data/" + name);
  std::vector<uint8_t> all;
  for (int i = 0; i < copies; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;
}

double Seconds(sys::Clock& c) { return std::chrono::duration<double>(c.Elapsed()).count(); }
size_t F(double s) { return VirtualAudioRig::Frame(s); }

// A piece shorter than a chunk is converted in one call flagged last and plays from one
// buffer; a waiting start returns when it has played. A longer one is converted in chunks
// flagged first, middle and last, without a gap between buffers.
TEST(MP3Player, ConvertsInChunksAndPlaysThePieceAtItsPitch) {
  struct Case {
    const char* file;
    int copies;
    bool full;
    double seconds, hz;
    std::vector<uint32_t> modes;
    uint32_t rate;
    uint16_t bits;
  } cases[] = {
      // Each copy plays 1.045 s: the second of tone and the encoder's padding.
      {"tone440-44k-stereo.mp3", 1, false, 1.045, 440, {0x24}, 22050, 8},
      {"tone440-44k-stereo.mp3", 1, true, 1.045, 440, {0x24}, 44100, 16},
      {"tone1000-22k-mono.mp3", 1, false, 1.071, 1000, {0x24}, 22050, 8},
      // 150 KB: two chunks.
      {"tone440-44k-stereo.mp3", 9, false, 9 * 1.045, 440, {0x14, 0x24}, 22050, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " x" + std::to_string(c.copies) + (c.full ? " full" : ""));
    VirtualAudioRig rig;
    const auto mp3 = Fixture(c.file, c.copies);
    media::MP3Player player(&rig.device, rig.clock, media::SoundQuality{c.full});
    player.Start(mp3.data(), static_cast<int>(mp3.size()), /*wait=*/true, /*loop=*/false);
    EXPECT_NEAR(Seconds(rig.clock), c.seconds, 0.01);
    ASSERT_NE(player.Thread(), nullptr);
    EXPECT_EQ(player.Thread()->passes, 1);
    EXPECT_FALSE(player.Thread()->failed);
    EXPECT_EQ(player.Thread()->pass.ConvertModes(), c.modes);
    EXPECT_EQ(player.Thread()->pass.TargetFormat().nSamplesPerSec, c.rate);
    EXPECT_EQ(player.Thread()->pass.TargetFormat().wBitsPerSample, c.bits);
    // A buffer holds a chunk's sound with some room, but never much more than the piece.
    const auto& target = player.Thread()->pass.TargetFormat();
    EXPECT_LT(player.Thread()->pass.OutputBufferSize(),
              2 * c.seconds * target.nAvgBytesPerSec + 4 * 1152 * target.nBlockAlign);
    player.Stop();
    EXPECT_FALSE(player.Playing());
    rig.Advance(0.5);
    const auto track = rig.Track();
    // Within the first and the last copy.
    const double last = c.seconds / c.copies * (c.copies - 1);
    EXPECT_NEAR(MeasureHz(track, F(0.1), F(0.9), kRate), c.hz, c.hz * 0.01);
    EXPECT_NEAR(MeasureHz(track, F(last + 0.1), F(last + 0.9), kRate), c.hz, c.hz * 0.01);
    // No gap anywhere in the piece (a missing buffer would leave 8 s of silence).
    for (double t = 0.1; t + 0.2 < c.seconds; t += 0.25) {
      EXPECT_GT(Rms(track, F(t), F(t + 0.1)), 3000) << t;
    }
    EXPECT_LT(Rms(track, F(c.seconds + 0.1), track.size() / 2), 300);
  }
}

TEST(MP3Player, LoopsUntilStoppedAndAWaitingStartReturnsAfterTheFirstPass) {
  VirtualAudioRig rig;
  const auto mp3 = Fixture("tone440-44k-stereo.mp3");
  media::MP3Player player(&rig.device, rig.clock);
  player.Start(mp3.data(), static_cast<int>(mp3.size()), true, /*loop=*/true);
  EXPECT_NEAR(Seconds(rig.clock), 1.045, 0.01);
  rig.Advance(2.5);
  EXPECT_EQ(player.Thread()->passes, 4);
  player.Stop();
  EXPECT_TRUE(player.FinishedEvent().IsSet());
  const double stop = Seconds(rig.clock);
  rig.Advance(1.0);
  const auto track = rig.Track();
  for (double pass : {0.0, 1.045, 2.09}) {
    EXPECT_NEAR(MeasureHz(track, F(pass + 0.1), F(pass + 0.9), kRate), 440, 5) << pass;
  }
  EXPECT_GT(Rms(track, F(stop - 0.3), F(stop - 0.01)), 3000);
  EXPECT_LT(Rms(track, F(stop + 0.001), F(stop + 1)), 1);
}

// A stop cuts the sound at once; a start while a piece plays ends the old one first.
TEST(MP3Player, StopAndRestartCutThePlayingPiece) {
  VirtualAudioRig rig;
  const auto a = Fixture("tone440-44k-stereo.mp3", 3);
  const auto b = Fixture("tone1000-22k-mono.mp3", 3);
  media::MP3Player player(&rig.device, rig.clock);
  player.Start(a.data(), static_cast<int>(a.size()), false, true);
  rig.Advance(0.5);
  player.Start(b.data(), static_cast<int>(b.size()), false, false);
  rig.Advance(1.0);
  player.Stop();
  EXPECT_FALSE(player.Playing());
  player.Stop();  // nothing playing: returns at once
  rig.Advance(1.0);
  const auto track = rig.Track();
  EXPECT_NEAR(MeasureHz(track, F(0.05), F(0.49), kRate), 440, 5);
  EXPECT_NEAR(MeasureHz(track, F(0.55), F(1.45), kRate), 1000, 10);
  EXPECT_LT(Rms(track, F(1.51), F(2.5)), 1);
}

// Pieces that cannot play: no frame header (with loop the thread keeps failing until
// stopped), no data block, no device, a closed player.
TEST(MP3Player, PiecesThatCannotPlayLeaveSilence) {
  VirtualAudioRig rig;
  std::vector<uint8_t> zeros(20000, 0);
  media::MP3Player player(&rig.device, rig.clock);
  player.Start(zeros.data(), static_cast<int>(zeros.size()), true, false);
  ASSERT_NE(player.Thread(), nullptr);
  EXPECT_TRUE(player.Thread()->failed);
  player.Start(zeros.data(), static_cast<int>(zeros.size()), false, true);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(player.Thread()->failed);
  player.Stop();
  const auto mp3 = Fixture("tone440-44k-stereo.mp3");
  player.Start(mp3.data(), -1, true, false);  // no block: the empty file name
  EXPECT_TRUE(player.Thread()->failed);
  player.Start(nullptr, 100, true, false);
  EXPECT_FALSE(player.Playing());
  player.Close();
  player.Start(mp3.data(), static_cast<int>(mp3.size()), true, false);
  EXPECT_FALSE(player.Playing());

  media::MP3Player deaf(nullptr, rig.clock);
  deaf.Start(mp3.data(), static_cast<int>(mp3.size()), true, true);
  EXPECT_FALSE(deaf.Playing());
  deaf.Stop();
  rig.Advance(0.5);
  const auto track = rig.Track();
  EXPECT_LT(Rms(track, 0, track.size() / 2), 1);
}

// In real time a Stop from another thread ends a waiting Start of a looping piece.
TEST(MP3Player, StopReleasesAWaitingStartOnAnotherThread) {
  sys::RealClock clock;
  auto device = audio::OpenNullAudioDevice(clock, nullptr);
  const auto mp3 = Fixture("tone440-44k-stereo.mp3", 2);
  media::MP3Player player(device.get(), clock);
  std::thread t([&] { player.Start(mp3.data(), static_cast<int>(mp3.size()), true, true); });
  while (!player.StartedEvent().IsSet()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  player.Stop();
  t.join();
  EXPECT_FALSE(player.Playing());
}

TEST(AcmConverter, ModesMapToTheConversionFlags) {
  EXPECT_EQ(media::AcmConverter::ConvertFlags(0), 0x14u);
  EXPECT_EQ(media::AcmConverter::ConvertFlags(1), 0x04u);
  EXPECT_EQ(media::AcmConverter::ConvertFlags(2), 0x24u);
  EXPECT_EQ(media::AcmConverter::ConvertFlags(0x30), 0x30u);
}

}  // namespace
