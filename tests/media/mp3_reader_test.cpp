#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "media/mp3_stream_reader.h"

namespace {

using media::MP3StreamReader;

// A header word from its fields (sync set).
uint32_t Header(uint32_t version, uint32_t layer, uint32_t bitrate, uint32_t rate,
                uint32_t mode = 0, uint32_t emphasis = 0) {
  return 0xFFE00000u | version << 19 | layer << 17 | 1u << 16 | bitrate << 12 | rate << 10 |
         mode << 6 | emphasis;
}

std::vector<uint8_t> WithHeaderAt(size_t size, size_t offset, uint32_t h) {
  std::vector<uint8_t> d(size, 0);
  for (int i = 0; i < 4; ++i) d[offset + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
  return d;
}

TEST(MP3StreamReader, FindsTheFirstHeaderWithinTheSearchLimit) {
  const uint32_t good = Header(3, 1, 9, 0);  // MPEG-1 Layer III 128 kbit/s 44.1 kHz
  struct Case {
    size_t size, offset;
    bool found;
  } cases[] = {
      {64, 0, true},        {20000, 10239, true}, {20000, 10240, false},
      {10243, 10239, true}, {4, 0, true},         {3, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + " in " + std::to_string(c.size));
    std::vector<uint8_t> d(c.size, 0);
    if (c.offset + 4 <= c.size) d = WithHeaderAt(c.size, c.offset, good);
    MP3StreamReader r;
    r.OpenMemory(d.data(), static_cast<int>(d.size()));
    EXPECT_EQ(r.Scan(), c.found);
    EXPECT_EQ(r.HeaderFound(), c.found);
    if (c.found) {
      EXPECT_EQ(r.FirstFrameOffset(), static_cast<int>(c.offset));
    }
  }
  MP3StreamReader none;
  EXPECT_FALSE(none.Scan());
}

// Every reserved or unusable field value is skipped; the next good header is taken.
TEST(MP3StreamReader, SkipsUnusableHeaders) {
  const uint32_t bad[] = {
      Header(3, 1, 0, 0),                 // free format
      Header(3, 1, 15, 0),                // bad bitrate
      Header(1, 1, 9, 0),                 // reserved version
      Header(3, 0, 9, 0),                 // reserved layer
      Header(3, 1, 9, 3),                 // reserved rate
      Header(3, 1, 9, 0, 0, 2),           // reserved emphasis
      Header(3, 1, 9, 0) & ~0x00200000u,  // sync one bit short
  };
  for (uint32_t h : bad) {
    SCOPED_TRACE(h);
    auto d = WithHeaderAt(200, 10, h);
    MP3StreamReader r;
    r.OpenMemory(d.data(), static_cast<int>(d.size()));
    EXPECT_FALSE(r.Scan());
    // A good header after it is found.
    const uint32_t good = Header(2, 1, 8, 1, 3);
    for (int i = 0; i < 4; ++i) d[100 + i] = static_cast<uint8_t>(good >> (24 - 8 * i));
    r.OpenMemory(d.data(), static_cast<int>(d.size()));
    ASSERT_TRUE(r.Scan());
    EXPECT_EQ(r.FirstFrameOffset(), 100);
  }
}

// Fields and formats for every version, layer and rate index, against the standards'
// tables written out here.
TEST(MP3StreamReader, DecodesHeadersIntoFormats) {
  struct Case {
    uint32_t version, layer, bitrate, rate, mode;
    float v;
    int layerNo, kbps, hz, channels, outHz;
  } cases[] = {
      {3, 1, 9, 0, 0, 1.0f, 3, 128, 44100, 2, 22050},
      {3, 1, 14, 1, 1, 1.0f, 3, 320, 48000, 2, 24000},
      {3, 1, 1, 2, 3, 1.0f, 3, 32, 32000, 1, 16000},
      {3, 2, 14, 0, 2, 1.0f, 2, 384, 44100, 2, 22050},
      {3, 3, 14, 0, 0, 1.0f, 1, 448, 44100, 2, 22050},
      {2, 1, 8, 0, 3, 2.0f, 3, 64, 22050, 1, 22050},
      {2, 1, 14, 1, 0, 2.0f, 3, 160, 24000, 2, 24000},
      {2, 3, 14, 2, 0, 2.0f, 1, 256, 16000, 2, 16000},
      {0, 1, 1, 0, 3, 2.5f, 3, 8, 11025, 1, 11025},
      {0, 1, 5, 1, 0, 2.5f, 3, 40, 12000, 2, 12000},
      {0, 1, 5, 2, 0, 2.5f, 3, 40, 8000, 2, 8000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hz);
    auto d = WithHeaderAt(100, 7, Header(c.version, c.layer, c.bitrate, c.rate, c.mode));
    MP3StreamReader r;
    r.OpenMemory(d.data(), static_cast<int>(d.size()));
    ASSERT_TRUE(r.Scan());
    const auto& f = r.FrameInfo();
    EXPECT_EQ(f.version, c.v);
    EXPECT_EQ(f.layer, c.layerNo);
    EXPECT_EQ(f.bitrate, c.kbps);
    EXPECT_EQ(f.sampleRate, c.hz);
    EXPECT_EQ(f.channelMode, static_cast<int>(c.mode));
    audio::WAVEFORMATEX pcm;
    audio::MPEGLAYER3WAVEFORMAT mp3;
    r.GetWaveFormats(pcm, mp3);
    EXPECT_EQ(mp3.wfx.wFormatTag, 0x55);
    EXPECT_EQ(mp3.wfx.nChannels, c.channels);
    EXPECT_EQ(mp3.wfx.nSamplesPerSec, static_cast<uint32_t>(c.hz));
    EXPECT_EQ(mp3.wfx.nAvgBytesPerSec, static_cast<uint32_t>(c.kbps * 1000 / 8));
    EXPECT_EQ(mp3.wfx.nBlockAlign, 1);
    EXPECT_EQ(mp3.wfx.wBitsPerSample, 0);
    EXPECT_EQ(mp3.wfx.cbSize, 12);
    EXPECT_EQ(mp3.wID, 1);
    EXPECT_EQ(mp3.fdwFlags, 2u);
    EXPECT_EQ(mp3.nBlockSize, 182);
    EXPECT_EQ(mp3.nFramesPerBlock, 1);
    EXPECT_EQ(mp3.nCodecDelay, 1393);
    EXPECT_EQ(pcm.wFormatTag, 1);
    EXPECT_EQ(pcm.wBitsPerSample, 8);
    EXPECT_EQ(pcm.nChannels, c.channels);
    EXPECT_EQ(pcm.nSamplesPerSec, static_cast<uint32_t>(c.outHz));
    EXPECT_EQ(pcm.nBlockAlign, c.channels);
    EXPECT_EQ(pcm.nAvgBytesPerSec, static_cast<uint32_t>(c.outHz * c.channels));
    EXPECT_EQ(pcm.cbSize, 0);
  }
}

TEST(MP3StreamReader, ProbesXingFromTheStartOfTheData) {
  struct Case {
    uint32_t version, mode;
    size_t at;
  } cases[] = {{3, 0, 36}, {3, 3, 21}, {2, 0, 21}, {2, 3, 13}, {0, 1, 21}, {0, 3, 13}};
  for (const Case& c : cases) {
    for (uint32_t flags : {1u, 0u, 6u}) {
      SCOPED_TRACE(std::to_string(c.at) + " flags " + std::to_string(flags));
      auto d = WithHeaderAt(200, 0, Header(c.version, 1, 5, 0, c.mode));
      std::memcpy(&d[c.at], "Xing", 4);
      d[c.at + 7] = static_cast<uint8_t>(flags);
      d[c.at + 10] = 0x01;
      d[c.at + 11] = 0x2C;  // 300 frames
      MP3StreamReader r;
      r.OpenMemory(d.data(), static_cast<int>(d.size()));
      ASSERT_TRUE(r.Scan());
      EXPECT_TRUE(r.HasXing());
      EXPECT_EQ(r.XingFrameCount(), flags & 1 ? 300 : -1);
      // One byte later is not the probe position.
      std::vector<uint8_t> moved(d.size(), 0);
      std::memcpy(moved.data(), d.data(), 4);
      std::memcpy(&moved[c.at + 1], &d[c.at], 12);
      r.OpenMemory(moved.data(), static_cast<int>(moved.size()));
      ASSERT_TRUE(r.Scan());
      EXPECT_FALSE(r.HasXing());
      EXPECT_EQ(r.XingFrameCount(), -1);
    }
  }
}

TEST(MP3StreamReader, ReopeningResetsPositionAndSize) {
  auto a = WithHeaderAt(5000, 100, Header(3, 1, 9, 0));
  auto b = WithHeaderAt(300, 3, Header(2, 1, 8, 0, 3));
  MP3StreamReader r;
  r.OpenMemory(a.data(), static_cast<int>(a.size()));
  ASSERT_TRUE(r.Scan());
  r.Seek(4000);
  r.OpenMemory(b.data(), static_cast<int>(b.size()));
  EXPECT_FALSE(r.HeaderFound());
  EXPECT_EQ(r.Position(), 0);
  EXPECT_EQ(r.Length(), 300);
  ASSERT_TRUE(r.Scan());
  EXPECT_EQ(r.FirstFrameOffset(), 3);
  EXPECT_EQ(r.FrameInfo().sampleRate, 22050);
  uint8_t buf[16];
  r.Seek(295);
  EXPECT_EQ(r.Read(buf, 16), 5u);
  EXPECT_FALSE(r.OpenFile(""));
  EXPECT_FALSE(r.OpenFile("/nonexistent/piece.mp3"));
}

}  // namespace
