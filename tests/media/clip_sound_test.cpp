// A clip's sound through both clip windows on a virtual-time audio device: it starts with
// the clip, repeats with it, ends with its last picture, stops with a stop or close at
// once, and audio off (the Mute setting) keeps it silent. The tone is measured in the
// device's track.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>

#include "media/mci_player_window.h"
#include "media/video_window.h"
#include "platform/audio/sound_track.h"
#include "support/audio_rig.h"
#include "support/clip_maker.h"
#include "support/tone.h"

namespace {

using namespace std::chrono_literals;
using testsupport::MeasureHz;
using testsupport::Rms;
using Rig = testsupport::VirtualAudioRig;

constexpr double kToneHz = 1000;
constexpr int kRate = audio::kTrackRate;

struct SoundScreen : media::ClipScreen {
  explicit SoundScreen(audio::AudioDevice* d) : device(d) {}
  void DrawClip(int, int, const media::ClipPicture&) override {}
  void EraseClip(int, int, int, int) override {}
  void ShowCursor(bool) override {}
  void SetBlankCursor() override {}
  audio::AudioDevice* ClipSound() override { return device; }
  audio::AudioDevice* device;
};

// One second of pictures with a 1 kHz tone all through, at 22050 Hz.
std::string ToneClip(const testsupport::ScratchDir& dir) {
  const std::string path = dir.File("Ssd0001.avi");
  std::string error;
  const bool ok = video::WriteClip(
      path, {32, 24, 25, 25, 2, 22050},
      [](int, uint32_t* pixels, size_t stride) {
        for (int y = 0; y < 24; ++y)
          for (int x = 0; x < 32; ++x) pixels[static_cast<size_t>(y) * stride + x] = 0x808080;
      },
      &error,
      [](int64_t first, int16_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i) {
          const double t = static_cast<double>(first + static_cast<int64_t>(i)) / 22050;
          out[2 * i] = out[2 * i + 1] =
              static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * kToneHz * t)));
        }
      });
  EXPECT_TRUE(ok) << error;
  return path;
}

size_t F(double s) { return static_cast<size_t>(s * kRate); }

// Where the track holds the tone and where it is silent (seconds of show time).
struct Span {
  double from, to;
  bool tone;
};

void ExpectSpans(const std::vector<int16_t>& track, const std::vector<Span>& spans) {
  for (const Span& s : spans) {
    SCOPED_TRACE(testing::Message() << s.from << " s to " << s.to << " s");
    // 10 ms kept clear of each edge: a buffer's rounding, the resampler's ramp.
    const size_t a = F(s.from + 0.01), b = F(s.to - 0.01);
    ASSERT_LE(b, track.size() / 2);
    if (s.tone) {
      EXPECT_NEAR(MeasureHz(track, a, b, kRate), kToneHz, 5);
      EXPECT_GT(Rms(track, a, b), 4000);
    } else {
      EXPECT_LT(Rms(track, a, b), 1);
    }
  }
}

// Drives the background window's pictures (the scene thread's waits) up to `until`.
void RunWindow(Rig& rig, media::VideoWindow& w, double until) {
  const auto end = std::chrono::nanoseconds(static_cast<int64_t>(until * 1e9));
  while (rig.clock.Elapsed() < end) {
    const auto due = w.NextDue();
    const auto next = due ? std::min(std::max(*due, rig.clock.Elapsed()), end) : end;
    rig.clock.Advance(next - rig.clock.Elapsed());
    w.Advance(rig.clock.Elapsed());
  }
}

