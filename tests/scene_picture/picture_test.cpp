// Picture items: loading, sizes, showing through placements and transitions, moving,
// hiding and the saved background.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "imaging/image_decoder.h"
#include "platform/gfx/ico_builder.h"
#include "platform/ui/message_box.h"
#include "scene/fake_play_host.h"
#include "scene/items.h"
#include "scene/scene_list.h"
#include "support/no_files.h"
#include "transitions/effect_table.h"
#include "transitions/transition_engine.h"

namespace {

namespace fs = std::filesystem;
using namespace scene;
using scene_test::FakePlayHost;

constexpr gfx::Pixel kOld = 0x000042;  // what the screen held before
constexpr gfx::COLORREF kWindowBack = gfx::RGB(0, 255, 0);
constexpr gfx::Pixel kWindowBackPixel = 0x00FF00;

// Picture pixels have bit 23 set, so they never equal the old screen or the background.
gfx::Pixel Pat(int x, int y) {
  return (static_cast<uint32_t>(x * 7919 + y * 104729) & 0x7FFFFF) | 0x800000;
}
std::unique_ptr<gfx::Surface> Pattern(int w, int h) {
  auto s = std::make_unique<gfx::Surface>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s->At(x, y) = Pat(x, y);
  return s;
}
gfx::Pixel ScreenPat(int x, int y) { return static_cast<uint32_t>(x * 31 + y * 17) & 0x3FFFFF; }

struct Capture : ui::MessagePresenter {
  void Show(const std::string& text, ui::MessageIcon icon) override {
    shown.emplace_back(text, icon);
  }
  std::vector<std::pair<std::string, ui::MessageIcon>> shown;
};

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Picture : public ::testing::Test {
 protected:
  void SetUp() override {
    imaging::InitDecoder();
    dir_ = fs::temp_directory_path() /
           ("sp-picture-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "tmp");
    const char* old = std::getenv("TMPDIR");
    if (old) oldTmp_ = old;
    setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
    previous_ = ui::SetMessagePresenter(&messages_);
    host_.surface.Fill(kOld);
    host_.background = kWindowBack;
  }
  void TearDown() override {
    ui::SetMessagePresenter(previous_);
    if (oldTmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    fs::remove_all(dir_);
  }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  // A 24-bit BMP or JPEG of the pattern, written by the decoder's own writers.
  std::vector<uint8_t> Encoded(int w, int h, bool jpeg) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const gfx::Pixel p = Pat(x, y);
        rgb.insert(rgb.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                               static_cast<uint8_t>(p)});
      }
    const fs::path p = dir_ / (jpeg ? "enc.jpg" : "enc.bmp");
    auto out = imaging::OpenTarget(p.string());
    if (jpeg)
      imaging::WriteJpeg(out, rgb, w, h, 90, false);
    else
      imaging::WriteBmp(out, rgb, w, h);
    imaging::CloseTarget(out);
    auto bytes = Slurp(p);
    fs::remove(p);
    return bytes;
  }
  static void SetData(PictureItem& p, const std::vector<uint8_t>& bytes) {
    p.data = DataBlock::Of(bytes.data(), bytes.size());
    p.dataSize = static_cast<int32_t>(bytes.size());
  }
  // A show item at (x, y) (modes 5) with the effect and the window background as brush.
  template <typename Item>
  std::unique_ptr<Item> Link(PictureItem& p, int32_t x1, int32_t y1, int32_t effect = 0) {
    auto item = std::make_unique<Item>();
    item->setLink(&p);
    item->link.path.x1 = item->link.path.x2 = x1;
    item->link.path.y1 = item->link.path.y2 = y1;
    item->link.path.effect = effect;
    item->link.path.effectSpeed = 1100;  // no waits
    return item;
  }
  int Play(SceneItem& item) {
    int32_t index = 0;
    return item.play(host_, index);
  }
  bool ScreenIs(gfx::Pixel (*fn)(int, int)) const {
    for (int y = 0; y < host_.surface.Height(); ++y)
      for (int x = 0; x < host_.surface.Width(); ++x)
        if (host_.surface.At(x, y) != fn(x, y)) return false;
    return true;
  }

  fs::path dir_;
  std::string oldTmp_;
  Capture messages_;
  ui::MessagePresenter* previous_ = nullptr;
  FakePlayHost host_;
  SceneList list_;
};

// ---- loading ----

TEST_F(Picture, PreparingDecodesTheEmbeddedFileAndRemovesIt) {
  for (bool jpeg : {false, true}) {
    PictureItem p;
    SetData(p, Encoded(13, 7, jpeg));
    ASSERT_TRUE(p.prepare(list_)) << jpeg;
    ASSERT_TRUE(p.bitmap);
    EXPECT_EQ(p.bitmapSize(), (PictureItem::Size{13, 7}));
    EXPECT_FALSE(p.icon);
    if (!jpeg) {
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(p.bitmap->At(x, y), Pat(x, y));
    }
    EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
  }
  EXPECT_TRUE(messages_.shown.empty());

  // A file that fails to load is removed as well.
  PictureItem bad;
  SetData(bad, std::vector<uint8_t>(60, 0x47));
  EXPECT_FALSE(bad.prepare(list_));
  EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
}

