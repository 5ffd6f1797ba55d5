#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "scenepack/archive_writer.h"
#include "scenepack/show_writer.h"

namespace {

using scenepack::ArchiveWriter;
using scenepack::PathRecord;
using Bytes = std::vector<uint8_t>;

Bytes Words(std::initializer_list<int32_t> words) {
  Bytes out;
  for (int32_t w : words)
    for (int i = 0; i < 4; ++i)
      out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i)));
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Scramble, LowersEachByteByLengthModElevenPlusThree) {
  Bytes five = {'H', 'e', 'l', 'l', 'o'};  // 5 mod 11 + 3 = 8
  scenepack::Scramble(five);
  EXPECT_EQ(five, (Bytes{'H' - 8, 'e' - 8, 'l' - 8, 'l' - 8, 'o' - 8}));
  Bytes eleven(11, 0x50);  // shift 3
  scenepack::Scramble(eleven);
  EXPECT_EQ(eleven, Bytes(11, 0x4D));
  Bytes ten(10, 0x50);  // shift 13, the largest
  scenepack::Scramble(ten);
  EXPECT_EQ(ten, Bytes(10, 0x43));
  Bytes wrap = {0x02, 0x00, 0x07, 0xFF, 0x10};  // wraps below zero
  scenepack::Scramble(wrap);
  EXPECT_EQ(wrap, (Bytes{0xFA, 0xF8, 0xFF, 0xF7, 0x08}));
  EXPECT_TRUE(scenepack::Scrambled("").empty());
}

TEST(ArchiveWriter, StringLengthForms) {
  auto written = [](size_t n, bool wide = false) {
    ArchiveWriter w(wide);
    w.String(std::string(n, 'x'));
    return w.bytes();
  };
  EXPECT_EQ(written(0), Bytes{0x00});
  Bytes b = written(254);
  ASSERT_EQ(b.size(), 255u);
  EXPECT_EQ(b[0], 0xFE);
  EXPECT_EQ(b[1], 'x');
  b = written(255);  // first length that needs the 16-bit form
  ASSERT_EQ(b.size(), 3u + 255u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 3), (Bytes{0xFF, 0xFF, 0x00}));
  b = written(0xFFFD);  // the last 16-bit length that is not a marker
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 3), (Bytes{0xFF, 0xFD, 0xFF}));
  EXPECT_EQ(b.size(), 3u + 0xFFFD);
  b = written(0xFFFE);  // would read as the 16-bit character marker
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(b.size(), 7u + 0xFFFE);
  b = written(70000);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 7), (Bytes{0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
  EXPECT_EQ(b.size(), 7u + 70000);

  // 16-bit characters: marker, a complete second prefix, then UTF-16LE units.
  ArchiveWriter w(true);
  w.String("A\xE9\x80");
  EXPECT_EQ(w.bytes(), (Bytes{0xFF, 0xFE, 0xFF, 0x03, 'A', 0, 0xE9, 0, 0xAC, 0x20}));
  b = written(300, true);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
  EXPECT_EQ(b.size(), 6u + 600u);
  EXPECT_EQ(written(0, true), (Bytes{0xFF, 0xFE, 0xFF, 0x00}));
}

TEST(ArchiveWriter, ScrambledStringsAndBlocks) {
  ArchiveWriter w;
  w.ScrambledString("Hi");                          // shift 5
  w.ScrambledBlock(Bytes{0x42, 0x4D, 0x00, 0x01});  // shift 7
  EXPECT_EQ(w.bytes(), (Bytes{0x02, 0x43, 0x64, 0x3B, 0x46, 0xF9, 0xFA}));

  // In 16-bit characters the lowered bytes are stored as the characters they stand for,
  // including the unassigned ones the reader maps back to themselves.
  ArchiveWriter wide(true);
  wide.ScrambledString("ab");    // 0x5C 0x5D
  wide.ScrambledString("\x85");  // shift 4 gives 0x81
  wide.ScrambledString("\x84");  // shift 4 gives 0x80 = €
  EXPECT_EQ(wide.bytes(), (Bytes{0xFF, 0xFE, 0xFF, 0x02, 0x5C, 0,    0x5D, 0,  //
                                 0xFF, 0xFE, 0xFF, 0x01, 0x81, 0x00,           //
                                 0xFF, 0xFE, 0xFF, 0x01, 0xAC, 0x20}));
}

TEST(ArchiveWriter, LittleEndianPrimitives) {
  ArchiveWriter w;
  w.I32(-2);
  w.U16(0x1234);
  w.F32(4.31f);
  EXPECT_EQ(w.bytes(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0x85, 0xEB, 0x89, 0x40}));
}

