#include "platform/gfx/icon_file.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sys/bounded_reader.h"

namespace gfx {
namespace {

constexpr Pixel kWhite = 0xFFFFFF;

struct DirEntry {
  int width = 0, height = 0;
  int bitCount = 0;
  uint16_t field4 = 0, field6 = 0;  // planes and bit count, or a cursor's hotspot
  uint32_t offset = 0;
};

// Width and height of an entry as its header states them; 0 in the directory means 256.
int DirSize(uint8_t v) { return v == 0 ? 256 : v; }

bool IsPng(std::span<const uint8_t> head) {
  static constexpr std::array<uint8_t, 8> kSig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return head.size() >= kSig.size() && std::equal(kSig.begin(), kSig.end(), head.begin());
}

// Alpha decides: opaque from 128 up. Transparent pixels are black in the XOR image.
void PutAlphaPixel(IconImage& out, int x, int y, Pixel colour, uint8_t alpha) {
  const bool opaque = alpha >= 128;
  out.image.At(x, y) = opaque ? colour : 0;
  out.mask.At(x, y) = opaque ? 0 : kWhite;
}

std::optional<IconImage> ReadPngEntry(sys::BoundedReader& r) {
  // A PNG entry runs to the end of the file at most; its own chunks say where it stops.
  const uint64_t n = std::min<uint64_t>(r.Remaining(), kMaxIconFileBytes);
  std::vector<uint8_t> bytes = r.Block(n);
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return std::nullopt;
  if (png.width == 0 || png.height == 0 || png.width > kMaxIconDimension ||
      png.height > kMaxIconDimension) {
    png_image_free(&png);
    return std::nullopt;
  }
  png.format = PNG_FORMAT_RGBA;
  const int w = static_cast<int>(png.width), h = static_cast<int>(png.height);
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
  if (!png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr)) {
    png_image_free(&png);
    return std::nullopt;
  }
  IconImage out{Surface(w, h), Surface(w, h)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
      PutAlphaPixel(out, x, y, MakePixel(p[0], p[1], p[2]), p[3]);
    }
  }
  return out;
}

std::optional<IconImage> ReadBmpEntry(sys::BoundedReader& r) {
  const uint64_t start = r.Position();
  const uint32_t headerSize = r.U32LE();
  const int32_t width = r.I32LE();
  const int32_t doubleHeight = r.I32LE();
  r.U16LE();  // planes
  const uint16_t bits = r.U16LE();
  const uint32_t compression = r.U32LE();
  r.Skip(12);  // image size, resolution
  const uint32_t coloursUsed = r.U32LE();
  // Only the uncompressed layouts are icons; the height counts the XOR image and the mask.
  if (headerSize < 40 || headerSize > 1024 || compression != 0) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
  const int w = width, h = doubleHeight / 2;
  if (w <= 0 || h <= 0 || w > kMaxIconDimension || h > kMaxIconDimension) return std::nullopt;
  r.Seek(start + headerSize);

  std::vector<Pixel> palette;
  if (bits <= 8) {
    const uint32_t full = 1u << bits;
    const uint32_t count = coloursUsed == 0 ? full : coloursUsed;
    if (count > 256) return std::nullopt;
    r.Require(uint64_t{count} * 4);
    palette.resize(full, 0);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t b = r.U8(), g = r.U8(), rd = r.U8();
      r.U8();
      if (i < full) palette[i] = MakePixel(rd, g, b);
    }
  }

  const size_t stride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;
  const size_t maskStride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  std::vector<uint8_t> xorBits = r.Block(uint64_t{stride} * h);
  // Some writers leave the mask out of 32-bit entries; alpha stands in for it then.
  std::vector<uint8_t> andBits;
  if (r.Remaining() >= uint64_t{maskStride} * h)
    andBits = r.Block(uint64_t{maskStride} * h);
  else if (bits != 32)
    return std::nullopt;

  bool anyAlpha = false;
  if (bits == 32) {
    for (size_t i = 3; i < xorBits.size(); i += 4) anyAlpha |= xorBits[i] != 0;
  }

  IconImage out{Surface(w, h), Surface(w, h)};
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &xorBits[static_cast<size_t>(h - 1 - y) * stride];
    const uint8_t* maskRow =
        andBits.empty() ? nullptr : &andBits[static_cast<size_t>(h - 1 - y) * maskStride];
    for (int x = 0; x < w; ++x) {
      Pixel c = 0;
      uint8_t alpha = 255;
      switch (bits) {
        case 1:
          c = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
          break;
        case 4:
          c = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
          break;
        case 8:
          c = palette[row[x]];
          break;
        case 24:
          c = MakePixel(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
          break;
        default:
          c = MakePixel(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
          alpha = row[x * 4 + 3];
          break;
      }
      if (anyAlpha) {
        PutAlphaPixel(out, x, y, c, alpha);
      } else {
        const bool clear = maskRow && ((maskRow[x >> 3] >> (7 - (x & 7))) & 1);
        out.image.At(x, y) = c;
        out.mask.At(x, y) = clear ? kWhite : 0;
      }
    }
  }
  return out;
}

