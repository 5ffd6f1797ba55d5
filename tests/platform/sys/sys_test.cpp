#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "platform/sys/bounded_reader.h"
#include "platform/sys/clock.h"
#include "platform/sys/crt_rand.h"
#include "platform/sys/event.h"
#include "platform/sys/large_alloc.h"
#include "platform/sys/printable.h"

namespace {

TEST(CrtRand, MatchesTheRuntimeSequenceAndIsPerThread) {
  sys::CrtSrand(1);
  EXPECT_EQ(sys::CrtRand(), 41);
  EXPECT_EQ(sys::CrtRand(), 18467);
  EXPECT_EQ(sys::CrtRand(), 6334);
  sys::CrtSrand(7349);
  int first = sys::CrtRand();
  int other = -1;
  std::thread([&] { other = sys::CrtRand(); }).join();  // fresh thread starts at seed 1
  EXPECT_EQ(other, 41);
  sys::CrtSrand(7349);
  EXPECT_EQ(sys::CrtRand(), first);
}

TEST(Event, ManualResetStaysSetUntilReset) {
  sys::Event e;
  EXPECT_FALSE(e.IsSet());
  EXPECT_FALSE(e.WaitFor(std::chrono::milliseconds(1)));
  e.Set();
  EXPECT_TRUE(e.IsSet());
  EXPECT_TRUE(e.WaitFor(std::chrono::milliseconds(0)));
  e.Wait();
  e.Reset();
  EXPECT_FALSE(e.IsSet());
  std::thread t([&] { e.Set(); });
  e.Wait();
  t.join();
}

TEST(VirtualClock, AdvancesOnlyWhenWaitingAndTellsTheObserver) {
  sys::VirtualClock clock(86400);  // 1970-01-02 00:00:00 UTC
  EXPECT_EQ(clock.TickCount(), 0u);
  std::vector<std::pair<int64_t, int64_t>> seen;
  clock.SetObserver([&](auto from, auto to) { seen.emplace_back(from.count(), to.count()); });
  clock.SleepMs(1500);
  EXPECT_EQ(clock.TickCount(), 1500u);
  auto now = clock.Now();
  EXPECT_EQ(now.day, 2);
  EXPECT_EQ(now.second, 1);
  EXPECT_EQ(now.milliseconds, 500);
  EXPECT_EQ(clock.CalendarSeconds(), 86401);
  sys::Event stop;
  EXPECT_FALSE(clock.WaitFor(stop, std::chrono::microseconds(250)));
  stop.Set();
  EXPECT_TRUE(clock.WaitFor(stop, std::chrono::seconds(10)));  // set: no time passes
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].first, 1'500'000'000);
  EXPECT_EQ(seen[1].second, 1'500'250'000);
  EXPECT_EQ(clock.Elapsed().count(), 1'500'250'000);
}

TEST(RealClock, TimedWaitEndsWhenTheEventIsSet) {
  sys::RealClock clock;
  sys::Event e;
  std::thread t([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    e.Set();
  });
  EXPECT_TRUE(clock.WaitFor(e, std::chrono::seconds(30)));
  t.join();
}

TEST(BoundedReader, ReadsLittleAndBigEndianAndRefusesOverlongReads) {
  std::vector<uint8_t> data = {0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x80, 0x3F, 0xAA};
  sys::MemorySource src(data);
  sys::BoundedReader r(src);
  EXPECT_EQ(r.U16LE(), 0x0201);
  EXPECT_EQ(r.U16BE(), 0x0304);
  EXPECT_EQ(r.F32LE(), 1.0f);
  EXPECT_EQ(r.Remaining(), 1u);
  try {
    r.U32LE();
    FAIL() << "read past the end";
  } catch (const sys::ReadError& e) {
    EXPECT_EQ(e.kind(), sys::ReadError::Kind::EndOfData);
    EXPECT_EQ(e.offset(), 8u);
  }
  EXPECT_EQ(r.Position(), 8u);  // a failed read consumes nothing
  EXPECT_THROW(r.Block(UINT64_MAX), sys::ReadError);
  EXPECT_EQ(r.U8(), 0xAA);
}

TEST(BoundedReader, WindowAndLargeBlocksAcrossTheBuffer) {
  std::vector<uint8_t> data(3 * sys::BoundedReader::kBufferSize + 17);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  sys::MemorySource src(data);
  sys::BoundedReader r(src, 5, data.size() - 3);
  EXPECT_EQ(r.U8(), data[5]);
  auto block = r.Block(2 * sys::BoundedReader::kBufferSize);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin() + 6));
  r.Seek(data.size() - 4);
  EXPECT_EQ(r.U8(), data[data.size() - 4]);
  EXPECT_THROW(r.U8(), sys::ReadError);  // the window ends 3 bytes before the data
  EXPECT_THROW(r.Seek(4), sys::ReadError);
}

}  // namespace

