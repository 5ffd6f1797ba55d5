#include "platform/gfx/canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/gfx/png_writer.h"

namespace gfx {
namespace {

// Reference: the operation index's truth table applied bit by bit.
Pixel NaiveRop(uint32_t rop, Pixel p, Pixel s, Pixel d) {
  unsigned index = (rop >> 16) & 0xFF;
  Pixel out = 0;
  for (int bit = 0; bit < 24; ++bit) {
    unsigned k = (((p >> bit) & 1) << 2) | (((s >> bit) & 1) << 1) | ((d >> bit) & 1);
    out |= static_cast<Pixel>((index >> k) & 1) << bit;
  }
  return out;
}

Surface RandomSurface(int w, int h, std::mt19937& rng) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.At(x, y) = rng() & 0xFFFFFF;
  return s;
}

bool SameBits(const Surface& a, const Surface& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

// Reference blit: every pixel checked against both surfaces on its own.
void NaiveBlt(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy,
              uint32_t rop, Pixel brush) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      int dx = x + i, dy = y + j, px = sx + i, py = sy + j;
      if (dx < 0 || dy < 0 || dx >= dst.Width() || dy >= dst.Height()) continue;
      if (px < 0 || py < 0 || px >= src.Width() || py >= src.Height()) continue;
      dst.At(dx, dy) = NaiveRop(rop, brush, src.At(px, py), dst.At(dx, dy));
    }
}

uint32_t RopWithIndex(unsigned index) { return index << 16; }

TEST(Rop, EveryOperationIndexMatchesItsTruthTable) {
  std::mt19937 rng(1);
  for (unsigned index = 0; index < 256; ++index) {
    for (int k = 0; k < 16; ++k) {
      Pixel p = rng() & 0xFFFFFF, s = rng() & 0xFFFFFF, d = rng() & 0xFFFFFF;
      ASSERT_EQ(ApplyRop(RopWithIndex(index), p, s, d), NaiveRop(RopWithIndex(index), p, s, d))
          << "index " << index;
    }
  }
}

TEST(Rop, UsageFlagsOfNamedOperations) {
  EXPECT_TRUE(RopUsesSource(SRCCOPY));
  EXPECT_FALSE(RopUsesPattern(SRCCOPY));
  EXPECT_FALSE(RopUsesDest(SRCCOPY));
  EXPECT_FALSE(RopUsesSource(PATCOPY));
  EXPECT_TRUE(RopUsesPattern(PATINVERT));
  EXPECT_TRUE(RopUsesDest(PATINVERT));
  EXPECT_FALSE(RopUsesSource(DSTINVERT));
  EXPECT_TRUE(RopUsesSource(MERGECOPY));
  EXPECT_TRUE(RopUsesPattern(MERGECOPY));
  EXPECT_FALSE(RopUsesSource(BLACKNESS) || RopUsesPattern(BLACKNESS) || RopUsesDest(BLACKNESS));
}

// All 256 operations through BitBlt (fast paths included) against the reference.
TEST(BitBlt, AllOperationsOnRandomPixels) {
  std::mt19937 rng(2);
  Surface src = RandomSurface(23, 17, rng);
  Surface base = RandomSurface(29, 19, rng);
  const COLORREF brush = RGB(0x12, 0xA5, 0xF0);
  for (unsigned index = 0; index < 256; ++index) {
    uint32_t rop = RopWithIndex(index);
    Surface got = base, want = base;
    Canvas c(got);
    c.BitBlt(3, 2, 20, 15, src, 1, 1, rop, brush);
    NaiveBlt(want, 3, 2, 20, 15, src, 1, 1, rop, PixelFromColorRef(brush));
    ASSERT_TRUE(SameBits(got, want)) << "index " << index;
  }
}

TEST(BitBlt, NamedOperationsUseTheirWindowsValues) {
  Surface dst(1, 1, 0x00F0F0F0), src(1, 1, 0x000FF00F);
  struct Case {
    uint32_t rop;
    Pixel want;
  } cases[] = {{SRCCOPY, 0x0FF00F},    {SRCPAINT, 0xFFF0FF},   {SRCAND, 0x00F000},
               {SRCINVERT, 0xFF00FF},  {NOTSRCCOPY, 0xF00FF0}, {DSTINVERT, 0x0F0F0F},
               {BLACKNESS, 0},         {WHITENESS, 0xFFFFFF},  {SRCERASE, 0x0F000F},
               {NOTSRCERASE, 0x000F00}};
  for (const Case& k : cases) {
    dst.At(0, 0) = 0xF0F0F0;
    Canvas c(dst);
    c.BitBlt(0, 0, 1, 1, src, 0, 0, k.rop);
    EXPECT_EQ(dst.At(0, 0), k.want) << std::hex << k.rop;
  }
}

