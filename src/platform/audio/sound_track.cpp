#include "platform/audio/sound_track.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace audio {

int64_t TrackFrameAt(std::chrono::nanoseconds t) {
  // 44100 / 1e9 = 441 / 10^7; exact for any show shorter than a few months.
  int64_t ns = t.count();
  if (ns <= 0) return 0;
  return ns / 10'000'000 * 441 + (ns % 10'000'000) * 441 / 10'000'000;
}

std::chrono::nanoseconds TrackTimeOf(int64_t frame) {
  // Rounded up, so that the instant maps back to the same frame.
  return std::chrono::nanoseconds(frame / 441 * 10'000'000 +
                                  ((frame % 441) * 10'000'000 + 440) / 441);
}

void SoundTrack::Silence(int64_t until) {
  static const std::vector<int16_t> zeros(4096 * kTrackChannels, 0);
  while (next_ < until) {
    int64_t n = std::min<int64_t>(until - next_, 4096);
    sink_.Write(next_, std::span<const int16_t>(zeros.data(), static_cast<size_t>(n) * 2));
    next_ += n;
  }
}

void SoundTrack::Push(int64_t first, std::span<const int16_t> interleaved) {
  std::lock_guard lock(mutex_);
  Silence(first);
  int64_t frames = static_cast<int64_t>(interleaved.size() / kTrackChannels);
  int64_t skip = next_ - first;
  if (skip >= frames) return;
  auto rest = interleaved.subspan(static_cast<size_t>(skip) * kTrackChannels,
                                  static_cast<size_t>(frames - skip) * kTrackChannels);
  sink_.Write(next_, rest);
  next_ += frames - skip;
}

void SoundTrack::PadTo(int64_t endFrame) {
  std::lock_guard lock(mutex_);
  Silence(endFrame);
}

int64_t SoundTrack::FramesWritten() const {
  std::lock_guard lock(mutex_);
  return next_;
}

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// RIFF header of a 16-bit stereo 44100 Hz PCM file with `dataBytes` of samples.
std::vector<uint8_t> WavHeader(uint32_t dataBytes) {
  std::vector<uint8_t> h(44);
  std::memcpy(h.data(), "RIFF", 4);
  Put32(&h[4], 36 + dataBytes);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  Put32(&h[16], 16);
  Put16(&h[20], 1);
  Put16(&h[22], kTrackChannels);
  Put32(&h[24], kTrackRate);
  Put32(&h[28], kTrackRate * kTrackChannels * 2);
  Put16(&h[32], kTrackChannels * 2);
  Put16(&h[34], 16);
  std::memcpy(&h[36], "data", 4);
  Put32(&h[40], dataBytes);
  return h;
}

constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36 - 3;

}  // namespace

WavFileSink::~WavFileSink() { Close(nullptr); }

bool WavFileSink::Open(const std::string& path, std::string* error) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  auto h = WavHeader(0);
  if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) failed_ = true;
  return true;
}

void WavFileSink::Write(int64_t, std::span<const int16_t> interleaved) {
  if (!file_ || failed_) return;
  uint64_t bytes = interleaved.size() * 2;
  if (dataBytes_ + bytes > kMaxDataBytes) bytes = (kMaxDataBytes - dataBytes_) / 4 * 4;
  if (bytes == 0) return;
  std::vector<uint8_t> out(bytes);
  for (size_t i = 0; i < bytes / 2; ++i) Put16(&out[i * 2], static_cast<uint16_t>(interleaved[i]));
  if (std::fwrite(out.data(), 1, out.size(), file_) != out.size()) failed_ = true;
  dataBytes_ += bytes;
}

bool WavFileSink::Close(std::string* error) {
  if (!file_) return !failed_;
  auto h = WavHeader(static_cast<uint32_t>(dataBytes_));
  if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h.data(), 1, h.size(), file_) != h.size())
    failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (failed_ && error) *error = "cannot write the sound file";
  return !failed_;
}

}  // namespace audio
