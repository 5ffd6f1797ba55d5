#pragma once
// The image decoder: a flat set of operations over opaque stream handles and 24-bit pixel
// buffers (R, G, B, rows top-down, width * 3 bytes per row, no padding). Every operation
// leaves an error code in the calling thread's slot, read with GetLastErrorCode().

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/gfx/surface.h"

namespace imaging {

class RowScaler;

// Error codes left by the operations.
enum ErrorCode : int {
  kOk = 0,
  kErrNoMemory = 1,      // also a pixel buffer over the size limit
  kErrOpen = 2,          // file cannot be opened
  kErrShort = 3,         // file too short, read failure, JPEG data error in the rows
  kErrWrite = 4,         // write failure or JPEG compression error
  kErrArgument = 5,      // missing buffer, handle or size; unsupported depth
  kErrBmpStructure = 6,  // BMP structure not supported
  kErrBmpRle = 7,        // run-length encoding not supported for that depth
  kErrJpegHeader = 9,    // JPEG header unreadable or decoding fails to start
  kErrCreateDC = 10,
  kErrCreateBitmap = 23,
  kErrTooManyRows = 24,  // more rows written or read than the picture has
  kErrGetBits = 25,
  kErrRasterCaps = 26,
  kErrJpegLayout = 28,  // colour layout not supported for the requested output
  kErrBlt = 29,
  kErrCreateDIBitmap = 35,
  kErrSelectBitmap = 37,
  kErrBadHandle = 38,  // null, closed or foreign stream handle
  kErrNoState = 55,    // only from GetLastErrorCode
};

// Format codes of DetectFormat.
enum FormatCode : int {
  kFormatNone = 0,
  kFormatBmp = 1,
  kFormatGif = 2,
  kFormatJpeg = 3,
  kFormatPng = 4,
  kFormatPcx = 5,
  kFormatTiff = 6,
  kFormatWmf = 7,
  kFormatEmf = 8,
  kFormatPax = 9,
  kFormatPsd = 10,
  kFormat11 = 11,
  kFormat12 = 12,
  kFormatWbmp = 13,
  kFormatTga = 14,
};
const char* FormatName(int code);

// Largest pixel buffer ever allocated.
constexpr size_t kMaxBufferBytes = 2147348478;
// Largest width or height of a decoded picture.
constexpr int kMaxDimension = 65535;
// Most pixels of one decoded picture or one scaling target (16384 x 8192; 384 MiB as 24-bit
// pixels, 512 MiB as a screen bitmap). Long thin pictures up to kMaxDimension fit.
constexpr int64_t kMaxPicturePixels = int64_t{1} << 27;
// Picture data must be able to describe the pixels it declares: a picture of more than
// kFreePixels needs at least one byte of data (after the headers) per kPixelsPerDataByte
// pixels. No Huffman-coded JPEG packs more than 512 pixels into a byte (every 8 x 8 block
// costs a bit at least), so 1024 admits every one of them; run-length bitmaps are held to
// the same ratio. Uncompressed bitmaps must hold at least an eighth of their rows.
constexpr int64_t kFreePixels = int64_t{1} << 20;
constexpr int64_t kPixelsPerDataByte = 1024;

// An opaque stream handle. Ids are never reused, so a stale handle can never reach another
// stream; every operation looks its handle up in the table of live streams.
enum class StreamHandle : uint64_t {};
constexpr StreamHandle kNoStream{0};

// A pixel buffer owned by the caller. Zero-filled when allocated.
class PixelBuffer {
 public:
  PixelBuffer() = default;
  // Allocates size zeroed bytes; empty on failure.
  static PixelBuffer Allocate(size_t size);
  // Takes over a block from std::malloc/calloc of `size` bytes.
  static PixelBuffer Adopt(uint8_t* data, size_t size) {
    PixelBuffer buffer;
    buffer.data_.reset(data);
    buffer.size_ = data ? size : 0;
    return buffer;
  }

  explicit operator bool() const { return data_ != nullptr; }
  uint8_t* data() { return data_.get(); }
  const uint8_t* data() const { return data_.get(); }
  size_t size() const { return size_; }
  std::span<uint8_t> span() { return {data_.get(), size_}; }
  std::span<const uint8_t> span() const { return {data_.get(), size_}; }

 private:
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> data_;
  size_t size_ = 0;
};

// True when width x height is within kMaxPicturePixels and kMaxDimension.
bool PictureSizeAllowed(int64_t width, int64_t height);
// True when dataBytes of compressed data can stand for width x height pixels (see
// kPixelsPerDataByte).
bool DataCanHold(int64_t width, int64_t height, uint64_t dataBytes);

// width * height * bytesPerPixel, or 0 when a factor is not positive, a dimension is over
// kMaxDimension or the product is over kMaxBufferBytes.
size_t BufferSize(int64_t width, int64_t height, int64_t bytesPerPixel);

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const PaletteEntry&) const = default;
};
using Palette = std::vector<PaletteEntry>;

struct JpegDensity {
  uint16_t x = 1;
  uint16_t y = 1;
  uint8_t unit = 0;  // 0 none (aspect ratio), 1 dots per inch, 2 dots per cm
};

struct JpegMarker {
  int code = 0;  // JPEG_APP0 + n
  std::vector<uint8_t> data;
};