TEST_F(Picture, LoadMessagesHaveTheirExactTexts) {
  PictureItem p;
  EXPECT_FALSE(p.loadFile((dir_ / "missing.jpg").string()));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, "Error during opening picture file!\n\rError code:2");
  EXPECT_EQ(messages_.shown[0].second, ui::MessageIcon::None);

  // A JPEG by its signature whose data is not one: the reader's own error code is named.
  messages_.shown.clear();
  std::vector<uint8_t> fake = {0xFF, 0xD8, 0xFF, 0xE0};
  fake.resize(80, 0x11);
  const std::string file = WriteFile("fake.jpg", fake);
  EXPECT_FALSE(p.loadFile(file));
  ASSERT_EQ(messages_.shown.size(), 1u);
  const std::string head = "Error reckognizing picture (" + file + ") format!\n\rError code:";
  const std::string& text = messages_.shown[0].first;
  ASSERT_EQ(text.substr(0, head.size()), head);
  EXPECT_GT(std::stoi(text.substr(head.size())), 0) << text;
  EXPECT_EQ(messages_.shown[0].second, ui::MessageIcon::None);

  messages_.shown.clear();
  PictureItem none;
  EXPECT_FALSE(none.prepare(list_));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, "You have to choose the image.");
  EXPECT_EQ(messages_.shown[0].second, ui::MessageIcon::Stop);
}

// The preparation pass decodes pictures on every core, yet what the user sees of a failure
// is what a pass one item at a time shows: the first failing item's message (here told
// apart by the decoder's error code), nothing for the ones after it, the load failed.
TEST_F(Picture, ParallelLoadShowsOnlyTheFirstFailure) {
  const auto jpeg = Encoded(64, 48, true), bmp = Encoded(40, 30, false);
  std::vector<uint8_t> brokenJpeg = {0xFF, 0xD8, 0xFF, 0xE0};  // its signature only
  brokenJpeg.resize(80, 0x11);
  auto brokenBmp = bmp;
  brokenBmp[28] = 7;  // bits per pixel
  // A message without the name of the file it was decoded from (a new one each time).
  auto withoutName = [](std::string text) {
    const size_t a = text.find('('), b = text.find(')');
    if (a != std::string::npos && b != std::string::npos && b > a) text.erase(a, b - a + 1);
    return text;
  };
  // What a picture shows alone.
  auto alone = [&](const std::vector<uint8_t>& bytes) {
    SceneList one;
    PictureItem p;
    SetData(p, bytes);
    messages_.shown.clear();
    EXPECT_FALSE(p.prepare(one));
    EXPECT_EQ(messages_.shown.size(), 1u);
    return messages_.shown.empty() ? std::string() : withoutName(messages_.shown[0].first);
  };
  const std::string jpegMessage = alone(brokenJpeg), bmpMessage = alone(brokenBmp);
  ASSERT_NE(jpegMessage, bmpMessage);

  struct Case {
    std::vector<int> broken;  // positions of broken pictures: a JPEG first, then a BMP
    int failed;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{{{}, -1, ""},
                                         {{1}, 1, jpegMessage},
                                         {{10}, 10, jpegMessage},
                                         {{2, 9}, 2, jpegMessage},
                                         {{0, 11}, 0, jpegMessage}}) {
    SceneList list;
    for (int i = 0; i < 12; ++i) {
      auto item = list.Create(kPictureItem);
      auto& p = static_cast<PictureItem&>(*item);
      const auto at = std::find(c.broken.begin(), c.broken.end(), i);
      if (at == c.broken.end())
        SetData(p, i % 2 ? jpeg : bmp);
      else
        SetData(p, at == c.broken.begin() ? brokenJpeg : brokenBmp);
      list.Append(std::move(item));
    }
    messages_.shown.clear();
    EXPECT_EQ(PrepareItems(list), c.failed);
    if (c.failed < 0) {
      EXPECT_TRUE(messages_.shown.empty());
    } else {
      ASSERT_EQ(messages_.shown.size(), 1u) << c.failed;
      EXPECT_EQ(withoutName(messages_.shown[0].first), c.message);
    }
    // Before the failure every picture is what it is when prepared alone.
    const int last = c.failed < 0 ? 12 : c.failed;
    for (int i = 0; i < last; ++i) {
      const auto& p = static_cast<const PictureItem&>(list.at(static_cast<size_t>(i)));
      ASSERT_TRUE(p.bitmap) << i;
      const int w = i % 2 ? 64 : 40;
      ASSERT_EQ(p.bitmap->Width(), w) << i;
      if (i % 2 == 0) {
        EXPECT_EQ(p.bitmap->At(7, 5), Pat(7, 5)) << i;
      }
    }
    list.Clear();
    EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
  }
}

// The show's budget is counted in list order whatever was decoded ahead: the pictures
// after it keep their bytes, without a message.
TEST_F(Picture, ParallelLoadKeepsTheBudgetInListOrder) {
  const auto bytes = Encoded(40, 30, false);
  SceneList list;
  list.pictureBudgetPixels = 5 * 40 * 30;
  for (int i = 0; i < 9; ++i) {
    auto item = list.Create(kPictureItem);
    SetData(static_cast<PictureItem&>(*item), bytes);
    list.Append(std::move(item));
  }
  EXPECT_EQ(PrepareItems(list), -1);
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(list.decodedPixels, 5 * 40 * 30);
  for (size_t i = 0; i < 9; ++i) {
    const auto& p = static_cast<const PictureItem&>(list.at(i));
    EXPECT_EQ(p.keptCompressed(), i >= 5) << i;
    EXPECT_EQ(p.bitmap != nullptr, i < 5) << i;
  }
  list.Clear();
  EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
}

