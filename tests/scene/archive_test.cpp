#include <gtest/gtest.h>

#include "platform/sys/bounded_reader.h"
#include "scene/archive_builder.h"
#include "scene/project_archive.h"
#include "scene/shift_text.h"

namespace {

using scene::ArchiveError;
using scene::ProjectArchive;
using scene_test::ArchiveBuilder;

struct Reading {
  explicit Reading(std::vector<uint8_t> b) : bytes(std::move(b)), source(bytes), archive(source) {}
  std::vector<uint8_t> bytes;
  sys::MemorySource source;
  ProjectArchive archive;
};

TEST(ProjectArchive, PrimitivesAreLittleEndian) {
  ArchiveBuilder b;
  b.I32(-2).U16(0xBEEF).U8(0x7F).F32(4.31f).I32(static_cast<int32_t>(0xFFFFFFFF));
  Reading r(b.bytes);
  EXPECT_EQ(r.archive.ReadInt32(), -2);
  EXPECT_EQ(r.archive.ReadUInt16(), 0xBEEF);
  EXPECT_EQ(r.archive.ReadByte(), 0x7F);
  EXPECT_EQ(r.archive.ReadFloat(), 4.31f);
  EXPECT_EQ(r.archive.ReadUInt32(), 0xFFFFFFFFu);
  EXPECT_EQ(r.archive.Remaining(), 0u);
  try {
    r.archive.ReadByte();
    FAIL();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.cause(), ArchiveError::Cause::EndOfFile);
    EXPECT_EQ(e.offset(), 15u);
  }
}

TEST(ProjectArchive, EveryStringLengthForm) {
  const std::string s254(254, 'a'), s255(255, 'b'), s300(300, 'c'), s70000(70000, 'd');
  const std::string sFFFE(0xFFFE, 'e');
  ArchiveBuilder b;
  b.Str("").Str("hello").Str(s254).Str(s255).Str(s300);
  b.U8(0xFF).U16(0xFFFF).I32(70000).Raw(s70000);  // 32-bit form
  b.U8(0xFF).U16(0xFFFF).I32(0xFFFE).Raw(sFFFE);  // a length of 0xFFFE needs the 32-bit form
  b.U8(0xFF).U16(0x0003).Raw("xyz");              // 16-bit form with a small length
  Reading r(b.bytes);
  EXPECT_EQ(r.archive.ReadString(), "");
  EXPECT_EQ(r.archive.ReadString(), "hello");
  EXPECT_EQ(r.archive.ReadString(), s254);
  EXPECT_EQ(r.archive.ReadString(), s255);
  EXPECT_EQ(r.archive.ReadString(), s300);
  EXPECT_EQ(r.archive.ReadString(), s70000);
  EXPECT_EQ(r.archive.ReadString(), sFFFE);
  EXPECT_EQ(r.archive.ReadString(), "xyz");
  EXPECT_EQ(r.archive.Remaining(), 0u);
}

TEST(ProjectArchive, WideStringsConvertToWindows1252) {
  ArchiveBuilder b;
  // e-acute, euro, a CJK character, a surrogate pair, a C1 control the code page keeps.
  b.Wide(u"Caf\u00E9 \u20AC \u4E2D\U0001F600\u0081");
  // Second prefix in its 16-bit form; 0xFFFE there is a plain length, never nesting.
  std::u16string longText(300, u'\u0160');
  b.U8(0xFF).U16(0xFFFE).U8(0xFF).U16(300);
  for (char16_t c : longText) b.U16(c);
  b.Wide(u"");
  Reading r(b.bytes);
  EXPECT_EQ(r.archive.ReadString(), "Caf\xE9 \x80 ??\x81");
  EXPECT_EQ(r.archive.ReadString(), std::string(300, '\x8A'));
  EXPECT_EQ(r.archive.ReadString(), "");
}

TEST(ProjectArchive, ScrambledStringsAndBlocksAreRestored) {
  ArchiveBuilder b;
  b.Scr("abcde");
  b.bytes.insert(b.bytes.end(), {'a' - 8, 'b' - 8});  // 2 bytes: shifted by 5, not 8
  Reading r(b.bytes);
  EXPECT_EQ(r.archive.ReadScrambledString(), "abcde");
  auto block = r.archive.ReadBlock(2);
  scene::ShiftText(block.data(), block.size, true);
  EXPECT_EQ(block.data()[0], 'a' - 8 + 5);
}

TEST(ProjectArchive, LengthsBeyondTheDataAreRefusedBeforeAllocating) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"8-bit", {5, 'a', 'b'}},
      {"16-bit", {0xFF, 0x00, 0x01, 'a'}},
      {"32-bit huge", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"wide", {0xFF, 0xFE, 0xFF, 3, 'a', 0, 'b', 0, 'c'}},
      {"wide 32-bit huge", {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (auto& c : cases) {
    Reading r(c.bytes);
    try {
      r.archive.ReadString();
      ADD_FAILURE() << c.name;
    } catch (const ArchiveError& e) {
      EXPECT_EQ(e.cause(), ArchiveError::Cause::EndOfFile) << c.name;
      EXPECT_EQ(e.offset(), 0u) << c.name;
    }
  }
  Reading r({1, 2, 3});
  EXPECT_THROW(r.archive.ReadBlock(uint64_t{1} << 40), ArchiveError);
  EXPECT_EQ(r.archive.ReadBlock(3).size, 3u);
}

TEST(ProjectArchive, TruncationAtEveryPrefixByteFails) {
  ArchiveBuilder b;
  b.U8(0xFF).U16(0xFFFE).U8(0xFF).U16(0xFFFF).I32(2).U16('h').U16('i');
  for (size_t cut = 0; cut < b.bytes.size(); ++cut) {
    Reading r(std::vector<uint8_t>(b.bytes.begin(), b.bytes.begin() + cut));
    EXPECT_THROW(r.archive.ReadString(), ArchiveError) << cut;
  }
  Reading whole(b.bytes);
  EXPECT_EQ(whole.archive.ReadString(), "hi");
}

TEST(ProjectArchive, LargeBlocksCrossTheBuffer) {
  std::vector<uint8_t> data(3 * 4096 + 17);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  ArchiveBuilder b;
  b.U8(9);
  b.bytes.insert(b.bytes.end(), data.begin(), data.end());
  b.U8(1);
  Reading r(b.bytes);
  EXPECT_EQ(r.archive.ReadByte(), 9);
  auto block = r.archive.ReadBlock(data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), block.data()));
  EXPECT_EQ(r.archive.ReadByte(), 1);
}

TEST(ShiftText, ShiftDependsOnLengthAndRoundTrips) {
  uint8_t abc[3] = {91, 92, 93};
  EXPECT_EQ(scene::ShiftText(abc, 3, true), 3u);
  EXPECT_EQ(std::string(abc, abc + 3), "abc");

  std::vector<uint8_t> eleven(11, 250), ten(10, 250);
  scene::ShiftText(eleven.data(), 11, true);
  scene::ShiftText(ten.data(), 10, true);
  EXPECT_EQ(eleven[0], 253);  // +3
  EXPECT_EQ(ten[0], 7);       // +13, wrapping

  uint8_t none = 42;
  EXPECT_EQ(scene::ShiftText(&none, 0, true), 0u);
  EXPECT_EQ(none, 42);

  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  auto copy = all;
  scene::ShiftText(copy.data(), copy.size(), false);
  EXPECT_NE(copy, all);
  scene::ShiftText(copy.data(), copy.size(), true);
  EXPECT_EQ(copy, all);
}

}  // namespace
