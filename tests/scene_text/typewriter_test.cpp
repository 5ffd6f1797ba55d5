#include <gtest/gtest.h>

#include <numeric>

#include "scene/fake_play_host.h"
#include "scene/items.h"
#include "scene/text_bitmap.h"

namespace scene {
namespace {

struct Typed {
  std::vector<int64_t> waits;
  int64_t total = 0;
  int finalWidth = 0;
};

Typed TypeText(const std::string& text, int32_t textSpeed, int64_t stopAfterMs = -1) {
  scene_test::FakePlayHost host(320, 200);
  PictureItem p;
  p.source = 1;
  p.text = text;
  p.font.height = -20;
  p.currentPath.textSpeed = textSpeed;
  p.currentPath.effect = 0;
  p.currentPath.curX = 10;
  p.currentPath.curY = 10;
  int64_t elapsed = 0;
  host.onAdvance = [&] {
    elapsed += host.waits.back();
    if (stopAfterMs >= 0 && elapsed >= stopAfterMs) host.stop.Set();
  };
  TypeOut(p, host);
  Typed out;
  out.waits = host.waits;
  out.total = std::accumulate(host.waits.begin(), host.waits.end(), int64_t{0});
  out.finalWidth = p.bitmap ? p.bitmap->Width() : 0;
  return out;
}

int PrefixWidth(const std::string& prefix) {
  PictureItem p;
  p.source = 1;
  p.font.height = -20;
  p.text = prefix;
  return TextBitmap(p, "") ? p.bitmap->Width() : 0;
}

TEST(TypewriterTest, DelaysAndEndings) {
  struct Case {
    std::string text;
    int32_t textSpeed;
    int gaps;            // delays between letters
    int64_t perGapMs;    // each delay
    int hundredsPerGap;  // 100 ms waits in a delay
  } cases[] = {
      {"Hi\r\nyo", 1500, 3, 500, 5},                                 // letters H, i, y, o
      {"Hi\r\nyo", 0, 3, 2000, 20},  {"Hi\r\nyo", 1550, 3, 450, 4},  // 4 x 100 ms then 50 ms
      {"Hi\r\nyo", 2000, 0, 0, 0},                                   // no waiting at all
      {"Hi\r\nyo", 2500, 0, 0, 0},  // faster than 2000 is still no wait
      {"ab\r\n", 1500, 2, 500, 5},  // a trailing line break waits once more, then stops
      {"x", 1500, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " @" + std::to_string(c.textSpeed));
    const Typed t = TypeText(c.text, c.textSpeed);
    EXPECT_EQ(t.total, c.gaps * c.perGapMs);
    const size_t waitsPerGap = c.hundredsPerGap + (c.perGapMs % 100 ? 1 : 0);
    EXPECT_EQ(t.waits.size(), c.gaps * waitsPerGap);
    // The bitmap ends with the whole text.
    EXPECT_EQ(t.finalWidth, PrefixWidth(c.text));
  }
}

TEST(TypewriterTest, StopInTheMiddleEndsAtOnceWithThePrefixShown) {
  // Stopped 1.2 s in at 500 ms a letter: "abc" are drawn, the wait after "c" is cut short.
  const Typed t = TypeText("abcdefgh", 1500, 1200);
  EXPECT_EQ(t.total, 1200);
  EXPECT_EQ(t.finalWidth, PrefixWidth("abc"));
  // Stopped before it began: nothing more is drawn.
  const Typed none = TypeText("abcdefgh", 1500, 0);
  EXPECT_LE(none.total, 500);
}

}  // namespace
}  // namespace scene