TEST_F(Picture, AStoredSizeBeyondThePictureLimitDrawsNothing) {
  // A 1 x 1 picture whose item asks for 32767 x 21000: no gigabyte-sized scaling.
  PictureItem p;
  SetData(p, Encoded(1, 1, false));
  ASSERT_TRUE(p.prepare(list_));
  p.width = 32767;
  p.height = 21000;
  auto show = Link<ShowPictureItem>(p, 0, 0, 0);
  EXPECT_EQ(Play(*show), 1);
  EXPECT_TRUE(ScreenIs([](int, int) { return kOld; }));
  // Within the limit the same picture is scaled and drawn.
  p.width = 8;
  p.height = 4;
  EXPECT_EQ(Play(*show), 1);
  EXPECT_EQ(host_.surface.At(7, 3), Pat(0, 0));
}

TEST_F(Picture, UnrecognisedFilesFailSilently) {
  PictureItem p;
  p.bitmap = Pattern(3, 3);
  // Under 44 bytes the decoder recognises nothing; starting "BM" it is not tried as an icon.
  std::vector<uint8_t> shortBmp = {'B', 'M'};
  shortBmp.resize(30, 0);
  EXPECT_FALSE(p.loadFile(WriteFile("short.bmp", shortBmp)));
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
  gif.resize(100, 0);
  EXPECT_FALSE(p.loadFile(WriteFile("a.gif", gif)));
  EXPECT_FALSE(p.loadFile(WriteFile("tiny", {'B', 'M'})));
  EXPECT_TRUE(messages_.shown.empty());
  // The picture it had stays.
  EXPECT_EQ(p.bitmapSize(), (PictureItem::Size{3, 3}));
}

TEST_F(Picture, IconsLoadAtTheSystemSizeAndDrawWithTheirMask) {
  gfx_test::IcoEntry e;
  e.width = e.height = 16;
  e.bits = 24;
  // Right half transparent: black in the image, set in the AND mask.
  e.argb = [](int x, int) { return x < 8 ? 0xFFC08040u : 0xFF000000u; };
  e.clear = [](int x, int) { return x >= 8; };
  PictureItem p;
  ASSERT_TRUE(p.loadFile(WriteFile("a.ico", gfx_test::BuildIco({e}))));
  ASSERT_TRUE(p.icon);
  EXPECT_EQ(p.bitmapSize(), (PictureItem::Size{32, 32}));
  EXPECT_TRUE(messages_.shown.empty());
  // A cursor file loads as well.
  PictureItem c;
  ASSERT_TRUE(c.loadFile(WriteFile("a.cur", gfx_test::BuildIco({e}, 2))));
  EXPECT_EQ(c.bitmapSize(), (PictureItem::Size{32, 32}));

  for (int effect : {0, 37}) {
    host_.surface.Fill(kOld);
    auto show = Link<ShowPictureItem>(p, 100, 50, effect);
    show->link.color.useWindowBackground = 0;
    show->link.color.color = gfx::RGB(1, 2, 3);
    Play(*show);
    EXPECT_EQ(host_.surface.At(100, 50), 0xC08040u) << effect;
    EXPECT_EQ(host_.surface.At(115, 81), 0xC08040u) << effect;
    EXPECT_EQ(host_.surface.At(116, 50), 0x010203u) << effect;  // the brush under the mask
    EXPECT_EQ(host_.surface.At(131, 81), 0x010203u) << effect;
    EXPECT_EQ(host_.surface.At(132, 50), kOld) << effect;
  }
}

// ---- sizes ----

TEST(PictureSizes, FitAndAspect) {
  EXPECT_EQ(AspectFit(800, 400, 1024, 768), (PictureItem::Size{1024, 512}));
  EXPECT_EQ(AspectFit(400, 800, 1024, 768), (PictureItem::Size{384, 768}));
  EXPECT_EQ(AspectFit(4000, 3000, 1920, 1080), (PictureItem::Size{1440, 1080}));
  EXPECT_EQ(AspectFit(0, 10, 1024, 768), (PictureItem::Size{}));

  PictureItem p;
  p.bitmap = std::make_unique<gfx::Surface>(800, 400);
  EXPECT_EQ(p.displayedSize(1024, 768), (PictureItem::Size{800, 400}));
  p.width = 50;
  EXPECT_EQ(p.displayedSize(1024, 768), (PictureItem::Size{50, 0}));
  p.fitScreen = 1;
  EXPECT_EQ(p.displayedSize(1024, 768), (PictureItem::Size{1024, 768}));
  p.keepAspect = 1;
  EXPECT_EQ(p.displayedSize(1024, 768), (PictureItem::Size{1024, 512}));
  // Hiding covers the whole screen: the aspect is not considered.
  EXPECT_EQ(p.coveredSize(1024, 768), (PictureItem::Size{1024, 768}));
  p.fitScreen = 0;
  EXPECT_EQ(p.coveredSize(1024, 768), (PictureItem::Size{50, 0}));
}

TEST_F(Picture, FitWithAspectIsShownScaledAndCentred) {
  PictureItem p;
  p.bitmap = std::make_unique<gfx::Surface>(800, 400, 0x336699);
  p.fitScreen = p.keepAspect = 1;
  auto show = Link<ShowPictureItem>(p, 77, 33);
  Play(*show);
  EXPECT_EQ(show->link.path.modeX1, 1);
  EXPECT_EQ(show->link.path.modeY1, 1);
  EXPECT_EQ(p.currentPath.curX, 0);
  EXPECT_EQ(p.currentPath.curY, 128);
  EXPECT_EQ(host_.surface.At(0, 127), kOld);
  EXPECT_EQ(host_.surface.At(0, 128), 0x336699u);
  EXPECT_EQ(host_.surface.At(1023, 639), 0x336699u);
  EXPECT_EQ(host_.surface.At(512, 640), kOld);
  // The picture's own bitmap keeps its size; only the showing is scaled.
  EXPECT_EQ(p.bitmapSize(), (PictureItem::Size{800, 400}));
}

