#include <gtest/gtest.h>

#include "platform/sys/bounded_reader.h"
#include "platform/ui/message_box.h"
#include "scene/archive_builder.h"
#include "scene/items.h"
#include "scene/project_archive.h"
#include "scene/scene_list.h"

namespace {

using namespace scene;
using scene_test::ArchiveBuilder;

class Capture : public ui::MessagePresenter {
 public:
  void Show(const std::string& text, ui::MessageIcon icon) override {
    texts.push_back(text);
    icons.push_back(icon);
  }
  std::vector<std::string> texts;
  std::vector<ui::MessageIcon> icons;
};

class Records : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = ui::SetMessagePresenter(&capture); }
  void TearDown() override { ui::SetMessagePresenter(previous_); }

  // Reads records only; returns the error or "".
  std::string ReadRecords(const ArchiveBuilder& b, uint64_t* offset = nullptr) {
    sys::MemorySource source(b.bytes);
    ProjectArchive archive(source);
    try {
      archive.ReadInt32();
      ReadSceneRecords(archive, list);
    } catch (const ArchiveError& e) {
      if (offset) *offset = e.offset();
      return e.what();
    }
    return "";
  }
  bool Load(const ArchiveBuilder& b, SceneLoadFailure* failure = nullptr) {
    sys::MemorySource source(b.bytes);
    ProjectArchive archive(source);
    try {
      archive.ReadInt32();
    } catch (const ArchiveError& e) {
      if (failure) *failure = SceneLoadFailure{e.what(), e.offset(), false};
      return false;
    }
    return ReadScene(archive, list, failure);
  }
  template <typename T>
  T& Item(size_t i) {
    auto* p = dynamic_cast<T*>(&list.at(i));
    EXPECT_NE(p, nullptr);
    return *p;
  }

  Capture capture;
  SceneList list;

 private:
  ui::MessagePresenter* previous_ = nullptr;
};

TEST_F(Records, HeaderGate) {
  ArchiveBuilder ok;
  ok.Header(4.31f, 0);
  EXPECT_TRUE(Load(ok));
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(list.version, 4.31f);

  ArchiveBuilder newer;
  newer.Header(4.32f, 0);
  SceneLoadFailure f;
  EXPECT_FALSE(Load(newer, &f));
  EXPECT_EQ(f.offset, 4u + 13u);  // the version field

  ArchiveBuilder wrongId;
  wrongId.Header(4.0f, 0, "SceneProjecT");
  EXPECT_FALSE(Load(wrongId, &f));
  EXPECT_EQ(f.offset, 4u);

  // The identification may come in 16-bit characters; trailing bytes are ignored.
  ArchiveBuilder wide;
  wide.I32(0).Wide(u"SceneProject").F32(2.0f).I32(0).Raw("trailing");
  EXPECT_TRUE(Load(wide));

  ArchiveBuilder empty;
  EXPECT_FALSE(Load(empty, &f));
  EXPECT_TRUE(capture.texts.empty());  // archive errors are not shown
}

TEST_F(Records, PathLayoutPerVersion) {
  for (float v : {1.0f, 2.0f, 2.5f, 3.1f, 4.31f}) {
    ArchiveBuilder b;
    b.Header(v, 2).Item(kShowPictureItem, "show").Path({10, 20, 30, 40}).Color(0xABCDEF, 1, 0, 0);
    b.Item(kCommentItem, "after").Scr("still aligned");
    ASSERT_EQ(ReadRecords(b), "") << v;
    auto& link = Item<ShowPictureItem>(0).link;
    EXPECT_EQ(link.path.x1, 10) << v;
    EXPECT_EQ(link.path.y2, 40) << v;
    EXPECT_EQ(link.path.dx, 7) << v;
    EXPECT_EQ(link.path.stopY, 60) << v;
    EXPECT_EQ(link.path.compareY, 2) << v;
    EXPECT_EQ(link.path.moveSpeed, 90000) << v;
    EXPECT_EQ(link.path.textSpeed, 1500) << v;
    EXPECT_EQ(link.path.modeX1, 5) << v;
    EXPECT_EQ(link.color.color, 0xABCDEFu) << v;
    EXPECT_EQ(link.color.paintMode, 1) << v;
    EXPECT_EQ(link.color.useWindowBackground, 0) << v;
    EXPECT_EQ(link.path.keepScreen, v == 1.0f ? 0 : 1) << v;
    EXPECT_EQ(link.path.effect, v >= 2.5f ? 44 : 0) << v;
    EXPECT_EQ(link.path.effectSpeed, v >= 3.1f ? 300 : 100) << v;
    EXPECT_EQ(Item<CommentItem>(1).comment, "still aligned") << v;
  }
}