#include <fstream>
#include <iterator>

#include "platform/sys/elf_image.h"

namespace {

TEST(ElfImage, OwnExecutableEndsAtItsFileSizeAndAppendedBytesDoNotCount) {
  auto end = sys::ElfImageEnd("/proc/self/exe");
  ASSERT_TRUE(end.has_value());
  std::ifstream in("/proc/self/exe", std::ios::binary);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(*end, image.size());  // a linked executable ends with its section headers
  image.insert(image.end(), {'S', 'h', 'o', 'w', 0, 1, 2});
  sys::MemorySource src(image);
  EXPECT_EQ(sys::ElfImageEnd(src), end);
}

TEST(ElfImage, RefusesTruncatedAndForeignData) {
  std::ifstream in("/proc/self/exe", std::ios::binary);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), {});
  std::vector<uint8_t> head(image.begin(), image.begin() + 200);
  sys::MemorySource truncated(head);
  EXPECT_FALSE(sys::ElfImageEnd(truncated).has_value());
  std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
  sys::MemorySource foreign(text);
  EXPECT_FALSE(sys::ElfImageEnd(foreign).has_value());
  EXPECT_FALSE(sys::ElfImageEnd("/nonexistent/file").has_value());
}

}  // namespace

TEST(EscapeControls, TerminalsSeeControlCharactersOnlyAsText) {
  EXPECT_EQ(sys::EscapeControls("plain text, caf\xC3\xA9"), "plain text, caf\xC3\xA9");
  EXPECT_EQ(sys::EscapeControls("a\x1B]0;x\x07"
                                "b"),
            "a\\x1B]0;x\\x07b");
  EXPECT_EQ(sys::EscapeControls(std::string("\0\n\x7F", 3)), "\\x00\\x0A\\x7F");
  // U+009B, the single-character CSI, written in UTF-8.
  EXPECT_EQ(sys::EscapeControls("\xC2\x9B"
                                "2J"),
            "\\xC2\\x9B2J");
  EXPECT_EQ(sys::EscapeControls("\xC2"), "\xC2");
}

// Blocks of every kind of size are whole (every byte can be written and read back), large
// ones start on a 2 MiB boundary, and a size no machine has is refused, not wrapped.
TEST(LargeAlloc, BlocksOfEverySizeAreWholeAndLargeOnesAligned) {
  for (size_t bytes :
       {size_t{0}, size_t{1}, sys::kMappedBlock - 1, sys::kMappedBlock, sys::kMappedBlock + 1,
        sys::kLargeBlock - 1, sys::kLargeBlock, (size_t{3} << 20) + 1, (size_t{5} << 20) + 1}) {
    SCOPED_TRACE(bytes);
    auto* p = static_cast<unsigned char*>(sys::AllocateLarge(bytes));
    ASSERT_NE(p, nullptr);
    if (bytes >= sys::kLargeBlock) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % (2 << 20), 0u);
    }
    for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(i * 7);
    size_t wrong = 0;
    for (size_t i = 0; i < bytes; ++i) wrong += p[i] != static_cast<unsigned char>(i * 7);
    EXPECT_EQ(wrong, 0u);
    sys::FreeLarge(p, bytes);
  }
  EXPECT_THROW(sys::AllocateLarge(size_t{1} << 62), std::bad_alloc);
  EXPECT_THROW(sys::LargeVector<uint64_t>(size_t{1} << 62), std::length_error);
  sys::LargeVector<int> v(300000, 5);
  v.resize(600000, 6);
  EXPECT_EQ(v[299999], 5);
  EXPECT_EQ(v[599999], 6);
}
