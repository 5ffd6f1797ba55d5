#pragma once
// Icon (.ico) and cursor (.cur) files: the directory, the choice of one entry, and its
// picture as an XOR image over an AND mask. Entries are either packed device-independent
// bitmaps (1, 4, 8, 24 or 32 bits, followed by the 1-bit AND mask) or PNG files.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/gfx/surface.h"

namespace sys {
class ByteSource;
}

namespace gfx {

enum class IconFileType : uint16_t { Icon = 1, Cursor = 2 };

// Drawn by ANDing `mask` onto the target (white keeps, black clears) and XORing `image`:
// where the mask is white the image is black, except where an old-style AND mask asks for
// the screen to be inverted.
struct IconImage {
  Surface image;
  Surface mask;
  int hotspotX = 0, hotspotY = 0;  // cursors only
};

// The system's icon and cursor size: entries are chosen for it and scaled to it.
inline constexpr int kSystemIconSize = 32;
// Entries larger than this on either side are refused (the format stops at 256).
inline constexpr int kMaxIconDimension = 1024;
// Files larger than this are not icons.
inline constexpr uint64_t kMaxIconFileBytes = 16u << 20;

// Reads the entry of the file's directory whose size is closest to wanted x wanted (an
// exact match first; among equals the deepest colour), falling back to the next candidate
// when an entry is broken. nullopt when the data is not a file of that type or no entry
// can be read.
std::optional<IconImage> ReadIconFile(sys::ByteSource& source, IconFileType type,
                                      int wanted = kSystemIconSize);
std::optional<IconImage> ReadIconFile(std::span<const uint8_t> data, IconFileType type,
                                      int wanted = kSystemIconSize);
// Loads from a file and scales the chosen entry to size x size (nearest pixel), the way
// icons are loaded at the system's default size.
std::optional<IconImage> LoadIconFile(const std::string& path, IconFileType type,
                                      int size = kSystemIconSize);

}  // namespace gfx
