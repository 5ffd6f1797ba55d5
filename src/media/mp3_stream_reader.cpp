#include "media/mp3_stream_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/sys/bounded_reader.h"

namespace media {
namespace {

// Bitrates in kbit/s by bitrate index: MPEG-1 layers I, II, III, then the lower sampling
// frequencies (MPEG-2 and 2.5) layer I and layers II/III.
constexpr int16_t kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
// Sampling frequencies by version bits (00 = 2.5, 10 = 2, 11 = 1) and rate index.
constexpr int32_t kRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

}  // namespace

bool DecodeFrameHeader(uint32_t h, MP3FrameInfo* info) {
  const uint32_t sync = h >> 21;
  const uint32_t version = (h >> 19) & 3;
  const uint32_t layer = (h >> 17) & 3;
  const uint32_t bitrateIndex = (h >> 12) & 15;
  const uint32_t rateIndex = (h >> 10) & 3;
  const uint32_t channelMode = (h >> 6) & 3;
  const uint32_t emphasis = h & 3;
  if (sync != 0x7FF || version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3 || emphasis == 2) {
    return false;
  }
  MP3FrameInfo f;
  f.version = version == 3 ? 1.0f : version == 2 ? 2.0f : 2.5f;
  f.layer = static_cast<int16_t>(4 - layer);
  const int row = version == 3 ? f.layer - 1 : (f.layer == 1 ? 3 : 4);
  f.bitrate = kBitrates[row][bitrateIndex];
  f.sampleRate = kRates[version][rateIndex];
  f.channelMode = static_cast<int16_t>(channelMode);
  if (info) *info = f;
  return true;
}

bool MP3StreamReader::OpenMemory(const uint8_t* data, int length) {
  owned_.clear();
  data_ = std::span<const uint8_t>(data, data ? static_cast<size_t>(std::max(length, 0)) : 0);
  position_ = 0;
  headerFound_ = false;
  return true;
}

bool MP3StreamReader::OpenFile(const std::string& fileName) {
  sys::FileSource file;
  if (fileName.empty() || !file.Open(fileName)) return false;
  // A piece is played from memory; anything that cannot be held as one block is refused.
  if (file.Size() > 0x7FFFFFFF) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
  if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) return false;
  owned_ = std::move(bytes);
  data_ = owned_;
  position_ = 0;
  headerFound_ = false;
  return true;
}

size_t MP3StreamReader::Read(uint8_t* dst, size_t n) {
  if (position_ < 0 || position_ >= Length()) return 0;
  n = std::min(n, static_cast<size_t>(Length() - position_));
  std::memcpy(dst, data_.data() + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

bool MP3StreamReader::FindFrame() {
  if (data_.data() == nullptr) return false;
  for (int offset = 0; offset < kSearchLimit && Length() - offset >= 4; ++offset) {
    Seek(offset);
    uint8_t b[4];
    if (Read(b, 4) != 4) return false;
    const uint32_t h = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                       static_cast<uint32_t>(b[2]) << 8 | b[3];
    if (DecodeFrameHeader(h, &frameInfo_)) {
      firstFrameOffset_ = offset;
      return true;
    }
  }
  return false;
}

bool MP3StreamReader::ProbeXing() {
  const bool mono = frameInfo_.channelMode == 3;
  // Counted from byte 0 of the data, not from the frame found.
  const int at = frameInfo_.version == 1.0f ? (mono ? 21 : 36) : (mono ? 13 : 21);
  xingFrameCount_ = -1;
  Seek(at);
  uint8_t b[12];
  if (Read(b, 12) != 12 || std::memcmp(b, "Xing", 4) != 0) return false;
  const uint32_t flags = static_cast<uint32_t>(b[4]) << 24 | static_cast<uint32_t>(b[5]) << 16 |
                         static_cast<uint32_t>(b[6]) << 8 | b[7];
  if (flags & 1) {
    xingFrameCount_ =
        static_cast<int>(static_cast<uint32_t>(b[8]) << 24 | static_cast<uint32_t>(b[9]) << 16 |
                         static_cast<uint32_t>(b[10]) << 8 | b[11]);
  }
  return true;
}

bool MP3StreamReader::Scan() {
  headerFound_ = FindFrame();
  if (headerFound_) xingPresent_ = ProbeXing();
  return headerFound_;
}

void MP3StreamReader::GetWaveFormats(audio::WAVEFORMATEX& pcm,
                                     audio::MPEGLAYER3WAVEFORMAT& mp3) const {
  const uint16_t channels = frameInfo_.channelMode == 3 ? 1 : 2;
  mp3.wfx.wFormatTag = audio::WAVE_FORMAT_MPEGLAYER3;
  mp3.wfx.nChannels = channels;
  mp3.wfx.nSamplesPerSec = static_cast<uint32_t>(frameInfo_.sampleRate);
  mp3.wfx.nAvgBytesPerSec = static_cast<uint32_t>(frameInfo_.bitrate) * 1000 / 8;
  mp3.wfx.nBlockAlign = 1;
  mp3.wfx.wBitsPerSample = 0;
  mp3.wfx.cbSize = 12;
  mp3.wID = audio::MPEGLAYER3_ID_MPEG;
  mp3.fdwFlags = audio::MPEGLAYER3_FLAG_PADDING_OFF;
  mp3.nBlockSize = 182;
  mp3.nFramesPerBlock = 1;
  mp3.nCodecDelay = 1393;

  uint32_t rate = static_cast<uint32_t>(frameInfo_.sampleRate);
  if (rate == 32000 || rate == 44100 || rate == 48000) rate /= 2;
  pcm = audio::PcmFormat(channels, rate, 8);
}

}  // namespace media
