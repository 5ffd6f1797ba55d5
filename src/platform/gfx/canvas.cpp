#include "platform/gfx/canvas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace gfx {
namespace {

constexpr Pixel kRgbMask = 0x00FFFFFF;
// Bands this narrow are copied often enough (column by column wipes) to get a loop of
// their own.
constexpr int kNarrowCopy = 8;

// A ternary operation with a solid pattern P reduces, per source pixel S, to
//   result = (D & A(P, S)) ^ X(P, S)
// where X is the result for D = 0 and A says which bits follow D. Both are two-variable
// functions of P and S, stored as 4-entry truth tables (index p * 2 + s).
struct RopTerms {
  uint8_t x;  // bit (p*2+s): result when D = 0
  uint8_t a;  // bit (p*2+s): result differs between D = 0 and D = 1
};

constexpr RopTerms MakeTerms(unsigned index) {
  RopTerms t{0, 0};
  for (unsigned ps = 0; ps < 4; ++ps) {
    unsigned f0 = (index >> (ps * 2)) & 1;      // D = 0
    unsigned f1 = (index >> (ps * 2 + 1)) & 1;  // D = 1
    t.x = static_cast<uint8_t>(t.x | (f0 << ps));
    t.a = static_cast<uint8_t>(t.a | ((f0 ^ f1) << ps));
  }
  return t;
}

constexpr std::array<RopTerms, 256> MakeTable() {
  std::array<RopTerms, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = MakeTerms(i);
  return table;
}

// Indexed by the operation index, bits 16..23 of the raster operation code.
constexpr std::array<RopTerms, 256> kRopTable = MakeTable();

constexpr unsigned RopIndex(uint32_t rop) { return (rop >> 16) & 0xFF; }

Pixel Mask(bool on) { return on ? kRgbMask : 0; }

// Bitwise value of a 2-variable truth table for a fixed P and S = s (0 or all ones).
Pixel Eval2(uint8_t table, Pixel p, bool s) {
  unsigned s0 = s ? 1 : 0;
  Pixel whenP0 = Mask((table >> s0) & 1);
  Pixel whenP1 = Mask((table >> (2 + s0)) & 1);
  return ((p & whenP1) | (~p & whenP0)) & kRgbMask;
}

// Per-row constants of one operation and one brush.
struct RowOp {
  Pixel x0, xs, a0, as;  // X = (S & xs) ^ x0, A = (S & as) ^ a0

