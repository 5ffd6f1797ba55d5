// Pictures that declare more pixels than their data can hold, and long thin pictures that
// really hold theirs.

#include <gtest/gtest.h>

#include "imaging/image_decoder.h"
#include "imaging_test_util.h"

namespace imaging::test {
namespace {

Bytes WriteJpegBytes(const TempDir& dir, int width, int height, int bits, uint8_t value) {
  const std::string path = dir.File("w.jpg");
  Bytes pixels(static_cast<size_t>(width) * height * (bits / 8), value);
  StreamHandle h = OpenTarget(path);
  EXPECT_GT(WriteJpeg(h, pixels, width, height, 75, false, bits), 0);
  CloseTarget(h);
  return ReadFile(path);
}

// The frame header of a baseline JPEG rewritten to declare width x height, the file cut to
// `keep` bytes.
Bytes Redeclared(Bytes jpeg, int width, int height, size_t keep) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      break;
    }
  }
  jpeg.resize(std::min(keep, jpeg.size()));
  return jpeg;
}

TEST(SizeLimits, TinyFilesDeclaringHugePicturesGetNoBuffer) {
  TempDir dir;
  const Bytes jpeg = WriteJpegBytes(dir, 64, 64, 24, 90);
  const Bytes grey = WriteJpegBytes(dir, 64, 64, 8, 90);
  auto bmp = [](int32_t w, int32_t h, uint16_t bits, uint32_t compression, Bytes data) {
    BmpLayout l;
    l.width = w;
    l.height = h;
    l.bits = bits;
    l.compression = compression;
    if (bits <= 8) l.table = {{0, 0, 0}, {255, 255, 255}};
    if (bits == 4) l.table.resize(16);  // the table an RLE4 file without a colour count has
    l.data = std::move(data);
    return MakeBmp(l);
  };
  struct Case {
    const char* what;
    Bytes file;
    bool jpeg;
  };
  // Over the picture limit, and (the 8000 x 8000 ones) within it but with far too little data.
  const Case cases[] = {
      {"24-bit 32767 x 21000 bottom-up", bmp(32767, 21000, 24, 0, Bytes(46, 0)), false},
      {"24-bit 32767 x 21000 top-down", bmp(32767, -21000, 24, 0, Bytes(46, 0)), false},
      {"1-bit 32767 x 21000", bmp(32767, 21000, 1, 0, Bytes(38, 0)), false},
      {"RLE8 without data", bmp(32767, 21000, 8, 1, {}), false},
      {"RLE4 without data", bmp(32767, 21000, 4, 2, {}), false},
      {"24-bit 8000 x 8000, 100 bytes of rows", bmp(8000, 8000, 24, 0, Bytes(100, 7)), false},
      {"RLE8 8000 x 8000 ending at once", bmp(8000, 8000, 8, 1, {0, 1}), false},
      {"RLE4 8000 x 8000 of line ends", bmp(8000, 8000, 4, 2, Bytes(200, 0)), false},
      {"JPEG 26000 x 27000 cut to 664 bytes", Redeclared(jpeg, 26000, 27000, 664), true},
      {"grey JPEG 32767 x 21000", Redeclared(grey, 32767, 21000, 355), true},
      {"JPEG 8000 x 8000 whole", Redeclared(jpeg, 8000, 8000, jpeg.size()), true},
  };
  for (const Case& c : cases) {
    for (int bits : {24, 8}) {
      if (!c.jpeg && bits == 8 && c.file[28] > 8) continue;  // 8-bit output needs a table
      Decoded d = DecodeBytes(c.file, c.jpeg, bits);
      EXPECT_FALSE(d.pixels) << c.what << ", " << bits << " bits: " << d.width << " x " << d.height;
      EXPECT_TRUE(d.error == kErrNoMemory || d.error == kErrShort) << c.what << ": " << d.error;
      // Read by rows, the picture is refused before the sink hears of it.
      RowCollector rows(bits / 8);
      StreamHandle h = OpenMemorySource(c.file);
      EXPECT_FALSE(c.jpeg ? ReadJpegRows(h, bits, rows) : ReadBmpRows(h, bits, rows)) << c.what;
      EXPECT_EQ(GetLastErrorCode(), d.error) << c.what;
      CloseSource(h);
      EXPECT_EQ(rows.begun, 0) << c.what;
    }
  }
}

TEST(SizeLimits, LongThinPicturesLoadAndConvert) {
  for (auto [w, h] : {std::pair{65535, 1}, {1, 65535}, {65500, 1}, {40000, 2}}) {
    BmpLayout l;
    l.width = w;
    l.height = h;
    const size_t row = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    l.data.resize(row * h);
    for (size_t i = 0; i < l.data.size(); ++i) l.data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    Decoded d = DecodeBytes(MakeBmp(l), false);
    ASSERT_TRUE(d.pixels) << w << " x " << h << ": error " << d.error;
    ASSERT_EQ(d.error, kOk);
    ASSERT_EQ(d.width, w);
    ASSERT_EQ(d.height, h);
    auto bitmap = PixelsToBitmap(d.pixels.span(), w, h);
    ASSERT_TRUE(bitmap) << w << " x " << h;
    // The last pixel of the file's first (bottom) row: B, G, R on disk.
    const size_t at = static_cast<size_t>(w - 1) * 3;
    EXPECT_EQ(bitmap->At(w - 1, h - 1), gfx::MakePixel(l.data[at + 2], l.data[at + 1], l.data[at]));
  }
}

TEST(SizeLimits, HighlyCompressedRealPicturesStayWithinTheDataRule) {
  // One flat colour compresses as well as a JPEG can; it must still load whole.
  TempDir dir;
  const Bytes flat = WriteJpegBytes(dir, 4096, 4096, 24, 200);
  ASSERT_LT(flat.size(), size_t{4096} * 4096 / 32) << "not a strongly compressed file";
  Decoded d = DecodeBytes(flat, true);
  ASSERT_TRUE(d.pixels) << d.error;
  EXPECT_EQ(d.width, 4096);

  EXPECT_TRUE(PictureSizeAllowed(16384, 8192));
  EXPECT_TRUE(PictureSizeAllowed(65535, 2048));
  EXPECT_FALSE(PictureSizeAllowed(16384, 8193));
  EXPECT_FALSE(PictureSizeAllowed(65536, 1));
  EXPECT_FALSE(PictureSizeAllowed(0, 5));
  // Small pictures need no data to speak of; large ones a byte per 1024 pixels.
  EXPECT_TRUE(DataCanHold(1024, 1024, 0));
  EXPECT_FALSE(DataCanHold(1025, 1024, 1024));
  EXPECT_TRUE(DataCanHold(1025, 1024, 1025));
}

}  // namespace
}  // namespace imaging::test
