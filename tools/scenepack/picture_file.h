#pragma once
// A picture file made ready for a show: JPEG and BMP are stored as they are (a JPEG turned
// upright first when its camera says so), PNG, GIF (first frame), WebP and TIFF are decoded
// and stored as JPEG or BMP, because the player reads only those two. Whatever is stored is
// decoded once more with the player's own decoder, so a show that packs also plays.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace scenepack {

struct PictureOptions {
  enum class Store { Jpeg, Bmp };
  // What a converted picture is stored as.
  Store store = Store::Jpeg;
  int jpegQuality = 95;
  // Turn JPEGs upright by their Exif orientation.
  bool orient = true;
  // A turn that is lossless only without the partial blocks at the right and bottom edges
  // may drop them (a few pixels); otherwise the picture is decoded, turned and encoded again.
  bool trimEdges = false;
  // Transparent pixels are laid on this colour (COLORREF, 0x00BBGGRR).
  uint32_t background = 0;
  // Pictures larger than this (0: no limit) are scaled down to fit, keeping their aspect,
  // and stored as `store` says.
  int maxWidth = 0, maxHeight = 0;
};

// Why a picture cannot be stored.
class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PackedPicture {
  std::vector<uint8_t> bytes;
  std::string format;    // what the file held: "JPEG", "PNG", ...
  std::string storedAs;  // "JPEG", "BMP", "icon"
  bool converted = false;
  int width = 0, height = 0;  // as the player will decode it (0 for icons)
  std::string note;           // what was done to it, for the user; empty when nothing
};

// The format by the file's first bytes (not its name), or "" when none that we know.
std::string SniffPicture(std::span<const uint8_t> file);

// Throws PictureError saying why the file cannot be a picture of a show.
PackedPicture PackPicture(std::span<const uint8_t> file, const PictureOptions& options);

// Width and height as the player decodes the stored bytes (JPEG or BMP); throws
// PictureError with the decoder's reason.
std::pair<int, int> PlayerDecodeSize(std::span<const uint8_t> bytes);

// 24-bit R, G, B rows, top-down, as a high-quality JPEG (4:4:4) or a 24-bit BMP.
std::vector<uint8_t> EncodeJpeg(std::span<const uint8_t> rgb, int width, int height, int quality);
std::vector<uint8_t> EncodeBmp(std::span<const uint8_t> rgb, int width, int height);

}  // namespace scenepack
