// Sound items on a virtual-time audio device: repetitions, waiting, muting, stopping, and
// data that does not play.
#include <gtest/gtest.h>

#include <cstring>

#include "../scene/fake_play_host.h"
#include "media/mp3_player.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/sound_track.h"
#include "platform/audio/wave_sound.h"
#include "scene/items.h"
#include "support/audio_rig.h"
#include "support/tone.h"

namespace {

using namespace scene;
using testsupport::MeasureHz;
using testsupport::Rms;

class SoundHost : public scene_test::FakePlayHost {
 public:
  SoundHost() : track(sink), device(&track), music(&device, clock), sounds(&device) {
    clock.SetObserver([this](auto from, auto to) {
      device.OnAdvance(from, to);
      if (onAdvance) onAdvance();
    });
  }
  ~SoundHost() override {
    music.Close();
    sounds.Close();
    clock.SetObserver(nullptr);
  }
  bool Muted() const override { return muted; }
  media::MP3Player* Mp3Player() override { return &music; }
  audio::WaveSound* WaveSounds() override { return &sounds; }
  double Now() { return std::chrono::duration<double>(clock.Elapsed()).count(); }
  std::vector<int16_t> Track() {
    track.PadTo(audio::TrackFrameAt(clock.Elapsed()));
    return sink.samples;
  }

  bool muted = false;
  testsupport::MemoryTrackSink sink;
  audio::SoundTrack track;
  audio::VirtualAudioDevice device;
  media::MP3Player music;
  audio::WaveSound sounds;
};

size_t F(double s) { return static_cast<size_t>(s * audio::kTrackRate); }

std::unique_ptr<MediaItem> Media(int32_t type, const std::vector<uint8_t>& bytes) {
  auto m = std::make_unique<MediaItem>();
  m->mediaType = type;
  m->data = DataBlock::Of(bytes.data(), bytes.size());
  m->dataSize = static_cast<int32_t>(bytes.size());
  return m;
}

std::unique_ptr<PlayMediaItem> Play(MediaItem& m, int32_t wait, int32_t repeat, int32_t endless = 0,
                                    int32_t loop = 0) {
  auto p = std::make_unique<PlayMediaItem>();
  p->link.media = &m;
  p->link.options.waitUntilDone = wait;
  p->link.options.repeatCount = repeat;
  p->link.options.endless = endless;
  p->link.options.loopInBackground = loop;
  return p;
}

std::vector<uint8_t> Mp3Fixture() {
  return testsupport::ReadFileBytes(std::string(SP_SOURCE_DIR) +
                                    "/tests/media/data/tone440-44k-stereo.mp3");
}

// A waiting play repeats the sound back to back repeatCount times (0: never); without
// waiting it returns at once.
TEST(SoundItems, WaitingPlaysRepeatTheSound) {
  const auto wav = testsupport::SineWav(1000, 0.3, 22050, 1, 16);
  struct Case {
    int32_t wait, repeat;
    double seconds;
  } cases[] = {{1, 3, 0.9}, {1, 0, 0.0}, {1, 1, 0.3}, {0, 3, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.wait) + " x" + std::to_string(c.repeat));
    SoundHost host;
    auto media = Media(0, wav);
    auto play = Play(*media, c.wait, c.repeat);
    int32_t index = 0;
    EXPECT_EQ(play->play(host, index), 1);
    EXPECT_NEAR(host.Now(), c.seconds, 0.005);
    host.clock.Advance(std::chrono::seconds(1));
    const auto track = host.Track();
    const double sounding = c.wait ? c.seconds : 0.3;  // one play when not waiting
    if (c.repeat > 0) {
      EXPECT_NEAR(MeasureHz(track, F(0.01), F(sounding - 0.01), audio::kTrackRate), 1000, 10);
    }
    EXPECT_LT(Rms(track, F(sounding + 0.01), track.size() / 2), 1);
  }
}

