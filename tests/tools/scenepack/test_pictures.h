#pragma once
// Pictures the scenepack tests make for themselves: a four-colour upright picture, the same
// as a camera stores it for each Exif orientation, and what the player's decoder reads.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"

namespace testpictures {

struct Pixels {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  std::array<int, 3> At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * w + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// What the player's own decoder makes of stored bytes.
inline Pixels PlayerDecode(const std::vector<uint8_t>& bytes) {
  imaging::InitDecoder();
  Pixels p;
  const auto s = imaging::OpenMemorySource(bytes);
  const int format = imaging::DetectFormat(s);
  imaging::SeekSource(s, 0, 0);
  imaging::PixelBuffer px = format == imaging::kFormatJpeg
                                ? imaging::ReadJpeg(s, &p.w, &p.h, 24)
                                : imaging::ReadBmp(s, &p.w, &p.h, 24, nullptr);
  imaging::CloseSource(s);
  if (px) p.rgb.assign(px.data(), px.data() + px.size());
  return p;
}

// An Exif block (APP1) that records orientation o, in either byte order.
inline std::vector<uint8_t> ExifBlock(int o, bool big) {
  std::vector<uint8_t> t;
  auto u16 = [&](unsigned v) {
    if (big)
      t.insert(t.end(), {uint8_t(v >> 8), uint8_t(v)});
    else
      t.insert(t.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto u32 = [&](uint32_t v) {
    if (big) {
      u16(v >> 16);
      u16(v & 0xFFFF);
    } else {
      u16(v & 0xFFFF);
      u16(v >> 16);
    }
  };
  t.insert(t.end(), {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')});
  u16(42);
  u32(8);
  u16(2);  // entries
  u16(0x010F);
  u16(2);
  u32(4);
  t.insert(t.end(), {'C', 'a', 'm', 0});
  u16(0x0112);
  u16(3);
  u32(1);
  u16(static_cast<unsigned>(o));
  u16(0);
  u32(0);
  std::vector<uint8_t> seg = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  seg.insert(seg.end(), t.begin(), t.end());
  seg[2] = static_cast<uint8_t>((seg.size() - 2) >> 8);
  seg[3] = static_cast<uint8_t>(seg.size() - 2);
  return seg;
}

inline std::vector<uint8_t> WithExif(std::vector<uint8_t> jpeg, int o, bool big) {
  const auto block = ExifBlock(o, big);
  jpeg.insert(jpeg.begin() + 2, block.begin(), block.end());
  return jpeg;
}

// The upright picture: four quadrants of their own colour.
inline std::array<int, 3> Quadrant(int x, int y, int w, int h) {
  static const std::array<int, 3> kColours[4] = {
      {220, 20, 20}, {20, 220, 20}, {20, 20, 220}, {230, 230, 230}};
  return kColours[(x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0)];
}

// The picture as a camera stores it for orientation o: where its row 0 and column 0 lie in
// the upright picture, after the Exif table (1: top/left, 6: right/top, ...).
inline Pixels Stored(int o, int uw, int uh) {
  Pixels s;
  const bool swap = o >= 5;
  s.w = swap ? uh : uw;
  s.h = swap ? uw : uh;
  s.rgb.resize(static_cast<size_t>(s.w) * s.h * 3);
  for (int r = 0; r < s.h; ++r)
    for (int c = 0; c < s.w; ++c) {
      int x = 0, y = 0;
      switch (o) {
        case 1:
          x = c;
          y = r;
          break;
        case 2:
          x = uw - 1 - c;
          y = r;
          break;
        case 3:
          x = uw - 1 - c;
          y = uh - 1 - r;
          break;
        case 4:
          x = c;
          y = uh - 1 - r;
          break;
        case 5:
          x = r;
          y = c;
          break;
        case 6:
          x = uw - 1 - r;
          y = c;
          break;
        case 7:
          x = uw - 1 - r;
          y = uh - 1 - c;
          break;
        case 8:
          x = r;
          y = uh - 1 - c;
          break;
      }
      const auto colour = Quadrant(x, y, uw, uh);
      for (int k = 0; k < 3; ++k)
        s.rgb[(static_cast<size_t>(r) * s.w + c) * 3 + k] = static_cast<uint8_t>(colour[k]);
    }
  return s;
}

}  // namespace testpictures
