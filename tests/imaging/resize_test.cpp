#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

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

struct Case {
  int sw, sh, dw, dh, n;
};

Bytes Noise(size_t size, uint32_t s) {
  Bytes b(size);
  for (uint8_t& v : b) v = static_cast<uint8_t>((s = s * 1664525u + 1013904223u) >> 24);
  return b;
}

// Fixed cases (big reductions, enlargements, single rows and columns, off-by-one sizes)
// and many random ones, up and down in each direction, odd sizes included.
std::vector<Case> ScalingCases() {
  std::vector<Case> cases = {
      {401, 303, 192, 108, 3}, {7, 5, 29, 31, 3},      {64, 48, 64, 17, 4},
      {33, 1, 5, 9, 1},        {1, 1, 6, 4, 3},        {250, 187, 251, 188, 3},
      {4000, 30, 1440, 11, 3}, {30, 3000, 7, 1080, 3}, {3, 2, 1, 1, 3},
      {2, 7, 2, 6, 3},         {9, 9, 10, 8, 4},       {5, 300, 5, 299, 1}};
  uint32_t s = 99;
  auto next = [&](int limit) {
    s = s * 1103515245u + 12345u;
    return 1 + static_cast<int>((s >> 8) % static_cast<uint32_t>(limit));
  };
  for (int i = 0; i < 300; ++i) {
    const int n = i % 3 == 0 ? 3 : (i % 3 == 1 ? 4 : 1);
    cases.push_back({next(70), next(70), next(110), next(110), n});
  }
  return cases;
}

TEST(ResizePixels, SameBytesAsThePerPixelRule) {
  for (const Case& c : ScalingCases()) {
    const Bytes src = Noise(static_cast<size_t>(c.sw) * c.sh * c.n, 7);
    ASSERT_EQ(Resize(src, c.sw, c.sh, c.dw, c.dh, c.n),
              NaiveResize(src, c.sw, c.sh, c.dw, c.dh, c.n))
        << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << ", " << c.n << " bytes";
  }
}

TEST(BitmapSink, SameBitmapAsScalingTheWholePicture) {
  for (const Case& c : ScalingCases()) {
    if (c.n != 3) continue;
    const Bytes src = Noise(static_cast<size_t>(c.sw) * c.sh * 3, 11);
    // The long way: all the pixels scaled, then made into a bitmap.
    const Bytes scaled = NaiveResize(src, c.sw, c.sh, c.dw, c.dh, 3);
    const std::unique_ptr<gfx::Surface> expect = PixelsToBitmap(scaled, c.dw, c.dh);
    ASSERT_TRUE(expect);
    BitmapSink sink([&](int w, int h) {
      EXPECT_EQ(w, c.sw);
      EXPECT_EQ(h, c.sh);
      return std::pair{c.dw, c.dh};
    });
    ASSERT_TRUE(sink.Begin(c.sw, c.sh));
    for (int y = 0; y < c.sh; ++y) sink.Row(src.data() + static_cast<size_t>(y) * c.sw * 3);
    const std::unique_ptr<gfx::Surface> made = sink.Take();
    ASSERT_TRUE(made);
    ASSERT_EQ(made->Width(), c.dw);
    ASSERT_EQ(made->Height(), c.dh);
    ASSERT_TRUE(std::equal(made->Data(), made->Data() + size_t{1} * c.dw * c.dh, expect->Data()))
        << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
  }
}

TEST(BitmapSink, ReadOnlyAndRefusedSizes) {
  const Bytes src = TestPicture(9, 4);
  // No size: the rows are read through and no bitmap is made.
  BitmapSink through([](int, int) { return std::optional<std::pair<int, int>>{}; });
  ASSERT_TRUE(through.Begin(9, 4));
  for (int y = 0; y < 4; ++y) through.Row(src.data() + y * 27);
  EXPECT_FALSE(through.Take());
  EXPECT_EQ(through.Width(), 9);
  EXPECT_EQ(through.Height(), 4);
  // Its own size: the pixels as they are.
  BitmapSink own([](int w, int h) { return std::pair{w, h}; });
  ASSERT_TRUE(own.Begin(9, 4));
  for (int y = 0; y < 4; ++y) own.Row(src.data() + y * 27);
  const auto bitmap = own.Take();
  ASSERT_TRUE(bitmap);
  int w = 0, h = 0;
  const PixelBuffer back = BitmapToPixels(bitmap.get(), &w, &h);
  EXPECT_EQ(Bytes(back.data(), back.data() + back.size()), src);
  // Sizes no bitmap can have are refused at once.
  for (const auto& [tw, th] :
       {std::pair{0, 4}, std::pair{5, -1}, std::pair{70000, 2}, std::pair{40000, 40000}}) {
    BitmapSink bad([&](int, int) { return std::pair{tw, th}; });
    EXPECT_FALSE(bad.Begin(9, 4)) << tw << " x " << th;
    EXPECT_FALSE(bad.Take());
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
