#include <cmath>

#include "imaging_test_util.h"

namespace imaging::test {
namespace {

// The scaling rule written out per pixel, the way it reads: the reference for the library's
// table-driven version, which must give the very same bytes.
Bytes NaiveResize(const Bytes& src, int sw, int sh, int dw, int dh, int n) {
  Bytes dst(static_cast<size_t>(dw) * dh * n);
  for (int j = 0; j < dh; ++j) {
    double y = static_cast<double>(j) * sh / dh;
    y = std::clamp(y, 0.0, static_cast<double>(sh - 1));
    const double f = std::floor(y);
    const int r0 = static_cast<int>(f);
    const int r1 = std::min(r0 + 1, sh - 1);
    for (int i = 0; i < dw; ++i) {
      double x = static_cast<double>(i) * sw / dw;
      x = std::clamp(x, 0.0, static_cast<double>(sw - 1));
      const double x0 = std::floor(x);
      const double x1 = std::min(x0 + 1, static_cast<double>(sw - 1));
      for (int c = 0; c < n; ++c) {
        auto at = [&](int row, double col) {
          return src[(static_cast<size_t>(row) * sw + static_cast<size_t>(col)) * n + c];
        };
        const double v0 = at(r0, x0) * (x0 + 1 - x) + at(r0, x1) * (x - x0);
        const double v1 = at(r1, x0) * (x0 + 1 - x) + at(r1, x1) * (x - x0);
        dst[(static_cast<size_t>(j) * dw + i) * n + c] =
            static_cast<uint8_t>(static_cast<int>(v1 * (y - f) + v0 * (f + 1 - y)));
      }
    }
  }
  return dst;
}

Bytes Resize(const Bytes& src, int sw, int sh, int dw, int dh, int n) {
  Bytes dst(static_cast<size_t>(dw) * dh * n, 0xCD);
  EXPECT_TRUE(ResizePixels(src, sw, sh, dst, dw, dh, n));
  EXPECT_EQ(GetLastErrorCode(), kOk);
  return dst;
}

TEST(ResizePixels, NoHalfPixelOffset) {
  // 4 x 1 to 2 x 1 samples source columns 0 and 2 exactly.
  const Bytes src = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  EXPECT_EQ(Resize(src, 4, 1, 2, 1, 3), (Bytes{10, 20, 30, 70, 80, 90}));
  // The same rule down the rows.
  const Bytes col = {0, 50, 100, 150};
  EXPECT_EQ(Resize(col, 1, 4, 1, 2, 1), (Bytes{0, 100}));
  // Enlarging 2 x 1 to 4 x 1: the last column is clamped, values are truncated.
  EXPECT_EQ(Resize(Bytes{0, 255}, 2, 1, 4, 1, 1), (Bytes{0, 127, 255, 255}));
  // Same size is the identity.
  const Bytes pic = TestPicture(13, 7);
  EXPECT_EQ(Resize(pic, 13, 7, 13, 7, 3), pic);
}

TEST(ResizePixels, SameBytesAsThePerPixelRule) {
  struct Case {
    int sw, sh, dw, dh, n;
  };
  for (const Case c : {Case{401, 303, 192, 108, 3}, Case{7, 5, 29, 31, 3}, Case{64, 48, 64, 17, 4},
                       Case{33, 1, 5, 9, 1}, Case{1, 1, 6, 4, 3}, Case{250, 187, 251, 188, 3}}) {
    Bytes src(static_cast<size_t>(c.sw) * c.sh * c.n);
    uint32_t s = 7;
    for (uint8_t& v : src) v = static_cast<uint8_t>((s = s * 1664525u + 1013904223u) >> 24);
    EXPECT_EQ(Resize(src, c.sw, c.sh, c.dw, c.dh, c.n),
              NaiveResize(src, c.sw, c.sh, c.dw, c.dh, c.n))
        << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
  }
}

TEST(ResizePixels, BadArguments) {
  Bytes src(12), dst(12);
  EXPECT_FALSE(ResizePixels({}, 2, 2, dst, 2, 2, 3));
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
  EXPECT_FALSE(ResizePixels(src, 2, 2, {}, 2, 2, 3));
  EXPECT_FALSE(ResizePixels(src, 0, 2, dst, 2, 2, 3));
  EXPECT_FALSE(ResizePixels(src, 2, 2, dst, 2, 0, 3));
  EXPECT_FALSE(ResizePixels(src, 2, 2, dst, 2, 2, 0));
  EXPECT_FALSE(ResizePixels(src, 3, 2, dst, 2, 2, 3));  // source buffer too small
  EXPECT_FALSE(ResizePixels(src, 2, 2, dst, 3, 2, 3));  // target buffer too small
  EXPECT_EQ(GetLastErrorCode(), kErrArgument);
}

}  // namespace
}  // namespace imaging::test