// ---- effects and placements ----

TEST_F(Picture, RandomEffectIsDrawnForEveryShowingAndTheLinkKeeps3) {
  PictureItem p;
  p.bitmap = Pattern(8, 8);
  auto show = Link<ShowPictureItem>(p, 0, 0, 3);
  std::set<int32_t> seen;
  for (int i = 0; i < 60; ++i) {
    host_.clock.Advance(std::chrono::milliseconds(37 + i));
    Play(*show);
    ASSERT_GE(p.currentPath.effect, 4);
    ASSERT_LE(p.currentPath.effect, 87);
    ASSERT_EQ(show->link.path.effect, 3);
    seen.insert(p.currentPath.effect);
    // Whatever the effect, the whole picture stands afterwards.
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(host_.surface.At(x, y), Pat(x, y)) << p.currentPath.effect;
  }
  EXPECT_GT(seen.size(), 10u);
}

TEST_F(Picture, PlainTiledAndStretchedPlacements) {
  PictureItem p;
  p.bitmap = Pattern(7, 5);
  Play(*Link<ShowPictureItem>(p, 13, 9, 0));
  EXPECT_EQ(p.shown, 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(host_.surface.At(13 + x, 9 + y), Pat(x, y));
  EXPECT_EQ(host_.surface.At(12, 9), kOld);
  EXPECT_EQ(host_.surface.At(20, 9), kOld);
  EXPECT_EQ(host_.surface.At(13, 14), kOld);

  // Tiled over the whole 1024-pixel screen, the last partial tile included.
  PictureItem t;
  t.bitmap = Pattern(100, 70);
  Play(*Link<ShowPictureItem>(t, 500, 500, 1));
  for (int y : {0, 69, 70, 400, 767})
    for (int x : {0, 99, 100, 555, 1000, 1023})
      ASSERT_EQ(host_.surface.At(x, y), Pat(x % 100, y % 70)) << x << "," << y;

  PictureItem s;
  s.bitmap = std::make_unique<gfx::Surface>(2, 2);
  s.bitmap->At(0, 0) = 0x800001;
  s.bitmap->At(1, 0) = 0x800002;
  s.bitmap->At(0, 1) = 0x800003;
  s.bitmap->At(1, 1) = 0x800004;
  Play(*Link<ShowPictureItem>(s, 500, 500, 2));
  EXPECT_EQ(host_.surface.At(0, 0), 0x800001u);
  EXPECT_EQ(host_.surface.At(1023, 0), 0x800002u);
  EXPECT_EQ(host_.surface.At(0, 767), 0x800003u);
  EXPECT_EQ(host_.surface.At(1023, 767), 0x800004u);
  EXPECT_EQ(host_.surface.At(511, 383), 0x800001u);
  EXPECT_EQ(host_.surface.At(512, 384), 0x800004u);
}

TEST_F(Picture, WipeOfAPicturePartlyLeftOfTheScreen) {
  PictureItem p;
  p.bitmap = Pattern(40, 30);
  Play(*Link<ShowPictureItem>(p, -10, 20, 37));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(host_.surface.At(x, 20 + y), Pat(x + 10, y));
  EXPECT_EQ(host_.surface.At(30, 20), kOld);
  EXPECT_EQ(host_.surface.At(0, 50), kOld);
  // The picture still stands where its path put it: hiding erases exactly its area.
  EXPECT_EQ(p.currentPath.curX, -10);
  Play(*Link<HidePictureItem>(p, 0, 0));
  EXPECT_EQ(host_.surface.At(0, 20), kWindowBackPixel);
  EXPECT_EQ(host_.surface.At(29, 49), kWindowBackPixel);
  EXPECT_EQ(host_.surface.At(30, 20), kOld);
  EXPECT_EQ(p.shown, 0);
}

// ---- paths ----

TEST(PicturePaths, StoredPointsModesAndMotionEnds) {
  FakePlayHost host;
  PathProperty path;
  path.x1 = -7;
  path.y1 = 3;
  path.x2 = 900;
  path.y2 = 4000;
  path.resolve(300, 200, host);
  EXPECT_EQ(path.x1, -7);
  EXPECT_EQ(path.y2, 4000);
  EXPECT_EQ(path.curX, -7);
  EXPECT_EQ(path.curY, 3);

  PathProperty centred;
  centred.modeX1 = 1;
  centred.resolve(300, 200, host);
  EXPECT_EQ(centred.x1, 362);

  PathProperty h;
  h.x1 = 0;
  h.x2 = 100;
  h.dx = 7;
  h.resolve(10, 10, host);
  int steps = 0;
  while (!h.step()) ++steps;
  EXPECT_EQ(h.curX, 105);
  EXPECT_EQ(steps, 14);

  PathProperty v;
  v.x1 = v.x2 = 50;
  v.y1 = 300;
  v.y2 = 100;
  v.dx = 4;
  v.resolve(10, 10, host);
  EXPECT_TRUE(v.step());  // moving up with a positive step: over at once
}

// ---- moving ----

TEST_F(Picture, MoveEndsAtItsLastStepAndLeavesTheBackgroundBehind) {
  PictureItem p;
  p.bitmap = Pattern(20, 10);
  Play(*Link<ShowPictureItem>(p, 10, 100));
  auto move = Link<MovePictureItem>(p, 10, 100);
  move->link.path.x2 = 100;
  move->link.path.dx = 7;
  move->link.path.moveSpeed = 100000;
  Play(*move);
  // 10, 17, ... 101: the step past the end point is the last one drawn.
  EXPECT_EQ(p.currentPath.curX, 101);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(host_.surface.At(101 + x, 100 + y), Pat(x, y));
  for (int x = 10; x < 101; ++x) ASSERT_EQ(host_.surface.At(x, 105), kWindowBackPixel) << x;
  EXPECT_EQ(host_.surface.At(9, 105), kOld);
  EXPECT_EQ(host_.surface.At(50, 99), kOld);
  EXPECT_EQ(host_.surface.At(50, 110), kOld);
  EXPECT_EQ(p.shown, 1);
  EXPECT_FALSE(p.screenCopy);
}

TEST_F(Picture, DiagonalMoveCopiesTheUncoveredCornersFromTheScreen) {
  PictureItem p;
  p.bitmap = Pattern(20, 10);
  Play(*Link<ShowPictureItem>(p, 10, 100));
  auto move = Link<MovePictureItem>(p, 10, 100);
  move->link.path.x2 = 100;
  move->link.path.y2 = 140;
  move->link.path.dx = 5;
  Play(*move);
  // The first step's union reaches (30..35, 100..103), which neither rectangle covers.
  EXPECT_EQ(host_.surface.At(32, 100), kOld);
  EXPECT_EQ(host_.surface.At(12, 101), kWindowBackPixel);
  EXPECT_EQ(host_.surface.At(p.currentPath.curX, p.currentPath.curY), Pat(0, 0));
}

TEST_F(Picture, KeepScreenMovesOverTheScreenAsItWasAndFarStepsEraseAndShow) {
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) host_.surface.At(x, y) = ScreenPat(x, y);
  PictureItem p;
  p.bitmap = Pattern(20, 10);
  auto move = Link<MovePictureItem>(p, 300, 300);
  move->link.path.x2 = 400;
  move->link.path.dx = 3;
  move->link.path.keepScreen = 1;
  Play(*move);
  EXPECT_EQ(p.currentPath.curX, 402);
  EXPECT_EQ(host_.surface.At(350, 305), ScreenPat(350, 305));
  EXPECT_EQ(host_.surface.At(402, 300), Pat(0, 0));

  // Steps wider than the picture do not overlap: erase, then show anew.
  auto jump = Link<MovePictureItem>(p, 0, 600);
  jump->link.path.x2 = 200;
  jump->link.path.dx = 50;
  Play(*jump);
  EXPECT_EQ(p.currentPath.curX, 200);
  EXPECT_EQ(host_.surface.At(200, 600), Pat(0, 0));
  EXPECT_EQ(host_.surface.At(50, 600), kWindowBackPixel);
  EXPECT_EQ(host_.surface.At(30, 600), ScreenPat(30, 600));
}