TEST_F(Records, PathOfVersion32ReadsNothing) {
  ArchiveBuilder b;
  b.Header(3.2f, 2).Item(kShowPictureItem, "s").Color(0x010203).Item(kLoopStartItem, "l");
  ASSERT_EQ(ReadRecords(b), "");
  const auto& path = Item<ShowPictureItem>(0).link.path;
  EXPECT_EQ(path.x1, 0);
  EXPECT_EQ(path.dx, 1);
  EXPECT_EQ(path.moveSpeed, 100000);
  EXPECT_EQ(path.modeX1, 5);
  EXPECT_EQ(path.modeY2, 5);
  EXPECT_EQ(Item<ShowPictureItem>(0).link.color.color, 0x010203u);
  EXPECT_EQ(list.at(1).kind, kLoopStartItem);
}

TEST_F(Records, OldPathFlagsBecomeModes) {
  ArchiveBuilder b;
  b.Header(1.0f, 1).Item(kLineItem, "line").Color();
  b.I32(1).I32(0).I32(1).I32(0);  // randomX1, randomX2
  for (int i = 0; i < 16; ++i) b.I32(0);
  b.I32(2).I32(3);  // penStyle penWidth
  ASSERT_EQ(ReadRecords(b), "");
  auto& line = Item<LineItem>(0);
  EXPECT_EQ(line.path.modeX1, 3);
  EXPECT_EQ(line.path.modeY1, 5);
  EXPECT_EQ(line.path.modeX2, 3);
  EXPECT_EQ(line.penStyle, 2);
  EXPECT_EQ(line.penWidth, 3);

  ArchiveBuilder c;
  c.Header(2.0f, 1).Item(kLineItem, "line").Color();
  c.I32(1).I32(0).I32(0).I32(0).I32(1).I32(0).I32(0).I32(1);  // random+centre x1, centre y2
  for (int i = 0; i < 18; ++i) c.I32(0);
  c.I32(0).I32(1);
  ASSERT_EQ(ReadRecords(c), "");
  EXPECT_EQ(Item<LineItem>(0).path.modeX1, 1);  // centre wins
  EXPECT_EQ(Item<LineItem>(0).path.modeY2, 1);
}

// A picture record with text source in the layout of version v.
void TextPicture(ArchiveBuilder& b, float v) {
  b.I32(1).I32(0);  // source textOpaque
  if (v >= 1.01f && v <= 2.1f) b.I32(1);
  if (v >= 2.11f) b.I32(3);
  if (v > 4.01f) b.I32(640).I32(480).I32(1);
  if (v > 4.21f) b.I32(1);
  b.I32(0x0000FF).I32(0x00FF00).Scr("Hello");
  std::vector<uint8_t> font(60, 0);
  font[0] = 0xF4;
  font[1] = 0xFF;
  font[2] = 0xFF;
  font[3] = 0xFF;  // height -12
  font[16] = 0xBC;
  font[17] = 0x02;  // weight 700
  font[20] = 1;     // italic
  const char face[] = "Arial";
  std::copy(face, face + 5, font.begin() + 28);
  b.ScrBlock(font);
}

TEST_F(Records, PictureLayoutPerVersion) {
  for (float v : {2.0f, 2.11f, 4.3f}) {
    ArchiveBuilder b;
    b.Header(v, 1).Item(kPictureItem, "pic", 1);
    TextPicture(b, v);
    b.I32(0);  // no links
    ASSERT_EQ(ReadRecords(b), "") << v;
    auto& p = Item<PictureItem>(0);
    EXPECT_EQ(p.source, 1);
    EXPECT_EQ(p.textOpaque, 0);
    EXPECT_EQ(p.imageOrigin, v == 2.0f ? 2 : 3) << v;
    EXPECT_EQ(p.width, v == 4.3f ? 640 : 0) << v;
    EXPECT_EQ(p.fitScreen, v == 4.3f ? 1 : 0) << v;
    EXPECT_EQ(p.keepAspect, v == 4.3f ? 1 : 0) << v;
    EXPECT_EQ(p.textColor, 0x0000FFu);
    EXPECT_EQ(p.backColor, 0x00FF00u);
    EXPECT_EQ(p.text, "Hello");
    EXPECT_EQ(p.font.height, -12);
    EXPECT_EQ(p.font.weight, 700);
    EXPECT_EQ(p.font.italic, 1);
    EXPECT_EQ(p.font.FaceName(), "Arial");
    EXPECT_EQ(p.disabled, 1);
  }
}