std::optional<IconImage> ReadEntry(sys::ByteSource& source, const DirEntry& e, IconFileType type) {
  try {
    sys::BoundedReader r(source, e.offset);
    std::array<uint8_t, 8> head{};
    if (r.Remaining() < head.size()) return std::nullopt;
    r.Read(head.data(), head.size());
    r.Seek(e.offset);
    std::optional<IconImage> out = IsPng(head) ? ReadPngEntry(r) : ReadBmpEntry(r);
    if (out && type == IconFileType::Cursor) {
      out->hotspotX = std::min<int>(e.field4, out->image.Width() - 1);
      out->hotspotY = std::min<int>(e.field6, out->image.Height() - 1);
    }
    return out;
  } catch (const sys::ReadError&) {
    return std::nullopt;
  }
}

Surface ScaleNearest(const Surface& src, int size) {
  Surface out(size, size);
  for (int y = 0; y < size; ++y) {
    const int sy = static_cast<int>(static_cast<int64_t>(y) * src.Height() / size);
    for (int x = 0; x < size; ++x) {
      out.At(x, y) = src.At(static_cast<int>(static_cast<int64_t>(x) * src.Width() / size), sy);
    }
  }
  return out;
}

}  // namespace

std::optional<IconImage> ReadIconFile(sys::ByteSource& source, IconFileType type, int wanted) {
  if (source.Size() > kMaxIconFileBytes) return std::nullopt;
  std::vector<DirEntry> entries;
  try {
    sys::BoundedReader r(source);
    if (r.U16LE() != 0 || r.U16LE() != static_cast<uint16_t>(type)) return std::nullopt;
    const uint16_t count = r.U16LE();
    if (count == 0) return std::nullopt;
    r.Require(uint64_t{count} * 16);
    for (uint16_t i = 0; i < count; ++i) {
      DirEntry e;
      e.width = DirSize(r.U8());
      e.height = DirSize(r.U8());
      const uint8_t colours = r.U8();
      r.U8();
      e.field4 = r.U16LE();
      e.field6 = r.U16LE();
      r.U32LE();  // bytes in resource: the entry's own header is trusted instead
      e.offset = r.U32LE();
      e.bitCount = type == IconFileType::Icon && e.field6 ? e.field6 : colours ? 8 : 32;
      entries.push_back(e);
    }
  } catch (const sys::ReadError&) {
    return std::nullopt;
  }
  // Exact size first, then the closest; deeper colour wins among equals.
  std::stable_sort(entries.begin(), entries.end(), [wanted](const DirEntry& a, const DirEntry& b) {
    const int da = std::abs(a.width - wanted) + std::abs(a.height - wanted);
    const int db = std::abs(b.width - wanted) + std::abs(b.height - wanted);
    if (da != db) return da < db;
    return a.bitCount > b.bitCount;
  });
  for (const DirEntry& e : entries) {
    if (auto image = ReadEntry(source, e, type)) return image;
  }
  return std::nullopt;
}

std::optional<IconImage> ReadIconFile(std::span<const uint8_t> data, IconFileType type,
                                      int wanted) {
  sys::MemorySource source(data);
  return ReadIconFile(source, type, wanted);
}

std::optional<IconImage> LoadIconFile(const std::string& path, IconFileType type, int size) {
  sys::FileSource file;
  if (!file.Open(path)) return std::nullopt;
  std::optional<IconImage> icon = ReadIconFile(file, type, size);
  if (!icon || size <= 0) return icon;
  if (icon->image.Width() != size || icon->image.Height() != size) {
    const int w = icon->image.Width(), h = icon->image.Height();
    icon->image = ScaleNearest(icon->image, size);
    icon->mask = ScaleNearest(icon->mask, size);
    icon->hotspotX = icon->hotspotX * size / w;
    icon->hotspotY = icon->hotspotY * size / h;
  }
  return icon;
}

}  // namespace gfx