TEST_F(Picture, StopEndsAMoveWhereThePictureStands) {
  PictureItem p;
  p.bitmap = Pattern(20, 10);
  Play(*Link<ShowPictureItem>(p, 10, 100));
  auto move = Link<MovePictureItem>(p, 10, 100);
  move->link.path.x2 = 800;
  move->link.path.dx = 1;
  int paces = 0;
  struct StopHost : FakePlayHost {
    int* paces;
    void Paced(const transitions::PaceStep&) override {
      if (++*paces == 5) stop.Set();
    }
  } host;
  host.paces = &paces;
  host.surface.Fill(kOld);
  int32_t index = 0;
  move->play(host, index);
  EXPECT_EQ(paces, 5);
  EXPECT_EQ(p.currentPath.curX, 14);
  EXPECT_EQ(host.surface.At(14, 100), Pat(0, 0));
}

TEST_F(Picture, AMoveThatCannotProgressEndsInsteadOfSpinning) {
  PictureItem p;
  p.bitmap = Pattern(20, 10);
  struct CountingHost : FakePlayHost {
    int paces = 0;
    void Paced(const transitions::PaceStep&) override {
      if (++paces == 1000) stop.Set();  // the test's own guard against a hang
    }
  };
  for (int freeMotion : {0, 1}) {
    CountingHost host;
    auto move = Link<MovePictureItem>(p, 10, 100);
    move->link.path.x2 = 300;
    move->link.path.dx = 0;
    move->link.path.dy = 0;
    move->link.path.freeMotion = freeMotion;
    move->link.path.compareX = 2;  // never met
    move->link.path.stopX = 12345;
    int32_t index = 0;
    move->play(host, index);
    EXPECT_EQ(host.paces, 0) << freeMotion;
    EXPECT_EQ(host.surface.At(10, 100), Pat(0, 0));
  }
}

// ---- hiding ----

TEST_F(Picture, HidingAnUnshownPictureDoesNothing) {
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) host_.surface.At(x, y) = ScreenPat(x, y);
  PictureItem p;
  p.bitmap = Pattern(20, 10);
  EXPECT_EQ(Play(*Link<HidePictureItem>(p, 0, 0)), 1);
  EXPECT_TRUE(ScreenIs(ScreenPat));
  EXPECT_TRUE(host_.repaints.empty());
}