TEST(ClipSound, BackgroundWindowSoundFollowsItsCommands) {
  struct Case {
    const char* name;
    bool mute;
    intptr_t playParam;           // 0: repeat
    std::optional<uint32_t> end;  // a command at 1.2 s
    std::vector<Span> spans;      // played from 0.5 s, heard until 2.5 s
  };
  const std::vector<Case> cases = {
      {"once", false, 1, {}, {{0, 0.5, false}, {0.5, 1.5, true}, {1.5, 2.5, false}}},
      {"repeating", false, 0, {}, {{0, 0.5, false}, {0.5, 1.48, true}, {1.52, 2.5, true}}},
      {"stopped", false, 0, media::ID_VIDEO_STOP, {{0.5, 1.2, true}, {1.2, 2.5, false}}},
      {"closed", false, 0, media::ID_VIDEO_CLOSE, {{0.5, 1.2, true}, {1.2, 2.5, false}}},
      {"muted", true, 0, {}, {{0, 2.5, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScratchDir dir;
    const std::string clip = ToneClip(dir);
    Rig rig;
    SoundScreen screen(&rig.device);
    media::VideoWindow w(screen, rig.clock);
    ASSERT_TRUE(w.Create());
    RunWindow(rig, w, 0.5);
    w.OnCommand(media::VideoCommand::Open(clip));
    w.SetMute(c.mute);
    w.OnCommand({media::ID_VIDEO_PLAY, c.playParam});
    if (c.end) {
      RunWindow(rig, w, 1.2);
      w.OnCommand(*c.end);
    }
    RunWindow(rig, w, 2.5);
    ExpectSpans(rig.Track(), c.spans);
    w.OnClose();
  }
}

TEST(ClipSound, OneShotPlayerSoundsOnceUnlessMuted) {
  for (const bool mute : {false, true}) {
    SCOPED_TRACE(mute ? "muted" : "with sound");
    testsupport::ScratchDir dir;
    const std::string clip = ToneClip(dir);
    Rig rig;
    SoundScreen screen(&rig.device);
    {
      media::MciPlayerWindow player(screen, rig.clock);
      player.SetMute(mute);
      rig.Advance(0.25);
      EXPECT_TRUE(player.Run(-1, 0, 0, clip));
      EXPECT_EQ(rig.clock.Elapsed(), 1250ms);
      player.Finish();
    }
    rig.Advance(0.5);
    if (mute) {
      ExpectSpans(rig.Track(), {{0, 1.75, false}});
    } else {
      ExpectSpans(rig.Track(), {{0, 0.25, false}, {0.25, 1.25, true}, {1.25, 1.75, false}});
    }
  }
}

// The saver's close ends a repeating play and its sound together, before the player is
// finished.
TEST(ClipSound, ClosingTheOneShotPlayerSilencesIt) {
  testsupport::ScratchDir dir;
  const std::string clip = ToneClip(dir);
  Rig rig;
  SoundScreen screen(&rig.device);
  media::MciPlayerWindow player(screen, rig.clock);
  player.PostClose();
  EXPECT_TRUE(player.Run(0, 0, 0, clip));
  EXPECT_FALSE(rig.device.Voices().Active());
  rig.Advance(0.5);
  ExpectSpans(rig.Track(), {{0, 0.5, false}});
  player.Finish();
}

// A clip without a device, or without sound, plays its pictures alone.
TEST(ClipSound, PicturesPlayWithoutSound) {
  testsupport::ScratchDir dir;
  const std::string silentClip = dir.File("silent.avi");
  ASSERT_TRUE(testsupport::WriteFlatClip(silentClip, {32, 24, 25, 10}, {0x808080}));
  Rig rig;
  video::ClipError error{};
  auto withDevice = media::ClipPlayback::Open(silentClip, &error, &rig.device);
  ASSERT_TRUE(withDevice);
  EXPECT_FALSE(withDevice->HasSound());
  auto noDevice = media::ClipPlayback::Open(ToneClip(dir), &error, nullptr);
  ASSERT_TRUE(noDevice);
  EXPECT_FALSE(noDevice->HasSound());
  auto both = media::ClipPlayback::Open(dir.File("Ssd0001.avi"), &error, &rig.device);
  ASSERT_TRUE(both);
  EXPECT_TRUE(both->HasSound());
}

}  // namespace
