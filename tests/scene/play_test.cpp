#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/sys/crt_rand.h"
#include "scene/archive_builder.h"
#include "scene/fake_play_host.h"
#include "scene/items.h"
#include "scene/project_archive.h"
#include "scene/scene_list.h"
#include "transitions/random_range.h"

namespace {

using namespace scene;
using scene_test::ArchiveBuilder;
using scene_test::FakePlayHost;

// The scene thread's walk, enough for the items here: stops when the stop event is set.
std::vector<int32_t> Walk(SceneList& list, FakePlayHost& host, size_t maxSteps = 10000) {
  std::vector<int32_t> played;
  for (int32_t i = 0; i < static_cast<int32_t>(list.size()) && !host.stop.IsSet(); ++i) {
    if (played.size() >= maxSteps) break;
    SceneItem& item = list.at(static_cast<size_t>(i));
    if (item.isDisabled()) continue;
    played.push_back(i);
    if (item.play(host, i)) host.PauseCheck();
  }
  return played;
}

bool LoadList(const ArchiveBuilder& b, SceneList& list) {
  sys::MemorySource source(b.bytes);
  ProjectArchive archive(source);
  archive.ReadInt32();
  return ReadScene(archive, list);
}

TEST(PauseItem, SlicesOf100MsThenTheRemainder) {
  FakePlayHost host;
  PauseItem pause;
  int32_t index = 0;
  pause.pause.pauseMs = 250;
  EXPECT_EQ(pause.play(host, index), 1);
  EXPECT_EQ(host.waits, (std::vector<int64_t>{100, 100, 50}));

  host.waits.clear();
  pause.pause.pauseMs = 99;
  pause.play(host, index);
  EXPECT_EQ(host.waits, (std::vector<int64_t>{99}));

  host.waits.clear();
  pause.pause.pauseMs = -5;  // never a near-endless sleep
  pause.play(host, index);
  EXPECT_TRUE(host.waits.empty());
}

TEST(PauseItem, StopEndsThePauseAtTheNextSlice) {
  FakePlayHost host;
  PauseItem pause;
  pause.pause.pauseMs = 1050;
  int slices = 0;
  host.onAdvance = [&] {
    if (++slices == 3) host.stop.Set();
  };
  int32_t index = 0;
  pause.play(host, index);
  EXPECT_EQ(host.waits.size(), 3u);
  EXPECT_EQ(host.clock.TickCount(), 300u);
}

TEST(PauseItem, RandomPausesDifferBy150AndStayInRange) {
  FakePlayHost host;
  PauseItem pause;
  pause.pause.randomPause = 1;
  pause.pause.pauseMs = 1000;
  int32_t index = 0;
  for (int i = 0; i < 200; ++i) {
    const int32_t old = pause.pause.pauseMs;
    host.waits.clear();
    pause.play(host, index);
    const int32_t now = pause.pause.pauseMs;
    EXPECT_GE(std::abs(now - old), 150);
    EXPECT_GE(now, 0);
    EXPECT_LE(now, 3000);
    int64_t total = 0;
    for (int64_t w : host.waits) total += w;
    EXPECT_EQ(total, now);
  }
  // Same second, same previous value: the same choice.
  PauseItem again;
  again.pause.randomPause = 1;
  again.pause.pauseMs = 1000;
  FakePlayHost other;
  PauseItem first;
  first.pause.randomPause = 1;
  first.pause.pauseMs = 1000;
  first.play(other, index);
  FakePlayHost other2;
  again.play(other2, index);
  EXPECT_EQ(first.pause.pauseMs, again.pause.pauseMs);
}

ArchiveBuilder& Counter(ArchiveBuilder& b, const char* name) {
  return b.Item(kCommentItem, name).Scr("");
}

TEST(Loops, RepeatCountsAndNesting) {
  SceneList list;
  ArchiveBuilder b;
  // 0 start, 1 start, 2 body, 3 end x3, 4 end x2, 5 after
  b.Header(4.31f, 6).Item(kLoopStartItem, "o").Item(kLoopStartItem, "i");
  Counter(b, "body");
  b.Item(kLoopEndItem, "i").I32(3).I32(0).Item(kLoopEndItem, "o").I32(2).I32(0);
  Counter(b, "after");
  ASSERT_TRUE(LoadList(b, list));
  FakePlayHost host;
  auto played = Walk(list, host);
  EXPECT_EQ(std::count(played.begin(), played.end(), 2), 6);
  EXPECT_EQ(std::count(played.begin(), played.end(), 5), 1);
  EXPECT_EQ(played.back(), 5);
  // Counters were reset on leaving, so the show can run again the same way.
  auto again = Walk(list, host);
  EXPECT_EQ(again, played);
}

TEST(Loops, StartsAreFoundAsTheBackwardSearchFindsThem) {
  // The nearest loop start before the end that no loop end in between closes, by the plain
  // backward search, over many random lists of starts, ends and other items.
  auto search = [](const SceneList& list, int32_t end) {
    int32_t depth = 1;
    const int32_t last = static_cast<int32_t>(list.size()) - 1;
    for (int32_t i = std::min(end - 1, last); i >= 0; --i) {
      const int32_t k = list.at(static_cast<size_t>(i)).kind;
      if (k == kLoopEndItem) ++depth;
      if (k == kLoopStartItem && --depth == 0) return i;
    }
    return -1;
  };
  sys::CrtSrand(7);
  for (int round = 0; round < 300; ++round) {
    SceneList list;
    const int n = sys::CrtRand() % 40;
    for (int i = 0; i < n; ++i) {
      const int r = sys::CrtRand() % 5;
      list.Append(list.Create(r < 2 ? kLoopStartItem : r < 4 ? kLoopEndItem : kCommentItem));
    }
    for (int32_t end = -1; end <= n + 1; ++end)
      ASSERT_EQ(FindLoopStart(list, end), search(list, end)) << "round " << round << " end " << end;
  }
}

TEST(Loops, DeepNestingLoadsInLinearTime) {
  // n nested loops around one comment; times of two sizes compared loosely (a search per
  // loop end would take 64 times as long for 8 times the loops).
  auto load = [](int n) {
    ArchiveBuilder b;
    b.Header(4.31f, 2 * n + 1);
    for (int i = 0; i < n; ++i) b.Item(kLoopStartItem, "");
    Counter(b, "body");
    for (int i = 0; i < n; ++i) b.Item(kLoopEndItem, "").I32(2).I32(0);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
      SceneList list;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_TRUE(LoadList(b, list));
      best = std::min(
          best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      // The innermost end closes the innermost start, the outermost the first.
      EXPECT_EQ(dynamic_cast<LoopEndItem&>(list.at(static_cast<size_t>(n) + 1)).repeat.loopStart,
                n - 1);
      EXPECT_EQ(dynamic_cast<LoopEndItem&>(list.at(2 * static_cast<size_t>(n))).repeat.loopStart,
                0);
    }
    return best;
  };
  const double small = load(1250);
  const double large = load(10000);
  EXPECT_LT(large, 24 * small + 0.05) << small << " s for 1250 loops, " << large << " s for 10000";
}

TEST(Loops, CountsZeroOneAndThree) {
  for (int32_t count : {0, 1, 3}) {
    SceneList list;
    ArchiveBuilder b;
    b.Header(4.31f, 3).Item(kLoopStartItem, "s");
    Counter(b, "body");
    b.Item(kLoopEndItem, "e").I32(count).I32(0);
    ASSERT_TRUE(LoadList(b, list));
    FakePlayHost host;
    auto played = Walk(list, host);
    EXPECT_EQ(std::count(played.begin(), played.end(), 1), count == 0 ? 1 : count) << count;
  }
}

TEST(Loops, EndlessRunsUntilStopped) {
  SceneList list;
  ArchiveBuilder b;
  b.Header(4.31f, 4).Item(kLoopStartItem, "s").Item(kPauseItem, "p").I32(100).I32(0);
  b.Item(kLoopEndItem, "e").I32(1).I32(1);
  Counter(b, "after");
  ASSERT_TRUE(LoadList(b, list));
  FakePlayHost host;
  host.onAdvance = [&] {
    if (host.clock.TickCount() >= 4900) host.stop.Set();
  };
  auto played = Walk(list, host);
  EXPECT_EQ(std::count(played.begin(), played.end(), 1), 50);
  EXPECT_EQ(std::count(played.begin(), played.end(), 3), 0);
}

TEST(SimpleItems, BackgroundPaintModes) {
  FakePlayHost host;
  BackgroundItem bg;
  bg.color.color = 0x00336699;
  int32_t index = 0;
  for (int32_t mode : {0, 1, 2, 7, -1}) {
    bg.color.paintMode = mode;
    EXPECT_EQ(bg.play(host, index), 1);
  }
  ASSERT_EQ(host.repaints.size(), 5u);
  EXPECT_EQ(host.repaints[0], std::make_pair(0x00336699u, gfx::SRCCOPY));
  EXPECT_EQ(host.repaints[1].second, gfx::SRCPAINT);
  EXPECT_EQ(host.repaints[2].second, gfx::SRCAND);
  EXPECT_EQ(host.repaints[3].second, gfx::SRCAND);
  EXPECT_EQ(host.repaints[4].second, gfx::SRCAND);
}

TEST(SimpleItems, RandomColourChangesAndFollowsTheSeed) {
  FakePlayHost host;
  BackgroundItem bg;
  bg.color.randomColor = 1;
  bg.color.seed = 1234;
  int32_t index = 0;
  bg.play(host, index);
  host.clock.Advance(std::chrono::milliseconds(17));
  bg.play(host, index);
  EXPECT_EQ(bg.color.seed, 1434);
  EXPECT_NE(host.repaints[0].first, host.repaints[1].first);
  EXPECT_EQ(host.repaints[0].first & 0xFF000000u, 0u);

  // With "Times" absent the seed is (tick mod e)^2: recompute the first colour by hand.
  FakePlayHost h2;
  h2.clock.Advance(std::chrono::milliseconds(12345));
  ColorProperty c;
  c.randomColor = 1;
  c.seed = 0;
  c.resolve(h2);
  sys::CrtSrand(100);
  sys::CrtRand();
  const uint32_t e = static_cast<uint32_t>(sys::CrtRand());
  const uint32_t m = 12345u % (e ? e : 2);
  transitions::RandomRange r(static_cast<int32_t>(m * m), h2.clock);
  r.SetRange(0, 500);
  const uint32_t r1 = r.Next() & 0xFF, g = r.Next() & 0xFF, b = r.Next() & 0xFF;
  EXPECT_EQ(c.color, r1 | (g << 8) | (b << 16));
}

TEST(SimpleItems, LinkAndCommentItems) {
  FakePlayHost host;
  LinkItem set;
  set.url = "http://example.org/";
  set.linkMode = 1;
  int32_t index = 4;
  EXPECT_EQ(set.play(host, index), 1);
  EXPECT_EQ(host.link, "http://example.org/");
  EXPECT_EQ(host.linkMode, 1);
  LinkItem clear;
  clear.clearLink = 1;
  EXPECT_EQ(clear.play(host, index), 1);
  EXPECT_EQ(host.link, "");
  EXPECT_EQ(host.linkMode, -2);
  CommentItem comment;
  EXPECT_EQ(comment.play(host, index), 0);
  LoopStartItem start;
  EXPECT_EQ(start.play(host, index), 0);
  EXPECT_EQ(index, 4);
  PictureItem picture;
  MediaItem media;
  EXPECT_EQ(picture.play(host, index), 0);
  EXPECT_EQ(media.play(host, index), 0);
}

TEST(RandomRange, SetRangeRules) {
  sys::VirtualClock clock;
  transitions::RandomRange r(77, clock);
  EXPECT_EQ(r.lo(), 0u);
  EXPECT_EQ(r.hi(), 32767u);
  EXPECT_EQ(r.scale(), 1.0);
  EXPECT_FALSE(r.SetRange(5, 5));
  EXPECT_EQ(r.hi(), 32767u);
  EXPECT_TRUE(r.SetRange(3, 88));
  EXPECT_EQ(r.lo(), 3u);
  EXPECT_EQ(r.hi(), 88u);
  EXPECT_FALSE(r.SetRange(static_cast<uint32_t>(-5000), 5000));
  EXPECT_EQ(r.lo(), 3u);
  EXPECT_TRUE(r.SetRange(0, 0));
  EXPECT_EQ(r.lo(), 0u);
  EXPECT_EQ(r.hi(), 32767u);

  // Seeding: srand(seed), one draw, srand((seed << 8) | (draw & 0xFF)).
  sys::CrtSrand(77);
  const int first = sys::CrtRand();
  sys::CrtSrand((77u << 8) | static_cast<uint32_t>(first & 0xFF));
  const int expected = sys::CrtRand();
  transitions::RandomRange s(77, clock);
  EXPECT_EQ(s.Next(), static_cast<uint32_t>(expected));

  // Seed 0 takes the calendar seconds.
  transitions::RandomRange z(0, clock);
  EXPECT_EQ(z.seed(), static_cast<int32_t>(clock.CalendarSeconds()));

  transitions::RandomRange t(5, clock);
  t.SetRange(3, 88);
  for (int i = 0; i < 2000; ++i) {
    const uint32_t v = t.Next();
    EXPECT_GE(v, 3u);
    EXPECT_LE(v, 89u);
  }
}

PathProperty Path(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dx = 1) {
  PathProperty p;
  p.x1 = x1;
  p.y1 = y1;
  p.x2 = x2;
  p.y2 = y2;
  p.dx = dx;
  return p;
}

TEST(PathProperty, PlacementModes) {
  FakePlayHost host(1024, 768);
  PathProperty p = Path(11, 22, 33, 44);
  p.resolve(300, 200, host);  // all modes 5: stored points
  EXPECT_EQ(p.x1, 11);
  EXPECT_EQ(p.y2, 44);
  EXPECT_EQ(p.curX, 11);
  EXPECT_EQ(p.curY, 22);

  p.modeX1 = 1;
  p.modeY1 = 1;
  p.modeX2 = 2;
  p.modeY2 = 0;
  p.resolve(300, 200, host);
  EXPECT_EQ(p.x1, 362);
  EXPECT_EQ(p.y1, 284);
  EXPECT_EQ(p.x2, 724);
  EXPECT_EQ(p.y2, 0);

  // Random placement: partly off-screen allowed for 3, inside for 4.
  for (int i = 0; i < 100; ++i) {
    PathProperty q = Path(0, 0, 0, 0);
    q.seed = i * 31;
    q.modeX1 = 3;
    q.modeY1 = 3;
    q.modeX2 = 4;
    q.modeY2 = 4;
    host.clock.Advance(std::chrono::milliseconds(7));
    q.resolve(300, 200, host);
    EXPECT_GE(q.x1, -300);
    EXPECT_LT(q.x1, 1024);
    EXPECT_GE(q.y1, -200);
    EXPECT_LT(q.y1, 768);
    EXPECT_GT(q.x2, 0);
    EXPECT_LT(q.x2, 1024 - 300);
    EXPECT_GT(q.y2, 0);
    EXPECT_LT(q.y2, 768 - 200);
  }
  // Inside placement with no room: 0, at once; one pixel of room cannot hold it either.
  PathProperty wide = Path(5, 5, 5, 5);
  wide.modeX1 = 4;
  wide.resolve(1024, 10, host);
  EXPECT_EQ(wide.x1, 0);
  wide.modeX1 = 4;
  wide.resolve(1023, 10, host);
  EXPECT_EQ(wide.x1, 0);

  // freeMotion keeps the stored points even with modes.
  PathProperty free = Path(1, 2, 3, 4);
  free.freeMotion = 1;
  free.modeX1 = 1;
  free.resolve(10, 10, host);
  EXPECT_EQ(free.x1, 1);
}

TEST(PathProperty, DirectionsFromTheEndPoints) {
  FakePlayHost host;
  PathProperty p = Path(100, 50, 0, 80, 7);
  p.dy = 3;
  p.resolve(0, 0, host);
  EXPECT_EQ(p.horizontal, 1);
  EXPECT_EQ(p.dx, -7);
  EXPECT_EQ(p.dy, 3);
  PathProperty q = Path(10, 50, 10, 0, -4);
  q.resolve(0, 0, host);
  EXPECT_EQ(q.horizontal, 0);
  EXPECT_EQ(q.dx, -4);  // x1 = x2 leaves dx alone
  EXPECT_EQ(q.dy, -1);
}

TEST(PathProperty, MotionEnds) {
  FakePlayHost host;
  PathProperty h = Path(0, 0, 100, 50, 7);
  h.resolve(0, 0, host);
  int steps = 0;
  while (!h.step()) ++steps;
  EXPECT_EQ(h.curX, 105);
  EXPECT_EQ(steps, 14);
  EXPECT_EQ(h.curY, 50 + 50 * 5 / 100);

  PathProperty v = Path(10, 100, 10, 0, 1);  // vertical, moving up, positive dx
  v.resolve(0, 0, host);
  EXPECT_TRUE(v.step());
  EXPECT_EQ(v.curY, 101);

  PathProperty down = Path(10, 0, 10, 20, 5);
  down.resolve(0, 0, host);
  int n = 1;
  while (!down.step()) ++n;
  EXPECT_EQ(n, 4);
  EXPECT_EQ(down.curY, 20);

  PathProperty same = Path(5, 5, 5, 5);
  same.resolve(0, 0, host);
  EXPECT_TRUE(same.step());

  PathProperty free = Path(0, 0, 0, 0, 10);
  free.freeMotion = 1;
  free.dy = 5;
  free.compareX = 0;  // curX > stopX
  free.stopX = 25;
  free.compareY = 0;
  free.stopY = 100;
  free.bothConditions = 0;
  n = 1;
  while (!free.step()) ++n;
  EXPECT_EQ(n, 3);
  free.curX = free.curY = 0;
  free.bothConditions = 1;
  n = 1;
  while (!free.step() && n < 1000) ++n;
  EXPECT_EQ(n, 21);   // y passes 100 on the 21st step
  free.compareX = 9;  // unknown comparison: never true
  free.curX = free.curY = 0;
  n = 1;
  while (!free.step() && n < 100) ++n;
  EXPECT_EQ(n, 100);
}

TEST(PathProperty, HugeStoredValuesDoNotOverflow) {
  FakePlayHost host;
  PathProperty p = Path(INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
  p.modeY1 = 3;
  p.resolve(INT32_MAX, INT32_MAX, host);
  p.step();
  p.step();
  SUCCEED();
}

TEST(LineItem, DrawsBetweenItsPoints) {
  FakePlayHost host(64, 32);
  LineItem line;
  line.path = Path(5, 10, 20, 10);
  line.color.color = gfx::RGB(255, 0, 0);
  int32_t index = 0;
  EXPECT_EQ(line.play(host, index), 1);
  EXPECT_EQ(host.surface.At(5, 10), gfx::MakePixel(255, 0, 0));
  EXPECT_EQ(host.surface.At(19, 10), gfx::MakePixel(255, 0, 0));
  EXPECT_EQ(host.surface.At(20, 10), 0u);  // end point not drawn
  EXPECT_EQ(host.surface.At(5, 11), 0u);
}

}  // namespace