TEST_F(Picture, SavedBackgroundComesBackOnHide) {
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) host_.surface.At(x, y) = ScreenPat(x, y);
  PictureItem p;
  p.bitmap = Pattern(40, 30);
  auto show = Link<ShowPictureItem>(p, 1000, -5, 37);  // partly off the right and top
  show->link.path.saveBackground = 1;
  Play(*show);
  EXPECT_EQ(host_.surface.At(1000, 0), Pat(0, 5));
  Play(*Link<HidePictureItem>(p, 0, 0));
  EXPECT_TRUE(ScreenIs(ScreenPat));
  EXPECT_FALSE(p.savedBackground);

  // A move that saves: the screen under its end point comes back.
  Play(*Link<ShowPictureItem>(p, 100, 100));
  auto move = Link<MovePictureItem>(p, 100, 100);
  move->link.path.x2 = 160;
  move->link.path.dx = 20;
  move->link.path.saveBackground = 1;
  move->link.path.keepScreen = 1;
  Play(*move);
  Play(*Link<HidePictureItem>(p, 0, 0));
  for (int y = 100; y < 130; ++y)
    for (int x = 160; x < 200; ++x) ASSERT_EQ(host_.surface.At(x, y), ScreenPat(x, y));
}

// ---- desktop and wallpaper ----

TEST_F(Picture, DesktopOriginReloadsFromTheSnapshotOrDrawsNothing) {
  PictureItem p;
  p.bitmap = Pattern(5, 5);
  p.imageOrigin = 2;
  host_.desktopPath = (dir_ / "desktop.bmp").string();
  auto show = Link<ShowPictureItem>(p, 0, 0);
  Play(*show);
  EXPECT_TRUE(ScreenIs([](int, int) { return kOld; }));
  EXPECT_EQ(p.imageOrigin, 2);
  messages_.shown.clear();

  const auto bmp = Encoded(30, 20, false);
  WriteFile("desktop.bmp", bmp);
  Play(*show);
  EXPECT_EQ(p.imageOrigin, 1);
  EXPECT_EQ(p.bitmapSize(), (PictureItem::Size{30, 20}));
  EXPECT_EQ(host_.surface.At(29, 19), Pat(29, 19));
  EXPECT_EQ(host_.surface.At(30, 19), kOld);

  PictureItem w;
  w.bitmap = Pattern(5, 5);
  w.imageOrigin = 3;
  host_.wallpaperPath = host_.desktopPath;
  Play(*Link<ShowPictureItem>(w, 500, 500, 40));
  EXPECT_EQ(host_.surface.At(500, 500), Pat(0, 0));
  EXPECT_EQ(w.imageOrigin, 1);
}

// The snapshot and the wallpaper (screen-size pictures, as startup writes them) are pictures
// like any other: through every effect the screen ends as it does for a picture of the same
// pixels held by the show itself.
TEST_F(Picture, DesktopAndWallpaperPicturesComeOnThroughEveryEffect) {
  constexpr int kW = 160, kH = 120;
  FakePlayHost host(kW, kH);
  host.background = kWindowBack;
  WriteFile("desktop.bmp", Encoded(kW, kH, false));
  host.desktopPath = (dir_ / "desktop.bmp").string();
  host.wallpaperPath = host.desktopPath;
  auto play = [&](PictureItem& p, int32_t effect) {
    host.surface.Fill(kOld);
    int32_t index = 0;
    Link<ShowPictureItem>(p, 0, 0, effect)->play(host, index);
  };
  for (const transitions::EffectInfo& e : transitions::EffectTable()) {
    // A random effect stands for another, chosen anew each time: those are all here.
    if (e.Random()) continue;
    PictureItem own;
    own.bitmap = Pattern(kW, kH);
    play(own, e.number);
    const gfx::Surface expected = host.surface;
    for (int32_t origin : {2, 3}) {
      SCOPED_TRACE(std::string(e.name) + (origin == 2 ? ", desktop" : ", wallpaper"));
      PictureItem p;
      p.bitmap = Pattern(5, 5);
      p.imageOrigin = origin;
      play(p, e.number);
      ASSERT_EQ(p.imageOrigin, 1);
      int bad = 0;
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) bad += host.surface.At(x, y) != expected.At(x, y);
      EXPECT_EQ(bad, 0);
    }
  }
}

// ---- memory: the form a picture keeps, and pictures kept as their bytes ----

