#include "platform/gfx/icon_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/gfx/ico_builder.h"

namespace {

using gfx::IconFileType;
using gfx_test::BuildIco;
using gfx_test::IcoEntry;

constexpr gfx::Pixel kWhite = 0xFFFFFF;

// A recognisable opaque colour per entry size, so the test sees which entry was chosen.
IcoEntry Solid(int size, int bits, uint32_t rgb) {
  IcoEntry e;
  e.width = e.height = size;
  e.bits = bits;
  e.argb = [rgb](int, int) { return 0xFF000000u | rgb; };
  return e;
}

TEST(IconFile, ChoosesTheSystemSizeElseTheClosestElseTheDeepest) {
  auto icon = gfx::ReadIconFile(
      BuildIco({Solid(16, 8, 0x111111), Solid(32, 4, 0x222222), Solid(48, 32, 0x333333)}),
      IconFileType::Icon);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->image.Width(), 32);
  EXPECT_EQ(icon->image.At(5, 5), 0x222222u);

  icon = gfx::ReadIconFile(BuildIco({Solid(64, 32, 0x111111), Solid(24, 8, 0x222222)}),
                           IconFileType::Icon);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->image.Width(), 24);

  // Equal distance: the deeper colour.
  icon = gfx::ReadIconFile(
      BuildIco({Solid(32, 4, 0x111111), Solid(32, 24, 0x222222), Solid(32, 8, 0x333333)}),
      IconFileType::Icon);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->image.At(0, 0), 0x222222u);
}

TEST(IconFile, EveryBitmapDepthWithItsAndMask) {
  for (int bits : {1, 4, 8, 24, 32}) {
    IcoEntry e;
    e.bits = bits;
    e.width = 37;  // rows with padding
    e.height = 5;
    // Two colours suffice for 1 bit; the left column is transparent.
    // Writers give 32-bit entries alpha that agrees with the mask; alpha then decides and
    // clears the image where it is transparent.
    e.argb = [](int x, int y) {
      return (x == 0 ? 0u : 0xFF000000u) | ((x + y) % 2 ? 0xFF8000u : 0x0000FFu);
    };
    e.clear = [](int x, int) { return x == 0; };
    auto icon = gfx::ReadIconFile(BuildIco({e}), IconFileType::Icon);
    ASSERT_TRUE(icon) << bits;
    ASSERT_EQ(icon->image.Width(), 37);
    ASSERT_EQ(icon->image.Height(), 5);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 37; ++x) {
        // Rows are stored bottom-up; the first row read is the picture's last.
        const gfx::Pixel colour = (x + y) % 2 ? 0xFF8000u : 0x0000FFu;
        EXPECT_EQ(icon->image.At(x, y), bits == 32 && x == 0 ? 0u : colour)
            << bits << " " << x << "," << y;
        EXPECT_EQ(icon->mask.At(x, y), x == 0 ? kWhite : 0u) << bits;
      }
    }
  }
}

TEST(IconFile, AlphaDecidesTheMaskAndClearsTheImage) {
  IcoEntry e;
  e.bits = 32;
  e.width = 4;
  e.height = 1;
  const uint32_t alpha[4] = {0, 127, 128, 255};
  e.argb = [&](int x, int) { return (alpha[x] << 24) | 0x40C080u; };
  // The AND mask says the opposite; alpha wins when any pixel has alpha.
  e.clear = [](int x, int) { return x >= 2; };
  for (bool png : {false, true}) {
    e.png = png;
    auto icon = gfx::ReadIconFile(BuildIco({e}), IconFileType::Icon);
    ASSERT_TRUE(icon) << png;
    for (int x = 0; x < 4; ++x) {
      const bool opaque = alpha[x] >= 128;
      EXPECT_EQ(icon->mask.At(x, 0), opaque ? 0u : kWhite) << png << x;
      EXPECT_EQ(icon->image.At(x, 0), opaque ? 0x40C080u : 0u) << png << x;
    }
  }
  // A 32-bit entry with no alpha at all keeps to its AND mask.
  e.png = false;
  e.argb = [](int, int) { return 0x40C080u; };
  auto icon = gfx::ReadIconFile(BuildIco({e}), IconFileType::Icon);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->mask.At(0, 0), 0u);
  EXPECT_EQ(icon->mask.At(3, 0), kWhite);
  EXPECT_EQ(icon->image.At(3, 0), 0x40C080u);
}

