// Text pictures prepared, shown through the effects, moved, hidden and typed out.
#include <gtest/gtest.h>

#include <numeric>

#include "platform/ui/message_box.h"
#include "scene/fake_play_host.h"
#include "scene/items.h"
#include "scene/scene_list.h"
#include "scene/text_bitmap.h"

namespace scene {
namespace {

using scene_test::FakePlayHost;

constexpr gfx::COLORREF kInk = gfx::RGB(230, 20, 10);
constexpr gfx::COLORREF kWindowBack = gfx::RGB(0, 0, 40);

gfx::Pixel ScreenPat(int x, int y) { return static_cast<uint32_t>(x * 31 + y * 17) & 0x3FFFFF; }

struct Capture : ui::MessagePresenter {
  void Show(const std::string& text, ui::MessageIcon icon) override {
    shown.emplace_back(text, icon);
  }
  std::vector<std::pair<std::string, ui::MessageIcon>> shown;
};

class TextPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = ui::SetMessagePresenter(&messages_);
    for (int y = 0; y < host_.surface.Height(); ++y)
      for (int x = 0; x < host_.surface.Width(); ++x) host_.surface.At(x, y) = ScreenPat(x, y);
    host_.background = kWindowBack;
    picture_.source = 1;
    picture_.text = "Caption\r\nover it";
    picture_.textColor = kInk;
    picture_.textOpaque = 0;
    picture_.font.height = -18;
  }
  void TearDown() override { ui::SetMessagePresenter(previous_); }

  template <typename Item>
  std::unique_ptr<Item> Link(int32_t x, int32_t y, int32_t effect = 0) {
    auto item = std::make_unique<Item>();
    item->setLink(&picture_);
    item->link.path.x1 = item->link.path.x2 = x;
    item->link.path.y1 = item->link.path.y2 = y;
    item->link.path.effect = effect;
    item->link.path.effectSpeed = 1100;  // no waits
    return item;
  }
  void Play(SceneItem& item) {
    int32_t index = 0;
    item.play(host_, index);
  }
  // Every screen pixel is the text's ink where the bitmap at (x0, y0) has ink, and
  // `elsewhere` everywhere else.
  void ExpectTextOver(int x0, int y0, gfx::Pixel (*elsewhere)(int, int)) {
    const gfx::Surface& b = *picture_.bitmap;
    const gfx::Pixel key = gfx::PixelFromColorRef(TransparentKey(picture_));
    int inked = 0;
    for (int y = 0; y < host_.surface.Height(); ++y)
      for (int x = 0; x < host_.surface.Width(); ++x) {
        const bool inside = x >= x0 && y >= y0 && x < x0 + b.Width() && y < y0 + b.Height();
        if (inside && b.At(x - x0, y - y0) != key) {
          ++inked;
          ASSERT_EQ(host_.surface.At(x, y), gfx::PixelFromColorRef(kInk)) << x << "," << y;
        } else {
          ASSERT_EQ(host_.surface.At(x, y), elsewhere(x, y)) << x << "," << y;
        }
      }
    EXPECT_GT(inked, 50);
  }

  Capture messages_;
  ui::MessagePresenter* previous_ = nullptr;
  FakePlayHost host_{200, 120};
  PictureItem picture_;
  SceneList list_;
};