TEST_F(Records, ImageAndMediaData) {
  ArchiveBuilder b;
  b.Header(4.31f, 3);
  b.Item(kPictureItem, "img").I32(0).I32(1).I32(1).I32(0).I32(0).I32(0).I32(0);
  b.I32(4).Scr("a.bmp").ScrBlock({'B', 'M', 1, 2});
  b.Item(kMediaItem, "snd").I32(3).Scr("s.wav").I32(2).ScrBlock({9, 8, 7});
  b.Item(kMediaItem, "none").I32(0);
  b.I32(0).I32(0).I32(0);
  ASSERT_EQ(ReadRecords(b), "");
  auto& img = Item<PictureItem>(0);
  EXPECT_EQ(img.fileName, "a.bmp");
  ASSERT_EQ(img.data.size, 4u);
  EXPECT_EQ(img.data.data()[0], 'B');
  EXPECT_EQ(img.data.data()[3], 2);
  auto& snd = Item<MediaItem>(1);
  EXPECT_EQ(snd.mediaType, 2);
  EXPECT_EQ(snd.data.data()[2], 7);
  EXPECT_EQ(Item<MediaItem>(2).fileName, "");

  // Before 2.0 a media record has no type.
  ArchiveBuilder old;
  old.Header(1.5f, 1).Item(kMediaItem, "m").I32(2).Scr("x").ScrBlock({1, 2}).I32(0);
  ASSERT_EQ(ReadRecords(old), "");
  EXPECT_EQ(Item<MediaItem>(0).mediaType, 0);
  EXPECT_EQ(Item<MediaItem>(0).data.data()[1], 2);
}

TEST_F(Records, OtherRecordsAndVideoPosition) {
  for (float v : {2.0f, 2.1f}) {
    ArchiveBuilder b;
    b.Header(v, 5);
    b.Item(kPauseItem, "p", 0, -7).I32(250).I32(1);
    b.Item(kLoopEndItem, "e", 1).I32(3).I32(1);
    b.Item(kPlayMediaItem, "pm").I32(2).I32(0).I32(1).I32(1);
    if (v >= 2.1f) b.I32(11).I32(12);
    b.Item(kLinkItem, "l").I32(1).I32(3).Scr("http://example.org/");
    b.Item(kBackgroundItem, "bg").Color(0x00FF00, 2, 1, 0);
    ASSERT_EQ(ReadRecords(b), "") << v;
    EXPECT_EQ(Item<PauseItem>(0).pause.pauseMs, 250);
    EXPECT_EQ(Item<PauseItem>(0).pause.randomPause, 1);
    EXPECT_EQ(Item<PauseItem>(0).tagValue, -7);
    EXPECT_EQ(Item<LoopEndItem>(1).repeat.repeatCount, 3);
    EXPECT_EQ(Item<LoopEndItem>(1).repeat.endless, 1);
    auto& pm = Item<PlayMediaItem>(2).link.options;
    EXPECT_EQ(pm.repeatCount, 2);
    EXPECT_EQ(pm.waitUntilDone, 1);
    EXPECT_EQ(pm.videoX, v >= 2.1f ? 11 : 0);
    EXPECT_EQ(pm.videoY, v >= 2.1f ? 12 : 0);
    EXPECT_EQ(Item<LinkItem>(3).url, "http://example.org/");
    EXPECT_EQ(Item<LinkItem>(3).linkMode, 3);
    EXPECT_EQ(Item<BackgroundItem>(4).color.paintMode, 2);
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list.at(i).index, static_cast<int32_t>(i));
  }
}

TEST_F(Records, LinkPassConnectsHoldersAndReferences) {
  ArchiveBuilder b;
  b.Header(4.31f, 5);
  b.Item(kShowPictureItem, "show").Path().Color();
  b.Item(kPictureItem, "pic").I32(1).I32(1).I32(1).I32(0).I32(0).I32(0).I32(0);
  b.I32(0).I32(0).Scr("t").ScrBlock(std::vector<uint8_t>(60, 0));
  b.Item(kMediaItem, "m").I32(1).Scr("f").I32(0).ScrBlock({1});
  b.Item(kPlayMediaItem, "play").I32(1).I32(0).I32(0).I32(0).I32(0).I32(0);
  b.Item(kHidePictureItem, "hide").Path().Color();
  b.I32(2).I32(0).I32(4);  // picture's list
  b.I32(1).I32(3);         // media's list
  ASSERT_TRUE(Load(b));
  auto& pic = Item<PictureItem>(1);
  EXPECT_EQ(Item<ShowPictureItem>(0).link.picture, &pic);
  EXPECT_EQ(Item<HidePictureItem>(4).link.picture, &pic);
  ASSERT_EQ(pic.references.size(), 2u);
  EXPECT_EQ(pic.references[1], &list.at(4));
  EXPECT_EQ(Item<PlayMediaItem>(3).link.media, &list.at(2));
  EXPECT_TRUE(capture.texts.empty());
}