// A path whose every field differs from its default.
PathRecord FullPath() {
  PathRecord p;
  p.x1 = 11, p.y1 = 12, p.x2 = 13, p.y2 = 14, p.dx = 15, p.dy = 16, p.horizontal = 0;
  p.compareX = 2, p.stopX = 17, p.stopY = 18, p.bothConditions = 1, p.compareY = 3;
  p.freeMotion = 1, p.moveSpeed = 99000, p.textSpeed = 1500, p.textAnimation = 4;
  p.modeX1 = 3, p.modeY1 = 1, p.modeX2 = 5, p.modeY2 = 3;
  p.keepScreen = 1, p.saveBackground = 1, p.effect = 37, p.effectSpeed = 300;
  return p;
}
const Bytes kTail = Words({11, 12, 13, 14, 15, 16, 0, 2, 17, 18, 1, 3, 1, 99000, 1500, 4});

Bytes PathBytes(const PathRecord& p, float version) {
  ArchiveWriter w;
  scenepack::WritePathRecord(w, p, version, 7, "move");
  return w.bytes();
}

std::string PathFault(const PathRecord& p, float version) {
  try {
    PathBytes(p, version);
  } catch (const scenepack::ShowError& e) {
    EXPECT_EQ(e.item(), 7);
    EXPECT_EQ(e.itemName(), "move");
    return e.field();
  }
  return "";
}

TEST(PathRecord, LayoutAtEachVersion) {
  PathRecord p = FullPath();
  // 4.31: the modes themselves and every field.
  EXPECT_EQ(PathBytes(p, 4.31f), Cat({Words({3, 1, 5, 3}), kTail, Words({1, 1, 37, 300})}));
  // 3.1: random flags, centre flags, tail, keepScreen, saveBackground, effect, effectSpeed.
  EXPECT_EQ(PathBytes(p, 3.1f),
            Cat({Words({1, 0, 0, 1, 0, 1, 0, 0}), kTail, Words({1, 1, 37, 300})}));
  // 2.5: as 3.1 without effectSpeed.
  p.effectSpeed = 100;
  EXPECT_EQ(PathBytes(p, 2.5f), Cat({Words({1, 0, 0, 1, 0, 1, 0, 0}), kTail, Words({1, 1, 37})}));
  // 2.0: without the effect either.
  p.effect = 0;
  EXPECT_EQ(PathBytes(p, 2.0f), Cat({Words({1, 0, 0, 1, 0, 1, 0, 0}), kTail, Words({1, 1})}));
  // 1.0: random flags and the tail only.
  p.modeY1 = 5, p.keepScreen = 0, p.saveBackground = 0;
  EXPECT_EQ(PathBytes(p, 1.0f), Cat({Words({1, 0, 0, 1}), kTail}));
  // 3.2 exactly stores no path at all.
  EXPECT_TRUE(PathBytes(PathRecord{}, 3.2f).empty());
  // Between 2.0 and 2.1 both older blocks are read, one after the other.
  p = FullPath();
  p.effectSpeed = 100;
  EXPECT_EQ(PathBytes(p, 2.05f), Cat({Words({1, 0, 0, 1, 0, 1, 0, 0}), kTail, Words({1, 1}),
                                      Words({1, 0, 0, 1, 0, 1, 0, 0}), kTail, Words({1, 1, 37})}));
}

TEST(PathRecord, RefusesWhatAVersionCannotCarry) {
  PathRecord p = FullPath();
  EXPECT_EQ(PathFault(p, 4.31f), "");
  EXPECT_EQ(PathFault(p, 2.5f), "path.effectSpeed");
  EXPECT_EQ(PathFault(p, 2.0f), "path.effect");
  EXPECT_EQ(PathFault(p, 1.0f), "path.modeY1");  // no centre flag at 1.0
  EXPECT_EQ(PathFault(p, 3.2f), "path.x1");
  p.modeX1 = 2;  // flags know only random and centred
  EXPECT_EQ(PathFault(p, 3.1f), "path.modeX1");
  EXPECT_EQ(PathFault(PathRecord{}, 3.2f), "");
  EXPECT_EQ(PathFault(PathRecord{}, 1.05f), "");  // no block at all, defaults survive
  PathRecord keep;
  keep.keepScreen = 1;
  EXPECT_EQ(PathFault(keep, 1.0f), "path.keepScreen");
}