// Sets up the lock that guards the per-thread state records. Safe to call more than once.
void InitDecoder();
int GetLastErrorCode();

// Lowers the pixel buffer limit of this process below kMaxBufferBytes (fuzzing and tests
// on small machines); 0 restores the default.
void SetBufferLimit(size_t bytes);

// Streams.
StreamHandle OpenSource(const std::string& fileName);
// A read stream over caller memory, which must outlive the stream.
StreamHandle OpenMemorySource(std::span<const uint8_t> data);
bool SeekSource(StreamHandle handle, int64_t offset, int origin);
// Returns the read position before closing (0 on failure).
int64_t CloseSource(StreamHandle handle);
StreamHandle OpenTarget(const std::string& fileName);
// Returns the length of the file written (0 on failure).
int64_t CloseTarget(StreamHandle handle);

int DetectFormat(StreamHandle handle);

// bits 24 gives R, G, B; bits 8 (or 1, for 1-bit files) gives one palette index per pixel
// for files with a colour table, with *palette filled in.
PixelBuffer ReadBmp(StreamHandle handle, int* width, int* height, int bits,
                    Palette* palette = nullptr);
// bits 24 gives R, G, B; 8 one grey byte per pixel.
PixelBuffer ReadJpeg(StreamHandle handle, int* width, int* height, int bits);

// Takes a picture's rows as they are decoded, so that it need never be held whole.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // The picture's size, before its first row; false when it cannot be taken (no memory).
  // Must not throw.
  virtual bool Begin(int width, int height) = 0;
  // The next row, top to bottom (width * bytes per pixel bytes). Must not throw.
  virtual void Row(const uint8_t* pixels) = 0;
};
// ReadJpeg and ReadBmp with the rows handed to sink instead of kept in a buffer: the same
// rows (the ones a damaged picture does not reach are zero), the same error codes. True
// when the sink was given every row (the code may still tell of damage, as ReadJpeg's
// does with a buffer); false when the picture did not begin.
bool ReadJpegRows(StreamHandle handle, int bits, RowSink& sink);
bool ReadBmpRows(StreamHandle handle, int bits, RowSink& sink);

// bits 24 and 16 take R, G, B pixels; 1, 4 and 8 take one palette index per pixel and need
// a palette of at least `colours` entries. Returns the file length, 0 on failure.
// runLength is accepted for compatibility; files are always written uncompressed.
int64_t WriteBmp(StreamHandle handle, std::span<const uint8_t> pixels, int width, int height,
                 int bits = 24, int colours = 0, const Palette* palette = nullptr,
                 bool runLength = false);
// bits 24 (R, G, B) or 8 (grey). Returns the file length, 0 on failure.
int64_t WriteJpeg(StreamHandle handle, std::span<const uint8_t> pixels, int width, int height,
                  int quality, bool progressive, int bits = 24,
                  const JpegDensity* density = nullptr);

// The markers of the last JPEG read on this thread (COM and APP1 to APP14).
std::vector<std::string> LastJpegComments();
std::vector<JpegMarker> LastJpegMarkers();
// Comments and markers added to every JPEG this thread writes afterwards.
void SetJpegCommentsToAdd(std::vector<std::string> comments);
void SetJpegMarkersToAdd(std::vector<JpegMarker> markers);

// Device conversions. Surfaces are 32-bit and palette-free, so the palette arguments of
// palette devices have no counterpart here.
PixelBuffer CaptureFromDC(const gfx::Surface* dc, int x, int y, int width, int height);
PixelBuffer BitmapToPixels(const gfx::Surface* bitmap, int* width, int* height);
std::unique_ptr<gfx::Surface> PixelsToBitmap(std::span<const uint8_t> pixels, int width,
                                             int height);
// Draws the top-left cx x cy of the width x height pixels at (x, y), clipped to both.
bool DrawPixels(gfx::Surface* dc, std::span<const uint8_t> pixels, int width, int height, int x,
                int y, int cx, int cy);

// Makes a bitmap compatible with the screen of 24-bit rows given as a RowSink, scaled on
// the way: the bitmap PixelsToBitmap makes of ResizePixels' result, without the picture
// ever held whole.
class BitmapSink final : public RowSink {
 public:
  // For the picture's own size, the size to make its bitmap at (its own for none), or
  // nothing to read the rows only (the picture is checked, no bitmap is made).
  using SizeFor = std::function<std::optional<std::pair<int, int>>(int width, int height)>;
  explicit BitmapSink(SizeFor sizeFor);
  ~BitmapSink() override;
  bool Begin(int width, int height) override;
  void Row(const uint8_t* pixels) override;

  // The picture's own size (0 x 0 before Begin).
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The bitmap made, or null.
  std::unique_ptr<gfx::Surface> Take() { return std::move(bitmap_); }

 private:
  SizeFor sizeFor_;
  int width_ = 0, height_ = 0;
  int y_ = 0;  // the next bitmap row
  std::unique_ptr<gfx::Surface> bitmap_;
  std::unique_ptr<RowScaler> scaler_;  // when the bitmap is scaled
  std::vector<uint8_t> row_;           // a scaled row
};

// Bilinear scaling without half-pixel offset, n bytes per pixel.
bool ResizePixels(std::span<const uint8_t> src, int srcWidth, int srcHeight, std::span<uint8_t> dst,
                  int dstWidth, int dstHeight, int n);

}  // namespace imaging