// Clipping on every edge of both surfaces, negative source coordinates included.
TEST(BitBlt, ClipsToSourceAndTargetLikeThePerPixelReference) {
  std::mt19937 rng(3);
  Surface src = RandomSurface(13, 11, rng);
  Surface base = RandomSurface(17, 15, rng);
  const uint32_t rops[] = {SRCCOPY, SRCPAINT, SRCINVERT, MERGEPAINT};
  std::uniform_int_distribution<int> pos(-20, 25), size(-3, 30);
  for (int k = 0; k < 3000; ++k) {
    int x = pos(rng), y = pos(rng), w = size(rng), h = size(rng), sx = pos(rng), sy = pos(rng);
    uint32_t rop = rops[k % 4];
    Surface got = base, want = base;
    Canvas c(got);
    c.BitBlt(x, y, w, h, src, sx, sy, rop, RGB(1, 2, 3));
    NaiveBlt(want, x, y, w, h, src, sx, sy, rop, PixelFromColorRef(RGB(1, 2, 3)));
    ASSERT_TRUE(SameBits(got, want))
        << x << "," << y << " " << w << "x" << h << " from " << sx << "," << sy;
  }
}

TEST(BitBlt, ExtremeCoordinatesDrawNothingAndDoNotOverflow) {
  Surface dst(8, 8, 7), src(8, 8, 9);
  Canvas c(dst);
  c.BitBlt(INT32_MAX - 2, 0, INT32_MAX, 8, src, 0, 0, SRCCOPY);
  c.BitBlt(0, 0, INT32_MAX, INT32_MAX, src, INT32_MIN, INT32_MIN, SRCCOPY);
  c.BitBlt(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, src, 0, 0, SRCCOPY);
  EXPECT_TRUE(SameBits(dst, Surface(8, 8, 7)));
  EXPECT_TRUE(c.TakeDirty().IsEmpty());
}

// Scrolling within one surface in every direction equals copying from a snapshot.
TEST(BitBlt, OverlappingCopyWithinOneSurface) {
  std::mt19937 rng(4);
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      for (uint32_t rop : {SRCCOPY, SRCINVERT}) {
        Surface got = RandomSurface(12, 10, rng);
        Surface want = got;
        Surface snapshot = got;
        Canvas c(got);
        c.BitBlt(2 + dx, 2 + dy, 8, 6, got, 2, 2, rop);
        NaiveBlt(want, 2 + dx, 2 + dy, 8, 6, snapshot, 2, 2, rop, 0);
        ASSERT_TRUE(SameBits(got, want)) << dx << "," << dy;
      }
}