scene::DataBlock BlockOf(const Bytes& bytes) {
  return scene::DataBlock::Of(bytes.data(), bytes.size());
}

scenepack::Item PictureWithData() {
  scenepack::Item it(scenepack::kPictureItem);
  it.name = "p";
  it.tagValue = 9;
  auto& p = it.As<scene::PictureRecord>();
  p.imageOrigin = 2;
  p.fileName = "a.bmp";
  p.data = BlockOf({0x42, 0x4D, 0x00, 0x01});
  return it;
}
const Bytes kPictureHead = Cat({Words({0}), Bytes{0x01, 'p' - 4}, Words({9, 0})});
const Bytes kPictureData =
    Cat({Words({4}), Bytes{0x05, 0x59, 0x26, 0x5A, 0x65, 0x68, 0x3B, 0x46, 0xF9, 0xFA}});

Bytes ItemBytes(const scenepack::Item& it, float version) {
  ArchiveWriter w;
  scenepack::WriteItemRecord(w, it, version, 0);
  return w.bytes();
}

TEST(PictureRecord, LayoutAtEachVersion) {
  scenepack::Item it = PictureWithData();
  // 2.0: the desktop origin as a flag.
  EXPECT_EQ(ItemBytes(it, 2.0f), Cat({kPictureHead, Words({0, 1, 1}), kPictureData}));
  // 2.11: the origin itself.
  it.As<scene::PictureRecord>().imageOrigin = 3;
  EXPECT_EQ(ItemBytes(it, 2.11f), Cat({kPictureHead, Words({0, 1, 3}), kPictureData}));

  // 4.3, a text picture: size, fitScreen and keepAspect come before the colours.
  scenepack::Item text(scenepack::kPictureItem);
  text.name = "p";
  text.tagValue = 9;
  auto& t = text.As<scene::PictureRecord>();
  t.source = 1;
  t.textOpaque = 0;
  t.imageOrigin = 1;
  t.width = 320, t.height = 200, t.fitScreen = 1, t.keepAspect = 1;
  t.textColor = 0x00FF8040;
  t.backColor = 0x00102030;
  t.text = "Hi";
  const Bytes b = ItemBytes(text, 4.3f);
  const Bytes front = Cat({kPictureHead, Words({1, 0, 1, 320, 200, 1, 1, 0x00FF8040, 0x00102030}),
                           Bytes{0x02, 0x43, 0x64}});
  ASSERT_EQ(b.size(), front.size() + 60);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + static_cast<long>(front.size())), front);
  // The font block: LOGFONT with height -11 and "MS Sans Serif", every byte lowered by 8.
  Bytes font(60, 0);
  const Bytes height = Words({-11});
  std::copy(height.begin(), height.end(), font.begin());
  std::memcpy(font.data() + 28, "MS Sans Serif", 13);
  for (auto& x : font) x = static_cast<uint8_t>(x - 8);
  EXPECT_EQ(Bytes(b.begin() + static_cast<long>(front.size()), b.end()), font);
}

TEST(PictureRecord, RefusesWhatAVersionCannotCarry) {
  auto fault = [](const scenepack::Item& it, float v) -> std::string {
    try {
      ItemBytes(it, v);
    } catch (const scenepack::ShowError& e) {
      return e.field();
    }
    return "";
  };
  scenepack::Item it = PictureWithData();
  auto& p = it.As<scene::PictureRecord>();
  p.imageOrigin = 3;
  EXPECT_EQ(fault(it, 2.0f), "imageOrigin");  // the flag knows only the desktop
  p.imageOrigin = 2;
  EXPECT_EQ(fault(it, 1.0f), "imageOrigin");  // no origin at all at 1.0
  p.imageOrigin = 1;
  p.keepAspect = 1;
  EXPECT_EQ(fault(it, 4.0f), "keepAspect");
  EXPECT_EQ(fault(it, 4.3f), "");
  p.keepAspect = 0;
  p.height = 5;
  EXPECT_EQ(fault(it, 4.0f), "height");
}

