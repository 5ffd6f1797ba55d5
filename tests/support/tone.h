#pragma once
// Helpers for sound tests: synthesised WAV data, and measurements of a track (frequency by
// zero crossings, loudness) that are independent of the code under test.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

inline void PutLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A RIFF WAVE image: format tag 1 (PCM) or 3 (float), `bits` per sample.
inline std::vector<uint8_t> MakeWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                    const std::vector<uint8_t>& data) {
  std::vector<uint8_t> w;
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  w.insert(w.end(), {'R', 'I', 'F', 'F'});
  PutLE(w, static_cast<uint32_t>(36 + data.size()), 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLE(w, 16, 4);
  PutLE(w, tag, 2);
  PutLE(w, channels, 2);
  PutLE(w, rate, 4);
  PutLE(w, rate * align, 4);
  PutLE(w, align, 2);
  PutLE(w, bits, 2);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  PutLE(w, static_cast<uint32_t>(data.size()), 4);
  w.insert(w.end(), data.begin(), data.end());
  return w;
}

// A sine of `hz` for `seconds` as WAV data of the given sample kind (8 = unsigned 8-bit,
// 16 = signed 16-bit, 32 = float).
inline std::vector<uint8_t> SineWav(double hz, double seconds, uint32_t rate, uint16_t channels,
                                    int kind) {
  std::vector<uint8_t> data;
  const size_t n = static_cast<size_t>(seconds * rate);
  for (size_t i = 0; i < n; ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate);
    for (uint16_t c = 0; c < channels; ++c) {
      if (kind == 8) {
        data.push_back(static_cast<uint8_t>(std::lround(128 + 127 * v)));
      } else if (kind == 16) {
        PutLE(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(32767 * v))), 2);
      } else {
        float f = static_cast<float>(v);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PutLE(data, bits, 4);
      }
    }
  }
  const uint16_t bits = static_cast<uint16_t>(kind == 8 ? 8 : kind == 16 ? 16 : 32);
  return MakeWav(kind == 32 ? 3 : 1, channels, rate, bits, data);
}

// Frequency of the left channel of interleaved stereo frames [first, last), from the
// rising zero crossings (with a little hysteresis), at `rate` frames per second.
inline double MeasureHz(const std::vector<int16_t>& stereo, size_t first, size_t last, int rate) {
  int crossings = 0;
  size_t firstCross = 0, lastCross = 0;
  bool low = false;
  for (size_t i = first; i < last && i * 2 < stereo.size(); ++i) {
    const int v = stereo[i * 2];
    if (v < -200) low = true;
    if (low && v > 200) {
      low = false;
      if (crossings == 0) firstCross = i;
      lastCross = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(lastCross - firstCross);
}

// Root mean square of the left channel over [first, last).
inline double Rms(const std::vector<int16_t>& stereo, size_t first, size_t last) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = first; i < last && i * 2 < stereo.size(); ++i, ++n) {
    sum += static_cast<double>(stereo[i * 2]) * stereo[i * 2];
  }
  return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// The 16-bit stereo samples of a WAV file the player wrote (44-byte header).
inline std::vector<int16_t> ReadTrackWav(const std::string& path) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  std::vector<int16_t> s;
  for (size_t i = 44; i + 1 < b.size(); i += 2) {
    s.push_back(static_cast<int16_t>(b[i] | (b[i + 1] << 8)));
  }
  return s;
}

}  // namespace testsupport
