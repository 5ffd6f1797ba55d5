#pragma once
// A small 24-bit bottom-up BMP written byte by byte, for shows that need a picture file and
// must not depend on the encoder under test.

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

namespace testsupport {

// rgb(x, y) gives 0x00RRGGBB for the pixel at (x, y) from the top left.
inline void WriteTinyBmp(const std::string& path, int w, int h,
                         const std::function<uint32_t(int, int)>& rgb) {
  const int row = (w * 3 + 3) / 4 * 4;
  std::string bmp(54 + static_cast<size_t>(row) * h, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) bmp[at + k] = static_cast<char>(v >> (8 * k));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  bmp[26] = 1;
  bmp[28] = 24;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t c = rgb(x, h - 1 - y);
      char* p = &bmp[54 + static_cast<size_t>(y) * row + static_cast<size_t>(x) * 3];
      p[0] = static_cast<char>(c);
      p[1] = static_cast<char>(c >> 8);
      p[2] = static_cast<char>(c >> 16);
    }
  }
  std::ofstream(path, std::ios::binary) << bmp;
}

}  // namespace testsupport