TEST_F(TextPicture, PrepareRendersTheTextOrSaysWhyNot) {
  struct Case {
    std::string text;
    bool ok;
  } cases[] = {{"hello", true}, {"two\r\nlines", true}, {"", false}, {"\r\n", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    messages_.shown.clear();
    picture_.bitmap.reset();
    picture_.text = c.text;
    EXPECT_EQ(picture_.prepare(list_), c.ok);
    EXPECT_EQ(picture_.bitmap != nullptr, c.ok);
    if (c.ok) {
      EXPECT_TRUE(messages_.shown.empty());
    } else {
      ASSERT_EQ(messages_.shown.size(), 1u);
      EXPECT_EQ(messages_.shown[0].first, c.text + "\ntext bitmap cannot be made.");
      EXPECT_EQ(messages_.shown[0].second, ui::MessageIcon::Stop);
    }
  }
}

TEST_F(TextPicture, TransparentTextLeavesTheScreenWhereItHasNoInkThroughEveryKindOfEffect) {
  ASSERT_TRUE(picture_.prepare(list_));
  // Placed, wipes, a slide, dissolves, fades: once the effect is done the screen shows the
  // text over what was there.
  for (int32_t effect : {0, 4, 7, 22, 37, 40, 57, 70, 80, 86}) {
    SCOPED_TRACE(effect);
    for (int y = 0; y < host_.surface.Height(); ++y)
      for (int x = 0; x < host_.surface.Width(); ++x) host_.surface.At(x, y) = ScreenPat(x, y);
    auto show = Link<ShowPictureItem>(20, 15, effect);
    Play(*show);
    EXPECT_EQ(picture_.shown, 1);
    ExpectTextOver(20, 15, ScreenPat);
  }
}

TEST_F(TextPicture, OpaqueTextShowsItsBackground) {
  picture_.textOpaque = 1;
  picture_.backColor = gfx::RGB(0, 90, 0);
  ASSERT_TRUE(picture_.prepare(list_));
  auto show = Link<ShowPictureItem>(30, 40, 37);
  Play(*show);
  const gfx::Surface& b = *picture_.bitmap;
  for (int y = 0; y < host_.surface.Height(); ++y)
    for (int x = 0; x < host_.surface.Width(); ++x) {
      const bool inside = x >= 30 && y >= 40 && x < 30 + b.Width() && y < 40 + b.Height();
      const gfx::Pixel got = host_.surface.At(x, y);
      if (inside)
        ASSERT_TRUE(got == gfx::PixelFromColorRef(kInk) ||
                    got == gfx::PixelFromColorRef(picture_.backColor))
            << x << "," << y;
      else
        ASSERT_EQ(got, ScreenPat(x, y)) << x << "," << y;
    }
}

TEST_F(TextPicture, TransparentTextMovesOverTheScreenAndHides) {
  ASSERT_TRUE(picture_.prepare(list_));
  auto show = Link<ShowPictureItem>(10, 10);
  Play(*show);
  auto move = Link<MovePictureItem>(10, 10);
  move->link.path.x2 = 40;
  move->link.path.dx = 3;
  Play(*move);
  EXPECT_EQ(picture_.currentPath.curX, 40);
  // The text stands at its new place over the screen as the move found it (which holds
  // the text where it was shown); nothing else changed.
  const gfx::Surface& b = *picture_.bitmap;
  const gfx::Pixel key = gfx::PixelFromColorRef(TransparentKey(picture_));
  auto inRect = [&](int x, int y, int x0) {
    return x >= x0 && y >= 10 && x < x0 + b.Width() && y < 10 + b.Height();
  };
  for (int y = 0; y < host_.surface.Height(); ++y)
    for (int x = 0; x < host_.surface.Width(); ++x) {
      const gfx::Pixel got = host_.surface.At(x, y);
      if (inRect(x, y, 40) && b.At(x - 40, y - 10) != key) {
        ASSERT_EQ(got, gfx::PixelFromColorRef(kInk)) << x << "," << y;
      } else if (!inRect(x, y, 10)) {
        ASSERT_EQ(got, ScreenPat(x, y)) << x << "," << y;
      }
    }

  auto hide = Link<HidePictureItem>(0, 0);
  Play(*hide);
  EXPECT_EQ(picture_.shown, 0);
  for (int y = 0; y < host_.surface.Height(); ++y)
    for (int x = 0; x < host_.surface.Width(); ++x)
      if (inRect(x, y, 40)) {
        ASSERT_EQ(host_.surface.At(x, y), gfx::PixelFromColorRef(kWindowBack));
      }
}

TEST_F(TextPicture, TypedOutByItsShowItemEndsLikeAPlainShow) {
  ASSERT_TRUE(picture_.prepare(list_));
  auto show = Link<ShowPictureItem>(12, 20);
  show->link.path.textAnimation = 1;
  show->link.path.textSpeed = 1500;
  Play(*show);
  // "Caption" and "over it": 14 letters, 13 gaps of 500 ms (the space is a letter too).
  EXPECT_EQ(std::accumulate(host_.waits.begin(), host_.waits.end(), int64_t{0}), 13 * 500);
  ExpectTextOver(12, 20, ScreenPat);
}

}  // namespace
}  // namespace scene
