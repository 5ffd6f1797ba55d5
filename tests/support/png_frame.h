#pragma once
// Reads a frame the player wrote, for tests that look at what a show put on screen.

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct Frame {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  // 0xRRGGBB of a pixel.
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
  }
};

// An empty frame when the file cannot be read.
inline Frame ReadPngFrame(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Frame out;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) out = Frame{};
  return out;
}

}  // namespace testsupport