// The plain copy every copy path shares, against a loop over the target's pixels: every
// edge out, fully out, negative and far origins, source clipping; each at its own width
// and at the widths with loops of their own (1 and 8), from another surface and within one.
TEST(CopyRect, ClipsLikeAPixelLoop) {
  struct Case {
    const char* what;
    int x, y, w, h, sx, sy;
  };
  constexpr int kMax = INT32_MAX, kMin = INT32_MIN;
  const Case cases[] = {
      {"inside", 3, 2, 5, 4, 1, 1},
      {"left edge out", -3, 2, 6, 4, 0, 0},
      {"right edge out", 16, 2, 6, 4, 0, 0},
      {"top edge out", 3, -2, 5, 4, 0, 0},
      {"bottom edge out", 3, 13, 5, 4, 0, 0},
      {"every edge out", -4, -3, 30, 25, 0, 0},
      {"fully out left", -10, 2, 5, 4, 0, 0},
      {"fully out below", 3, 15, 5, 4, 0, 0},
      {"negative source origin", 4, 4, 6, 5, -3, -2},
      {"source right and bottom edges", 0, 0, 12, 10, 8, 7},
      {"source fully out", 0, 0, 4, 4, 12, 0},
      {"source and target both cut", -2, 12, 14, 9, -1, 3},
      {"empty", 2, 2, 0, 4, 0, 0},
      {"negative size", 2, 2, 3, -1, 0, 0},
      {"far target", kMax - 2, 0, 8, 4, 0, 0},
      {"far source", 0, 0, kMax, kMax, kMin, kMin},
      {"huge size", kMin, kMin, kMax, kMax, 0, 0},
  };
  std::mt19937 rng(6);
  const Surface picture = RandomSurface(12, 10, rng);
  const Surface base = RandomSurface(20, 16, rng);
  for (const Case& k : cases)
    for (int w : {k.w, 1, 8})
      for (bool within : {false, true}) {
        Surface got = base;
        const Surface& src = within ? got : picture;
        const Surface& from = within ? base : picture;
        Canvas c(got);
        c.CopyRect(k.x, k.y, w, k.h, src, k.sx, k.sy);

        Surface want = base;
        Rect changed{};
        for (int64_t Y = 0; Y < want.Height(); ++Y)
          for (int64_t X = 0; X < want.Width(); ++X) {
            const int64_t i = X - k.x, j = Y - k.y, px = k.sx + i, py = k.sy + j;
            if (i < 0 || j < 0 || i >= w || j >= k.h) continue;
            if (px < 0 || py < 0 || px >= from.Width() || py >= from.Height()) continue;
            want.At(static_cast<int>(X), static_cast<int>(Y)) =
                from.At(static_cast<int>(px), static_cast<int>(py));
            changed = Union(changed, Rect{static_cast<int>(X), static_cast<int>(Y),
                                          static_cast<int>(X) + 1, static_cast<int>(Y) + 1});
          }
        EXPECT_TRUE(SameBits(got, want)) << k.what << " width " << w << (within ? " within" : "");
        EXPECT_EQ(c.TakeDirty(), changed) << k.what << " width " << w << (within ? " within" : "");
      }
}

TEST(PatBlt, FillsClipsAndIgnoresOperationsNeedingASource) {
  Surface s(10, 10, 0x010101);
  Canvas c(s);
  c.FillRect(Rect{-5, 8, 3, 20}, RGB(0xFF, 0, 0));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(s.At(x, y), (x < 3 && y >= 8) ? 0xFF0000u : 0x010101u);
  EXPECT_EQ(c.TakeDirty(), (Rect{0, 8, 3, 10}));
  c.PatBlt(Rect{0, 0, 10, 10}, 0, SRCCOPY);
  c.FillRect(Rect{5, 5, 5, 9}, 0);  // empty width
  c.FillRect(Rect{6, 6, 2, 2}, 0);  // inverted
  EXPECT_EQ(s.At(5, 5), 0x010101u);
  EXPECT_EQ(s.At(4, 4), 0x010101u);
  EXPECT_TRUE(c.TakeDirty().IsEmpty());
  c.PatBlt(Rect{0, 0, 1, 1}, RGB(0xFF, 0xFF, 0), PATINVERT);
  EXPECT_EQ(s.At(0, 0), 0x010101u ^ 0xFFFF00u);
}

// Reference for the documented stretch mapping.
void NaiveStretch(Surface& dst, int x, int y, int w, int h, const Surface& src, int sx, int sy,
                  int sw, int sh) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      int px = sx + static_cast<int>((2LL * i + 1) * sw / (2LL * w));
      int py = sy + static_cast<int>((2LL * j + 1) * sh / (2LL * h));
      int dx = x + i, dy = y + j;
      if (dx < 0 || dy < 0 || dx >= dst.Width() || dy >= dst.Height()) continue;
      if (px < 0 || py < 0 || px >= src.Width() || py >= src.Height()) continue;
      dst.At(dx, dy) = src.At(px, py);
    }
}

TEST(StretchBlt, NearestPixelMappingMatchesReference) {
  std::mt19937 rng(5);
  Surface src = RandomSurface(9, 7, rng);
  std::uniform_int_distribution<int> pos(-6, 12), size(1, 25);
  for (int k = 0; k < 1500; ++k) {
    int x = pos(rng), y = pos(rng), w = size(rng), h = size(rng);
    int sx = pos(rng) / 2, sy = pos(rng) / 2, sw = size(rng) / 2 + 1, sh = size(rng) / 2 + 1;
    Surface got(14, 12, 0x123456), want(14, 12, 0x123456);
    Canvas c(got);
    c.StretchBlt(x, y, w, h, src, sx, sy, sw, sh, SRCCOPY);
    NaiveStretch(want, x, y, w, h, src, sx, sy, sw, sh);
    ASSERT_TRUE(SameBits(got, want)) << x << "," << y << " " << w << "x" << h << " from " << sx
                                     << "," << sy << " " << sw << "x" << sh;
  }
}