TEST(IconFile, CursorsAreTheirOwnTypeAndKeepTheHotspot) {
  IcoEntry e = Solid(32, 24, 0x123456);
  e.field4 = 7;
  e.field6 = 9;
  const auto cur = BuildIco({e}, 2);
  EXPECT_FALSE(gfx::ReadIconFile(cur, IconFileType::Icon));
  auto cursor = gfx::ReadIconFile(cur, IconFileType::Cursor);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(cursor->hotspotX, 7);
  EXPECT_EQ(cursor->hotspotY, 9);
  EXPECT_FALSE(gfx::ReadIconFile(BuildIco({e}, 1), IconFileType::Cursor));
}

TEST(IconFile, LoadingScalesToTheSystemSize) {
  IcoEntry e;
  e.width = e.height = 16;
  e.bits = 24;
  e.argb = [](int x, int) { return 0xFF000000u | (x < 8 ? 0xFF0000u : 0x00FF00u); };
  e.clear = [](int, int y) { return y >= 8; };
  const auto path = std::filesystem::temp_directory_path() / "sp-icon-test.ico";
  const auto bytes = BuildIco({e});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  auto icon = gfx::LoadIconFile(path.string(), IconFileType::Icon);
  std::filesystem::remove(path);
  ASSERT_TRUE(icon);
  ASSERT_EQ(icon->image.Width(), 32);
  ASSERT_EQ(icon->image.Height(), 32);
  EXPECT_EQ(icon->image.At(15, 0), 0xFF0000u);
  EXPECT_EQ(icon->image.At(16, 0), 0x00FF00u);
  EXPECT_EQ(icon->mask.At(0, 15), 0u);
  EXPECT_EQ(icon->mask.At(0, 16), kWhite);
  EXPECT_FALSE(gfx::LoadIconFile("/nonexistent/x.ico", IconFileType::Icon));
}

TEST(IconFile, HostileFilesAreRefusedWithoutReadingOutside) {
  IcoEntry a = Solid(32, 8, 0x111111);
  IcoEntry b = Solid(16, 32, 0x222222);
  b.png = true;
  const auto good = BuildIco({a, b});
  // Every truncation: refused or read from what is there, never past it (ASan watches).
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    auto icon = gfx::ReadIconFile(cut, IconFileType::Icon);
    if (icon) {
      EXPECT_GT(icon->image.Width(), 0);
    }
  }
  EXPECT_FALSE(gfx::ReadIconFile(std::vector<uint8_t>{}, IconFileType::Icon));

  // A broken first choice falls back to the next entry.
  auto broken = good;
  const uint32_t firstOffset = broken[18] | (broken[19] << 8);
  broken[firstOffset + 14] = 13;  // 13 bits per pixel
  auto icon = gfx::ReadIconFile(broken, IconFileType::Icon);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->image.Width(), 16);

  // Sizes beyond any icon, a count larger than the file, an offset past the end.
  auto huge = BuildIco({a});
  const size_t body = 6 + 16;
  huge[body + 4] = 0xFF;
  huge[body + 5] = 0xFF;
  huge[body + 6] = 0x00;  // width 65535
  EXPECT_FALSE(gfx::ReadIconFile(huge, IconFileType::Icon));
  auto negative = BuildIco({a});
  negative[body + 11] = 0x80;  // height < 0
  EXPECT_FALSE(gfx::ReadIconFile(negative, IconFileType::Icon));
  auto many = BuildIco({a});
  many[4] = 0xFF;
  many[5] = 0xFF;
  EXPECT_FALSE(gfx::ReadIconFile(many, IconFileType::Icon));
  auto far = BuildIco({a});
  far[18] = 0xFF;
  far[19] = 0xFF;
  far[20] = 0xFF;
  EXPECT_FALSE(gfx::ReadIconFile(far, IconFileType::Icon));
  auto palette = BuildIco({a});
  palette[body + 32] = 0x01;
  palette[body + 33] = 0x01;  // 257 colours
  EXPECT_FALSE(gfx::ReadIconFile(palette, IconFileType::Icon));
}

}  // namespace
