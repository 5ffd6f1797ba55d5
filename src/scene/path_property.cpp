// Placement and motion of paths, and random colours.

#include <cstdlib>

#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/crt_rand.h"
#include "scene/play_host.h"
#include "scene/properties.h"
#include "transitions/random_range.h"

namespace scene {
namespace {

// 32-bit wrapping arithmetic, as the stored values were computed; stored numbers are
// untrusted and must not overflow into undefined behaviour.
int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t Sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
// a * b / c in 64 bits, truncated back to 32 (c != 0).
int32_t MulDiv32(int32_t a, int32_t b, int32_t c) {
  const int64_t p = static_cast<int64_t>(a) * b;
  if (c == -1) return static_cast<int32_t>(static_cast<uint64_t>(-static_cast<uint64_t>(p)));
  return static_cast<int32_t>(p / c);
}

// The random seed both path and colour take from time, the tick count and "Times".
int32_t MixedSeed(int32_t& seed, PlayHost& host) {
  seed = Add32(seed, 100);
  sys::CrtSrand(static_cast<uint32_t>(seed));
  sys::Clock& clock = host.Clock();
  const sys::SystemTime now = clock.Now();
  const uint32_t b0 = static_cast<uint32_t>(sys::CrtRand());
  const uint32_t c = static_cast<uint32_t>(now.milliseconds);
  const uint32_t d = clock.TickCount();
  const uint32_t t = static_cast<uint32_t>(host.ProfileInt("Settings", "Times", 0));
  uint32_t e = static_cast<uint32_t>(sys::CrtRand());
  if (e == 0) e = 2;
  const uint32_t b = ((d << 16) | ((b0 * c) & 0xFFFF)) * t / e;
  const uint32_t f = clock.TickCount();
  const uint32_t m = f % e;
  return static_cast<int32_t>(b + m * m);
}

bool Compare(int32_t a, int32_t kind, int32_t b) {
  switch (kind) {
    case 0:
      return a > b;
    case 1:
      return a < b;
    case 2:
      return a == b;
    case 3:
      return a != b;
    default:
      return false;
  }
}

int32_t Magnitude(int32_t v) { return v == INT32_MIN ? INT32_MAX : std::abs(v); }

// Random inside: tries until the value lies strictly inside (0, display - size). A span
// with no integer inside ends at 0 instead of drawing forever.
int32_t PlaceInside(int32_t value, int32_t size, int32_t screen, int32_t display,
                    transitions::RandomRange& random) {
  if (size >= display) return 0;
  const int64_t span = static_cast<int64_t>(screen) + size;
  if (span <= 0 || static_cast<int64_t>(display) - size <= 1) return 0;
  int64_t x = value;
  for (int tries = 0; tries < 1'000'000; ++tries) {
    x = (x + random.Next()) % span - size;
    if (x > 0 && x < static_cast<int64_t>(display) - size) return static_cast<int32_t>(x);
  }
  return 0;
}

int32_t Place(int32_t mode, int32_t value, bool first, int32_t size, int32_t screen,
              int32_t display, transitions::RandomRange& random) {
  switch (mode) {
    case 0:
      return 0;
    case 1:
      return display / 2 - size / 2;
    case 2:
      return Sub32(display, size);
    case 3: {
      const int64_t span = static_cast<int64_t>(screen) + size;
      const int64_t r = random.Next();
      if (span <= 0) return 0;
      const int64_t base = first ? r : static_cast<int64_t>(value) + r;
      return static_cast<int32_t>(base % span - size);
    }
    case 4:
      return PlaceInside(value, size, screen, display, random);
    default:
      return value;
  }
}

}  // namespace

void PathProperty::resolve(int32_t w, int32_t h, PlayHost& host) {
  transitions::RandomRange random(MixedSeed(seed, host), host.Clock());
  random.SetRange(static_cast<uint32_t>(-5000), 5000);  // refused: draws stay 0..32767

  if (!freeMotion && !(modeX1 == 5 && modeY1 == 5 && modeX2 == 5 && modeY2 == 5)) {
    const int32_t screenW = host.Screen().Width();
    const int32_t screenH = host.Screen().Height();
    x1 = Place(modeX1, x1, true, w, screenW, screenW, random);
    y1 = Place(modeY1, y1, false, h, screenH, screenH, random);
    x2 = Place(modeX2, x2, false, w, screenW, screenW, random);
    y2 = Place(modeY2, y2, false, h, screenH, screenH, random);
  }

  horizontal = x1 != x2 ? 1 : 0;
  if (x2 < x1) dx = -Magnitude(dx);
  if (x1 < x2) dx = Magnitude(dx);
  if (y2 < y1) dy = -Magnitude(dy);
  if (y1 < y2) dy = Magnitude(dy);
  curX = x1;
  curY = y1;
}

bool PathProperty::step() {
  if (freeMotion) {
    curX = Add32(curX, dx);
    curY = Add32(curY, dy);
    const bool tx = Compare(curX, compareX, stopX);
    const bool ty = Compare(curY, compareY, stopY);
    return bothConditions ? (tx && ty) : (tx || ty);
  }
  if (horizontal) {
    curX = Add32(curX, dx);
    if (x1 == x2) return true;
    curY = Add32(y2, MulDiv32(Sub32(y2, y1), Sub32(curX, x2), Sub32(x2, x1)));
    return curX == x2 || (dx > 0 ? curX > x2 : curX < x2);
  }
  // A vertical path moves by dx as well.
  curY = Add32(curY, dx);
  if (y1 == y2) return true;
  curX = Add32(x2, MulDiv32(Sub32(x2, x1), Sub32(curY, y2), Sub32(y2, y1)));
  return curY == y2 || (dx > 0 ? curY > y2 : curY < y2);
}

void ColorProperty::resolve(PlayHost& host) {
  if (!randomColor) return;
  transitions::RandomRange random(MixedSeed(seed, host), host.Clock());
  random.SetRange(0, 500);
  const uint32_t r = random.Next() & 0xFF;
  const uint32_t g = random.Next() & 0xFF;
  const uint32_t b = random.Next() & 0xFF;
  color = r | (g << 8) | (b << 16);
}

}  // namespace scene