TEST(StretchBlt, DoublingRepeatsPixelsAndHalvingPicksCentres) {
  Surface src(4, 1);
  for (int i = 0; i < 4; ++i) src.At(i, 0) = static_cast<Pixel>(i + 1);
  Surface big(8, 1);
  Canvas(big).StretchBlt(0, 0, 8, 1, src, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(std::vector<Pixel>(big.Data(), big.Data() + 8),
            (std::vector<Pixel>{1, 1, 2, 2, 3, 3, 4, 4}));
  Surface small(2, 1);
  Canvas(small).StretchBlt(0, 0, 2, 1, src, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(small.At(0, 0), 2u);
  EXPECT_EQ(small.At(1, 0), 4u);
}

TEST(StretchBlt, OppositeSignsMirror) {
  Surface src(3, 1);
  for (int i = 0; i < 3; ++i) src.At(i, 0) = static_cast<Pixel>(i + 1);
  Surface dst(5, 1, 0);
  // Destination [4 - 3, 4) = columns 1..3, mirrored.
  Canvas(dst).StretchBlt(4, 0, -3, 1, src, 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(std::vector<Pixel>(dst.Data(), dst.Data() + 5), (std::vector<Pixel>{0, 3, 2, 1, 0}));
  Surface same(5, 1, 0);
  // Both negative: no mirror.
  Canvas(same).StretchBlt(4, 0, -3, 1, src, 3, 0, -3, 1, SRCCOPY);
  EXPECT_EQ(std::vector<Pixel>(same.Data(), same.Data() + 5), (std::vector<Pixel>{0, 1, 2, 3, 0}));
}

TEST(StretchBlt, WithRopAndZeroSizes) {
  Surface src(2, 2, 0x0000FF), dst(4, 4, 0xFF0000);
  Canvas c(dst);
  c.StretchBlt(0, 0, 0, 4, src, 0, 0, 2, 2, SRCCOPY);
  c.StretchBlt(0, 0, 4, 4, src, 0, 0, 0, 2, SRCCOPY);
  EXPECT_TRUE(c.TakeDirty().IsEmpty());
  c.StretchBlt(0, 0, 4, 4, src, 0, 0, 2, 2, SRCPAINT);
  EXPECT_EQ(dst.At(3, 3), 0xFF00FFu);
  EXPECT_EQ(c.TakeDirty(), (Rect{0, 0, 4, 4}));
}

std::vector<std::pair<int, int>> Marked(const Surface& s, Pixel color) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.At(x, y) == color) out.emplace_back(x, y);
  return out;
}

constexpr Pixel kBlank = 0x808080;

TEST(DrawLine, EndPointExcludedAndOnePixelPerMajorStep) {
  const int ends[][4] = {{1, 1, 9, 1},  {9, 1, 1, 1},  {2, 2, 2, 10}, {2, 10, 2, 2}, {0, 0, 11, 5},
                         {11, 5, 0, 0}, {3, 11, 7, 0}, {0, 0, 6, 6},  {6, 6, 0, 0},  {5, 5, 5, 5}};
  for (const auto& e : ends) {
    Surface s(12, 12, kBlank);
    Canvas c(s);
    c.DrawLine(e[0], e[1], e[2], e[3], Pen{PS_SOLID, 1, RGB(255, 255, 255)});
    auto px = Marked(s, 0xFFFFFF);
    size_t steps = static_cast<size_t>(std::max(std::abs(e[2] - e[0]), std::abs(e[3] - e[1])));
    ASSERT_EQ(px.size(), steps);
    EXPECT_EQ(s.At(e[2], e[3]), kBlank);
    if (steps) {
      EXPECT_EQ(s.At(e[0], e[1]), 0xFFFFFFu);
    }
  }
}

// Reference: the incremental Bresenham loop with GDI's per-octant bias.
std::vector<std::pair<int, int>> NaiveLine(int x1, int y1, int x2, int y2) {
  int dx = x2 - x1, dy = y2 - y1;
  int octant = dy > 0 ? (dx > 0 ? (dx > dy ? 1 : 2) : (-dx > dy ? 4 : 3))
                      : (dx < 0 ? (-dx > -dy ? 5 : 6) : (dx > -dy ? 8 : 7));
  int bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
  int xadd = dx < 0 ? -1 : 1, yadd = dy < 0 ? -1 : 1;
  dx = std::abs(dx);
  dy = std::abs(dy);
  std::vector<std::pair<int, int>> out;
  if (dx > dy) {
    int err = 2 * dy - dx;
    for (int n = 0; n < dx; ++n, x1 += xadd) {
      out.emplace_back(x1, y1);
      if (err + bias > 0) {
        y1 += yadd;
        err += 2 * dy - 2 * dx;
      } else {
        err += 2 * dy;
      }
    }
  } else {
    int err = 2 * dx - dy;
    for (int n = 0; n < dy; ++n, y1 += yadd) {
      out.emplace_back(x1, y1);
      if (err + bias > 0) {
        x1 += xadd;
        err += 2 * dx - 2 * dy;
      } else {
        err += 2 * dx;
      }
    }
  }
  std::sort(out.begin(), out.end(), [](auto a, auto b) {
    return std::pair(a.second, a.first) < std::pair(b.second, b.first);
  });
  return out;
}

TEST(DrawLine, MatchesIncrementalBresenhamInEveryOctant) {
  for (int x2 = 0; x2 <= 16; ++x2)
    for (int y2 = 0; y2 <= 16; ++y2) {
      Surface s(17, 17, kBlank);
      Canvas(s).DrawLine(8, 8, x2, y2, Pen{PS_SOLID, 1, RGB(0, 0, 255)});
      ASSERT_EQ(Marked(s, 0x0000FF), NaiveLine(8, 8, x2, y2)) << "to " << x2 << "," << y2;
    }
  // Half steps: down-right keeps to the start's row, up-right (octant 8) leaves it.
  Surface s(4, 4, kBlank);
  Canvas(s).DrawLine(0, 0, 2, 1, Pen{PS_SOLID, 0, RGB(0, 0, 255)});
  EXPECT_EQ(Marked(s, 0x0000FF), (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}}));
  Surface u(4, 4, kBlank);
  Canvas(u).DrawLine(0, 2, 2, 1, Pen{PS_SOLID, 0, RGB(0, 0, 255)});
  EXPECT_EQ(Marked(u, 0x0000FF), (std::vector<std::pair<int, int>>{{1, 1}, {0, 2}}));
}

