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

// Little-endian RIFF writing for the tiny AVIs below.
struct RiffBytes {
  std::vector<uint8_t> b;
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void u16(uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  }
  void tag(const char* t) { b.insert(b.end(), t, t + 4); }
  // A chunk or list whose size End fills in.
  size_t Begin(const char* id) {
    tag(id);
    const size_t at = b.size();
    u32(0);
    return at;
  }
  void End(size_t at) {
    const uint32_t v = static_cast<uint32_t>(b.size() - at - 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

// An AVI of headers only: the main header declares `streams` streams of width x height,
// `streamHeaders` writes their lists, and the movie list is empty.
template <typename StreamHeaders>
std::vector<uint8_t> TinyAviWith(uint32_t streams, uint32_t width, uint32_t height,
                                 StreamHeaders streamHeaders) {
  RiffBytes r;
  const size_t riff = r.Begin("RIFF");
  r.tag("AVI ");
  const size_t hdrl = r.Begin("LIST");
  r.tag("hdrl");
  r.tag("avih");
  r.u32(56);
  for (uint32_t v : {40000u, 0u, 0u, 0u, 1u, 0u, streams, 0u, width, height, 0u, 0u, 0u, 0u})
    r.u32(v);
  streamHeaders(r);
  r.End(hdrl);
  r.tag("LIST");
  r.u32(4);
  r.tag("movi");
  r.End(riff);
  return r.b;
}

// A bare AVI header with `streams` video streams of the given size and codec and no
// pictures: what a hostile file may declare without holding anything.
inline std::vector<uint8_t> TinyAvi(int32_t width, int32_t height, int streams,
                                    const char fourcc[4] = "MJPG") {
  const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
  return TinyAviWith(static_cast<uint32_t>(streams), w, h, [&](RiffBytes& r) {
    for (int s = 0; s < streams; ++s) {
      const size_t strl = r.Begin("LIST");
      r.tag("strl");
      r.tag("strh");
      r.u32(56);
      r.tag("vids");
      r.tag(fourcc);
      r.u32(0);
      r.u16(0);
      r.u16(0);
      for (uint32_t v : {0u, 1u, 25u, 0u, 1u, 0u, 0u, 0u}) r.u32(v);
      for (int i = 0; i < 4; ++i) r.u16(0);
      r.tag("strf");
      r.u32(40);
      r.u32(40);
      r.u32(w);
      r.u32(h);
      r.u16(1);
      r.u16(24);
      r.tag(fourcc);
      for (int i = 0; i < 5; ++i) r.u32(0);
      r.End(strl);
    }
  });
}

}  // namespace testsupport