TEST_F(Records, PreparationMessages) {
  // A show item linked to nothing: "You have to choose the image.", stop icon.
  ArchiveBuilder b;
  b.Header(4.31f, 1).Item(kShowPictureItem, "show").Path().Color();
  EXPECT_FALSE(Load(b));
  ASSERT_EQ(capture.texts.size(), 1u);
  EXPECT_EQ(capture.texts[0], "You have to choose the image.");
  EXPECT_EQ(capture.icons[0], ui::MessageIcon::Stop);
  EXPECT_EQ(list.size(), 0u);

  // A media link pointing at a picture is wrong too.
  capture.texts.clear();
  ArchiveBuilder c;
  c.Header(4.31f, 2).Item(kStopMediaItem, "stop");
  c.Item(kPictureItem, "pic")
      .I32(0)
      .I32(1)
      .I32(1)
      .I32(0)
      .I32(0)
      .I32(0)
      .I32(0)
      .I32(1)
      .Scr("f")
      .ScrBlock({1});
  c.I32(1).I32(0);
  EXPECT_FALSE(Load(c));
  ASSERT_EQ(capture.texts.size(), 1u);
  EXPECT_EQ(capture.texts[0], "You have to choose the media.");

  // Empty media: refused unless disabled and used by no enabled item.
  for (int disabledHolder : {0, 1}) {
    capture.texts.clear();
    ArchiveBuilder d;
    d.Header(4.31f, 2).Item(kMediaItem, "m", 1).I32(0);
    d.Item(kStopMediaItem, "stop", disabledHolder);
    d.I32(1).I32(1);
    EXPECT_EQ(Load(d), disabledHolder == 1);
    EXPECT_EQ(capture.texts.size(), disabledHolder == 1 ? 0u : 1u);
  }

  // A disabled picture without data, used only by a disabled show item, is not prepared.
  for (int disabledHolder : {0, 1}) {
    capture.texts.clear();
    ArchiveBuilder d;
    d.Header(1.0f, 2).Item(kPictureItem, "p", 1).I32(0).I32(1).I32(0);  // no origin at 1.0
    d.Item(kHidePictureItem, "hide", disabledHolder).Path().Color();
    d.I32(1).I32(1);
    EXPECT_EQ(Load(d), disabledHolder == 1);
    EXPECT_EQ(capture.texts.size(), disabledHolder == 1 ? 0u : 1u);
  }

  // An image picture without data.
  capture.texts.clear();
  ArchiveBuilder e;
  e.Header(4.31f, 1)
      .Item(kPictureItem, "p")
      .I32(0)
      .I32(1)
      .I32(1)
      .I32(0)
      .I32(0)
      .I32(0)
      .I32(0)
      .I32(0);
  e.I32(0);
  EXPECT_FALSE(Load(e));
  EXPECT_EQ(capture.texts, std::vector<std::string>{"You have to choose the image."});
}

TEST_F(Records, LoopStartSearch) {
  // 0 start, 1 start, 2 end(inner), 3 end(outer), 4 start, 5 end
  ArchiveBuilder b;
  b.Header(4.31f, 6);
  b.Item(kLoopStartItem, "a").Item(kLoopStartItem, "b");
  b.Item(kLoopEndItem, "b").I32(3).I32(0).Item(kLoopEndItem, "a").I32(2).I32(0);
  b.Item(kLoopStartItem, "c").Item(kLoopEndItem, "c").I32(1).I32(0);
  ASSERT_TRUE(Load(b));
  EXPECT_EQ(Item<LoopEndItem>(2).repeat.loopStart, 1);
  EXPECT_EQ(Item<LoopEndItem>(3).repeat.loopStart, 0);
  EXPECT_EQ(Item<LoopEndItem>(5).repeat.loopStart, 4);
  EXPECT_EQ(FindLoopStart(list, 3), 0);

  // A loop end with no start before it (the start after it does not count).
  ArchiveBuilder c;
  c.Header(4.31f, 3).Item(kLoopStartItem, "x").Item(kLoopEndItem, "x").I32(1).I32(0);
  c.Item(kLoopEndItem, "y").I32(1).I32(0);
  uint64_t offset = 0;
  std::string error = ReadRecords(c, &offset);
  EXPECT_NE(error.find("loop end without a loop start"), std::string::npos) << error;
  EXPECT_EQ(offset, 4u + 13 + 4 + 4 + 2 * (4 + 2 + 8) + 8);  // the third record
  EXPECT_EQ(list.size(), 0u);

  // Disabled, it is never searched and never played.
  ArchiveBuilder d;
  d.Header(4.31f, 1).Item(kLoopEndItem, "z", 1).I32(1).I32(0);
  EXPECT_TRUE(Load(d));
}