// A wave sound is silent when muted but still stops the music; MP3 music when muted
// neither plays nor stops anything.
TEST(SoundItems, MuteRules) {
  const auto wav = testsupport::SineWav(1000, 0.3, 22050, 1, 16);
  const auto mp3 = Mp3Fixture();
  SoundHost host;
  auto wave = Media(0, wav);
  auto music = Media(2, mp3);
  int32_t index = 0;
  auto playMusic = Play(*music, 0, 1, 0, /*loop=*/1);
  playMusic->play(host, index);
  EXPECT_TRUE(host.music.Playing());
  host.muted = true;
  auto playMusicAgain = Play(*music, 1, 1);
  playMusicAgain->play(host, index);  // muted: returns at once, the old piece plays on
  EXPECT_EQ(host.Now(), 0.0);
  EXPECT_TRUE(host.music.Playing());
  host.clock.Advance(std::chrono::milliseconds(500));
  auto playWave = Play(*wave, 1, 2);
  playWave->play(host, index);  // muted: silent, but the music stops
  EXPECT_FALSE(host.music.Playing());
  EXPECT_NEAR(host.Now(), 0.5, 0.005);
  host.clock.Advance(std::chrono::milliseconds(500));
  const auto track = host.Track();
  EXPECT_NEAR(MeasureHz(track, F(0.05), F(0.49), audio::kTrackRate), 440, 5);
  EXPECT_LT(Rms(track, F(0.501), F(1.0)), 1);
}

// Stopping: a stop item ends its own kind of sound; one for a sound that does not play,
// and media of an unknown type, change nothing.
TEST(SoundItems, StopItemsEndTheirSound) {
  const auto wav = testsupport::SineWav(1000, 0.3, 22050, 1, 16);
  SoundHost host;
  auto wave = Media(0, wav);
  auto odd = Media(3, wav);
  auto music = Media(2, Mp3Fixture());
  int32_t index = 0;
  StopMediaItem stopWave, stopOdd, stopMusic;
  stopWave.link.media = wave.get();
  stopOdd.link.media = odd.get();
  stopMusic.link.media = music.get();
  EXPECT_EQ(stopMusic.play(host, index), 1);  // nothing plays: no effect
  auto loopWave = Play(*wave, 0, 1, 0, 1);
  loopWave->play(host, index);
  auto playOdd = Play(*odd, 1, 3);
  playOdd->play(host, index);
  stopOdd.play(host, index);
  stopMusic.play(host, index);
  host.clock.Advance(std::chrono::milliseconds(700));
  EXPECT_TRUE(host.sounds.Playing());
  stopWave.play(host, index);
  EXPECT_FALSE(host.sounds.Playing());
  host.clock.Advance(std::chrono::milliseconds(300));
  const auto track = host.Track();
  EXPECT_NEAR(MeasureHz(track, F(0.01), F(0.69), audio::kTrackRate), 1000, 10);
  EXPECT_LT(Rms(track, F(0.701), F(1.0)), 1);
}

// Data that is not a WAV plays nothing; repeated endlessly while waiting it does not spin
// but waits for the stop.
TEST(SoundItems, DataThatDoesNotPlay) {
  SoundHost host;
  std::vector<uint8_t> notWav = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '};
  auto bad = Media(0, notWav);
  int32_t index = 0;
  auto once = Play(*bad, 1, 5);
  once->play(host, index);
  EXPECT_EQ(host.Now(), 0.0);
  host.onAdvance = [&] {
    if (host.clock.Elapsed() >= std::chrono::seconds(3)) host.stop.Set();
  };
  auto endless = Play(*bad, 1, 0, /*endless=*/1);
  endless->play(host, index);
  EXPECT_TRUE(host.stop.IsSet());
  EXPECT_LE(host.waits.size(), 5u);
  const auto track = host.Track();
  EXPECT_LT(Rms(track, 0, track.size() / 2), 1);
}

}  // namespace
