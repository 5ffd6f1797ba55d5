#pragma once
// Clips for tests: AVI files written into a folder the test made (mkdtemp), each picture a
// flat colour so that what is drawn can be checked pixel by pixel.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/video/clip_writer.h"

namespace testsupport {

class ScratchDir {
 public:
  ScratchDir() {
    std::string t = (std::filesystem::temp_directory_path() / "sp-clip-XXXXXX").string();
    if (mkdtemp(t.data())) path_ = t;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Picture i is colour colors[i % size] (0x00RRGGBB).
inline bool WriteFlatClip(const std::string& path, const video::ClipSpec& params,
                          const std::vector<uint32_t>& colors) {
  std::string error;
  return video::WriteClip(
      path, params,
      [&](int i, uint32_t* pixels, size_t stride) {
        for (int y = 0; y < params.height; ++y)
          for (int x = 0; x < params.width; ++x)
            pixels[static_cast<size_t>(y) * stride + x] = colors[i % colors.size()];
      },
      &error);
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Whether two colours are within `tolerance` in every channel (the codec is lossy).
inline bool Near(uint32_t a, uint32_t b, int tolerance = 12) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}

// A bare AVI header with `streams` video streams of the given size and codec and no
// pictures: what a hostile file may declare without holding anything.
inline std::vector<uint8_t> TinyAvi(int32_t width, int32_t height, int streams,
                                    const char fourcc[4] = "MJPG") {
  std::vector<uint8_t> b;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
  auto patch = [&](size_t at) {
    const uint32_t v = static_cast<uint32_t>(b.size() - at - 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  tag("RIFF");
  const size_t riff = b.size();
  u32(0);
  tag("AVI ");
  tag("LIST");
  const size_t hdrl = b.size();
  u32(0);
  tag("hdrl");
  tag("avih");
  u32(56);
  for (uint32_t v : {40000u, 0u, 0u, 0u, 1u, 0u, static_cast<uint32_t>(streams), 0u,
                     static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0u, 0u, 0u, 0u})
    u32(v);
  for (int s = 0; s < streams; ++s) {
    tag("LIST");
    const size_t strl = b.size();
    u32(0);
    tag("strl");
    tag("strh");
    u32(56);
    tag("vids");
    tag(fourcc);
    u32(0);
    u16(0);
    u16(0);
    for (uint32_t v : {0u, 1u, 25u, 0u, 1u, 0u, 0u, 0u}) u32(v);
    for (int i = 0; i < 4; ++i) u16(0);
    tag("strf");
    u32(40);
    u32(40);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(24);
    tag(fourcc);
    for (int i = 0; i < 5; ++i) u32(0);
    patch(strl);
  }
  patch(hdrl);
  tag("LIST");
  u32(4);
  tag("movi");
  patch(riff);
  return b;
}

}  // namespace testsupport
