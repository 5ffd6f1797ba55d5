// Clips written by the project's own writer read back at their size, in order, with their
// times; files that are not playable clips are refused at open with a code, never a crash.
#include "platform/video/clip_decoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "support/clip_maker.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Near;
using testsupport::ScratchDir;

const std::vector<uint32_t> kColors = {0xD02020, 0x20D020, 0x2020D0, 0xE0E0E0, 0x101010};

struct Read {
  std::vector<uint32_t> centres;
  std::vector<std::chrono::nanoseconds> times;
};

Read ReadAll(video::ClipDecoder& d) {
  Read r;
  std::vector<uint32_t> pixels(static_cast<size_t>(d.Width()) * d.Height());
  std::chrono::nanoseconds t{};
  while (d.NextFrame(pixels.data(), static_cast<size_t>(d.Width()), &t)) {
    r.centres.push_back(pixels[static_cast<size_t>(d.Height() / 2) * d.Width() + d.Width() / 2]);
    r.times.push_back(t);
  }
  return r;
}

TEST(ClipDecoder, ReadsBackWhatWasWritten) {
  struct Case {
    int width, height, fps, frames;
  } cases[] = {{64, 48, 25, 7}, {32, 16, 10, 3}, {160, 120, 30, 12}, {16, 16, 25, 1}};
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::string path = dir.File("c.avi");
    ASSERT_TRUE(testsupport::WriteFlatClip(path, {c.width, c.height, c.fps, c.frames}, kColors));
    video::ClipError error{};
    auto d = video::ClipDecoder::Open(path, &error);
    ASSERT_TRUE(d) << video::ClipErrorText(static_cast<int>(error));
    EXPECT_EQ(d->Width(), c.width);
    EXPECT_EQ(d->Height(), c.height);
    EXPECT_EQ(d->FrameDuration(), std::chrono::nanoseconds(1'000'000'000 / c.fps));
    for (int pass = 0; pass < 2; ++pass) {  // and again after a rewind
      const Read r = ReadAll(*d);
      ASSERT_EQ(r.centres.size(), static_cast<size_t>(c.frames));
      for (int i = 0; i < c.frames; ++i) {
        EXPECT_TRUE(Near(r.centres[i], kColors[i % kColors.size()]))
            << i << " " << std::hex << r.centres[i];
        // Picture i at i / fps seconds, to the nearest nanosecond.
        EXPECT_EQ(r.times[i].count(), (int64_t{2'000'000'000} * i + c.fps) / (2 * c.fps));
      }
      ASSERT_TRUE(d->Rewind());
    }
  }
}

// Pictures converted into a caller's bitmap, straight there or through the decoder's own
// rows (widths off the converter's vector groups, unaligned places), match the decoder's
// rows and leave every pixel around them alone.
TEST(ClipDecoder, PicturesWrittenIntoABitmapStayInTheirRectangle) {
  constexpr int kHeight = 18, kTop = 2;
  constexpr uint32_t kAround = 0xA5A5A5A5;
  ScratchDir dir;
  for (const int width : {64, 160, 40, 34}) {
    SCOPED_TRACE(width);
    const std::string path = dir.File("g.avi");
    std::string error;
    ASSERT_TRUE(video::WriteClip(
        path, {width, kHeight, 25, 3},
        [&](int i, uint32_t* p, size_t stride) {
          for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < width; ++x)
              p[static_cast<size_t>(y) * stride + x] =
                  static_cast<uint32_t>((x * 4 + i * 40) & 0xFF) << 16 |
                  static_cast<uint32_t>(y * 9) << 8 | static_cast<uint32_t>((x ^ y) * 7 & 0xFF);
        },
        &error))
        << error;
    auto d = video::ClipDecoder::Open(path, nullptr);
    ASSERT_TRUE(d);
    const size_t stride = static_cast<size_t>(width) + 48;
    std::chrono::nanoseconds t{};
    int pictures = 0;
    while (d->DecodeNext(&t)) {
      ++pictures;
      for (const int left : {16, 3}) {
        std::vector<uint32_t> bitmap(stride * (kHeight + 2 * kTop), kAround);
        ASSERT_TRUE(d->ConvertHeldInto(bitmap.data() + kTop * stride + left, stride));
        size_t from = 0;
        const uint32_t* rows = d->ConvertHeld(&from);
        ASSERT_TRUE(rows);
        for (size_t y = 0; y < kHeight + 2 * kTop; ++y) {
          for (size_t x = 0; x < stride; ++x) {
            const bool inside = y >= kTop && y < kTop + kHeight && x >= static_cast<size_t>(left) &&
                                x < static_cast<size_t>(left + width);
            const uint32_t want = inside ? rows[(y - kTop) * from + x - left] : kAround;
            ASSERT_EQ(bitmap[y * stride + x], want) << left << ": " << x << "," << y;
          }
        }
      }
    }
    EXPECT_EQ(pictures, 3);
  }
}

TEST(ClipDecoder, RefusesWhatIsNotAPlayableClip) {
  ScratchDir dir;
  const std::string good = dir.File("good.avi");
  ASSERT_TRUE(testsupport::WriteFlatClip(good, {64, 48, 25, 10}, kColors));
  const auto bytes = testsupport::ReadBytes(good);
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E'};
  wav.resize(44);
  std::vector<uint8_t> noise(4000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
  std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 100);
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    video::ClipError expected;
  } cases[] = {
      {"empty", {}, video::ClipError::kNotAvi},
      {"wave file", wav, video::ClipError::kNotAvi},
      {"noise", noise, video::ClipError::kNotAvi},
      {"header cut short", header, video::ClipError::kNotAvi},
      {"huge pictures", testsupport::TinyAvi(100000, 100000, 1), video::ClipError::kTooLarge},
      {"wide pictures", testsupport::TinyAvi(8192, 16, 1), video::ClipError::kTooLarge},
      {"negative size", testsupport::TinyAvi(-5, 16, 1), video::ClipError::kNoVideo},
      {"unknown codec", testsupport::TinyAvi(16, 16, 1, "ZZZZ"), video::ClipError::kNoVideo},
      {"a thousand streams", testsupport::TinyAvi(16, 16, 1000), video::ClipError::kTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File("bad.avi");
    testsupport::WriteBytes(path, c.data);
    video::ClipError error{};
    EXPECT_FALSE(video::ClipDecoder::Open(path, &error));
    EXPECT_EQ(error, c.expected);
  }
  video::ClipError error{};
  EXPECT_FALSE(video::ClipDecoder::Open(dir.File("missing.avi"), &error));
  EXPECT_EQ(error, video::ClipError::kCannotOpen);
  // A name that looks like another protocol is still only a file name.
  EXPECT_FALSE(video::ClipDecoder::Open("subfile:,,start,0,end,0,:" + good, &error));
  EXPECT_EQ(error, video::ClipError::kCannotOpen);
  EXPECT_EQ(video::ClipErrorText(99), "Error code not known.");
}

// A clip cut anywhere after its header plays what it holds and then ends.
TEST(ClipDecoder, TruncatedClipsEnd) {
  ScratchDir dir;
  const std::string good = dir.File("good.avi");
  ASSERT_TRUE(testsupport::WriteFlatClip(good, {64, 48, 25, 10}, kColors));
  const auto bytes = testsupport::ReadBytes(good);
  for (size_t cut : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 40}) {
    SCOPED_TRACE(cut);
    const std::string path = dir.File("cut.avi");
    testsupport::WriteBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    video::ClipError error{};
    auto d = video::ClipDecoder::Open(path, &error);
    if (!d) continue;  // the header itself may be gone
    const Read r = ReadAll(*d);
    EXPECT_LE(r.centres.size(), 10u);
    for (size_t i = 1; i < r.times.size(); ++i) EXPECT_GE(r.times[i], r.times[i - 1]);
  }
}

}  // namespace