// A clipped line has exactly the pixels of the same line drawn on a larger surface.
TEST(DrawLine, ClippingKeepsThePixelsOfTheUnclippedLine) {
  std::mt19937 rng(6);
  std::uniform_int_distribution<int> coord(-40, 60);
  for (int k = 0; k < 2000; ++k) {
    int x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
    int style = k % 5;  // solid and the dash styles
    Surface small(20, 16, kBlank), big(200, 200, kBlank);
    Canvas cs(small), cb(big);
    cs.SetBkMode(TRANSPARENT);
    cb.SetBkMode(TRANSPARENT);
    cs.DrawLine(x1, y1, x2, y2, Pen{style, 1, RGB(1, 2, 3)});
    cb.DrawLine(x1 + 80, y1 + 80, x2 + 80, y2 + 80, Pen{style, 1, RGB(1, 2, 3)});
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_EQ(small.At(x, y), big.At(x + 80, y + 80))
            << x1 << "," << y1 << "-" << x2 << "," << y2 << " style " << style;
  }
}

TEST(DrawLine, DashPatternsAndBackgroundMode) {
  struct Case {
    int style;
    std::vector<int> runs;
  } cases[] = {{PS_DASH, {18, 6}},
               {PS_DOT, {3, 3}},
               {PS_DASHDOT, {9, 6, 3, 6}},
               {PS_DASHDOTDOT, {9, 3, 3, 3, 3, 3}}};
  for (const Case& k : cases) {
    for (int mode : {TRANSPARENT, OPAQUE}) {
      Surface s(100, 1, kBlank);
      Canvas c(s);
      c.SetBkMode(mode);
      c.SetBkColor(RGB(0, 255, 0));
      c.DrawLine(0, 0, 100, 0, Pen{k.style, 1, RGB(255, 0, 0)});
      int x = 0;
      for (size_t r = 0; x < 100; r = (r + 1) % k.runs.size()) {
        Pixel want = (r % 2 == 0) ? 0xFF0000 : (mode == OPAQUE ? 0x00FF00 : kBlank);
        for (int n = 0; n < k.runs[r] && x < 100; ++n, ++x)
          ASSERT_EQ(s.At(x, 0), want) << "style " << k.style << " x " << x;
      }
    }
  }
}