TEST_F(Records, MalformedArchivesFailWithTheirOffset) {
  struct Case {
    const char* name;
    ArchiveBuilder b;
    uint64_t offset;
  };
  std::vector<Case> cases;
  const uint64_t items = 4 + 13 + 4 + 4;  // first record
  {
    Case c{"tag 14", {}, items};
    c.b.Header(4.31f, 1).I32(14);
    cases.push_back(std::move(c));
  }
  {
    Case c{"tag -1", {}, items};
    c.b.Header(4.31f, 1).I32(-1);
    cases.push_back(std::move(c));
  }
  {
    Case c{"count too large", {}, items - 4};
    c.b.Header(4.31f, 1000).Item(kLoopStartItem, "x");
    cases.push_back(std::move(c));
  }
  {
    Case c{"count negative", {}, items - 4};
    c.b.Header(4.31f, -1);
    cases.push_back(std::move(c));
  }
  {
    Case c{"link index", {}, items + 4 + 2 + 8 + 4 + 4 + 4 + 4};
    c.b.Header(4.31f, 1).Item(kMediaItem, "m").I32(1).Scr("f").I32(0).ScrBlock({1});
    c.b.I32(1).I32(1);
    c.offset = c.b.bytes.size() - 4;
    cases.push_back(std::move(c));
  }
  {
    Case c{"link count", {}, 0};
    c.b.Header(4.31f, 1).Item(kMediaItem, "m").I32(0);
    c.offset = c.b.bytes.size();
    c.b.I32(0x40000000);
    cases.push_back(std::move(c));
  }
  {
    Case c{"data size", {}, 0};
    c.b.Header(4.31f, 1).Item(kMediaItem, "m").I32(1 << 30).Scr("f").I32(0);
    c.offset = c.b.bytes.size();
    c.b.Raw("short");
    cases.push_back(std::move(c));
  }
  {
    Case c{"negative data size", {}, items + 2 + 8};
    c.b.Header(4.31f, 1).Item(kPictureItem, "p").I32(0).I32(1).I32(1).I32(0).I32(0).I32(0).I32(0);
    c.offset = c.b.bytes.size();
    c.b.I32(-5);
    cases.push_back(std::move(c));
  }
  for (auto& c : cases) {
    uint64_t offset = 0;
    std::string error = ReadRecords(c.b, &offset);
    EXPECT_NE(error, "") << c.name;
    EXPECT_EQ(offset, c.offset) << c.name << ": " << error;
    EXPECT_EQ(list.size(), 0u) << c.name;
  }
}

TEST_F(Records, TruncationAtEveryByteFails) {
  ArchiveBuilder b;
  b.Header(4.31f, 4);
  b.Item(kPictureItem, "pic").I32(0).I32(1).I32(1).I32(0).I32(0).I32(0).I32(0);
  b.I32(3).Scr("f").ScrBlock({1, 2, 3});
  b.Item(kShowPictureItem, "show").Path().Color();
  b.Item(kLineItem, "line").Color().Path().I32(0).I32(1);
  b.Item(kPlayMediaItem, "pm").I32(1).I32(0).I32(0).I32(0).I32(0).I32(0);
  b.I32(1).I32(1);
  ASSERT_EQ(ReadRecords(b), "");
  for (size_t cut = 4; cut < b.bytes.size(); ++cut) {
    ArchiveBuilder t;
    t.bytes.assign(b.bytes.begin(), b.bytes.begin() + static_cast<long>(cut));
    uint64_t offset = 0;
    EXPECT_NE(ReadRecords(t, &offset), "") << cut;
    EXPECT_LE(offset, cut);
  }
}

TEST_F(Records, PrototypesAndDefaults) {
  for (int32_t k = 0; k < kItemKindCount; ++k) {
    auto item = list.Create(k);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->kind, k);
    EXPECT_EQ(item->index, -1);
    EXPECT_STRNE(item->className(), "");
  }
  EXPECT_EQ(list.Create(14), nullptr);

  EXPECT_EQ(LinkItem().url, "http://");
  EXPECT_EQ(PictureItem().font.FaceName(), "MS Sans Serif");
  EXPECT_EQ(PictureItem().font.height, -11);
}

}  // namespace