TEST(Records, MediaAndPlayMediaByVersion) {
  scenepack::Item media(scenepack::kMediaItem);
  media.name = "m";
  auto& m = media.As<scene::MediaRecord>();
  m.fileName = "a.bmp";
  m.mediaType = 2;
  m.data = BlockOf({0x42, 0x4D, 0x00, 0x01});
  const Bytes head = Cat({Words({9}), Bytes{0x01, 'm' - 4}, Words({0, 0})});
  const Bytes name = {0x05, 0x59, 0x26, 0x5A, 0x65, 0x68};
  const Bytes data = {0x3B, 0x46, 0xF9, 0xFA};
  EXPECT_EQ(ItemBytes(media, 2.0f), Cat({head, Words({4}), name, Words({2}), data}));
  m.mediaType = 0;
  EXPECT_EQ(ItemBytes(media, 1.0f), Cat({head, Words({4}), name, data}));
  m.data = {};  // no data: the record ends after the size
  EXPECT_EQ(ItemBytes(media, 4.31f), Cat({head, Words({0})}));

  scenepack::Item play(scenepack::kPlayMediaItem);
  auto& pm = play.As<scene::PlayMediaRecord>();
  pm.repeatCount = 3, pm.endless = 1, pm.waitUntilDone = 1, pm.loopInBackground = 0;
  pm.videoX = 10, pm.videoY = 20;
  const Bytes phead = Cat({Words({10}), Bytes{0x00}, Words({0, 0})});
  EXPECT_EQ(ItemBytes(play, 2.1f), Cat({phead, Words({3, 1, 1, 0, 10, 20})}));
  EXPECT_THROW(ItemBytes(play, 2.0f), scenepack::ShowError);
  pm.videoX = pm.videoY = 0;
  EXPECT_EQ(ItemBytes(play, 2.0f), Cat({phead, Words({3, 1, 1, 0})}));
}

TEST(WriteArchive, HeaderRecordsAndLinkLists) {
  scenepack::Show show;
  show.version = 3.0f;
  auto add = [&](int kind, const char* name, int link = -1) {
    scenepack::Item it(kind);
    it.name = name;
    it.link = link;
    show.items.push_back(it);
  };
  add(scenepack::kPictureItem, "a");
  show.items.back().As<scene::PictureRecord>().data = BlockOf({1});
  show.items.back().As<scene::PictureRecord>().fileName = "x";
  add(scenepack::kMediaItem, "b");
  add(scenepack::kShowPictureItem, "", 0);
  add(scenepack::kStopMediaItem, "", 1);
  add(scenepack::kHidePictureItem, "", 0);
  add(scenepack::kPictureItem, "c");
  const Bytes b = scenepack::WriteArchive(show);
  const Bytes header =
      Cat({Words({0}), Bytes{12}, Bytes{'S', 'c', 'e', 'n', 'e', 'P', 'r', 'o', 'j', 'e', 'c', 't'},
           Bytes{0x00, 0x00, 0x40, 0x40}, Words({6})});
  ASSERT_GT(b.size(), header.size());
  EXPECT_EQ(Bytes(b.begin(), b.begin() + static_cast<long>(header.size())), header);
  // Resources in list order: a is used by items 2 and 4, b by 3, c by nobody.
  const Bytes links = Words({2, 2, 4, 1, 3, 0});
  EXPECT_EQ(Bytes(b.end() - static_cast<long>(links.size()), b.end()), links);
  EXPECT_EQ(b[header.size()], 0);  // first record's tag

  show.items[2].link = 1;  // a picture link at a media item
  try {
    scenepack::WriteArchive(show);
    ADD_FAILURE() << "link to the wrong kind accepted";
  } catch (const scenepack::ShowError& e) {
    EXPECT_EQ(e.item(), 2);
    EXPECT_EQ(e.field(), "picture");
  }
  show.items[2].link = 0;
  show.version = 4.32f;
  EXPECT_THROW(scenepack::WriteArchive(show), scenepack::ShowError);
  show.version = 4.31f;  // the float nearest 4.31 lies below the double 4.31
  EXPECT_NO_THROW(scenepack::WriteArchive(show));
}

}  // namespace