  RowOp(uint32_t rop, Pixel brush) {
    const RopTerms& t = kRopTable[RopIndex(rop)];
    x0 = Eval2(t.x, brush, false);
    xs = x0 ^ Eval2(t.x, brush, true);
    a0 = Eval2(t.a, brush, false);
    as = a0 ^ Eval2(t.a, brush, true);
  }
  Pixel Apply(Pixel s, Pixel d) const {
    Pixel x = (s & xs) ^ x0;
    Pixel a = (s & as) ^ a0;
    return ((d & a) ^ x) & kRgbMask;
  }
};

// Combines n source pixels into dst; the source row must not overlap dst.
void RopRow(Pixel* dst, const Pixel* src, int n, uint32_t rop, const RowOp& op) {
  switch (RopIndex(rop)) {
    case 0xCC:  // SRCCOPY
      std::memcpy(dst, src, static_cast<size_t>(n) * sizeof(Pixel));
      return;
    case 0xEE:  // SRCPAINT
      for (int i = 0; i < n; ++i) dst[i] |= src[i];
      return;
    case 0x88:  // SRCAND
      for (int i = 0; i < n; ++i) dst[i] &= src[i];
      return;
    case 0x66:  // SRCINVERT
      for (int i = 0; i < n; ++i) dst[i] ^= src[i];
      return;
    case 0x33:  // NOTSRCCOPY
      for (int i = 0; i < n; ++i) dst[i] = ~src[i] & kRgbMask;
      return;
    default:
      for (int i = 0; i < n; ++i) dst[i] = op.Apply(src[i], dst[i]);
  }
}

// Operations without a source: the pattern and the destination only.
void PatRow(Pixel* dst, int n, uint32_t rop, Pixel brush, const RowOp& op) {
  switch (RopIndex(rop)) {
    case 0xF0:  // PATCOPY
      std::fill(dst, dst + n, brush);
      return;
    case 0x00:  // BLACKNESS
      std::fill(dst, dst + n, Pixel{0});
      return;
    case 0xFF:  // WHITENESS
      std::fill(dst, dst + n, kRgbMask);
      return;
    case 0xAA:  // destination unchanged
      return;
    case 0x55:  // DSTINVERT
      for (int i = 0; i < n; ++i) dst[i] = ~dst[i] & kRgbMask;
      return;
    case 0x5A:  // PATINVERT
      for (int i = 0; i < n; ++i) dst[i] ^= brush;
      return;
    default:
      for (int i = 0; i < n; ++i) dst[i] = op.Apply(0, dst[i]);
  }
}

Rect Bounds(const Surface& s) { return Rect{0, 0, s.Width(), s.Height()}; }

// Clips a copy of w x h pixels from (sx, sy) in a source of size srcBounds to (x, y) in a
// target of size dstBounds. Returns false when nothing is left.
bool ClipCopy(int& x, int& y, int& w, int& h, int& sx, int& sy, const Rect& srcBounds,
              const Rect& dstBounds) {
  if (w <= 0 || h <= 0) return false;
  // 64-bit while clipping: callers may pass anything.
  int64_t X = x, Y = y, W = w, H = h, SX = sx, SY = sy;
  auto clipAxis = [](int64_t& d, int64_t& s, int64_t& len, int64_t lo, int64_t hi) {
    if (s < lo) {
      d += lo - s;
      len -= lo - s;
      s = lo;
    }
    if (s + len > hi) len = hi - s;
  };
  clipAxis(X, SX, W, srcBounds.left, srcBounds.right);
  clipAxis(Y, SY, H, srcBounds.top, srcBounds.bottom);
  clipAxis(SX, X, W, dstBounds.left, dstBounds.right);
  clipAxis(SY, Y, H, dstBounds.top, dstBounds.bottom);
  if (W <= 0 || H <= 0) return false;
  x = static_cast<int>(X);
  y = static_cast<int>(Y);
  w = static_cast<int>(W);
  h = static_cast<int>(H);
  sx = static_cast<int>(SX);
  sy = static_cast<int>(SY);
  return true;
}

// h rows of w pixels between buffers that do not overlap.
void CopyRows(Pixel* d, size_t dstStride, const Pixel* s, size_t srcStride, int w, int h) {
  // A copy call per row costs far more than the few pixels of a narrow column; fixed
  // widths keep such rows to plain moves.
  if (w == 1) {
    for (int i = 0; i < h; ++i, s += srcStride, d += dstStride) *d = *s;
  } else if (w == kNarrowCopy) {
    for (int i = 0; i < h; ++i, s += srcStride, d += dstStride) std::copy_n(s, kNarrowCopy, d);
  } else {
    for (int i = 0; i < h; ++i, s += srcStride, d += dstStride)
      std::memcpy(d, s, static_cast<size_t>(w) * sizeof(Pixel));
  }
}

// Dash patterns of cosmetic pens, alternating on and off lengths in pixels.
struct DashPattern {
  std::array<int, 6> lengths;
  int count;
};
constexpr DashPattern kDash{{18, 6}, 2};
constexpr DashPattern kDot{{3, 3}, 2};
constexpr DashPattern kDashDot{{9, 6, 3, 6}, 4};
constexpr DashPattern kDashDotDot{{9, 3, 3, 3, 3, 3}, 6};

const DashPattern* PatternOf(int style) {
  switch (style) {
    case PS_DASH:
      return &kDash;
    case PS_DOT:
      return &kDot;
    case PS_DASHDOT:
      return &kDashDot;
    case PS_DASHDOTDOT:
      return &kDashDotDot;
    default:
      return nullptr;
  }
}

// Coordinates further out than this are not drawn as lines: it keeps the step arithmetic
// inside 64 bits.
constexpr int64_t kMaxLineCoord = int64_t{1} << 29;

// Closed interval [lo, hi] of reals; empty when lo > hi.
struct Span {
  double lo, hi;
  bool Empty() const { return lo > hi; }
};
constexpr double kInf = std::numeric_limits<double>::infinity();

// The X for which lo <= a * X + b <= hi.
Span SolveLinear(double a, double b, double lo, double hi) {
  if (a == 0.0) return (b >= lo && b <= hi) ? Span{-kInf, kInf} : Span{1, 0};
  double u = (lo - b) / a, v = (hi - b) / a;
  return a > 0 ? Span{u, v} : Span{v, u};
}

Span Meet(Span a, Span b) { return Span{std::max(a.lo, b.lo), std::min(a.hi, b.hi)}; }

// The X with (X - cx)^2 + (Y - cy)^2 <= r^2.
Span CircleRow(double cx, double cy, double r, double Y) {
  double dy = Y - cy;
  double q = r * r - dy * dy;
  if (q < 0) return Span{1, 0};
  double h = std::sqrt(q);
  return Span{cx - h, cx + h};
}

// Calls row(d, s, w) for each of the h rows of a w-pixel copy from (sx, sy) of src to
// (x, y) of dst, both already clipped. Within one surface the rows are walked away from the
// overlap and read through a row buffer.
template <class RowFn>
void ForEachCopiedRow(Surface& dst, const Surface& src, int x, int y, int w, int h, int sx, int sy,
                      RowFn row) {
  const bool same = &src == &dst;
  std::vector<Pixel> buffer;
  if (same) buffer.resize(static_cast<size_t>(w));
  const bool upward = same && sy < y;
  for (int i = 0; i < h; ++i) {
    int r = upward ? h - 1 - i : i;
    Pixel* d = dst.Row(y + r) + x;
    const Pixel* s = src.Row(sy + r) + sx;
    if (same) {
      std::memmove(buffer.data(), s, static_cast<size_t>(w) * sizeof(Pixel));
      s = buffer.data();
    }
    row(d, s);
  }
}

}  // namespace

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  return r.IsEmpty() ? Rect{} : r;
}