TEST(DrawLine, NullPenDrawsNothingAndInsideFrameIsSolid) {
  Surface s(10, 10, kBlank);
  Canvas c(s);
  c.DrawLine(0, 5, 10, 5, Pen{PS_NULL, 1, 0});
  EXPECT_TRUE(Marked(s, 0).empty());
  EXPECT_TRUE(c.TakeDirty().IsEmpty());
  c.DrawLine(0, 5, 10, 5, Pen{PS_INSIDEFRAME, 1, 0});
  EXPECT_EQ(Marked(s, 0).size(), 10u);
}

TEST(DrawLine, WidePensCoverTheirWidth) {
  for (int width : {2, 3, 4, 7}) {
    Surface s(60, 30, kBlank);
    Canvas c(s);
    c.DrawLine(10, 15, 50, 15, Pen{PS_DASH, width, RGB(0, 0, 1)});  // wide dashes are solid
    for (int x = 12; x < 48; ++x) {
      int n = 0;
      for (int y = 0; y < 30; ++y) n += s.At(x, y) == 0x000001;
      ASSERT_EQ(n, width) << "width " << width << " column " << x;
    }
    // Vertical: the same across columns.
    Surface v(30, 60, kBlank);
    Canvas(v).DrawLine(15, 10, 15, 50, Pen{PS_SOLID, width, RGB(0, 0, 1)});
    for (int y = 12; y < 48; ++y) {
      int n = 0;
      for (int x = 0; x < 30; ++x) n += v.At(x, y) == 0x000001;
      ASSERT_EQ(n, width) << "width " << width << " row " << y;
    }
  }
}

TEST(DrawLine, WideDiagonalIsConnectedAndClipped) {
  Surface s(40, 40, kBlank);
  Canvas c(s);
  c.DrawLine(-10, -10, 60, 60, Pen{PS_SOLID, 5, RGB(9, 9, 9)});
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(s.At(i, i), 0x090909u);
    if (i + 4 < 40) {
      EXPECT_EQ(s.At(i + 4, i), kBlank);
    }
  }
  EXPECT_EQ(c.TakeDirty(), (Rect{0, 0, 40, 40}));
}

TEST(DrawLine, HugeCoordinatesDoNotOverflow) {
  Surface s(10, 10, kBlank);
  Canvas c(s);
  c.DrawLine(-(1 << 28), 5, 1 << 28, 5, Pen{PS_DOT, 1, 0});
  EXPECT_TRUE(s.At(0, 5) == 0 || s.At(0, 5) == 0xFFFFFF);
  // Beyond the drawable range: refused, not wrapped around.
  Surface before = s;
  c.DrawLine(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, Pen{PS_SOLID, 9, 0});
  c.DrawLine(INT32_MIN, 3, INT32_MAX, 3, Pen{PS_SOLID, 1, 0});
  EXPECT_TRUE(SameBits(s, before));
}

TEST(DrawTransparent, LeavesOutTheKeyColour) {
  Surface src(3, 1), dst(5, 1, kBlank);
  src.At(0, 0) = 0xFF0000;
  src.At(1, 0) = 0x00FF00;  // the key
  src.At(2, 0) = 0x0000FF;
  Canvas c(dst);
  c.DrawTransparent(-1, 0, 3, 1, src, 0, 0, RGB(0, 255, 0));
  EXPECT_EQ(dst.At(0, 0), kBlank);  // key
  EXPECT_EQ(dst.At(1, 0), 0x0000FFu);
  c.DrawTransparent(3, 0, 3, 1, src, 0, 0, RGB(0, 255, 0));
  EXPECT_EQ(dst.At(3, 0), 0xFF0000u);
  EXPECT_EQ(dst.At(4, 0), kBlank);
}

