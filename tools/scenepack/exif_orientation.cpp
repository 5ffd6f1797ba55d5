#include "scenepack/exif_orientation.h"

#include <cstring>

namespace scenepack {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;

struct Tiff {
  std::span<const uint8_t> bytes;  // from the byte-order mark to the segment's end
  bool big = false;

  bool Has(size_t at, size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }
  uint16_t U16(size_t at) const {
    return big ? static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1])
               : static_cast<uint16_t>(bytes[at + 1] << 8 | bytes[at]);
  }
  uint32_t U32(size_t at) const {
    return big ? (uint32_t{U16(at)} << 16 | U16(at + 2)) : (uint32_t{U16(at + 2)} << 16 | U16(at));
  }
};

// Orientation in the first IFD of a TIFF block; the offset is relative to the block.
std::optional<ExifOrientation> FromTiff(std::span<const uint8_t> block) {
  Tiff t{block};
  if (!t.Has(0, 8)) return std::nullopt;
  if (block[0] == 'I' && block[1] == 'I') {
    t.big = false;
  } else if (block[0] == 'M' && block[1] == 'M') {
    t.big = true;
  } else {
    return std::nullopt;
  }
  if (t.U16(2) != 42) return std::nullopt;
  const uint32_t ifd = t.U32(4);
  if (!t.Has(ifd, 2)) return std::nullopt;
  const uint16_t count = t.U16(ifd);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = size_t{ifd} + 2 + size_t{i} * 12;
    if (!t.Has(entry, 12)) return std::nullopt;
    if (t.U16(entry) != kOrientationTag) continue;
    if (t.U16(entry + 2) != kShortType || t.U32(entry + 4) != 1) return std::nullopt;
    const int value = t.U16(entry + 8);
    if (value < 1 || value > 8) return std::nullopt;
    return ExifOrientation{value, entry + 8, t.big};
  }
  return std::nullopt;
}

}  // namespace

std::optional<ExifOrientation> FindExifOrientation(std::span<const uint8_t> jpeg) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return std::nullopt;
  size_t at = 2;
  // Every step moves on by at least two bytes, so the walk ends with the data.
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) return std::nullopt;
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return std::nullopt;  // picture data: no more headers
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    if (length < 2 || length > jpeg.size() - at - 2) return std::nullopt;
    const size_t body = at + 4;
    const size_t bodySize = length - 2;
    static constexpr uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && bodySize >= sizeof kExif &&
        std::memcmp(jpeg.data() + body, kExif, sizeof kExif) == 0) {
      const size_t tiff = body + sizeof kExif;
      auto found = FromTiff(jpeg.subspan(tiff, bodySize - sizeof kExif));
      if (found) found->offset += tiff;
      return found;
    }
    at += 2 + length;
  }
  return std::nullopt;
}

void SetExifOrientation(std::span<uint8_t> jpeg, const ExifOrientation& where, int value) {
  if (where.offset == 0 || where.offset + 2 > jpeg.size()) return;
  const auto v = static_cast<uint16_t>(value);
  jpeg[where.offset] = static_cast<uint8_t>(where.bigEndian ? v >> 8 : v);
  jpeg[where.offset + 1] = static_cast<uint8_t>(where.bigEndian ? v : v >> 8);
}

}  // namespace scenepack