Rect Union(const Rect& a, const Rect& b) {
  if (a.IsEmpty()) return b.IsEmpty() ? Rect{} : b;
  if (b.IsEmpty()) return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

Pixel ApplyRop(uint32_t rop, Pixel pattern, Pixel source, Pixel dest) {
  return RowOp(rop, pattern & kRgbMask).Apply(source & kRgbMask, dest & kRgbMask);
}

Canvas::Canvas(Surface& target) : target_(target) {}

void Canvas::MarkDirty(const Rect& r) { dirty_ = Union(dirty_, Intersect(r, Bounds(target_))); }

Rect Canvas::TakeDirty() {
  Rect d = dirty_;
  dirty_ = Rect{};
  return d;
}

void Canvas::FillRect(const Rect& r, COLORREF color) { PatBlt(r, color, PATCOPY); }

void Canvas::PatBlt(const Rect& r, COLORREF brush, uint32_t rop) {
  if (RopUsesSource(rop)) return;  // no source to read
  Rect c = Intersect(r, Bounds(target_));
  if (c.IsEmpty()) return;
  Pixel b = PixelFromColorRef(brush);
  RowOp op(rop, b);
  for (int y = c.top; y < c.bottom; ++y) PatRow(target_.Row(y) + c.left, c.Width(), rop, b, op);
  MarkDirty(c);
}

void Canvas::BitBlt(int x, int y, int w, int h, const Surface& src, int sx, int sy, uint32_t rop,
                    COLORREF brush) {
  if (!RopUsesSource(rop)) {
    if (w <= 0 || h <= 0) return;
    int64_t r = int64_t{x} + w, b = int64_t{y} + h;
    PatBlt(Rect{x, y, static_cast<int>(std::min<int64_t>(r, std::numeric_limits<int>::max())),
                static_cast<int>(std::min<int64_t>(b, std::numeric_limits<int>::max()))},
           brush, rop);
    return;
  }
  if (RopIndex(rop) == RopIndex(SRCCOPY)) {
    CopyRect(x, y, w, h, src, sx, sy);
    return;
  }
  if (!ClipCopy(x, y, w, h, sx, sy, Bounds(src), Bounds(target_))) return;
  Pixel b = PixelFromColorRef(brush);
  RowOp op(rop, b);
  ForEachCopiedRow(target_, src, x, y, w, h, sx, sy,
                   [&](Pixel* d, const Pixel* s) { RopRow(d, s, w, rop, op); });
  MarkDirty(Rect{x, y, x + w, y + h});
}

void Canvas::CopyRect(int x, int y, int w, int h, const Surface& src, int sx, int sy) {
  if (!ClipCopy(x, y, w, h, sx, sy, Bounds(src), Bounds(target_))) return;
  if (&src == &target_) {
    // Rows away from the overlap; memmove within a row.
    const bool upward = sy < y;
    for (int i = 0; i < h; ++i) {
      const int r = upward ? h - 1 - i : i;
      std::memmove(target_.Row(y + r) + x, src.Row(sy + r) + sx,
                   static_cast<size_t>(w) * sizeof(Pixel));
    }
  } else {
    CopyRows(target_.Row(y) + x, target_.Stride(), src.Row(sy) + sx, src.Stride(), w, h);
  }
  MarkDirty(Rect{x, y, x + w, y + h});
}

void Canvas::CopyPixels(int x, int y, int w, int h, const Pixel* src, size_t stride) {
  int sx = 0, sy = 0;
  if (!src || !ClipCopy(x, y, w, h, sx, sy, Rect{0, 0, w, h}, Bounds(target_))) return;
  CopyRows(target_.Row(y) + x, target_.Stride(), src + static_cast<size_t>(sy) * stride + sx,
           stride, w, h);
  MarkDirty(Rect{x, y, x + w, y + h});
}

// Mapping: destination pixel i of W (counted from the left edge of the normalised
// destination) samples source pixel floor((2i + 1) * SW / (2W)) of SW, the source pixel
// under the destination pixel's centre. A negative width or height stands for the
// rectangle [x + w, x) and mirrors when the signs of the two sizes differ.
void Canvas::StretchBlt(int x, int y, int w, int h, const Surface& src, int sx, int sy, int sw,
                        int sh, uint32_t rop) {
  if (w == 0 || h == 0 || sw == 0 || sh == 0) return;
  if (!RopUsesSource(rop)) {
    int64_t l = std::min<int64_t>(x, int64_t{x} + w), t = std::min<int64_t>(y, int64_t{y} + h);
    int64_t r = l + std::llabs(w), b = t + std::llabs(h);
    auto clampInt = [](int64_t v) {
      return static_cast<int>(
          std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    PatBlt(Rect{clampInt(l), clampInt(t), clampInt(r), clampInt(b)}, 0, rop);
    return;
  }
  const bool mirrorX = (w < 0) != (sw < 0);
  const bool mirrorY = (h < 0) != (sh < 0);
  int64_t dx0 = w < 0 ? int64_t{x} + w : x, dy0 = h < 0 ? int64_t{y} + h : y;
  int64_t W = std::llabs(w), H = std::llabs(h);
  int64_t sx0 = sw < 0 ? int64_t{sx} + sw : sx, sy0 = sh < 0 ? int64_t{sy} + sh : sy;
  int64_t SW = std::llabs(sw), SH = std::llabs(sh);

  // Destination range inside the target, as indices into the normalised rectangle.
  int64_t i0 = std::max<int64_t>(0, -dx0), i1 = std::min<int64_t>(W, target_.Width() - dx0);
  int64_t j0 = std::max<int64_t>(0, -dy0), j1 = std::min<int64_t>(H, target_.Height() - dy0);
  if (i0 >= i1 || j0 >= j1) return;

  auto mapAxis = [](int64_t i, int64_t dstLen, int64_t srcLen, bool mirror) {
    int64_t k = ((2 * i + 1) * srcLen) / (2 * dstLen);
    return mirror ? srcLen - 1 - k : k;
  };
  // Source columns for the visible destination columns; those outside the source
  // surface are left undrawn (the mapping is monotonic, so the rest is one run).
  std::vector<int> cols;
  int64_t firstCol = -1;
  for (int64_t i = i0; i < i1; ++i) {
    int64_t c = sx0 + mapAxis(i, W, SW, mirrorX);
    if (c < 0 || c >= src.Width()) {
      if (firstCol >= 0) break;
      continue;
    }
    if (firstCol < 0) firstCol = i;
    cols.push_back(static_cast<int>(c));
  }
  if (cols.empty()) return;
  const int n = static_cast<int>(cols.size());
  const int left = static_cast<int>(dx0 + firstCol);

  Pixel b = 0;
  RowOp op(rop, b);
  std::vector<Pixel> row(static_cast<size_t>(n));
  int top = -1, bottom = -1;
  int64_t lastSrcRow = -1;
  const bool same = &src == &target_;
  // Within one surface, rows already written could be read again; take a copy first.
  Surface copy;
  const Surface* from = &src;
  if (same) {
    copy = src;
    from = &copy;
  }
  for (int64_t j = j0; j < j1; ++j) {
    int64_t r = sy0 + mapAxis(j, H, SH, mirrorY);
    if (r < 0 || r >= from->Height()) continue;
    if (r != lastSrcRow) {
      const Pixel* s = from->Row(static_cast<int>(r));
      for (int k = 0; k < n; ++k) row[static_cast<size_t>(k)] = s[cols[static_cast<size_t>(k)]];
      lastSrcRow = r;
    }
    int dy = static_cast<int>(dy0 + j);
    RopRow(target_.Row(dy) + left, row.data(), n, rop, op);
    if (top < 0) top = dy;
    bottom = dy + 1;
  }
  if (top >= 0) MarkDirty(Rect{left, top, left + n, bottom});
}

void Canvas::DrawLine(int x1, int y1, int x2, int y2, const Pen& pen) {
  if (pen.style == PS_NULL) return;
  if (x1 == x2 && y1 == y2) return;
  for (int64_t v : {int64_t{x1}, int64_t{y1}, int64_t{x2}, int64_t{y2}}) {
    if (v > kMaxLineCoord || v < -kMaxLineCoord) return;
  }
  const Pixel color = PixelFromColorRef(pen.color);

  if (pen.width > 1) {
    // Geometric pen: every pixel whose centre lies within width / 2 of the segment (round
    // ends). Odd widths centre the line on the pixel centres, even widths on the corners,
    // so a horizontal line of width w covers exactly w rows.
    const double r = pen.width / 2.0;
    const double off = (pen.width % 2) ? 0.5 : 0.0;
    const double ax = x1 + off, ay = y1 + off, bx = x2 + off, by = y2 + off;
    const double dx = bx - ax, dy = by - ay;
    const double len = std::sqrt(dx * dx + dy * dy);
    const double ux = dx / len, uy = dy / len;
    int top = static_cast<int>(std::floor(std::min(ay, by) - r - 1));
    int bottom = static_cast<int>(std::ceil(std::max(ay, by) + r + 1));
    top = std::max(top, 0);
    bottom = std::min(bottom, target_.Height());
    int dl = std::numeric_limits<int>::max(), dt = dl, dr = std::numeric_limits<int>::min(),
        db = dr;
    for (int py = top; py < bottom; ++py) {
      const double Y = py + 0.5;
      // Along the segment: 0 <= (P - A).u <= len; across it: |(P - A) x u| <= r.
      Span along = SolveLinear(ux, (Y - ay) * uy - ax * ux, 0.0, len);
      Span across = SolveLinear(-uy, (Y - ay) * ux + ax * uy, -r, r);
      Span strip = Meet(along, across);
      Span capA = CircleRow(ax, ay, r, Y), capB = CircleRow(bx, by, r, Y);
      Span all{kInf, -kInf};
      for (const Span& s : {strip, capA, capB}) {
        if (s.Empty()) continue;
        all.lo = std::min(all.lo, s.lo);
        all.hi = std::max(all.hi, s.hi);
      }
      if (all.Empty()) continue;
      double fl = std::ceil(all.lo - 0.5), fr = std::floor(all.hi - 0.5);
      int l = static_cast<int>(std::max(fl, 0.0));
      int rr = static_cast<int>(std::min(fr, static_cast<double>(target_.Width() - 1)));
      if (l > rr) continue;
      std::fill(target_.Row(py) + l, target_.Row(py) + rr + 1, color);
      dl = std::min(dl, l);
      dr = std::max(dr, rr + 1);
      dt = std::min(dt, py);
      db = std::max(db, py + 1);
    }
    if (dl < dr) MarkDirty(Rect{dl, dt, dr, db});
    return;
  }

  // Cosmetic pen: Bresenham from (x1, y1), end point excluded, in closed form so that
  // clipping can skip straight to the visible steps. Step i along the major axis moves
  // floor((2 i minor + major - 1 + bias) / (2 major)) along the minor axis. An exact half
  // step stays on the start's side, except in the octants where GDI rounds it the other
  // way (bias 1: down-left steep, up-left both, up-right shallow), so a line and its
  // reverse need not cover the same pixels, as on Windows.
  const int64_t ddx = int64_t{x2} - x1, ddy = int64_t{y2} - y1;
  int octant;  // 1..8 clockwise from +x, screen y pointing down
  if (ddy > 0) {
    octant = ddx > 0 ? (ddx > ddy ? 1 : 2) : (-ddx > ddy ? 4 : 3);
  } else {
    octant = ddx < 0 ? (-ddx > -ddy ? 5 : 6) : (ddx > -ddy ? 8 : 7);
  }
  const int64_t bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
  const int64_t adx = std::llabs(ddx), ady = std::llabs(ddy);
  const bool xMajor = adx >= ady;
  const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
  const int64_t sMaj = (xMajor ? ddx : ddy) < 0 ? -1 : 1;
  const int64_t sMin = (xMajor ? ddy : ddx) < 0 ? -1 : 1;
  const int64_t maj0 = xMajor ? x1 : y1, min0 = xMajor ? y1 : x1;
  const int64_t majLimit = xMajor ? target_.Width() : target_.Height();
  const int64_t minLimit = xMajor ? target_.Height() : target_.Width();
  auto minorOffset = [&](int64_t i) { return (2 * i * minor + major - 1 + bias) / (2 * major); };

  // Steps whose major coordinate is inside the target.
  int64_t lo = 0, hi = major - 1;
  if (sMaj > 0) {
    lo = std::max(lo, -maj0);
    hi = std::min(hi, majLimit - 1 - maj0);
  } else {
    lo = std::max(lo, maj0 - (majLimit - 1));
    hi = std::min(hi, maj0);
  }
  if (lo > hi) return;
  // The minor offset grows with i; keep the steps whose minor coordinate is inside too.
  int64_t offLo = sMin > 0 ? -min0 : min0 - (minLimit - 1);
  int64_t offHi = sMin > 0 ? minLimit - 1 - min0 : min0;
  {
    int64_t a = lo, b = hi + 1;  // first i in [lo, hi] with offset >= offLo
    while (a < b) {
      int64_t m = a + (b - a) / 2;
      if (minorOffset(m) >= offLo)
        b = m;
      else
        a = m + 1;
    }
    lo = a;
    a = lo;
    b = hi + 1;  // first i with offset > offHi
    while (a < b) {
      int64_t m = a + (b - a) / 2;
      if (minorOffset(m) > offHi)
        b = m;
      else
        a = m + 1;
    }
    hi = a - 1;
  }
  if (lo > hi) return;

  const DashPattern* dash = PatternOf(pen.style);
  int64_t dashPeriod = 0;
  if (dash)
    for (int k = 0; k < dash->count; ++k) dashPeriod += dash->lengths[static_cast<size_t>(k)];
  const Pixel bk = PixelFromColorRef(bkColor_);
  const bool opaque = bkMode_ == OPAQUE;

  int dl = std::numeric_limits<int>::max(), dt = dl, dr = std::numeric_limits<int>::min(), db = dr;
  for (int64_t i = lo; i <= hi; ++i) {
    Pixel c = color;
    if (dash) {
      int64_t pos = i % dashPeriod;
      int k = 0;
      while (pos >= dash->lengths[static_cast<size_t>(k)])
        pos -= dash->lengths[static_cast<size_t>(k++)];
      if (k % 2) {
        if (!opaque) continue;
        c = bk;
      }
    }
    int64_t a = maj0 + sMaj * i, b = min0 + sMin * minorOffset(i);
    int px = static_cast<int>(xMajor ? a : b), py = static_cast<int>(xMajor ? b : a);
    target_.At(px, py) = c;
    dl = std::min(dl, px);
    dr = std::max(dr, px + 1);
    dt = std::min(dt, py);
    db = std::max(db, py + 1);
  }
  if (dl < dr) MarkDirty(Rect{dl, dt, dr, db});
}

void Canvas::DrawTransparent(int x, int y, int w, int h, const Surface& src, int sx, int sy,
                             COLORREF key) {
  if (!ClipCopy(x, y, w, h, sx, sy, Bounds(src), Bounds(target_))) return;
  const Pixel k = PixelFromColorRef(key);
  ForEachCopiedRow(target_, src, x, y, w, h, sx, sy, [&](Pixel* d, const Pixel* s) {
    for (int j = 0; j < w; ++j) {
      if ((s[j] & kRgbMask) != k) d[j] = s[j] & kRgbMask;
    }
  });
  MarkDirty(Rect{x, y, x + w, y + h});
}

void Canvas::TileBlt(const Rect& r, const Surface& tile, int originX, int originY) {
  if (tile.Empty() || &tile == &target_) return;
  Rect c = Intersect(r, Bounds(target_));
  if (c.IsEmpty()) return;
  const int tw = tile.Width(), th = tile.Height();
  auto wrap = [](int64_t v, int m) { return static_cast<int>(((v % m) + m) % m); };
  for (int y = c.top; y < c.bottom; ++y) {
    const Pixel* s = tile.Row(wrap(int64_t{y} - originY, th));
    Pixel* d = target_.Row(y);
    int x = c.left;
    int tx = wrap(int64_t{x} - originX, tw);
    while (x < c.right) {
      int n = std::min(tw - tx, c.right - x);
      std::memcpy(d + x, s + tx, static_cast<size_t>(n) * sizeof(Pixel));
      x += n;
      tx = 0;
    }
  }
  MarkDirty(c);
}

}  // namespace gfx