// A show of pictures of every kind of size (own, fitted, fitted keeping the aspect, given),
// shown, moved, hidden and looped, played item by item with the screen hashed after each.
// Whatever each picture keeps (its own pixels, the form for the screen, only its bytes with
// a cache of one picture or of several) the frames are the same.
class PictureMemory : public Picture {
 protected:
  struct Show {
    SceneList list;
    std::vector<PictureItem*> pictures;
  };
  void Build(Show& show, const std::vector<std::vector<uint8_t>>& files) {
    SceneList& list = show.list;
    auto add = [&](int32_t kind) -> SceneItem& {
      list.Append(list.Create(kind));
      return list.at(list.size() - 1);
    };
    for (size_t i = 0; i < files.size(); ++i) {
      auto& p = static_cast<PictureItem&>(add(kPictureItem));
      SetData(p, files[i]);
      p.fileName = "picture" + std::to_string(i);
      switch (i % 4) {
        case 1:
          p.fitScreen = 1;
          break;
        case 2:
          p.fitScreen = p.keepAspect = 1;
          break;
        case 3:
          p.width = 50 + static_cast<int32_t>(i);
          p.height = 31;
          break;
      }
      show.pictures.push_back(&p);
    }
    auto link = [&](int32_t kind, PictureItem& p, int32_t x, int32_t effect) -> PathProperty& {
      SceneItem& item = add(kind);
      item.setLink(&p);
      p.addReference(&item);
      auto& path = kind == kShowPictureItem   ? static_cast<ShowPictureItem&>(item).link.path
                   : kind == kMovePictureItem ? static_cast<MovePictureItem&>(item).link.path
                                              : static_cast<HidePictureItem&>(item).link.path;
      path.x1 = path.x2 = x;
      path.y1 = path.y2 = x / 2;
      path.effect = effect;
      path.effectSpeed = 1100;
      return path;
    };
    add(kLoopStartItem);
    for (size_t i = 0; i < files.size(); ++i) {
      PictureItem& p = *show.pictures[i];
      const auto x = static_cast<int32_t>(7 * i);
      link(kShowPictureItem, p, x, static_cast<int32_t>(i % 3) * 20);
      if (i % 3 == 1) {
        PathProperty& path = link(kMovePictureItem, p, x, 0);
        path.x2 = x + 40;
        path.dx = 9;
        path.moveSpeed = 100000;
      }
      if (i % 2) link(kHidePictureItem, p, x, 0);
    }
    auto& end = static_cast<LoopEndItem&>(add(kLoopEndItem));
    end.repeat.repeatCount = 2;
    for (size_t j = 0; j < list.size(); ++j) list.at(j).index = static_cast<int32_t>(j);
  }
  // The screen's hash after every item played, in walk order.
  std::vector<uint64_t> Play(Show& show) {
    FakePlayHost& host_ = screen_;
    host_.surface.Fill(kOld);
    std::vector<uint64_t> frames;
    const auto size = static_cast<int32_t>(show.list.size());
    for (int32_t i = 0; i < size; ++i) {
      SceneItem& item = show.list.at(static_cast<size_t>(i));
      item.play(host_, i);
      uint64_t h = 1469598103934665603u;
      for (int y = 0; y < host_.surface.Height(); ++y)
        for (int x = 0; x < host_.surface.Width(); ++x)
          h = (h ^ host_.surface.At(x, y)) * 1099511628211u;
      frames.push_back(h);
    }
    return frames;
  }
  std::vector<std::vector<uint8_t>> Files() {
    std::vector<std::vector<uint8_t>> files;
    for (int i = 0; i < 9; ++i) files.push_back(Encoded(60 + 13 * i, 40 + 5 * i, i % 2 == 0));
    return files;
  }
  FakePlayHost screen_{320, 240};
};

TEST_F(PictureMemory, EveryWayOfKeepingPicturesShowsTheSameFrames) {
  const auto files = Files();
  Show plain;
  Build(plain, files);
  ASSERT_EQ(PrepareItems(plain.list), -1);
  for (PictureItem* p : plain.pictures) ASSERT_TRUE(p->bitmap && !p->keptCompressed());
  const std::vector<uint64_t> expected = Play(plain);
  ASSERT_GT(expected.size(), 30u);

  struct Case {
    const char* name;
    int32_t loadWidth, loadHeight;  // the screen the show is loaded for (0: not known)
    int64_t budgetPixels, cacheBytes;
    bool compressed;  // pictures beyond the first keep only their bytes
  };
  const int32_t w = screen_.surface.Width(), h = screen_.surface.Height();
  for (const Case& c :
       std::vector<Case>{{"fitted at load", w, h, kPictureBudgetPixels, 0, false},
                         {"bytes, cache of one", w, h, 60 * 40, 1, true},
                         {"bytes, cache of all", w, h, 0, int64_t{1} << 30, true},
                         {"bytes, another screen", 200, 100, 0, 1, true},
                         {"fitted for another screen", 400, 300, kPictureBudgetPixels, 0, false}}) {
    Show show;
    Build(show, files);
    show.list.screenWidth = c.loadWidth;
    show.list.screenHeight = c.loadHeight;
    show.list.pictureBudgetPixels = c.budgetPixels;
    show.list.pictureCache().SetCapacity(c.cacheBytes);
    messages_.shown.clear();
    ASSERT_EQ(PrepareItems(show.list), -1) << c.name;
    // A fitted or sized picture keeps only the form for the screen it was loaded for.
    for (size_t i = 1; i < show.pictures.size(); ++i) {
      const PictureItem& p = *show.pictures[i];
      EXPECT_EQ(p.keptCompressed(), c.compressed) << c.name << i;
      EXPECT_EQ(p.bitmap == nullptr, c.compressed) << c.name << i;
      EXPECT_EQ(p.bitmapSize(), plain.pictures[i]->bitmapSize()) << c.name << i;
      const PictureItem::Size kept = i % 4 == 0   ? PictureItem::Size{}
                                     : i % 4 == 1 ? PictureItem::Size{c.loadWidth, c.loadHeight}
                                     : i % 4 == 3 ? PictureItem::Size{p.width, p.height}
                                                  : p.keptSize();
      EXPECT_EQ(p.keptSize(), kept) << c.name << i;
      if (!c.compressed && i % 4 != 0) {
        EXPECT_EQ(p.bitmap->Width(), p.keptSize().width) << c.name << i;
      }
    }
    EXPECT_EQ(Play(show), expected) << c.name;
    EXPECT_TRUE(messages_.shown.empty()) << c.name;
    const PictureCache::Counts counts = show.list.pictureCache().counts();
    if (c.compressed) {
      EXPECT_GT(counts.ahead + counts.onDemand, 0) << c.name;
      EXPECT_LE(counts.heldBytes, std::max<int64_t>(c.cacheBytes, int64_t{w} * h * 4)) << c.name;
    }
    show.list.Clear();
  }
  EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
}

