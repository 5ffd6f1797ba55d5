#include "platform/gfx/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

namespace gfx {
namespace {

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

TEST(WritePng, RoundTripsThePixels) {
  Surface s(7, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      s.At(x, y) = MakePixel(static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 50), 0x5A);
  std::string path = TempPath("sp_png_writer_test.png");
  std::string error;
  ASSERT_TRUE(WritePng(s, path, &error)) << error;

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  EXPECT_EQ(image.width, 7u);
  EXPECT_EQ(image.height, 5u);
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      size_t i = (static_cast<size_t>(y) * 7 + static_cast<size_t>(x)) * 3;
      EXPECT_EQ(MakePixel(rgb[i], rgb[i + 1], rgb[i + 2]), s.At(x, y));
    }
  std::remove(path.c_str());
}

TEST(EncodePng, EveryLevelKeepsThePixelsAndHigherLevelsAreSmaller) {
  // A gradient with noise in the low bits: compressible, but not trivially.
  Surface s(301, 97);
  uint32_t seed = 1;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      seed = seed * 1103515245 + 12345;
      s.At(x, y) = MakePixel(static_cast<uint8_t>(x), static_cast<uint8_t>(y * 2),
                             static_cast<uint8_t>((seed >> 16) & 7));
    }
  }
  size_t stored = 0, fast = 0, small = 0;
  for (int level : {0, 1, 3, 9}) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(EncodePng(s, level, &bytes, &error)) << error;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) << level;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    for (int y = 0; y < s.Height(); ++y) {
      for (int x = 0; x < s.Width(); ++x) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * s.Width() + x) * 3];
        ASSERT_EQ(MakePixel(p[0], p[1], p[2]), s.At(x, y)) << level << " " << x << "," << y;
      }
    }
    (level == 0 ? stored : level == 1 ? fast : small) = bytes.size();
  }
  EXPECT_LT(fast, stored);
  EXPECT_LT(small, fast);
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(EncodePng(Surface(), 1, &bytes));
}

// The fast level's own row filter over every byte value next to every other: sizes from
// one pixel up, full-range random pixels, read back by libpng (which checks the CRCs).
TEST(EncodePng, FastLevelKeepsFullRangePixels) {
  uint32_t seed = 7;
  for (const auto& [w, h] :
       {std::pair{1, 1}, std::pair{2, 3}, std::pair{7, 2}, std::pair{17, 5}, std::pair{640, 4}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    Surface s(w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        seed = seed * 1103515245 + 12345;
        // Every other pixel at an extreme, so that 0x00 - 0xFF and 0xFF - 0x00 both occur.
        s.At(x, y) = (x & 1) ? ((seed >> 7) & 1 ? 0xFFFFFF : 0) : (seed >> 5) & 0xFFFFFF;
      }
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodePng(s, 1, &bytes));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    ASSERT_EQ(image.width, static_cast<uint32_t>(w));
    ASSERT_EQ(image.height, static_cast<uint32_t>(h));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        ASSERT_EQ(MakePixel(p[0], p[1], p[2]), s.At(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(WritePng, FailuresAreReportedAndLeaveNoFile) {
  std::string error;
  EXPECT_FALSE(WritePng(Surface(4, 4), "/nonexistent-dir/frame.png", &error));
  EXPECT_FALSE(error.empty());
  std::string path = TempPath("sp_png_writer_empty.png");
  EXPECT_FALSE(WritePng(Surface(), path, &error));
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace gfx