TEST(TileBlt, RepeatsFromTheOrigin) {
  Surface tile(2, 2);
  tile.At(0, 0) = 1;
  tile.At(1, 0) = 2;
  tile.At(0, 1) = 3;
  tile.At(1, 1) = 4;
  Surface s(5, 3, 0);
  Canvas c(s);
  c.TileBlt(Rect{0, 0, 5, 3}, tile, 1, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(s.At(x, y), tile.At(((x - 1) % 2 + 2) % 2, y % 2)) << x << "," << y;
}

TEST(Dirty, UnionOfDrawnAreasClippedToTheTarget) {
  Surface s(100, 100);
  Canvas c(s);
  EXPECT_TRUE(c.TakeDirty().IsEmpty());
  c.FillRect(Rect{10, 10, 20, 20}, 0);
  c.FillRect(Rect{50, 5, 60, 15}, 0);
  c.MarkDirty(Rect{90, 90, 200, 200});
  EXPECT_EQ(c.TakeDirty(), (Rect{10, 5, 100, 100}));
  EXPECT_TRUE(c.TakeDirty().IsEmpty());
  c.DrawLine(5, 7, 9, 7, Pen{});
  EXPECT_EQ(c.TakeDirty(), (Rect{5, 7, 9, 8}));
}

TEST(RectOps, IntersectAndUnion) {
  EXPECT_EQ(Intersect(Rect{0, 0, 10, 10}, Rect{5, 5, 20, 20}), (Rect{5, 5, 10, 10}));
  EXPECT_TRUE(Intersect(Rect{0, 0, 10, 10}, Rect{10, 0, 20, 10}).IsEmpty());
  EXPECT_EQ(Union(Rect{}, Rect{1, 2, 3, 4}), (Rect{1, 2, 3, 4}));
  EXPECT_EQ(Union(Rect{0, 0, 1, 1}, Rect{5, 5, 6, 6}), (Rect{0, 0, 6, 6}));
}

}  // namespace
}  // namespace gfx

namespace gfx {
namespace {

uint64_t HashBits(const Surface& s) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      h ^= s.At(x, y);
      h *= 1099511628211ull;
    }
  return h;
}

// One picture through every primitive; the hash pins the exact bits so that a change to
// any rasterising rule shows up here first.
TEST(Golden, MixedScene) {
  std::mt19937 rng(11);
  Surface pic(37, 23);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) pic.At(x, y) = rng() & 0xFFFFFF;
  Surface s(160, 120, 0x102030);
  Canvas c(s);
  c.StretchBlt(5, 5, 90, 70, pic, 0, 0, 37, 23, SRCCOPY);
  c.StretchBlt(150, 110, -40, -30, pic, 3, 2, 20, 15, SRCINVERT);
  c.BitBlt(60, 40, 37, 23, pic, 0, 0, MERGECOPY, RGB(0x80, 0x40, 0xC0));
  c.PatBlt(Rect{0, 100, 160, 120}, RGB(0x0F, 0xF0, 0x33), PATINVERT);
  int style = 0;
  for (int a = 0; a < 360; a += 15, ++style) {
    double r = a * 3.14159265358979 / 180;
    int x2 = 80 + static_cast<int>(std::lround(70 * std::cos(r)));
    int y2 = 60 + static_cast<int>(std::lround(55 * std::sin(r)));
    c.SetBkMode(style % 2 ? TRANSPARENT : OPAQUE);
    c.DrawLine(80, 60, x2, y2, Pen{style % 5, 1, RGB(255, static_cast<uint8_t>(a), 0)});
  }
  c.DrawLine(10, 110, 150, 20, Pen{PS_SOLID, 4, RGB(0, 255, 255)});
  c.DrawLine(20, 10, 30, 100, Pen{PS_INSIDEFRAME, 3, RGB(255, 255, 255)});
  c.DrawTransparent(100, 5, 37, 23, pic, 0, 0, ColorRefFromPixel(pic.At(0, 0)));
  // SP_GOLDEN_PNG=path writes the picture for a look when the hash has to change.
  if (const char* path = std::getenv("SP_GOLDEN_PNG")) WritePng(s, path);
  EXPECT_EQ(HashBits(s), 9166966716566717268ull);
}

}  // namespace
}  // namespace gfx
