#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "platform/audio/audio_device.h"
#include "platform/audio/layer3_codec.h"
#include "platform/audio/mixer.h"
#include "platform/audio/sound_track.h"
#include "platform/audio/wave_out.h"
#include "platform/audio/wave_sound.h"
#include "support/audio_rig.h"
#include "support/tone.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));
#define SP_HAVE_MALLOC_HOOKS 1
#endif

namespace {

using namespace audio;
using testsupport::MeasureHz;
using testsupport::Rms;

std::vector<uint8_t> Fixture(const char* name) {
  return testsupport::ReadFileBytes(std::string(SP_SOURCE_DIR) + "/tests/media/data/" + name);
}

MPEGLAYER3WAVEFORMAT Layer3(uint16_t channels, uint32_t rate, uint32_t kbps) {
  MPEGLAYER3WAVEFORMAT f;
  f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f.wfx.nChannels = channels;
  f.wfx.nSamplesPerSec = rate;
  f.wfx.nAvgBytesPerSec = kbps * 1000 / 8;
  f.wfx.nBlockAlign = 1;
  f.wfx.cbSize = 12;
  return f;
}

// Converts `mp3` the way the playing pass does: chunks of `chunk` bytes, each call starting
// where the codec stopped consuming, into a destination of `dst` bytes (0: the codec's size).
std::vector<uint8_t> ConvertInChunks(AcmStream& s, const std::vector<uint8_t>& mp3, uint32_t chunk,
                                     uint32_t dst, int* calls = nullptr) {
  if (dst == 0) {
    EXPECT_EQ(s.Size(chunk, &dst, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  }
  std::vector<uint8_t> src(chunk), out(dst), all;
  ACMSTREAMHEADER h;
  h.pbSrc = src.data();
  h.cbSrcLength = chunk;
  h.pbDst = out.data();
  h.cbDstLength = dst;
  EXPECT_EQ(s.PrepareHeader(h, 0), MMSYSERR_NOERROR);
  size_t pos = 0;
  int n = 0;
  while (pos < mp3.size() && n < 100000) {
    uint32_t flags = pos == 0 ? ACM_STREAMCONVERTF_START : 0;
    h.cbSrcLength = chunk;
    if (h.cbSrcLength >= mp3.size() - pos) {
      h.cbSrcLength = static_cast<uint32_t>(mp3.size() - pos);
      flags = ACM_STREAMCONVERTF_END;
    }
    std::copy_n(mp3.begin() + static_cast<ptrdiff_t>(pos), h.cbSrcLength, src.begin());
    EXPECT_EQ(s.Convert(h, flags | ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_LE(h.cbSrcLengthUsed, h.cbSrcLength);
    EXPECT_LE(h.cbDstLengthUsed, h.cbDstLength);
    pos += h.cbSrcLengthUsed;
    all.insert(all.end(), out.begin(), out.begin() + h.cbDstLengthUsed);
    ++n;
  }
  h.cbSrcLength = chunk;
  EXPECT_EQ(s.UnprepareHeader(h, 0), MMSYSERR_NOERROR);
  if (calls) *calls = n;
  return all;
}

// The codec makes the target format itself (8-bit, 2:1 down-sampling for the halved rates,
// or 16-bit at the full rate), and chunking never changes a byte of what it produces.
TEST(Layer3Codec, ProducesTheTargetFormatAndChunkingChangesNothing) {
  struct Case {
    const char* file;
    uint16_t channels;
    uint32_t rate, kbps, outRate;
    uint16_t bits;
    double hz;
  } cases[] = {
      {"tone440-44k-stereo.mp3", 2, 44100, 128, 22050, 8, 440},
      {"tone440-44k-stereo.mp3", 2, 44100, 128, 44100, 16, 440},
      {"tone1000-22k-mono.mp3", 1, 22050, 32, 22050, 8, 1000},
      {"tone1000-22k-mono.mp3", 1, 22050, 32, 22050, 16, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " bits " + std::to_string(c.bits));
    const auto mp3 = Fixture(c.file);
    ASSERT_GT(mp3.size(), 1000u);
    const WAVEFORMATEX target = PcmFormat(c.channels, c.outRate, c.bits);
    std::unique_ptr<AcmStream> s;
    ASSERT_EQ(AcmStream::Open(Layer3(c.channels, c.rate, c.kbps), target, 0, &s), MMSYSERR_NOERROR);
    int calls = 0;
    const auto whole = ConvertInChunks(*s, mp3, 0x20000, 0, &calls);
    EXPECT_EQ(calls, 1);  // a piece shorter than one chunk: one call
    // One second of sound (the encoder pads less than a frame at each end).
    const double seconds = static_cast<double>(whole.size()) / target.nAvgBytesPerSec;
    EXPECT_NEAR(seconds, 1.0, 0.08);
    const auto track = ConvertToTrack(target, whole);
    EXPECT_NEAR(MeasureHz(track, 2000, track.size() / 2 - 2000, kTrackRate), c.hz, c.hz * 0.01);

    // Small chunks and a destination that fills up before a chunk is used up.
    std::unique_ptr<AcmStream> s2;
    ASSERT_EQ(AcmStream::Open(Layer3(c.channels, c.rate, c.kbps), target, 0, &s2),
              MMSYSERR_NOERROR);
    EXPECT_EQ(ConvertInChunks(*s2, mp3, 777, 0), whole);
    std::unique_ptr<AcmStream> s3;
    ASSERT_EQ(AcmStream::Open(Layer3(c.channels, c.rate, c.kbps), target, 0, &s3),
              MMSYSERR_NOERROR);
    int smallCalls = 0;
    EXPECT_EQ(ConvertInChunks(*s3, mp3, 0x20000, 1152 * 4 * target.nBlockAlign, &smallCalls),
              whole);
    EXPECT_GT(smallCalls, 2);
  }
}

TEST(Layer3Codec, RefusesFormatPairsItCannotMake) {
  const auto src = Layer3(2, 44100, 128);
  struct Case {
    MPEGLAYER3WAVEFORMAT source;
    WAVEFORMATEX target;
  } cases[] = {
      {src, PcmFormat(1, 22050, 8)},   // channels differ
      {src, PcmFormat(2, 11025, 8)},   // neither the rate nor half of it
      {src, PcmFormat(2, 22050, 24)},  // not 8 or 16 bits
      {Layer3(2, 44000, 128), PcmFormat(2, 22000, 8)},
      {Layer3(3, 44100, 128), PcmFormat(3, 22050, 8)},
  };
  cases[4].source.wfx.nChannels = 3;
  for (auto& c : cases) {
    std::unique_ptr<AcmStream> s;
    EXPECT_EQ(AcmStream::Open(c.source, c.target, 0, &s), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(s, nullptr);
  }
  auto notMp3 = src;
  notMp3.wfx.wFormatTag = WAVE_FORMAT_PCM;
  std::unique_ptr<AcmStream> s;
  EXPECT_EQ(AcmStream::Open(notMp3, PcmFormat(2, 22050, 8), 0, &s), ACMERR_NOTPOSSIBLE);
  EXPECT_EQ(AcmFormatTagDetails(WAVE_FORMAT_MPEGLAYER3), MMSYSERR_NOERROR);
  EXPECT_NE(AcmFormatTagDetails(WAVE_FORMAT_PCM), MMSYSERR_NOERROR);
}

// Noise ends in an error or in nothing: never a hang, never more than the destination.
TEST(Layer3Codec, NoiseEndsWithoutOutputOrHang) {
  std::mt19937 rng(7);
  std::vector<uint8_t> noise(200000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  std::unique_ptr<AcmStream> s;
  ASSERT_EQ(AcmStream::Open(Layer3(2, 44100, 128), PcmFormat(2, 22050, 8), 0, &s),
            MMSYSERR_NOERROR);
  std::vector<uint8_t> out(1 << 20);
  ACMSTREAMHEADER h;
  h.pbSrc = noise.data();
  h.cbSrcLength = static_cast<uint32_t>(noise.size());
  h.pbDst = out.data();
  h.cbDstLength = static_cast<uint32_t>(out.size());
  ASSERT_EQ(s->PrepareHeader(h, 0), MMSYSERR_NOERROR);
  const MMRESULT r = s->Convert(h, ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END);
  if (r == MMSYSERR_NOERROR) {
    EXPECT_LE(h.cbDstLengthUsed, 8u * 1152 * 2);
  }
  EXPECT_EQ(s->UnprepareHeader(h, 0), MMSYSERR_NOERROR);
}

// waveOut on the virtual device: buffers come back in order at their nominal end, a queued
// buffer cannot be unprepared, reset returns what is queued, and the track holds exactly
// what played, at the show time it played.
TEST(WaveOutDevice, ReturnsBuffersAtTheirEndAndResetReturnsTheRest) {
  testsupport::VirtualAudioRig rig;
  std::vector<WAVEHDR*> returned;
  std::mutex m;
  std::unique_ptr<WaveOut> out;
  const WAVEFORMATEX fmt = PcmFormat(1, 22050, 8);
  ASSERT_EQ(WaveOut::Open(
                &rig.device, fmt,
                [&](uint32_t msg, WAVEHDR* h) {
                  std::lock_guard lock(m);
                  if (msg == WOM_DONE) returned.push_back(h);
                },
                &out),
            MMSYSERR_NOERROR);
  // 0.5 s of 441 Hz square-ish tone per buffer.
  std::vector<uint8_t> a(11025), b(11025), c(11025);
  for (size_t i = 0; i < a.size(); ++i) a[i] = b[i] = c[i] = (i / 25) % 2 ? 200 : 56;
  WAVEHDR ha{a.data(), 11025}, hb{b.data(), 11025}, hc{c.data(), 11025};
  rig.Advance(0.25);  // the device starts at show time 0.25 s
  for (WAVEHDR* h : {&ha, &hb, &hc}) {
    EXPECT_EQ(out->Write(*h), WAVERR_UNPREPARED);
    ASSERT_EQ(out->PrepareHeader(*h), MMSYSERR_NOERROR);
    ASSERT_EQ(out->Write(*h), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(out->UnprepareHeader(ha), WAVERR_STILLPLAYING);
  rig.Advance(0.49);
  EXPECT_TRUE(returned.empty());
  rig.Advance(0.02);
  ASSERT_EQ(returned.size(), 1u);
  EXPECT_EQ(returned[0], &ha);
  EXPECT_TRUE(ha.dwFlags & WHDR_DONE);
  EXPECT_EQ(out->UnprepareHeader(ha), MMSYSERR_NOERROR);
  rig.Advance(0.24);  // 0.25 s into the second buffer
  EXPECT_EQ(out->Reset(), MMSYSERR_NOERROR);
  ASSERT_EQ(returned.size(), 3u);
  EXPECT_EQ(returned[1], &hb);
  EXPECT_EQ(returned[2], &hc);
  rig.Advance(1.0);
  EXPECT_EQ(out->Close(), MMSYSERR_NOERROR);

  const auto track = rig.Track();
  const auto F = testsupport::VirtualAudioRig::Frame;
  EXPECT_LT(Rms(track, 0, F(0.24)), 1.0);
  EXPECT_GT(Rms(track, F(0.26), F(0.99)), 5000.0);
  EXPECT_NEAR(MeasureHz(track, F(0.26), F(0.99), kTrackRate), 441, 5);
  EXPECT_LT(Rms(track, F(1.01), track.size() / 2), 1.0);  // cut by the reset at 1.0 s
}

TEST(WaveOutDevice, RefusesWithoutDeviceOrWithABadFormat) {
  std::unique_ptr<WaveOut> out;
  EXPECT_EQ(WaveOut::Open(nullptr, PcmFormat(2, 22050, 8), nullptr, &out), MMSYSERR_NODRIVER);
  testsupport::VirtualAudioRig rig;
  WAVEFORMATEX bad = PcmFormat(2, 22050, 8);
  bad.nBlockAlign = 3;
  EXPECT_EQ(WaveOut::Open(&rig.device, bad, nullptr, &out), WAVERR_BADFORMAT);
  EXPECT_EQ(WaveOut::Open(&rig.device, PcmFormat(2, 22050, 12), nullptr, &out), WAVERR_BADFORMAT);
}

// SDL's loader reads every kind of WAV data; the result is the track format at the same
// length and pitch.
TEST(WaveSoundDecode, ReadsEveryKindAtItsLengthAndPitch) {
  struct Case {
    const char* name;
    std::vector<uint8_t> wav;
    double seconds, hz;
  } cases[] = {
      {"u8 mono 8 kHz", testsupport::SineWav(500, 0.5, 8000, 1, 8), 0.5, 500},
      {"s16 stereo 22 kHz", testsupport::SineWav(700, 0.3, 22050, 2, 16), 0.3, 700},
      {"u8 mono 11 kHz", testsupport::SineWav(440, 0.4, 11025, 1, 8), 0.4, 440},
      {"s16 mono 44 kHz", testsupport::SineWav(3000, 0.1, 44100, 1, 16), 0.1, 3000},
      {"float mono 48 kHz", testsupport::SineWav(1000, 0.2, 48000, 1, 32), 0.2, 1000},
      {"IMA ADPCM", Fixture("tone600-ima.wav"), 0.25, 600},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto track = WaveSound::Decode(c.wav);
    ASSERT_FALSE(track.empty());
    EXPECT_NEAR(static_cast<double>(track.size() / 2) / kTrackRate, c.seconds, 0.02);
    EXPECT_NEAR(MeasureHz(track, 500, track.size() / 2 - 500, kTrackRate), c.hz, c.hz * 0.01);
  }
}

// Rates that divide the track rate are widened on the straight line between frames, the
// last frame held; 44.1 kHz 16-bit stereo passes unchanged.
TEST(TrackConversion, DividingRatesInterpolateBetweenFrames) {
  struct Case {
    const char* name;
    uint16_t format;
    int channels, rate;
    std::vector<uint8_t> pcm;
    std::vector<int16_t> track;
  } cases[] = {
      {"u8 mono 22 kHz",
       AUDIO_U8,
       1,
       22050,
       {128, 192},
       {0, 0, 8192, 8192, 16384, 16384, 16384, 16384}},
      {"s8 mono 11 kHz",
       AUDIO_S8,
       1,
       11025,
       {0, 0xC0},
       {0, 0, -4096, -4096, -8192, -8192, -12288, -12288, -16384, -16384, -16384, -16384, -16384,
        -16384, -16384, -16384}},
      {"s16 stereo 44 kHz",
       AUDIO_S16LSB,
       2,
       44100,
       {1, 0, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F},
       {1, -1, -32768, 32767}},
      {"s16be stereo 22 kHz",
       AUDIO_S16MSB,
       2,
       22050,
       {0, 10, 0, 20, 0, 30, 0, 40},
       {10, 20, 20, 30, 30, 40, 30, 40}},
      {"a part frame is dropped", AUDIO_S16LSB, 2, 44100, {5, 0, 6, 0, 7}, {5, 6}},
  };
  // Converted into storage that held something longer, nothing of it stays.
  std::vector<int16_t> reused(64, 0x5555);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ConvertSdlPcm(c.format, c.channels, c.rate, c.pcm), c.track);
    ConvertSdlPcm(c.format, c.channels, c.rate, c.pcm, reused);
    EXPECT_EQ(reused, c.track);
  }
}

// A played buffer's storage is handed out again (once), and what is converted into it
// plays exactly its own frames.
TEST(TrackConversion, PlayedStorageIsReusedForTheNextBuffer) {
  Mixer mixer;
  auto voice = mixer.Open(nullptr, true);
  std::vector<int16_t> first(4000, 7);
  const int16_t* storage = first.data();
  mixer.Queue(voice, std::move(first), nullptr, false);
  std::vector<int16_t> out(4000);
  mixer.Pull(2000, out.data());
  EXPECT_EQ(out[3999], 7);
  std::vector<int16_t> spare = mixer.TakeSpare();
  EXPECT_TRUE(spare.empty());
  EXPECT_EQ(spare.data(), storage);
  EXPECT_EQ(mixer.TakeSpare().capacity(), 0u);
  ConvertSdlPcm(AUDIO_U8, 1, 22050, std::vector<uint8_t>{128, 192}, spare);
  EXPECT_EQ(spare.data(), storage);
  mixer.Queue(voice, std::move(spare), nullptr, false);
  std::vector<int16_t> again(8, 1);
  mixer.Pull(4, again.data());
  EXPECT_EQ(again, (std::vector<int16_t>{0, 0, 8192, 8192, 16384, 16384, 16384, 16384}));
  mixer.Close(voice);
}

// The device is told when the next boundary may have moved, and only then: a stream that
// queues behind its playing buffer does not wake it.
TEST(Mixer, ToldOfChangesOnlyWhenTheNextBoundaryMayMove) {
  Mixer mixer;
  int told = 0;
  mixer.SetOnChange([&] { ++told; });
  auto voice = mixer.Open(nullptr, true);
  auto other = mixer.Open(nullptr, false);
  struct Step {
    const char* what;
    std::function<void()> run;
    int told;
    int64_t boundary;
  };
  const Step steps[] = {
      {"first buffer", [&] { mixer.Queue(voice, std::vector<int16_t>(200, 1), nullptr, false); }, 1,
       100},
      {"queued behind", [&] { mixer.Queue(voice, std::vector<int16_t>(60, 1), nullptr, false); }, 0,
       100},
      {"pulled into the second", [&] { mixer.Pull(120, nullptr); }, 0, 10},
      {"queued behind again",
       [&] { mixer.Queue(voice, std::vector<int16_t>(400, 1), nullptr, false); }, 0, 10},
      {"another voice's first",
       [&] { mixer.Queue(other, std::vector<int16_t>(10, 1), nullptr, false); }, 1, 5},
      {"empty buffer", [&] { mixer.Queue(voice, {}, nullptr, false); }, 0, 5},
      {"all played", [&] { mixer.Pull(1000, nullptr); }, 0, -1},
      {"first after running dry",
       [&] { mixer.Queue(voice, std::vector<int16_t>(8, 1), nullptr, false); }, 1, 4},
      {"reset", [&] { mixer.Reset(voice); }, 1, -1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    told = 0;
    step.run();
    EXPECT_EQ(told, step.told);
    EXPECT_EQ(mixer.FramesToNextBoundary(), step.boundary);
  }
  mixer.SetOnChange(nullptr);
  mixer.Close(voice);
  mixer.Close(other);
}

// A buffer played where it lies sounds exactly as the same buffer converted first, pulled in
// pieces that end anywhere (inside a widened frame, across buffers), and comes back in turn;
// both at once make the clamped sum.
TEST(TrackConversion, BuffersPlayedInPlaceMatchConvertedOnes) {
  std::mt19937 random(7);
  for (uint16_t bits : {8, 16}) {
    for (uint16_t channels : {1, 2}) {
      for (uint32_t rate : {11025u, 22050u, 44100u}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " ch, " << rate);
        const WAVEFORMATEX format = PcmFormat(channels, rate, bits);
        std::vector<std::vector<uint8_t>> pcm(3);
        for (auto& p : pcm) {
          // Whole frames and a part frame, which plays nothing.
          p.resize(static_cast<size_t>(format.nBlockAlign) * (37 + random() % 50) + bits / 16);
          for (auto& b : p) b = static_cast<uint8_t>(random());
        }
        Mixer inPlace, converted, both;
        std::vector<void*> back;
        auto voice = inPlace.Open([&](void* tag) { back.push_back(tag); }, true);
        auto reference = converted.Open(nullptr, true);
        auto first = both.Open(nullptr, true), second = both.Open(nullptr, true);
        for (auto& p : pcm) {
          ASSERT_TRUE(inPlace.QueueInPlace(voice, format, p, &p));
          converted.Queue(reference, ConvertToTrack(format, p), nullptr, false);
          ASSERT_TRUE(both.QueueInPlace(first, format, p, nullptr));
          both.Queue(second, ConvertToTrack(format, p), nullptr, false);
        }
        for (int64_t piece : {1, 3, 7, 64, 1000}) {
          std::vector<int16_t> a(static_cast<size_t>(piece) * 2, 99), b(a.size()), sum(a.size());
          inPlace.Pull(piece, a.data());
          converted.Pull(piece, b.data());
          both.Pull(piece, sum.data());
          ASSERT_EQ(a, b) << piece;
          for (size_t i = 0; i < b.size(); ++i) {
            ASSERT_EQ(sum[i], std::clamp(2 * b[i], -32768, 32767)) << piece << " " << i;
          }
        }
        EXPECT_EQ(back, (std::vector<void*>{&pcm[0], &pcm[1], &pcm[2]}));
        EXPECT_EQ(inPlace.FramesToNextBoundary(), -1);
        inPlace.Close(voice);
        converted.Close(reference);
        both.Close(first);
        both.Close(second);
      }
    }
  }
  // Rates that need a general resampler are left to the owner.
  Mixer mixer;
  auto voice = mixer.Open(nullptr, true);
  const std::vector<uint8_t> pcm(100, 128);
  EXPECT_FALSE(mixer.QueueInPlace(voice, PcmFormat(1, 8000, 8), pcm, nullptr));
  EXPECT_EQ(mixer.Queued(voice), 0u);
  mixer.Close(voice);
}

#if SP_HAVE_MALLOC_HOOKS
size_t g_largestAllocation = 0;
void NoteMalloc(const volatile void*, size_t size) {
  if (size > g_largestAllocation) g_largestAllocation = size;
}
void NoteFree(const volatile void*) {}
#endif

// Data that is not a playable WAV plays nothing, and a tiny file that declares a huge
// size allocates nothing near it.
TEST(WaveSoundDecode, RefusesMalformedData) {
  auto good = testsupport::SineWav(500, 0.1, 8000, 1, 16);
  auto hugeData = good;
  testsupport::PutLE(hugeData, 0, 0);
  for (int i = 0; i < 4; ++i) hugeData[40 + i] = 0xF0;  // data chunk of ~4 GB
  auto hugeRiff = good;
  for (int i = 0; i < 4; ++i) hugeRiff[4 + i] = 0xFF;
  auto noChannels = good;
  noChannels[22] = 0;
  auto zeroRate = good;
  for (int i = 0; i < 4; ++i) zeroRate[24 + i] = 0;
  auto slowRate = testsupport::MakeWav(1, 1, 1, 16, std::vector<uint8_t>(200000, 1));
  auto avi = good;
  std::memcpy(&avi[8], "AVI ", 4);
  std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"RIFF only", {'R', 'I', 'F', 'F'}},
      {"AVI", avi},
      {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
      {"huge data chunk", std::vector<uint8_t>(hugeData.begin(), hugeData.begin() + 60)},
      {"no channels", noChannels},
      {"rate 0", zeroRate},
      {"rate 1 Hz", slowRate},
      // Found by fuzzing: MS ADPCM without the RIFF header made SDL allocate 1.8 GB.
      {"no RIFF header",
       testsupport::ReadFileBytes(std::string(SP_SOURCE_DIR) +
                                  "/tests/platform/audio/data/no-riff-adpcm.bin")},
  };
  for (auto& [name, wav] : cases) {
    SCOPED_TRACE(name);
#if SP_HAVE_MALLOC_HOOKS
    g_largestAllocation = 0;
    __sanitizer_install_malloc_and_free_hooks(NoteMalloc, NoteFree);
#endif
    const auto track = WaveSound::Decode(wav);
#if SP_HAVE_MALLOC_HOOKS
    __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr);
    EXPECT_LT(g_largestAllocation, 64u << 20);
#endif
    // A declared size larger than the data may still play what is there.
    if (std::string(name) != "huge data chunk" && std::string(name) != "rate 1 Hz") {
      EXPECT_TRUE(track.empty());
    }
    EXPECT_LE(track.size() / 2, static_cast<size_t>(WaveSound::kMaxSeconds) * kTrackRate);
  }
  // The RIFF size is only advisory.
  EXPECT_FALSE(WaveSound::Decode(hugeRiff).empty());
}

// Synchronous play waits (in virtual time) for the sound's length; a looping sound goes on
// until stopped; a new sound replaces the old one.
TEST(WaveSoundPlay, SyncWaitsAsyncLoopsAndStopSilences) {
  testsupport::VirtualAudioRig rig;
  WaveSound sound(&rig.device);
  const auto F = testsupport::VirtualAudioRig::Frame;
  const auto wav = testsupport::SineWav(500, 0.4, 22050, 1, 16);
  ASSERT_TRUE(sound.Play(wav, SND_MEMORY | SND_NODEFAULT | SND_SYNC, rig.clock));
  EXPECT_NEAR(std::chrono::duration<double>(rig.clock.Elapsed()).count(), 0.4, 0.005);
  EXPECT_FALSE(sound.Playing());

  ASSERT_TRUE(sound.Play(wav, SND_MEMORY | SND_ASYNC | SND_LOOP, rig.clock));
  rig.Advance(1.5);  // to 1.9 s
  EXPECT_TRUE(sound.Playing());
  sound.Stop();
  rig.Advance(0.5);
  EXPECT_FALSE(sound.Playing());
  EXPECT_FALSE(sound.Play({}, SND_MEMORY | SND_ASYNC, rig.clock));

  const auto track = rig.Track();
  EXPECT_NEAR(MeasureHz(track, F(0.01), F(0.39), kTrackRate), 500, 5);
  EXPECT_NEAR(MeasureHz(track, F(0.41), F(1.89), kTrackRate), 500, 5);  // looped, no gap
  EXPECT_GT(Rms(track, F(1.5), F(1.89)), 5000);
  EXPECT_LT(Rms(track, F(1.91), F(2.4)), 1.0);
}

// A synchronous sound on a real-time device ends when another thread stops it.
TEST(WaveSoundPlay, StopEndsASynchronousPlayOnAnotherThread) {
  sys::RealClock clock;
  auto device = OpenNullAudioDevice(clock, nullptr);
  WaveSound sound(device.get());
  const auto wav = testsupport::SineWav(500, 30, 8000, 1, 8);
  bool played = false;
  std::thread t([&] { played = sound.Play(wav, SND_MEMORY | SND_SYNC, clock); });
  while (!sound.Playing()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  sound.Stop();
  t.join();
  EXPECT_TRUE(played);
}

TEST(SoundTrackFile, FillsGapsWithSilenceAndWritesAValidHeader) {
  char tmpl[] = "/tmp/sp-audio-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string path = std::string(tmpl) + "/t.wav";
  {
    WavFileSink sink;
    ASSERT_TRUE(sink.Open(path, nullptr));
    SoundTrack track(sink);
    std::vector<int16_t> a(200, 1000), b(100, -1000);
    track.Push(50, a);   // frames 50..149
    track.Push(120, b);  // overlaps: frames 150..169 are new
    track.PadTo(300);
    EXPECT_EQ(track.FramesWritten(), 300);
    ASSERT_TRUE(sink.Close(nullptr));
  }
  const auto bytes = testsupport::ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 44u + 300 * 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(bytes[40] | bytes[41] << 8, 1200);
  const auto s = testsupport::ReadTrackWav(path);
  EXPECT_EQ(s[49 * 2], 0);
  EXPECT_EQ(s[50 * 2], 1000);
  EXPECT_EQ(s[149 * 2 + 1], 1000);
  EXPECT_EQ(s[150 * 2], -1000);
  EXPECT_EQ(s[169 * 2], -1000);
  EXPECT_EQ(s[170 * 2], 0);
  std::remove(path.c_str());
  rmdir(tmpl);
}

TEST(SoundTrackFile, ShowTimeAndFramesAgree) {
  for (int64_t f : {0LL, 1LL, 440LL, 441LL, 44100LL, 44100LL * 3600 + 17}) {
    EXPECT_EQ(TrackFrameAt(TrackTimeOf(f)), f);
  }
  EXPECT_EQ(TrackFrameAt(std::chrono::seconds(2)), 88200);
}

}  // namespace

// A sound output is looked for only where one can be: the user's choice of driver, a sound
// server's socket, or a card's playback device (a capture-only card has none).
TEST(SoundOutput, IsFoundOnlyWhereOneCanBe) {
  std::string scratch = (std::filesystem::temp_directory_path() / "sp-sound-XXXXXX").string();
  ASSERT_NE(mkdtemp(scratch.data()), nullptr);
  struct Case {
    const char* name;
    std::vector<std::string> files;  // below the scratch folder
    bool driverChosen, pulseServer, present;
  } cases[] = {
      {"nothing", {}, false, false, false},
      {"capture and control only",
       {"snd/pcmC0D0c", "snd/controlC0", "snd/timer"},
       false,
       false,
       false},
      {"a playback device", {"snd/controlC0", "snd/pcmC1D3p"}, false, false, true},
      {"a session's sound server", {"user/pulse/native"}, false, false, true},
      {"a session's pipewire", {"user/pipewire-0"}, false, false, true},
      {"a system-wide server", {"run/pulse/native"}, false, false, true},
      {"a driver chosen", {}, true, false, true},
      {"a server named", {}, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string root = scratch + "/case-" + std::to_string(&c - cases);
    for (const std::string& f : c.files) {
      std::filesystem::create_directories(std::filesystem::path(root + "/" + f).parent_path());
      std::ofstream(root + "/" + f) << "";
    }
    SoundOutputPlaces places;
    places.driverChoice = c.driverChosen ? "alsa" : nullptr;
    places.pulseServer = c.pulseServer ? "tcp:localhost" : "";
    places.runtimeDir = root + "/user";
    places.systemRuntimeDir = root + "/run";
    places.soundDevices = root + "/snd";
    EXPECT_EQ(SoundOutputPresent(places), c.present);
  }
  std::filesystem::remove_all(scratch);
}
