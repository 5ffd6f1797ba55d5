#include <thread>

#include "imaging_test_util.h"

namespace imaging::test {
namespace {

TEST(StreamHandles, InvalidHandlesGiveError38Everywhere) {
  InitDecoder();
  TempDir dir;
  WriteFile(dir.File("a.bmp"), MakeBmp({}));
  StreamHandle closed = OpenSource(dir.File("a.bmp"));
  ASSERT_NE(closed, kNoStream);
  CloseSource(closed);
  const StreamHandle foreign{0x123456789ull};
  int w = 1, h = 1;
  for (StreamHandle bad : {kNoStream, closed, foreign}) {
    EXPECT_EQ(DetectFormat(bad), kFormatNone);
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    EXPECT_FALSE(SeekSource(bad, 0, 0));
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    EXPECT_FALSE(ReadBmp(bad, &w, &h, 24));
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    EXPECT_FALSE(ReadJpeg(bad, &w, &h, 24));
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    const Bytes px(3, 0);
    EXPECT_EQ(WriteBmp(bad, px, 1, 1), 0);
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    EXPECT_EQ(WriteJpeg(bad, px, 1, 1, 75, false), 0);
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    EXPECT_EQ(CloseSource(bad), 0);
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
    EXPECT_EQ(CloseTarget(bad), 0);
    EXPECT_EQ(GetLastErrorCode(), kErrBadHandle);
  }
}

TEST(StreamHandles, OpenFailuresAndSuccessResetTheError) {
  TempDir dir;
  EXPECT_EQ(OpenSource(""), kNoStream);
  EXPECT_EQ(GetLastErrorCode(), kErrOpen);
  EXPECT_EQ(OpenSource(dir.File("missing.jpg")), kNoStream);
  EXPECT_EQ(GetLastErrorCode(), kErrOpen);
  EXPECT_EQ(OpenSource(dir.File("")), kNoStream);  // a folder
  EXPECT_EQ(GetLastErrorCode(), kErrOpen);
  EXPECT_EQ(OpenTarget(dir.File("no/such/dir.bmp")), kNoStream);
  EXPECT_EQ(GetLastErrorCode(), kErrOpen);

  WriteFile(dir.File("x.bin"), Bytes(100, 7));
  StreamHandle h = OpenSource(dir.File("x.bin"));
  ASSERT_NE(h, kNoStream);
  EXPECT_EQ(GetLastErrorCode(), kOk);
  EXPECT_TRUE(SeekSource(h, 10, 0));
  EXPECT_TRUE(SeekSource(h, 5, 1));
  EXPECT_EQ(GetLastErrorCode(), kOk);
  EXPECT_FALSE(SeekSource(h, -100, 1));  // before the start
  EXPECT_TRUE(SeekSource(h, -4, 2));
  EXPECT_EQ(CloseSource(h), 96);  // the read position before closing
  EXPECT_EQ(GetLastErrorCode(), kOk);
}

TEST(StreamHandles, TargetLengthAndReopen) {
  TempDir dir;
  StreamHandle t = OpenTarget(dir.File("out.bmp"));
  ASSERT_NE(t, kNoStream);
  const Bytes px = TestPicture(5, 3);
  EXPECT_EQ(WriteBmp(t, px, 5, 3), 54 + 3 * 16);
  EXPECT_EQ(CloseTarget(t), 54 + 3 * 16);
  EXPECT_EQ(ReadFile(dir.File("out.bmp")).size(), 54u + 3 * 16);
}

TEST(DecoderState, LastErrorIsPerThread) {
  EXPECT_EQ(OpenSource(""), kNoStream);
  ASSERT_EQ(GetLastErrorCode(), kErrOpen);
  int other = -1;
  int otherFresh = -1;
  std::thread t([&] {
    otherFresh = GetLastErrorCode();
    DetectFormat(kNoStream);
    other = GetLastErrorCode();
  });
  t.join();
  EXPECT_EQ(otherFresh, kOk);
  EXPECT_EQ(other, kErrBadHandle);
  EXPECT_EQ(GetLastErrorCode(), kErrOpen);  // untouched by the other thread
}

TEST(DecoderState, ManyThreadsComeAndGo) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int i = 0; i < 16; ++i)
    threads.emplace_back([&, i] {
      for (int k = 0; k < 200; ++k) {
        if ((k + i) % 2) {
          OpenSource("");
          if (GetLastErrorCode() != kErrOpen) ++wrong;
        } else {
          DetectFormat(kNoStream);
          if (GetLastErrorCode() != kErrBadHandle) ++wrong;
        }
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(PixelBuffers, SizeLimitAndOverflow) {
  EXPECT_EQ(BufferSize(4, 3, 3), 36u);
  EXPECT_EQ(BufferSize(0, 3, 3), 0u);
  EXPECT_EQ(BufferSize(-4, 3, 3), 0u);
  EXPECT_EQ(BufferSize(kMaxDimension + 1, 1, 3), 0u);
  // 26755 * 26755 * 3 is just over the limit, 26754 * 26754 * 3 just under.
  EXPECT_EQ(BufferSize(26755, 26755, 3), 0u);
  EXPECT_EQ(BufferSize(26754, 26754, 3), 26754u * 26754u * 3u);
}

}  // namespace
}  // namespace imaging::test
