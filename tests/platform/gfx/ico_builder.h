#pragma once
// Builds icon and cursor files for tests: BMP-based entries of every depth (with their AND
// mask) and PNG-based entries.

#include <png.h>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace gfx_test {

// 0xAARRGGBB per pixel; `clear` says where the AND mask is set (transparent).
struct IcoEntry {
  int width = 32, height = 32, bits = 32;
  std::function<uint32_t(int x, int y)> argb = [](int, int) { return 0xFF000000u; };
  std::function<bool(int x, int y)> clear = [](int, int) { return false; };
  bool png = false;
  bool withMask = true;
  uint16_t field4 = 1;  // planes, or the cursor's hotspot x
  int field6 = -1;      // bit count, or the hotspot y; -1: the entry's bits
};

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

inline std::vector<uint8_t> EntryBytes(const IcoEntry& e) {
  std::vector<uint8_t> out;
  if (e.png) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < e.height; ++y)
      for (int x = 0; x < e.width; ++x) {
        const uint32_t c = e.argb(x, y);
        rgba.insert(rgba.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                 static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 24)});
      }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(e.width);
    image.height = static_cast<png_uint_32>(e.height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    out.resize(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
    out.resize(size);
    return out;
  }
  // Palette for the indexed depths, in order of first use.
  std::map<uint32_t, int> index;
  std::vector<uint32_t> palette;
  if (e.bits <= 8) {
    for (int y = 0; y < e.height; ++y)
      for (int x = 0; x < e.width; ++x) {
        const uint32_t c = e.argb(x, y) & 0xFFFFFF;
        if (!index.count(c)) {
          index[c] = static_cast<int>(palette.size());
          palette.push_back(c);
        }
      }
  }
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(e.width));
  Put32(out, static_cast<uint32_t>(e.height * 2));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(e.bits));
  Put32(out, 0);
  for (int i = 0; i < 3; ++i) Put32(out, 0);
  Put32(out, static_cast<uint32_t>(palette.size()));
  Put32(out, 0);
  for (uint32_t c : palette) Put32(out, c);
  const size_t stride = ((static_cast<size_t>(e.width) * e.bits + 31) / 32) * 4;
  for (int y = e.height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < e.width; ++x) {
      const uint32_t c = e.argb(x, y);
      switch (e.bits) {
        case 1:
          row[x / 8] |= static_cast<uint8_t>(index[c & 0xFFFFFF] << (7 - x % 8));
          break;
        case 4:
          row[x / 2] |= static_cast<uint8_t>(index[c & 0xFFFFFF] << (x % 2 ? 0 : 4));
          break;
        case 8:
          row[x] = static_cast<uint8_t>(index[c & 0xFFFFFF]);
          break;
        case 24:
          row[x * 3] = static_cast<uint8_t>(c);
          row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
          row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
          break;
        default:
          for (int k = 0; k < 4; ++k) row[x * 4 + k] = static_cast<uint8_t>(c >> (8 * k));
          break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  if (!e.withMask) return out;
  const size_t maskStride = ((static_cast<size_t>(e.width) + 31) / 32) * 4;
  for (int y = e.height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    for (int x = 0; x < e.width; ++x)
      if (e.clear(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// type 1 icon, 2 cursor.
inline std::vector<uint8_t> BuildIco(const std::vector<IcoEntry>& entries, uint16_t type = 1) {
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, type);
  Put16(out, static_cast<uint32_t>(entries.size()));
  std::vector<std::vector<uint8_t>> bodies;
  for (const IcoEntry& e : entries) bodies.push_back(EntryBytes(e));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const IcoEntry& e = entries[i];
    out.push_back(static_cast<uint8_t>(e.width >= 256 ? 0 : e.width));
    out.push_back(static_cast<uint8_t>(e.height >= 256 ? 0 : e.height));
    out.push_back(static_cast<uint8_t>(e.bits <= 4 && !e.png ? (1 << e.bits) : 0));
    out.push_back(0);
    Put16(out, e.field4);
    Put16(out, static_cast<uint32_t>(e.field6 >= 0 ? e.field6 : e.bits));
    Put32(out, static_cast<uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(bodies[i].size());
  }
  for (const auto& b : bodies) out.insert(out.end(), b.begin(), b.end());
  return out;
}

}  // namespace gfx_test