// A picture kept as its bytes that no longer decodes when shown says so as the load would,
// draws nothing and the show goes on; its move does nothing either.
TEST_F(PictureMemory, BytesThatNoLongerDecodeFailAsALoadDoes) {
  Show show;
  Build(show, Files());
  show.list.pictureBudgetPixels = 0;
  show.list.pictureCache().SetCapacity(0);
  ASSERT_EQ(PrepareItems(show.list), -1);
  show.list.pictureCache().Clear();  // nothing decoded ahead yet
  for (size_t i : {1u, 4u}) {
    PictureItem& p = *show.pictures[i];
    ASSERT_TRUE(p.keptCompressed());
    std::fill(p.data.bytes.get() + 4, p.data.bytes.get() + p.data.size, uint8_t{0x11});
  }
  const std::vector<uint64_t> frames = Play(show);
  ASSERT_FALSE(messages_.shown.empty());
  std::set<std::string> named;
  for (const auto& [text, icon] : messages_.shown) {
    EXPECT_EQ(text.rfind("Error reckognizing picture (picture", 0), 0u) << text;
    named.insert(text.substr(0, text.find(')')));
  }
  EXPECT_EQ(named, (std::set<std::string>{"Error reckognizing picture (picture1",
                                          "Error reckognizing picture (picture4"}));
  // The walk went on to its end, as far as with every picture intact.
  Show intact;
  Build(intact, Files());
  ASSERT_EQ(PrepareItems(intact.list), -1);
  EXPECT_EQ(frames.size(), Play(intact).size());
  intact.list.Clear();
  show.list.Clear();
}

// Pictures beyond the show's budget are no longer refused: they keep their bytes, and the
// budget counts the pictures kept decoded, in list order.
TEST_F(Picture, PicturesBeyondTheBudgetKeepTheirBytes) {
  list_.pictureBudgetPixels = 3 * 40 * 30;
  const auto bytes = Encoded(40, 30, false);
  auto show = [&](PictureItem& p) {
    host_.surface.Fill(kOld);
    auto item = Link<ShowPictureItem>(p, 5, 5);
    EXPECT_EQ(Play(*item), 1);
    return host_.surface.At(5 + 7, 5 + 3);
  };
  PictureItem p[4];
  for (int i = 0; i < 4; ++i) {
    SetData(p[i], bytes);
    ASSERT_TRUE(p[i].prepare(list_)) << i;
    EXPECT_EQ(p[i].keptCompressed(), i == 3) << i;
  }
  EXPECT_EQ(list_.decodedPixels, 3 * 40 * 30);
  EXPECT_FALSE(p[3].bitmap);
  EXPECT_EQ(p[3].bitmapSize(), (PictureItem::Size{40, 30}));
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(show(p[3]), Pat(7, 3));
  EXPECT_EQ(show(p[0]), Pat(7, 3));
  EXPECT_TRUE(testsupport::HoldsNoFiles(dir_ / "tmp"));
  list_.Clear();
  EXPECT_EQ(list_.decodedPixels, 0);
}

// The cache decodes ahead what the walk will show, loops followed as their counters stand.
TEST_F(Picture, TheCacheFollowsTheWalkThroughLoops) {
  SceneList list;
  list.pictureBudgetPixels = 0;  // every picture keeps its bytes
  std::vector<PictureItem*> pictures;
  const auto bytes = Encoded(4, 4, false);
  for (int i = 0; i < 3; ++i) {
    list.Append(list.Create(kPictureItem));
    pictures.push_back(static_cast<PictureItem*>(&list.at(list.size() - 1)));
    SetData(*pictures.back(), bytes);
  }
  auto showOf = [&](int k) {
    list.Append(list.Create(kShowPictureItem));
    list.at(list.size() - 1).setLink(pictures[static_cast<size_t>(k)]);
  };
  // 3: loop start, 4: show 0, 5: loop end (twice round), 6: show 1, 7: show 2
  list.Append(list.Create(kLoopStartItem));
  showOf(0);
  list.Append(list.Create(kLoopEndItem));
  showOf(1);
  showOf(2);
  for (size_t j = 0; j < list.size(); ++j) list.at(j).index = static_cast<int32_t>(j);
  ASSERT_EQ(PrepareItems(list), -1);
  for (const PictureItem* p : pictures) ASSERT_TRUE(p->keptCompressed());
  auto& end = static_cast<LoopEndItem&>(list.at(5));
  ASSERT_EQ(end.repeat.loopStart, 3);
  end.repeat.repeatCount = 2;
  using Order = std::vector<const PictureItem*>;
  const PictureCache& cache = list.pictureCache();
  EXPECT_EQ(cache.Upcoming(0, 8), (Order{pictures[0], pictures[1], pictures[2]}));
  EXPECT_EQ(cache.Upcoming(6, 8), (Order{pictures[1], pictures[2]}));
  EXPECT_EQ(cache.Upcoming(4, 1), (Order{pictures[0]}));
  // An endless loop around one picture: the walk never gets past it.
  end.repeat.endless = 1;
  EXPECT_EQ(cache.Upcoming(4, 8), (Order{pictures[0]}));
  end.repeat.endless = 0;
  // A loop that still goes round 4 times before the last picture (counter at 1 of 5).
  end.repeat.repeatCount = 5;
  end.repeat.counter = 1;
  EXPECT_EQ(cache.Upcoming(5, 8), (Order{pictures[0], pictures[1], pictures[2]}));
  list.Clear();
}

}  // namespace
