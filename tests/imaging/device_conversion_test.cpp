#include "imaging_test_util.h"

namespace imaging::test {
namespace {

gfx::Surface Pattern(int w, int h) {
  gfx::Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.At(x, y) = gfx::MakePixel(static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 30),
                                  static_cast<uint8_t>(x + y));
  return s;
}

TEST(DeviceConversion, BitmapRoundTrip) {
  const Bytes px = TestPicture(9, 5);
  std::unique_ptr<gfx::Surface> bmp = PixelsToBitmap(px, 9, 5);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(GetLastErrorCode(), kOk);
  EXPECT_EQ(bmp->At(2, 1), gfx::MakePixel(px[(1 * 9 + 2) * 3], px[(1 * 9 + 2) * 3 + 1],
                                          px[(1 * 9 + 2) * 3 + 2]));
  int w = 0, h = 0;
  PixelBuffer back = BitmapToPixels(bmp.get(), &w, &h);
  ASSERT_TRUE(back);
  EXPECT_EQ(w, 9);
  EXPECT_EQ(h, 5);
  EXPECT_EQ(Bytes(back.data(), back.data() + back.size()), px);
}

TEST(DeviceConversion, CaptureKeepsOutsideBlack) {
  const gfx::Surface screen = Pattern(6, 4);
  PixelBuffer all = CaptureFromDC(&screen, 1, 1, 2, 2);
  ASSERT_TRUE(all);
  EXPECT_EQ(Bytes(all.data(), all.data() + all.size()),
            (Bytes{20, 30, 2, 40, 30, 3, 20, 60, 3, 40, 60, 4}));
  // A rectangle hanging over the top-left corner.
  PixelBuffer corner = CaptureFromDC(&screen, -1, -1, 2, 2);
  ASSERT_TRUE(corner);
  EXPECT_EQ(Bytes(corner.data(), corner.data() + corner.size()),
            (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  PixelBuffer far = CaptureFromDC(&screen, 5, 3, 3, 1);
  ASSERT_TRUE(far);
  EXPECT_EQ(Bytes(far.data(), far.data() + far.size()), (Bytes{100, 90, 8, 0, 0, 0, 0, 0, 0}));

  EXPECT_FALSE(CaptureFromDC(nullptr, 0, 0, 1, 1));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_FALSE(CaptureFromDC(&screen, 0, 0, 0, 1));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_FALSE(CaptureFromDC(&screen, 0, 0, 70000, 70000));
  EXPECT_EQ(GetLastErrorCode(), kErrNoMemory);
}

TEST(DeviceConversion, DrawIsClippedToPictureAndSurface) {
  const Bytes px = TestPicture(3, 3);
  auto pixelAt = [&](int x, int y) {
    const uint8_t* p = &px[(static_cast<size_t>(y) * 3 + x) * 3];
    return gfx::MakePixel(p[0], p[1], p[2]);
  };
  const gfx::Pixel kBack = 0x123456;
  for (int x0 : {-2, 0, 2, 4}) {
    for (int y0 : {-1, 1, 3}) {
      gfx::Surface s(5, 4, kBack);
      // Asking for more than the picture draws only the picture.
      ASSERT_TRUE(DrawPixels(&s, px, 3, 3, x0, y0, 10, 2));
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
          const int sx = x - x0, sy = y - y0;
          const bool inside = sx >= 0 && sx < 3 && sy >= 0 && sy < 2;
          EXPECT_EQ(s.At(x, y), inside ? pixelAt(sx, sy) : kBack) << x0 << "," << y0;
        }
    }
  }
  gfx::Surface s(2, 2);
  EXPECT_FALSE(DrawPixels(&s, Bytes(5), 3, 3, 0, 0, 3, 3));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_FALSE(DrawPixels(nullptr, px, 3, 3, 0, 0, 3, 3));
  EXPECT_FALSE(PixelsToBitmap({}, 1, 1));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  int w = 5, h = 5;
  EXPECT_FALSE(BitmapToPixels(nullptr, &w, &h));
  EXPECT_EQ(w, 0);
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
}

}  // namespace
}  // namespace imaging::test
